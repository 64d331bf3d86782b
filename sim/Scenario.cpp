#include "sim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <variant>

namespace vigiltron {

void ApplySetting(SimulatedSensor& sensor, const SensorSetting& setting) {
    using P = SensorSetting::Property;
    switch (setting.property) {
        case P::Temperature:
            sensor.SetTemperatureF(setting.number);
            break;
        case P::Humidity:
            sensor.SetHumidity(setting.number);
            break;
        case P::X:
            sensor.SetX(setting.number);
            break;
        case P::Y:
            sensor.SetY(setting.number);
            break;
        case P::Distance:
            sensor.SetDistance(setting.number);
            break;
        case P::NoObject:
            sensor.SetDistance(std::nullopt);
            break;
        case P::Present:
            sensor.SetPresent(setting.flag);
            break;
        case P::Wet:
            sensor.SetWet(setting.flag);
            break;
        case P::Behaviour:
            sensor.SetBehaviour(setting.behaviour);
            break;
        case P::ReplyDelay:
            sensor.SetReplyDelay(setting.duration);
            break;
        case P::StreamInterval:
            sensor.SetStreamInterval(setting.duration);
            break;
        case P::CharacterGap:
            sensor.SetCharacterGap(setting.duration);
            break;
        case P::RejectCommands:
            sensor.SetRejectCommands(setting.flag);
            break;
        case P::Unplugged:
            sensor.SetUnplugged(setting.flag);
            break;
        case P::Bump:
            sensor.Bump();
            break;
        case P::Fault:
            sensor.InjectEvent(setting.fault);
            break;
    }
}

void ApplyModemSetting(SimulatedModem& modem, const ModemSetting& setting) {
    using P = ModemSetting::Property;
    switch (setting.property) {
        case P::Answer:
            modem.SetAnswer(setting.answer);
            break;
        case P::DialDelay:
            modem.SetDialDelay(setting.duration);
            break;
        case P::DigitsAnswer:
            modem.SetDigitsAnswer(setting.answer);
            break;
        case P::Echo:
            modem.SetEcho(setting.flag);
            break;
    }
}

std::optional<Milliseconds> ParseScenarioDuration(std::string_view text) {
    if (text == "0") {
        return Milliseconds(0);
    }
    long long total = 0;
    std::size_t pos = 0;
    if (text.empty()) {
        return std::nullopt;
    }
    while (pos < text.size()) {
        long long amount = 0;
        const auto* begin = text.data() + pos;
        const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), amount);
        if (ec != std::errc() || end == begin || amount < 0 || amount > 100'000'000) {
            return std::nullopt;
        }
        pos = static_cast<std::size_t>(end - text.data());
        const std::string_view rest = text.substr(pos);
        long long unit = 0;
        if (rest.starts_with("ms")) {
            unit = 1;
            pos += 2;
        } else if (rest.starts_with("s")) {
            unit = 1000;
            pos += 1;
        } else if (rest.starts_with("m")) {
            unit = 60'000;
            pos += 1;
        } else if (rest.starts_with("h")) {
            unit = 3'600'000;
            pos += 1;
        } else if (rest.starts_with("d")) {
            unit = 86'400'000;
            pos += 1;
        } else {
            return std::nullopt;
        }
        total += amount * unit;
        if (total > 1000LL * 86'400'000) {
            return std::nullopt;
        }
    }
    return Milliseconds(total);
}

namespace {

using Property = SensorSetting::Property;

constexpr int kMaxComNumber = 256;
constexpr std::size_t kMaxRampSteps = 100'000;

struct ParseError {
    std::string message;
};

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\r') {
            ++pos;
        }
        if (pos > start) {
            words.push_back(line.substr(start, pos - start));
        }
    }
    return words;
}

std::optional<double> ParseNumber(std::string_view text) {
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseCom(std::string_view word) {
    if (word.size() < 4 || (word.substr(0, 3) != "COM" && word.substr(0, 3) != "com")) {
        return std::nullopt;
    }
    int number = 0;
    const std::string_view digits = word.substr(3);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size() || number < 1 ||
        number > kMaxComNumber) {
        return std::nullopt;
    }
    return number;
}

