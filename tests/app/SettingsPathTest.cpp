#include "app/SettingsPath.h"

#include <gtest/gtest.h>

TEST(SettingsPath, FollowsTheXdgRulesAndGivesUpWithoutAHome)
{
    EXPECT_EQ(settingsFilePath("/tmp/conf", "/home/u"), "/tmp/conf/flexherd/flexherd.conf");
    EXPECT_EQ(settingsFilePath("/tmp/conf//", "/home/u"), "/tmp/conf/flexherd/flexherd.conf");
    EXPECT_EQ(settingsFilePath(nullptr, "/home/u"), "/home/u/.config/flexherd/flexherd.conf");
    EXPECT_EQ(settingsFilePath("", "/home/u"), "/home/u/.config/flexherd/flexherd.conf");
    // A relative XDG_CONFIG_HOME is ignored.
    EXPECT_EQ(settingsFilePath("conf", "/home/u/"), "/home/u/.config/flexherd/flexherd.conf");
    EXPECT_EQ(settingsFilePath("/", nullptr), "/flexherd/flexherd.conf");
    EXPECT_EQ(settingsFilePath(nullptr, nullptr), "");
    EXPECT_EQ(settingsFilePath("rel", "rel"), "");
}
