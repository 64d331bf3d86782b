#include "core/DeviceKind.h"

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

TEST(DeviceKindTest, TypeTextsMapToTheirCodesExactly) {
    const std::pair<const char*, int> cases[] = {
        {"Vigiltron/T (Temperature)", 1},
        {"Vigiltron/H (Humidity)", 2},
        {"Vigiltron/P (Proximity)", 3},
        {"Vigiltron/V with Motion Det", 4},
        {"Vigiltron/V (Video)", 5},
        {"Vigiltron/W (Water)", 6},
        {"Combo Sensor (Humidity)", 7},
        {"Combo Sensor (Temperature)", 7},
        {"Vigiltron/A (2-Axis Accelerometer)", 8},
        {"Vigiltron/D (Distance)", 9},
        {"Vigiltron/V2 (Single camera only)", 10},
        // Never stored, and comparisons are exact and case-sensitive.
        {"Vigiltron Combo Sensor (Temp. & Humidity)", 0},
        {"vigiltron/t (temperature)", 0},
        {"Vigiltron/T (Temperature) ", 0},
        {"", 0},
    };
    for (const auto& [text, code] : cases) {
        EXPECT_EQ(KindCode(KindFromDeviceType(text)), code) << text;
    }
    // The stored text of every kind reads back as that kind.
    for (int code = 1; code <= 10; ++code) {
        const DeviceKind kind = KindFromCode(code);
        EXPECT_EQ(KindFromDeviceType(DeviceTypeText(kind)), kind) << code;
    }
    EXPECT_EQ(DeviceTypeText(DeviceKind::Combined), "Combo Sensor (Humidity)");
    EXPECT_EQ(KindFromCode(42), DeviceKind::Empty);
    EXPECT_EQ(KindFromCode(99), DeviceKind::NotConnected);
}

TEST(DeviceKindTest, CamerasAndTabs) {
    for (int code = 0; code <= 10; ++code) {
        EXPECT_EQ(IsCamera(KindFromCode(code)), code == 4 || code == 5 || code == 10) << code;
    }
    EXPECT_EQ(TabOfKind(DeviceKind::Temperature), Tab::Temperature);
    EXPECT_EQ(TabOfKind(DeviceKind::Humidity), Tab::Humidity);
    EXPECT_EQ(TabOfKind(DeviceKind::Proximity), Tab::Proximity);
    EXPECT_EQ(TabOfKind(DeviceKind::Water), Tab::Water);
    EXPECT_EQ(TabOfKind(DeviceKind::Accelerometer), Tab::Accelerometer);
    EXPECT_EQ(TabOfKind(DeviceKind::Distance), Tab::Distance);
    EXPECT_FALSE(TabOfKind(DeviceKind::Combined));
    EXPECT_FALSE(TabOfKind(DeviceKind::Camera));
    EXPECT_FALSE(TabOfKind(DeviceKind::Empty));
    for (Tab tab : kAllTabs) {
        EXPECT_EQ(TabOfKind(KindOfTab(tab)), tab);
    }
}

TEST(DeviceKindTest, UserTexts) {
    EXPECT_EQ(EmptyTabNotice(Tab::Temperature), "No temperature sensing devices present.");
    EXPECT_EQ(EmptyTabNotice(Tab::Humidity), "No humidity sensing devices present.");
    EXPECT_EQ(EmptyTabNotice(Tab::Proximity), "No proximity sensing devices present.");
    EXPECT_EQ(EmptyTabNotice(Tab::Accelerometer), "No acceleration devices present.");
    EXPECT_EQ(EmptyTabNotice(Tab::Distance), "No distance sensors present.");
    EXPECT_EQ(EmptyTabNotice(Tab::Water), "");

    EXPECT_EQ(FullTabMessage(DeviceKind::Temperature),
              "There are no more available slots on the Temperature tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Humidity),
              "There are no more available slots on the Humidity tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Proximity),
              "There are no more available slots on the Proximity tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Water),
              "There are no more available slots on the Water tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Accelerometer),
              "There are no more available slots on the Accelerometer tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Distance),
              "There are no more available slots on the Distance tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Combined),
              "There are no more available slots on the tab for this sensor.");
    EXPECT_EQ(FullTabMessage(DeviceKind::Camera), "");
}

}  // namespace
}  // namespace vigiltron
