#include "sim/SimulatedSensor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace vigiltron {

namespace {

constexpr std::array<std::pair<SensorKind, std::string_view>, 7> kKindNames{{
    {SensorKind::Temperature, "temperature"},
    {SensorKind::Humidity, "humidity"},
    {SensorKind::Combined, "combined"},
    {SensorKind::Proximity, "proximity"},
    {SensorKind::Water, "water"},
    {SensorKind::Accelerometer, "accelerometer"},
    {SensorKind::Distance, "distance"},
}};

constexpr double kMaxTilt = 9.999;

std::string Format(const char* format, double a) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a);
    return buffer;
}

std::string Format(const char* format, double a, double b) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

// Avoids "-0.00" for values that round to zero.
double Tidy(double value, double resolution) {
    return std::fabs(value) < resolution / 2 ? 0.0 : value;
}

}  // namespace

std::string_view SensorKindName(SensorKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return "unknown";
}

std::optional<SensorKind> SensorKindFromName(std::string_view name) {
    for (const auto& [kind, n] : kKindNames) {
        if (n == name) {
            return kind;
        }
    }
    return std::nullopt;
}

SimulatedSensor::SimulatedSensor(EventLoop& loop, SensorKind kind)
    : SimulatedDevice(loop), kind_(kind), identification_(ModelText() + " v2.1") {}

SimulatedSensor::~SimulatedSensor() {
    StopStreamTimer();
    if (bumpTimer_ != 0) {
        Loop().CancelTimer(bumpTimer_);
    }
}

std::string SimulatedSensor::ModelText() const {
    switch (kind_) {
        case SensorKind::Temperature:
            return "Vigiltron/T";
        case SensorKind::Humidity:
        case SensorKind::Combined:
            return "Vigiltron/H";
        case SensorKind::Proximity:
            return "Vigiltron/P";
        case SensorKind::Water:
            return "Vigiltron/W";
        case SensorKind::Accelerometer:
            return "Vigiltron/A";
        case SensorKind::Distance:
            return "Vigiltron/D";
    }
    return "Vigiltron/?";
}

void SimulatedSensor::SetTilt(double x, double y) {
    x_ = std::clamp(x, -kMaxTilt, kMaxTilt);
    y_ = std::clamp(y, -kMaxTilt, kMaxTilt);
}

void SimulatedSensor::SetDistance(std::optional<double> centimetres) {
    distance_ = centimetres;
    UpdateDistanceDsr();
}

void SimulatedSensor::SetPresent(bool present) {
    present_ = present;
    if (kind_ == SensorKind::Proximity) {
        SetDsr(present);
    }
}

void SimulatedSensor::SetWet(bool wet) {
    wet_ = wet;
    if (kind_ == SensorKind::Water) {
        SetCd(wet);
    }
}

void SimulatedSensor::Bump() {
    if (kind_ != SensorKind::Accelerometer || mode_ != SensorMode::Event ||
        behaviour_ == SensorBehaviour::Silent) {
        return;
    }
    if (bumpTimer_ != 0) {
        Loop().CancelTimer(bumpTimer_);
    }
    SetDsr(true);
    bumpTimer_ = Loop().StartTimer(kBumpPulse, [this] {
        bumpTimer_ = 0;
        SetDsr(false);
    });
}

void SimulatedSensor::SetStreamInterval(Milliseconds interval) {
    streamInterval_ = std::max(interval, Milliseconds(1));
    if (streamTimer_ != 0) {
        StartStreamTimer();
    }
}

std::vector<std::string> SimulatedSensor::CommandTexts() const {
    std::vector<std::string> texts;
    texts.reserve(commands_.size());
    for (const auto& command : commands_) {
        texts.push_back(command.text);
    }
    return texts;
}

void SimulatedSensor::OnBytes(std::string_view bytes) {
    for (const char c : bytes) {
        if (std::optional<std::string> command = pending_.Take(c)) {
            Handle(*command);
        }
    }
}

void SimulatedSensor::OnConnected() {
    if (mode_ == SensorMode::Streaming) {
        StartStreamTimer();
    }
}

void SimulatedSensor::OnDisconnected() {
    // Lines streamed to a closed port would be lost anyway; pausing keeps an idle simulation idle.
    StopStreamTimer();
    pending_.Clear();
}

void SimulatedSensor::Handle(const std::string& command) {
    commands_.push_back({Loop().Elapsed(), command});
    if (commands_.size() > kCommandHistory) {
        commands_.pop_front();
    }
    if (behaviour_ == SensorBehaviour::Silent) {
        return;
    }
    if (command == "i" || command == "I") {
        Reply(identification_);
        return;
    }
    bool handled = false;
    switch (kind_) {
        case SensorKind::Temperature:
        case SensorKind::Humidity:
        case SensorKind::Combined:
            handled = HandlePolled(command);
            break;
        case SensorKind::Accelerometer:
            handled = HandleAccelerometer(command);
            break;
        case SensorKind::Distance:
            handled = HandleDistance(command);
            break;
        case SensorKind::Proximity:
        case SensorKind::Water:
            break;
    }
    if (!handled) {
        Reply("Invalid");
    }
}

bool SimulatedSensor::HandlePolled(const std::string& command) {
    if (command == "tf" || command == "tc") {
        ReplyReading(TemperatureText(command == "tc"));
        return true;
    }
    if (command == "h" && kind_ != SensorKind::Temperature) {
        ReplyReading(HumidityText());
        return true;
    }
    return false;
}

