#include "platform/LinuxSystemActions.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <set>

namespace vigiltron {
namespace {

using Process = LinuxSystemActions::Process;
using Words = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return file.readAll().toStdString();
}

// Keeps an environment variable's value for the test and puts it back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value) {
            qputenv(name, value);
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class LinuxSystemActionsTest : public ::testing::Test {
protected:
    LinuxSystemActions Actions(const std::string& command = "/opt/vigiltron/vigiltron-manager") {
        return LinuxSystemActions(folder.path().toStdString() + "/autostart", command,
                                  [this](const Process& p, std::string& error) {
                                      started.push_back(p);
                                      if (!nextError.empty()) {
                                          error = nextError;
                                          return false;
                                      }
                                      return true;
                                  });
    }

    QTemporaryDir folder;
    std::vector<Process> started;
    std::string nextError;
};

TEST_F(LinuxSystemActionsTest, AutostartEntryIsWrittenAndRemoved) {
    LinuxSystemActions actions = Actions();
    std::string error;
    EXPECT_FALSE(actions.IsPlacedInStartup());
    ASSERT_TRUE(actions.PlaceInStartup(error)) << error;  // creates the missing folder
    EXPECT_TRUE(actions.IsPlacedInStartup());
    EXPECT_EQ(actions.EntryPath(),
              folder.path().toStdString() + "/autostart/vigiltron-manager.desktop");
    const std::string entry = ReadAll(actions.EntryPath());
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    EXPECT_NE(entry.find("\nExec=/opt/vigiltron/vigiltron-manager\n"), std::string::npos);

    ASSERT_TRUE(actions.RemoveFromStartup(error));
    EXPECT_FALSE(actions.IsPlacedInStartup());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(actions.EntryPath())));
    EXPECT_TRUE(actions.RemoveFromStartup(error));  // nothing to remove is no failure

    LinuxSystemActions blanks = Actions("/opt/My Apps/vigiltron-manager");
    ASSERT_TRUE(blanks.PlaceInStartup(error));
    EXPECT_NE(ReadAll(blanks.EntryPath()).find("\nExec=\"/opt/My Apps/vigiltron-manager\"\n"),
              std::string::npos);
    EXPECT_TRUE(started.empty());
}

TEST_F(LinuxSystemActionsTest, CommandLineSplitsIntoProgramAndArguments) {
    const auto noFiles = [](const std::string&) { return false; };
    const auto split = [&](const std::string& line) {
        return LinuxSystemActions::SplitCommandLine(line, noFiles);
    };
    EXPECT_EQ(split("xscreensaver-command -lock"), Words({"xscreensaver-command", "-lock"}));
    EXPECT_EQ(split("  run.sh\t a   b  "), Words({"run.sh", "a", "b"}));
    EXPECT_EQ(split("\"/opt/My Tools/run.sh\" \"two words\" x\"y z\" \"\""),
              Words({"/opt/My Tools/run.sh", "two words", "xy z", ""}));
    EXPECT_EQ(split("C:\\Windows\\ssmarque.scr /s"), Words({"C:\\Windows\\ssmarque.scr", "/s"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split("   ").empty());

    // An unquoted program path with blanks is found by the shortest existing prefix.
    const std::set<std::string> files = {"/home/me/Screen Savers/Ribbons.scr", "/home/me/x"};
    const auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    EXPECT_EQ(LinuxSystemActions::SplitCommandLine("/home/me/Screen Savers/Ribbons.scr /s", exists),
              Words({"/home/me/Screen Savers/Ribbons.scr", "/s"}));
    EXPECT_EQ(LinuxSystemActions::SplitCommandLine("/home/me/x y z", exists),
              Words({"/home/me/x", "y", "z"}));

    // The real file test, on a real file with a blank in its name.
    QFile script(folder.path() + "/My Script.sh");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.close();
    const std::string path = script.fileName().toStdString();
    EXPECT_EQ(LinuxSystemActions::SplitCommandLine(path + " --now"), Words({path, "--now"}));
}

TEST_F(LinuxSystemActionsTest, SessionActionsRunLoginctlForThisSession) {
    EXPECT_EQ(LinuxSystemActions::LockArguments(""), Words({"lock-session"}));
    EXPECT_EQ(LinuxSystemActions::LockArguments("c4"), Words({"lock-session", "c4"}));
    EXPECT_EQ(LinuxSystemActions::LogOffArguments("c4", "ann"), Words({"terminate-session", "c4"}));
    EXPECT_EQ(LinuxSystemActions::LogOffArguments("", "ann"), Words({"terminate-user", "ann"}));

    LinuxSystemActions actions = Actions();
    std::string error;
    {
        ScopedEnv session("XDG_SESSION_ID", "c9");
        EXPECT_TRUE(actions.LockWorkstation(error));
        EXPECT_TRUE(actions.ForceLogOff(error));
    }
    {
        ScopedEnv session("XDG_SESSION_ID", nullptr);
        ScopedEnv user("USER", "ann");
        EXPECT_TRUE(actions.ForceLogOff(error));
    }
    const std::vector<Process> expected = {
        {"loginctl", {"lock-session", "c9"}, false},
        {"loginctl", {"terminate-session", "c9"}, false},
        {"loginctl", {"terminate-user", "ann"}, false},
    };
    EXPECT_EQ(started, expected);

    nextError = "Access denied";
    EXPECT_FALSE(actions.ForceLogOff(error));
    EXPECT_EQ(error, "Access denied");
}

TEST_F(LinuxSystemActionsTest, LaunchAndOpenStartDetachedProcesses) {
    LinuxSystemActions actions = Actions();
    std::string error;
    EXPECT_TRUE(actions.LaunchProgram("\"/opt/My Tools/lock.sh\" --now", error));
    EXPECT_TRUE(actions.OpenWithAssociation("/home/me/Welcome Note.txt", error));
    const std::vector<Process> expected = {
        {"/opt/My Tools/lock.sh", {"--now"}, true},
        {"xdg-open", {"/home/me/Welcome Note.txt"}, true},
    };
    EXPECT_EQ(started, expected);

    EXPECT_FALSE(actions.LaunchProgram("   ", error));
    EXPECT_FALSE(actions.OpenWithAssociation("", error));
    EXPECT_EQ(started.size(), 2u);
}

TEST_F(LinuxSystemActionsTest, RealProcessRunnerReportsFailures) {
    std::string error;
    EXPECT_TRUE(LinuxSystemActions::RunProcess({"/bin/true", {}, false}, error)) << error;
    EXPECT_FALSE(LinuxSystemActions::RunProcess({"/bin/false", {}, false}, error));
    EXPECT_NE(error.find("exit code 1"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(
        LinuxSystemActions::RunProcess({"/bin/sh", {"-c", "echo nope >&2; exit 3"}, false}, error));
    EXPECT_EQ(error, "nope");
    error.clear();
    EXPECT_FALSE(LinuxSystemActions::RunProcess({"/nonexistent/program", {}, true}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(LinuxSystemActions::RunProcess({"/bin/true", {}, true}, error));
}

}  // namespace
}  // namespace vigiltron
