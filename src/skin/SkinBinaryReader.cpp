// The binary skin record reader: fields in file order, then the consistency checks
// (SkinValidation.cpp).
#include "skin/BinaryRecordReader.h"
#include "skin/Skin.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

// Next-skin chains are shadows of shadows at most; a limit keeps a crafted file from
// recursing the stack away.
constexpr int kMaxNestingDepth = 64;

const char* const kShortReadMessage = "Caught exception reading file.";

void readMatrix(BinaryRecordReader& reader, DenseMatrix& matrix)
{
    const std::uint32_t rows = reader.readU32();
    const std::uint32_t columns = reader.readU32();
    std::vector<float> storage;
    reader.readArray(storage, static_cast<std::uint64_t>(rows) * columns);
    matrix.assign(rows, columns, std::move(storage));
}

[[noreturn]] void fail(const std::ostringstream& message)
{
    throw CreationException(message.str());
}

} // namespace

Skin::Skin(std::istream& in)
{
    BinaryRecordReader reader(in);
    readRecord(reader, 0);
}

Skin::Skin(std::istream& in, MemoryBudget& budget)
{
    BinaryRecordReader reader(in, budget);
    readRecord(reader, 0);
}

Skin::Skin(BinaryRecordReader& reader, int nestingDepth)
{
    readRecord(reader, nestingDepth);
}

Skin::Skin(const std::filesystem::path& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw IOException("Unable to open file '" + fileName.string() + "' for reading.");
    BinaryRecordReader reader(in);
    readRecord(reader, 0);
}

void Skin::readRecord(BinaryRecordReader& reader, int nestingDepth)
{
    MemoryBudget& budget = reader.budget();
    try {
        m_name = reader.readString();
        m_textureFileName = reader.readString();

        const std::uint32_t triangleCount = reader.readU32();
        reader.readArray(m_triangles, triangleCount);

        // The stored primitive groups are rebuilt from the triangles below; skip them.
        const std::uint32_t groupCount = reader.readU32();
        reader.requireBytes(groupCount, 8);
        for (std::uint32_t g = 0; g < groupCount; ++g) {
            reader.readI32();
            reader.skip(reader.readU32(), sizeof(std::uint16_t));
        }

        const std::uint32_t vertexCount = reader.readU32();
        reader.readArray(m_restPositions, vertexCount);
        reader.readArray(m_restNormals, reader.readU32());
        reader.readArray(m_textureCoordinates, reader.readU32());
        reader.readRaw(m_boundingBox);
        reader.readArray(m_frameBoundingBoxes, reader.readU32());
        for (const BoundingBox& box : m_frameBoundingBoxes) m_boundingBox.grow(box);

        // Each vertex holds at least its two list counts.
        reader.requireBytes(vertexCount, 8);
        budget.take(std::uint64_t{vertexCount} + 1, sizeof(std::uint32_t));
        m_influenceStart.assign(1, 0);
        m_influenceStart.reserve(static_cast<std::size_t>(vertexCount) + 1);
        // Room for four influences a vertex, the usual number, saves regrowing the array; only
        // when the stream's length and the budget bound what a corrupt count could reserve.
        if (reader.bytesLeft() != std::numeric_limits<std::uint64_t>::max())
            m_influences.reserve(static_cast<std::size_t>(
                std::min({std::uint64_t{vertexCount} * 4, reader.bytesLeft() / sizeof(BoneInfluence),
                          budget.left() / sizeof(BoneInfluence)})));
        // Maxima are kept in locals in these loops: stores into the arrays might alias a member,
        // which would then be written back on every iteration.
        unsigned maxInfluenceCount = m_maxInfluenceCount;
        for (std::uint32_t v = 0; v < vertexCount; ++v) {
            const std::uint32_t count = reader.readU32();
            reader.appendArray(m_influences, count);
            m_influenceStart.push_back(static_cast<std::uint32_t>(m_influences.size()));
            maxInfluenceCount = std::max(maxInfluenceCount, count);
            // The second list has no use here but must be consumed to stay in step.
            reader.skip(reader.readU32(), sizeof(BoneInfluence));
        }
        m_maxInfluenceCount = maxInfluenceCount;

        const std::uint32_t boneCount = reader.readU32();
        reader.requireBytes(boneCount, 4);
        budget.take(boneCount, sizeof(m_bones[0]));
        m_bones.resize(boneCount);
        for (auto& bone : m_bones) reader.readArray(bone, reader.readU32());

        readMatrix(reader, m_displacementBasis);
        readMatrix(reader, m_displacementCoordinates);
        readMatrix(reader, m_normalBasis);
        readMatrix(reader, m_normalCoordinates);
        reader.readArray(m_vertexColors, reader.readU32());
        reader.readArray(m_meanLighting, reader.readU32());
        float maxMeanLighting = 0.0f;
        for (float value : m_meanLighting) maxMeanLighting = std::max(maxMeanLighting, std::fabs(value));
        m_maxMeanLighting = maxMeanLighting;
        readMatrix(reader, m_lightingBasis);
        readMatrix(reader, m_lightingCoordinates);

        validate();
        // Packed only now that every bone index is known to be in range.
        m_skinningKernel = SkinningKernel(m_influences, m_influenceStart, static_cast<unsigned>(m_bones.size()));

        const unsigned frames = frameCount();
        // The frame caches start empty, but their entries and boxes cost per frame.
        budget.take(frames, sizeof(m_framePositions[0]) + sizeof(m_frameNormals[0]) + sizeof(BoundingBox));
        m_framePositions.assign(frames, {});
        m_frameNormals.assign(frames, {});
        // Every frame needs a box; missing ones are measured by skinning those frames (without
        // keeping them: a long animation would otherwise sit in memory whole).
        if (m_frameBoundingBoxes.size() < frames) measureFrameBoxes(static_cast<unsigned>(m_frameBoundingBoxes.size()));

        if (reader.readU32() != 0) {
            if (nestingDepth + 1 >= kMaxNestingDepth) {
                std::ostringstream message;
                message << "Skin '" << m_name << "' nests more than " << kMaxNestingDepth << " next skins.";
                fail(message);
            }
            m_nextSkin.reset(new Skin(reader, nestingDepth + 1));
        }
        // The strips and their build cost about this much per triangle at their largest.
        budget.take(m_triangles.size(), kStripBytesPerTriangle);
    } catch (const BinaryRecordReader::ShortRead&) {
        throw CreationException(kShortReadMessage);
    } catch (const MemoryBudget::Exceeded&) {
        throw CreationException(budget.tooLargeMessage());
    }
    buildPrimitiveGroups(true);
}
