#include "skin/LightingFile.h"

#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"
#include "skin/BinaryRecordReader.h"

#include <algorithm>
#include <cmath>
#include <istream>

namespace {

std::string str(std::uint64_t n)
{
    return std::to_string(n);
}

} // namespace

LightingData readLightingFile(std::istream& in, const std::string& fileName, std::size_t vertexCount,
                              unsigned frameCount, MemoryBudget* budget)
{
    LightingData data;
    MemoryBudget ownBudget(MemoryBudget::kSkinFileBytes, fileName);
    try {
        BinaryRecordReader reader(in, budget ? *budget : ownBudget);
        reader.readArray(data.vertexColors, reader.readU32());
        reader.readArray(data.meanLighting, reader.readU32());
        const auto readMatrix = [&](DenseMatrix& matrix) {
            const std::uint32_t rows = reader.readU32();
            const std::uint32_t columns = reader.readU32();
            std::vector<float> storage;
            reader.readArray(storage, static_cast<std::uint64_t>(rows) * columns);
            matrix.assign(rows, columns, std::move(storage));
        };
        readMatrix(data.basis);
        readMatrix(data.coordinates);
    } catch (const BinaryRecordReader::ShortRead&) {
        throw CreationException("The lighting file '" + fileName + "' ends before its data.");
    } catch (const MemoryBudget::Exceeded&) {
        if (budget) throw;
        throw CreationException(ownBudget.tooLargeMessage());
    }
    for (float value : data.meanLighting) data.maxMeanLighting = std::max(data.maxMeanLighting, std::fabs(value));

    // The renderers index these per vertex and per frame.
    const auto mismatch = [&](const std::string& what) {
        throw CreationException("The lighting file '" + fileName + "' " + what);
    };
    if (data.vertexColors.size() != vertexCount || data.meanLighting.size() != vertexCount)
        mismatch("has " + str(data.vertexColors.size()) + " colours and " + str(data.meanLighting.size()) +
                 " mean lighting values but the mesh has " + str(vertexCount) + " vertices.");
    const DenseMatrix& basis = data.basis;
    const DenseMatrix& coordinates = data.coordinates;
    if (basis.columns() > 0 && (basis.rows() != vertexCount || coordinates.rows() != basis.columns()))
        mismatch("has a " + str(basis.rows()) + " x " + str(basis.columns()) + " lighting basis and " +
                 str(coordinates.rows()) + " x " + str(coordinates.columns()) +
                 " lighting coordinates, which do not fit a mesh of " + str(vertexCount) + " vertices.");
    if (basis.columns() > 0 && frameCount > 0 && coordinates.columns() < frameCount)
        throw CreationException("The lighting file has " + str(coordinates.columns()) + " frames but the animation has " +
                                str(frameCount) + " frames.");
    return data;
}
