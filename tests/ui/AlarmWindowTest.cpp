#include "ui/AlarmWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

class AlarmWindowTest : public ::testing::Test {
protected:
    AlarmWindowTest() {
        AlarmWindowCommands commands;
        // The program's "Continue": closes the window and discards its texts.
        commands.continueClicked = [this] {
            ++continues;
            view.alarm = AlarmWindowView{};
            view.Changed();
        };
        commands.disableAllClicked = [this] { ++disables; };
        commands.acknowledgeClicked = [this](const std::string& comment) {
            comments.push_back(comment);
        };
        commands.snoozeClicked = [this](std::optional<std::chrono::minutes> duration) {
            snoozes.push_back(duration);
        };
        window = std::make_unique<AlarmWindow>(view, std::move(commands));
        Pump();
    }

    void ShowAlarm(const std::string& first, const std::string& second = "") {
        view.alarm.visible = true;
        view.alarm.firstLine = first;
        view.alarm.firstLineVisible = !first.empty();
        view.alarm.secondLine = second;
        view.alarm.secondLineVisible = !second.empty();
        view.Changed();
        Pump();
    }

    ViewModel view;
    int continues = 0;
    int disables = 0;
    std::vector<std::string> comments;
    std::vector<std::optional<std::chrono::minutes>> snoozes;
    std::unique_ptr<AlarmWindow> window;
};

TEST_F(AlarmWindowTest, FollowsTheAlarmState) {
    EXPECT_FALSE(window->isVisible());
    ShowAlarm("Temperature, Temperature");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "VIGILTRON MANAGER ALARM");
    EXPECT_EQ(window->FirstLine()->text(), "Temperature, Temperature");
    EXPECT_FALSE(window->SecondLine()->isVisible());
    EXPECT_EQ(window->ContinueButton()->text(), "Continue");
    EXPECT_EQ(window->DisableAllButton()->text(), "Disable All Alarms");

    // A CR in an alarm text breaks the line.
    ShowAlarm("", "Accelerometer Alert\r(Below X Min Threshold)");
    EXPECT_TRUE(window->SecondLine()->isVisible());
    EXPECT_FALSE(window->FirstLine()->isVisible());
    EXPECT_EQ(window->SecondLine()->text(), "Accelerometer Alert\n(Below X Min Threshold)");

    view.alarm.visible = false;
    view.Changed();
    Pump();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AlarmWindowTest, ButtonsAndClosingForwardTheCommands) {
    ShowAlarm("Water Detected");
    QTest::mouseClick(window->DisableAllButton(), Qt::LeftButton);
    EXPECT_EQ(disables, 1);
    EXPECT_EQ(continues, 0);

    QTest::mouseClick(window->ContinueButton(), Qt::LeftButton);
    Pump();
    EXPECT_EQ(continues, 1);
    EXPECT_FALSE(window->isVisible());

    // Closing from the title bar or with Escape counts as "Continue".
    ShowAlarm("Bump ");
    window->close();
    Pump();
    EXPECT_EQ(continues, 2);
    EXPECT_FALSE(window->isVisible());
    ShowAlarm("Bump ");
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Pump();
    EXPECT_EQ(continues, 3);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AlarmWindowTest, AcknowledgeTakesAnOptionalCommentAndSnoozeOffersItsDurations) {
    view.alarm.acknowledgeEnabled = true;
    ShowAlarm("Water Detected");
    EXPECT_FALSE(window->CommentRow()->isVisible());
    ASSERT_TRUE(window->AcknowledgeButton()->isEnabled());

    // The comment is typed in the window; Enter records it and is not taken as "Continue".
    QTest::mouseClick(window->AcknowledgeButton(), Qt::LeftButton);
    ASSERT_TRUE(window->CommentRow()->isVisible());
    EXPECT_TRUE(window->CommentBox()->hasFocus());
    QTest::keyClicks(window->CommentBox(), "  mopped up, pipe fixed ");
    QTest::keyClick(window->CommentBox(), Qt::Key_Return);
    Pump();
    EXPECT_EQ(comments, std::vector<std::string>{"mopped up, pipe fixed"});
    EXPECT_EQ(continues, 0);
    EXPECT_FALSE(window->CommentRow()->isVisible());

    // Escape leaves the comment, not the alarm; the next comment starts empty, and none at all
    // is an acknowledgement too.
    QTest::mouseClick(window->AcknowledgeButton(), Qt::LeftButton);
    QTest::keyClicks(window->CommentBox(), "never sent");
    QTest::keyClick(window->CommentBox(), Qt::Key_Escape);
    Pump();
    EXPECT_FALSE(window->CommentRow()->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(continues, 0);
    QTest::mouseClick(window->AcknowledgeButton(), Qt::LeftButton);
    EXPECT_EQ(window->CommentBox()->text(), "");
    QTest::mouseClick(window->CommentOkButton(), Qt::LeftButton);
    EXPECT_EQ(comments, (std::vector<std::string>{"mopped up, pipe fixed", ""}));
    // With the row closed, Enter is "Continue" again.
    QTest::keyClick(window.get(), Qt::Key_Return);
    Pump();
    EXPECT_EQ(continues, 1);

    using std::chrono::minutes;
    view.alarm.acknowledgeEnabled = true;
    ShowAlarm("Temperature, Temperature");
    QMenu* menu = window->SnoozeMenu();
    ASSERT_EQ(window->SnoozeButton()->menu(), menu);
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << action->text();
        action->trigger();
    }
    EXPECT_EQ(captions,
              QStringList({"&15 minutes", "&1 hour", "&8 hours", "Until &back to normal"}));
    EXPECT_EQ(snoozes, (std::vector<std::optional<minutes>>{minutes(15), minutes(60), minutes(480),
                                                            std::nullopt}));

    // An alarm already acknowledged (or an "OK" notice) offers neither, and an open comment
    // row goes.
    QTest::mouseClick(window->AcknowledgeButton(), Qt::LeftButton);
    view.alarm.acknowledgeEnabled = false;
    view.Changed();
    Pump();
    EXPECT_FALSE(window->AcknowledgeButton()->isEnabled());
    EXPECT_FALSE(window->SnoozeButton()->isEnabled());
    EXPECT_FALSE(window->CommentRow()->isVisible());
}

}  // namespace
}  // namespace vigiltron
