// The GL-free half of impostors: which atlas cell pictures an animal from where the eye is,
// which animals are small enough to be impostors, how large the atlas is, and the quads that
// draw them. Each choice is checked against a computation of its own (dot products instead of
// angles, brute force instead of rounding, the pinhole formula instead of the projection code).

#include "herd/HierarchicalHerd.h"
#include "herd/SimpleHerd.h"
#include "render/ImpostorAtlasLayout.h"
#include "render/ImpostorQuads.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "skin/Skin.h"
#include "TestSeed.h"
#include "VertexProgramTestSkins.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <new>
#include <numbers>
#include <random>

// The replacement pair below is malloc and free underneath, as GCC cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every allocation of this test program is counted, so a test can ask whether a step allocated.
namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::mt19937& generator()
{
    static std::mt19937 random = [] {
        std::cout << "impostor tests: " << seedTrace(testSeed()) << std::endl;
        return std::mt19937(static_cast<std::uint32_t>(testSeed()));
    }();
    return random;
}

double uniform(double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(generator());
}

ImpostorAtlasLayout layoutOf(unsigned azimuths, unsigned elevations, unsigned phases, unsigned frames)
{
    return ImpostorAtlasLayout::make(BoundingBox({-0.3f, 0.0f, -1.0f}, {0.3f, 1.4f, 1.0f}), frames, 64.0, 16384,
                                     azimuths, elevations, phases);
}

// The reference choice: the azimuth whose horizontal direction has the largest dot product
// with the view's horizontal direction, and the elevation whose angle is closest by cosine.
// Returns false when two candidates are too close to call.
bool referenceCell(const ImpostorAtlasLayout& layout, const Vector3f& v, unsigned& azimuth, unsigned& elevation)
{
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    const double hx = v.x / length, hz = v.z / length;
    double best = -1e9, second = -1e9;
    for (unsigned i = 0; i < layout.azimuths; ++i) {
        const double a = 2.0 * std::numbers::pi * i / layout.azimuths;
        const double dot = hx * std::sin(a) + hz * std::cos(a);
        if (dot > best) {
            second = best;
            best = dot;
            azimuth = i;
        } else if (dot > second) {
            second = dot;
        }
    }
    if (best - second < 1e-6) return false;
    const double e = std::asin(v.y / length);
    best = -1e9, second = -1e9;
    for (unsigned j = 0; j < layout.elevations; ++j) {
        const double c = std::cos(e - 0.5 * std::numbers::pi * j / layout.elevations);
        if (c > best) {
            second = best;
            best = c;
            elevation = j;
        } else if (c > second) {
            second = c;
        }
    }
    return best - second > 1e-6 || layout.elevations == 1;
}

TEST(ImpostorCells, NearestDirectionAndPhaseAgainstBruteForce)
{
    SCOPED_TRACE(seedTrace(testSeed()));
    for (const auto& [azimuths, elevations] : {std::pair{16u, 3u}, {8u, 1u}, {12u, 4u}, {1u, 2u}}) {
        const ImpostorAtlasLayout layout = layoutOf(azimuths, elevations, 16, 32);
        int checked = 0;
        for (int n = 0; n < 2000; ++n) {
            const Vector3f v(float(uniform(-5, 5)), float(uniform(-2, 6)), float(uniform(-5, 5)));
            unsigned a = 0, e = 0;
            if (!referenceCell(layout, v, a, e)) continue;
            ++checked;
            const auto choice = layout.chooseCell(v);
            ASSERT_EQ(choice.azimuth, a) << azimuths << "x" << elevations << " view (" << v.x << ", " << v.y << ", "
                                         << v.z << ")";
            ASSERT_EQ(choice.elevation, e) << azimuths << "x" << elevations << " view (" << v.x << ", " << v.y
                                           << ", " << v.z << ")";
        }
        EXPECT_GT(checked, 1900);
        // The cell directions are the ones chosen for themselves.
        for (unsigned i = 0; i < azimuths; ++i)
            for (unsigned j = 0; j < elevations; ++j)
                EXPECT_EQ(layout.chooseCell(layout.direction(i, j)), (ImpostorAtlasLayout::CellChoice{i, j}));
    }
    const ImpostorAtlasLayout layout = layoutOf(16, 3, 16, 32);
    EXPECT_EQ(layout.chooseCell({0, 0, 0}), (ImpostorAtlasLayout::CellChoice{0, 0}));
    EXPECT_EQ(layout.chooseCell({NAN, 0, 1}), (ImpostorAtlasLayout::CellChoice{0, 0}));
    // Straight below: the lowest elevation; straight above: the highest.
    EXPECT_EQ(layout.chooseCell({0, -1, 1e-3f}).elevation, 0u);
    EXPECT_EQ(layout.chooseCell({0, 1, 1e-3f}).elevation, 2u);

    // Phases: every frame shows the phase whose frame is cyclically nearest.
    for (const auto& [frames, phases] : {std::pair{32u, 16u}, {10u, 4u}, {7u, 16u}, {100u, 16u}, {1u, 16u}, {33u, 5u}}) {
        const ImpostorAtlasLayout l = layoutOf(16, 3, phases, frames);
        ASSERT_EQ(l.phases, std::min(phases, frames));
        for (unsigned p = 0; p < l.phases; ++p)
            EXPECT_NEAR(double(l.frameOfPhase(p)), double(p) * frames / l.phases, 0.5 + 1e-9);
        for (unsigned f = 0; f < 3 * frames; ++f) {
            auto distance = [&](unsigned phase) {
                const unsigned d = (f % frames + frames - l.frameOfPhase(phase)) % frames;
                return std::min(d, frames - d);
            };
            unsigned best = frames;
            for (unsigned p = 0; p < l.phases; ++p) best = std::min(best, distance(p));
            ASSERT_EQ(distance(l.phaseOfFrame(f)), best) << frames << " frames, " << phases << " phases, frame " << f;
        }
    }
}

