#include "core/SensorProtocol.h"

#include "core/ReadingValue.h"

namespace vigiltron {

namespace {

constexpr int kTemperature = 1;
constexpr int kHumidity = 2;
constexpr int kAccelerometer = 8;
constexpr int kDistance = 9;

std::string TemperatureCommand(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? "tc\r" : "tf\r";
}

std::string UnitLetter(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? "C" : "F";
}

void SetPolling(ReadingTarget& target, bool on) {
    if (target.pollingTimer && target.pollingTimer->Enabled() != on) {
        target.pollingTimer->SetEnabled(on);
    }
}

void ShowSensorError(ReadingTarget& target) {
    if (target.row) {
        target.row->status = "Sensor Error";
        target.row->statusFontSize = 10;
        target.row->reading = "NA";
    }
    SetPolling(target, false);
}

}  // namespace

bool IsSensorError(const std::string& reply) {
    return reply.find("Sensor Error") != std::string::npos;
}

bool WaitForReplyEnd(EventLoop& loop, SerialPort& port, std::string& text, Milliseconds upTo) {
    bool closed = false;
    std::size_t searched = 0;  // a long stream of bytes is searched for its CR only once
    loop.WaitUntil(upTo, [&] {
        if (!port.IsOpen()) {
            closed = true;
            return true;
        }
        text += port.Input();
        const bool complete = text.find('\r', searched) != std::string::npos;
        searched = text.size();
        return complete;
    });
    return !closed;
}

std::string SensorProtocol::AwaitReply(SerialPort& port) {
    std::string reply;
    if (!WaitForReplyEnd(loop_, port, reply, kReplyWait)) {
        throw PortClosed{};
    }
    return reply;
}

std::string SensorProtocol::Query(SerialPort& port, const std::string& bytes) {
    if (!port.IsOpen()) {
        throw PortClosed{};
    }
    port.Output(bytes);
    return AwaitReply(port);
}

void SensorProtocol::SendStaggered(SerialPort& port, const std::string& first,
                                   const std::string& rest) {
    port.Output(first);
    loop_.Pause(kCharacterPause);
    if (!port.IsOpen()) {
        throw PortClosed{};
    }
    port.Output(rest);
}

std::string SensorProtocol::Identify(SerialPort& port, int kind) {
    try {
        for (int query = 0; query < kIdentifyQueries; ++query) {
            std::string reply;
            if (kind == kAccelerometer || kind == kDistance) {
                SendStaggered(port, "i", "\r");
                reply = AwaitReply(port);
            } else {
                reply = Query(port, "i\r");
            }
            if (!reply.empty()) {
                return reply;
            }
        }
    } catch (const PortClosed&) {
    }
    return "";
}

std::string SensorProtocol::StandardRead(ReadingTarget& target, int kind, TemperatureUnit unit) {
    SerialPort* port = target.port;
    if (port == nullptr || !port->IsOpen()) {
        dialogs_.ShowMessage("Port is no longer open. In newTakeVTReading");
        SetPolling(target, false);
        return "";
    }
    std::string value;
    try {
        loop_.ProcessPendingEvents();
        std::string reply;
        int unanswered = 0;
        while (unanswered < kReadQueries) {
            switch (kind) {
                case kTemperature:
                    if (target.row) {
                        target.row->unit = UnitLetter(unit);
                    }
                    reply = Query(*port, TemperatureCommand(unit));
                    break;
                case kHumidity:
                    reply = Query(*port, "h\r");
                    break;
                case kAccelerometer:
                    port->Output("a");
                    reply = Query(*port, "\r");
                    break;
                case kDistance:
                    port->Output("d");
                    reply = Query(*port, "\r");
                    break;
                default:
                    return "";
            }
            if (!reply.empty()) {
                SetPolling(target, true);
                break;
            }
            SetPolling(target, false);
            ++unanswered;
        }
        loop_.ProcessPendingEvents();
        if (unanswered == kReadQueries) {
            dialogs_.ShowMessage(
                "StandardRead: Sensor not responding after 10 queries.  Disconnecting sensor.");
            if (target.disconnect) {
                target.disconnect();
            }
            return "";
        }
        if (IsSensorError(reply)) {
            ShowSensorError(target);
            return "";
        }
        switch (kind) {
            case kTemperature:
                value = ReadingValue(reply, 6);
                break;
            case kHumidity:
                value = ReadingValue(reply, 5);
                break;
            case kAccelerometer: {
                const std::string x = ReadingValue(reply, 6);
                value = x + " / ";
                value += reply.size() > 7 ? ReadingValue(reply.substr(7), 6) : "0";
                break;
            }
            case kDistance:
                value = ReadingValue(reply, 6);
                break;
        }
        return value;
    } catch (const PortClosed&) {
        dialogs_.ShowMessage("Error in newTakeVTReading. TmpHoldString1 = " + value);
        return "999";
    }
}

std::string SensorProtocol::THRead(ReadingTarget& target, TemperatureUnit unit) {
    SerialPort* port = target.port;
    if (port == nullptr) {
        return "999";
    }
    try {
        bool answered = false;
        loop_.ProcessPendingEvents();
        std::string reply;
        for (int query = 0; query < kReadQueries && !answered; ++query) {
            if (target.temperatureRow) {
                target.temperatureRow->unit = UnitLetter(unit);
            }
            reply = Query(*port, TemperatureCommand(unit));
            if (!reply.empty()) {
                answered = true;
                SetPolling(target, true);
            } else {
                SetPolling(target, false);
            }
        }
        if (!answered) {
            dialogs_.ShowMessage(
                "THRead: Sensor not responding after 10 queries.  Disconnecting sensor.");
            return "";
        }
        std::string temperature;
        if (IsSensorError(reply)) {
            dialogs_.ShowMessage("Sensor Error: Received from sensor");
        } else {
            temperature = ReadingValue(reply, 5);
        }
        loop_.ProcessPendingEvents();
        const std::string humidityReply = Query(*port, "h\r");
        std::string humidity;
        if (IsSensorError(humidityReply)) {
            ShowSensorError(target);
        } else if (!humidityReply.empty()) {
            // A silent humidity half is a failed part, not a reading of 0.
            humidity = ReadingValue(humidityReply, 5);
        }
        return temperature + "/" + humidity;
    } catch (const PortClosed&) {
        return "999";
    }
}

}  // namespace vigiltron
