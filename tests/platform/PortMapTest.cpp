#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"

namespace vigiltron {
namespace {

TEST(PortMapTest, UnmappedNumbersAreTheOnBoardPortsCountedFromZero) {
    const PortMap map;
    EXPECT_EQ(map.DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(map.DevicePath(12), "/dev/ttyS11");
    EXPECT_EQ(map.DevicePath(256), "/dev/ttyS255");
    // Numbers that cannot name a port resolve to nothing rather than to "/dev/ttyS-1".
    EXPECT_EQ(map.DevicePath(0), "");
    EXPECT_EQ(map.DevicePath(-3), "");
    EXPECT_EQ(map.DevicePath(257), "");
}

TEST(PortMapTest, EntriesOverrideTheDefaultAndCanBeRemoved) {
    PortMap map;
    map.Set(5, "/dev/ttyUSB0");
    map.Set(6, "  /dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0 ");
    map.Set(0, "/dev/ttyUSB9");  // ignored
    EXPECT_EQ(map.DevicePath(5), "/dev/ttyUSB0");
    EXPECT_EQ(map.DevicePath(6), "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    EXPECT_EQ(map.DevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(map.Entries().size(), 2u);

    map.Set(5, "");
    EXPECT_EQ(map.DevicePath(5), "/dev/ttyS4");
    EXPECT_EQ(map.Entries().size(), 1u);
}

TEST(PortMapTest, LoadsThePortMapSection) {
    MemorySettingsTree settings;
    settings.SaveSetting("Port Map", "COM1", "/dev/ttyUSB3");
    settings.SaveSetting("Port Map", "COM5", "/dev/ttyUSB0");
    settings.SaveSetting("Port Map", "COM256", "/dev/ttyACM0");
    settings.SaveSetting("Port Map", "COM7", "   ");
    settings.SaveSetting("Port Map", "COM0", "/dev/ttyUSB7");
    settings.SaveSetting("Port Map", "Other", "/dev/ttyUSB8");
    settings.SaveSetting("Program Setup", "COM2", "/dev/ttyUSB1");

    const PortMap map = PortMap::FromSettings(settings);
    EXPECT_EQ(map.DevicePath(1), "/dev/ttyUSB3");
    EXPECT_EQ(map.DevicePath(5), "/dev/ttyUSB0");
    EXPECT_EQ(map.DevicePath(256), "/dev/ttyACM0");
    EXPECT_EQ(map.DevicePath(7), "/dev/ttyS6");
    EXPECT_EQ(map.DevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(map.Entries().size(), 3u);
}

TEST(PortMapTest, AMapReadFromTheSettingsFollowsThemUntilSetByHand) {
    MemorySettingsTree settings;
    settings.SaveSetting("Port Map", "COM5", "/dev/ttyUSB0");
    const PortMap map = PortMap::FromSettings(settings);
    const PortMap copy = map;  // what each port of the serial factory holds

    // A sensor mapped while the program runs is found by ports made before.
    settings.SaveSetting("Port Map", "COM9", "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    settings.SaveSetting("Port Map", "COM5", " ");
    EXPECT_EQ(copy.DevicePath(9), "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    EXPECT_EQ(copy.DevicePath(5), "/dev/ttyS4");
    EXPECT_EQ(copy.DevicePath(257), "");

    PortMap fixed = map;
    fixed.Set(3, "/dev/ttyACM0");
    settings.SaveSetting("Port Map", "COM3", "/dev/ttyUSB3");
    EXPECT_EQ(fixed.DevicePath(3), "/dev/ttyACM0");
}

}  // namespace
}  // namespace vigiltron
