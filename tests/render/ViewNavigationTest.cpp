#include "render/ViewNavigation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

TEST(WheelDragPixels, OneNotchIsOneStepAndTheSignFollowsTheDragThatMovesTheSameWay)
{
    // Away from the user is "closer": what dragging upwards (negative y) does.
    EXPECT_FLOAT_EQ(wheelDragPixels(120, 120), -kWheelStepPixels);
    EXPECT_FLOAT_EQ(wheelDragPixels(-120, 120), kWheelStepPixels);
    EXPECT_FLOAT_EQ(wheelDragPixels(360, 120), -3.0f * kWheelStepPixels);
    // Touchpads report fractions of a notch.
    EXPECT_FLOAT_EQ(wheelDragPixels(30, 120), -0.25f * kWheelStepPixels);
    EXPECT_FLOAT_EQ(wheelDragPixels(0, 120), 0.0f);
}

TEST(WheelDragPixels, NoStepSizeMeansNoMotion)
{
    EXPECT_FLOAT_EQ(wheelDragPixels(120, 0), 0.0f);
    EXPECT_FLOAT_EQ(wheelDragPixels(120, -120), 0.0f);
}

TEST(HelpPanel, ListsEveryMouseButtonAndKeyTheViewAnswers)
{
    const auto& rows = helpRows();
    auto mentions = [&](const std::string& what) {
        return std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return row.first.find(what) != std::string::npos; });
    };
    for (const char* what : {"Left drag", "Middle drag", "Right drag", "wheel", "Home", "Space", "Ctrl+R", "Left / Right",
                             "[ / ]", "Keypad +", "F1", "H", "Ctrl+O", "drop", "Ctrl+E", "Ctrl+Q"})
        EXPECT_TRUE(mentions(what)) << what;
    for (const auto& [keys, action] : rows) {
        EXPECT_FALSE(keys.empty());
        EXPECT_FALSE(action.empty()) << keys;
    }
}

TEST(HelpPanel, StartsOneBlankLineBelowTheStatistics)
{
    // 6 statistics rows of 12 pixels, then a blank one: 84 pixels below y = 90. On a 400-pixel
    // viewport a pixel is half an overlay unit.
    EXPECT_DOUBLE_EQ(helpPanelTop(6, 400), 90.0 - 42.0);
    // Twice the height, half the units: the gap stays 84 pixels.
    EXPECT_DOUBLE_EQ(helpPanelTop(6, 800), 90.0 - 21.0);
    // Without statistics (image export hides them) the panel takes their place.
    EXPECT_DOUBLE_EQ(helpPanelTop(0, 400), 90.0);
    // A window without height gives no scale: the panel stays on screen.
    EXPECT_DOUBLE_EQ(helpPanelTop(6, 0), 90.0);
}