TEST(ImpostorCells, TheViewIsTakenIntoTheAnimalsOwnHeading)
{
    SCOPED_TRACE(seedTrace(testSeed()));
    const ImpostorAtlasLayout layout = layoutOf(16, 3, 8, 8);
    ImpostorQuads quads;
    quads.setAtlas(layout, std::vector<ImpostorCellQuad>(layout.cellCount()));
    int checked = 0;
    for (int n = 0; n < 500; ++n) {
        const float heading = float(uniform(-3.2, 3.2));
        const Vector3f place(float(uniform(-50, 50)), 0.0f, float(uniform(-50, 50)));
        const Matrix4f transform = Matrix4f::translation(place) * Matrix4f::rotation({0, 1, 0}, heading);
        const Vector3f eye(float(uniform(-80, 80)), float(uniform(0.5, 40)), float(uniform(-80, 80)));
        const std::uint32_t frame = static_cast<std::uint32_t>(uniform(0, 1000));
        // The eye as the animal sees it: turned back by its heading about its own centre.
        const Vector3f centre = transform.transformPoint(layout.centre);
        const Vector3f world(eye.x - centre.x, eye.y - centre.y, eye.z - centre.z);
        const Vector3f local = Matrix4f::rotation({0, 1, 0}, -heading).transformVector(world);
        unsigned a = 0, e = 0;
        if (!referenceCell(layout, local, a, e)) continue;
        ++checked;
        unsigned cell = 0;
        ASSERT_TRUE(quads.cellFor(transform, frame, eye, cell));
        EXPECT_EQ(cell, layout.cellIndex(a, e, layout.phaseOfFrame(frame))) << "heading " << heading;
    }
    EXPECT_GT(checked, 450);
    unsigned cell = 0;
    EXPECT_FALSE(quads.cellFor(Matrix4f::scaling({0, 0, 0}), 0, {1, 1, 1}, cell));
}

