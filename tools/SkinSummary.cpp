#include "SkinSummary.h"

#include "HerdSummary.h"
#include "KeysSummary.h"

#include "bake/ModelFiles.h"
#include "bake/ModelImport.h"
#include "foundation/Exception.h"
#include "mesh/VertexCacheFifo.h"
#include "skin/FileDispatch.h"
#include "skin/ObjFile.h"
#include "skin/SkinFileLoading.h"

#include <iomanip>
#include <ostream>

double primitiveGroupAcmr(const Skin& skin)
{
    VertexCacheFifo cache(16);
    std::size_t triangles = 0;
    for (const PrimitiveGroup& group : skin.primitiveGroups())
        triangles += cache.feedPrimitive(group.kind, group.indices.begin(), group.indices.end());
    return triangles == 0 ? 0.0 : double(cache.misses()) / double(triangles);
}

nlohmann::ordered_json describeSkin(const Skin& skin)
{
    unsigned strips = 0;
    std::size_t listTriangles = 0;
    for (const PrimitiveGroup& group : skin.primitiveGroups()) {
        if (group.kind == PrimitiveGroup::TriangleStrip) ++strips;
        if (group.kind == PrimitiveGroup::TriangleList) listTriangles += group.indices.size() / 3;
    }
    const BoundingBox box = skin.boundingBox();
    nlohmann::ordered_json j;
    j["name"] = skin.name();
    j["vertices"] = skin.vertexCount();
    j["triangles"] = skin.triangleCount();
    j["bones"] = skin.boneCount();
    j["frames"] = skin.frameCount();
    j["displacementBasis"] = skin.displacementBasisCount();
    j["normalBasis"] = skin.normalBasisCount();
    j["lightingBasis"] = skin.lightingBasisCount();
    j["lightingFrames"] = skin.lightingCoordinates().columns();
    j["maxInfluences"] = skin.maxInfluenceCount();
    j["textureFile"] = skin.textureFileName();
    j["boundingBox"] = {box.minimum.x, box.minimum.y, box.minimum.z, box.maximum.x, box.maximum.y, box.maximum.z};
    j["strips"] = strips;
    j["listTriangles"] = listTriangles;
    j["acmr"] = primitiveGroupAcmr(skin);
    j["nextSkin"] = skin.nextSkin() ? describeSkin(*skin.nextSkin()) : nlohmann::ordered_json(nullptr);
    return j;
}

namespace {

nlohmann::ordered_json errorReport(const std::string& path, const std::string& caption, const std::string& message)
{
    return {{"file", path}, {"error", {{"caption", caption}, {"message", message}}}};
}

nlohmann::ordered_json describeObjFile(const std::string& path)
{
    try {
        const ObjFile obj(path);
        nlohmann::ordered_json materials = nlohmann::ordered_json::array();
        for (const auto& library : obj.materialLibraries())
            for (const auto& material : library->materials()) materials.push_back(material->name());
        return {{"file", path},
                {"obj",
                 {{"groups", obj.groupCount()},
                  {"faces", obj.faceCount()},
                  {"vertices", obj.vertexCount()},
                  {"normals", obj.normals().size()},
                  {"texcoords", obj.textureCoordinates().size()},
                  {"materials", materials}}}};
    } catch (const Exception& e) {
        // As the open command shows an error of the mesh a text skin names.
        return errorReport(path, "Error reading file", e.message());
    }
}

// What the import with its default options makes of a model file, described like a binary
// skin file.
nlohmann::ordered_json describeModelFile(const std::string& path)
{
    try {
        ImportResult result = importModel(path, ImportOptions{});
        // The texture as flexherd-import would name it writing beside the model.
        const std::string texture = importTextureName(result, std::filesystem::path(path).replace_extension(".bin"));
        for (SkinRecord& record : result.records) record.textureFileName = texture;
        nlohmann::ordered_json skins = nlohmann::ordered_json::array();
        for (const auto& skin : importedSkins(result, path)) skins.push_back(describeSkin(*skin));
        return {{"file", path}, {"skins", skins}};
    } catch (const Exception& e) {
        return errorReport(path, "Error importing model", e.message());
    } catch (const std::bad_alloc&) {
        return errorReport(path, "Error importing model", "Unable to import model '" + path + "': out of memory.");
    }
}

} // namespace

