#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CommandLineBuffer.h"
#include "sim/SimulatedDevice.h"

namespace vigiltron {

enum class SensorKind {
    Temperature,
    Humidity,
    Combined,
    Proximity,
    Water,
    Accelerometer,
    Distance
};

// The scenario-file word for a kind ("temperature", "combined", ...), and back.
std::string_view SensorKindName(SensorKind kind);
std::optional<SensorKind> SensorKindFromName(std::string_view name);

// How a sensor answers its readings: normally, not at all, with its "Sensor Error" report, or
// with junk that holds no number.
enum class SensorBehaviour { Normal, Silent, SensorError, Garbage };

// Standard: answers reads. Streaming: sends a reading line every stream interval (accelerometer
// and distance). Event: signals bumps (accelerometer) or presence (distance) on DSR.
enum class SensorMode { Standard, Streaming, Event };

// One sensor of the family on the far end of a simulated COM port. It assembles commands from
// the bytes it receives (up to CR; characters may come one at a time with pauses), answers them
// after its reply delay, and drives DSR/CD for the line-state kinds. Everything it shows can be
// changed at run time, which is what scenarios and tests do.
class SimulatedSensor : public SimulatedDevice {
public:
    static constexpr Milliseconds kDefaultReplyDelay{20};
    static constexpr Milliseconds kDefaultStreamInterval{1000};
    // How long DSR stays raised for one bump of the accelerometer.
    static constexpr Milliseconds kBumpPulse{200};
    // Received commands remembered for Commands(); older ones are forgotten so that a sensor
    // polled for weeks (demo, soak runs) keeps a constant footprint.
    static constexpr std::size_t kCommandHistory = 256;

    struct ReceivedCommand {
        Milliseconds at;   // loop time when its CR arrived
        std::string text;  // without the CR
    };

    SimulatedSensor(EventLoop& loop, SensorKind kind);
    ~SimulatedSensor() override;

    SensorKind Kind() const { return kind_; }
    // "Vigiltron/T", "Vigiltron/H" (humidity and combined), "Vigiltron/P", "/W", "/A", "/D".
    std::string ModelText() const;
    // The identification reply without its CR; the model text and a firmware version unless set.
    void SetIdentification(std::string reply) { identification_ = std::move(reply); }
    const std::string& Identification() const { return identification_; }

    // Values. Temperature is kept in Fahrenheit; "tc" converts.
    void SetTemperatureF(double fahrenheit) { temperatureF_ = fahrenheit; }
    void SetTemperatureC(double celsius) { temperatureF_ = celsius * 9.0 / 5.0 + 32.0; }
    double TemperatureF() const { return temperatureF_; }
    void SetHumidity(double percent) { humidity_ = percent; }
    double Humidity() const { return humidity_; }
    // Tilt in g, held within +-9.999 so the reply keeps its column layout.
    void SetTilt(double x, double y);
    void SetX(double x) { SetTilt(x, y_); }
    void SetY(double y) { SetTilt(x_, y); }
    double X() const { return x_; }
    double Y() const { return y_; }
    // Distance in cm, or nothing for "No Object". In event mode DSR is raised while an object
    // is in range.
    void SetDistance(std::optional<double> centimetres);
    std::optional<double> Distance() const { return distance_; }
    // Proximity: DSR follows presence. Water: CD follows wetness.
    void SetPresent(bool present);
    bool Present() const { return present_; }
    void SetWet(bool wet);
    bool Wet() const { return wet_; }
    // A knock on the accelerometer: a DSR pulse of kBumpPulse when in event mode, else nothing.
    void Bump();

    void SetBehaviour(SensorBehaviour behaviour) { behaviour_ = behaviour; }
    SensorBehaviour Behaviour() const { return behaviour_; }
    void SetReplyDelay(Milliseconds delay) { replyDelay_ = delay; }
    Milliseconds ReplyDelay() const { return replyDelay_; }
    void SetStreamInterval(Milliseconds interval);
    Milliseconds StreamInterval() const { return streamInterval_; }
    // Answers mode, sensitivity and calibration commands with "Invalid" instead of "OK".
    void SetRejectCommands(bool reject) { rejectCommands_ = reject; }
    bool RejectCommands() const { return rejectCommands_; }

    SensorMode Mode() const { return mode_; }
    int Sensitivity() const { return sensitivity_; }
    int Calibrations() const { return calibrations_; }

    // The last kCommandHistory complete commands received, oldest first.
    const std::deque<ReceivedCommand>& Commands() const { return commands_; }
    std::vector<std::string> CommandTexts() const;
    void ClearCommands() { commands_.clear(); }

protected:
    void OnBytes(std::string_view bytes) override;
    void OnConnected() override;
    void OnDisconnected() override;

private:
    void Handle(const std::string& command);
    bool HandlePolled(const std::string& command);
    bool HandleAccelerometer(const std::string& command);
    bool HandleDistance(const std::string& command);
    void Reply(const std::string& text);
    // A reading goes through the behaviour: error report or junk instead of the value.
    void ReplyReading(const std::string& text);
    void Confirm();
    void SetSensitivity(std::string_view digits);
    void EnterMode(SensorMode mode);
    void UpdateDistanceDsr();
    void StartStreamTimer();
    void StopStreamTimer();
    void StreamTick();
    std::string TemperatureText(bool celsius) const;
    std::string HumidityText() const;
    std::string TiltReadText() const;
    std::string TiltStreamText() const;
    std::string DistanceText() const;

    SensorKind kind_;
    std::string identification_;
    double temperatureF_ = 72.5;
    double humidity_ = 41.0;
    double x_ = 0.0;
    double y_ = 0.0;
    std::optional<double> distance_ = 100.0;
    bool present_ = false;
    bool wet_ = false;
    SensorBehaviour behaviour_ = SensorBehaviour::Normal;
    Milliseconds replyDelay_ = kDefaultReplyDelay;
    Milliseconds streamInterval_ = kDefaultStreamInterval;
    bool rejectCommands_ = false;
    SensorMode mode_ = SensorMode::Standard;
    int sensitivity_ = 5;
    int calibrations_ = 0;
    // Commands longer than this are line noise; the sensor keeps only the tail.
    CommandLineBuffer pending_{32};
    std::deque<ReceivedCommand> commands_;
    TimerId streamTimer_ = 0;
    TimerId bumpTimer_ = 0;
};

}  // namespace vigiltron
