#include "config/Startup.h"

#include <gtest/gtest.h>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

class StartupTest : public ::testing::Test, public EngineTestRig {
protected:
    StartupTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {}
};

TEST_F(StartupTest, FirstRunAsksToDetectDevices) {
    settings.SaveSetting("Program Setup\\Internet Setup", "AutoStartIUE", "1");
    int scans = 0;
    auto countScans = [&](Engine& e) { e.startup.startDeviceScan = [&] { ++scans; }; };
    dialogs.QueueYesNo(false);
    Engine& e = Start({}, countScans);
    ASSERT_FALSE(dialogs.History().empty());
    EXPECT_EQ(dialogs.History().back().text,
              "Would you like to auto detect and set up your devices now?\n"
              "     (VigiltronV and VigiltronV2 camera devices cannot be detected.)");
    EXPECT_TRUE(e.view.setupFirstRun);
    EXPECT_EQ(scans, 0);
    EXPECT_EQ(e.prefs.TempMax, "80");
    EXPECT_EQ(e.prefs.HumidMax, "70");
    // Nothing configured: no remote-monitoring question even when it is asked for.
    EXPECT_FALSE(dialogs.Saw("Do you wish to start Remote Monitoring?"));
    // Any answer but No starts the search.
    Start({}, countScans);
    EXPECT_EQ(scans, 1);
}

TEST_F(StartupTest, StartedWithTheSystemConnectsEverythingAndGoesToTheTray) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Server room");
    settings.SaveSetting("Program Setup", "SavedState", "1");
    settings.SaveSetting("Program Setup\\Internet Setup", "AutoStartIUE", "1");
    ports.Attach(3, std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature));
    Engine& e = Start();
    EXPECT_EQ(settings.GetSetting("Program Setup", "AutoConnect"), "1");
    EXPECT_TRUE(e.startup.StartedWithSystem());
    EXPECT_TRUE(e.model.Entry(1)->IsConnected());
    EXPECT_EQ(e.view.Row(1).reading, "72.5");
    EXPECT_EQ(e.view.mainWindowPlacement, ViewModel::WindowPlacement::Tray);
    EXPECT_TRUE(e.view.mainWindowHidden);
    EXPECT_FALSE(e.startup.Loading());
    EXPECT_TRUE(dialogs.Saw("Do you wish to start Remote Monitoring?"));
}

TEST_F(StartupTest, ConfiguredDevicesWithoutAutoConnectStayDisconnected) {
    SaveDevice(1, "Vigiltron/H (Humidity)", 3, "Archive");
    ports.Attach(3, std::make_shared<SimulatedSensor>(loop, SensorKind::Humidity));
    Engine& e = Start({.minimize = true});
    EXPECT_FALSE(e.model.Entry(1)->IsConnected());
    EXPECT_EQ(e.view.Commands(1).connectCaption, "Connect");
    EXPECT_TRUE(e.view.Commands(1).connectEnabled);
    EXPECT_EQ(e.view.Slot(Tab::Humidity, 1).caption, "Archive");
    EXPECT_FALSE(e.view.TabAt(Tab::Humidity).emptyNoticeVisible);
    EXPECT_EQ(e.view.mainWindowPlacement, ViewModel::WindowPlacement::Minimised);
    EXPECT_FALSE(dialogs.Saw("Do you wish to start Remote Monitoring?"));
}

TEST_F(StartupTest, BothServiceSwitchesWithoutADeviceCountInTheFile) {
    files.Put("/cfg/vigiltron.ini", "[Sensor Setup]\r\nTempMax=90\r\n");
    Engine& e = Start({.vtService = true, .service = true});
    // The count reads "00", which is not "0": loading goes on and finds nothing.
    EXPECT_TRUE(dialogs.Saw("TotalDevs = 0"));
    EXPECT_EQ(e.prefs.TempMax, "90");
    EXPECT_FALSE(e.view.setupFirstRun);
}

TEST_F(StartupTest, AutoLogoutModeConfiguresOneDistanceSensor) {
    machine.Set("Autologout", "1");
    machine.Set("Port", "6");
    machine.Set("BinaryInterval", "250");
    machine.Set("ForceLogOff", "1");
    Engine& e = Start();
    EXPECT_TRUE(e.startup.AutoLogoutMode());
    EXPECT_EQ(e.model.EffectiveKind(1), DeviceKind::Distance);
    EXPECT_EQ(e.model.Entry(1)->port, 6);
    EXPECT_EQ(e.prefs.BinaryInterval, "250");
    EXPECT_TRUE(e.prefs.optLogoutOnProximity);
    EXPECT_TRUE(e.view.TabAt(Tab::Distance).visible);
    EXPECT_FALSE(e.view.TabAt(Tab::Temperature).visible);
    EXPECT_EQ(e.view.mainWindowPlacement, ViewModel::WindowPlacement::Tray);
}

TEST_F(StartupTest, StartUpListExitAndCleanOut) {
    Engine& e = Start();
    e.startup.PlaceInSystemStartup(true);
    EXPECT_TRUE(system.IsPlacedInStartup());
    EXPECT_EQ(settings.GetSetting("Program Setup", "SavedState"), "1");
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkPlaceInStartup"), "1");
    e.startup.PlaceInSystemStartup(false);
    EXPECT_FALSE(system.IsPlacedInStartup());
    EXPECT_EQ(settings.GetSetting("Program Setup", "SavedState"), "0");

    // A refused placement is not shown or kept as done.
    system.failPlaceInStartup = true;
    e.startup.PlaceInSystemStartup(true);
    EXPECT_FALSE(e.view.placedInStartup);
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkPlaceInStartup"), "0");
    EXPECT_TRUE(dialogs.Saw("The program could not be placed in the system start-up: refused"));

    dialogs.QueueYesNo(false);
    EXPECT_FALSE(e.startup.ConfirmExit());
    EXPECT_FALSE(e.view.exitRequested);
    dialogs.QueueYesNo(true);
    EXPECT_TRUE(e.startup.ConfirmExit());
    EXPECT_TRUE(e.view.exitRequested);
    EXPECT_EQ(dialogs.History().back().title, "Vigiltron Manager Exit");

    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "x");
    e.startup.RegistryCleanOut();
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\1", "DeviceType", "gone"), "gone");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices", "gone"), "gone");
    EXPECT_TRUE(
        dialogs.Saw("Success.  You must exit the program and restart.\n"
                    "You will be prompted to re-enter your sensor setup information."));
}

TEST_F(StartupTest, ShutDownClosesEveryPortAndFile) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Server room");
    settings.SaveSetting("Program Setup", "AutoConnect", "1");
    auto sensor = std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature);
    ports.Attach(3, sensor);
    Engine& e = Start();
    ASSERT_TRUE(e.link.Port(1, PortGroup::Polled)->IsOpen());
    e.startup.ShutDown();
    EXPECT_FALSE(e.link.Port(1, PortGroup::Polled)->IsOpen());
    EXPECT_FALSE(ports.IsBusy(3));
    EXPECT_FALSE(e.link.PollingTimer(1)->Enabled());
}

}  // namespace
}  // namespace vigiltron
