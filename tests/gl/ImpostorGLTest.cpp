// Impostors on a real context: an animal drawn as a mesh and as its impostor at the distance
// where the one turns into the other must cover the same pixels, so the switch does not pop.

#include "GLTest.h"
#include "TestSkins.h"

#include "herd/BoxRules.h"
#include "herd/HierarchicalHerd.h"
#include "herd/SimpleHerd.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLState.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/ImpostorRenderer.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

constexpr unsigned kThresholdPixels = 64;
// The view the default switch height is meant for.
constexpr int kPictureWidth = 1280;
constexpr int kPictureHeight = 720;

struct Coverage {
    int minX = kPictureWidth, minY = kPictureHeight, maxX = -1, maxY = -1;
    int pixels = 0;
    double colour[3] = {0, 0, 0};
    std::vector<bool> mask = std::vector<bool>(static_cast<std::size_t>(kPictureWidth) * kPictureHeight, false);
};

// An off-screen picture of the viewer's usual size, with a 45 degree perspective camera at
// (0, 0, kEyeDistance) looking down -z, as the fixture's window has.
class Offscreen {
public:
    Offscreen()
    {
        glViewport(0, 0, kPictureWidth, kPictureHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(GLTest::kFovy, double(kPictureWidth) / kPictureHeight, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
    }
    ~Offscreen() { glViewport(0, 0, testWindow().width(), testWindow().height()); }
    bool complete() const { return m_framebuffer.valid(); }

    Coverage coverage() const
    {
        std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(kPictureWidth) * kPictureHeight);
        GLState::PackIntoImage pack(kPictureWidth, 0, 0);
        glReadPixels(0, 0, kPictureWidth, kPictureHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        Coverage c;
        for (int y = 0; y < kPictureHeight; ++y)
            for (int x = 0; x < kPictureWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * kPictureWidth + x;
                const std::uint8_t* p = &rgb[3 * i];
                if (p[0] == GLTest::kBackground[0] && p[1] == GLTest::kBackground[1] && p[2] == GLTest::kBackground[2])
                    continue;
                c.minX = std::min(c.minX, x), c.maxX = std::max(c.maxX, x);
                c.minY = std::min(c.minY, y), c.maxY = std::max(c.maxY, y);
                ++c.pixels;
                c.mask[i] = true;
                for (int k = 0; k < 3; ++k) c.colour[k] += p[k];
            }
        for (double& channel : c.colour) channel /= std::max(c.pixels, 1);
        return c;
    }

private:
    GLFramebuffer m_framebuffer{kPictureWidth, kPictureHeight};
};

// Pixels covered by both over pixels covered by either; b mirrored about x = axis / 2 first
// when asked.
double overlap(const Coverage& a, const Coverage& b, bool mirrorB, int axis)
{
    int both = 0, either = 0;
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) {
            const int bx = mirrorB ? axis - x : x;
            const bool inB = bx >= 0 && bx < kPictureWidth && b.mask[static_cast<std::size_t>(y) * kPictureWidth + bx];
            const bool inA = a.mask[static_cast<std::size_t>(y) * kPictureWidth + x];
            both += inA && inB;
            either += inA || inB;
        }
    return either == 0 ? 0.0 : double(both) / either;
}

using ImpostorGLTest = GLTest;

TEST_F(ImpostorGLTest, MeshAndImpostorCoverTheSamePixelsAtTheSwitch)
{
    if (!GLEW_ARB_vertex_program || !GLEW_EXT_framebuffer_object) FAIL() << "the GL lacks vertex programs or FBOs";
    // A sphere drawn out to 2.4 on +x and flattened in z: lopsided, so a mirrored or turned
    // picture would not match.
    SphereOptions options;
    options.frames = 1;
    SkinRecord record = sphereRecord("lopsided", options);
    for (Vector3f& p : record.positions) {
        if (p.x > 0.0f) p.x *= 2.4f;
        p.z *= 0.6f;
    }
    record.boundingBox = BoundingBox({-1.0f, -1.0f, -0.6f}, {2.4f, 1.0f, 0.6f});
    record.frameBoxes.assign(1, record.boundingBox);
    const std::shared_ptr<Skin> skin = skinOf(record);
    TestSettings settings;
    settings.lighting = LightingMode::PRT;

    const Offscreen picture;
    ASSERT_TRUE(picture.complete());
    const MatrixScreenSpaceConverter converter(GLState::modelview(), GLState::projection(), GLState::viewport());
    const double threshold = 2.0 * kThresholdPixels / kPictureHeight;
    // The distance in front of the eye where the box is exactly as tall as the threshold.
    auto boxAt = [&](double distance, float heading) {
        HerdInstance instance;
        instance.frame = 0;
        instance.transform = Matrix4f::translation({0.0f, 0.0f, static_cast<float>(kEyeDistance - distance)}) *
                             Matrix4f::rotation({0, 1, 0}, heading);
        instance.box = transformBox(skin->boundingBox(), instance.transform);
        return instance;
    };
    int lopsidedViews = 0;
    for (const float heading : {0.0f, 0.3f, -2.0f}) {
        SCOPED_TRACE(::testing::Message() << "heading " << heading);
        double near = 2.0, far = 60.0;
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (near + far);
            (converter.apparentHeight(boxAt(mid, heading).box) > threshold ? near : far) = mid;
        }
        const double switchDistance = far;
        // Just beyond the switch: an impostor; just before it: a mesh.
        auto wrapped = std::make_shared<SimpleHerd>(skin);
        wrapped->append(boxAt(switchDistance * 1.01, heading));
        wrapped->append(boxAt(switchDistance * 0.99, heading));
        auto herd = std::make_shared<HierarchicalHerd>(std::vector<std::shared_ptr<Skin>>{skin}, wrapped);
        herd->setMode(1);
        herd->setImpostorThreshold(threshold);
        herd->distributeByScreenSize(converter);
        ASSERT_EQ(herd->impostors()->instanceCount(), 1u);
        ASSERT_EQ(herd->levels()[0]->instanceCount(), 1u);
        ASSERT_FLOAT_EQ(herd->impostors()->instance(0).transform(2, 3), wrapped->instance(0).transform(2, 3));

        // The mesh at the impostor's place.
        auto meshHerd = std::make_shared<SimpleHerd>(skin);
        meshHerd->append(herd->impostors()->instance(0));
        HardwareSkinRenderer mesh(meshHerd, 0, "");
        clear();
        mesh.render(settings);
        const Coverage meshCoverage = picture.coverage();
        expectNoGLError("mesh");

        ImpostorRenderer impostor(herd, "");
        impostor.prepare(settings, true, kThresholdPixels);
        ASSERT_NE(impostor.atlas(), nullptr);
        FrameBreakdown breakdown;
        clear();
        impostor.update(GLState::viewFrustumTest(), {0.0f, 0.0f, static_cast<float>(kEyeDistance)}, false, breakdown);
        impostor.render(breakdown);
        const Coverage impostorCoverage = picture.coverage();
        expectNoGLError("impostor");
        EXPECT_EQ(breakdown.impostorsDrawn, 1u);

        // About 60 pixels tall (the box, 64, a little taller). The impostor may differ
        // from the mesh by its texels (the cell holds about one texel per pixel here, and texels
        // of less than a quarter coverage are not drawn), by its parallel projection against
        // the mesh's perspective (the animal's near end is a few percent larger in the mesh) and
        // by the cell's direction, up to 11.25 degrees round from the eye's: two pixels and 4%
        // of the size on each edge.
        const int height = meshCoverage.maxY - meshCoverage.minY + 1;
        const int width = meshCoverage.maxX - meshCoverage.minX + 1;
        ASSERT_GT(height, 40);
        const double toleranceY = 2.0 + 0.04 * height, toleranceX = 2.0 + 0.04 * width;
        EXPECT_NEAR(impostorCoverage.minX, meshCoverage.minX, toleranceX);
        EXPECT_NEAR(impostorCoverage.maxX, meshCoverage.maxX, toleranceX);
        EXPECT_NEAR(impostorCoverage.minY, meshCoverage.minY, toleranceY);
        EXPECT_NEAR(impostorCoverage.maxY, meshCoverage.maxY, toleranceY);
        // The same shape, not its mirror image: where the silhouette is lopsided (seen from the
        // side), the impostor's overlaps the mesh's far more than the mesh's own mirror image.
        const double same = overlap(meshCoverage, impostorCoverage, false, 0);
        const double mirrored = overlap(meshCoverage, meshCoverage, true, meshCoverage.minX + meshCoverage.maxX);
        std::cout << "heading " << heading << ": silhouette overlap " << same << ", with its mirror image "
                  << mirrored << "; box of the mesh x " << meshCoverage.minX << ".." << meshCoverage.maxX << " y "
                  << meshCoverage.minY << ".." << meshCoverage.maxY << ", of the impostor x " << impostorCoverage.minX
                  << ".." << impostorCoverage.maxX << " y " << impostorCoverage.minY << ".." << impostorCoverage.maxY
                  << std::endl;
        EXPECT_GT(same, 0.88);
        // (A view whose mirror image still overlaps 0.88 or more is too symmetric to tell.)
        if (mirrored < 0.88) {
            EXPECT_GT(same, mirrored + 0.05);
            ++lopsidedViews;
        }
        // The lighting baked into the atlas is the mesh's.
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(impostorCoverage.colour[c], meshCoverage.colour[c], 8.0) << c;
    }
    EXPECT_GE(lopsidedViews, 2);
}

