#include "core/DeviceKind.h"

namespace vigiltron {

int KindCode(DeviceKind kind) {
    return static_cast<int>(kind);
}

DeviceKind KindFromCode(int code) {
    if ((code >= 0 && code <= 10) || code == KindCode(DeviceKind::NotConnected)) {
        return static_cast<DeviceKind>(code);
    }
    return DeviceKind::Empty;
}

DeviceKind KindFromDeviceType(std::string_view deviceType) {
    struct Entry {
        const char* text;
        DeviceKind kind;
    };
    static constexpr Entry kTable[] = {
        {kTypeTemperature, DeviceKind::Temperature},
        {kTypeHumidity, DeviceKind::Humidity},
        {kTypeProximity, DeviceKind::Proximity},
        {kTypeMotionCamera, DeviceKind::MotionCamera},
        {kTypeCamera, DeviceKind::Camera},
        {kTypeWater, DeviceKind::Water},
        {kTypeComboHumidity, DeviceKind::Combined},
        {kTypeComboTemperature, DeviceKind::Combined},
        {kTypeAccelerometer, DeviceKind::Accelerometer},
        {kTypeDistance, DeviceKind::Distance},
        {kTypeCameraV2, DeviceKind::CameraV2},
    };
    for (const Entry& e : kTable) {
        if (deviceType == e.text) {
            return e.kind;
        }
    }
    return DeviceKind::Empty;
}

std::string DeviceTypeText(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Temperature:
            return kTypeTemperature;
        case DeviceKind::Humidity:
            return kTypeHumidity;
        case DeviceKind::Proximity:
            return kTypeProximity;
        case DeviceKind::MotionCamera:
            return kTypeMotionCamera;
        case DeviceKind::Camera:
            return kTypeCamera;
        case DeviceKind::Water:
            return kTypeWater;
        case DeviceKind::Combined:
            return kTypeComboHumidity;
        case DeviceKind::Accelerometer:
            return kTypeAccelerometer;
        case DeviceKind::Distance:
            return kTypeDistance;
        case DeviceKind::CameraV2:
            return kTypeCameraV2;
        case DeviceKind::Empty:
        case DeviceKind::NotConnected:
            break;
    }
    return {};
}

bool IsCamera(DeviceKind kind) {
    return kind == DeviceKind::MotionCamera || kind == DeviceKind::Camera ||
           kind == DeviceKind::CameraV2;
}

std::optional<Tab> TabOfKind(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Temperature:
            return Tab::Temperature;
        case DeviceKind::Humidity:
            return Tab::Humidity;
        case DeviceKind::Proximity:
            return Tab::Proximity;
        case DeviceKind::Water:
            return Tab::Water;
        case DeviceKind::Accelerometer:
            return Tab::Accelerometer;
        case DeviceKind::Distance:
            return Tab::Distance;
        default:
            return std::nullopt;
    }
}

DeviceKind KindOfTab(Tab tab) {
    switch (tab) {
        case Tab::Temperature:
            return DeviceKind::Temperature;
        case Tab::Humidity:
            return DeviceKind::Humidity;
        case Tab::Proximity:
            return DeviceKind::Proximity;
        case Tab::Water:
            return DeviceKind::Water;
        case Tab::Accelerometer:
            return DeviceKind::Accelerometer;
        case Tab::Distance:
            return DeviceKind::Distance;
    }
    return DeviceKind::Empty;
}

std::string TabName(Tab tab) {
    switch (tab) {
        case Tab::Temperature:
            return "Temperature";
        case Tab::Humidity:
            return "Humidity";
        case Tab::Proximity:
            return "Proximity";
        case Tab::Water:
            return "Water";
        case Tab::Accelerometer:
            return "Accelerometer";
        case Tab::Distance:
            return "Distance";
    }
    return {};
}

std::string EmptyTabNotice(Tab tab) {
    switch (tab) {
        case Tab::Temperature:
            return "No temperature sensing devices present.";
        case Tab::Humidity:
            return "No humidity sensing devices present.";
        case Tab::Proximity:
            return "No proximity sensing devices present.";
        case Tab::Accelerometer:
            return "No acceleration devices present.";
        case Tab::Distance:
            return "No distance sensors present.";
        case Tab::Water:
            break;
    }
    return {};
}

std::string FullTabMessage(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Temperature:
            return "There are no more available slots on the Temperature tab for this sensor.";
        case DeviceKind::Humidity:
            return "There are no more available slots on the Humidity tab for this sensor.";
        case DeviceKind::Proximity:
            return "There are no more available slots on the Proximity tab for this sensor.";
        case DeviceKind::Water:
            return "There are no more available slots on the Water tab for this sensor.";
        case DeviceKind::Accelerometer:
            return "There are no more available slots on the Accelerometer tab for this sensor.";
        case DeviceKind::Distance:
            return "There are no more available slots on the Distance tab for this sensor.";
        case DeviceKind::Combined:
            return "There are no more available slots on the tab for this sensor.";
        default:
            return {};
    }
}

const char* AlertNameOfKind(int code) {
    switch (code) {
        case 1:
            return "Temperature Alert";
        case 2:
            return "Humidity Alert";
        case 3:
            return "Proximity Alert";
        case 6:
            return "Water Alert";
        case 8:
            return "Accerometer Alert";
        case 9:
            return "Distance Alert";
        default:
            return nullptr;
    }
}

}  // namespace vigiltron
