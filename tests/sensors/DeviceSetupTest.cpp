#include "sensors/DeviceSetup.h"

#include <gtest/gtest.h>

#include "sensors/SensorRig.h"

#include <filesystem>
#include <memory>

#include "config/ProfileFile.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

// The engine parts the setup works with, wired as the program wires them: the link's refusal of
// a wrongly typed sensor deletes through DeviceSetup::DeleteDevice.
class DeviceSetupTest : public ::testing::Test, protected SensorRig {
protected:
    DeviceRequest Sensor(const char* type, int port, const std::string& name) {
        DeviceRequest request;
        request.type = type;
        request.port = port;
        request.name = name;
        return request;
    }
    std::string Tree(int n, const std::string& key) const {
        return settings.GetSetting("PortConfig\\Devices\\" + std::to_string(n), key, "<none>");
    }
    std::string File(const std::string& section, const std::string& key) const {
        return ProfileFile::Parse(files.Contents("/cfg/vigiltron.ini"))
            .Find(section, key)
            .value_or("<none>");
    }
    std::string Counts() const {
        return settings.GetSetting("Program Setup", "TotalDevices", "<none>") + "/" +
               File("Device Setup", "TotalDevices");
    }
};

TEST_F(DeviceSetupTest, RefusedAdditionsTellWhyAndStoreNothing) {
    // Nine entries taken without filling the Temperature or Humidity tab.
    const char* types[] = {kTypeProximity, kTypeProximity, kTypeProximity,
                           kTypeProximity, kTypeWater,     kTypeWater,
                           kTypeWater,     kTypeWater,     kTypeDistance};
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(deviceSetup.AddDevice(Sensor(types[i], i + 1, "S" + std::to_string(i + 1))))
            << ::testing::PrintToString(dialogs.Messages());
    }
    ASSERT_EQ(Counts(), "9/9");
    dialogs.Clear();
    const std::string before = files.Contents("/cfg/vigiltron.ini");

    // Only entry 10 is free: a combined sensor would need an eleventh.
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeComboOffered, 12, "Combo")));
    // A blank name, a port another entry uses, a port that cannot exist.
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 12, "   ")));
    EXPECT_TRUE(view.deviceSetup.nameBoxFocused);
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 3, "T")));
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 0, "T")));
    // A full tab says so itself.
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeWater, 12, "W")));
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{
                  "There must be two consecutive slots open to add this sensor.",
                  "Device name cannot be blank", "COM3 is already used by S3.",
                  "Please choose a COM port from 1 to 256.",
                  "There are no more available slots on the Water tab for this sensor."}));
    EXPECT_EQ(Tree(10, "DeviceType"), "<none>");
    EXPECT_TRUE(model.IsFree(10));
    EXPECT_EQ(files.Contents("/cfg/vigiltron.ini"), before);
    EXPECT_EQ(Counts(), "9/9");

    // The last entry takes a single sensor; after that nothing more fits.
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 12, "Last")));
    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.AddDevice(Sensor(kTypeHumidity, 13, "H")));
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"All ten device entries are in use. Please delete a "
                                        "device before adding another."}));
    EXPECT_EQ(Counts(), "10/10");
}