nlohmann::ordered_json describeFile(const std::string& path)
{
    if (fileExtension(path) == ".obj") return describeObjFile(path);
    if (isModelFile(path)) return describeModelFile(path);
    switch (fileKindOf(path)) {
    case FileKind::Herd:
        return describeHerdFile(path);
    case FileKind::CameraKeys:
        return describeKeysFile(path);
    case FileKind::TextSkin:
    case FileKind::BinarySkin:
        break;
    }
    SkinFile file;
    try {
        file = loadSkinFileByName(path);
    } catch (const CreationException& e) {
        // What the open command shows for a skin file it cannot use...
        return errorReport(path, "Error reading skin", e.message());
    } catch (const Exception& e) {
        // ... and for an error of the OBJ mesh a text skin names.
        return errorReport(path, "Error reading file", e.message());
    }
    nlohmann::ordered_json skins = nlohmann::ordered_json::array();
    for (const auto& skin : file.skins) skins.push_back(describeSkin(*skin));
    return {{"file", path}, {"skins", skins}};
}

namespace {

void printSkin(std::ostream& out, const nlohmann::ordered_json& skin, const std::string& indent)
{
    const auto& box = skin["boundingBox"];
    out << indent << "name:               " << skin["name"].get<std::string>() << '\n'
        << indent << "vertices:           " << skin["vertices"] << '\n'
        << indent << "triangles:          " << skin["triangles"] << '\n'
        << indent << "bones:              " << skin["bones"] << '\n'
        << indent << "frames:             " << skin["frames"] << '\n'
        << indent << "displacement basis: " << skin["displacementBasis"] << '\n'
        << indent << "normal basis:       " << skin["normalBasis"] << '\n'
        << indent << "lighting basis:     " << skin["lightingBasis"] << " (" << skin["lightingFrames"]
        << " lighting frames)\n"
        << indent << "max influences:     " << skin["maxInfluences"] << '\n'
        << indent << "texture file:       " << skin["textureFile"].get<std::string>() << '\n'
        << indent << "bounding box:       [" << box[0] << ' ' << box[1] << ' ' << box[2] << "] - [" << box[3] << ' '
        << box[4] << ' ' << box[5] << "]\n"
        << indent << "strips:             " << skin["strips"] << " (+ " << skin["listTriangles"]
        << " list triangles)\n"
        << indent << "ACMR:               " << std::fixed << std::setprecision(3) << skin["acmr"].get<double>()
        << std::defaultfloat << '\n';
    if (!skin["nextSkin"].is_null()) {
        out << indent << "next skin:\n";
        printSkin(out, skin["nextSkin"], indent + "    ");
    }
}

} // namespace

void printFileReport(std::ostream& out, const nlohmann::ordered_json& report)
{
    out << report["file"].get<std::string>() << '\n';
    if (report.contains("error")) {
        out << "  " << report["error"]["caption"].get<std::string>() << ": "
            << report["error"]["message"].get<std::string>() << '\n';
        return;
    }
    if (report.contains("herds")) {
        printHerdReport(out, report);
        return;
    }
    if (report.contains("records")) {
        printKeysReport(out, report);
        return;
    }
    if (report.contains("obj")) {
        const auto& obj = report["obj"];
        out << "  groups:             " << obj["groups"] << '\n'
            << "  faces:              " << obj["faces"] << '\n'
            << "  vertices:           " << obj["vertices"] << '\n'
            << "  normals:            " << obj["normals"] << '\n'
            << "  texture coords:     " << obj["texcoords"] << '\n'
            << "  materials:         ";
        for (const auto& name : obj["materials"]) out << ' ' << name.get<std::string>();
        out << '\n';
        return;
    }
    const auto& skins = report["skins"];
    for (std::size_t i = 0; i < skins.size(); ++i) {
        out << "  record " << i << ":\n";
        printSkin(out, skins[i], "    ");
    }
}
