#pragma once

#include "foundation/Vector3d.h"
#include "skin/Named.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class MemoryBudget;
class TextLines;

// One material of an MTL library. Only one texture is kept: map_Kd and map_Ka both set it.
class ObjMaterial : public Named {
public:
    explicit ObjMaterial(std::string name) : Named(std::move(name)) {}
    ObjMaterial(const ObjMaterial&) = delete;
    ObjMaterial& operator=(const ObjMaterial&) = delete;

    Vector3d Ka{0.0, 0.0, 0.0};
    Vector3d Kd{1.0, 1.0, 1.0};
    Vector3d Ks{0.0, 0.0, 0.0};
    double Tr = 1.0;
    double Ns = 100.0;
    double Ni = 1.0;
    unsigned illum = 0;
    std::string textureFileName;
    Vector3d textureOffset{0.0, 0.0, 0.0};
    Vector3d textureScale{1.0, 1.0, 1.0};
};

// The materials of one MTL file, in file order. Its name is the file name as the OBJ file's
// "mtllib" line gave it, which is also what the OBJ writer writes back.
class ObjMaterialLibrary : public Named {
public:
    // Lines longer than this are refused.
    static constexpr std::size_t kMaxLineLength = std::size_t(1) << 16;

    // Reads an MTL file; progress and warnings go to standard error. Throws CreationException
    // when the file cannot be opened or a line is malformed (messages name line and path), or
    // when its materials would take more than MemoryBudget::kSkinFileBytes.
    explicit ObjMaterialLibrary(const std::string& fileName);
    // Reads `path` but carries `name`.
    ObjMaterialLibrary(const std::string& path, const std::string& name);
    // The same, taking what the materials keep from `budget` (the OBJ file's, which names the
    // library). Throws MemoryBudget::Exceeded for the caller to report.
    ObjMaterialLibrary(const std::string& path, const std::string& name, MemoryBudget& budget);
    // Selects the constructor of a library without materials, to be filled by parse().
    struct Empty {};
    ObjMaterialLibrary(Empty, const std::string& name) : Named(name) {}

    // The material of that name (the last one defined when several share it), or null.
    std::shared_ptr<ObjMaterial> material(const std::string& name) const;
    const std::vector<std::shared_ptr<ObjMaterial>>& materials() const { return m_materials; }

    // Parses MTL text that came from `path`; what the constructors do after opening the file.
    void parse(std::string_view text, const std::string& path);

private:
    void read(const std::string& path, MemoryBudget& budget);
    void parse(TextLines& lines, const std::string& path, MemoryBudget& budget);

    std::vector<std::shared_ptr<ObjMaterial>> m_materials;
    // The last material of each name: look-ups stay quick however many materials there are.
    std::unordered_map<std::string, std::shared_ptr<ObjMaterial>> m_byName;
};
