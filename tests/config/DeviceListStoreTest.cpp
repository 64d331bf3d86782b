#include <gtest/gtest.h>

#include "ConfigStoreTestSupport.h"
#include "config/ProfileFile.h"

namespace vigiltron {
namespace {

void StoreDevice(MemorySettingsTree& tree, int n, const std::string& type,
                 const std::string& subIndex, const std::string& name, const std::string& port) {
    const std::string section = "PortConfig\\Devices\\" + std::to_string(n) + "\\";
    tree.SaveSetting(section, "DeviceType", type);
    tree.SaveSetting(section, "SubIndex", subIndex);
    tree.SaveSetting(section, "DeviceName", name);
    tree.SaveSetting(section, "Port", port);
}

TEST(DeviceListStoreTest, SettingsTreeListFillsTheSetupArrayAndTheTabs) {
    ConfigStoreRig rig;
    MemorySettingsTree& tree = rig.tree;
    tree.SaveSetting("Program Setup\\", "TotalDevices", "6");
    StoreDevice(tree, 1, "Vigiltron/T (Temperature)", "1", "Lab", "3");
    tree.SaveSetting("PortConfig\\Devices\\1", "TabLogging", "1");
    tree.SaveSetting("PortConfig\\Devices\\1", "FileLogging", "0");
    // Index 2 was deleted: its record has no type.
    StoreDevice(tree, 3, "Combo Sensor (Humidity)", "21", "Cellar", "5");
    StoreDevice(tree, 4, "Combo Sensor (Temperature)", "21", "Cellar", "5");
    StoreDevice(tree, 5, "Vigiltron/A (2-Axis Accelerometer)", "1", "Rack", "7");
    tree.SaveSetting("PortConfig\\Devices\\5", "StartInBump", "1");
    tree.SaveSetting("PortConfig\\Devices\\5", "CalibrateOnConnect", "1");
    StoreDevice(tree, 6, "Vigiltron/V (Video)", "2", "Door cam", "");
    tree.SaveSetting("PortConfig\\Devices\\6", "CamDriverIndex", "0");
    tree.SaveSetting("PortConfig\\Devices\\6", "DriverName", "USB Camera");
    tree.SaveSetting("PortConfig\\Devices\\6", "TabLogging", "1");
    tree.SaveSetting("Program Setup", "chkSendToSummary", "1");

    ASSERT_TRUE(rig.store.LoadDeviceRegistry());
    EXPECT_TRUE(rig.dialogs.Messages().empty());

    const DeviceModel& m = rig.devices;
    EXPECT_EQ(m.KindOf(1), DeviceKind::Temperature);
    EXPECT_EQ(m.Entry(1)->deviceName, "Lab");
    EXPECT_EQ(m.Entry(1)->port, 3);
    EXPECT_TRUE(m.Entry(1)->tabLogging);
    EXPECT_FALSE(m.Entry(1)->fileLogging);
    EXPECT_TRUE(m.IsFree(2));
    EXPECT_EQ(m.KindOf(3), DeviceKind::Combined);
    EXPECT_EQ(m.KindOf(4), DeviceKind::Combined);
    EXPECT_EQ(m.KindOf(5), DeviceKind::Accelerometer);
    EXPECT_TRUE(m.Entry(5)->startInBump);
    EXPECT_TRUE(m.Entry(5)->calibrateOnConnect);
    EXPECT_EQ(m.KindOf(6), DeviceKind::Camera);
    EXPECT_EQ(m.Entry(6)->camDriverIndex, 0);
    EXPECT_EQ(m.Entry(6)->driverName, "USB Camera");
    EXPECT_FALSE(m.Entry(6)->tabLogging);  // cameras keep no logging switches
    EXPECT_TRUE(m.Entry(6)->sendToSummary);

    EXPECT_EQ(m.SetupIndexInSlot(Tab::Temperature, 1), 1);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Temperature, 2), 4);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Humidity, 1), 3);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Accelerometer, 1), 5);
    EXPECT_EQ(m.TabCount(Tab::Temperature), 2);
    EXPECT_EQ(m.CameraDriver(2), 0);
}

