// The hardware renderer's life cycle and its GL state discipline: boxes without programs, the
// program text shown to the user, releasing every GL object, failed builds, exceptions passing
// through a render, and no GL error after any render in any mode. The fixture's TearDown
// checks that every temporary state change was undone.

#include "HardwareSuite.h"
#include "SampleAnimals.h"

#include "foundation/Exception.h"
#include "herd/SimpleHerd.h"
#include "render/gl/HardwareSkinRenderer.h"

#include <GL/glew.h>

#include <stdexcept>

namespace {

std::shared_ptr<SimpleHerd> herdOfOne(const std::shared_ptr<Skin>& skin, unsigned frame)
{
    auto herd = std::make_shared<SimpleHerd>(skin);
    HerdInstance instance;
    instance.frame = frame;
    instance.box = skin->boundingBox();
    herd->append(instance);
    return herd;
}

// Settings whose strip choice cannot be read: the renderer asks for it while building its
// index batches, inside the first instance's drawing (and display-list compilation).
struct FailingSettings : HwSettings {
    bool useTriangleStrips() const override { throw std::runtime_error("settings unavailable"); }
};

// Two animals of which the second cannot be had.
class FailingHerd : public Herd {
public:
    explicit FailingHerd(std::shared_ptr<Skin> skin) : Herd(std::move(skin)) {}
    bool intersects(const BoundingBox&) const override { return false; }
    void setFrame(int, bool) override {}
    void addAnimal(const HerdCollection&) override {}
    void removeAnimal() override {}
    unsigned instanceCount() const override { return 2; }
    HerdInstance instance(unsigned i) const override
    {
        if (i > 0) throw std::runtime_error("no such animal");
        HerdInstance first;
        first.box = skin()->boundingBox();
        return first;
    }
};

class HardwareStateTest : public GLTest {
protected:
    const std::shared_ptr<Skin>& animal() const { return sampleAnimals().quadruped[0]; }
    std::string directory() const { return sampleAnimals().directory.string(); }
};

TEST_F(HardwareStateTest, BoxesNeedNoProgram)
{
    lookAt(animal()->boundingBox(), {1, 0.3f, 1});
    HardwareSkinRenderer renderer(herdOfOne(animal(), 0), 0, directory());
    HwSettings settings;
    settings.geometry = GeometryMode::Boxes;
    renderer.render(settings);
    expectNoGLError("render");
    EXPECT_FALSE(renderer.built());
    EXPECT_EQ(renderer.programText(), "No vertex program currently in use (2)");
    EXPECT_GT(picture().coveredCount(), 10000);
}

TEST_F(HardwareStateTest, ProgramTextIsTheLitProgramOfTheCurrentBuild)
{
    HardwareSkinRenderer renderer(herdOfOne(animal(), 0), 0, directory());
    EXPECT_EQ(renderer.programText(), "No vertex program currently in use (2)");
    HwSettings settings;
    settings.lighting = LightingMode::PRT;
    settings.prtCorrections = 7;
    renderer.render(settings);
    EXPECT_EQ(renderer.programText().rfind("# ARB vertex program\n!!ARBvp1.0\n", 0), 0u);
    EXPECT_NE(renderer.programText().find("prtEnvCorr"), std::string::npos);
    EXPECT_EQ(renderer.prtBasisCount(), 7u);
    // The settings of the build hold until the resources are released.
    settings.lighting = LightingMode::None;
    renderer.render(settings);
    EXPECT_NE(renderer.programText().find("prtEnvCorr"), std::string::npos);
    renderer.releaseGLResources();
    EXPECT_EQ(renderer.programText(), "No vertex program currently in use (2)");
    renderer.render(settings);
    EXPECT_EQ(renderer.programText().rfind("# No lighting, so just move the output color into place# ARB vertex program\n", 0),
              0u);
    expectNoGLError("render");
}

TEST_F(HardwareStateTest, ReleaseDeletesEveryGLObjectAndTheNextRenderRebuilds)
{
    lookAt(animal()->boundingBox(), {1, 0.3f, 1});
    HardwareSkinRenderer renderer(herdOfOne(animal(), 5), 0, directory());
    HwSettings settings;
    settings.method = RenderMethod::DisplayLists;
    renderer.render(settings);
    const Picture before = picture();
    ASSERT_TRUE(renderer.built());
    const GLuint plain = renderer.plainProgram()->name(), lit = renderer.litProgram()->name();
    std::vector<GLuint> lists;
    for (const auto& list : renderer.displayLists()) lists.push_back(list->name());
    ASSERT_FALSE(lists.empty());
    EXPECT_FALSE(renderer.indexBatches().empty());
    renderer.releaseGLResources();
    EXPECT_FALSE(renderer.built());
    EXPECT_EQ(renderer.attributes(), nullptr);
    EXPECT_TRUE(renderer.displayLists().empty());
    EXPECT_TRUE(renderer.indexBatches().empty());
    EXPECT_FALSE(glIsProgramARB(plain));
    EXPECT_FALSE(glIsProgramARB(lit));
    for (GLuint list : lists) EXPECT_FALSE(glIsList(list));

    settings.method = RenderMethod::VertexBufferObjects;
    clear();
    renderer.render(settings);
    EXPECT_EQ(compare(picture(), before, 6).coverageMismatchesAwayFromSilhouette, 0);
    std::vector<GLuint> buffers;
    for (const auto& record : renderer.attributes()->records()) {
        GLint buffer = 0;
        glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING_ARB, &buffer);
        buffers.push_back(GLuint(buffer));
        EXPECT_TRUE(glIsBufferARB(GLuint(buffer)));
    }
    renderer.releaseGLResources();
    for (GLuint buffer : buffers) EXPECT_FALSE(glIsBufferARB(buffer));
    expectNoGLError("release");
}

