// Screenshots for people to look at (written to the working directory): a small herd of both
// sample animals with PRT lighting, textures and their shadows, drawn the way the view draws a
// frame (ground, shadow renderers, then the animals), and the same herd with wireframe on
// shaded under OpenGL lighting. Each also checks the gross facts a broken renderer would miss.

#include "HardwareTest.h"
#include "SampleAnimals.h"

#include "herd/BoxRules.h"
#include "herd/SimpleHerd.h"
#include "herd/WrapperHerd.h"
#include "render/gl/HardwareSkinRenderer.h"

#include <GL/glew.h>

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

class HardwareScreenshotTest : public HardwareTest {
protected:
    // Ground, shadows, animals, as the view orders them, seen so that the animals of the
    // first `framed` levels fill the view.
    Picture drawScene(std::vector<Level>& levels, const HwSettings& settings, std::size_t framed)
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
        for (Level& level : levels) level.shadows->render(settings);
        for (Level& level : levels) level.animals->render(settings);
        expectNoGLError("the scene");
        return picture();
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
    const Picture shot = drawScene(levels, settings, levels.size());
    save(shot, "hw_herd_prt_shadows.png");
    std::cout << "  wrote hw_herd_prt_shadows.png\n";
    EXPECT_GT(shot.coveredCount(), kWidth * kHeight / 2);
}

TEST_F(HardwareScreenshotTest, SmallHerdWithWireframeOnShaded)
{
    std::vector<Level> levels = smallHerd();
    HwSettings settings;
    settings.lighting = LightingMode::OpenGL;
    settings.wireframe = true;
    settings.vertexCorrections = settings.normalCorrections = 4;
    // Closer, on the front row: from afar the lines of a dense mesh cover it entirely.
    const Picture shot = drawScene(levels, settings, 1);
    save(shot, "hw_herd_wireframe_on_shaded.png");
    std::cout << "  wrote hw_herd_wireframe_on_shaded.png\n";
    EXPECT_GT(shot.coveredCount(), kWidth * kHeight / 2);
}

} // namespace
