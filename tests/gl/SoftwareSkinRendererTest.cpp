// The software renderer on a real context: what each render method and lighting mode puts on
// the screen, PRT colours, the wireframe overlay, culling, index batches of large strip sets,
// shared textures and the state it leaves behind.

#include "GLSuite.h"
#include "TestSkins.h"

#include "SkinRecordFixtures.h"
#include "TempDirectory.h"
#include "foundation/Exception.h"
#include "herd/BoxRules.h"
#include "herd/HerdOfOne.h"
#include "herd/SimpleHerd.h"
#include "render/gl/ARBVertexBufferObject.h"
#include "render/gl/GLBasicBuffer.h"
#include "render/gl/GLState.h"
#include "render/gl/VBOMemoryManager.h"
#include "render/gl/SoftwareSkinRenderer.h"

#include <GL/glew.h>
#include <wx/image.h>

#include <cmath>
#include <filesystem>
#include <map>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr RenderMethod kMethods[] = {RenderMethod::DisplayLists, RenderMethod::VertexBufferObjects,
                                     RenderMethod::VertexArrays};
constexpr LightingMode kLightings[] = {LightingMode::None, LightingMode::OpenGL, LightingMode::PRT};

const char* nameOf(RenderMethod method)
{
    switch (method) {
    case RenderMethod::DisplayLists: return "display lists";
    case RenderMethod::VertexBufferObjects: return "vertex buffer objects";
    default: return "vertex arrays";
    }
}

const char* nameOf(LightingMode lighting)
{
    switch (lighting) {
    case LightingMode::None: return "no lighting";
    case LightingMode::OpenGL: return "OpenGL lighting";
    default: return "PRT";
    }
}

HerdInstance placed(const Skin& skin, unsigned frame, const Vector3f& at, float scale = 1.0f)
{
    HerdInstance instance;
    instance.frame = frame;
    instance.transform = Matrix4f::translation(at) * Matrix4f::scaling({scale, scale, scale});
    instance.box = transformBox(skin.boundingBox(), instance.transform);
    return instance;
}

int countColor(const Picture& picture, const Rgb& color)
{
    const std::vector<std::uint8_t>& pixels = picture.rgb;
    int count = 0;
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
        count += (pixels[i] == color.r && pixels[i + 1] == color.g && pixels[i + 2] == color.b) ? 1 : 0;
    return count;
}

int maxDifference(const Picture& a, const Picture& b)
{
    int most = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return most;
}

int brightness(const Rgb& c)
{
    return c.r + c.g + c.b;
}

} // namespace

class SoftwareSkinRendererTest : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        m_sphere = skinOf(sphereRecord("sphere", SphereOptions{}));
    }

    // Draws herd once with fresh GL resources and returns the picture.
    Picture draw(SoftwareSkinRenderer& renderer, const TestSettings& settings)
    {
        renderer.releaseGLResources();
        clear();
        renderer.render(settings);
        expectNoGLError("render");
        return picture();
    }

    std::shared_ptr<Skin> m_sphere;
};

TEST_F(SoftwareSkinRendererTest, EveryMethodAndLightingModeCoversTheAnimalAndLeavesTheBackgroundElsewhere)
{
    SoftwareSkinRenderer renderer(std::make_shared<HerdOfOne>(m_sphere), 0, "");
    const double radius = sphereRadiusInPixels(1.0);
    const double disc = 3.14159265 * radius * radius;
    const int cx = kWidth / 2, cy = kHeight / 2;
    for (RenderMethod method : kMethods)
        for (LightingMode lighting : kLightings) {
            SCOPED_TRACE(std::string(nameOf(method)) + ", " + nameOf(lighting));
            TestSettings settings;
            settings.method = method;
            settings.lighting = lighting;
            const auto pixels = draw(renderer, settings);
            // A 24-sided sphere covers a little less than its true silhouette.
            const int covered = pixels.coveredCount();
            EXPECT_GT(covered, 0.95 * disc);
            EXPECT_LT(covered, 1.02 * disc);
            EXPECT_FALSE(isBackground(pixels.at(cx, cy)));
            for (int k = 0; k < 8; ++k) {
                const double a = k * 3.14159265 / 4;
                const int x = cx + int(std::lround(1.1 * radius * std::cos(a)));
                const int y = cy + int(std::lround(1.1 * radius * std::sin(a)));
                EXPECT_TRUE(isBackground(pixels.at(x, y))) << "outside the silhouette at " << x << ", " << y;
            }
            const Rgb left = pixels.at(cx - int(0.6 * radius), cy), right = pixels.at(cx + int(0.6 * radius), cy);
            if (lighting == LightingMode::OpenGL)
                EXPECT_GT(brightness(right), brightness(left) + 100) << "the light comes from the right";
            else
                EXPECT_EQ(left, right) << "flat colours without OpenGL lighting";
        }
}

