#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <tuple>

#include "shell/ShellCommands.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"
#include "ui/AlarmHistoryWindow.h"
#include "ui/HelpWindow.h"
#include "ui/SensorTab.h"
#include "ui/SummaryTab.h"
#include "ui/TrayIcon.h"
#include "ui/ViewStyle.h"

namespace vigiltron {
namespace {

QColor TextColourOf(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

// Lets queued work (the window's coalesced refresh) run, without waiting on the clock.
void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

struct Recorded {
    int connectAll = 0;
    std::vector<int> toggled;
    std::vector<std::pair<Tab, int>> cleared;
    std::vector<std::pair<Tab, int>> logsCleared;
    std::vector<std::tuple<Tab, int, SlotButton>> slotButtons;
    int exits = 0;
    std::vector<std::string> help;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        MainWindowCommands commands;
        commands.connectAll = [this] { ++calls.connectAll; };
        commands.toggleConnect = [this](int n) { calls.toggled.push_back(n); };
        commands.clearHighLow = [this](Tab tab, int slot) {
            calls.cleared.emplace_back(tab, slot);
        };
        commands.clearLocalLog = [this](Tab tab, int slot) {
            calls.logsCleared.emplace_back(tab, slot);
        };
        commands.slotButton = [this](Tab tab, int slot, SlotButton button) {
            calls.slotButtons.emplace_back(tab, slot, button);
        };
        commands.exitRequested = [this] { ++calls.exits; };
        commands.showHelp = [this] { calls.help.push_back("help"); };
        commands.checkForUpdates = [this] { calls.help.push_back("updates"); };
        commands.about = [this] { calls.help.push_back("about"); };
        window = std::make_unique<MainWindow>(view, std::move(commands));
        window->show();
        Pump();
    }

    SummaryTab& Summary() { return *window->Summary(); }
    SensorTab& TabOf(Tab tab) { return *window->SensorTabFor(tab); }

    ViewModel view;
    Recorded calls;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, SummaryRowShowsReadingUnitAndStatusAfterAChange) {
    SummaryRow& row = view.Row(3);
    row.visible = true;
    row.name = "Server Room";
    row.reading = "85.1";
    row.readingColour = TextColour::Red;
    row.readingFontSize = 18;
    row.readingBorder = false;
    row.unit = "F";
    row.unitVisible = true;
    row.unitFontSize = 12;
    row.status = "HIGH TEMP";
    row.statusColour = TextColour::Red;
    row.statusFontSize = 10;
    row.statusVisible = true;
    view.Changed();
    Pump();

    EXPECT_FALSE(Summary().NameLabel(3)->isHidden());
    EXPECT_EQ(Summary().NameLabel(3)->text(), "Server Room");
    QLabel* reading = Summary().ReadingLabel(3);
    EXPECT_EQ(reading->text(), "85.1");
    EXPECT_EQ(TextColourOf(reading), QColor(Qt::red));
    EXPECT_EQ(reading->font().pointSize(), 18);
    EXPECT_EQ(reading->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(Summary().UnitLabel(3)->isHidden());
    EXPECT_EQ(Summary().UnitLabel(3)->text(), "F");
    EXPECT_EQ(Summary().UnitLabel(3)->font().pointSize(), 12);
    QLabel* status = Summary().StatusLabel(3);
    EXPECT_FALSE(status->isHidden());
    EXPECT_EQ(status->text(), "HIGH TEMP");
    EXPECT_EQ(TextColourOf(status), QColor(Qt::red));
    EXPECT_EQ(status->font().pointSize(), 10);
    EXPECT_FALSE(Summary().PictureLabel(3)->pixmap().isNull()) << "red dot by default";
    EXPECT_TRUE(Summary().NoteLabel(3)->isHidden()) << "no note";
    // A snoozed sensor's note shows beside its status, on the same line.
    row.note = "snoozed until 14:30";
    view.Changed();
    Pump();
    QLabel* note = Summary().NoteLabel(3);
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->text(), "snoozed until 14:30");
    EXPECT_GT(note->x(), status->x());
    EXPECT_EQ(note->geometry().center().y(), status->geometry().center().y());
    row.note.clear();
    view.Changed();
    Pump();
    EXPECT_TRUE(note->isHidden());

    // Rows of unused entries stay hidden.
    for (int n : {1, 2, 4, 10}) {
        EXPECT_TRUE(Summary().NameLabel(n)->isHidden()) << n;
        EXPECT_TRUE(Summary().ReadingLabel(n)->isHidden()) << n;
    }

    // Disconnected: "OFF" in black with a border, unit and status hidden.
    row.reading = "OFF";
    row.readingColour = TextColour::Black;
    row.readingFontSize = 14;
    row.readingBorder = true;
    row.unitVisible = false;
    row.statusVisible = false;
    view.Changed();
    Pump();
    EXPECT_EQ(reading->text(), "OFF");
    EXPECT_EQ(TextColourOf(reading), QColor(Qt::black));
    EXPECT_EQ(reading->font().pointSize(), 14);
    EXPECT_EQ(reading->frameShape(), QFrame::Box);
    EXPECT_TRUE(Summary().UnitLabel(3)->isHidden());
    EXPECT_TRUE(status->isHidden());
    EXPECT_FALSE(reading->isHidden());
}

TEST_F(MainWindowTest, ABurstOfChangesIsRenderedOnceWhenTheLoopRuns) {
    const auto before = window->RefreshCount();
    view.Row(1).visible = true;
    for (int i = 0; i < 5; ++i) {
        view.Row(1).reading = std::to_string(70 + i);
        view.Changed();
    }
    EXPECT_EQ(window->RefreshCount(), before) << "nothing is rendered inside the engine's call";
    EXPECT_NE(Summary().ReadingLabel(1)->text(), "74");
    Pump();
    EXPECT_EQ(window->RefreshCount(), before + 1);
    EXPECT_EQ(Summary().ReadingLabel(1)->text(), "74");
}

TEST_F(MainWindowTest, SlotsWithoutADeviceAreCoveredAndTheEmptyNoticeShows) {
    SensorTab& humidity = TabOf(Tab::Humidity);
    EXPECT_FALSE(humidity.EmptyNotice()->isHidden());
    EXPECT_EQ(humidity.EmptyNotice()->text(), "No humidity sensing devices present.");
    EXPECT_EQ(TabOf(Tab::Temperature).EmptyNotice()->text(),
              "No temperature sensing devices present.");
    for (int s = 1; s <= 4; ++s) {
        EXPECT_TRUE(humidity.SlotPanel(s)->isHidden()) << s;
    }

    TabView& tab = view.TabAt(Tab::Humidity);
    tab.emptyNoticeVisible = false;
    view.Slot(Tab::Humidity, 2).visible = true;
    view.Slot(Tab::Humidity, 2).caption = "Basement";
    view.Changed();
    Pump();
    EXPECT_TRUE(humidity.EmptyNotice()->isHidden());
    EXPECT_FALSE(humidity.SlotPanel(2)->isHidden());
    EXPECT_EQ(humidity.SlotPanel(2)->title(), "Basement");
    for (int s : {1, 3, 4}) {
        EXPECT_TRUE(humidity.SlotPanel(s)->isHidden()) << s;
    }
    // The Temperature tab is not touched by the Humidity tab's state.
    EXPECT_FALSE(TabOf(Tab::Temperature).EmptyNotice()->isHidden());
    EXPECT_TRUE(TabOf(Tab::Temperature).SlotPanel(2)->isHidden());
}

TEST_F(MainWindowTest, HighestInRedAndLowestInBlueWhileVisible) {
    TabSlotView& slot = view.Slot(Tab::Temperature, 1);
    slot.visible = true;
    view.Changed();
    Pump();
    SensorTab& temperature = TabOf(Tab::Temperature);
    EXPECT_TRUE(temperature.HighestLabel(1)->isHidden()) << "hidden until the sensor connects";
    EXPECT_TRUE(temperature.LowestLabel(1)->isHidden());

    slot.highLowVisible = true;
    view.Changed();
    Pump();
    EXPECT_FALSE(temperature.HighestLabel(1)->isHidden());
    EXPECT_EQ(temperature.HighestLabel(1)->text(), "0");
    EXPECT_EQ(temperature.LowestLabel(1)->text(), "100");
    EXPECT_EQ(TextColourOf(temperature.HighestLabel(1)), QColor(Qt::red));
    EXPECT_EQ(TextColourOf(temperature.LowestLabel(1)), QColor(Qt::blue));

    slot.highest = "81.5";
    slot.lowest = "-3.2";
    slot.log = {"10:05 AM  81.5", "10:00 AM  -3.2"};
    view.Changed();
    Pump();
    EXPECT_EQ(temperature.HighestLabel(1)->text(), "81.5");
    EXPECT_EQ(temperature.LowestLabel(1)->text(), "-3.2");
    EXPECT_EQ(temperature.LogView(1)->toPlainText(), "10:05 AM  81.5\n10:00 AM  -3.2");
    EXPECT_TRUE(temperature.LogView(1)->isReadOnly());

    // A log emptied by the engine empties the view.
    slot.log.clear();
    view.Changed();
    Pump();
    EXPECT_EQ(temperature.LogView(1)->toPlainText(), "");
}

TEST_F(MainWindowTest, ResetForwardsTheTabAndSlot) {
    view.Slot(Tab::Humidity, 2).visible = true;
    view.Slot(Tab::Temperature, 4).visible = true;
    view.Changed();
    Pump();
    window->Tabs()->setCurrentWidget(&TabOf(Tab::Humidity));
    QTest::mouseClick(TabOf(Tab::Humidity).ResetButton(2), Qt::LeftButton);
    window->Tabs()->setCurrentWidget(&TabOf(Tab::Temperature));
    QTest::mouseClick(TabOf(Tab::Temperature).ResetButton(4), Qt::LeftButton);
    ASSERT_EQ(calls.cleared.size(), 2u);
    EXPECT_EQ(calls.cleared[0], std::make_pair(Tab::Humidity, 2));
    EXPECT_EQ(calls.cleared[1], std::make_pair(Tab::Temperature, 4));
}

TEST_F(MainWindowTest, EverySensorTabClearsItsSlotsLocalLog) {
    for (Tab tab : kAllTabs) {
        ASSERT_NE(window->SensorTabFor(tab), nullptr) << TabName(tab);
        view.Slot(tab, 3).visible = true;
    }
    view.Changed();
    Pump();
    window->Tabs()->setCurrentWidget(&TabOf(Tab::Water));
    QTest::mouseClick(TabOf(Tab::Water).ClearLogButton(3), Qt::LeftButton);
    EXPECT_EQ(calls.logsCleared, (std::vector<std::pair<Tab, int>>{{Tab::Water, 3}}));
    EXPECT_TRUE(calls.cleared.empty());  // not the highest/lowest reset
}

TEST_F(MainWindowTest, StreamingSlotButtonsShowTheModeCaptionAndForward) {
    view.Slot(Tab::Accelerometer, 2).visible = true;
    view.Slot(Tab::Accelerometer, 2).modeCaption = "Stop monitoring";
    view.Slot(Tab::Distance, 1).visible = true;
    view.Changed();
    Pump();
    SensorTab& accelerometer = TabOf(Tab::Accelerometer);
    EXPECT_EQ(accelerometer.SlotButtonOf(2, SlotButton::Mode)->text(), "Stop monitoring");
    EXPECT_EQ(accelerometer.SlotButtonOf(2, SlotButton::DPlus), nullptr);
    EXPECT_EQ(TabOf(Tab::Distance).SlotButtonOf(1, SlotButton::Calibrate), nullptr);
    EXPECT_EQ(TabOf(Tab::Water).SlotButtonOf(1, SlotButton::Mode), nullptr);

    window->Tabs()->setCurrentWidget(&accelerometer);
    QTest::mouseClick(accelerometer.SlotButtonOf(2, SlotButton::Calibrate), Qt::LeftButton);
    window->Tabs()->setCurrentWidget(&TabOf(Tab::Distance));
    QTest::mouseClick(TabOf(Tab::Distance).SlotButtonOf(1, SlotButton::DPlus), Qt::LeftButton);
    EXPECT_EQ(calls.slotButtons, (std::vector<std::tuple<Tab, int, SlotButton>>{
                                     {Tab::Accelerometer, 2, SlotButton::Calibrate},
                                     {Tab::Distance, 1, SlotButton::DPlus}}));
}

TEST_F(MainWindowTest, ConnectAllFollowsTheViewModelAndForwardsTheCommand) {
    QAction* menuItem = window->ConnectAllAction();
    QPushButton* button = Summary().ConnectAllButton();
    EXPECT_EQ(menuItem->text(), "&Connect All");
    EXPECT_TRUE(menuItem->isEnabled());
    EXPECT_TRUE(button->isEnabled());

    view.connectAllEnabled = false;
    view.Changed();
    Pump();
    EXPECT_FALSE(menuItem->isEnabled());
    EXPECT_FALSE(button->isEnabled());

    view.connectAllEnabled = true;
    view.Changed();
    Pump();
    EXPECT_TRUE(menuItem->isEnabled());
    menuItem->trigger();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(calls.connectAll, 2);
}

TEST_F(MainWindowTest, TitleTabsAndExit) {
    QTabWidget* tabs = window->Tabs();
    ASSERT_GE(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "Summary");
    EXPECT_EQ(tabs->tabText(1), "Temperature");
    EXPECT_EQ(tabs->tabText(2), "Humidity");
    EXPECT_EQ(window->windowTitle(), "Vigiltron Manager");

    view.mainTitle = "Vigiltron Manager - Service Mode";
    view.TabAt(Tab::Humidity).visible = false;
    view.Changed();
    Pump();
    EXPECT_EQ(window->windowTitle(), "Vigiltron Manager - Service Mode");
    EXPECT_FALSE(tabs->isTabVisible(2));
    EXPECT_TRUE(tabs->isTabVisible(1));

    window->ExitAction()->trigger();
    EXPECT_EQ(calls.exits, 1);
}

TEST_F(MainWindowTest, HelpMenuForwardsItsEntriesAndTheHelpWindowFollowsTheViewModel) {
    QMenu* menu = window->HelpMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&Help");
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << action->text();
        action->trigger();
    }
    EXPECT_EQ(captions, (QStringList{"&Vigiltron Manager Help", "&Check for updates",
                                     "&About Vigiltron Manager"}));
    EXPECT_EQ(calls.help, (std::vector<std::string>{"help", "updates", "about"}));

