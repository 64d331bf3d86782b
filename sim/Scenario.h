#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/EventLoop.h"
#include "core/SerialPort.h"
#include "sim/SimulatedModem.h"
#include "sim/SimulatedSensor.h"
#include "sim/SyntheticCamera.h"

namespace vigiltron {

// One thing a scenario sets on a sensor: a value, a behaviour or an action.
struct SensorSetting {
    enum class Property {
        Temperature,  // number, Fahrenheit
        Humidity,     // number, percent
        X,            // number, g
        Y,            // number, g
        Distance,     // number, cm
        NoObject,
        Present,  // flag
        Wet,      // flag
        Behaviour,
        ReplyDelay,      // duration
        StreamInterval,  // duration
        CharacterGap,    // duration
        RejectCommands,  // flag
        Unplugged,       // flag
        Bump,
        Fault,
    };
    Property property = Property::Temperature;
    double number = 0.0;
    bool flag = false;
    SensorBehaviour behaviour = SensorBehaviour::Normal;
    Milliseconds duration{0};
    CommEvent fault = CommEvent::Framing;

    friend bool operator==(const SensorSetting&, const SensorSetting&) = default;
};

// Applies one setting to a sensor (unplugging and plugging included).
void ApplySetting(SimulatedSensor& sensor, const SensorSetting& setting);

struct ScenarioSensor {
    int comNumber = 0;
    SensorKind kind = SensorKind::Temperature;
    std::vector<SensorSetting> settings;  // applied before the sensor is attached
    int line = 0;
};

// One thing a scenario sets on a modem: what it answers and how fast.
struct ModemSetting {
    enum class Property {
        Answer,        // the dial's result code
        DialDelay,     // duration
        DigitsAnswer,  // the page digits' result code
        Echo,          // flag
    };
    Property property = Property::Answer;
    ModemAnswer answer = ModemAnswer::Ok;
    Milliseconds duration{0};
    bool flag = false;

    friend bool operator==(const ModemSetting&, const ModemSetting&) = default;
};

void ApplyModemSetting(SimulatedModem& modem, const ModemSetting& setting);

struct ScenarioModem {
    int comNumber = 0;
    std::vector<ModemSetting> settings;  // applied before the modem is attached
    int line = 0;
};

// A synthetic camera attached as camera `number` (1..4).
struct ScenarioCamera {
    int number = 0;
    SyntheticCameraOptions options;
    int line = 0;
};

// Settings applied to the sensor on `comNumber` at `at` (from the start), and then every
// `every` (when non-zero) until `until` (when given), inclusive.
struct ScenarioStep {
    Milliseconds at{0};
    int comNumber = 0;
    std::vector<SensorSetting> settings;
    Milliseconds every{0};
    std::optional<Milliseconds> until;
    int line = 0;
};

struct Scenario {
    std::vector<ScenarioSensor> sensors;
    std::vector<ScenarioModem> modems;
    std::vector<ScenarioCamera> cameras;
    std::vector<ScenarioStep> steps;  // in file order; ramps are expanded into steps
};

// Either a whole, valid scenario or the first error as "FILE:LINE: what is wrong".
struct ScenarioParseResult {
    std::optional<Scenario> scenario;
    std::string error;
    bool Ok() const { return scenario.has_value(); }
};

// Parses a scenario text (format: docs/scenario-format.md). `fileName` only labels errors.
ScenarioParseResult ParseScenario(std::string_view text, std::string_view fileName);
// Reads and parses a scenario file; an unreadable file is an error "FILE: cannot read the file".
ScenarioParseResult LoadScenarioFile(const std::string& path);

// Parses a duration such as "0", "500ms", "90s", "10m", "1h30m", "2d". Nothing when malformed.
std::optional<Milliseconds> ParseScenarioDuration(std::string_view text);

}  // namespace vigiltron
