#include "shell/ShellCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ViewModel.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

class ShellCommandsTest : public ::testing::Test {
protected:
    ViewModel view;
    ScriptedDialogs dialogs;
    RecordingSystemActions system;
    ShellCommands shell{ShellCommands::Services{view, dialogs, system, "/opt/vigiltron"}};
};

TEST_F(ShellCommandsTest, TheTrayHidesTheWindowAndGivesItBackOrSaysWhyItCannot) {
    EXPECT_TRUE(shell.mnuPlaceInSysTray_Click());
    EXPECT_TRUE(view.inTray);
    EXPECT_TRUE(view.mainWindowHidden);
    EXPECT_TRUE(view.removeFromStartupVisible);

    shell.mnuTakeOutOfSysTray_Click();
    EXPECT_FALSE(view.inTray);
    EXPECT_FALSE(view.mainWindowHidden);
    EXPECT_TRUE(dialogs.Messages().empty());

    // The icon could not be shown after all: the window must not stay hidden with nothing to
    // bring it back.
    shell.mnuPlaceInSysTray_Click();
    shell.TrayFailed("no notification area");
    EXPECT_FALSE(view.inTray);
    EXPECT_FALSE(view.mainWindowHidden);

    // A desktop without a notification area: the program stays in its window and says so.
    view.trayAvailable = false;
    EXPECT_FALSE(shell.mnuPlaceInSysTray_Click());
    EXPECT_FALSE(view.inTray);
    EXPECT_FALSE(view.mainWindowHidden);
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"PlaceInSysTray Error: no notification area",
                                        ShellCommands::kNoTrayMessage}));
}

TEST_F(ShellCommandsTest, AFolderThatCannotBeOpenedIsReported) {
    shell.mnuOpenCaptureFiles_Click();
    EXPECT_EQ(system.Calls(), (std::vector<std::string>{"open /opt/vigiltron/capturefiles"}));
    EXPECT_TRUE(dialogs.Messages().empty());

    system.failOpen = true;
    shell.OpenFolder("/var/log/vigiltron");
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"Could not open the folder /var/log/vigiltron: refused"}));
}

}  // namespace
}  // namespace vigiltron