TEST(DeviceListStoreTest, SettingsTreeCountRules) {
    ConfigStoreRig rig;
    StoreDevice(rig.tree, 1, "Vigiltron/T (Temperature)", "1", "Lab", "3");

    // No count was ever saved ("99"): nothing is loaded.
    ASSERT_TRUE(rig.store.LoadDeviceRegistry());
    EXPECT_TRUE(rig.devices.IsFree(1));

    rig.tree.SaveSetting("Program Setup", "TotalDevices", "-2");
    ASSERT_TRUE(rig.store.LoadDeviceRegistry());
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "TotalDevices"), "0");
    EXPECT_TRUE(rig.devices.IsFree(1));

    // A count beyond the ten entries loads the ten.
    rig.tree.SaveSetting("Program Setup", "TotalDevices", "25");
    ASSERT_TRUE(rig.store.LoadDeviceRegistry());
    EXPECT_EQ(rig.devices.KindOf(1), DeviceKind::Temperature);
    EXPECT_TRUE(rig.dialogs.Messages().empty());
}

TEST(DeviceListStoreTest, OneDigitComboSubIndexDiscardsTheStoredList) {
    ConfigStoreRig rig;
    rig.tree.SaveSetting("Program Setup\\", "TotalDevices", "3");
    StoreDevice(rig.tree, 1, "Vigiltron/T (Temperature)", "1", "Lab", "3");
    StoreDevice(rig.tree, 2, "Combo Sensor (Humidity)", "2", "Old", "4");
    StoreDevice(rig.tree, 3, "Combo Sensor (Temperature)", "2", "Old", "4");
    StoreDevice(rig.tree, 10, "Vigiltron/W (Water)", "1", "Sink", "9");
    rig.tree.SaveSetting("Program Setup\\Prox1", "chkCamMon", "1");

    EXPECT_FALSE(rig.store.LoadDeviceRegistry());

    for (int n = 1; n <= 10; ++n) {
        EXPECT_FALSE(rig.tree.HasSection("PortConfig\\Devices\\" + std::to_string(n))) << n;
        EXPECT_TRUE(rig.devices.IsFree(n)) << n;
    }
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "TotalDevices"), "0");
    EXPECT_EQ(rig.devices.TabCount(Tab::Temperature), 0);
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Prox1", "chkCamMon"), "1");
    EXPECT_EQ(rig.dialogs.Messages(),
              std::vector<std::string>{"Could not load saved preferences."});
}

class PrefsFileDevicesTest : public ::testing::Test {
protected:
    void File(const std::string& text) { rig.files.Put(ConfigStoreRig::kPrefsPath, text); }
    ConfigStoreRig rig;
};

TEST_F(PrefsFileDevicesTest, LoadsForAnUnattendedRun) {
    File(
        "[Device Setup]\r\nTotalDevices=4\r\n"
        "[Device Setup\\1]\r\nDeviceType=Vigiltron/D (Distance)\r\nDeviceName=Hall\r\n"
        "SubIndex=1\r\nTabLogging=1\r\nFileLogging=0\r\nStartInProx=1\r\n"
        "[Device Setup\\2]\r\nDeviceType=Vigiltron/V2 (Single camera only)\r\n"
        "DeviceName=Cam\r\nSubIndex=1\r\nDriverName=from file\r\n"
        "[Device Setup\\3]\r\nDeviceType=Combo Sensor (Humidity)\r\nSubIndex=11\r\nPort=6\r\n"
        "[Device Setup\\4]\r\nDeviceType=Combo Sensor (Temperature)\r\nSubIndex=11\r\n");
    rig.tree.SaveSetting("PortConfig\\Devices\\2\\", "DriverName", "from tree");
    rig.tree.SaveSetting("PortConfig\\Devices\\2\\", "CamDriverIndex", "1");

    ASSERT_TRUE(rig.store.LoadDeviceINI());
    EXPECT_TRUE(rig.dialogs.Messages().empty());

    const DeviceModel& m = rig.devices;
    EXPECT_EQ(m.KindOf(1), DeviceKind::Distance);
    EXPECT_EQ(m.Entry(1)->deviceName, "Hall");
    EXPECT_EQ(m.Entry(1)->port, 1);  // missing port reads "1"
    EXPECT_TRUE(m.Entry(1)->startInProx);
    // Readings go to the log file, not to the tab, whatever the file says.
    EXPECT_FALSE(m.Entry(1)->tabLogging);
    EXPECT_TRUE(m.Entry(1)->fileLogging);
    EXPECT_EQ(m.KindOf(2), DeviceKind::CameraV2);
    EXPECT_EQ(m.Entry(2)->driverName, "from tree");
    EXPECT_EQ(m.Entry(2)->camDriverIndex, 1);
    EXPECT_EQ(m.CameraDriver(1), 1);
    EXPECT_EQ(m.Entry(3)->port, 6);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Humidity, 1), 3);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Temperature, 1), 4);
    EXPECT_EQ(m.SetupIndexInSlot(Tab::Distance, 1), 1);
}

