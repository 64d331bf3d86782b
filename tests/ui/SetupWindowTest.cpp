// The sensor setup window over the real engine (virtual time, simulated ports, scripted
// dialogs): what the user does in the window reaches the preference rules, and what the rules
// decide is what the window shows.
#include "ui/SetupWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include <gtest/gtest.h>

#include "app/EngineTestRig.h"
#include "app/SetupWindowWiring.h"
#include "core/SummaryMenu.h"
#include "sim/SimulatedSensor.h"
#include "ui/SetupAlertsPage.h"
#include "ui/SetupDevicesPage.h"
#include "ui/SetupIntervalsPage.h"
#include "ui/SetupLoggingPage.h"
#include "ui/SetupProximityPage.h"

namespace vigiltron {
namespace {

using Page = SetupWindow::Page;

// Lets queued work (the window's coalesced refresh, focus changes) run, without waiting on the
// clock.
void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// Replaces what a box holds by typing, as the user would.
void TypeInto(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
    } else {
        QTest::keyClicks(box, text);
    }
}

// Clicks a check box or option on its indicator: a wide one takes clicks only near its text.
void Tick(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

class SetupWindowTest : public ::testing::Test, public EngineTestRig {
protected:
    SetupWindowTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {}

    // Starts the engine over what the test stored and shows the window as the program does.
    Engine& Open() {
        Engine& e = Start();
        e.LoadSetupWindow();
        window = std::make_unique<SetupWindow>(e.view, e.prefs, SetupWindowCommandsFor(e));
        e.view.setupWindowVisible = true;
        e.view.Changed();
        Pump();
        window->activateWindow();
        Pump();
        return e;
    }

    void ShowPage(Page page) {
        window->Tabs()->setCurrentIndex(static_cast<int>(page));
        Pump();
    }

    std::string Stored(const std::string& key) {
        return settings.GetSetting("Program Setup", key, "?");
    }

    std::unique_ptr<SetupWindow> window;
};

TEST_F(SetupWindowTest, IsLeftOnlyThroughOkAndOpensOnTheAskedPage) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Lab");
    Engine& e = Open();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->CurrentPage(), Page::Devices);
    EXPECT_EQ(window->Tabs()->tabText(2), "Devices");
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_LE(window->width(), 1024);
    EXPECT_LE(window->height(), 768);

    // Neither a close request nor Escape leaves it.
    window->close();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Pump();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(e.view.setupWindowVisible);

    QTest::mouseClick(window->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(e.view.setupWindowVisible);

    // "Disable All Alarms" in the alarm window opens it on the alerts page, its switch ticked.
    e.alerts.DisableAllAlarms();
    Pump();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->CurrentPage(), Page::Alerts);
    EXPECT_TRUE(window->AlertsPage()->Switch("chkLocalMonitoring")->isChecked());
    // The request turns the page once; the user may then go elsewhere.
    ShowPage(Page::Logging);
    e.view.Changed();
    Pump();
    EXPECT_EQ(window->CurrentPage(), Page::Logging);

    QTest::mouseClick(window->OkButton(), Qt::LeftButton);
    Pump();
    ASSERT_FALSE(window->isVisible());
    OpenSetupOnProximityNotifications(e.view);
    Pump();
    EXPECT_EQ(window->CurrentPage(), Page::Proximity);

    // Opened plainly after that, it shows the devices again.
    QTest::mouseClick(window->OkButton(), Qt::LeftButton);
    e.view.setupWindowVisible = true;
    e.view.Changed();
    Pump();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->CurrentPage(), Page::Devices);
}