TEST(ImpostorAtlas, LayoutFitsTheBudgetAndKeepsCellsApart)
{
    const BoundingBox animal({-0.3f, 0.0f, -1.0f}, {0.3f, 1.4f, 1.0f});
    for (const double threshold : {16.0, 32.0, 64.0, 128.0, 256.0, 1000.0}) {
        for (const int maxTexture : {2048, 8192, 16384}) {
            const auto layout = ImpostorAtlasLayout::make(animal, 32, threshold, maxTexture);
            SCOPED_TRACE(::testing::Message() << "threshold " << threshold << ", max texture " << maxTexture);
            EXPECT_LE(layout.textureBytes(), ImpostorAtlasLayout::kMemoryBudget);
            EXPECT_LE(layout.width(), maxTexture);
            EXPECT_LE(layout.height(), maxTexture);
            EXPECT_EQ(layout.cellSize % ImpostorAtlasLayout::kCellStep, 0);
            EXPECT_GE(layout.columns * layout.rows, int(layout.cellCount()));
            EXPECT_GT(layout.mipLevels, 0);
            // Every mipmap level used keeps each cell on whole texels.
            EXPECT_EQ(layout.cellSize % (1 << layout.mipLevels), 0);
            EXPECT_GE(layout.cellSize >> layout.mipLevels, 4);
        }
    }
    // At the default threshold the cell gives about a texel per pixel at the switch: the box
    // is 64 pixels tall there, so its diagonal is 64 x diagonal / height pixels, which the
    // cell spans unless the budget forced it down.
    const auto layout = ImpostorAtlasLayout::make(animal, 32, 64.0, 16384);
    const double diagonal = std::sqrt(0.6 * 0.6 + 1.4 * 1.4 + 2.0 * 2.0);
    EXPECT_EQ(layout.cellCount(), 16u * 3u * 16u);
    EXPECT_NEAR(layout.radius, 0.5 * diagonal, 1e-5);
    EXPECT_GE(layout.cellSize, 0.75 * 64.0 * diagonal / 1.4);
    EXPECT_LE(layout.cellSize, 64.0 * diagonal / 1.4 + ImpostorAtlasLayout::kCellStep);
    // Cells tile the atlas without overlapping.
    std::vector<int> owner(static_cast<std::size_t>(layout.columns) * layout.rows, -1);
    for (unsigned c = 0; c < layout.cellCount(); ++c) {
        const int x = layout.cellX(c), y = layout.cellY(c);
        ASSERT_EQ(x % layout.cellSize, 0);
        ASSERT_EQ(y % layout.cellSize, 0);
        ASSERT_LE(x + layout.cellSize, layout.width());
        ASSERT_LE(y + layout.cellSize, layout.height());
        int& slot = owner[static_cast<std::size_t>(y / layout.cellSize) * layout.columns + x / layout.cellSize];
        ASSERT_EQ(slot, -1) << "cells " << slot << " and " << c << " overlap";
        slot = static_cast<int>(c);
    }
    // A short clip is pictured at every frame.
    EXPECT_EQ(ImpostorAtlasLayout::make(animal, 6, 64.0, 16384).phases, 6u);
}

TEST(ImpostorAtlas, QuadsAreTightToTheCoveredTexels)
{
    const ImpostorAtlasLayout layout = layoutOf(16, 3, 4, 4);
    std::vector<std::uint8_t> atlas(static_cast<std::size_t>(layout.width()) * layout.height() * 4, 0);
    const unsigned cell = layout.cellIndex(5, 1, 2);
    const int n = layout.cellSize;
    // A covered patch [10, 30) x [7, 41) and one faint texel at (45, 50).
    auto cover = [&](int x, int y, std::uint8_t alpha) {
        atlas[(static_cast<std::size_t>(layout.cellY(cell) + y) * layout.width() + layout.cellX(cell) + x) * 4 + 3] =
            alpha;
    };
    for (int y = 7; y < 41; ++y)
        for (int x = 10; x < 30; ++x) cover(x, y, 255);
    cover(45, 50, 1);
    // The neighbouring cells' texels must not count.
    for (const unsigned other : {cell - 1, cell + 1})
        for (int y = 0; y < n; ++y)
            atlas[(static_cast<std::size_t>(layout.cellY(other) + y) * layout.width() + layout.cellX(other)) * 4 + 3] =
                255;

    const ImpostorCellRect rect = coveredRect(atlas, layout, cell, 1);
    EXPECT_EQ(rect.x0, 9);
    EXPECT_EQ(rect.y0, 6);
    EXPECT_EQ(rect.x1, 47);
    EXPECT_EQ(rect.y1, 52);
    EXPECT_TRUE(coveredRect(atlas, layout, layout.cellIndex(0, 0, 0), 1).empty());

    const ImpostorCellQuad quad = impostorCellQuad(layout, cell, rect);
    ASSERT_FALSE(quad.empty);
    // Corners, seen along the cell's direction, sit at the rectangle's edges on the picture
    // plane through the centre: texel x spans 2 radius / cellSize scene units from -radius.
    const Vector3f r = layout.right(5, 1), u = layout.up(5, 1), d = layout.direction(5, 1);
    const double texel = 2.0 * layout.radius / n;
    const double expected[4][2] = {{9, 6}, {47, 6}, {47, 52}, {9, 52}};
    for (int k = 0; k < 4; ++k) {
        const Vector3f p(quad.corners[k].x - layout.centre.x, quad.corners[k].y - layout.centre.y,
                         quad.corners[k].z - layout.centre.z);
        EXPECT_NEAR(p.x * r.x + p.y * r.y + p.z * r.z, -layout.radius + expected[k][0] * texel, 1e-5);
        EXPECT_NEAR(p.x * u.x + p.y * u.y + p.z * u.z, -layout.radius + expected[k][1] * texel, 1e-5);
        EXPECT_NEAR(p.x * d.x + p.y * d.y + p.z * d.z, 0.0, 1e-5);
        EXPECT_NEAR(quad.texCoords[2 * k], (layout.cellX(cell) + expected[k][0]) / layout.width(), 1e-7);
        EXPECT_NEAR(quad.texCoords[2 * k + 1], (layout.cellY(cell) + expected[k][1]) / layout.height(), 1e-7);
    }
    // right, up and direction form a right-handed frame: the quad faces the viewer.
    EXPECT_NEAR(r.y * u.z - r.z * u.y, d.x, 1e-6);
    EXPECT_NEAR(r.z * u.x - r.x * u.z, d.y, 1e-6);
    EXPECT_NEAR(r.x * u.y - r.y * u.x, d.z, 1e-6);
}

