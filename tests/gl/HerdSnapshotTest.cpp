// A small herd drawn by the software renderer as the viewer would show it, with PRT and with
// OpenGL lighting, saved as 640 x 480 PNG pictures for people to look at. The pictures are
// written to FLEXHERD_SNAPSHOT_DIR when it is set, else to the working directory. The animal is
// a lit sphere fixture, or the first level of the binary skin file named by
// FLEXHERD_SNAPSHOT_SKIN (the sample quadruped, say) when that is set.

#include "GLSuite.h"
#include "TestSkins.h"

#include "herd/BoxRules.h"
#include "herd/HerdOfOne.h"
#include "herd/SimpleHerd.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLState.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/BinarySkinLoader.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

namespace {

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

std::filesystem::path snapshotDirectory()
{
    const char* directory = std::getenv("FLEXHERD_SNAPSHOT_DIR");
    return directory && *directory ? std::filesystem::path(directory) : std::filesystem::current_path();
}

// The skin and the directory its texture is named relative to.
std::pair<std::shared_ptr<Skin>, std::string> snapshotSkin()
{
    const char* path = std::getenv("FLEXHERD_SNAPSHOT_SKIN");
    if (path && *path) {
        SkinFile file = loadBinarySkinFile(path);
        return {file.skins.at(0), file.directory.string()};
    }
    SphereOptions options;
    options.segments = 40;
    options.rings = 21;
    options.frames = 12;
    options.flatLighting = false;
    options.prtBasis = true;
    options.color = {0.9f, 0.6f, 0.35f};
    return {skinOf(sphereRecord("blob", options)), ""};
}

// A framebuffer object larger than the test window, drawn into while it lives.
class OffscreenPicture {
public:
    OffscreenPicture()
    {
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glViewport(0, 0, kPictureWidth, kPictureHeight);
    }
    // The framebuffer's read and draw buffers are its own; the window's stay as they were.
    ~OffscreenPicture() { glViewport(0, 0, kWidth, kHeight); }
    bool complete() const { return m_framebuffer.valid(); }
    std::vector<std::uint8_t> pixels() const
    {
        std::vector<std::uint8_t> rgb(3 * kPictureWidth * kPictureHeight);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kPictureWidth, kPictureHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

private:
    GLFramebuffer m_framebuffer{kPictureWidth, kPictureHeight};
};

} // namespace

using HerdSnapshotTest = GLTest;

TEST_F(HerdSnapshotTest, ASmallHerdDrawnWithPrtAndWithOpenGLLighting)
{
    const auto [skin, directory] = snapshotSkin();
    // Every animal scaled to a largest extent of 2, centred on its place and turned to show a
    // side to the camera.
    const BoundingBox box = skin->boundingBox();
    const Vector3f size = box.maximum - box.minimum;
    const float scale = 2.0f / std::max({size.x, size.y, size.z});
    const Vector3f centre = (box.minimum + box.maximum) * 0.5f;
    const Matrix4f normalise = Matrix4f::rotation({0, 1, 0}, 1.1f) * Matrix4f::scaling({scale, scale, scale}) *
                               Matrix4f::translation(-centre);

    auto herd = std::make_shared<SimpleHerd>(skin);
    unsigned frame = 0;
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column) {
            HerdInstance instance;
            instance.frame = (frame++ * 7) % std::max(1u, skin->frameCount());
            instance.transform =
                Matrix4f::translation({-2.4f + 2.4f * column + 1.2f * row, 0, -2.2f * row}) * normalise;
            instance.box = transformBox(skin->boundingBox(), instance.transform);
            herd->append(instance);
        }
    SoftwareSkinRenderer renderer(herd, 0, directory);
    auto single = std::make_shared<HerdOfOne>(skin);
    single->setFrame(5, false);
    SoftwareSkinRenderer singleRenderer(single, 0, directory);

    OffscreenPicture offscreen;
    ASSERT_TRUE(offscreen.complete());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40, double(kPictureWidth) / kPictureHeight, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 2.5, 7.5, 0, -0.2, -1, 0, 1, 0);
    // A world-space light from the upper right front (SetUp's was fixed in eye space).
    const GLfloat direction[4] = {1, 1, 0.6f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    // The animals are scaled to fit, and scaled normals would light them too brightly; the
    // viewer's herds place animals with rigid transforms and need no such correction.
    GLState::Enable normalize(GL_NORMALIZE);

    for (LightingMode lighting : {LightingMode::PRT, LightingMode::OpenGL}) {
        TestSettings settings;
        settings.lighting = lighting;
        settings.method = RenderMethod::VertexBufferObjects;
        clear();
        renderer.render(settings);
        {
            GLState::ModelviewPush push;
            glTranslatef(0, 1.4f, 1.8f);
            glScalef(0.5f, 0.5f, 0.5f);
            glMultMatrixf(normalise.transposed().data());
            singleRenderer.render(settings);
        }
        expectNoGLError("render");
        const auto pixels = offscreen.pixels();
        int covered = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 3)
            covered += (pixels[i] == kBackground[0] && pixels[i + 1] == kBackground[1] &&
                        pixels[i + 2] == kBackground[2])
                           ? 0
                           : 1;
        EXPECT_GT(covered, kPictureWidth * kPictureHeight / 30) << "seven animals in view";
        const char* name = lighting == LightingMode::PRT ? "herd-prt.png" : "herd-opengl.png";
        const std::filesystem::path path = snapshotDirectory() / name;
        GLTestWindow::savePng(path.string(), pixels, kPictureWidth, kPictureHeight);
        EXPECT_TRUE(std::filesystem::exists(path));
        std::cout << "snapshot: " << path.string() << '\n';
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovy, double(kWidth) / kHeight, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, kEyeDistance, 0, 0, 0, 0, 1, 0);
}
