#include "render/PrtColors.h"

#include "foundation/Exception.h"

#include <cblas.h>

#include <limits>
#include <sstream>

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
    if (vertexCount > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Exception("Too many vertices for PRT lighting.");

    std::vector<float> lighting(meanLighting.begin(), meanLighting.end());
    if (basis.columns() > 0 && vertexCount > 0) {
        const int rows = static_cast<int>(basis.rows());
        cblas_sgemv(CblasColMajor, CblasNoTrans, rows, static_cast<int>(basis.columns()), 1.0f, basis.data(), rows,
                    coefficients.data(), 1, 1.0f, lighting.data(), 1);
    }
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