TEST_F(DeviceSetupTest, AddWindowFillsDefaultsAndStoresTheOptions) {
    dialogs.QueueYesNo(true);
    EXPECT_TRUE(deviceSetup.OpenAddWindow(false));
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text,
              "Do you want to auto-detect your Vigiltron devices?\n  (VigiltronV camera devices "
              "cannot be detected.)");
    EXPECT_EQ(dialogs.History()[0].title, "Vigiltron Device Detection");
    EXPECT_FALSE(deviceSetup.OpenAddWindow(true));  // start-up does not ask
    EXPECT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "1");
    DeviceSetupView& v = view.deviceSetup;
    EXPECT_EQ(v.typeList.front(), "Vigiltron/A (2-Axis Accelerometer)");
    EXPECT_EQ(v.typeList.back(), "Vigiltron/V2 (Single camera only)");
    EXPECT_EQ(v.selectedType, "<drop down to select>");
    EXPECT_FALSE(deviceSetup.AddFromWindow());  // nothing chosen: nothing happens

    EXPECT_TRUE(deviceSetup.SelectType("Vigiltron Combo Sensor (Temp. & Humidity)"));
    EXPECT_EQ(v.nameBox, "Vigiltron/TH01");
    EXPECT_TRUE(v.comPortVisible);
    EXPECT_TRUE(deviceSetup.SelectType("Vigiltron/A (2-Axis Accelerometer)"));
    EXPECT_EQ(v.nameBox, "Vigiltron/A01");
    EXPECT_TRUE(v.bumpOptionsVisible);
    v.startInBump = true;
    v.calibrateOnConnect = true;
    v.comPort = 8;
    ASSERT_TRUE(deviceSetup.AddFromWindow());
    EXPECT_FALSE(v.addWindowVisible);
    EXPECT_EQ(v.nameBox, "");
    for (const char* key : {"StartInBump", "CalibrateOnConnect"}) {
        EXPECT_EQ(Tree(1, key), "1") << key;
        EXPECT_EQ(File("Device Setup\\1", key), "1") << key;
    }
    EXPECT_EQ(Tree(1, "StartInProx"), "0");
    EXPECT_EQ(Tree(1, "Port"), "8");
    // The new entry's logging boxes are ticked, and ticking saves them.
    EXPECT_EQ(Tree(1, "TabLogging"), "1");
    EXPECT_EQ(File("Device Setup\\1", "FileLogging"), "1");
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkEmailAlert8"), "1");
    EXPECT_TRUE(prefs.chkEmailAlert[8]);
    EXPECT_TRUE(view.Slot(Tab::Accelerometer, 1).visible);
    EXPECT_EQ(view.Slot(Tab::Accelerometer, 1).caption, "Vigiltron/A01");
    EXPECT_FALSE(view.TabAt(Tab::Accelerometer).emptyNoticeVisible);
    EXPECT_TRUE(view.Row(1).visible);
    EXPECT_TRUE(v.entries[1].visible);
    EXPECT_TRUE(v.entries[1].tabLogging);
    EXPECT_FALSE(model.Entry(1)->IsConnected());  // adding never connects
    EXPECT_FALSE(ports.IsBusy(8));

    // Cameras need a capture device; the list's "none found" line is not one. Only one V2
    // camera may exist.
    std::vector<std::string> devices = {"No video capture devices found"};
    deviceSetup.cameraDriverList = [&] { return devices; };
    deviceSetup.cameraDriverIdentity = [&](int i) {
        return devices[0] == "No video capture devices found" ? ""
                                                              : "/dev/video" + std::to_string(i);
    };
    EXPECT_TRUE(deviceSetup.SelectType("Vigiltron/V2 (Single camera only)"));
    EXPECT_EQ(v.nameBox, "Vigiltron/V2 002");
    EXPECT_EQ(v.cameraDrivers, devices);
    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.AddFromWindow());
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"No Vigiltron/V camera drivers found for this camera."});
    devices = {"USB Camera A", "USB Camera B"};
    EXPECT_TRUE(deviceSetup.SelectType("Vigiltron/V2 (Single camera only)"));
    v.selectedDriver = 1;
    ASSERT_TRUE(deviceSetup.AddFromWindow());
    EXPECT_EQ(Tree(2, "DriverName"), "USB Camera B");
    EXPECT_EQ(Tree(2, "CamDriverIndex"), "1");
    EXPECT_EQ(Tree(2, "UsedByDriver"), "/dev/video1");
    EXPECT_EQ(Tree(2, "Port"), "<none>");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "1");
    EXPECT_EQ(Counts(), "2/2");
    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.SelectType("Vigiltron/V2 (Single camera only)"));
    EXPECT_EQ(v.selectedType, "<drop down to select>");
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"Only one Vigiltron/V2 camera can be used at this time."});

    ASSERT_TRUE(deviceSetup.DeleteDevice(2));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "0");
    EXPECT_EQ(Counts(), "1/1");
}

TEST_F(DeviceSetupTest, DeletingFreesTheSlotsAtOnceAndKeepsLaterRecordsLoadable) {
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 3, "Cellar")));
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeComboOffered, 17, "Attic")));
    ASSERT_EQ(Counts(), "3/3");
    ports.Attach(17, std::make_shared<SimulatedSensor>(loop, SensorKind::Combined));

    // A connected device is refused until it is disconnected.
    link.cmdConnectSensor_Click(2);
    ASSERT_TRUE(model.Entry(2)->IsConnected()) << ::testing::PrintToString(dialogs.Messages());
    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.DeleteDevice(2));
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"Please disconnect Attic before deleting it."});
    EXPECT_EQ(Tree(2, "DeviceType"), "Combo Sensor (Humidity)");
    link.cmdConnectSensor_Click(2);
    ASSERT_FALSE(model.Entry(2)->IsConnected());

    // Either half names the combined sensor.
    ASSERT_TRUE(deviceSetup.DeleteDevice(3));
    for (int n : {2, 3}) {
        EXPECT_EQ(Tree(n, "DeviceType"), "<none>") << n;
        EXPECT_TRUE(model.IsFree(n)) << n;
        EXPECT_FALSE(view.Row(n).visible) << n;
        EXPECT_FALSE(view.Commands(n).connectVisible) << n;
        EXPECT_FALSE(view.deviceSetup.entries[std::size_t(n)].visible) << n;
    }
    EXPECT_EQ(Counts(), "1/1");
    EXPECT_FALSE(view.Slot(Tab::Temperature, 2).visible);
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).caption, "");
    EXPECT_FALSE(view.Slot(Tab::Humidity, 1).visible);
    EXPECT_TRUE(view.TabAt(Tab::Humidity).emptyNoticeVisible);
    EXPECT_FALSE(view.TabAt(Tab::Temperature).emptyNoticeVisible);  // "Cellar" remains
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).caption, "Cellar");
    EXPECT_EQ(model.TabCount(Tab::Humidity), 0);

    // A proximity sensor fills the gap, a water sensor follows; deleting the proximity sensor
    // leaves a gap before the water sensor, which must still load at the next start.
    prefs.DelayEventAway = "5";
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeProximity, 5, "Door")));
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeWater, 6, "Basement")));
    EXPECT_EQ(model.Entry(2)->deviceName, "Door");
    ASSERT_TRUE(deviceSetup.DeleteDevice(2));
    EXPECT_TRUE(view.TabAt(Tab::Proximity).emptyNoticeVisible);
    EXPECT_EQ(settings.GetSetting("Program Setup", "DelayEventAway"), "0");  // proximity reset
    EXPECT_EQ(Counts(), "3/3");
    ASSERT_TRUE(config.LoadDeviceRegistry());
    EXPECT_EQ(model.Entry(3)->deviceName, "Basement");
    EXPECT_EQ(model.Entry(1)->deviceName, "Cellar");
    EXPECT_TRUE(model.IsFree(2));

    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.DeleteDevice(2));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"There is no device at setup index 2."});
}

