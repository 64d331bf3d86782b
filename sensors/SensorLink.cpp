#include "sensors/SensorLink.h"

#include <cmath>
#include <exception>

#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ReadingValue.h"
#include "sensors/EventSensors.h"
#include "sensors/ReadingPipeline.h"

namespace vigiltron {

namespace {

int RoundHalfEven(double value) {
    return int(std::nearbyint(value));
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

void SensorLink::AttachEventSensors(EventSensors& lineState, EventSensors& streaming) {
    lineState_ = &lineState;
    streaming_ = &streaming;
}

EventSensors* SensorLink::EventSensorsOf(DeviceKind kind) const {
    const SensorKindInfo* info = SensorKindOf(kind);
    if (info == nullptr || IsPolledKind(kind)) {
        return nullptr;
    }
    return info->streaming ? streaming_ : lineState_;
}

bool SensorLink::IsPortOpen(int n) {
    Entry* e = At(n);
    if (e == nullptr) {
        return false;
    }
    for (const auto& port : e->ports) {
        if (port && port->IsOpen()) {
            return true;
        }
    }
    return s_.model.IsComboTemperatureHalf(n) && IsPortOpen(n - 1);
}

bool SensorLink::PresenceLine(int n) {
    for (PortGroup group : {PortGroup::Proximity, PortGroup::Distance}) {
        if (const SerialPort* port = Port(n, group); port && port->IsOpen()) {
            return port->DSRHolding();
        }
    }
    return false;
}

Timer* SensorLink::ReadingTimer(int n, DeviceKind kind) {
    if (IsPolledKind(kind)) {
        return PollingTimer(n);
    }
    EventSensors* sensors = EventSensorsOf(kind);
    return sensors ? sensors->PollTimer(n) : nullptr;
}

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
    Preferences& prefs = s_.prefs;
    if (prefs.ReadingInterval == " " || prefs.ReadingInterval == "0" ||
        prefs.ReadingInterval.empty()) {
        prefs.ReadingInterval = "30";
        prefs.MinOrSecs = "Min";
    }
    const bool inMinutes = prefs.MinOrSecs != "Sec";
    const double interval = LeadingNumber(prefs.ReadingInterval);
    for (int n = 1; n <= 10; ++n) {
        Entry& e = *entries_[n];
        if (inMinutes) {
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
    if (RoundHalfEven(LeadingNumber(s_.prefs.ReadingInterval)) == 0) {
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
    if (s_.prefs.MinOrSecs != "Sec") {
        e->pollTimer.SetInterval(Milliseconds(60000));
    }
    s_.view.Changed();
    Timer1_Timer(n);
}

TemperatureUnit SensorLink::Unit() const {
    return s_.prefs.ForC == "C" ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
}

std::vector<Reading> SensorLink::ReadOnce(int n, DeviceKind kind) {
    Entry& e = *entries_[n];
    ReadingTarget target;
    target.setupIndex = n;
    target.pollingTimer = &e.pollTimer;
    target.row = &s_.view.Row(n);
    target.disconnect = [this, n] { cmdConnectSensor_Click(n); };
    target.port = e.ports[int(PortGroup::Polled)].get();
    if (kind == DeviceKind::Combined) {
        target.temperatureRow = n < 10 ? &s_.view.Row(n + 1) : nullptr;
        SensorProtocol::CombinedReading both = protocol_.THRead(target, Unit());
        // A half the sensor could not measure is shown empty; only silence or a broken
        // exchange count as no reading.
        if (!both.answered || both.humidity.failed) {
            return {};
        }
        return {both.humidity, both.temperature};
    }
    if (kind != DeviceKind::Temperature && kind != DeviceKind::Humidity) {
        return {};
    }
    Reading reading = protocol_.StandardRead(target, kind, Unit());
    if (!reading.HasValue()) {
        return {};
    }
    return {reading};
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
        s_.loop.ProcessPendingEvents();

        std::vector<Reading> readings = ReadOnce(n, kind);
        for (int attempt = 1; readings.empty(); ++attempt) {
            if (e->lost) {
                return;  // the port went away under the reading: shown as lost already
            }
            // A reading procedure that gave up has already disconnected the entry; more tries
            // would only repeat "port is no longer open".
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
            readings = ReadOnce(n, kind);
        }
        // A reading that came on a second try is judged and shown like any other.
        for (const Reading& reading : readings) {
            s_.readings.Take(reading);
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
