#include "core/DeviceModel.h"

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

class DeviceModelTest : public ::testing::Test {
protected:
    // Places a device the way the add window does: first free index, free slot, record(s),
    // then the slot. Answers the setup index, 11 when no index was free, 0 when no slot was.
    int Add(const std::string& type, int camDriver = 0) {
        const bool combo = type == "Vigiltron Combo Sensor (Temp. & Humidity)";
        const int n = model.FindFirstAvailable(combo);
        if (n == 11) {
            return n;
        }
        const DeviceKind kind = combo ? DeviceKind::Combined : KindFromDeviceType(type);
        const std::string sub = model.FindFreeSlot(kind);
        if (sub == "5" || sub.empty()) {
            return 0;
        }
        DeviceRecord r;
        r.deviceType = combo ? "Combo Sensor (Humidity)" : type;
        r.kind = kind;
        r.subIndex = sub;
        r.deviceName = "Device " + std::to_string(n);
        r.camDriverIndex = camDriver;
        EXPECT_TRUE(model.SetEntry(n, r));
        if (combo) {
            r.deviceType = "Combo Sensor (Temperature)";
            EXPECT_TRUE(model.SetEntry(n + 1, r));
        }
        EXPECT_TRUE(model.TakeSlot(n));
        return n;
    }

    // Fills an entry as the configuration loader does, before the kinds are rebuilt.
    void Load(int n, const std::string& type, const std::string& subIndex = "1") {
        DeviceRecord r;
        r.deviceType = type;
        r.subIndex = subIndex;
        ASSERT_TRUE(model.SetEntry(n, r));
    }

    int Kind(int n) const { return KindCode(model.KindOf(n)); }

    MemorySettingsTree settings;
    ScriptedDialogs dialogs;
    DeviceModel model{dialogs, settings};
};

TEST_F(DeviceModelTest, TenEntriesInUseLeaveNoFreeIndex) {
    const char* types[] = {"Vigiltron/T (Temperature)", "Vigiltron/H (Humidity)",
                           "Vigiltron/W (Water)", "Vigiltron/P (Proximity)",
                           "Vigiltron/D (Distance)"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Add(types[i % 5]), i + 1);
    }
    EXPECT_EQ(model.FindFirstAvailable(false), 11);
    EXPECT_EQ(model.FindFirstAvailable(true), 11);
    EXPECT_TRUE(dialogs.Messages().empty());

    // A gap left by a deletion is filled first; nothing is renumbered.
    ASSERT_TRUE(model.DeleteEntry(2));
    EXPECT_TRUE(model.IsFree(2));
    EXPECT_EQ(model.Entry(3)->deviceName, "Device 3");
    EXPECT_EQ(model.FindFirstAvailable(false), 2);
}

TEST_F(DeviceModelTest, GapAfterDeletingTheSecondOfThree) {
    Load(1, "Vigiltron/T (Temperature)", "1");
    Load(2, "Vigiltron/T (Temperature)", "2");
    Load(3, "Vigiltron/T (Temperature)", "3");
    model.CreateSetupArray();
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(model.TakeSlot(n));
    }
    ASSERT_TRUE(model.DeleteEntry(2));
    EXPECT_EQ(Add("Vigiltron/H (Humidity)"), 2);
    EXPECT_EQ(model.SlotOf(2), 1);
    // The deleted sensor's Temperature slot is the one offered next.
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Temperature), "2");
}

TEST_F(DeviceModelTest, CombinedSensorNeedsTwoConsecutiveFreeEntries) {
    for (int n = 1; n <= 8; ++n) {
        Load(n, "Vigiltron/W (Water)");
    }
    model.CreateSetupArray();
    EXPECT_EQ(Add("Vigiltron Combo Sensor (Temp. & Humidity)"), 9);
    model.CreateSetupArray();
    EXPECT_EQ(Kind(9), 7);
    EXPECT_EQ(Kind(10), 7);
    EXPECT_TRUE(dialogs.Messages().empty());

    // With only index 10 free the combined sensor is refused: nothing may land on an 11th entry.
    ASSERT_TRUE(model.DeleteEntry(9));
    Load(9, "Vigiltron/W (Water)");
    model.CreateSetupArray();
    EXPECT_EQ(model.FindFirstAvailable(true), 11);
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"There must be two consecutive slots open to add this "
                                       "sensor."});
    EXPECT_EQ(model.FindFirstAvailable(false), 10);

    // A lone free index between used ones is skipped for a combo.
    ASSERT_TRUE(model.DeleteEntry(4));
    EXPECT_EQ(model.FindFirstAvailable(false), 4);
    dialogs.Clear();
    ASSERT_TRUE(model.DeleteEntry(6));
    EXPECT_EQ(model.FindFirstAvailable(true), 11);  // 4 and 6 are single gaps, 10 is last
    ASSERT_TRUE(model.DeleteEntry(5));
    EXPECT_EQ(model.FindFirstAvailable(true), 4);
}