TEST_F(SoftwareSkinRendererTest, PrtColourIsMeanLightingTimesVertexColourWithoutABasis)
{
    SphereOptions options;
    options.color = {0.8f, 0.4f, 0.2f};
    options.meanLighting = 0.75f;
    auto skin = skinOf(sphereRecord("flat", options));
    ASSERT_EQ(skin->lightingBasisCount(), 0u);
    auto herd = std::make_shared<SimpleHerd>(skin);
    herd->append(placed(*skin, 0, {-1.2f, 0, 0}));
    herd->append(placed(*skin, 5, {1.2f, 0, 0}));
    SoftwareSkinRenderer renderer(herd, 0, "");
    TestSettings settings;
    settings.lighting = LightingMode::PRT;
    for (RenderMethod method : kMethods) {
        settings.method = method;
        const auto pixels = draw(renderer, settings);
        const double toPixels = kHeight / 2.0 / std::tan(kFovy * 3.14159265 / 360.0) / kEyeDistance;
        for (double x : {-1.2, 1.2}) {
            const Rgb c = pixels.at(kWidth / 2 + int(std::lround(x * toPixels)), kHeight / 2);
            EXPECT_NEAR(c.r, 255 * 0.75 * 0.8, 1.0) << nameOf(method);
            EXPECT_NEAR(c.g, 255 * 0.75 * 0.4, 1.0) << nameOf(method);
            EXPECT_NEAR(c.b, 255 * 0.75 * 0.2, 1.0) << nameOf(method);
        }
    }
    ASSERT_EQ(renderer.frameColors().size(), skin->frameCount());
}

TEST_F(SoftwareSkinRendererTest, PrtBasisChangesTheColoursFrameByFrame)
{
    SphereOptions options;
    options.prtBasis = true;
    auto skin = skinOf(sphereRecord("lit", options));
    auto herd = std::make_shared<SimpleHerd>(skin);
    herd->append(placed(*skin, 0, {}));
    SoftwareSkinRenderer renderer(herd, 0, "");
    TestSettings settings;
    settings.lighting = LightingMode::PRT;
    const auto frame0 = draw(renderer, settings);
    herd->clear();
    herd->append(placed(*skin, 3, {}));
    const auto frame3 = draw(renderer, settings);
    EXPECT_GT(maxDifference(frame0, frame3), 20) << "the light swings round between frames 0 and 3";
}

TEST_F(SoftwareSkinRendererTest, TheWireframeOverlayAddsDarkLinesInEveryLightingMode)
{
    auto herd = std::make_shared<SimpleHerd>(m_sphere);
    herd->append(placed(*m_sphere, 0, {-1.2f, 0, 0}));
    herd->append(placed(*m_sphere, 0, {1.2f, 0, 0}));
    SoftwareSkinRenderer renderer(herd, 0, "");
    const Rgb line{40, 40, 40};
    for (LightingMode lighting : kLightings) {
        SCOPED_TRACE(nameOf(lighting));
        TestSettings settings;
        settings.lighting = lighting;
        const auto plain = draw(renderer, settings);
        // OpenGL lighting of the grey material passes through the line colour here and there.
        EXPECT_LT(countColor(plain, line), 100);

        settings.wireframe = true;
        const auto onShaded = draw(renderer, settings);
        EXPECT_GT(countColor(onShaded, line), countColor(plain, line) + 500) << "dark lines over the polygons";
        // Lines on the silhouette may reach a pixel beyond the filled polygons, no further.
        EXPECT_GE(onShaded.coveredCount(), plain.coveredCount());
        EXPECT_LT(onShaded.coveredCount(), plain.coveredCount() * 1.03) << "lines stay on the animals";

        settings.wireframe = false;
        settings.geometry = GeometryMode::Wireframe;
        EXPECT_EQ(draw(renderer, settings), onShaded) << "Wireframe draws the same as Polys with the overlay";

        if (lighting == LightingMode::None) {
            // Both animals' surfaces keep the unlit grey: the first one's line pass must not
            // leave its dark colour for the second one's polygons.
            int left = 0, right = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    if (onShaded.at(x, y) == Rgb{204, 204, 204}) ++(x < kWidth / 2 ? left : right);
            EXPECT_GT(left, 2000);
            EXPECT_NEAR(right, left, left / 10);
        }
    }
}