bool SimulatedSensor::HandleAccelerometer(const std::string& command) {
    if (command == "a" || command == "A") {
        ReplyReading(TiltReadText());
    } else if (command == "a+" || command == "A+") {
        EnterMode(SensorMode::Streaming);
    } else if (command == "e" || command == "E") {
        EnterMode(SensorMode::Event);
    } else if (command == "S" || command == "s") {
        EnterMode(SensorMode::Standard);
    } else if (command[0] == 'M' || command[0] == 'm') {
        SetSensitivity(std::string_view(command).substr(1));
    } else if (command == "c" || command == "C") {
        if (!rejectCommands_) {
            ++calibrations_;
        }
        Confirm();
    } else {
        return false;
    }
    return true;
}

bool SimulatedSensor::HandleDistance(const std::string& command) {
    if (command == "d" || command == "D") {
        ReplyReading(DistanceText());
    } else if (command == "d+" || command == "D+") {
        EnterMode(SensorMode::Streaming);
    } else if (command == "e" || command == "E") {
        EnterMode(SensorMode::Event);
    } else if (command == "S" || command == "s") {
        EnterMode(SensorMode::Standard);
    } else if (command[0] == 'M' || command[0] == 'm') {
        SetSensitivity(std::string_view(command).substr(1));
    } else {
        return false;
    }
    return true;
}

void SimulatedSensor::Reply(const std::string& text) {
    Send(text + "\r", replyDelay_);
}

void SimulatedSensor::ReplyReading(const std::string& text) {
    switch (behaviour_) {
        case SensorBehaviour::SensorError:
            Reply("Sensor Error");
            break;
        case SensorBehaviour::Garbage:
            Reply("#$%&");
            break;
        case SensorBehaviour::Normal:
            Reply(text);
            break;
        case SensorBehaviour::Silent:
            break;
    }
}

void SimulatedSensor::Confirm() {
    Reply(rejectCommands_ ? "Invalid" : "OK");
}

void SimulatedSensor::SetSensitivity(std::string_view digits) {
    const bool valid = digits.size() == 1 && digits[0] >= '1' && digits[0] <= '9';
    if (!valid || rejectCommands_) {
        Reply("Invalid");
        return;
    }
    sensitivity_ = digits[0] - '0';
    Reply("OK");
}

void SimulatedSensor::EnterMode(SensorMode mode) {
    Confirm();
    if (rejectCommands_) {
        return;
    }
    mode_ = mode;
    if (mode_ == SensorMode::Streaming && Connected()) {
        StartStreamTimer();
    } else {
        StopStreamTimer();
    }
    if (kind_ == SensorKind::Accelerometer && mode_ != SensorMode::Event) {
        if (bumpTimer_ != 0) {
            Loop().CancelTimer(bumpTimer_);
            bumpTimer_ = 0;
        }
        SetDsr(false);
    }
    UpdateDistanceDsr();
}

void SimulatedSensor::UpdateDistanceDsr() {
    if (kind_ == SensorKind::Distance) {
        SetDsr(mode_ == SensorMode::Event && distance_.has_value());
    }
}

void SimulatedSensor::StartStreamTimer() {
    StopStreamTimer();
    // The first line follows the confirmation of the command.
    streamTimer_ = Loop().StartTimer(replyDelay_ + streamInterval_, [this] { StreamTick(); });
}

void SimulatedSensor::StopStreamTimer() {
    if (streamTimer_ != 0) {
        Loop().CancelTimer(streamTimer_);
        streamTimer_ = 0;
    }
}

void SimulatedSensor::StreamTick() {
    streamTimer_ = Loop().StartTimer(streamInterval_, [this] { StreamTick(); });
    if (behaviour_ == SensorBehaviour::Silent) {
        return;
    }
    const std::string line = kind_ == SensorKind::Accelerometer ? TiltStreamText() : DistanceText();
    switch (behaviour_) {
        case SensorBehaviour::SensorError:
            Send("Sensor Error\r", Milliseconds(0));
            break;
        case SensorBehaviour::Garbage:
            Send("#$%&\r", Milliseconds(0));
            break;
        default:
            Send(line + "\r", Milliseconds(0));
            break;
    }
}

std::string SimulatedSensor::TemperatureText(bool celsius) const {
    const double value = celsius ? (temperatureF_ - 32.0) * 5.0 / 9.0 : temperatureF_;
    // Six characters hold the number ("072.50", "-05.50"); the unit letter follows.
    return Format("%06.2f", Tidy(value, 0.01)) + (celsius ? "C" : "F");
}

std::string SimulatedSensor::HumidityText() const {
    return Format("%05.1f", Tidy(humidity_, 0.1)) + "%";
}

std::string SimulatedSensor::TiltReadText() const {
    // X in columns 1..6, a blank, Y in columns 8..13: "+0.120 -0.050".
    return Format("%+.3f %+.3f", Tidy(x_, 0.001), Tidy(y_, 0.001));
}

std::string SimulatedSensor::TiltStreamText() const {
    // Each axis carries three characters after its hundredths ("0g "), which the program drops
    // before it reads the number: "+1.500g -0.050g " reads as X 1.5 and Y -0.05.
    return Format("%+.3fg %+.3fg ", Tidy(x_, 0.001), Tidy(y_, 0.001));
}

std::string SimulatedSensor::DistanceText() const {
    if (!distance_) {
        return "No Object";
    }
    return Format("%.0f", Tidy(*distance_, 1.0)) + "cm";
}

}  // namespace vigiltron
