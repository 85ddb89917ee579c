#include "skin/BinarySkinWriter.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <ostream>

namespace {

void writeU32(std::ostream& out, std::uint32_t value) { out.write(reinterpret_cast<const char*>(&value), 4); }

template <typename T>
void writeArray(std::ostream& out, const std::vector<T>& values)
{
    writeU32(out, static_cast<std::uint32_t>(values.size()));
    if (!values.empty())
        out.write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(T)));
}

void writeString(std::ostream& out, const std::string& text)
{
    writeU32(out, static_cast<std::uint32_t>(text.size()));
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void writeMatrix(std::ostream& out, const DenseMatrix& matrix)
{
    writeU32(out, matrix.rows());
    writeU32(out, matrix.columns());
    if (matrix.size() != 0)
        out.write(reinterpret_cast<const char*>(matrix.data()), static_cast<std::streamsize>(matrix.size() * 4));
}

} // namespace

void writeSkinRecord(std::ostream& out, const SkinRecord& record)
{
    writeString(out, record.name);
    writeString(out, record.textureFileName);
    writeArray(out, record.triangles);
    writeU32(out, static_cast<std::uint32_t>(record.primitiveGroups.size()));
    for (const PrimitiveGroup& group : record.primitiveGroups) {
        writeU32(out, static_cast<std::uint32_t>(group.kind));
        writeArray(out, group.indices);
    }
    writeArray(out, record.positions);
    writeArray(out, record.normals);
    writeArray(out, record.textureCoordinates);
    out.write(reinterpret_cast<const char*>(&record.boundingBox), sizeof(BoundingBox));
    writeArray(out, record.frameBoxes);
    const std::vector<BoneInfluence> none;
    for (std::size_t v = 0; v < record.positions.size(); ++v) {
        writeArray(out, v < record.influences.size() ? record.influences[v] : none);
        writeArray(out, none);
    }
    writeU32(out, static_cast<std::uint32_t>(record.bones.size()));
    for (const auto& bone : record.bones) writeArray(out, bone);
    writeMatrix(out, record.displacementBasis);
    writeMatrix(out, record.displacementCoordinates);
    writeMatrix(out, record.normalBasis);
    writeMatrix(out, record.normalCoordinates);
    writeArray(out, record.vertexColors);
    writeArray(out, record.meanLighting);
    writeMatrix(out, record.lightingBasis);
    writeMatrix(out, record.lightingCoordinates);
    writeU32(out, record.nextSkin ? 1u : 0u);
    if (record.nextSkin) writeSkinRecord(out, *record.nextSkin);
    if (!out) throw IOException("Unable to write skin record '" + record.name + "'.");
}

void writeSkinFile(const std::filesystem::path& path, const std::vector<SkinRecord>& records)
{
    writeFileAtomically(path.string(), [&](std::ostream& out) {
        for (const SkinRecord& record : records) writeSkinRecord(out, record);
    });
}