TEST_F(PrefsFileDevicesTest, ReportsWhyNothingWasLoaded) {
    ASSERT_TRUE(rig.store.LoadDeviceINI());  // no file at all
    EXPECT_EQ(rig.dialogs.Messages(), std::vector<std::string>{"TotalDevs = 0"});

    rig.dialogs.Clear();
    File("[Device Setup]\r\nTotalDevices=-1\r\n");
    EXPECT_FALSE(rig.store.LoadDeviceINI());
    ASSERT_EQ(rig.dialogs.Messages().size(), 1u);
    EXPECT_EQ(rig.dialogs.Messages()[0].rfind("Error In LoadDeviceINI: ", 0), 0u);

    rig.dialogs.Clear();
    File(
        "[Device Setup]\r\nTotalDevices=2\r\n"
        "[Device Setup\\1]\r\nDeviceType=Vigiltron/T (Temperature)\r\nSubIndex=1\r\n");
    EXPECT_FALSE(rig.store.LoadDeviceINI());
    EXPECT_EQ(rig.dialogs.Messages(),
              std::vector<std::string>{"No device type or device to load. Exiting Sub"});
    EXPECT_TRUE(rig.devices.IsFree(1));
    EXPECT_EQ(rig.devices.TabCount(Tab::Temperature), 0);
}

TEST_F(PrefsFileDevicesTest, OneDigitComboSubIndexStopsLoading) {
    File(
        "[Device Setup]\r\nTotalDevices=3\r\n"
        "[Device Setup\\1]\r\nDeviceType=Vigiltron/T (Temperature)\r\nSubIndex=1\r\n"
        "[Device Setup\\2]\r\nDeviceType=Combo Sensor (Humidity)\r\nSubIndex=2\r\n"
        "[Device Setup\\3]\r\nDeviceType=Combo Sensor (Temperature)\r\nSubIndex=2\r\n");
    EXPECT_FALSE(rig.store.LoadDeviceINI());
    EXPECT_EQ(rig.dialogs.Messages(),
              (std::vector<std::string>{
                  "SubIndex is only one digit. Should be two digits for a Combo Device.",
                  "Device loading has stopped."}));
    EXPECT_TRUE(rig.devices.IsFree(1));
    // The file itself is left for the user to mend.
    EXPECT_EQ(rig.files.Writes(), 0);
}

TEST_F(PrefsFileDevicesTest, ServiceStartWithoutACountReportsAnEmptyList) {
    // Start-up reads the count with "00", which is not "0", so the list is loaded and found
    // empty by the loader itself.
    const std::string count = rig.store.ReadPrefsFileValue("Device Setup", "TotalDevices", "00");
    ASSERT_EQ(count, "00");
    Preferences prefs;
    EXPECT_TRUE(rig.store.LoadConfig(true, count, prefs));
    EXPECT_EQ(rig.dialogs.Messages(), std::vector<std::string>{"TotalDevs = 0"});
}

