#pragma once

#include "core/DeviceKind.h"
#include "core/Dialogs.h"

namespace vigiltron {

// The serial port groups of an entry; an entry uses the one of its kind.
enum class PortGroup { Polled, Water, Proximity, Accelerometer, Distance };
inline constexpr int kPortGroups = 5;

// How each sensor kind is connected: the texts its identification reply must hold, its port,
// and what the user is told when another device or nothing answers. One row per kind instead
// of a switch per step.
struct SensorKindInfo {
    DeviceKind kind = DeviceKind::Empty;
    // The reply must contain one of these; empty entries are unused.
    const char* accepted[2] = {nullptr, nullptr};
    const char* portSettings = "9600,n,8,1";
    PortGroup group = PortGroup::Polled;
    // Streaming kinds get a receive event per byte and send their identification query one
    // character at a time.
    bool streaming = false;
    // Another device answered: a refusal naming the kind, followed by "Device string returned:
    // ..."; null: "Device appears to be a ..." with `otherDeviceIcon`.
    const char* refusal = nullptr;
    MessageIcon otherDeviceIcon = MessageIcon::None;
    // Nothing answered.
    const char* silence = "Device not responding to ID query.";
};

// The row of a sensor kind; null for kinds that are not serial sensors (cameras, empty).
const SensorKindInfo* SensorKindOf(DeviceKind kind);

// Temperature, humidity and combined sensors are read on a timer; the others report by
// themselves.
bool IsPolledKind(DeviceKind kind);

}  // namespace vigiltron