TEST_F(SoftwareSkinRendererTest, OnlyInstancesWhollyBeyondOneClipPlaneAreSkipped)
{
    // At the origin's depth the view spans about -2.49 .. 2.49 in x.
    auto herd = std::make_shared<SimpleHerd>(m_sphere);
    herd->append(placed(*m_sphere, 0, {-10, 0, 0}));  // beyond the left plane
    herd->append(placed(*m_sphere, 0, {2.4f, 0, 0})); // straddles the right edge
    herd->append(placed(*m_sphere, 0, {0, 0, 20}));   // behind the eye
    SoftwareSkinRenderer renderer(herd, 0, "");
    const GLuint triangles = m_sphere->triangleCount();
    for (RenderMethod method : kMethods) {
        TestSettings settings;
        settings.method = method;
        settings.strips = false;
        renderer.releaseGLResources();
        clear();
        EXPECT_EQ(primitivesGenerated([&] { renderer.render(settings); }), triangles)
            << nameOf(method) << ": only the straddling animal is drawn";
        const auto pixels = picture();
        EXPECT_FALSE(isBackground(pixels.at(kWidth - 1, kHeight / 2))) << "its visible part reaches the edge";
        EXPECT_TRUE(isBackground(pixels.at(2, kHeight / 2)));
    }

    herd->append(placed(*m_sphere, 0, {-2.4f, 0, 0}));
    TestSettings settings;
    settings.strips = false;
    clear();
    EXPECT_EQ(primitivesGenerated([&] { renderer.render(settings); }), 2 * triangles);
    EXPECT_FALSE(isBackground(testWindow().pixel(0, kHeight / 2)));
}

TEST_F(SoftwareSkinRendererTest, EveryMethodStripsAndFallbacksGiveTheSamePicture)
{
    auto herd = std::make_shared<SimpleHerd>(m_sphere);
    const unsigned frames = m_sphere->frameCount();
    herd->append(placed(*m_sphere, 0, {-1.3f, 1.1f, 0}, 0.9f));
    herd->append(placed(*m_sphere, 3, {1.3f, 1.1f, -1}, 0.9f));
    herd->append(placed(*m_sphere, 6, {-1.2f, -1.2f, 0.5f}, 0.8f));
    herd->append(placed(*m_sphere, 6 + frames, {1.2f, -1.2f, 0}, 0.8f)); // wraps round to frame 6
    SoftwareSkinRenderer renderer(herd, 0, "");
    for (LightingMode lighting : kLightings) {
        SCOPED_TRACE(nameOf(lighting));
        TestSettings settings;
        settings.lighting = lighting;
        settings.wireframe = true;
        const auto reference = draw(renderer, settings);
        EXPECT_GT(reference.coveredCount(), 15000);
        for (RenderMethod method : kMethods) {
            settings.method = method;
            EXPECT_LE(maxDifference(draw(renderer, settings), reference), 1) << nameOf(method);
        }
        settings.method = RenderMethod::VertexBufferObjects;
        renderer.setFrameBufferBudget(0);
        EXPECT_LE(maxDifference(draw(renderer, settings), reference), 1) << "streamed buffer objects";
        renderer.setFrameBufferBudget(SoftwareSkinRenderer::kFrameBufferBudget);
        {
            WithoutExtension noRangeElements(__GLEW_VERSION_1_2);
            EXPECT_LE(maxDifference(draw(renderer, settings), reference), 1) << "glDrawElements without OpenGL 1.2";
        }
        // A call a strip instead of one for all: the same primitives in the same order.
        const auto oneCallAStrip = [&] {
            WithoutExtension noMultiDraw(__GLEW_VERSION_1_4);
            return draw(renderer, settings);
        }();
        EXPECT_EQ(maxDifference(draw(renderer, settings), oneCallAStrip), 0) << "glMultiDrawElements";
        settings.strips = false;
        EXPECT_LE(maxDifference(draw(renderer, settings), reference), 1) << "plain triangles";
    }
}

