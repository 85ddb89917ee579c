// Per-frame PRT colours for the software renderer: against a plain loop over the same
// column-major data, and the guards against data that does not fit the skin.

#include "foundation/Exception.h"
#include "render/PrtColors.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

namespace {

struct PrtData {
    std::vector<float> mean;
    DenseMatrix basis;
    DenseMatrix coordinates;
    std::vector<Vector3f> colors;
};

PrtData randomData(unsigned vertices, unsigned basisCount, unsigned frames, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    PrtData d;
    for (unsigned v = 0; v < vertices; ++v) {
        d.mean.push_back(0.5f + 0.5f * value(random));
        d.colors.push_back({0.5f + 0.5f * value(random), 0.5f + 0.5f * value(random), 0.5f + 0.5f * value(random)});
    }
    d.basis.resize(vertices, basisCount);
    for (unsigned v = 0; v < vertices; ++v)
        for (unsigned j = 0; j < basisCount; ++j) d.basis(v, j) = value(random);
    d.coordinates.resize(basisCount, frames);
    for (unsigned j = 0; j < basisCount; ++j)
        for (unsigned f = 0; f < frames; ++f) d.coordinates(j, f) = value(random);
    return d;
}

// The colour of vertex v in frame f, summed term by term in basis order: the order the colours
// promise, so that every processor gives the same bits.
Vector3f naiveColor(const PrtData& d, unsigned v, unsigned f)
{
    float lighting = d.mean[v];
    for (unsigned j = 0; j < d.basis.columns(); ++j) lighting += d.basis(v, j) * d.coordinates(j, f);
    return d.colors[v] * lighting;
}

} // namespace

TEST(PrtColorsTest, EveryFrameIsThePlainSumOverTheBasisBitForBit)
{
    // Vertex counts on both sides of the blocks the sum runs in; the order of the sum is fixed,
    // so the results are exact, not merely close.
    for (const auto [vertices, basisCount, frames] : {std::array<unsigned, 3>{37, 5, 4}, {4099, 16, 3}}) {
        SCOPED_TRACE(std::to_string(vertices) + " vertices");
        const PrtData d = randomData(vertices, basisCount, frames, 11);
        const auto colors = prtFrameColors(d.mean, d.basis, d.coordinates, d.colors, frames);
        ASSERT_EQ(colors.size(), frames);
        for (unsigned f = 0; f < frames; ++f) {
            ASSERT_EQ(colors[f].size(), 3u * vertices);
            for (unsigned v = 0; v < vertices; ++v) {
                const Vector3f expected = naiveColor(d, v, f);
                for (int c = 0; c < 3; ++c) ASSERT_EQ(colors[f][3 * v + c], expected[c]) << "f " << f << " v " << v;
            }
        }
        // Frames differ, so the coefficients really were taken per frame.
        EXPECT_NE(colors[0], colors[1]);
    }
}

TEST(PrtColorsTest, WithoutABasisEveryFrameIsMeanLightingTimesVertexColour)
{
    PrtData d = randomData(9, 0, 3, 5);
    const auto frames = prtFrameColors(d.mean, d.basis, d.coordinates, d.colors, 3);
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& colors : frames)
        for (unsigned v = 0; v < 9; ++v)
            for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(colors[3 * v + c], d.mean[v] * d.colors[v][c]);
}

TEST(PrtColorsTest, ASkinWithoutFramesGetsOneRestPoseEntryLitByTheMean)
{
    const PrtData d = randomData(6, 2, 0, 3);
    const auto frames = prtFrameColors(d.mean, d.basis, d.coordinates, d.colors, 0);
    ASSERT_EQ(frames.size(), 1u);
    for (unsigned v = 0; v < 6; ++v) EXPECT_FLOAT_EQ(frames[0][3 * v + 1], d.mean[v] * d.colors[v].y);
}

TEST(PrtColorsTest, DataThatDoesNotFitTheSkinIsRefusedInsteadOfReadPastItsEnd)
{
    PrtData d = randomData(8, 3, 4, 7);
    EXPECT_THROW(prtFrameColors(d.mean, d.basis, d.coordinates, d.colors, 5), Exception) << "5 frames, 4 columns";

    PrtData shortMean = d;
    shortMean.mean.pop_back();
    EXPECT_THROW(prtFrameColors(shortMean.mean, d.basis, d.coordinates, d.colors, 4), Exception);

    PrtData shortColors = d;
    shortColors.colors.pop_back();
    EXPECT_THROW(prtFrameColors(d.mean, d.basis, d.coordinates, shortColors.colors, 4), Exception);

    DenseMatrix tallBasis(9, 3);
    EXPECT_THROW(prtFrameColors(d.mean, tallBasis, d.coordinates, d.colors, 4), Exception);

    const std::vector<float> twoCoefficients = {1, 2};
    EXPECT_THROW(prtColors(d.mean, d.basis, twoCoefficients, d.colors), Exception);
}
