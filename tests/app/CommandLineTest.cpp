#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace vigiltron {
namespace {

CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vigiltron-manager");
    return CommandLine::Parse(int(args.size()), args.data());
}

TEST(CommandLineTest, WindowsSwitchesAreSubstringsOfTheWholeText) {
    const CommandLine cmd = Parse({"/nocams", "/minimize"});
    EXPECT_EQ(cmd.windowsText, "/nocams /minimize");
    EXPECT_TRUE(cmd.minimize);
    EXPECT_FALSE(cmd.noCams);  // only the exact command line "/nocams" skips the cameras
    EXPECT_TRUE(Parse({"/nocams"}).noCams);
    EXPECT_TRUE(Parse({"--nocams", "/minimize"}).noCams);
}

TEST(CommandLineTest, CleanOutSwitchInItsFourSpellingsOnly) {
    for (const char* spelling : {"/RegClean", "/REGCLEAN", "/Regclean", "/regclean"}) {
        EXPECT_TRUE(Parse({spelling}).regClean) << spelling;
    }
    EXPECT_FALSE(Parse({"/regClean"}).regClean);
    EXPECT_FALSE(Parse({"/REGclean"}).regClean);
    EXPECT_TRUE(Parse({"--regclean"}).regClean);
}

TEST(CommandLineTest, ServiceSwitchesAreIndependent) {
    const CommandLine vt = Parse({"/vtservice"});
    EXPECT_TRUE(vt.vtService);
    EXPECT_FALSE(vt.service);
    const CommandLine both = Parse({"/vtservice", "/service"});
    EXPECT_TRUE(both.vtService);
    EXPECT_TRUE(both.service);
    EXPECT_TRUE(Parse({"--service"}).service);
}

TEST(CommandLineTest, OptionsOfThisEdition) {
    const CommandLine cmd = Parse({"--headless", "--simulate", "room.scenario", "--virtual-time",
                                   "90.5", "--config-dir", "/tmp/x"});
    EXPECT_TRUE(cmd.error.empty()) << cmd.error;
    EXPECT_TRUE(cmd.headless);
    EXPECT_EQ(cmd.simulateFile, "room.scenario");
    EXPECT_EQ(cmd.virtualTimeSeconds, 90.5);
    EXPECT_EQ(cmd.configDir, "/tmp/x");
}

TEST(CommandLineTest, UnusableCommandLinesAreRefused) {
    EXPECT_NE(Parse({"--virtual-time", "10"}).error, "");  // needs --headless
    EXPECT_NE(Parse({"--headless", "--virtual-time", "ten"}).error, "");
    EXPECT_NE(Parse({"--headless", "--virtual-time", "-1"}).error, "");
    EXPECT_NE(Parse({"--simulate"}).error, "");
    EXPECT_NE(Parse({"--frobnicate"}).error, "");
    EXPECT_NE(Parse({"--demo", "--simulate", "x"}).error, "");
}

}  // namespace
}  // namespace vigiltron