TEST_F(SoftwareSkinRendererTest, MoreThan100000StripIndicesMakeSeveralBuffersWithoutSplittingAGroup)
{
    // 250 x 200 quads: 100,000 triangles over 50,451 vertices, a skin without animation frames
    // (drawn in its rest pose).
    auto skin = skinOf(fixtures::grid("big", 250, 200));
    std::size_t stripIndices = 0;
    for (const PrimitiveGroup& group : skin->primitiveGroups()) stripIndices += group.indices.size();
    ASSERT_GT(stripIndices, kMaxBatchIndices);
    ASSERT_EQ(skin->frameCount(), 0u);

    auto herd = std::make_shared<SimpleHerd>(skin);
    const float scale = 0.018f;
    herd->append(placed(*skin, 0, {-125 * scale, -100 * scale, 0}, scale));
    SoftwareSkinRenderer renderer(herd, 0, "");
    TestSettings settings;
    settings.method = RenderMethod::VertexBufferObjects;
    settings.lighting = LightingMode::PRT;
    const auto pixels = draw(renderer, settings);

    const auto& batches = renderer.indexBatches();
    ASSERT_GE(batches.size(), 2u);
    std::size_t group = 0;
    for (const SkinRenderer::IndexBatch& batch : batches) {
        EXPECT_NE(dynamic_cast<const ARBVertexBufferObject*>(batch.buffer.get()), nullptr);
        std::size_t indices = 0, ranges = 0;
        for (const SkinRenderer::MultiDraw& draw : batch.draws) {
            ASSERT_EQ(draw.counts.size(), draw.byteOffsets.size());
            for (std::size_t i = 0; i < draw.counts.size(); ++i, ++ranges) {
                while (skin->primitiveGroups()[group].indices.empty()) ++group;
                EXPECT_EQ(std::size_t(draw.counts[i]), skin->primitiveGroups()[group].indices.size())
                    << "group " << group << " whole";
                EXPECT_EQ(draw.byteOffsets[i], 2 * indices);
                indices += draw.counts[i];
                ++group;
            }
        }
        EXPECT_TRUE(indices <= kMaxBatchIndices || ranges == 1);
    }
    EXPECT_EQ(group, skin->primitiveGroups().size());

    // The grid fills its rectangle: white (1, 1, 1) times mean lighting 0.5 everywhere.
    const double toPixels = kHeight / 2.0 / std::tan(kFovy * 3.14159265 / 360.0) / kEyeDistance;
    const int halfWidth = int(125 * scale * toPixels) - 2, halfHeight = int(100 * scale * toPixels) - 2;
    for (int y = kHeight / 2 - halfHeight; y <= kHeight / 2 + halfHeight; y += 7)
        for (int x = kWidth / 2 - halfWidth; x <= kWidth / 2 + halfWidth; x += 7)
            ASSERT_NEAR(pixels.at(x, y).g, 128, 1) << x << ", " << y;
    EXPECT_TRUE(isBackground(pixels.at(kWidth / 2, kHeight / 2 + halfHeight + 6)));

    settings.method = RenderMethod::VertexArrays;
    EXPECT_EQ(draw(renderer, settings), pixels);
    settings.strips = false;
    EXPECT_EQ(draw(renderer, settings), pixels);
    EXPECT_EQ(renderer.indexBatches().size(), 1u) << "plain triangles are never split";
}

TEST_F(SoftwareSkinRendererTest, DisplayListsRecordedWhileDrawingSplitAtBatchBoundaries)
{
    auto skin = skinOf(fixtures::grid("big", 250, 200));
    auto herd = std::make_shared<SimpleHerd>(skin);
    SoftwareSkinRenderer renderer(herd, 0, "");
    TestSettings settings;
    GLState::ModelviewPush push;
    glScalef(0.018f, 0.018f, 0.018f);
    glTranslatef(-125, -100, 0);
    GLState::ClientArray vertices(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, skin->restPositions().data());
    glColor3ub(200, 100, 50);

    std::deque<std::shared_ptr<GLDisplayList>> lists;
    lists.push_back(std::make_shared<GLDisplayList>());
    auto recorder = std::make_unique<GLDisplayList::Recorder>(*lists.back());
    renderer.drawBatches(settings, recorder, lists);
    recorder.reset();
    const std::size_t batches = renderer.indexBatches().size();
    ASSERT_GE(batches, 2u);
    EXPECT_EQ(lists.size(), batches + 1) << "one list per batch and a fresh one after the last";
    EXPECT_EQ(countColor(picture(), Rgb{200, 100, 50}), 0) << "compiled, not drawn";

    for (const auto& list : lists) list->call();
    const auto fromLists = picture();
    clear();
    renderer.drawBatches(settings);
    EXPECT_EQ(picture(), fromLists);
    EXPECT_GT(countColor(fromLists, Rgb{200, 100, 50}), 10000);
}

