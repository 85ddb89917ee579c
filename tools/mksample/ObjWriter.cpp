#include "ObjWriter.h"

#include "foundation/AtomicFile.h"
#include "TextFormat.h"

std::string objText(const SkinRecord& record, const std::string& mtlFileName, const std::string& materialName)
{
    std::string out;
    out.reserve(record.positions.size() * 120 + record.triangles.size() * 40);
    out += "# Rest pose of '" + record.name + "' written by flexherd-mksample.\n";
    out += "mtllib " + mtlFileName + "\n";
    auto appendTriple = [&out](const char* keyword, float a, float b, float c) {
        out += keyword;
        for (float value : {a, b, c}) {
            out += ' ';
            appendObjNumber(out, value);
        }
        out += '\n';
    };
    for (const Vector3f& p : record.positions) appendTriple("v", p.x, p.y, p.z);
    for (const Vector2f& t : record.textureCoordinates) appendTriple("vt", t.x, t.y, 0.0f);
    for (const Vector3f& n : record.normals) appendTriple("vn", n.x, n.y, n.z);
    out += "g " + record.name + "\n";
    out += "usemtl " + materialName + "\n";
    for (const Triangle& t : record.triangles) {
        out += 'f';
        for (std::uint32_t index : t.index) {
            const std::string n = std::to_string(index + 1);
            out += ' ' + n + '/' + n + '/' + n;
        }
        out += '\n';
    }
    return out;
}

std::string mtlText(const std::string& materialName, const std::string& textureFileName)
{
    // No comment lines: the project's MTL reader treats every line as a command.
    return "newmtl " + materialName + "\nKa 0.2 0.2 0.2\nKd 1 1 1\nKs 0 0 0\nNs 10\nillum 1\nmap_Kd " + textureFileName +
           "\n";
}

void writeObj(const std::filesystem::path& path, const SkinRecord& record, const std::string& mtlFileName,
              const std::string& materialName)
{
    writeFileAtomically(path, objText(record, mtlFileName, materialName));
}

void writeMtl(const std::filesystem::path& path, const std::string& materialName, const std::string& textureFileName)
{
    writeFileAtomically(path, mtlText(materialName, textureFileName));
}