// One animal walking away from the eye through the switch, a frame of its animation per step
// and 3% farther each step: its area, its place and its mean colour change from step to step
// at the switch as they do on either side of it. A cell of the wrong size, a quad off its
// anchor or lighting that differs from the mesh's shows as a jump.
TEST_F(ImpostorGLTest, AnAnimalWalkingAwayThroughTheSwitchDoesNotJump)
{
    if (!GLEW_ARB_vertex_program || !GLEW_EXT_framebuffer_object) FAIL() << "the GL lacks vertex programs or FBOs";
    SphereOptions options;
    options.frames = 16;
    options.flatLighting = false;
    SkinRecord record = sphereRecord("walker", options);
    for (Vector3f& p : record.positions)
        if (p.z > 0.0f) p.z *= 1.8f; // longer in front: a body with a head
    record.boundingBox = BoundingBox({-1.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.8f});
    record.frameBoxes.assign(record.frameBoxes.size(), record.boundingBox);
    const std::shared_ptr<Skin> skin = skinOf(record);
    TestSettings settings;
    settings.lighting = LightingMode::PRT;

    const Offscreen picture;
    ASSERT_TRUE(picture.complete());
    const MatrixScreenSpaceConverter converter(GLState::modelview(), GLState::projection(), GLState::viewport());
    const double threshold = 2.0 * kThresholdPixels / kPictureHeight;
    auto wrapped = std::make_shared<SimpleHerd>(skin);
    auto herd = std::make_shared<HierarchicalHerd>(std::vector<std::shared_ptr<Skin>>{skin}, wrapped);
    herd->setMode(1);
    herd->setImpostorThreshold(threshold);
    HardwareSkinRenderer mesh(herd->levels()[0], 0, "");
    ImpostorRenderer impostor(herd, "");
    impostor.prepare(settings, true, kThresholdPixels);
    const Vector3f eye{0.0f, 0.0f, static_cast<float>(kEyeDistance)};

    struct Step {
        bool impostor = false;
        double logArea = 0, x = 0, y = 0, colour[3] = {0, 0, 0};
    };
    std::vector<Step> steps;
    double distance = 14.0;
    for (int i = 0; i < 40; ++i, distance *= 1.03) {
        // Below the eye, facing away from it (heading pi), slightly turned.
        HerdInstance walker;
        walker.frame = static_cast<std::uint32_t>(i % 16);
        walker.transform = Matrix4f::translation({0.6f, -1.8f, static_cast<float>(kEyeDistance - distance)}) *
                           Matrix4f::rotation({0, 1, 0}, 3.0f);
        walker.box = transformBox(skin->boundingBox(), walker.transform);
        wrapped->clear();
        wrapped->append(walker);
        herd->distributeByScreenSize(converter);
        clear();
        FrameBreakdown breakdown;
        mesh.render(settings);
        impostor.update(GLState::viewFrustumTest(), eye, false, breakdown);
        impostor.render(breakdown);
        expectNoGLError("step");
        const Coverage c = picture.coverage();
        ASSERT_GT(c.pixels, 100) << "step " << i;
        Step step;
        step.impostor = breakdown.impostorsDrawn == 1;
        ASSERT_EQ(step.impostor, herd->impostors()->instanceCount() == 1u);
        step.logArea = std::log(double(c.pixels));
        double sx = 0, sy = 0;
        for (int y = c.minY; y <= c.maxY; ++y)
            for (int x = c.minX; x <= c.maxX; ++x)
                if (c.mask[static_cast<std::size_t>(y) * kPictureWidth + x]) sx += x, sy += y;
        step.x = sx / c.pixels, step.y = sy / c.pixels;
        for (int k = 0; k < 3; ++k) step.colour[k] = c.colour[k];
        steps.push_back(step);
    }
    // Meshes first, then impostors only.
    const auto firstImpostor = std::find_if(steps.begin(), steps.end(), [](const Step& s) { return s.impostor; });
    const std::ptrdiff_t sw = firstImpostor - steps.begin();
    ASSERT_GE(sw, 8) << "the walk starts as a mesh";
    ASSERT_LE(sw, 32) << "and ends as an impostor";
    for (std::size_t i = 0; i < steps.size(); ++i) ASSERT_EQ(steps[i].impostor, std::ptrdiff_t(i) >= sw) << i;

    // The change from step i - 1 to i, against the mean change of the four steps on either side
    // of the switch (the walk's own trend).
    const auto change = [&](std::size_t i, auto field) { return field(steps[i]) - field(steps[i - 1]); };
    const auto jump = [&](auto field) {
        double trend = 0;
        int n = 0;
        for (std::ptrdiff_t i = sw - 4; i <= sw + 4; ++i)
            if (i != sw && i >= 1 && i < std::ptrdiff_t(steps.size())) trend += change(std::size_t(i), field), ++n;
        return change(std::size_t(sw), field) - trend / n;
    };
    const double area = jump([](const Step& s) { return s.logArea; });
    const double x = jump([](const Step& s) { return s.x; });
    const double y = jump([](const Step& s) { return s.y; });
    double colour = 0;
    for (int k = 0; k < 3; ++k) colour = std::max(colour, std::fabs(jump([k](const Step& s) { return s.colour[k]; })));
    // The largest colour change between any two steps away from the switch: the animation's own.
    double ownColour = 0;
    for (std::size_t i = 1; i < steps.size(); ++i)
        if (std::ptrdiff_t(i) != sw)
            for (int k = 0; k < 3; ++k)
                ownColour = std::max(ownColour, std::fabs(steps[i].colour[k] - steps[i - 1].colour[k]));
    std::cout << "switch at step " << sw << " (" << std::exp(steps[std::size_t(sw)].logArea) << " pixels): area "
              << 100.0 * (std::exp(area) - 1.0) << "% off the trend, centre " << x << ", " << y
              << " pixels, mean colour " << colour << " levels (between other steps up to " << ownColour << ")"
              << std::endl;
    EXPECT_LT(std::fabs(area), std::log(1.10)) << "area";
    // The cell pictures the animal from up to 11.25 degrees round from the eye's direction, in
    // parallel projection: its centre may move by a few hundredths of its size.
    const double size = std::sqrt(std::exp(steps[std::size_t(sw)].logArea));
    EXPECT_LT(std::fabs(x), 0.05 * size) << "centre x";
    EXPECT_LT(std::fabs(y), 0.05 * size) << "centre y";
    EXPECT_LT(colour, std::max(4.0, ownColour)) << "mean colour";
}