TEST(ImpostorAtlas, CoverageIsPremultipliedAndMipmapsRound)
{
    // 4 x 2 samples at factor 2: texel 0 has one covered sample of (200, 100, 40), texel 1 all
    // four covered at (10, 20, 30) .. (13, 23, 33).
    std::vector<std::uint8_t> colour(4 * 2 * 4, 0);
    std::vector<float> depth(8, 1.0f);
    auto sample = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, float z) {
        const std::size_t s = static_cast<std::size_t>(y) * 4 + x;
        colour[s * 4] = r, colour[s * 4 + 1] = g, colour[s * 4 + 2] = b, colour[s * 4 + 3] = 255;
        depth[s] = z;
    };
    sample(1, 1, 200, 100, 40, 0.5f);
    sample(0, 0, 99, 99, 99, 1.0f); // colour without depth: the clear, not the animal
    sample(2, 0, 10, 20, 30, 0.1f);
    sample(3, 0, 11, 21, 31, 0.2f);
    sample(2, 1, 12, 22, 32, 0.3f);
    sample(3, 1, 13, 23, 33, 0.4f);
    const auto texels = resolveCoverage(colour, depth, 4, 2, 2);
    ASSERT_EQ(texels.size(), 8u);
    EXPECT_EQ((std::vector<int>(texels.begin(), texels.end())), (std::vector<int>{50, 25, 10, 64, 12, 22, 32, 255}));

    // Sums 258, 259, 260 and 262: the means 64.5 .. 65.5 round half up.
    const std::vector<std::uint8_t> block = {0, 0, 0, 0, 255, 255, 255, 255, 1, 2, 3, 4, 2, 2, 2, 3};
    EXPECT_EQ((std::vector<int>{65, 65, 65, 66}), ([&] {
                  const auto half = halveRgba(block, 2, 2);
                  return std::vector<int>(half.begin(), half.end());
              }()));
}