std::string Quote(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string KindText(SensorKind kind) {
    const std::string_view name = SensorKindName(kind);
    const bool vowel =
        name[0] == 'a' || name[0] == 'e' || name[0] == 'i' || name[0] == 'o' || name[0] == 'u';
    return std::string(vowel ? "an " : "a ") + std::string(name) + " sensor";
}

ParseError NotFor(std::string_view what, SensorKind kind) {
    return {Quote(what) + " does not apply to " + KindText(kind)};
}

bool HasTemperature(SensorKind kind) {
    return kind == SensorKind::Temperature || kind == SensorKind::Humidity ||
           kind == SensorKind::Combined;
}

bool Streams(SensorKind kind) {
    return kind == SensorKind::Accelerometer || kind == SensorKind::Distance;
}

// Temperatures may carry a unit letter: 72.5, 72.5F or 22.5C. The sensor keeps Fahrenheit.
std::optional<double> ParseTemperature(std::string_view text) {
    bool celsius = false;
    if (!text.empty() && (text.back() == 'F' || text.back() == 'C')) {
        celsius = text.back() == 'C';
        text.remove_suffix(1);
    }
    const auto value = ParseNumber(text);
    if (!value) {
        return std::nullopt;
    }
    return celsius ? *value * 9.0 / 5.0 + 32.0 : *value;
}

// Which numeric property a key names for a kind ("value" depends on the kind).
std::variant<Property, ParseError> NumericProperty(std::string_view key, SensorKind kind) {
    if (key == "value") {
        switch (kind) {
            case SensorKind::Temperature:
                return Property::Temperature;
            case SensorKind::Humidity:
                return Property::Humidity;
            case SensorKind::Distance:
                return Property::Distance;
            case SensorKind::Combined:
                return ParseError{
                    "'value' is ambiguous for a combined sensor: use temperature= or humidity="};
            default:
                return NotFor(key, kind);
        }
    }
    if (key == "temperature") {
        return HasTemperature(kind) ? std::variant<Property, ParseError>(Property::Temperature)
                                    : NotFor(key, kind);
    }
    if (key == "humidity") {
        return kind == SensorKind::Humidity || kind == SensorKind::Combined
                   ? std::variant<Property, ParseError>(Property::Humidity)
                   : NotFor(key, kind);
    }
    if (key == "x" || key == "y") {
        return kind == SensorKind::Accelerometer
                   ? std::variant<Property, ParseError>(key == "x" ? Property::X : Property::Y)
                   : NotFor(key, kind);
    }
    if (key == "distance") {
        return kind == SensorKind::Distance ? std::variant<Property, ParseError>(Property::Distance)
                                            : NotFor(key, kind);
    }
    return ParseError{"unknown setting " + Quote(key)};
}

// Parses the number of a numeric property and checks its range.
std::variant<double, ParseError> NumericValue(Property property, std::string_view key,
                                              std::string_view text) {
    const auto bad = [&](std::string why) {
        return ParseError{"bad value for " + std::string(key) + ": " + Quote(text) + why};
    };
    if (property == Property::Temperature) {
        const auto value = ParseTemperature(text);
        if (!value) {
            return bad(" (expected a number, optionally followed by F or C)");
        }
        return *value;
    }
    const auto value = ParseNumber(text);
    if (!value) {
        return bad(" (expected a number)");
    }
    switch (property) {
        case Property::Humidity:
            if (*value < 0 || *value > 100) {
                return bad(" (humidity is 0 to 100)");
            }
            break;
        case Property::X:
        case Property::Y:
            if (std::fabs(*value) > 9.999) {
                return bad(" (tilt is -9.999 to 9.999)");
            }
            break;
        case Property::Distance:
            if (*value < 0 || *value > 99999) {
                return bad(" (distance is 0 to 99999 cm, or none)");
            }
            break;
        default:
            break;
    }
    return *value;
}

std::optional<bool> ParseYesNo(std::string_view text) {
    if (text == "yes" || text == "on" || text == "true") {
        return true;
    }
    if (text == "no" || text == "off" || text == "false") {
        return false;
    }
    return std::nullopt;
}

std::optional<CommEvent> ParseFault(std::string_view text) {
    static const std::map<std::string_view, CommEvent> kFaults{
        {"break", CommEvent::Break},        {"framing", CommEvent::Framing},
        {"overrun", CommEvent::Overrun},    {"rx-overflow", CommEvent::RxOverflow},
        {"rx-parity", CommEvent::RxParity}, {"tx-overflow", CommEvent::TxFull},
    };
    const auto it = kFaults.find(text);
    return it == kFaults.end() ? std::nullopt : std::optional<CommEvent>(it->second);
}

// One setting word of a statement: "key=value" or a bare action word.
std::variant<SensorSetting, ParseError> ParseSetting(std::string_view word, SensorKind kind) {
    SensorSetting setting;
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos) {
        if (word == "normal" || word == "silent" || word == "error" || word == "garbage") {
            setting.property = Property::Behaviour;
            setting.behaviour = word == "normal"   ? SensorBehaviour::Normal
                                : word == "silent" ? SensorBehaviour::Silent
                                : word == "error"  ? SensorBehaviour::SensorError
                                                   : SensorBehaviour::Garbage;
        } else if (word == "unplug" || word == "plug") {
            setting.property = Property::Unplugged;
            setting.flag = word == "unplug";
        } else if (word == "bump") {
            if (kind != SensorKind::Accelerometer) {
                return NotFor(word, kind);
            }
            setting.property = Property::Bump;
        } else {
            return ParseError{"unknown setting " + Quote(word)};
        }
        return setting;
    }
    const std::string_view key = word.substr(0, eq);
    const std::string_view value = word.substr(eq + 1);
    if (value.empty()) {
        return ParseError{"missing value for " + std::string(key)};
    }
    if (key == "present" || key == "wet") {
        const bool applies =
            key == "present" ? kind == SensorKind::Proximity : kind == SensorKind::Water;
        if (!applies) {
            return NotFor(key, kind);
        }
        const auto flag = ParseYesNo(value);
        if (!flag) {
            return ParseError{"bad value for " + std::string(key) + ": " + Quote(value) +
                              " (expected yes or no)"};
        }
        setting.property = key == "present" ? Property::Present : Property::Wet;
        setting.flag = *flag;
        return setting;
    }
    if (key == "delay" || key == "interval" || key == "gap") {
        if (key == "interval" && !Streams(kind)) {
            return NotFor(key, kind);
        }
        const auto duration = ParseScenarioDuration(value);
        if (!duration || (key == "interval" && duration->count() == 0)) {
            return ParseError{"bad value for " + std::string(key) + ": " + Quote(value) +
                              " (expected a duration such as 500ms, 30s, 10m, 1h30m)"};
        }
        setting.property = key == "delay"      ? Property::ReplyDelay
                           : key == "interval" ? Property::StreamInterval
                                               : Property::CharacterGap;
        setting.duration = *duration;
        return setting;
    }
    if (key == "commands") {
        if (!Streams(kind)) {
            return NotFor(key, kind);
        }
        if (value != "accept" && value != "reject") {
            return ParseError{"bad value for commands: " + Quote(value) +
                              " (expected accept or reject)"};
        }
        setting.property = Property::RejectCommands;
        setting.flag = value == "reject";
        return setting;
    }
    if (key == "fault") {
        const auto fault = ParseFault(value);
        if (!fault) {
            return ParseError{"bad value for fault: " + Quote(value) +
                              " (expected framing, overrun, rx-overflow, rx-parity, "
                              "tx-overflow or break)"};
        }
        setting.property = Property::Fault;
        setting.fault = *fault;
        return setting;
    }
    const auto property = NumericProperty(key, kind);
    if (const auto* error = std::get_if<ParseError>(&property)) {
        return *error;
    }
    setting.property = std::get<Property>(property);
    if (setting.property == Property::Distance && value == "none") {
        setting.property = Property::NoObject;
        return setting;
    }
    const auto number = NumericValue(setting.property, key, value);
    if (const auto* error = std::get_if<ParseError>(&number)) {
        return *error;
    }
    setting.number = std::get<double>(number);
    return setting;
}

