// Screenshots for people to look at (written to the working directory): a small herd of both
// sample animals with PRT lighting, textures and their shadows, drawn the way the view draws a
// frame (ground, shadow renderers, then the animals), and the same herd with wireframe on
// shaded under OpenGL lighting. Each is also checked against the same scene drawn without the
// animals: every animal shows where its box projects, and the shadows darken the ground.

#include "HardwareSuite.h"
#include "SampleAnimals.h"

#include "herd/BoxRules.h"
#include "herd/SimpleHerd.h"
#include "herd/WrapperHerd.h"
#include "render/gl/HardwareSkinRenderer.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

struct Level {
    std::shared_ptr<SimpleHerd> herd;
    std::unique_ptr<HardwareSkinRenderer> animals;
    std::unique_ptr<HardwareSkinRenderer> shadows;
};

// Three of each animal on a 3 x 2 grid, at different frames and headings.
std::vector<Level> smallHerd()
{
    const SampleAnimals& samples = sampleAnimals();
    std::vector<Level> levels;
    int placed = 0;
    for (const auto* skins : {&samples.quadruped, &samples.longneck}) {
        const std::shared_ptr<Skin>& skin = (*skins)[0];
        Level level;
        level.herd = std::make_shared<SimpleHerd>(skin);
        for (int i = 0; i < 3; ++i, ++placed) {
            HerdInstance instance;
            instance.frame = unsigned(11 * placed);
            const Vector3f at{2.6f * float(placed % 3) - 2.6f, 0, 1.4f - 2.8f * float(placed / 3)};
            instance.transform =
                Matrix4f::translation(at) * Matrix4f::rotation({0, 1, 0}, 0.5f * float(placed) - 1.2f);
            instance.box = transformBox(skin->boundingBox(), instance.transform);
            level.herd->append(instance);
        }
        level.animals = std::make_unique<HardwareSkinRenderer>(level.herd, 0, samples.directory.string());
        level.shadows = std::make_unique<HardwareSkinRenderer>(
            std::make_shared<WrapperHerd>(level.herd, skin->nextSkin()), 0, samples.directory.string());
        level.shadows->setBlendedOverlay(true);
        levels.push_back(std::move(level));
    }
    return levels;
}

// What a scene adds to the ground: which renderers draw.
enum class Drawn { GroundOnly, Shadows, ShadowsAndAnimals };

class HardwareScreenshotTest : public GLTest {
protected:
    // Ground, then shadows, then animals, as the view orders them (as much of it as `drawn`
    // says), seen so that the animals of the first `framed` levels fill the view.
    Picture drawScene(std::vector<Level>& levels, const HwSettings& settings, std::size_t framed, Drawn drawn)
    {
        BoundingBox all;
        for (std::size_t l = 0; l < framed; ++l)
            for (unsigned i = 0; i < levels[l].herd->instanceCount(); ++i) all.grow(levels[l].herd->instance(i).box);
        lookAt(all, {0.35f, 0.45f, 1.0f}, 1.35f);
        clear();
        const Skin& shadow = *sampleAnimals().quadruped[0]->nextSkin();
        const Vector3f ground = shadow.vertexColors()[0] * shadow.maxMeanLighting();
        glDisable(GL_LIGHTING);
        glColor3f(ground.x, ground.y, ground.z);
        glBegin(GL_QUADS);
        glVertex3f(-30, 0, 30);
        glVertex3f(30, 0, 30);
        glVertex3f(30, 0, -30);
        glVertex3f(-30, 0, -30);
        glEnd();
        if (drawn != Drawn::GroundOnly)
            for (Level& level : levels) level.shadows->render(settings);
        if (drawn == Drawn::ShadowsAndAnimals)
            for (Level& level : levels) level.animals->render(settings);
        expectNoGLError("the scene");
        return picture();
    }