TEST_F(DeviceModelTest, CreateSetupArrayRebuildsKindsFromTypeTexts) {
    Load(1, "Vigiltron/V with Motion Det");
    Load(2, "Combo Sensor (Humidity)", "11");
    Load(3, "Combo Sensor (Temperature)", "11");
    Load(4, "Vigiltron/W (Water)");
    Load(5, "Combo Sensor (Temperature)", "22");  // no lead before it: stays 0
    Load(6, "Vigiltron/D (Distance)");
    Load(7, "Vigiltron/V (Video)");
    Load(8, "Something else");
    Load(9, "Vigiltron/V2 (Single camera only)");
    Load(10, "Combo Sensor (Humidity)", "33");       // a lead with no room for its other half
    model.Entry(8)->kind = DeviceKind::Temperature;  // stale kinds are rebuilt as well
    model.CreateSetupArray();

    const int expected[] = {0, 0, 7, 7, 6, 0, 9, 5, 0, 10, 7};
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(Kind(n), expected[n]) << n;
    }
    EXPECT_EQ(Kind(11), 0);
    EXPECT_TRUE(dialogs.Messages().empty());

    // The camera with motion detection keeps kind 0 yet its record is not overwritten.
    EXPECT_FALSE(model.IsFree(1));
    EXPECT_EQ(model.FindFirstAvailable(false), 11);
}

TEST_F(DeviceModelTest, FullTabsRefuseWithTheirMessage) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Add("Vigiltron/T (Temperature)"), i + 1);
    }
    EXPECT_EQ(model.TabCount(Tab::Temperature), 4);
    EXPECT_TRUE(dialogs.Messages().empty());

    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Temperature), "5");
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Combined), "5");
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{
                  "There are no more available slots on the Temperature tab for this sensor.",
                  "There are no more available slots on the tab for this sensor."}));

    // Other tabs are unaffected.
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Humidity), "1");
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Distance), "1");
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Empty), "0");
}

TEST_F(DeviceModelTest, CombinedSensorUsesOneSlotOnEachOfTwoTabs) {
    ASSERT_EQ(Add("Vigiltron/H (Humidity)"), 1);
    ASSERT_EQ(Add("Vigiltron Combo Sensor (Temp. & Humidity)"), 2);
    model.CreateSetupArray();

    // First digit Temperature, second Humidity.
    EXPECT_EQ(model.Entry(2)->subIndex, "12");
    EXPECT_EQ(model.Entry(3)->subIndex, "12");
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Humidity, 2), 2);
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Temperature, 1), 3);
    EXPECT_EQ(model.SlotOf(2), 2);  // the lead shows the humidity
    EXPECT_EQ(model.SlotOf(3), 1);  // its other half the temperature
    EXPECT_EQ(model.SlotOf(2, Tab::Temperature), 1);
    EXPECT_EQ(model.LeadIndexOf(3), 2);
    EXPECT_EQ(model.LeadIndexOf(2), 2);
    EXPECT_EQ(model.ComboPartnerOf(2), 3);
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Combined), "23");

    // Showing a loaded device again counts it once.
    EXPECT_TRUE(model.TakeSlot(3));
    EXPECT_EQ(model.TabCount(Tab::Temperature), 1);
    EXPECT_EQ(model.TabCount(Tab::Humidity), 2);

    // Deleting from either half releases both halves and both tab slots.
    ASSERT_TRUE(model.DeleteEntry(3));
    EXPECT_TRUE(model.IsFree(2));
    EXPECT_TRUE(model.IsFree(3));
    EXPECT_TRUE(model.IsTabEmpty(Tab::Temperature));
    EXPECT_FALSE(model.IsSlotTaken(Tab::Humidity, 2));
    EXPECT_EQ(model.TabCount(Tab::Humidity), 1);
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Humidity, 1), 1);
}