// One setting word of a modem statement: answer=, digits=, delay= or echo=.
std::variant<ModemSetting, ParseError> ParseModemSetting(std::string_view word) {
    using MP = ModemSetting::Property;
    ModemSetting setting;
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos) {
        return ParseError{"unknown modem setting " + Quote(word) +
                          " (expected answer=, digits=, delay= or echo=)"};
    }
    const std::string_view key = word.substr(0, eq);
    const std::string_view value = word.substr(eq + 1);
    if (value.empty()) {
        return ParseError{"missing value for " + std::string(key)};
    }
    if (key == "answer" || key == "digits") {
        const auto answer = ModemAnswerFromName(value);
        if (!answer) {
            return ParseError{"bad value for " + std::string(key) + ": " + Quote(value) +
                              " (expected ok, busy, error, no-dial-tone, no-carrier or silent)"};
        }
        setting.property = key == "answer" ? MP::Answer : MP::DigitsAnswer;
        setting.answer = *answer;
        return setting;
    }
    if (key == "delay") {
        const auto duration = ParseScenarioDuration(value);
        if (!duration) {
            return ParseError{"bad value for delay: " + Quote(value) +
                              " (expected a duration such as 500ms, 2s, 20s)"};
        }
        setting.property = MP::DialDelay;
        setting.duration = *duration;
        return setting;
    }
    if (key == "echo") {
        const auto flag = ParseYesNo(value);
        if (!flag) {
            return ParseError{"bad value for echo: " + Quote(value) + " (expected yes or no)"};
        }
        setting.property = MP::Echo;
        setting.flag = *flag;
        return setting;
    }
    return ParseError{"unknown modem setting " + Quote(key) +
                      " (expected answer=, digits=, delay= or echo=)"};
}