    HelpWindow* help = window->Help();
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->isVisible());
    view.help.heading = "General Help";
    view.help.text = "Vigiltron Manager watches serial sensors.";
    view.help.visible = true;
    ++view.help.raiseCount;
    view.Changed();
    Pump();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "General Help");
    EXPECT_EQ(help->Heading()->text(), "General Help");
    EXPECT_EQ(help->Text()->toPlainText(), "Vigiltron Manager watches serial sensors.");
    EXPECT_TRUE(help->Text()->isReadOnly());

    // Closed by the user, it opens again on the next request, and only then.
    help->close();
    view.Changed();
    Pump();
    EXPECT_FALSE(help->isVisible());
    ++view.help.raiseCount;
    view.Changed();
    Pump();
    EXPECT_TRUE(help->isVisible());
}

TEST_F(MainWindowTest, BusyPointerWhileACommandRuns) {
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
        BusyPointer busy(view);
        view.Changed();
        Pump();
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        { BusyPointer nested(view); }
        Pump();
        EXPECT_NE(QApplication::overrideCursor(), nullptr) << "outer command still running";
    }
    Pump();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(MainWindowLifetimeTest, ChangesAfterTheWindowIsGoneAreHarmless) {
    ViewModel view;
    {
        MainWindow window(view, MainWindowCommands{});
        view.busyDepth = 1;
        view.Changed();
        Pump();
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a closed window gives the pointer back";
    // The view model keeps its observer; the notice must not reach the destroyed window.
    view.Row(1).reading = "70";
    view.Changed();
    Pump();
}

TEST(StatusPictureTest, RedDotIsDrawnAndUnknownNamesGiveNothing) {
    const QImage dot = StatusPicture("reddot.gif").toImage();
    ASSERT_FALSE(dot.isNull());
    const QColor centre = dot.pixelColor(dot.width() / 2, dot.height() / 2);
    EXPECT_EQ(centre, QColor(Qt::red));
    EXPECT_TRUE(StatusPicture("").isNull());
    EXPECT_TRUE(StatusPicture("no-such-picture.gif").isNull());
    EXPECT_TRUE(StatusPicture("../../etc/passwd").isNull());
}

}  // namespace
}  // namespace vigiltron