TEST_F(SetupWindowTest, ThresholdsAndAlertSwitchesFollowTheRules) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Lab");
    settings.SaveSetting("Program Setup", "TempMax", "80");
    settings.SaveSetting("Program Setup", "TempMin", "40");
    settings.SaveSetting("Program Setup", "ForC", "F");
    Open();
    ShowPage(Page::Alerts);
    SetupAlertsPage& page = *window->AlertsPage();
    QLineEdit* tempMax = page.Box("TempMax");
    QLineEdit* tempMin = page.Box("TempMin");
    EXPECT_EQ(tempMax->text(), "80");
    EXPECT_EQ(tempMin->text(), "40");
    EXPECT_EQ(tempMax->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(tempMin->palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_TRUE(page.FahrenheitOption()->isChecked());

    Tick(page.CelsiusOption());
    EXPECT_EQ(tempMax->text(), "26.7");
    EXPECT_EQ(tempMin->text(), "4.4");
    EXPECT_TRUE(page.CelsiusOption()->isChecked());
    EXPECT_FALSE(page.FahrenheitOption()->isChecked());
    EXPECT_EQ(Stored("TempMax"), "26.7");
    EXPECT_EQ(Stored("ForC"), "C");

    // Typing saves at once; a non-numeric minimum is reset to "30" once the user leaves it.
    TypeInto(tempMin, "cold");
    EXPECT_EQ(Stored("TempMin"), "cold");
    QTest::mouseClick(tempMax, Qt::LeftButton);
    EXPECT_EQ(tempMin->text(), "30");
    EXPECT_EQ(Stored("TempMin"), "30");

    // Ticking the water family's e-mail without a recipient warns but keeps the switch; an
    // on-screen alarm ticks "Local Audible Alert" with it.
    QCheckBox* waterEmail = page.Switch("chkEmailAlert6");
    Tick(waterEmail);
    EXPECT_TRUE(dialogs.Saw(
        "You must fill in the appropriate information before being able to send an Email "
        "Alert."));
    EXPECT_TRUE(waterEmail->isChecked());
    EXPECT_EQ(Stored("chkEmailAlert6"), "1");
    EXPECT_FALSE(page.Switch("chkUseAlerts")->isChecked());
    Tick(page.Switch("chkOnScreenAlert0"));
    EXPECT_TRUE(page.Switch("chkUseAlerts")->isChecked());
    EXPECT_EQ(Stored("chkUseAlerts"), "1");
}

TEST_F(SetupWindowTest, DeadbandsBesideTheThresholdsAndTheEscalationAreSavedWhenLeft) {
    settings.SaveSetting("Program Setup", "HumidHysteresis", "3");
    Open();
    ShowPage(Page::Alerts);
    SetupAlertsPage& page = *window->AlertsPage();
    for (const char* key :
         {"TempHysteresis", "HumidHysteresis", "TiltHysteresis", "DistanceHysteresis",
          "EscalateAfter", "EscalationEmail", "EscalationNumToCall"}) {
        ASSERT_NE(page.Box(key), nullptr) << key;
    }
    EXPECT_EQ(page.Box("HumidHysteresis")->text(), "3");
    EXPECT_EQ(page.Box("EscalateAfter")->text(), "0");
    // Each deadband on the line of its family's first limit, to its right.
    for (const auto& [deadband, limit] : {std::pair{"TempHysteresis", "TempMax"},
                                          {"HumidHysteresis", "HumidMax"},
                                          {"TiltHysteresis", "XMaxThresh"},
                                          {"DistanceHysteresis", "MinDistanceThresh"}}) {
        QLineEdit* band = page.Box(deadband);
        QLineEdit* beside = page.Box(limit);
        EXPECT_EQ(band->mapTo(&page, QPoint()).y(), beside->mapTo(&page, QPoint()).y()) << deadband;
        EXPECT_GT(band->mapTo(&page, QPoint()).x(), beside->mapTo(&page, QPoint()).x()) << deadband;
    }

    // Saved once left; a value that does not fit goes back to the stored one.
    QLineEdit* tempMax = page.Box("TempMax");
    TypeInto(page.Box("TempHysteresis"), "1.5");
    TypeInto(page.Box("EscalateAfter"), "10");
    TypeInto(page.Box("EscalationEmail"), "second@example.com");
    TypeInto(page.Box("EscalationNumToCall"), "555-0199");
    QTest::mouseClick(tempMax, Qt::LeftButton);
    EXPECT_EQ(Stored("TempHysteresis"), "1.5");
    EXPECT_EQ(Stored("EscalateAfter"), "10");
    EXPECT_EQ(Stored("EscalationEmail"), "second@example.com");
    EXPECT_EQ(Stored("EscalationNumToCall"), "555-0199");
    TypeInto(page.Box("EscalateAfter"), "soon");
    QTest::mouseClick(tempMax, Qt::LeftButton);
    EXPECT_EQ(page.Box("EscalateAfter")->text(), "10");
    EXPECT_EQ(Stored("EscalateAfter"), "10");
}

TEST_F(SetupWindowTest, DeviceRowsShowTheSetupAndForwardToTheEngine) {
    SaveDevice(2, "Vigiltron/T (Temperature)", 5, "Server Room");
    ports.Attach(5, std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature));
    Engine& e = Open();
    SetupDevicesPage& page = *window->DevicesPage();
    EXPECT_FALSE(page.TypeLabel(2)->isHidden());
    EXPECT_EQ(page.TypeLabel(2)->text(), "Vigiltron/T (Temperature)");
    EXPECT_EQ(page.NameLabel(2)->text(), "Server Room");
    EXPECT_TRUE(page.NoDevicesNotice()->isHidden());
    for (int n : {1, 3, 10}) {
        EXPECT_TRUE(page.TypeLabel(n)->isHidden()) << n;
        EXPECT_TRUE(page.ConnectButton(n)->isHidden()) << n;
    }

    // A double click on the type shows the COM box; a new number moves the device.
    EXPECT_TRUE(page.PortBox(2)->isHidden());
    QTest::mouseDClick(page.TypeLabel(2), Qt::LeftButton);
    ASSERT_FALSE(page.PortBox(2)->isHidden());
    EXPECT_EQ(page.PortBox(2)->text(), "5");
    TypeInto(page.PortBox(2), "7");
    QTest::keyClick(page.PortBox(2), Qt::Key_Return);
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\2", "Port", ""), "7");
    // A number the rules refuse is put back.
    TypeInto(page.PortBox(2), "999");
    QTest::keyClick(page.PortBox(2), Qt::Key_Return);
    EXPECT_TRUE(dialogs.Saw("Please choose a COM port from 1 to 256."));
    EXPECT_EQ(page.PortBox(2)->text(), "7");
    TypeInto(page.PortBox(2), "5");
    QTest::keyClick(page.PortBox(2), Qt::Key_Return);
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\2", "Port", ""), "5");

    Tick(page.FileLoggingBox(2));
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\2", "FileLogging", ""), "1");

    QPushButton* connect = page.ConnectButton(2);
    EXPECT_EQ(connect->text(), "Connect");
    ASSERT_TRUE(connect->isEnabled());
    EXPECT_TRUE(page.DeleteButton(2)->isEnabled());
    QTest::mouseClick(connect, Qt::LeftButton);
    EXPECT_TRUE(e.model.Entry(2)->IsConnected());
    EXPECT_EQ(connect->text(), "Disconnect");
    EXPECT_FALSE(page.DeleteButton(2)->isEnabled()) << "a connected device is not deleted";

    QTest::mouseClick(connect, Qt::LeftButton);
    EXPECT_FALSE(e.model.Entry(2)->IsConnected());
    QTest::mouseClick(page.DeleteButton(2), Qt::LeftButton);
    EXPECT_TRUE(page.TypeLabel(2)->isHidden());
    EXPECT_FALSE(page.NoDevicesNotice()->isHidden());
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\2", "DeviceType", "gone"), "gone");
}