TEST_F(DeviceModelTest, SlotsAreNeverSharedOrFreedByAnotherEntry) {
    Load(1, "Vigiltron/P (Proximity)", "2");
    Load(2, "Vigiltron/P (Proximity)", "2");  // a broken record claiming the same slot
    Load(3, "Vigiltron/P (Proximity)", "7");  // out of range
    Load(4, "Combo Sensor (Humidity)", "1");  // one digit: broken
    Load(5, "Combo Sensor (Temperature)", "1");
    model.CreateSetupArray();
    EXPECT_TRUE(model.TakeSlot(1));
    EXPECT_FALSE(model.TakeSlot(2));
    EXPECT_FALSE(model.TakeSlot(3));
    EXPECT_FALSE(model.TakeSlot(4));
    EXPECT_EQ(model.TabCount(Tab::Proximity), 1);
    EXPECT_TRUE(model.IsTabEmpty(Tab::Temperature));

    // Deleting the broken record leaves the real owner's slot alone.
    ASSERT_TRUE(model.DeleteEntry(2));
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Proximity, 2), 1);
    EXPECT_EQ(model.TabCount(Tab::Proximity), 1);
    ASSERT_TRUE(model.DeleteEntry(1));
    EXPECT_TRUE(model.IsTabEmpty(Tab::Proximity));
    EXPECT_FALSE(model.DeleteEntry(1));  // already empty
}

TEST_F(DeviceModelTest, CameraTableUses99ForFreeNumbers) {
    settings.SaveSetting("Program Setup", "TotalCameras", "2");
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Camera), "1");
    EXPECT_EQ(model.CameraDriver(1), 99);
    EXPECT_FALSE(model.AnyCameraConfigured());

    ASSERT_EQ(Add("Vigiltron/V (Video)", 3), 1);
    EXPECT_EQ(model.CameraDriver(1), 3);
    EXPECT_TRUE(model.AnyCameraConfigured());
    // A camera with no driver reads 99 in the table but still holds its number.
    ASSERT_EQ(Add("Vigiltron/V2 (Single camera only)", 99), 2);
    EXPECT_EQ(model.CameraDriver(2), 99);
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::CameraV2), "3");
    ASSERT_EQ(Add("Vigiltron/V with Motion Det", 0), 3);
    ASSERT_EQ(Add("Vigiltron/V (Video)", 1), 4);
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::MotionCamera), "");
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(model.CameraEntry(3), 3);  // a "with Motion Det" entry holds its number too

    // Deleting a camera frees its number and lowers the stored camera count, never below 0.
    ASSERT_TRUE(model.DeleteEntry(1));
    EXPECT_EQ(model.CameraDriver(1), 99);
    EXPECT_EQ(model.CameraEntry(1), 0);
    EXPECT_EQ(settings.GetSetting("Program Setup\\", "TotalCameras"), "1");
    EXPECT_EQ(model.FindFreeSlot(DeviceKind::Camera), "1");
    ASSERT_TRUE(model.DeleteEntry(3));
    ASSERT_TRUE(model.DeleteEntry(4));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "0");

    // Out-of-range camera numbers read as free and are never written.
    model.SetCameraDriver(0, 5);
    model.SetCameraDriver(5, 5);
    EXPECT_EQ(model.CameraDriver(0), 99);
    EXPECT_EQ(model.CameraDriver(5), 99);
    model.ClearDeviceTables();
    EXPECT_EQ(model.CameraDriver(2), 99);
}

TEST_F(DeviceModelTest, ListSubIndexesIncludesDistanceSensors) {
    Load(1, "Vigiltron/T (Temperature)", "4");
    Load(2, "Vigiltron/P (Proximity)", "1");
    Load(4, "Vigiltron/D (Distance)", " 2");
    Load(6, "Vigiltron/W (Water)", "3");
    Load(7, "Vigiltron/P (Proximity)", "3");
    model.CreateSetupArray();
    EXPECT_EQ(model.ListSubIndexes(DeviceKind::Proximity), "123");
    EXPECT_EQ(model.ListSubIndexes(DeviceKind::Water), "23");
    EXPECT_EQ(model.ListSubIndexes(DeviceKind::Distance), "2");
    model.MarkConnectFailed(7);  // still a proximity sensor, only not connected
    EXPECT_EQ(model.ListSubIndexes(DeviceKind::Proximity), "123");
}

TEST_F(DeviceModelTest, DeletingTheLastDeviceAtIndexOneZeroesTheStoredCount) {
    settings.SaveSetting("Program Setup", "TotalDevices", "3");
    ASSERT_EQ(Add("Vigiltron/A (2-Axis Accelerometer)"), 1);
    ASSERT_EQ(Add("Vigiltron/D (Distance)"), 2);
    EXPECT_TRUE(model.AnyDeviceAfterFirst());

    ASSERT_TRUE(model.DeleteEntry(1));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "3");  // entry 2 remains
    ASSERT_EQ(Add("Vigiltron/A (2-Axis Accelerometer)"), 1);
    ASSERT_TRUE(model.DeleteEntry(2));
    EXPECT_FALSE(model.AnyDeviceAfterFirst());
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "3");  // not entry 1
    ASSERT_TRUE(model.DeleteEntry(1));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "0");

    // A combined sensor at 1..2 is gone as a whole, so nothing remains after it either.
    settings.SaveSetting("Program Setup", "TotalDevices", "2");
    ASSERT_EQ(Add("Vigiltron Combo Sensor (Temp. & Humidity)"), 1);
    ASSERT_TRUE(model.DeleteEntry(1));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "0");
}

