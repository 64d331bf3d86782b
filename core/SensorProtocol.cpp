#include "core/SensorProtocol.h"

#include "core/ReadingValue.h"

namespace vigiltron {

namespace {

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

std::string SensorProtocol::Identify(SerialPort& port, bool staggered) {
    try {
        for (int query = 0; query < kIdentifyQueries; ++query) {
            std::string reply;
            if (staggered) {
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

Reading SensorProtocol::StandardRead(ReadingTarget& target, DeviceKind kind, TemperatureUnit unit) {
    Reading reading;
    reading.setupIndex = target.setupIndex;
    reading.kind = kind;
    if (kind == DeviceKind::Temperature) {
        reading.unit = UnitLetter(unit);
    }
    SerialPort* port = target.port;
    if (port == nullptr || !port->IsOpen()) {
        dialogs_.ShowMessage("Port is no longer open. In newTakeVTReading");
        SetPolling(target, false);
        return reading;
    }
    std::string& value = reading.text;
    try {
        loop_.ProcessPendingEvents();
        std::string reply;
        int unanswered = 0;
        while (unanswered < kReadQueries) {
            switch (kind) {
                case DeviceKind::Temperature:
                    if (target.row) {
                        target.row->unit = UnitLetter(unit);
                    }
                    reply = Query(*port, TemperatureCommand(unit));
                    break;
                case DeviceKind::Humidity:
                    reply = Query(*port, "h\r");
                    break;
                case DeviceKind::Accelerometer:
                    port->Output("a");
                    reply = Query(*port, "\r");
                    break;
                case DeviceKind::Distance:
                    port->Output("d");
                    reply = Query(*port, "\r");
                    break;
                default:
                    return reading;
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
            return reading;
        }
        if (IsSensorError(reply)) {
            ShowSensorError(target);
            return reading;
        }
        switch (kind) {
            case DeviceKind::Temperature:
                value = ReadingValue(reply, 6);
                break;
            case DeviceKind::Humidity:
                value = ReadingValue(reply, 5);
                break;
            case DeviceKind::Accelerometer: {
                const std::string x = ReadingValue(reply, 6);
                value = x + " / ";
                value += reply.size() > 7 ? ReadingValue(reply.substr(7), 6) : "0";
                break;
            }
            case DeviceKind::Distance:
                value = ReadingValue(reply, 6);
                break;
            default:
                break;
        }
        return reading;
    } catch (const PortClosed&) {
        dialogs_.ShowMessage("Error in newTakeVTReading. TmpHoldString1 = " + value);
        reading.text.clear();
        reading.failed = true;
        return reading;
    }
}

SensorProtocol::CombinedReading SensorProtocol::THRead(ReadingTarget& target,
                                                       TemperatureUnit unit) {
    CombinedReading result;
    result.humidity.setupIndex = target.setupIndex;
    result.humidity.kind = DeviceKind::Humidity;
    result.temperature.setupIndex = target.setupIndex + 1;
    result.temperature.kind = DeviceKind::Temperature;
    result.temperature.unit = UnitLetter(unit);
    auto failed = [&result] {
        result.temperature.failed = true;
        result.humidity.failed = true;
        return result;
    };
    SerialPort* port = target.port;
    if (port == nullptr) {
        return failed();
    }
    try {
        bool& answered = result.answered;
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
            return result;
        }
        std::string& temperature = result.temperature.text;
        if (IsSensorError(reply)) {
            dialogs_.ShowMessage("Sensor Error: Received from sensor");
        } else {
            temperature = ReadingValue(reply, 5);
        }
        loop_.ProcessPendingEvents();
        const std::string humidityReply = Query(*port, "h\r");
        std::string& humidity = result.humidity.text;
        if (IsSensorError(humidityReply)) {
            ShowSensorError(target);
        } else if (!humidityReply.empty()) {
            // A silent humidity half is a failed part, not a reading of 0.
            humidity = ReadingValue(humidityReply, 5);
        }
        return result;
    } catch (const PortClosed&) {
        return failed();
    }
}

}  // namespace vigiltron