TEST_F(DeviceSetupTest, SensorOfTheWrongKindAtConnectionIsDeletedFromEverywhere) {
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeHumidity, 6, "Lab")));
    ports.Attach(6, std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature));
    link.cmdConnectSensor_Click(1);
    EXPECT_TRUE(dialogs.Saw("Warning: Device appears to be a Vigiltron/T v2.1"));
    EXPECT_TRUE(model.IsFree(1));
    EXPECT_EQ(Tree(1, "DeviceType"), "<none>");
    EXPECT_EQ(Counts(), "0/0");
    EXPECT_FALSE(view.Slot(Tab::Humidity, 1).visible);
    EXPECT_TRUE(view.TabAt(Tab::Humidity).emptyNoticeVisible);
    EXPECT_FALSE(view.Row(1).visible);
    EXPECT_FALSE(view.Commands(1).connectVisible);
    EXPECT_FALSE(ports.IsBusy(6));
}

TEST_F(DeviceSetupTest, RenameAndMoveUpdateBothStoresAndTheView) {
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeComboOffered, 4, "Attic")));
    ASSERT_TRUE(deviceSetup.AddDevice(Sensor(kTypeTemperature, 5, "Cellar")));

    dialogs.QueueText(std::string("  Greenhouse "));
    ASSERT_TRUE(deviceSetup.RenameDevice(2));
    EXPECT_EQ(dialogs.History().back().text, "Please enter a new device name");
    for (int n : {1, 2}) {
        EXPECT_EQ(Tree(n, "DeviceName"), "Greenhouse") << n;
        EXPECT_EQ(File("Device Setup\\" + std::to_string(n), "DeviceName"), "Greenhouse") << n;
        EXPECT_EQ(view.Row(n).name, "Greenhouse") << n;
    }
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).caption, "Greenhouse");
    EXPECT_EQ(view.Slot(Tab::Humidity, 1).caption, "Greenhouse");
    dialogs.Clear();
    EXPECT_FALSE(deviceSetup.RenameDevice(3, ""));
    EXPECT_EQ(Tree(3, "DeviceName"), "Cellar");

    EXPECT_FALSE(deviceSetup.MoveDevice(2, 5));
    ASSERT_TRUE(deviceSetup.MoveDevice(2, 7));
    for (int n : {1, 2}) {
        EXPECT_EQ(Tree(n, "Port"), "7") << n;
        EXPECT_EQ(File("Device Setup\\" + std::to_string(n), "Port"), "7") << n;
        EXPECT_EQ(model.Entry(n)->port, 7) << n;
    }
    EXPECT_EQ(view.deviceSetup.entries[1].port, "7");
    EXPECT_TRUE(deviceSetup.MoveDevice(3, 4));  // the port the combined sensor left is free again
    EXPECT_EQ(dialogs.Messages(), (std::vector<std::string>{"Device name cannot be blank",
                                                            "COM5 is already used by Cellar."}));

    // The COM box: sensors and the lead half only.
    deviceSetup.ToggleComBox(2);
    EXPECT_FALSE(view.deviceSetup.entries[2].comBoxVisible);
    deviceSetup.ToggleComBox(1);
    EXPECT_TRUE(view.deviceSetup.entries[1].comBoxVisible);
}

}  // namespace
}  // namespace vigiltron