TEST_F(PrefsFileDevicesTest, SavedRecordsLoadBack) {
    DeviceRecord accel;
    accel.deviceType = "Vigiltron/A (2-Axis Accelerometer)";
    accel.subIndex = "1";
    accel.deviceName = "Server rack with a rather long descriptive name, building 7 floor 3";
    accel.port = 12;
    accel.fileLogging = true;
    accel.startInBump = true;
    accel.calibrateOnConnect = true;
    DeviceRecord humid;
    humid.deviceType = "Combo Sensor (Humidity)";
    humid.subIndex = "12";
    humid.deviceName = "Store";
    humid.port = 4;
    DeviceRecord temp = humid;
    temp.deviceType = "Combo Sensor (Temperature)";
    rig.devices.SetEntry(1, accel);
    rig.devices.SetEntry(2, humid);
    rig.devices.SetEntry(3, temp);
    File("[Logging]\r\n1:00:00 AM:234=cmdConnectAll Error\r\n");

    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(rig.store.SaveDeviceINI(n));
    }
    ASSERT_TRUE(rig.store.WritePrefsFileValue("Device Setup", "TotalDevices", "3"));

    const ProfileFile file = ProfileFile::Parse(rig.PrefsFile());
    EXPECT_EQ(file.Find("Device Setup\\1", "StartInBump"), "1");
    EXPECT_EQ(file.Find("Device Setup\\1", "FileLogging"), "1");
    EXPECT_EQ(file.Find("Device Setup\\3", "DeviceType"), "Combo Sensor (Temperature)");
    EXPECT_FALSE(file.Find("Device Setup\\2", "StartInBump").has_value());
    EXPECT_EQ(file.Find("Logging", "1:00:00 AM:234"), "cmdConnectAll Error");

    rig.devices.ClearEntries();
    ASSERT_TRUE(rig.store.LoadDeviceINI());
    EXPECT_EQ(rig.devices.Entry(1)->deviceName, accel.deviceName);
    EXPECT_EQ(rig.devices.Entry(1)->port, 12);
    EXPECT_TRUE(rig.devices.Entry(1)->startInBump);
    EXPECT_TRUE(rig.devices.Entry(1)->calibrateOnConnect);
    EXPECT_EQ(rig.devices.KindOf(2), DeviceKind::Combined);
    EXPECT_EQ(rig.devices.Entry(3)->subIndex, "12");
    EXPECT_EQ(rig.devices.SetupIndexInSlot(Tab::Humidity, 2), 2);
}

TEST_F(PrefsFileDevicesTest, SaveFailuresAreReported) {
    rig.files.FailWrites(true);
    DeviceRecord t;
    t.deviceType = "Vigiltron/T (Temperature)";
    rig.devices.SetEntry(1, t);
    EXPECT_FALSE(rig.store.SaveDeviceINI(1));
    EXPECT_FALSE(rig.store.SaveDeviceINI(11));
    EXPECT_EQ(rig.dialogs.Messages(),
              (std::vector<std::string>{"SaveDeviceINI error: Disk full",
                                        "SaveDeviceINI error: no setup index 11"}));
}

TEST(LoadConfigTest, ReadsTheCountTheDevicesAndTheProximitySlots) {
    ConfigStoreRig rig;
    Preferences prefs;
    rig.tree.SaveSetting("Program Setup\\Prox2\\", "chkCamUseProx", "1");
    rig.tree.SaveSetting("Program Setup\\Prox2", "cmbProximNumber", "3");

    EXPECT_TRUE(rig.store.LoadConfig(false, "", prefs));
    EXPECT_EQ(rig.dialogs.Messages(), std::vector<std::string>{"No devices to load into setup"});
    EXPECT_TRUE(prefs.prox[2].chkCamUseProx);
    EXPECT_EQ(prefs.prox[2].cmbProximNumber, "3");
    EXPECT_EQ(prefs.prox[1].cmbProximNumber, " ");

    rig.dialogs.Clear();
    rig.tree.SaveSetting("Program Setup", "TotalDevices", "1");
    StoreDevice(rig.tree, 1, "Vigiltron/W (Water)", "1", "Sink", "2");
    // The count given by the caller only matters for the preferences file.
    EXPECT_TRUE(rig.store.LoadConfig(false, "0", prefs));
    EXPECT_TRUE(rig.dialogs.Messages().empty());
    EXPECT_EQ(rig.devices.KindOf(1), DeviceKind::Water);
    EXPECT_EQ(rig.devices.SetupIndexInSlot(Tab::Water, 1), 1);
}

}  // namespace
}  // namespace vigiltron
