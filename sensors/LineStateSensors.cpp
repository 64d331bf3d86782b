#include "sensors/LineStateSensors.h"

#include <exception>

#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "sensors/PresenceChange.h"
#include "sensors/ReadingPipeline.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

LineStateSensors::LineStateSensors(Services services) : s_(services) {
    for (int n = 1; n <= 10; ++n) {
        waterTimers_[n] = std::make_unique<Timer>(s_.loop);
        waterTimers_[n]->SetInterval(kWaterPoll);
        waterTimers_[n]->SetCallback([this, n] { WaterTimer_Timer(n); });
    }
}

LineStateSensors::~LineStateSensors() = default;

Timer* LineStateSensors::WaterTimer(int n) {
    return n >= 1 && n <= 10 ? waterTimers_[n].get() : nullptr;
}

Timer* LineStateSensors::PollTimer(int n) {
    return s_.model.EffectiveKind(n) == DeviceKind::Water ? WaterTimer(n) : nullptr;
}

SerialPort* LineStateSensors::PortOf(int n, DeviceKind kind) {
    return s_.link.Port(n, kind == DeviceKind::Water ? PortGroup::Water : PortGroup::Proximity);
}

void LineStateSensors::Start(int n, DeviceKind kind) {
    SerialPort* port = PortOf(n, kind);
    if (!port) {
        return;
    }
    if (kind == DeviceKind::Proximity) {
        port->SetOnComm([this, n](CommEvent event) { MSCommP_OnComm(n, event); });
        // Connected and waiting for its first change: no longer "OFF".
        s_.view.Row(n).reading = port->DSRHolding() ? "Event" : " ";
        s_.view.Changed();
    } else if (kind == DeviceKind::Water) {
        port->SetOnComm([this, n](CommEvent event) { MSCommW_OnComm(n, event); });
        waterTimers_[n]->SetEnabled(true);
    }
}

void LineStateSensors::Reset(int n, DeviceKind kind) {
    if (Timer* timer = WaterTimer(n)) {
        timer->SetEnabled(false);
    }
    if (kind == DeviceKind::Proximity) {
        s_.actions.CancelDelaysOf(n);
    }
    if (SerialPort* port = PortOf(n, kind)) {
        port->SetOnComm(nullptr);
    }
}

bool LineStateSensors::Sort(int n, CommEvent event, CommEvent wanted) {
    if (event == CommEvent::DeviceLost) {
        s_.link.PortLost(n);
        return false;
    }
    return !ShowCommError(s_.dialogs, event) && event == wanted;
}

void LineStateSensors::MSCommP_OnComm(int n, CommEvent event) {
    const int slot = s_.model.SlotOf(n, Tab::Proximity);
    if (slot == 0) {
        s_.dialogs.ShowMessage("Error in MSCommP event handler: ");
        return;
    }
    if (!Sort(n, event, CommEvent::DsrChange)) {
        return;
    }
    try {
        SerialPort* port = PortOf(n, DeviceKind::Proximity);
        if (!s_.model.Entry(n) || !port) {
            return;
        }
        PresenceChange{s_.readings, s_.actions, s_.dialogs, s_.view, s_.model}(
            n, DeviceKind::Proximity, port->DSRHolding(), "Error in MSCommP event handler: ");
    } catch (const std::exception& fault) {
        s_.dialogs.ShowMessage(std::string("Error in MSCommP event handler: ") + fault.what());
    }
}

void LineStateSensors::MSCommW_OnComm(int n, CommEvent event) {
    const int slot = s_.model.SlotOf(n, Tab::Water);
    if (slot == 0) {
        s_.dialogs.ShowMessage("Error in MSCommW event handler");
        return;
    }
    if (!Sort(n, event, CommEvent::CdChange)) {
        return;
    }
    try {
        SerialPort* port = PortOf(n, DeviceKind::Water);
        if (!s_.model.Entry(n) || !port) {
            return;
        }
        Reading reading;
        reading.setupIndex = n;
        reading.kind = DeviceKind::Water;
        reading.change = port->CDHolding() ? Reading::Change::Wet : Reading::Change::Dry;
        s_.readings.Take(reading);
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("Error in MSCommW event handler");
    }
}

void LineStateSensors::WaterTimer_Timer(int n) {
    try {
        SerialPort* port = PortOf(n, DeviceKind::Water);
        if (!port || !port->IsOpen()) {
            return;
        }
        const int slot = s_.model.SlotOf(n, Tab::Water);
        const bool wet = port->CDHolding();
        SummaryRow& row = s_.view.Row(n);
        const SummaryRow before = row;
        if (wet) {
            row.status = "Not OK";
            row.statusColour = TextColour::Red;
            row.reading = "Water";
            row.readingColour = TextColour::Red;
            row.readingFontSize = 14;
            row.readingBorder = false;
            if (!s_.evaluator.WaterAlarmRaised() && !s_.prefs.chkLocalMonitoring) {
                s_.evaluator.CheckWaterEvents(n, slot, false);
            }
        } else if (!s_.evaluator.WaterAlarmOutstanding(slot)) {
            row.status = "OK";
            row.statusColour = TextColour::Blue;
            row.reading.clear();
            row.readingFontSize = 12;
            row.readingBorder = false;
        } else {
            s_.evaluator.CheckWaterEvents(n, slot, true);
        }
        // Five polls a second: tell the windows only when something changed.
        if (!(row == before)) {
            s_.view.Changed();
        }
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("Error in WaterTimer", MessageIcon::None, false,
                               "Vigiltron Manager");
    }
}

}  // namespace vigiltron
