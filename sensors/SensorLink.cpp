#include "sensors/SensorLink.h"

#include <cmath>
#include <exception>

#include "core/DeviceModel.h"
#include "core/ReadingValue.h"

namespace vigiltron {

namespace {

int RoundHalfEven(double value) {
    return int(std::nearbyint(value));
}

bool IsNoReading(const std::string& result) {
    return result.empty() || result == " " || result == "999";
}

bool IsFailedRetry(const std::string& result) {
    return result.empty() || result == "999" || result == "0";
}

}  // namespace

SensorLink::SensorLink(Services services)
    : s_(std::move(services)), protocol_(s_.loop, s_.dialogs) {
    for (int n = 1; n <= 10; ++n) {
        entries_[n] = std::make_unique<Entry>(s_.loop);
        entries_[n]->pollTimer.SetCallback([this, n] { Timer1_Timer(n); });
        entries_[n]->reconnectTimer.SetInterval(kReconnectInterval);
        entries_[n]->reconnectTimer.SetCallback([this, n] { TryReconnect(n); });
    }
}

SensorLink::~SensorLink() = default;

SensorLink::Entry* SensorLink::At(int n) {
    return n >= 1 && n <= 10 ? entries_[n].get() : nullptr;
}

SerialPort* SensorLink::Port(int n, PortGroup group) {
    Entry* e = At(n);
    return e ? e->ports[int(group)].get() : nullptr;
}

Timer* SensorLink::PollingTimer(int n) {
    Entry* e = At(n);
    return e ? &e->pollTimer : nullptr;
}

int SensorLink::MinuteTarget(int n) const {
    return n >= 1 && n <= 10 ? entries_[n]->minuteTarget : 0;
}

int SensorLink::MinuteCounter(int n) const {
    return n >= 1 && n <= 10 ? entries_[n]->minuteCounter : 0;
}

SerialPort& SensorLink::EnsurePort(int n, PortGroup group) {
    auto& port = entries_[n]->ports[int(group)];
    if (!port) {
        port = s_.ports.CreatePort();
    }
    return *port;
}

void SensorLink::Record(const std::string& category, const std::string& text) {
    s_.journal.Record(category, text);
}

std::pair<int, int> SensorLink::ComboSlots(int n) const {
    return {s_.model.SlotOf(n, Tab::Temperature), s_.model.SlotOf(n, Tab::Humidity)};
}

int SensorLink::SlotOf(int n) const {
    return s_.model.SlotOf(n);
}

// ---------------------------------------------------------------------------------------------
// Polling

void SensorLink::ApplyReadingInterval() {
    LinkSettings& settings = s_.settings;
    if (settings.readingInterval == " " || settings.readingInterval == "0" ||
        settings.readingInterval.empty()) {
        settings.readingInterval = "30";
        settings.intervalInMinutes = true;
    }
    const double interval = LeadingNumber(settings.readingInterval);
    for (int n = 1; n <= 10; ++n) {
        Entry& e = *entries_[n];
        if (settings.intervalInMinutes) {
            e.pollTimer.SetInterval(Milliseconds(60000));
            e.minuteTarget = RoundHalfEven(interval);
            e.minuteCounter = 1;
        } else {
            e.pollTimer.SetInterval(Milliseconds(std::llround(interval * 850.0)));
        }
        // A running timer starts its new period now.
        if (e.pollTimer.Enabled()) {
            e.pollTimer.SetEnabled(false);
            e.pollTimer.SetEnabled(true);
        }
    }
}

void SensorLink::StartPolling(int n) {
    Entry* e = At(n);
    if (!e) {
        return;
    }
    if (RoundHalfEven(LeadingNumber(s_.settings.readingInterval)) == 0) {
        s_.dialogs.ShowMessage("Reading Interval cannot be 0!", MessageIcon::None, true);
        return;
    }
    e->pollTimer.SetEnabled(true);
    SummaryRow& row = s_.view.Row(n);
    row.visible = true;
    row.statusVisible = true;
    row.statusFontSize = 14;
    row.statusColour = TextColour::Blue;
    e->firstReadingPending = true;
    if (s_.settings.intervalInMinutes) {
        e->pollTimer.SetInterval(Milliseconds(60000));
    }
    s_.view.Changed();
    Timer1_Timer(n);
}

std::string SensorLink::ReadOnce(int n, DeviceKind kind) {
    Entry& e = *entries_[n];
    ReadingTarget target;
    target.setupIndex = n;
    target.pollingTimer = &e.pollTimer;
    target.row = &s_.view.Row(n);
    target.disconnect = [this, n] { cmdConnectSensor_Click(n); };
    switch (kind) {
        case DeviceKind::Temperature:
        case DeviceKind::Humidity:
            target.port = e.ports[int(PortGroup::Polled)].get();
            return protocol_.StandardRead(target, KindCode(kind), s_.settings.unit);
        case DeviceKind::Combined:
            target.port = e.ports[int(PortGroup::Polled)].get();
            target.temperatureRow = n < 10 ? &s_.view.Row(n + 1) : nullptr;
            return protocol_.THRead(target, s_.settings.unit);
        case DeviceKind::Accelerometer:
            target.port = e.ports[int(PortGroup::Accelerometer)].get();
            return protocol_.StandardRead(target, KindCode(kind), s_.settings.unit);
        case DeviceKind::Distance:
            target.port = e.ports[int(PortGroup::Distance)].get();
            return protocol_.StandardRead(target, KindCode(kind), s_.settings.unit);
        default:
            return "";
    }
}

namespace {
std::pair<std::string, std::string> SplitCombined(const std::string& result) {
    const auto slash = result.find('/');
    if (slash == std::string::npos) {
        return {result, ""};
    }
    return {result.substr(0, slash), result.substr(slash + 1)};
}
}  // namespace

void SensorLink::ShowReading(int n, DeviceKind kind, const std::string& result, int tempSlot,
                             int humidSlot) {
    const DeviceRecord* record = s_.model.Entry(n);
    const std::string name = record ? record->deviceName : "";
    if (kind == DeviceKind::Combined) {
        const auto [temperature, humidity] = SplitCombined(result);
        s_.view.Row(n).reading = humidity;
        if (n < 10) {
            s_.view.Row(n + 1).reading = temperature;
        }
        Record("reading", std::to_string(n) + " " + name + " humidity " + humidity + " / " +
                              std::to_string(n + 1) + " temperature " + temperature + " " +
                              s_.view.Row(std::min(n + 1, 10)).unit);
    } else {
        s_.view.Row(n).reading = result;
        Record("reading", std::to_string(n) + " " + name + " " + result +
                              (kind == DeviceKind::Temperature ? " " + s_.view.Row(n).unit : ""));
    }
    if (s_.settings.alertsDisabled) {
        s_.view.Row(n).status = "OK";
        s_.view.Row(n).statusColour = TextColour::Blue;
    } else {
        switch (kind) {
            case DeviceKind::Temperature:
                s_.readings.CheckTThresh(result, 1, n, SlotOf(n), false);
                break;
            case DeviceKind::Humidity:
                s_.readings.CheckHThresh(result, 2, n, SlotOf(n), false);
                break;
            case DeviceKind::Combined: {
                const auto [temperature, humidity] = SplitCombined(result);
                s_.readings.CheckHThresh(humidity, 2, n, humidSlot, true);
                s_.readings.CheckTThresh(temperature, 1, n, tempSlot, true);
                break;
            }
            default:
                break;
        }
    }
    s_.view.Changed();
}

void SensorLink::UpdateHighLow(Tab tab, int slot, const std::string& reading) {
    if (slot < 1 || slot > 4 || reading.empty()) {
        // A failed half of a combined reading has no value to compare.
        return;
    }
    TabSlotView& view = s_.view.Slot(tab, slot);
    const double value = LeadingNumber(reading);
    const double highest = view.highest.empty() ? 0.0 : LeadingNumber(view.highest);
    if (!(highest >= value)) {
        view.highest = PlainDecimal(value);
    }
    if (view.lowest.empty() || LeadingNumber(view.lowest) > value) {
        view.lowest = PlainDecimal(value);
    }
}

void SensorLink::Timer1_Timer(int n) {
    Entry* e = At(n);
    if (!e) {
        return;
    }
    if (e->readingUnderWay) {
        Record("status",
               std::to_string(n) + " tick skipped: the previous reading is still under way");
        return;
    }
    try {
        const long long period = e->pollTimer.Interval().count();
        if (!e->firstReadingPending && period >= 60000) {
            if (period != 60000) {
                return;
            }
            if (e->minuteCounter != e->minuteTarget) {
                ++e->minuteCounter;
                return;
            }
        }
        e->firstReadingPending = false;
        struct UnderWay {
            bool& flag;
            explicit UnderWay(bool& f) : flag(f) { flag = true; }
            ~UnderWay() { flag = false; }
        } underWay(e->readingUnderWay);

        const DeviceKind kind = s_.model.KindOf(n);
        const auto [tempSlot, humidSlot] = ComboSlots(n);
        s_.loop.ProcessPendingEvents();

        std::string result = ReadOnce(n, kind);
        if (!IsNoReading(result)) {
            ShowReading(n, kind, result, tempSlot, humidSlot);
        } else {
            for (int attempt = 1; attempt <= 10; ++attempt) {
                if (!IsFailedRetry(result)) {
                    break;
                }
                // A reading procedure that gave up has already disconnected the entry; more
                // tries would only repeat "port is no longer open".
                if (e->lost) {
                    return;  // the port went away under the reading: shown as lost already
                }
                const bool stillConnected = s_.model.Entry(n)->IsConnected();
                if (attempt == 10 || !stillConnected) {
                    s_.dialogs.ShowMessage(
                        "Sensor not responding after 10 tries.  Disconnecting sensor.",
                        MessageIcon::Information);
                    if (stillConnected) {
                        cmdConnectSensor_Click(n);
                    }
                    return;
                }
                result = ReadOnce(n, kind);
            }
        }

        const DeviceRecord* record = s_.model.Entry(n);
        if (record && (record->tabLogging || record->fileLogging)) {
            if (kind == DeviceKind::Combined) {
                const auto [temperature, humidity] = SplitCombined(result);
                s_.readings.FileTabLogging(humidity, n, 7, temperature);
            } else {
                s_.readings.FileTabLogging(result, n, KindCode(kind), "");
            }
        }

        switch (kind) {
            case DeviceKind::Temperature:
                UpdateHighLow(Tab::Temperature, SlotOf(n), result);
                break;
            case DeviceKind::Humidity:
                UpdateHighLow(Tab::Humidity, SlotOf(n), result);
                break;
            case DeviceKind::Combined: {
                const auto [temperature, humidity] = SplitCombined(result);
                UpdateHighLow(Tab::Temperature, tempSlot, temperature);
                UpdateHighLow(Tab::Humidity, humidSlot, humidity);
                break;
            }
            default:
                break;
        }
        e->minuteCounter = 1;
        s_.view.Changed();
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("Timer1 Error.");
    }
}

void SensorLink::ClearHighLow(Tab tab, int slot) {
    if (slot < 1 || slot > 4) {
        return;
    }
    TabSlotView& view = s_.view.Slot(tab, slot);
    view.highest.clear();
    view.lowest.clear();
    s_.view.Changed();
}

void SensorLink::ConvertHighLow(bool toFahrenheit) {
    auto convert = [toFahrenheit](std::string& text) {
        if (text.empty()) {
            return;  // cleared by "Reset": nothing to convert
        }
        const float value = float(LeadingNumber(text));
        const float converted =
            toFahrenheit ? 9.0f / 5.0f * value + 32.0f : 5.0f / 9.0f * (value - 32.0f);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.2f", double(converted));
        text = buffer;
    };
    for (int n = 1; n <= 10; ++n) {
        if (s_.model.KindOf(n) != DeviceKind::Temperature) {
            continue;
        }
        const int slot = SlotOf(n);
        if (slot < 1 || slot > 4) {
            continue;
        }
        TabSlotView& view = s_.view.Slot(Tab::Temperature, slot);
        convert(view.highest);
        convert(view.lowest);
    }
    s_.view.Changed();
}

}  // namespace vigiltron
