#include "TextSkinWriter.h"

#include "foundation/AtomicFile.h"
#include "TextFormat.h"

#include <cstdint>
#include <cstring>

namespace {

void appendMatrixRows(std::string& out, const DenseMatrix& m)
{
    for (unsigned r = 0; r < m.rows(); ++r) {
        for (unsigned c = 0; c < m.columns(); ++c) {
            if (c > 0) out += ' ';
            appendFloat(out, m(r, c));
        }
        out += '\n';
    }
}

void appendU32(std::string& out, std::uint32_t value)
{
    // Little-endian, as the binary skin record stores it.
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xffu);
}

void appendF32(std::string& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendU32(out, bits);
}

void appendBinaryMatrix(std::string& out, const DenseMatrix& m)
{
    appendU32(out, m.rows());
    appendU32(out, m.columns());
    for (unsigned c = 0; c < m.columns(); ++c)
        for (unsigned r = 0; r < m.rows(); ++r) appendF32(out, m(r, c));
}

} // namespace

std::string textSkinText(const SkinRecord& record, const std::string& objFileName)
{
    const std::size_t vertices = record.positions.size();
    std::string out;
    out.reserve(vertices * 400);
    out += "# Text skin '" + record.name + "' written by flexherd-mksample.\n";
    out += "*OBJFILENAME\n";
    out += objFileName + "\n";

    for (std::size_t b = 0; b < record.bones.size(); ++b) {
        const auto& frames = record.bones[b];
        out += "*BONEANIMATION, NFRAMES=" + std::to_string(frames.size()) + ", BONEINDEX=" + std::to_string(b) + "\n";
        for (std::size_t f = 0; f < frames.size(); ++f) {
            const AffineTransform& t = frames[f];
            out += std::to_string(f);
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    out += ' ';
                    appendFloat(out, t.linear(r, c));
                }
                out += ' ';
                appendFloat(out, t.translation[r]);
            }
            out += " 0 0 0 1\n";
        }
    }

    out += "*VERTEXWEIGHTS, NVERTICES=" + std::to_string(vertices) + "\n";
    for (std::size_t v = 0; v < vertices; ++v) {
        out += std::to_string(v);
        for (const BoneInfluence& influence : record.influences[v]) {
            out += ' ' + std::to_string(influence.bone) + ' ';
            appendFloat(out, influence.weight);
        }
        out += '\n';
    }

    if (record.displacementBasis.columns() > 0) {
        out += "*DISPLACEMENTBASIS\n";
        appendMatrixRows(out, record.displacementBasis);
        out += "*DISPLACEMENTCOORDS, NFRAMES=" + std::to_string(record.displacementCoordinates.rows()) + "\n";
        appendMatrixRows(out, record.displacementCoordinates);
    }
    if (record.normalBasis.columns() > 0) {
        out += "*NORMALBASIS\n";
        appendMatrixRows(out, record.normalBasis);
        out += "*NORMALCOORDS, NFRAMES=" + std::to_string(record.normalCoordinates.rows()) + "\n";
        appendMatrixRows(out, record.normalCoordinates);
    }
    return out;
}

std::string lightingFileBytes(const SkinRecord& record)
{
    std::string out;
    appendU32(out, static_cast<std::uint32_t>(record.vertexColors.size()));
    for (const Vector3f& c : record.vertexColors)
        for (int i = 0; i < 3; ++i) appendF32(out, c[i]);
    appendU32(out, static_cast<std::uint32_t>(record.meanLighting.size()));
    for (float value : record.meanLighting) appendF32(out, value);
    appendBinaryMatrix(out, record.lightingBasis);
    appendBinaryMatrix(out, record.lightingCoordinates);
    return out;
}

void writeTextSkin(const std::filesystem::path& path, const SkinRecord& record, const std::string& objFileName)
{
    writeFileAtomically(path, textSkinText(record, objFileName));
}

void writeLightingFile(const std::filesystem::path& path, const SkinRecord& record)
{
    writeFileAtomically(path, lightingFileBytes(record));
}