    // Every animal of the first `framed` levels shows in the screen rectangle its box projects
    // to: a good share of that rectangle differs from the picture drawn without animals (the
    // ground alone covers the whole picture, so coverage says nothing about animals).
    void expectEveryAnimalDrawn(const std::vector<Level>& levels, std::size_t framed, const Picture& without,
                                const Picture& with)
    {
        GLdouble model[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        int changedInAll = 0;
        for (std::size_t i = 0; i < with.rgb.size(); i += 3)
            changedInAll += with.rgb[i] != without.rgb[i] || with.rgb[i + 1] != without.rgb[i + 1] ||
                            with.rgb[i + 2] != without.rgb[i + 2];
        EXPECT_GT(changedInAll, kWidth * kHeight / 10) << "the animals fill the view";
        for (std::size_t l = 0; l < framed; ++l)
            for (unsigned a = 0; a < levels[l].herd->instanceCount(); ++a) {
                const BoundingBox box = levels[l].herd->instance(a).box;
                double left = kWidth, right = 0, bottom = kHeight, top = 0;
                for (int corner = 0; corner < 8; ++corner) {
                    double x = 0, y = 0, z = 0;
                    gluProject(corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                               corner & 4 ? box.maximum.z : box.minimum.z, model, projection, viewport, &x, &y, &z);
                    left = std::min(left, x);
                    right = std::max(right, x);
                    bottom = std::min(bottom, y);
                    top = std::max(top, y);
                }
                const int x0 = std::max(0, int(left)), x1 = std::min(kWidth, int(right) + 1);
                const int y0 = std::max(0, int(bottom)), y1 = std::min(kHeight, int(top) + 1);
                int area = 0, changed = 0;
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x) {
                        ++area;
                        changed += with.at(x, y) != without.at(x, y);
                    }
                ASSERT_GT(area, 100) << "level " << l << " animal " << a << " is out of view";
                EXPECT_GT(changed, area / 10) << "level " << l << " animal " << a << " is missing";
            }
    }
};

TEST_F(HardwareScreenshotTest, SmallHerdWithPrtAndShadows)
{
    std::vector<Level> levels = smallHerd();
    HwSettings settings;
    settings.lighting = LightingMode::PRT;
    // As much as 16 attributes hold: every PRT vector leaves room for 4 vertex corrections.
    settings.prtCorrections = 16;
    settings.vertexCorrections = 4;
    const Picture ground = drawScene(levels, settings, levels.size(), Drawn::GroundOnly);
    const Picture shadows = drawScene(levels, settings, levels.size(), Drawn::Shadows);
    const Picture shot = drawScene(levels, settings, levels.size(), Drawn::ShadowsAndAnimals);
    save(shot, "hw_herd_prt_shadows.png");
    std::cout << "  wrote hw_herd_prt_shadows.png\n";
    expectEveryAnimalDrawn(levels, levels.size(), shadows, shot);
    // The shadows only ever darken the ground, and darken a visible part of it.
    int darkened = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb before = ground.at(x, y), after = shadows.at(x, y);
            ASSERT_TRUE(after.r <= before.r && after.g <= before.g && after.b <= before.b) << x << ", " << y;
            darkened += after != before;
        }
    EXPECT_GT(darkened, kWidth * kHeight / 200) << "no shadows under the animals";
}

TEST_F(HardwareScreenshotTest, SmallHerdWithWireframeOnShaded)
{
    std::vector<Level> levels = smallHerd();
    HwSettings settings;
    settings.lighting = LightingMode::OpenGL;
    settings.wireframe = true;
    settings.vertexCorrections = settings.normalCorrections = 4;
    // Closer, on the front row: from afar the lines of a dense mesh cover it entirely.
    const Picture without = drawScene(levels, settings, 1, Drawn::Shadows);
    const Picture shot = drawScene(levels, settings, 1, Drawn::ShadowsAndAnimals);
    save(shot, "hw_herd_wireframe_on_shaded.png");
    std::cout << "  wrote hw_herd_wireframe_on_shaded.png\n";
    expectEveryAnimalDrawn(levels, 1, without, shot);
}

} // namespace