// A flat animal 1 unit tall (no depth, so its near and far faces project alike) standing at
// distance z in front of a camera at the origin looking down -z.
TEST(ImpostorThreshold, AnimalsSmallerOnScreenThanTheThresholdBecomeImpostors)
{
    SCOPED_TRACE(seedTrace(testSeed()));
    const double fovy = 45.0;
    const int viewportHeight = 720;
    const double f = 1.0 / std::tan(fovy * std::numbers::pi / 360.0);
    const double aspect = 1280.0 / 720.0, nearPlane = 0.1, farPlane = 10000.0;
    Matrix4f projection = Matrix4f::identity();
    projection(0, 0) = static_cast<float>(f / aspect);
    projection(1, 1) = static_cast<float>(f);
    projection(2, 2) = static_cast<float>((farPlane + nearPlane) / (nearPlane - farPlane));
    projection(2, 3) = static_cast<float>(2.0 * farPlane * nearPlane / (nearPlane - farPlane));
    projection(3, 2) = -1.0f;
    projection(3, 3) = 0.0f;
    const MatrixScreenSpaceConverter converter(Matrix4f::identity(), projection, {0, 0, 1280, viewportHeight});

    // The herd's skin is only carried along; instances are what is measured.
    struct Boxes : Herd {
        std::vector<HerdInstance> instances;
        Boxes() : Herd(nullptr) {}
        bool intersects(const BoundingBox&) const override { return false; }
        void setFrame(int, bool) override {}
        void addAnimal(const HerdCollection&) override {}
        void removeAnimal() override {}
        unsigned instanceCount() const override { return unsigned(instances.size()); }
        HerdInstance instance(unsigned i) const override { return instances[i]; }
    };
    auto boxes = std::make_shared<Boxes>();
    for (int n = 0; n < 400; ++n) {
        const float z = -static_cast<float>(uniform(2.0, 60.0));
        const float x = static_cast<float>(uniform(-0.2, 0.2)) * -z;
        HerdInstance instance;
        instance.frame = static_cast<std::uint32_t>(n);
        instance.box = BoundingBox({x - 0.3f, -0.5f, z}, {x + 0.3f, 0.5f, z});
        boxes->instances.push_back(instance);
    }
    HierarchicalHerd herd({}, boxes);
    const double thresholdPixels = 64.0;
    herd.setImpostorThreshold(2.0 * thresholdPixels / viewportHeight);
    herd.setMode(1);
    herd.distributeByScreenSize(converter);

    std::vector<std::uint32_t> expectedImpostors;
    for (const HerdInstance& instance : boxes->instances) {
        // Pinhole: a 1-unit-tall object at distance d is f / d of the half-height tall.
        const double pixels = 1.0 * f / -instance.box.minimum.z * viewportHeight / 2.0;
        if (std::fabs(pixels - thresholdPixels) < 1e-3) continue; // too close to call
        if (pixels < thresholdPixels) expectedImpostors.push_back(instance.frame);
    }
    std::vector<std::uint32_t> impostors;
    for (unsigned i = 0; i < herd.impostors()->instanceCount(); ++i)
        impostors.push_back(herd.impostors()->instance(i).frame);
    EXPECT_EQ(impostors, expectedImpostors);
    EXPECT_GT(expectedImpostors.size(), 100u);
    EXPECT_LT(expectedImpostors.size(), 350u);
    EXPECT_EQ(herd.levels()[0]->instanceCount() + herd.impostors()->instanceCount(), 400u);

    // Off: every animal gets a level. Fixed levels ignore the threshold.
    herd.setImpostorThreshold(0.0);
    herd.distributeByScreenSize(converter);
    EXPECT_EQ(herd.impostors()->instanceCount(), 0u);
    herd.setImpostorThreshold(1.0);
    herd.setFixedLevel(0);
    EXPECT_EQ(herd.impostors()->instanceCount(), 0u);
    EXPECT_FALSE(HierarchicalHerd::isImpostorHeight(NAN, 1.0));
    EXPECT_FALSE(HierarchicalHerd::isImpostorHeight(1.0, 1.0));
    EXPECT_TRUE(HierarchicalHerd::isImpostorHeight(0.99, 1.0));
    EXPECT_FALSE(HierarchicalHerd::isImpostorHeight(0.5, 0.0));

    // With a band skin and three levels: under the switch impostors, from the switch to
    // kBandFactor times it the band, above it the level of the box's area on screen (the flat
    // box is 0.6 f / aspect / d wide and f / d tall in normalized device space).
    std::vector<std::shared_ptr<Skin>> levelSkins;
    for (int l = 0; l < 3; ++l) levelSkins.push_back(makeTestSkin({}));
    HierarchicalHerd banded(levelSkins, boxes);
    const std::shared_ptr<Skin> bandSkin = makeTestSkin({});
    banded.setBandSkin(bandSkin);
    ASSERT_TRUE(banded.band());
    EXPECT_EQ(banded.band()->skin(), bandSkin);
    banded.setImpostorThreshold(2.0 * thresholdPixels / viewportHeight);
    banded.setMode(1);
    banded.distributeByScreenSize(converter);
    std::vector<std::uint32_t> expectedBand, bandImpostors;
    std::vector<std::vector<std::uint32_t>> expectedLevels(3);
    unsigned undecided = 0;
    for (const HerdInstance& instance : boxes->instances) {
        const double d = -instance.box.minimum.z;
        const double pixels = f / d * viewportHeight / 2.0;
        const double area = (0.6 * f / aspect / d) * (f / d);
        // Too close to call at either edge, or at a border between levels.
        const double levelEdge = std::fabs(std::log(area) * 0.5 - std::round(std::log(area) * 0.5));
        if (std::fabs(pixels - thresholdPixels) < 1e-3 ||
            std::fabs(pixels - HierarchicalHerd::kBandFactor * thresholdPixels) < 1e-3 || levelEdge < 1e-6) {
            ++undecided;
            continue;
        }
        if (pixels < thresholdPixels)
            bandImpostors.push_back(instance.frame);
        else if (pixels < HierarchicalHerd::kBandFactor * thresholdPixels)
            expectedBand.push_back(instance.frame);
        else
            expectedLevels[HierarchicalHerd::levelForArea(area, 0.5, 3)].push_back(instance.frame);
    }
    auto framesOf = [](const Herd& herd) {
        std::vector<std::uint32_t> frames;
        for (unsigned i = 0; i < herd.instanceCount(); ++i) frames.push_back(herd.instance(i).frame);
        return frames;
    };
    EXPECT_EQ(undecided, 0u);
    EXPECT_EQ(framesOf(*banded.impostors()), bandImpostors);
    EXPECT_EQ(bandImpostors, expectedImpostors) << "the band takes nothing from the impostors";
    EXPECT_EQ(framesOf(*banded.band()), expectedBand);
    EXPECT_GT(expectedBand.size(), 30u);
    for (unsigned l = 0; l < 3; ++l) EXPECT_EQ(framesOf(*banded.levels()[l]), expectedLevels[l]) << "level " << l;
    EXPECT_GT(expectedLevels[0].size() + expectedLevels[1].size(), 5u) << "some animals are above the band";
    EXPECT_FALSE(HierarchicalHerd::isBandHeight(NAN, 1.0));
    EXPECT_FALSE(HierarchicalHerd::isBandHeight(HierarchicalHerd::kBandFactor, 1.0));
    EXPECT_TRUE(HierarchicalHerd::isBandHeight(HierarchicalHerd::kBandFactor - 0.01, 1.0));
    EXPECT_FALSE(HierarchicalHerd::isBandHeight(0.5, 0.0));
    // Impostors off, or a fixed level: the band stays empty and the animals keep their levels.
    banded.setImpostorThreshold(0.0);
    banded.distributeByScreenSize(converter);
    EXPECT_EQ(banded.band()->instanceCount(), 0u);
    EXPECT_EQ(banded.levels()[2]->instanceCount() + banded.levels()[1]->instanceCount() +
                  banded.levels()[0]->instanceCount(),
              400u);
    banded.setImpostorThreshold(2.0 * thresholdPixels / viewportHeight);
    banded.distributeByScreenSize(converter);
    banded.setFixedLevel(1);
    EXPECT_EQ(banded.band()->instanceCount(), 0u);
    EXPECT_EQ(banded.levels()[1]->instanceCount(), 400u);
    banded.setMode(1);
    banded.setBandSkin(nullptr);
    banded.distributeByScreenSize(converter);
    EXPECT_FALSE(banded.band());
    EXPECT_EQ(framesOf(*banded.impostors()), expectedImpostors) << "without a band skin, as without a band";

    // Refilling the levels, the band and the impostors for the same animals allocates nothing,
    // nor does building the impostors' quads and the blobs of impostors and band once their
    // arrays have held that many.
    banded.setBandSkin(bandSkin);
    banded.distributeByScreenSize(converter);
    const ImpostorAtlasLayout layout = layoutOf(16, 3, 16, 400);
    std::vector<ImpostorCellQuad> cells(layout.cellCount());
    for (unsigned c = 0; c < layout.cellCount(); ++c) cells[c] = impostorCellQuad(layout, c, {0, 0, 8, 8});
    ImpostorQuads quads;
    quads.setAtlas(layout, std::move(cells));
    quads.setShadowFootprint({-0.5f, -1.0f, 0.5f, 1.0f, 0.0f});
    const ViewFrustumTest frustum(Matrix4f::identity(), projection);
    quads.cull(*banded.impostors(), frustum);
    quads.build(*banded.impostors(), {0, 0, 0}, true);
    quads.addShadows(*banded.band(), frustum);
    const long before = g_allocations.load();
    for (int frame = 0; frame < 3; ++frame) {
        banded.distributeByScreenSize(converter);
        quads.cull(*banded.impostors(), frustum);
        quads.build(*banded.impostors(), {0, 0, 0}, true);
        quads.addShadows(*banded.band(), frustum);
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
    EXPECT_EQ(quads.quadCount(), expectedImpostors.size());
    // Every animal is in view: a blob under each impostor and each band animal.
    EXPECT_EQ(quads.shadowCount(), quads.quadCount() + expectedBand.size());
}

TEST(ImpostorQuadsTest, QuadsFollowTheAnimalAndSkipThoseOutOfView)
{
    const ImpostorAtlasLayout layout = layoutOf(16, 3, 4, 4);
    std::vector<ImpostorCellQuad> cells(layout.cellCount());
    for (unsigned c = 0; c < layout.cellCount(); ++c) cells[c] = impostorCellQuad(layout, c, {2, 3, 20, 30});
    // One cell has no picture: animals that would show it are left out.
    cells[layout.cellIndex(0, 0, 0)] = {};
    ImpostorQuads quads;
    quads.setAtlas(layout, cells);

    SimpleHerd herd(nullptr);
    auto add = [&](Vector3f place, float heading, std::uint32_t frame) {
        HerdInstance instance;
        instance.frame = frame;
        instance.transform = Matrix4f::translation(place) * Matrix4f::rotation({0, 1, 0}, heading);
        instance.box = BoundingBox({place.x - 1, place.y, place.z - 1}, {place.x + 1, place.y + 1.4f, place.z + 1});
        herd.append(instance);
    };
    add({0, 0, -20}, 0.7f, 1);
    add({3, 0, -40}, -2.0f, 2);
    add({0, 0, 50}, 0.0f, 0);           // behind the eye: culled
    add({0, 0, -30}, std::numbers::pi_v<float>, 0); // turned away: the eye is at its -z, azimuth 8
    add({0, 0, -30}, 0.0f, 0);          // the eye at its +z: cell (0, 0, 0), which has no picture
    Matrix4f projection = Matrix4f::identity();
    projection(2, 2) = -1.0f, projection(2, 3) = -0.2f, projection(3, 2) = -1.0f, projection(3, 3) = 0.0f;
    quads.cull(herd, ViewFrustumTest(Matrix4f::identity(), projection));
    EXPECT_EQ(quads.visible(), (std::vector<unsigned>{0, 1, 3, 4}));
    const Vector3f eye(0, 0.7f, 0);
    ASSERT_EQ(quads.build(herd, eye, false), 3u);
    EXPECT_EQ(quads.shadowCount(), 0u); // no footprint
    // Each quad is its cell's quad under the animal's transform.
    int q = 0;
    for (const unsigned i : {0u, 1u, 3u}) {
        const HerdInstance instance = herd.instance(i);
        unsigned cell = 0;
        ASSERT_TRUE(quads.cellFor(instance.transform, instance.frame, eye, cell));
        for (int k = 0; k < 4; ++k) {
            const Vector3f p = instance.transform.transformPoint(cells[cell].corners[k]);
            const float* v = quads.vertices() + (q * 4 + k) * ImpostorQuads::kFloatsPerVertex;
            EXPECT_FLOAT_EQ(v[0], p.x);
            EXPECT_FLOAT_EQ(v[1], p.y);
            EXPECT_FLOAT_EQ(v[2], p.z);
            EXPECT_FLOAT_EQ(v[3], cells[cell].texCoords[2 * k]);
            EXPECT_FLOAT_EQ(v[4], cells[cell].texCoords[2 * k + 1]);
        }
        ++q;
    }
    unsigned facing = 0;
    ASSERT_TRUE(quads.cellFor(herd.instance(3).transform, 0, eye, facing));
    EXPECT_EQ(facing, layout.cellIndex(8, 0, 0));
    ASSERT_TRUE(quads.cellFor(herd.instance(4).transform, 0, eye, facing));
    EXPECT_EQ(facing, layout.cellIndex(0, 0, 0));
}

} // namespace
