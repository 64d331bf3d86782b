#include "core/SensorKinds.h"

#include <array>

namespace vigiltron {

namespace {

// A humidity sensor answers "Vigiltron/H", and so does a combined one; a temperature sensor
// answers "Vigiltron/T" (which the polled kinds judge on their own: see the connection steps).
const std::array<SensorKindInfo, 7> kKinds = {{
    {DeviceKind::Temperature, {"Vigiltron/T", "Vigiltron/H"}},
    {DeviceKind::Humidity, {"Vigiltron/T", "Vigiltron/H"}},
    {DeviceKind::Combined, {"Vigiltron/T", "Vigiltron/H"}},
    {DeviceKind::Proximity,
     {"Vigiltron/P", nullptr},
     "19200,o,8,1",
     PortGroup::Proximity,
     false,
     "Device is not a Vigiltron/P (Proximity Sensor)",
     MessageIcon::None,
     "Proximity sensor not responding to ID query."},
    {DeviceKind::Water,
     {"Vigiltron/W", nullptr},
     "19200,o,8,1",
     PortGroup::Water,
     false,
     nullptr,
     MessageIcon::Information,
     "Water sensor not responding to ID query."},
    {DeviceKind::Accelerometer,
     {"Vigiltron/A", nullptr},
     "19200,o,8,1",
     PortGroup::Accelerometer,
     true,
     "Device is not a Vigiltron/A (Accelerometer Sensor)",
     MessageIcon::None,
     "Sensor not responding to ID query."},
    // Early distance sensors identify themselves as proximity sensors.
    {DeviceKind::Distance,
     {"Vigiltron/D", "Vigiltron/P"},
     "9600,o,8,1",
     PortGroup::Distance,
     true,
     "Device is not a Vigiltron/D (Distance Sensor)",
     MessageIcon::None,
     "Sensor not responding to ID query."},
}};

}  // namespace

const SensorKindInfo* SensorKindOf(DeviceKind kind) {
    for (const SensorKindInfo& info : kKinds) {
        if (info.kind == kind) {
            return &info;
        }
    }
    return nullptr;
}

bool IsPolledKind(DeviceKind kind) {
    return kind == DeviceKind::Temperature || kind == DeviceKind::Humidity ||
           kind == DeviceKind::Combined;
}

}  // namespace vigiltron
