#pragma once

#include "foundation/Vector3d.h"
#include "skin/Named.h"

#include <memory>
#include <string>
#include <vector>

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
    // Reads an MTL file; progress and warnings go to standard error. Throws CreationException
    // when the file cannot be opened or a line is malformed (messages name line and path).
    explicit ObjMaterialLibrary(const std::string& fileName);
    // Reads `path` but carries `name`.
    ObjMaterialLibrary(const std::string& path, const std::string& name);
    // Selects the constructor of a library without materials, to be filled by parse().
    struct Empty {};
    ObjMaterialLibrary(Empty, const std::string& name) : Named(name) {}

    // The material of that name (the last one defined when several share it), or null.
    std::shared_ptr<ObjMaterial> material(const std::string& name) const;
    const std::vector<std::shared_ptr<ObjMaterial>>& materials() const { return m_materials; }

    // Parses MTL text that came from `path`; what the constructors do after reading the file.
    void parse(const std::string& text, const std::string& path);

private:
    std::vector<std::shared_ptr<ObjMaterial>> m_materials;
};
