#include "ui/AlarmWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

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

}  // namespace
}  // namespace vigiltron
