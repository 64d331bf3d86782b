#pragma once

#include <functional>
#include <string>

#include "core/DeviceKind.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Reading.h"
#include "core/SerialPort.h"
#include "core/Timer.h"
#include "core/ViewModel.h"

namespace vigiltron {

enum class TemperatureUnit { Fahrenheit, Celsius };

// The entry a reading works on: its port, its polling timer, its Summary row(s) and the way to
// disconnect it when the sensor stops answering.
struct ReadingTarget {
    int setupIndex = 0;
    SerialPort* port = nullptr;
    Timer* pollingTimer = nullptr;
    SummaryRow* row = nullptr;             // row n
    SummaryRow* temperatureRow = nullptr;  // combined sensor: row n+1, which shows the temperature
    std::function<void()> disconnect;
};

// The command/reply exchange every sensor of the family speaks: identification, and the two
// reading procedures of the polled kinds. Replies end in CR; a wait for one ends as soon as the
// CR has arrived and otherwise after kReplyWait, so a healthy sensor is read in milliseconds and
// a silent one never hangs the program.
class SensorProtocol {
public:
    // Longest wait for one reply (the sensors answer within a few tens of milliseconds).
    static constexpr Milliseconds kReplyWait{2000};
    // Pause between the characters of the staggered commands of the streaming kinds.
    static constexpr Milliseconds kCharacterPause{200};
    static constexpr int kReadQueries = 10;
    static constexpr int kIdentifyQueries = 3;

    SensorProtocol(EventLoop& loop, Dialogs& dialogs) : loop_(loop), dialogs_(dialogs) {}

    // Sends the identification query up to three times until a reply arrives; returns the reply,
    // or empty when the sensor never answered. Streaming sensors take it one character at a time.
    std::string Identify(SerialPort& port, bool staggered);

    // Reads a temperature, humidity, accelerometer or distance sensor. The reading's text is the
    // value, empty when there was no usable reply; `failed` when the exchange broke off.
    Reading StandardRead(ReadingTarget& target, DeviceKind kind, TemperatureUnit unit);

    // A combined sensor's two halves; a failed part has an empty text. `answered` is false when
    // the sensor said nothing at all.
    struct CombinedReading {
        Reading temperature;
        Reading humidity;
        bool answered = false;
    };
    CombinedReading THRead(ReadingTarget& target, TemperatureUnit unit);

    // Sends `bytes` and waits for the reply line (bounded); returns what arrived, CR included.
    // Returns empty on silence. Fails (PortClosed) when the port closes under the exchange.
    std::string Query(SerialPort& port, const std::string& bytes);

    // Waits for a reply already requested; same rules as Query.
    std::string AwaitReply(SerialPort& port);

    struct PortClosed {};

private:
    void SendStaggered(SerialPort& port, const std::string& first, const std::string& rest);

    EventLoop& loop_;
    Dialogs& dialogs_;
};

// The one bounded wait for a reply of the sensor family: adds what `port` receives to `text` until
// `text` holds a CR or `upTo` has passed, whichever comes first; other events run meanwhile.
// False when the port closed during the wait (`text` then holds what arrived before).
bool WaitForReplyEnd(EventLoop& loop, SerialPort& port, std::string& text, Milliseconds upTo);

// Whether a reply reports that the sensor cannot measure.
bool IsSensorError(const std::string& reply);

}  // namespace vigiltron
