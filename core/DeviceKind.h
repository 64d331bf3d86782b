#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vigiltron {

// The kind code of a setup entry. The numeric values are shared with the per-kind alert switches
// ("chkEmailAlert1", ...) and with code elsewhere that stores kinds as numbers, so never renumber.
enum class DeviceKind : int {
    Empty = 0,
    Temperature = 1,
    Humidity = 2,
    Proximity = 3,
    MotionCamera = 4,  // accepted as a camera text only; the setup array never holds it
    Camera = 5,
    Water = 6,
    Combined = 7,
    Accelerometer = 8,
    Distance = 9,
    CameraV2 = 10,
    // Set by a failed connection: configured, but not connected, until the setup array is rebuilt.
    NotConnected = 99,
};

// The sensor tabs, each with four display slots.
enum class Tab { Temperature, Humidity, Proximity, Water, Accelerometer, Distance };
inline constexpr int kTabCount = 6;
inline constexpr Tab kAllTabs[kTabCount] = {Tab::Temperature, Tab::Humidity,      Tab::Proximity,
                                            Tab::Water,       Tab::Accelerometer, Tab::Distance};

// Device type texts, as stored in a device record and shown to the user.
inline constexpr const char* kTypeTemperature = "Vigiltron/T (Temperature)";
inline constexpr const char* kTypeHumidity = "Vigiltron/H (Humidity)";
inline constexpr const char* kTypeProximity = "Vigiltron/P (Proximity)";
inline constexpr const char* kTypeMotionCamera = "Vigiltron/V with Motion Det";
inline constexpr const char* kTypeCamera = "Vigiltron/V (Video)";
inline constexpr const char* kTypeWater = "Vigiltron/W (Water)";
inline constexpr const char* kTypeComboHumidity = "Combo Sensor (Humidity)";  // lead half, at n
inline constexpr const char* kTypeComboTemperature = "Combo Sensor (Temperature)";  // at n + 1
inline constexpr const char* kTypeAccelerometer = "Vigiltron/A (2-Axis Accelerometer)";
inline constexpr const char* kTypeDistance = "Vigiltron/D (Distance)";
inline constexpr const char* kTypeCameraV2 = "Vigiltron/V2 (Single camera only)";
// What the add window offers for a combined sensor; never stored as an entry's type.
inline constexpr const char* kTypeComboOffered = "Vigiltron Combo Sensor (Temp. & Humidity)";

// The notice shown on the Video tab while no camera is present.
inline constexpr const char* kNoCamerasNotice = "No Vigiltron/V cameras present.";

int KindCode(DeviceKind kind);
// The kind of a numeric code; any code outside 0..10 and 99 gives Empty.
DeviceKind KindFromCode(int code);

// The kind of a device type text as connecting judges it: every known text, both combo halves
// giving Combined and "Vigiltron/V with Motion Det" giving MotionCamera. Unknown texts give Empty.
DeviceKind KindFromDeviceType(std::string_view deviceType);

// The stored type text of a kind; Combined gives the lead half's text. Empty for kinds with none.
std::string DeviceTypeText(DeviceKind kind);

bool IsCamera(DeviceKind kind);

// The single tab a kind is shown on. Combined sensors use two (Temperature and Humidity) and
// cameras and empty entries none: those give nothing.
std::optional<Tab> TabOfKind(DeviceKind kind);
// The kind whose devices fill a tab.
DeviceKind KindOfTab(Tab tab);

// "Temperature", "Humidity", ... as the tab's caption words.
std::string TabName(Tab tab);

// The notice an empty tab shows. The Water tab has no notice of its own: empty text.
std::string EmptyTabNotice(Tab tab);

// The message shown when a new device of this kind finds its tab(s) full; empty for kinds without
// a slot table.
std::string FullTabMessage(DeviceKind kind);

// The alert an alarm mail or page of this kind code names ("Temperature Alert", ...); null for
// kinds whose alarms carry no such name.
const char* AlertNameOfKind(int code);

}  // namespace vigiltron