TEST_F(SetupWindowTest, OkWithANonNumericLogSizeSaysSoAndStaysOpen) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Lab");
    Engine& e = Open();
    ShowPage(Page::Logging);
    QLineEdit* size = window->LoggingPage()->MaxFileSizeBox();
    EXPECT_EQ(size->text(), "1000");
    TypeInto(size, "big");
    EXPECT_EQ(Stored("MaxFileSize"), "big");

    ShowPage(Page::Devices);
    QTest::mouseClick(window->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_TRUE(dialogs.Saw("This value must be an integer"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(e.view.setupWindowVisible);
    EXPECT_EQ(size->text(), "1000");
    EXPECT_EQ(window->CurrentPage(), Page::Logging);
    EXPECT_EQ(window->focusWidget(), size);

    QTest::mouseClick(window->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Stored("MaxFileSize"), "1000");
}

TEST_F(SetupWindowTest, IntervalsAreSetWithTheSliderAndTheUnit) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Lab");
    settings.SaveSetting("Program Setup", "ReadingInterval", "5");
    settings.SaveSetting("Program Setup", "MinOrSecs", "Min");
    Engine& e = Open();
    ShowPage(Page::Intervals);
    SetupIntervalsPage& page = *window->IntervalsPage();
    QSlider* slider = page.Slider();
    EXPECT_EQ(page.ReadingIntervalBox()->text(), "5");
    EXPECT_EQ(slider->value(), 5);
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_TRUE(page.MinutesOption()->isChecked());

    // A click in the interval box hands the focus to the slider.
    QTest::mouseClick(page.ReadingIntervalBox(), Qt::LeftButton);
    EXPECT_EQ(window->focusWidget(), slider);

    // Seconds: an interval below 8 becomes 8, polled every 8 x 850 ms.
    Tick(page.SecondsOption());
    EXPECT_EQ(page.ReadingIntervalBox()->text(), "8");
    EXPECT_EQ(slider->minimum(), 8);
    EXPECT_EQ(slider->value(), 8);
    EXPECT_EQ(Stored("MinOrSecs"), "Sec");
    EXPECT_EQ(e.link.PollingTimer(1)->Interval(), Milliseconds(6800));

    // A step of the slider by keyboard applies at once.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(page.ReadingIntervalBox()->text(), "9");
    EXPECT_EQ(Stored("ReadingInterval"), "9");
    EXPECT_EQ(e.link.PollingTimer(1)->Interval(), Milliseconds(7650));
    EXPECT_FALSE(page.SetButton()->isEnabled());

    // A binary interval that is no number is refused by "Set", which points at it.
    TypeInto(page.BinaryIntervalBox(), "fast");
    ASSERT_TRUE(page.SetButton()->isEnabled());
    QTest::mouseClick(page.SetButton(), Qt::LeftButton);
    EXPECT_TRUE(dialogs.Saw("This interval must be an integer"));
    EXPECT_EQ(window->focusWidget(), page.BinaryIntervalBox());
}

TEST_F(SetupWindowTest, ProximityCommandsAreBrowsedAndDelaysChecked) {
    SaveDevice(1, "Vigiltron/P (Proximity)", 3, "Door");
    Open();
    ShowPage(Page::Proximity);
    SetupProximityPage& page = *window->ProximityPage();
    EXPECT_EQ(page.CommandBox(ProximityActions::kWalkAway)->text(), "Path not set");

    dialogs.QueueFile("/usr/share/screensavers/matrix.scr");
    QTest::mouseClick(page.BrowseButton(ProximityActions::kWalkAway), Qt::LeftButton);
    EXPECT_EQ(page.CommandBox(ProximityActions::kWalkAway)->text(),
              "/usr/share/screensavers/matrix.scr /s");
    EXPECT_TRUE(page.ActionOption(ProximityActions::Action::RunCommand)->isChecked());
    EXPECT_FALSE(page.ActionOption(ProximityActions::Action::Disabled)->isChecked());
    EXPECT_EQ(window->focusWidget(), window->OkButton());

    QLineEdit* away = page.DelayBox(ProximityActions::kWalkAway);
    TypeInto(away, "61");
    QTest::mouseClick(page.DelayBox(ProximityActions::kWalkUp), Qt::LeftButton);
    EXPECT_TRUE(dialogs.Saw("Delay has to be between 1 and 60 seconds."));
    EXPECT_EQ(away->text(), "10");

    Tick(page.ActionOption(ProximityActions::Action::SystemLock));
    EXPECT_EQ(Stored("optSystemLock"), "1");
    EXPECT_EQ(Stored("optRunCommand"), "0");
    EXPECT_FALSE(page.ActionOption(ProximityActions::Action::RunCommand)->isChecked());
}

}  // namespace
}  // namespace vigiltron