TEST_F(SoftwareSkinRendererTest, RenderersOfOneSkinShareOneTexture)
{
    const TempDirectory scratch("tex");
    const fs::path& directory = scratch.path();
    wxImage image(8, 8);
    image.SetRGB(wxRect(0, 0, 8, 8), 10, 200, 30);
    ASSERT_TRUE(image.SaveFile((directory / "coat.png").string(), wxBITMAP_TYPE_PNG));

    SphereOptions options;
    options.textureFileName = "coat.png";
    auto skin = skinOf(sphereRecord("textured", options));
    SoftwareSkinRenderer first(std::make_shared<HerdOfOne>(skin), 0, directory.string());
    SoftwareSkinRenderer second(std::make_shared<HerdOfOne>(skin), 1, directory.string() + "/");
    ASSERT_NE(first.texture(), nullptr);
    EXPECT_EQ(first.texture(), second.texture());

    // The software renderer draws without its texture: the surface keeps its own colour.
    TestSettings settings;
    settings.lighting = LightingMode::PRT;
    clear();
    first.render(settings);
    EXPECT_NEAR(testWindow().pixel(kWidth / 2, kHeight / 2).g, 255 * 0.75 * 0.4, 1.0);

    SphereOptions missing;
    missing.textureFileName = "gone.png";
    try {
        SoftwareSkinRenderer third(std::make_shared<HerdOfOne>(skinOf(sphereRecord("bare", missing))), 0,
                                   directory.string());
        FAIL() << "a renderer without its texture";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to load image '" + (directory / "gone.png").string() + "'.");
    }
}

TEST_F(SoftwareSkinRendererTest, AnEmptyHerdDrawsNothingAndLeavesTheStateAsItFoundIt)
{
    SoftwareSkinRenderer renderer(std::make_shared<SimpleHerd>(m_sphere), 0, "");
    for (RenderMethod method : kMethods)
        for (LightingMode lighting : kLightings) {
            TestSettings settings;
            settings.method = method;
            settings.lighting = lighting;
            settings.wireframe = true;
            EXPECT_EQ(draw(renderer, settings).coveredCount(), 0);
        }
    EXPECT_EQ(renderer.frameColors().size(), m_sphere->frameCount()) << "colours are built at the first render";
    EXPECT_TRUE(renderer.indexBatches().empty()) << "nothing drawn, nothing built";
}

TEST_F(SoftwareSkinRendererTest, BufferObjectsWithoutTheExtensionThrowBeforeDrawingAndUnwind)
{
    SoftwareSkinRenderer renderer(std::make_shared<HerdOfOne>(m_sphere), 0, "");
    TestSettings settings;
    settings.method = RenderMethod::VertexBufferObjects;
    settings.lighting = LightingMode::PRT;
    WithoutExtension missing(__GLEW_ARB_vertex_buffer_object);
    try {
        renderer.render(settings);
        FAIL() << "no exception";
    } catch (const OpenGLException& e) {
        EXPECT_EQ(e.message(), "ARB_vertex_buffer_object not supported on this card.");
    }
    EXPECT_EQ(picture().coveredCount(), 0);
    // The fixture's tear-down checks that arrays, offset and matrices are as before.
}

TEST_F(SoftwareSkinRendererTest, TheMemoryManagerChoiceHoldsUntilResourcesAreReleased)
{
    SoftwareSkinRenderer renderer(std::make_shared<HerdOfOne>(m_sphere), 0, "");
    TestSettings settings;
    settings.method = RenderMethod::VertexBufferObjects;
    clear();
    renderer.render(settings);
    ASSERT_FALSE(renderer.indexBatches().empty());
    EXPECT_NE(dynamic_cast<const ARBVertexBufferObject*>(renderer.indexBatches()[0].buffer.get()), nullptr);
    EXPECT_NE(dynamic_cast<VBOMemoryManager*>(&renderer.memoryManager(settings)), nullptr);

    settings.method = RenderMethod::VertexArrays;
    const auto before = picture();
    clear();
    renderer.render(settings);
    EXPECT_NE(dynamic_cast<const ARBVertexBufferObject*>(renderer.indexBatches()[0].buffer.get()), nullptr)
        << "a method change alone does not rebuild";
    EXPECT_EQ(picture(), before);

    renderer.releaseGLResources();
    EXPECT_TRUE(renderer.indexBatches().empty());
    clear();
    renderer.render(settings);
    EXPECT_NE(dynamic_cast<const GLBasicBuffer*>(renderer.indexBatches()[0].buffer.get()), nullptr);
    EXPECT_EQ(picture(), before);
}