class Parser {
public:
    explicit Parser(std::string_view fileName) : fileName_(fileName) {}

    ScenarioParseResult Run(std::string_view text) {
        int lineNumber = 0;
        std::size_t pos = 0;
        while (pos <= text.size()) {
            const std::size_t newline = text.find('\n', pos);
            std::string_view line = text.substr(pos, newline - pos);
            ++lineNumber;
            const std::size_t hash = line.find('#');
            if (hash != std::string_view::npos) {
                line = line.substr(0, hash);
            }
            const auto words = SplitWords(line);
            if (!words.empty()) {
                if (auto error = Statement(words, lineNumber)) {
                    return {std::nullopt,
                            fileName_ + ":" + std::to_string(lineNumber) + ": " + error->message};
                }
            }
            if (newline == std::string_view::npos) {
                break;
            }
            pos = newline + 1;
        }
        return {std::move(scenario_), ""};
    }

private:
    using Words = std::vector<std::string_view>;

    std::optional<ParseError> Statement(const Words& words, int line) {
        if (words[0] == "sensor") {
            return SensorStatement(words, line);
        }
        if (words[0] == "modem") {
            return ModemStatement(words, line);
        }
        if (words[0] == "camera") {
            return CameraStatement(words, line);
        }
        if (words[0] == "at") {
            return AtStatement(words, line);
        }
        if (words[0] == "every") {
            return EveryStatement(words, line);
        }
        if (words[0] == "ramp") {
            return RampStatement(words, line);
        }
        return ParseError{"unknown statement " + Quote(words[0]) +
                          " (expected sensor, modem, camera, at, every or ramp)"};
    }

    std::variant<int, ParseError> Com(const Words& words, std::size_t index) {
        if (index >= words.size()) {
            return ParseError{"missing COM port"};
        }
        const auto com = ParseCom(words[index]);
        if (!com) {
            return ParseError{"bad COM port " + Quote(words[index]) + " (expected COM1 to COM" +
                              std::to_string(kMaxComNumber) + ")"};
        }
        return *com;
    }

    // The COM port of a timed statement, which must have a sensor declared above it.
    std::variant<int, ParseError> KnownCom(const Words& words, std::size_t index) {
        auto com = Com(words, index);
        if (const int* number = std::get_if<int>(&com); number && modems_.count(*number)) {
            return ParseError{"COM" + std::to_string(*number) +
                              " has a modem, which takes no timed changes"};
        }
        if (const int* number = std::get_if<int>(&com); number && !kinds_.count(*number)) {
            return ParseError{"no sensor on COM" + std::to_string(*number) +
                              " (declare it with a sensor line above this one)"};
        }
        return com;
    }

