#include "bake/ObjModelReader.h"

#include "bake/AssimpModelReader.h"

#include "foundation/Exception.h"
#include "skin/ObjFile.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <tuple>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& path, const std::string& reason)
{
    throw IOException("Unable to import model '" + path + "': " + reason);
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

ImportedModel readObjModel(const std::string& path, const ImportOptions& options)
{
    const auto start = Clock::now();
    std::unique_ptr<ObjFile> obj;
    try {
        obj = std::make_unique<ObjFile>(path);
    } catch (const ParserException& e) {
        fail(path, "line " + std::to_string(e.line()) + ": " + e.message());
    } catch (const Exception& e) {
        fail(path, e.message());
    }
    const double read = std::chrono::duration<double>(Clock::now() - start).count();
    ImportedModel model = modelFromObj(*obj, path, options);
    model.timings.read = read;
    return model;
}

ImportedModel modelFromObj(const ObjFile& objFile, const std::string& path, const ImportOptions& options)
{
    ImportedModel model;
    model.name = std::filesystem::path(path).stem().string();
    model.fps = options.fps;
    const ObjFile* obj = &objFile;
    const auto start = Clock::now();
    const std::vector<Vector3d>& vertices = obj->vertices();
    const std::vector<Vector3d>& normals = obj->normals();
    const std::vector<Vector3d>& textureCoordinates = obj->textureCoordinates();
    // Area-weighted normals of the OBJ positions, for corners that name no normal.
    std::vector<Vector3d> smooth(vertices.size());
    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, std::uint32_t> cornerVertex;
    std::map<const ObjMaterial*, std::size_t> trianglesPerMaterial;
    std::vector<std::int32_t> objVertexOf; // the OBJ position of each skin vertex
    std::vector<bool> hasOwnNormal;
    bool anyTextureCoordinates = false;

    auto check = [&](const char* what, std::int32_t number, std::size_t count, const ObjFile::Group& group, std::size_t face) {
        if (number < 1 || static_cast<std::size_t>(number) > count)
            fail(path, "face " + std::to_string(face + 1) + " of group '" + group.name() + "' names " + what + " " +
                           std::to_string(number) + " but the file has " + std::to_string(count) + ".");
    };
    for (const ObjFile::Group& group : obj->groups()) {
        for (std::size_t f = 0; f < group.faceCount(); ++f) {
            const std::span<const ObjCorner> face = group.face(f);
            if (face.size() < 3) continue;
            std::vector<std::uint32_t> corners;
            for (const ObjCorner& corner : face) {
                check("vertex", corner.vertex, vertices.size(), group, f);
                if (corner.hasTextureCoordinate) check("texture coordinate", corner.textureCoordinate, textureCoordinates.size(), group, f);
                if (corner.hasNormal) check("normal", corner.normal, normals.size(), group, f);
                const auto key = std::make_tuple(corner.vertex, corner.hasTextureCoordinate ? corner.textureCoordinate : 0,
                                                 corner.hasNormal ? corner.normal : 0);
                const auto [it, inserted] = cornerVertex.emplace(key, static_cast<std::uint32_t>(model.positions.size()));
                if (inserted) {
                    model.positions.push_back(vertices[static_cast<std::size_t>(corner.vertex - 1)]);
                    model.normals.push_back(corner.hasNormal ? normals[static_cast<std::size_t>(corner.normal - 1)] : Vector3d{});
                    hasOwnNormal.push_back(corner.hasNormal);
                    const Vector3d t = corner.hasTextureCoordinate
                                           ? textureCoordinates[static_cast<std::size_t>(corner.textureCoordinate - 1)]
                                           : Vector3d{};
                    model.textureCoordinates.push_back({static_cast<float>(t.x), static_cast<float>(t.y)});
                    anyTextureCoordinates = anyTextureCoordinates || corner.hasTextureCoordinate;
                    objVertexOf.push_back(corner.vertex - 1);
                }
                corners.push_back(it->second);
            }
            // A fan from the first corner: OBJ polygons are meant to be convex.
            for (std::size_t c = 1; c + 1 < corners.size(); ++c) {
                const Triangle t{{corners[0], corners[c], corners[c + 1]}};
                const Vector3d& a = vertices[static_cast<std::size_t>(objVertexOf[t.index[0]])];
                const Vector3d& b = vertices[static_cast<std::size_t>(objVertexOf[t.index[1]])];
                const Vector3d& d = vertices[static_cast<std::size_t>(objVertexOf[t.index[2]])];
                const Vector3d n = (b - a).cross(d - a);
                for (std::uint32_t v : t.index) smooth[static_cast<std::size_t>(objVertexOf[v])] += n;
                if (t.index[0] == t.index[1] || t.index[1] == t.index[2] || t.index[0] == t.index[2]) continue;
                model.triangles.push_back(t);
                ++trianglesPerMaterial[group.material().get()];
            }
        }
    }
    if (model.triangles.empty()) fail(path, "it holds no triangles.");
    for (std::size_t v = 0; v < model.positions.size(); ++v) {
        Vector3d n = hasOwnNormal[v] ? model.normals[v] : smooth[static_cast<std::size_t>(objVertexOf[v])];
        const double length = n.length();
        model.normals[v] = length > 1e-30 && std::isfinite(length) ? n * (1.0 / length) : Vector3d{0, 1, 0};
    }
    if (!anyTextureCoordinates) model.textureCoordinates.clear();
    model.colours.assign(model.positions.size(), {1.0f, 1.0f, 1.0f});
    model.meshCount = obj->groupCount();

    // The map_Kd of the material covering most triangles, named relative to the OBJ file.
    const ObjMaterial* material = nullptr;
    std::size_t most = 0;
    for (const auto& [candidate, count] : trianglesPerMaterial)
        if (candidate && count > most) {
            material = candidate;
            most = count;
        }
    if (material && !material->textureFileName.empty()) {
        std::string portable = material->textureFileName;
        std::replace(portable.begin(), portable.end(), '\\', '/');
        const std::filesystem::path named(portable);
        const std::filesystem::path file = named.is_absolute() ? named : std::filesystem::path(path).parent_path() / named;
        model.texture.sourceName = material->textureFileName;
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            model.texture.file = file;
        else
            model.warnings.push_back("Texture '" + material->textureFileName + "' of model '" + path +
                                     "' was not found; the skin has no texture.");
    }

    // A still model: one bone that never moves, one frame.
    model.boneNames = {"root"};
    model.bonePivots = {Vector3d{}};
    model.boneDepths = {0};
    model.poses.assign(1, std::vector<Affine3d>(1));
    std::vector<std::vector<std::pair<std::int32_t, double>>> weights(model.positions.size(), {{0, 1.0}});
    finishInfluences(model, weights);
    model.timings.merge = std::chrono::duration<double>(Clock::now() - start).count();
    return model;
}

ImportedModel readModel(const std::string& path, const ImportOptions& options)
{
    if (lowerCase(std::filesystem::path(path).extension().string()) == ".obj") return readObjModel(path, options);
    return readAssimpModel(path, options);
}