TEST_F(ImpostorGLTest, TheAtlasHoldsEveryCellWithinItsBudget)
{
    SphereOptions options;
    options.frames = 20;
    const std::shared_ptr<Skin> skin = skinOf(sphereRecord("ball", options));
    TestSettings settings;
    ImpostorAtlas::keepTexels(true);
    const ImpostorAtlas atlas(skin, 0, "", settings, true, kThresholdPixels);
    ImpostorAtlas::keepTexels(false);
    expectNoGLError("atlas");
    const ImpostorAtlasLayout& layout = atlas.layout();
    EXPECT_EQ(layout.cellCount(), 16u * 3u * 16u);
    EXPECT_LE(layout.textureBytes(), ImpostorAtlasLayout::kMemoryBudget);
    ASSERT_EQ(atlas.texels().size(), static_cast<std::size_t>(layout.width()) * layout.height() * 4);
    // Every cell pictures the ball: a disc about the cell's middle, filling most of it (the
    // cell spans the box's diagonal, the ball the box's side), with a fringe of partial
    // coverage, and premultiplied texels never brighter than their coverage.
    for (unsigned c = 0; c < layout.cellCount(); ++c) ASSERT_FALSE(atlas.cells()[c].empty) << "cell " << c;
    // Phase 0 shows frame 0, the rest pose: a ball from every side.
    for (unsigned c = 0; c < layout.azimuths * layout.elevations; ++c) {
        const ImpostorCellRect rect = coveredRect(atlas.texels(), layout, c, 0);
        const double expectedSide = layout.cellSize * 2.0 / (2.0 * layout.radius);
        EXPECT_NEAR(rect.x1 - rect.x0, expectedSide, 3.0) << "cell " << c;
        EXPECT_NEAR(rect.y1 - rect.y0, expectedSide, 3.0) << "cell " << c;
        EXPECT_NEAR(0.5 * (rect.x0 + rect.x1), 0.5 * layout.cellSize, 1.5) << "cell " << c;
    }
    int partial = 0;
    for (std::size_t i = 0; i < atlas.texels().size(); i += 4) {
        const std::uint8_t alpha = atlas.texels()[i + 3];
        for (int k = 0; k < 3; ++k) ASSERT_LE(atlas.texels()[i + k], alpha);
        partial += alpha > 0 && alpha < 255;
    }
    EXPECT_GT(partial, 0);
}

} // namespace