TEST_F(HardwareStateTest, AFailedBuildLeavesTheProgramsMissingAndTheNextRenderBuilds)
{
    HardwareSkinRenderer renderer(herdOfOne(animal(), 0), 0, directory());
    renderer.setAttributeLimit(3);
    HwSettings settings;
    settings.lighting = LightingMode::PRT;
    settings.prtCorrections = 16;
    try {
        renderer.render(settings);
        FAIL() << "three attributes cannot hold the layout";
    } catch (const OpenGLException& e) {
        EXPECT_EQ(std::string(e.what()), "Exceeded macximum number of usable vertex attributes: 3");
    }
    EXPECT_FALSE(renderer.built());
    EXPECT_EQ(renderer.attributes(), nullptr);
    EXPECT_EQ(renderer.programText(), "No vertex program currently in use (2)");
    expectNoGLError("failed build");
    renderer.setAttributeLimit(0);
    renderer.render(settings);
    EXPECT_TRUE(renderer.built());
    expectNoGLError("render");
}

TEST_F(HardwareStateTest, AnExceptionWhileCompilingUndoesEveryScopedStateAndDropsTheLists)
{
    lookAt(animal()->boundingBox(), {1, 0.3f, 1});
    HardwareSkinRenderer renderer(herdOfOne(animal(), 3), 0, directory());
    // Every scoped change at once: texture and its mode, blending, depth writes, attribute
    // arrays, the program, polygon offset, the instance's matrix and a list being compiled.
    renderer.setBlendedOverlay(true);
    FailingSettings failing;
    failing.method = RenderMethod::DisplayLists;
    failing.wireframe = true;
    failing.lighting = LightingMode::PRT;
    EXPECT_THROW(renderer.render(failing), std::runtime_error);
    expectNoGLError("the failed render");
    EXPECT_TRUE(renderer.displayLists().empty()) << "half-compiled lists must not be called later";
    GLint list = -1;
    glGetIntegerv(GL_LIST_INDEX, &list);
    EXPECT_EQ(list, 0);
    // TearDown checks the rest; and the renderer still works.
    HwSettings settings;
    settings.method = RenderMethod::DisplayLists;
    settings.wireframe = true;
    settings.lighting = LightingMode::PRT;
    renderer.render(settings);
    EXPECT_FALSE(renderer.displayLists().empty());
    expectNoGLError("render");
}

TEST_F(HardwareStateTest, AnExceptionFromTheHerdUndoesEveryScopedState)
{
    lookAt(animal()->boundingBox(), {1, 0.3f, 1});
    HardwareSkinRenderer renderer(std::make_shared<FailingHerd>(animal()), 0, directory());
    HwSettings settings;
    settings.method = RenderMethod::VertexBufferObjects;
    settings.wireframe = true;
    EXPECT_THROW(renderer.render(settings), std::runtime_error);
    EXPECT_GT(picture().coveredCount(), 10000) << "the first animal was drawn before the failure";
    expectNoGLError("the failed render");
}

TEST_F(HardwareStateTest, AnEmptyHerdDrawsNothing)
{
    HardwareSkinRenderer renderer(std::make_shared<SimpleHerd>(animal()), 0, directory());
    HwSettings settings;
    settings.method = RenderMethod::DisplayLists;
    renderer.render(settings);
    expectNoGLError("render");
    EXPECT_TRUE(renderer.built());
    EXPECT_TRUE(renderer.displayLists().empty());
    EXPECT_EQ(picture().coveredCount(), 0);
}

TEST_F(HardwareStateTest, NoGLErrorAfterAnyRender)
{
    const auto& levels = sampleAnimals().quadruped;
    for (std::size_t level = 0; level < levels.size(); ++level) {
        const auto herd = herdOfOne(levels[level], unsigned(7 * level));
        lookAt(levels[level]->boundingBox(), {1, 0.3f, 1});
        for (RenderMethod method :
             {RenderMethod::VertexArrays, RenderMethod::VertexBufferObjects, RenderMethod::DisplayLists})
            for (LightingMode lighting : {LightingMode::None, LightingMode::OpenGL, LightingMode::PRT})
                for (GeometryMode geometry :
                     {GeometryMode::Boxes, GeometryMode::Polys, GeometryMode::Wireframe, GeometryMode::Points})
                    for (bool wireframe : {false, true})
                        for (bool overlay : {false, true}) {
                            HardwareSkinRenderer renderer(herd, int(level), directory());
                            renderer.setBlendedOverlay(overlay);
                            HwSettings settings;
                            settings.method = method;
                            settings.lighting = lighting;
                            settings.geometry = geometry;
                            settings.wireframe = wireframe;
                            settings.vertexCorrections = settings.normalCorrections = 4;
                            settings.prtCorrections = 7;
                            settings.strips = !wireframe;
                            clear();
                            renderer.render(settings);
                            renderer.render(settings);
                            expectNoGLError("level " + std::to_string(level) + " method " +
                                            std::to_string(int(method)) + " lighting " +
                                            std::to_string(int(lighting)) + " geometry " +
                                            std::to_string(int(geometry)) + " wireframe " +
                                            std::to_string(wireframe) + " overlay " + std::to_string(overlay));
                            if (geometry != GeometryMode::Boxes) {
                                EXPECT_GT(picture().coveredCount(), 0);
                            }
                            if (HasFailure()) return;
                        }
    }
}

} // namespace
