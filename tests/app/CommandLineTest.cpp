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

TEST(CommandLineTest, ConfigureOperationsTakeTheirArguments) {
    const CommandLine add = Parse({"--config-dir", "/tmp/x", "--add", "accelerometer", "com12",
                                   "Crane arm", "--bump", "--calibrate", "--simulate", "s"});
    ASSERT_EQ(add.error, "");
    EXPECT_EQ(add.configure.operation, ConfigureOperation::Add);
    EXPECT_EQ(add.configure.kind, "accelerometer");
    EXPECT_EQ(add.configure.comNumber, 12);
    EXPECT_EQ(add.configure.name, "Crane arm");
    EXPECT_TRUE(add.configure.bump && add.configure.calibrate && !add.configure.proximityMode);
    EXPECT_EQ(add.simulateFile, "s");
    EXPECT_EQ(add.configDir, "/tmp/x");

    const CommandLine set =
        Parse({"--set", "TempMax=85", "--set", "EmailAddress=a=b@x", "--set", "NumToCall="});
    ASSERT_EQ(set.error, "");
    EXPECT_EQ(set.configure.operation, ConfigureOperation::Set);
    const std::vector<std::pair<std::string, std::string>> settings = {
        {"TempMax", "85"}, {"EmailAddress", "a=b@x"}, {"NumToCall", ""}};
    EXPECT_EQ(set.configure.settings, settings);

    const CommandLine move = Parse({"--move", "10", "COM256"});
    EXPECT_EQ(move.configure.setupIndex, 10);
    EXPECT_EQ(move.configure.comNumber, 256);
    const CommandLine rename = Parse({"--rename", "2", ""});  // an empty name is allowed
    EXPECT_EQ(rename.error, "");
    EXPECT_EQ(rename.configure.setupIndex, 2);
    EXPECT_TRUE(Parse({"--scan", "--all-ports"}).configure.allPorts);
    EXPECT_EQ(Parse({"--add", "distance", "COM1", "d", "--proximity-mode"}).error, "");
    EXPECT_EQ(Parse({"--import-settings", "old.reg"}).configure.file, "old.reg");
    // --ack's COMMENT is optional: an option after N is not one.
    const CommandLine ack = Parse({"--ack", "3", "fan replaced", "--config-dir", "/tmp/x"});
    ASSERT_EQ(ack.error, "");
    EXPECT_EQ(ack.configure.operation, ConfigureOperation::Acknowledge);
    EXPECT_EQ(ack.configure.setupIndex, 3);
    EXPECT_EQ(ack.configure.comment, "fan replaced");
    const CommandLine bareAck = Parse({"--ack", "3", "--config-dir", "/tmp/x"});
    ASSERT_EQ(bareAck.error, "");
    EXPECT_EQ(bareAck.configure.comment, "");
    EXPECT_EQ(bareAck.configDir, "/tmp/x");
    for (const char* duration : {"15m", "1h", "8h", "normal", "off", "90m", "168h"}) {
        const CommandLine snooze = Parse({"--snooze", "10", duration});
        EXPECT_EQ(snooze.error, "") << duration;
        EXPECT_EQ(snooze.configure.snoozeUntil, duration);
    }
    // The switches that choose the stores keep their meaning.
    const CommandLine list = Parse({"--list", "/vtservice", "/service"});
    ASSERT_EQ(list.error, "");
    EXPECT_TRUE(list.vtService && list.service);
    EXPECT_EQ(Parse({"--headless"}).configure.operation, ConfigureOperation::None);
}

TEST(CommandLineTest, ConfigureCommandLinesThatMakeNoSenseAreRefused) {
    const std::vector<std::vector<const char*>> refused = {
        {"--list", "--scan"},                                // one operation per call
        {"--set", "A=1", "--remove", "2"},                   // --set does not mix either
        {"--list", "--list"},                                //
        {"--list", "--headless"},                            // not a run of the program
        {"--list", "--demo"},                                //
        {"--list", "--minimize"},                            //
        {"--list", "/autodetect"},                           //
        {"--add", "temperature", "COM3", "Server", "room"},  // a name with blanks, unquoted
        {"--add", "thermometer", "COM3", "x"},               // unknown kind
        {"--add", "temperature", "3", "x"},                  // not COMn
        {"--add", "temperature", "COM0", "x"},               //
        {"--add", "temperature", "COM257", "x"},             //
        {"--add", "temperature", "COM3"},                    // no name
        {"--add", "accelerometer", "COM3", "--bump"},        // an option taken for the name
        {"--add", "temperature", "COM3", "x", "--bump"},     // bump mode is the accelerometer's
        {"--add", "accelerometer", "COM3", "x", "--proximity-mode"},
        {"--list", "--calibrate"},  // modifiers need their operation
        {"--all-ports"},            //
        {"--rename", "11", "x"},    // setup indexes run 1..10
        {"--remove", "one"},        //
        {"--move", "2", "COM3x"},   //
        {"--set", "=5"},            //
        {"--set", "TempMax"},       //
        {"--import-settings"},      //
        {"--ack"},                  //
        {"--ack", "0"},             //
        {"--snooze", "2"},          // no DURATION
        {"--snooze", "2", "15"},    // no unit
        {"--snooze", "2", "0m"},    //
        {"--snooze", "2", "169h"},  // more than a week
        {"--snooze", "2", "1d"},    //
        {"--ack", "2", "x", "y"},   // a comment with blanks, unquoted
    };
    for (const auto& args : refused) {
        std::string shown;
        for (const char* a : args) {
            shown += std::string(a) + " ";
        }
        EXPECT_NE(Parse(args).error, "") << shown;
    }
    EXPECT_EQ(Parse({"--list", "--scan"}).error,
              "--list and --scan cannot be combined: one operation per call (only --set may be "
              "given several times)");
    EXPECT_EQ(Parse({"--add", "temperature", "COM3", "x", "--bump"}).error,
              "--bump is for an accelerometer, not for temperature");
}

}  // namespace
}  // namespace vigiltron
