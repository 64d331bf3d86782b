#include "shell/HelpCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/MemoryTextFileStore.h"
#include "core/ViewModel.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

class HelpCommandsTest : public ::testing::Test {
protected:
    HelpCommandsTest() { help.helpFile = "/opt/vigiltron/README.TXT"; }

    ViewModel view;
    ScriptedDialogs dialogs;
    MemoryTextFileStore files;
    HelpCommands help{HelpCommands::Services{view, dialogs, files, "0.1.0", "2024-05-17"}};
};

TEST_F(HelpCommandsTest, AboutBoxShowsTheVersionAndBuildDateUnderItsTitle) {
    help.mnuAbout_Click();

    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, "Vigiltron Manager, Build 0.1.0 (2024-05-17)");
    EXPECT_EQ(dialogs.History()[0].title, "About Vigiltron Manager");
    EXPECT_FALSE(view.help.visible);
}

TEST_F(HelpCommandsTest, HelpTextIsShownUnderGeneralHelpAndRaisedOnEveryRequest) {
    files.Put("/opt/vigiltron/README.TXT", "Vigiltron Manager\nThe Summary tab...\n");
    const auto revision = view.Revision();

    help.mnuHelp_Click();

    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_TRUE(view.help.visible);
    EXPECT_EQ(view.help.heading, "General Help");
    EXPECT_EQ(view.help.text, "Vigiltron Manager\nThe Summary tab...\n");
    EXPECT_GT(view.Revision(), revision);
    const int firstRaise = view.help.raiseCount;

    // Asked again (the window may have been closed meanwhile): it comes to the front again.
    help.mnuHelp_Click();
    EXPECT_GT(view.help.raiseCount, firstRaise);
}

TEST_F(HelpCommandsTest, AMissingOrUnreadableHelpFileIsReportedAndNothingIsShown) {
    help.mnuHelp_Click();
    files.Put("/opt/vigiltron/README.TXT", "text");
    files.MakeUnreadable("/opt/vigiltron/README.TXT");
    help.mnuHelp_Click();

    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{
                  "Couldn't find or run help file. File not found: /opt/vigiltron/README.TXT",
                  "Couldn't find or run help file. Permission denied"}));
    EXPECT_FALSE(view.help.visible);
    EXPECT_EQ(view.help.text, "");
}

TEST_F(HelpCommandsTest, CheckForUpdatesOnlyShowsTheNotice) {
    help.mnuCheckForUpdates_Click();

    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Internet update not yet available."});
    EXPECT_FALSE(view.help.visible);
}

}  // namespace
}  // namespace vigiltron
