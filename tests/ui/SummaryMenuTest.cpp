#include "core/SummaryMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"
#include "core/DeviceModel.h"
#include "sim/ScriptedDialogs.h"
#include "ui/MainWindow.h"
#include "ui/SummaryTab.h"

namespace vigiltron {
namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// The Summary tab of a window whose row menu comes from the engine's rule, over an accelerometer
// in bump mode at 3 and a distance sensor at 4, both connected. The item commands are recorded.
class SummaryMenuWindowTest : public ::testing::Test {
protected:
    SummaryMenuWindowTest() {
        Place(3, "Vigiltron/A (2-Axis Accelerometer)");
        Place(4, "Vigiltron/D (Distance)");
        model.Entry(3)->bumpMode = true;

        MainWindowCommands c;
        c.summaryMenu = [this](int n) { OpenSummaryMenu(model, view, n); };
        auto record = [this](const char* what) {
            return [this, what](int n) { ran.push_back(what + (" " + std::to_string(n))); };
        };
        c.toggleConnect = record("toggle");
        c.renameSensor = record("rename");
        c.proximityModeMenu = record("proximity mode");
        c.calibrateMenu = record("calibrate");
        c.bumpModeMenu = record("bump mode");
        c.sensitivityMenu = record("sensitivity");
        c.showHistory = record("history");
        c.connectAll = [this] { ran.push_back("connect all"); };
        c.setThresholds = [this] { ran.push_back("thresholds"); };
        c.setProximityNotifications = [this] { ran.push_back("proximity notifications"); };
        c.snoozeMenu = [this](int n, SummaryMenuItem item) { snoozeItems.emplace_back(n, item); };
        window = std::make_unique<MainWindow>(view, std::move(c));
        window->show();
        Pump();
    }

    void Place(int n, const std::string& type) {
        DeviceRecord record;
        record.deviceType = type;
        record.subIndex = "1";
        record.deviceName = "Device " + std::to_string(n);
        model.SetEntry(n, record);
        model.CreateSetupArray();
        model.MarkConnected(n);
        view.Row(n).visible = true;
        view.Row(n).name = record.deviceName;
        view.Row(n).reading = " ";
        view.Commands(n).connectCaption = "Disconnect";
        view.Changed();
    }

    SummaryTab& Summary() { return *window->Summary(); }

    // The shown items' captions, "(greyed)" after a disabled one.
    static std::vector<std::string> Shown(const QMenu& menu) {
        std::vector<std::string> shown;
        for (const QAction* action : menu.actions()) {
            if (action->isVisible()) {
                shown.push_back(action->text().toStdString() +
                                (action->isEnabled() ? "" : " (greyed)"));
            }
        }
        return shown;
    }

    static QAction* Item(QMenu& menu, const char* caption) {
        for (QAction* action : menu.actions()) {
            if (action->text() == caption) {
                return action;
            }
        }
        ADD_FAILURE() << "no item " << caption;
        return nullptr;
    }

    MemorySettingsTree settings;
    ScriptedDialogs dialogs;
    DeviceModel model{dialogs, settings};
    ViewModel view;
    std::vector<std::string> ran;
    std::vector<std::pair<int, SummaryMenuItem>> snoozeItems;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SummaryMenuWindowTest, RightPressOnARowShowsTheEngineMenuAndItsItemsRunTheirCommands) {
    EXPECT_EQ(Summary().OpenRowMenu(), nullptr);
    QTest::mouseClick(Summary().NameLabel(3), Qt::LeftButton);
    QTest::mouseClick(Summary().NameLabel(3), Qt::MiddleButton);
    EXPECT_EQ(Summary().OpenRowMenu(), nullptr) << "only the right button opens the menu";
    EXPECT_EQ(view.summaryMenu.setupIndex, 0);

    QTest::mousePress(Summary().NameLabel(3), Qt::RightButton);
    QMenu* menu = Summary().OpenRowMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(view.summaryMenu.setupIndex, 3);
    EXPECT_EQ(Shown(*menu),
              (std::vector<std::string>{"Disconnect This Sensor", "Connect All", "Rename Sensor",
                                        "Set Thresholds", "Calibrate to 0", "Take out of Bump mode",
                                        "Set Sensitivity", "History", "Snooze 15 minutes",
                                        "Snooze 1 hour", "Snooze 8 hours",
                                        "Snooze until back to normal", "End snooze (greyed)"}));
    for (const char* caption :
         {"Disconnect This Sensor", "Connect All", "Rename Sensor", "Set Thresholds",
          "Calibrate to 0", "Take out of Bump mode", "Set Sensitivity", "History",
          "Snooze 15 minutes", "Snooze 1 hour", "Snooze 8 hours", "Snooze until back to normal"}) {
        if (QAction* action = Item(*menu, caption)) {
            action->trigger();
        }
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"toggle 3", "connect all", "rename 3", "thresholds",
                                             "calibrate 3", "bump mode 3", "sensitivity 3",
                                             "history 3"}));
    EXPECT_EQ(snoozeItems, (std::vector<std::pair<int, SummaryMenuItem>>{
                               {3, SummaryMenuItem::SnoozeQuarterHour},
                               {3, SummaryMenuItem::SnoozeHour},
                               {3, SummaryMenuItem::SnoozeEightHours},
                               {3, SummaryMenuItem::SnoozeUntilNormal}}));

    // The reading opens its row's menu too; a new press replaces the open menu. A snoozed
    // sensor's snooze can be ended.
    ran.clear();
    snoozeItems.clear();
    view.Row(4).snoozed = true;
    QTest::mousePress(Summary().ReadingLabel(4), Qt::RightButton);
    menu = Summary().OpenRowMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Shown(*menu),
              (std::vector<std::string>{"Disconnect This Sensor", "Connect All", "Rename Sensor",
                                        "Set Thresholds", "Set Proximity Notifications",
                                        "Set to Proximity mode", "Set Sensitivity", "History",
                                        "Snooze 15 minutes", "Snooze 1 hour", "Snooze 8 hours",
                                        "Snooze until back to normal", "End snooze"}));
    Item(*menu, "Set Proximity Notifications")->trigger();
    Item(*menu, "Set to Proximity mode")->trigger();
    Item(*menu, "End snooze")->trigger();
    EXPECT_EQ(ran, (std::vector<std::string>{"proximity notifications", "proximity mode 4"}));
    EXPECT_EQ(snoozeItems,
              (std::vector<std::pair<int, SummaryMenuItem>>{{4, SummaryMenuItem::EndSnooze}}));
    menu->close();
    Pump();
}

TEST_F(SummaryMenuWindowTest, MenuKeyOrShiftF10OnAFocusedRowOpensItsMenu) {
    QLabel* name = Summary().NameLabel(4);
    name->setFocus();
    QTest::keyClick(name, Qt::Key_F10);
    EXPECT_EQ(Summary().OpenRowMenu(), nullptr) << "F10 alone is not the menu key";

    QTest::keyClick(name, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(Summary().OpenRowMenu(), nullptr);
    EXPECT_EQ(view.summaryMenu.setupIndex, 4);
    Summary().OpenRowMenu()->close();
    Pump();

    Summary().NameLabel(3)->setFocus();
    QTest::keyClick(Summary().NameLabel(3), Qt::Key_Menu);
    ASSERT_NE(Summary().OpenRowMenu(), nullptr);
    EXPECT_EQ(view.summaryMenu.setupIndex, 3);
    Summary().OpenRowMenu()->close();
    Pump();
}

}  // namespace
}  // namespace vigiltron
