#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"

namespace vigiltron {
namespace {

TEST(MemorySettingsTreeTest, TrailingBackslashNamesTheSameSection) {
    MemorySettingsTree tree;
    tree.SaveSetting("Program Setup\\", "TempMax", "85");
    tree.SaveSetting("Program Setup\\Internet Setup", "pw", "x");
    EXPECT_EQ(tree.GetSetting("Program Setup", "TempMax"), "85");
    EXPECT_EQ(tree.GetSetting("Program Setup\\Internet Setup\\", "pw"), "x");

    tree.SaveSetting("Program Setup", "TempMax", "86");
    EXPECT_EQ(tree.GetSetting("Program Setup\\", "TempMax"), "86");
    EXPECT_EQ(tree.GetSetting("Program Setup", "Missing", "dflt"), "dflt");
}

TEST(MemorySettingsTreeTest, DeleteTakesSubSectionsButNotNamesThatMerelyStartAlike) {
    MemorySettingsTree tree;
    tree.SaveSetting("PortConfig\\Devices\\1", "DeviceType", "a");
    tree.SaveSetting("PortConfig\\Devices\\10", "DeviceType", "b");
    tree.SaveSetting("Program Setup", "TempMax", "80");
    tree.SaveSetting("Program Setup\\Prox1", "chkCamMon", "1");

    tree.DeleteSetting("PortConfig\\Devices\\1\\");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\1", "DeviceType"), "");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\10", "DeviceType"), "b");

    tree.DeleteSetting("Program Setup");
    EXPECT_EQ(tree.GetSetting("Program Setup\\Prox1", "chkCamMon"), "");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\10", "DeviceType"), "b");
}

}  // namespace
}  // namespace vigiltron