    std::variant<Milliseconds, ParseError> Time(const Words& words, std::size_t index,
                                                std::string_view what) {
        if (index >= words.size()) {
            return ParseError{"missing " + std::string(what)};
        }
        const auto time = ParseScenarioDuration(words[index]);
        if (!time) {
            return ParseError{"bad " + std::string(what) + " " + Quote(words[index]) +
                              " (expected e.g. 0, 500ms, 30s, 10m, 1h30m, 2d)"};
        }
        return *time;
    }

    std::optional<ParseError> Settings(const Words& words, std::size_t from, std::size_t to,
                                       SensorKind kind, std::vector<SensorSetting>& out) {
        for (std::size_t i = from; i < to; ++i) {
            auto setting = ParseSetting(words[i], kind);
            if (auto* error = std::get_if<ParseError>(&setting)) {
                return *error;
            }
            out.push_back(std::get<SensorSetting>(setting));
        }
        return std::nullopt;
    }

    // sensor COMn KIND [settings...]
    std::optional<ParseError> SensorStatement(const Words& words, int line) {
        auto com = Com(words, 1);
        if (auto* error = std::get_if<ParseError>(&com)) {
            return *error;
        }
        const int number = std::get<int>(com);
        if (auto taken = Taken(number)) {
            return taken;
        }
        if (words.size() < 3) {
            return ParseError{"missing sensor kind"};
        }
        const auto kind = SensorKindFromName(words[2]);
        if (!kind) {
            return ParseError{"unknown sensor kind " + Quote(words[2]) +
                              " (expected temperature, humidity, combined, proximity, water, "
                              "accelerometer or distance)"};
        }
        ScenarioSensor sensor{number, *kind, {}, line};
        if (auto error = Settings(words, 3, words.size(), *kind, sensor.settings)) {
            return error;
        }
        kinds_[number] = *kind;
        lines_[number] = line;
        scenario_.sensors.push_back(std::move(sensor));
        return std::nullopt;
    }

    // A COM number takes one device.
    std::optional<ParseError> Taken(int number) const {
        const auto it = lines_.find(number);
        if (it == lines_.end()) {
            return std::nullopt;
        }
        return ParseError{"COM" + std::to_string(number) + " already has a " +
                          (modems_.count(number) ? "modem" : "sensor") + " (line " +
                          std::to_string(it->second) + ")"};
    }

    // modem COMn [settings...]
    std::optional<ParseError> ModemStatement(const Words& words, int line) {
        auto com = Com(words, 1);
        if (auto* error = std::get_if<ParseError>(&com)) {
            return *error;
        }
        const int number = std::get<int>(com);
        if (auto taken = Taken(number)) {
            return taken;
        }
        ScenarioModem modem{number, {}, line};
        for (std::size_t i = 2; i < words.size(); ++i) {
            auto setting = ParseModemSetting(words[i]);
            if (auto* error = std::get_if<ParseError>(&setting)) {
                return *error;
            }
            modem.settings.push_back(std::get<ModemSetting>(setting));
        }
        modems_.insert(number);
        lines_[number] = line;
        scenario_.modems.push_back(std::move(modem));
        return std::nullopt;
    }

    // camera N synthetic [fps=N] [size=WxH]
    std::optional<ParseError> CameraStatement(const Words& words, int line) {
        if (words.size() < 2) {
            return ParseError{"missing camera number"};
        }
        int number = 0;
        const std::string_view digits = words[1];
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (ec != std::errc() || end != digits.data() + digits.size() || number < 1 || number > 4) {
            return ParseError{"bad camera number " + Quote(words[1]) + " (expected 1 to 4)"};
        }
        if (const auto it = cameraLines_.find(number); it != cameraLines_.end()) {
            return ParseError{"camera " + std::to_string(number) + " is already declared (line " +
                              std::to_string(it->second) + ")"};
        }
        if (words.size() < 3) {
            return ParseError{"missing camera kind (expected synthetic)"};
        }
        if (words[2] != "synthetic") {
            return ParseError{"unknown camera kind " + Quote(words[2]) + " (expected synthetic)"};
        }
        ScenarioCamera camera{number, {}, line};
        for (std::size_t i = 3; i < words.size(); ++i) {
            if (auto error = CameraSetting(words[i], camera.options)) {
                return error;
            }
        }
        cameraLines_[number] = line;
        scenario_.cameras.push_back(camera);
        return std::nullopt;
    }

