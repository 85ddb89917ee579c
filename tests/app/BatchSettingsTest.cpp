// The command line's menu choices on plain settings, without menus or a display: the answers
// the main frame's menus give after the same clicks, and the same error texts.

#include "app/BatchOptions.h"
#include "app/BatchSettings.h"
#include "app/MenuIds.h"
#include "viewer/ViewerCore.h"

#include "HerdTestSkins.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Reports = std::vector<std::pair<std::string, std::string>>;

struct Applied {
    BatchSettings settings;
    ViewerCore core{settings, 3};
    Reports reports;

    explicit Applied(const std::vector<std::string>& arguments, unsigned levels = 0)
    {
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
        const auto report = [this](const std::string& caption, const std::string& message) {
            reports.push_back({caption, message});
        };
        settings.applyStartupChoices(line.options, core, report);
        if (levels > 0) {
            std::vector<std::shared_ptr<Skin>> skins;
            for (unsigned i = 0; i < levels; ++i) skins.push_back(herdtest::animalSkin("level" + std::to_string(i)));
            core.addSkin(skins, "");
        }
        settings.applyLoadedChoices(line.options, core, report);
    }
};

} // namespace

TEST(BatchSettings, OptionsSetTheFieldsTheirMenuItemsStandFor)
{
    const Applied plain({"--export-image", "x.png"});
    EXPECT_TRUE(plain.reports.empty());
    EXPECT_TRUE(plain.settings.useVertexProgram());
    EXPECT_EQ(plain.settings.renderMethod(), RenderMethod::DisplayLists);
    EXPECT_EQ(plain.settings.lightingMode(), LightingMode::PRT);
    EXPECT_EQ(plain.settings.backgroundMode(), BackgroundMode::LightGray);
    EXPECT_EQ(plain.settings.detailMode(), DetailMode::Moderate);
    EXPECT_TRUE(plain.settings.groundPlane() && plain.settings.shadows() && plain.settings.running());
    EXPECT_FALSE(plain.settings.impostors());
    EXPECT_EQ(plain.settings.impostorPixels(), ViewSettings::kDefaultImpostorPixels);
    EXPECT_EQ(plain.core.cameraChoice(), ViewerCore::CameraChoice::Perspective);
    EXPECT_EQ(plain.core.totalAnimalCount(), 0u) << "no herd to top up";

    const Applied chosen({"--method", "arrays", "--lighting", "opengl", "--geometry", "points", "--camera", "orthographic",
                          "--background", "sky", "--no-shadows", "--no-ground", "--stopped", "--lod", "aggressive",
                          "--animals", "7", "--frame", "12", "--impostors", "--impostor-pixels", "30", "--timedemo"},
                         1);
    EXPECT_TRUE(chosen.reports.empty());
    EXPECT_EQ(chosen.settings.renderMethod(), RenderMethod::VertexArrays);
    EXPECT_EQ(chosen.settings.lightingMode(), LightingMode::OpenGL);
    EXPECT_EQ(chosen.settings.geometryMode(), GeometryMode::Points);
    EXPECT_EQ(chosen.settings.backgroundMode(), BackgroundMode::Sky);
    EXPECT_EQ(chosen.settings.detailMode(), DetailMode::Aggressive);
    EXPECT_FALSE(chosen.settings.shadows() || chosen.settings.groundPlane() || chosen.settings.running());
    EXPECT_TRUE(chosen.settings.impostors());
    EXPECT_EQ(chosen.settings.impostorPixels(), 30u);
    EXPECT_EQ(chosen.core.cameraChoice(), ViewerCore::CameraChoice::Orthographic);
    EXPECT_EQ(chosen.core.totalAnimalCount(), 7u);
    EXPECT_EQ(chosen.core.currentFrame(), 12);
}

// As in the menus: display lists only with the vertex program; unchecking it moves the method
// from display lists to vertex buffer objects; choosing them afterwards is refused.
TEST(BatchSettings, DisplayListsFollowTheVertexProgramAsInTheMenus)
{
    const Applied listsFirst({"--method", "lists", "--software", "--export-image", "x.png"});
    EXPECT_TRUE(listsFirst.reports.empty());
    EXPECT_FALSE(listsFirst.settings.useVertexProgram());
    EXPECT_EQ(listsFirst.settings.renderMethod(), RenderMethod::VertexBufferObjects);

    const Applied arraysKept({"--method", "arrays", "--software", "--export-image", "x.png"});
    EXPECT_EQ(arraysKept.settings.renderMethod(), RenderMethod::VertexArrays);

    const Applied listsAfter({"--software", "--method", "lists", "--export-image", "x.png"});
    EXPECT_EQ(listsAfter.reports,
              (Reports{{"Invalid option",
                        "The menu item \"Display lists\" is disabled by the other settings, so it cannot be chosen."}}));
    EXPECT_EQ(listsAfter.settings.renderMethod(), RenderMethod::VertexBufferObjects);
}

// Fixed levels exist for every level of the deepest herd, and level 0 without herds.
TEST(BatchSettings, AFixedLevelMustBeOneTheHerdsHaveAndTheHerdsAreToppedUpToTen)
{
    const Applied second({"--lod", "1", "--export-image", "x.png"}, 2);
    EXPECT_TRUE(second.reports.empty());
    EXPECT_EQ(second.settings.detailMode(), DetailMode::Fixed);
    EXPECT_EQ(second.settings.fixedDetailLevel(), 1u);
    EXPECT_EQ(second.core.totalAnimalCount(), 10u);

    const Applied third({"--lod", "2", "--export-image", "x.png"}, 2);
    EXPECT_EQ(third.reports,
              (Reports{{"Invalid option", "There is no detail level 2: the loaded herds have 2 levels."}}));
    EXPECT_EQ(third.settings.detailMode(), DetailMode::Moderate);

    const Applied none({"--lod", "0", "--export-image", "x.png"});
    EXPECT_TRUE(none.reports.empty());
    EXPECT_EQ(none.settings.detailMode(), DetailMode::Fixed);
    const Applied noneOne({"--lod", "1", "--export-image", "x.png"});
    EXPECT_EQ(noneOne.reports,
              (Reports{{"Invalid option", "There is no detail level 1: the loaded herds have 1 levels."}}));
}

TEST(BatchSettings, HeadlessRunsWhenAskedOrWithoutADisplay)
{
    const CommandLine batch = parseCommandLine({"--export-image", "x.png"});
    EXPECT_TRUE(runsHeadless(batch.options, nullptr));
    EXPECT_TRUE(runsHeadless(batch.options, ""));
    EXPECT_FALSE(runsHeadless(batch.options, ":0"));
    const CommandLine asked = parseCommandLine({"--headless", "--timedemo"});
    EXPECT_TRUE(runsHeadless(asked.options, ":0"));
    // Without an action the window opens, or fails to without a display, as before.
    EXPECT_FALSE(runsHeadless(parseCommandLine({"a.bin"}).options, nullptr));
    EXPECT_EQ(parseCommandLine({"--headless", "a.bin"}).kind, CommandLine::Kind::UsageError);
}
