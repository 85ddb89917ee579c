#include "render/PrtColors.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <sstream>

namespace {

// lighting += basis x coefficients, one column after the other in column order, every element
// rounded after each product and each sum. A BLAS gemv would pick a kernel for the processor at
// run time, each summing in its own order and some with fused multiply-adds, so colours would
// differ between machines; this order is fixed, and the inner loop over vertices is independent
// per element, so the compiler vectorises it without reordering any sum. Vertices go in blocks
// whose running sums stay in L1 while the columns stream past.
void addBasisColumns(std::vector<float>& lighting, const DenseMatrix& basis, std::span<const float> coefficients)
{
    constexpr std::size_t kBlock = 2048;
    const std::size_t rows = basis.rows();
    for (std::size_t begin = 0; begin < lighting.size(); begin += kBlock) {
        const std::size_t count = std::min(kBlock, lighting.size() - begin);
        float* const sum = lighting.data() + begin;
        for (std::size_t j = 0; j < coefficients.size(); ++j) {
            const float coefficient = coefficients[j];
            const float* const column = basis.data() + j * rows + begin;
            for (std::size_t v = 0; v < count; ++v) sum[v] += column[v] * coefficient;
        }
    }
}

} // namespace

std::vector<float> prtColors(std::span<const float> meanLighting, const DenseMatrix& basis,
                             std::span<const float> coefficients, std::span<const Vector3f> vertexColors)
{
    const std::size_t vertexCount = vertexColors.size();
    if (meanLighting.size() != vertexCount || (basis.columns() > 0 && basis.rows() != vertexCount)) {
        std::ostringstream message;
        message << "PRT lighting covers " << meanLighting.size() << " mean values and " << basis.rows()
                << " basis rows but the skin has " << vertexCount << " vertex colours.";
        throw Exception(message.str());
    }
    if (coefficients.size() != basis.columns()) {
        std::ostringstream message;
        message << "Found " << coefficients.size() << " PRT coefficients for " << basis.columns()
                << " basis vectors.";
        throw Exception(message.str());
    }
    std::vector<float> lighting(meanLighting.begin(), meanLighting.end());
    addBasisColumns(lighting, basis, coefficients);
    std::vector<float> colors(3 * vertexCount);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        colors[3 * v] = lighting[v] * vertexColors[v].x;
        colors[3 * v + 1] = lighting[v] * vertexColors[v].y;
        colors[3 * v + 2] = lighting[v] * vertexColors[v].z;
    }
    return colors;
}

std::vector<std::vector<float>> prtFrameColors(std::span<const float> meanLighting, const DenseMatrix& basis,
                                               const DenseMatrix& coordinates, std::span<const Vector3f> vertexColors,
                                               unsigned frameCount)
{
    const unsigned basisCount = basis.columns();
    std::vector<std::vector<float>> frames;
    if (frameCount == 0) {
        frames.push_back(prtColors(meanLighting, DenseMatrix(), {}, vertexColors));
        return frames;
    }
    if (basisCount > 0 && (coordinates.rows() != basisCount || coordinates.columns() < frameCount)) {
        std::ostringstream message;
        message << "Found " << coordinates.columns() << " frames of " << coordinates.rows()
                << " PRT coefficients but the animation has " << frameCount << " frames and the basis "
                << basisCount << " vectors.";
        throw Exception(message.str());
    }
    frames.reserve(frameCount);
    for (unsigned f = 0; f < frameCount; ++f) {
        // Column f: coefficient j of frame f at j + f * basisCount.
        const std::span<const float> column =
            basisCount > 0 ? std::span<const float>(coordinates.column(f), basisCount) : std::span<const float>();
        frames.push_back(prtColors(meanLighting, basis, column, vertexColors));
    }
    return frames;
}