    static std::optional<ParseError> CameraSetting(std::string_view word,
                                                   SyntheticCameraOptions& options) {
        const std::size_t eq = word.find('=');
        const std::string_view key = word.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? "" : word.substr(eq + 1);
        const auto whole = [](std::string_view text, int low, int high) -> std::optional<int> {
            int number = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
                number < low || number > high) {
                return std::nullopt;
            }
            return number;
        };
        if (key == "fps" && eq != std::string_view::npos) {
            const auto fps = whole(value, 1, 30);
            if (!fps) {
                return ParseError{"bad value for fps: " + Quote(value) + " (expected 1 to 30)"};
            }
            options.fps = *fps;
            return std::nullopt;
        }
        if (key == "size" && eq != std::string_view::npos) {
            const std::size_t x = value.find('x');
            const auto width = whole(value.substr(0, x), 16, 1920);
            const auto height =
                x == std::string_view::npos ? std::nullopt : whole(value.substr(x + 1), 16, 1080);
            if (!width || !height) {
                return ParseError{"bad value for size: " + Quote(value) +
                                  " (expected WIDTHxHEIGHT, 16x16 to 1920x1080)"};
            }
            options.width = *width;
            options.height = *height;
            return std::nullopt;
        }
        return ParseError{"unknown camera setting " + Quote(word) + " (expected fps= or size=)"};
    }

    // at TIME COMn settings...
    std::optional<ParseError> AtStatement(const Words& words, int line) {
        auto time = Time(words, 1, "time");
        if (auto* error = std::get_if<ParseError>(&time)) {
            return *error;
        }
        auto com = KnownCom(words, 2);
        if (auto* error = std::get_if<ParseError>(&com)) {
            return *error;
        }
        ScenarioStep step;
        step.at = std::get<Milliseconds>(time);
        step.comNumber = std::get<int>(com);
        step.line = line;
        if (words.size() < 4) {
            return ParseError{"nothing to change on COM" + std::to_string(step.comNumber)};
        }
        if (auto error = Settings(words, 3, words.size(), kinds_[step.comNumber], step.settings)) {
            return error;
        }
        scenario_.steps.push_back(std::move(step));
        return std::nullopt;
    }

    // Trailing "from TIME", "until TIME", "step TIME" options; returns where they begin.
    std::variant<std::size_t, ParseError> Options(const Words& words, std::size_t first,
                                                  std::map<std::string_view, Milliseconds>& options,
                                                  std::initializer_list<std::string_view> allowed) {
        std::size_t end = words.size();
        while (end >= first + 2) {
            const std::string_view keyword = words[end - 2];
            if (std::find(allowed.begin(), allowed.end(), keyword) == allowed.end()) {
                break;
            }
            if (options.count(keyword)) {
                return ParseError{Quote(keyword) + " given twice"};
            }
            auto time = Time(words, end - 1, std::string(keyword) + " time");
            if (auto* error = std::get_if<ParseError>(&time)) {
                return *error;
            }
            options[keyword] = std::get<Milliseconds>(time);
            end -= 2;
        }
        return end;
    }

    // every INTERVAL COMn settings... [from TIME] [until TIME]
    std::optional<ParseError> EveryStatement(const Words& words, int line) {
        auto interval = Time(words, 1, "interval");
        if (auto* error = std::get_if<ParseError>(&interval)) {
            return *error;
        }
        if (std::get<Milliseconds>(interval).count() == 0) {
            return ParseError{"the interval of every must be above 0"};
        }
        auto com = KnownCom(words, 2);
        if (auto* error = std::get_if<ParseError>(&com)) {
            return *error;
        }
        std::map<std::string_view, Milliseconds> options;
        auto end = Options(words, 3, options, {"from", "until"});
        if (auto* error = std::get_if<ParseError>(&end)) {
            return *error;
        }
        ScenarioStep step;
        step.every = std::get<Milliseconds>(interval);
        step.at = options.count("from") ? options["from"] : step.every;
        if (options.count("until")) {
            step.until = options["until"];
            if (*step.until < step.at) {
                return ParseError{"until comes before the first change"};
            }
        }
        step.comNumber = std::get<int>(com);
        step.line = line;
        const std::size_t last = std::get<std::size_t>(end);
        if (last <= 3) {
            return ParseError{"nothing to change on COM" + std::to_string(step.comNumber)};
        }
        if (auto error = Settings(words, 3, last, kinds_[step.comNumber], step.settings)) {
            return error;
        }
        scenario_.steps.push_back(std::move(step));
        return std::nullopt;
    }

    // ramp COMn PROPERTY FROM -> TO over DURATION [from TIME] [step TIME]
    std::optional<ParseError> RampStatement(const Words& words, int line) {
        auto com = KnownCom(words, 1);
        if (auto* error = std::get_if<ParseError>(&com)) {
            return *error;
        }
        const int number = std::get<int>(com);
        const SensorKind kind = kinds_[number];
        if (words.size() < 3) {
            return ParseError{"missing property to ramp"};
        }
        const std::string_view key = words[2];
        const auto property = NumericProperty(key, kind);
        if (const auto* error = std::get_if<ParseError>(&property)) {
            return *error;
        }
        std::map<std::string_view, Milliseconds> options;
        auto end = Options(words, 3, options, {"from", "step"});
        if (auto* error = std::get_if<ParseError>(&end)) {
            return *error;
        }
        const std::size_t last = std::get<std::size_t>(end);
        // The values may be written "70 -> 90" or "70->90".
        std::string range;
        std::size_t over = 3;
        for (; over < last && words[over] != "over"; ++over) {
            range += words[over];
        }
        const std::size_t arrow = range.find("->");
        if (over >= last || arrow == std::string::npos) {
            return ParseError{"expected: ramp COMn " + std::string(key) +
                              " FROM -> TO over DURATION"};
        }
        const auto first = NumericValue(std::get<Property>(property), key, range.substr(0, arrow));
        if (const auto* error = std::get_if<ParseError>(&first)) {
            return *error;
        }
        const auto second =
            NumericValue(std::get<Property>(property), key, range.substr(arrow + 2));
        if (const auto* error = std::get_if<ParseError>(&second)) {
            return *error;
        }
        if (over + 2 != last) {
            return ParseError{"expected one duration after over"};
        }
        auto duration = Time(words, over + 1, "duration");
        if (auto* error = std::get_if<ParseError>(&duration)) {
            return *error;
        }
        const Milliseconds length = std::get<Milliseconds>(duration);
        const Milliseconds start = options.count("from") ? options["from"] : Milliseconds(0);
        const Milliseconds step = options.count("step") ? options["step"] : Milliseconds(60'000);
        if (length.count() == 0 || step.count() == 0) {
            return ParseError{"a ramp needs a duration and a step above 0"};
        }
        if (static_cast<std::size_t>(length / step) > kMaxRampSteps) {
            return ParseError{"ramp has too many steps; use a longer step"};
        }
        const double a = std::get<double>(first);
        const double b = std::get<double>(second);
        for (Milliseconds t{0};; t += step) {
            if (t > length) {
                t = length;
            }
            SensorSetting setting;
            setting.property = std::get<Property>(property);
            setting.number =
                a + (b - a) * static_cast<double>(t.count()) / static_cast<double>(length.count());
            scenario_.steps.push_back(
                {start + t, number, {setting}, Milliseconds(0), std::nullopt, line});
            if (t == length) {
                break;
            }
        }
        return std::nullopt;
    }

    std::string fileName_;
    Scenario scenario_;
    std::map<int, SensorKind> kinds_;
    std::map<int, int> lines_;
    std::set<int> modems_;
    std::map<int, int> cameraLines_;
};

}  // namespace

ScenarioParseResult ParseScenario(std::string_view text, std::string_view fileName) {
    return Parser(fileName).Run(text);
}

ScenarioParseResult LoadScenarioFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {std::nullopt, path + ": cannot read the file"};
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        return {std::nullopt, path + ": cannot read the file"};
    }
    return ParseScenario(text.str(), path);
}

}  // namespace vigiltron
