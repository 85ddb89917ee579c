#pragma once

#include "foundation/Vector3d.h"
#include "skin/Named.h"
#include "skin/ObjMaterial.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class MemoryBudget;
class TextLines;

// One corner of an OBJ face. Numbers are kept as the file wrote them: 1-based, and negative
// (relative) numbers are not resolved.
struct ObjCorner {
    std::int32_t vertex = 0;
    bool hasTextureCoordinate = false;
    std::int32_t textureCoordinate = 0;
    bool hasNormal = false;
    std::int32_t normal = 0;
    bool operator==(const ObjCorner&) const = default;
};

// A Wavefront OBJ mesh: vertices, texture coordinates and normals, and named groups of faces
// with any number of corners, each group with an optional material from the MTL libraries the
// file names. Groups are kept sorted by name after reading; equal names are not merged.
class ObjFile : public Named {
public:
    class Group : public Named {
    public:
        explicit Group(std::string name, std::shared_ptr<ObjMaterial> material = nullptr)
            : Named(std::move(name)), m_material(std::move(material))
        {
        }

        std::size_t faceCount() const { return m_faceStart.size() - 1; }
        std::span<const ObjCorner> face(std::size_t i) const
        {
            return {m_corners.data() + m_faceStart[i], m_faceStart[i + 1] - m_faceStart[i]};
        }
        const std::shared_ptr<ObjMaterial>& material() const { return m_material; }
        void setMaterial(std::shared_ptr<ObjMaterial> material) { m_material = std::move(material); }

        void addFace(std::span<const ObjCorner> corners)
        {
            m_corners.insert(m_corners.end(), corners.begin(), corners.end());
            m_faceStart.push_back(m_corners.size());
        }
        // Appends a corner to the face being built; endFace closes it. The reader's way of
        // adding a face without an intermediate list.
        void addCorner(const ObjCorner& corner) { m_corners.push_back(corner); }
        void endFace() { m_faceStart.push_back(m_corners.size()); }
        // Drops the corners added since the last endFace.
        void abandonFace() { m_corners.resize(m_faceStart.back()); }
        // Room for that many more faces and corners.
        void reserve(std::size_t faces, std::size_t corners)
        {
            m_faceStart.reserve(m_faceStart.size() + faces);
            m_corners.reserve(m_corners.size() + corners);
        }

    private:
        std::shared_ptr<ObjMaterial> m_material;
        std::vector<ObjCorner> m_corners;
        // Face i owns corners [start[i], start[i + 1]).
        std::vector<std::size_t> m_faceStart{0};
    };

    // Selects the constructor of an empty model.
    struct Empty {};

    // Lines longer than this are refused.
    static constexpr std::size_t kMaxLineLength = 9999;

    // Reads the OBJ file at fileName; its name is the file name. Progress, warnings and
    // statistics go to standard error. The file is read a window at a time, and what the model
    // keeps (with its MTL libraries) is taken from a MemoryBudget of kSkinFileBytes.
    // Throws IOException when the file (or a library path) cannot be used, ParserException
    // for a malformed line, CreationException for an unknown material, a bad MTL library or a
    // model beyond the budget.
    explicit ObjFile(const std::string& fileName);
    // The same with an explicit name; an empty file name throws CreationException.
    ObjFile(const std::string& fileName, const std::string& name);
    // The same, taking from the caller's budget (a text skin's, shared with its other files).
    ObjFile(const std::string& fileName, MemoryBudget& budget);
    // An empty model to be filled with append() and written.
    ObjFile(Empty, const std::string& name, const std::string& fileName);

    std::size_t groupCount() const { return m_groups.size(); }
    Group group(std::size_t i) const { return m_groups[i]; }
    const std::vector<Group>& groups() const { return m_groups; }
    std::size_t vertexCount() const { return m_vertices.size(); }
    std::size_t faceCount() const;
    const std::string& fileName() const { return m_fileName; }
    const std::vector<Vector3d>& vertices() const { return m_vertices; }
    const std::vector<Vector3d>& textureCoordinates() const { return m_textureCoordinates; }
    const std::vector<Vector3d>& normals() const { return m_normals; }
    const std::vector<std::shared_ptr<ObjMaterialLibrary>>& materialLibraries() const { return m_libraries; }

    // Appends vertex data and groups whose corner numbers count from the start of the appended
    // data (1 = the first appended vertex); the numbers are shifted to follow what is there.
    void append(const std::vector<Vector3d>& vertices, const std::vector<Vector3d>& normals,
                const std::vector<Vector3d>& textureCoordinates, std::vector<Group> groups);

    // Writes the model as OBJ text, numbers with 10 significant digits, nonempty groups sorted
    // by name. The file is replaced only once the whole text is written. Throws IOException
    // when it cannot be written or no group has a face ("No nonempty groups in .obj file.").
    void write(const std::string& fileName) const;
    // The text write() puts in the file.
    std::string text() const;

    // Parses OBJ text that came from `path` (material libraries are looked up beside it);
    // what the reading constructors do after loading the file.
    void parse(std::string_view text, const std::string& path);

private:
    void read(const std::string& path, MemoryBudget& budget);
    // Turns an exhausted budget into CreationException naming path.
    void parse(TextLines& lines, const std::string& path, MemoryBudget& budget);
    void parseLines(TextLines& lines, const std::string& path, MemoryBudget& budget);
    // Produces the OBJ text a piece at a time, so a large export never sits in memory whole.
    // Throws IOException before producing anything when no group has a face.
    void produceText(const std::function<void(std::string_view)>& sink) const;

    std::vector<Group> m_groups;
    std::vector<Vector3d> m_vertices;
    std::vector<Vector3d> m_textureCoordinates;
    std::vector<Vector3d> m_normals;
    std::string m_fileName;
    std::vector<std::shared_ptr<ObjMaterialLibrary>> m_libraries;
};