TEST_F(DeviceModelTest, DeleteStoredDeviceRemovesOneRecordOrTheWholeList) {
    for (int n = 1; n <= 3; ++n) {
        settings.SaveSetting("PortConfig\\Devices\\" + std::to_string(n) + "\\", "DeviceType",
                             "Vigiltron/T (Temperature)");
    }
    settings.SaveSetting("Program Setup", "TotalDevices", "3");

    model.DeleteStoredDevice(2);
    EXPECT_FALSE(settings.HasSection("PortConfig\\Devices\\2"));
    EXPECT_TRUE(settings.HasSection("PortConfig\\Devices\\1"));
    EXPECT_TRUE(settings.HasSection("PortConfig\\Devices\\3"));

    model.DeleteStoredDevice(0);
    EXPECT_FALSE(settings.HasSection("PortConfig\\Devices\\1"));
    EXPECT_FALSE(settings.HasSection("PortConfig\\Devices\\3"));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "3");
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(DeviceModelTest, ConnectionStateFollowsBothHalvesOfACombinedSensor) {
    ASSERT_EQ(Add("Vigiltron Combo Sensor (Temp. & Humidity)"), 1);
    ASSERT_EQ(Add("Vigiltron/A (2-Axis Accelerometer)"), 3);
    model.CreateSetupArray();

    model.MarkConnected(1);
    EXPECT_EQ(model.Entry(1)->connectedKind, DeviceKind::Combined);
    EXPECT_EQ(model.Entry(2)->connectedKind, DeviceKind::Combined);
    model.MarkDisconnected(1);
    EXPECT_FALSE(model.Entry(1)->IsConnected());
    EXPECT_FALSE(model.Entry(2)->IsConnected());

    // A failed connect marks the entry configured-but-not-connected; its slot and index stay.
    model.MarkConnectFailed(3);
    EXPECT_EQ(Kind(3), 99);
    EXPECT_EQ(model.EffectiveKind(3), DeviceKind::Accelerometer);
    EXPECT_EQ(model.SlotOf(3), 1);
    EXPECT_EQ(model.FindFirstAvailable(false), 4);
    model.MarkConnected(3);
    EXPECT_EQ(Kind(3), 8);
    model.MarkConnectFailed(3);
    model.CreateSetupArray();
    EXPECT_EQ(Kind(3), 8);

    // Runtime state is cleared by ClearDeviceTables; the records are not.
    model.MarkConnected(3);
    model.Entry(3)->bumpMode = true;
    model.ClearDeviceTables();
    EXPECT_FALSE(model.Entry(3)->IsConnected());
    EXPECT_FALSE(model.Entry(3)->bumpMode);
    EXPECT_TRUE(model.IsTabEmpty(Tab::Accelerometer));
    EXPECT_TRUE(model.IsTabEmpty(Tab::Humidity));
    EXPECT_EQ(Kind(3), 8);
    EXPECT_TRUE(model.TakeSlot(3));  // loading shows it again
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Accelerometer, 1), 3);
}

TEST_F(DeviceModelTest, IndexesOutsideOneToTenAreIgnored) {
    for (int n : {-1, 0, 11, 1000}) {
        EXPECT_EQ(model.Entry(n), nullptr) << n;
        EXPECT_FALSE(model.SetEntry(n, DeviceRecord{})) << n;
        EXPECT_FALSE(model.TakeSlot(n)) << n;
        EXPECT_FALSE(model.ReleaseSlot(n)) << n;
        EXPECT_FALSE(model.DeleteEntry(n)) << n;
        EXPECT_FALSE(model.IsFree(n)) << n;
        EXPECT_EQ(model.SlotOf(n), 0) << n;
        model.MarkConnected(n);
        model.MarkConnectFailed(n);
        model.MarkDisconnected(n);
    }
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Water, 0), 0);
    EXPECT_EQ(model.SetupIndexInSlot(Tab::Water, 5), 0);
    EXPECT_FALSE(model.IsSlotTaken(Tab::Water, 5));
    EXPECT_EQ(model.FindFirstAvailable(false), 1);
}

}  // namespace
}  // namespace vigiltron