namespace vigiltron {
namespace {

QAction* MenuEntry(QMainWindow& window, const QString& menuTitle, const QString& caption) {
    for (QMenu* menu : window.findChildren<QMenu*>()) {
        if (menu->title() != menuTitle) {
            continue;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == caption) {
                return action;
            }
        }
    }
    return nullptr;
}

TEST(MainWindowShellTest, MenusAndSlotsForwardTheirCommandsAndTheTrayNeverStrandsTheWindow) {
    ViewModel view;
    ScriptedDialogs dialogs;
    RecordingSystemActions system;
    ShellCommands shell{ShellCommands::Services{view, dialogs, system, "/opt/vigiltron"}};
    std::vector<std::string> calls;
    MainWindowCommands commands;
    commands.placeInTray = [&] { shell.mnuPlaceInSysTray_Click(); };
    commands.takeOutOfTray = [&] { shell.mnuTakeOutOfSysTray_Click(); };
    commands.trayFailed = [&](const std::string& error) { shell.TrayFailed(error); };
    commands.openCaptureFiles = [&] { shell.mnuOpenCaptureFiles_Click(); };
    commands.openSetupWindow = [&] { calls.push_back("setup"); };
    commands.setProximityNotifications = [&] { calls.push_back("proximity events"); };
    commands.showHistory = [&](int n) { calls.push_back("history " + std::to_string(n)); };
    int historyReads = 0;
    commands.alarmHistory.read = [&](const AlarmHistoryFilter&) {
        ++historyReads;
        AlarmRecord alarm;
        alarm.time = LocalDateTime{2026, 12, 9, 14, 30, 5, 0};
        alarm.entry = 3;
        alarm.sensor = "Server room";
        alarm.kind = "Temperature";
        return AlarmHistoryRead{{alarm}, 0, ""};
    };
    MainWindow window(view, commands);
    window.show();
    Pump();

    ASSERT_NE(MenuEntry(window, "&Setup", "&Sensor Setup..."), nullptr);
    MenuEntry(window, "&Setup", "&Sensor Setup...")->trigger();
    MenuEntry(window, "&Setup", "&Proximity Events")->trigger();
    ASSERT_NE(MenuEntry(window, "&File", "&Open Camera Capture Files"), nullptr);
    MenuEntry(window, "&File", "&Open Camera Capture Files")->trigger();
    EXPECT_EQ(system.Calls(), (std::vector<std::string>{"open /opt/vigiltron/capturefiles"}));
    // "Alarm History..." opens the alarm history on a fresh read.
    ASSERT_NE(MenuEntry(window, "&File", "Alarm &History..."), nullptr);
    EXPECT_FALSE(window.AlarmHistoryDialog()->isVisible());
    MenuEntry(window, "&File", "Alarm &History...")->trigger();
    Pump();
    EXPECT_TRUE(window.AlarmHistoryDialog()->isVisible());
    EXPECT_EQ(window.AlarmHistoryDialog()->Table()->rowCount(), 1);
    EXPECT_EQ(historyReads, 1);
    window.AlarmHistoryDialog()->CloseButton()->click();
    Pump();
    EXPECT_FALSE(window.AlarmHistoryDialog()->isVisible());

    // The History button of a slot opens the chart of the device bound to it.
    view.Slot(Tab::Distance, 2).visible = true;
    view.Slot(Tab::Distance, 2).setupIndex = 7;
    view.Changed();
    Pump();
    window.SensorTabFor(Tab::Distance)->HistoryButton(2)->click();
    window.SensorTabFor(Tab::Proximity)->ProximityEventsButton()->click();
    EXPECT_EQ(calls, (std::vector<std::string>{"setup", "proximity events", "history 7",
                                               "proximity events"}));

    // This desktop (offscreen) has no notification area although the program was told there
    // was one: the window hides, the icon cannot come up, and the window is given back with a
    // message instead of staying hidden with nothing to bring it back.
    view.trayAvailable = true;
    window.PlaceInTrayAction()->trigger();
    Pump();
    EXPECT_FALSE(view.inTray);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.Tray()->Shown());
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"PlaceInSysTray Error: the desktop has no notification "
                                        "area"}));

    // Told the truth, the program stays in its window and says why.
    view.trayAvailable = false;
    window.PlaceInTrayAction()->trigger();
    Pump();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(dialogs.Messages().back(), ShellCommands::kNoTrayMessage);

    // The tray menu's one entry brings the window back.
    EXPECT_EQ(window.Tray()->TakeOutAction()->text(), "Take out of system tray");
    view.inTray = true;
    view.mainWindowHidden = true;
    window.Tray()->TakeOutAction()->trigger();
    Pump();
    EXPECT_FALSE(view.inTray);
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace vigiltron
