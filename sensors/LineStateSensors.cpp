#include "sensors/LineStateSensors.h"

#include <exception>

#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

namespace {
constexpr std::size_t kViewLineLimit = 2000;
constexpr int kNoCamera = 99;
}  // namespace

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
        const DeviceRecord* record = s_.model.Entry(n);
        SerialPort* port = PortOf(n, DeviceKind::Proximity);
        if (!record || !port) {
            return;
        }
        const bool present = port->DSRHolding();
        SummaryRow& row = s_.view.Row(n);
        row.reading = present ? "Event" : " ";
        s_.view.Changed();

        s_.actions.StartDelays(present, n);
        s_.actions.NotifyChange(3);
        if (record->tabLogging) {
            s_.logFiles.AddEventScreenLine(
                Tab::Proximity, slot, DashScreenLine(s_.clock, present ? "Detect" : "<Reset>"));
        }
        s_.logFiles.WriteEventLine(n, DeviceKind::Proximity, ProximityFileLine(s_.clock, present));

        std::string error;
        const bool ended = s_.actions.RunImmediateActions(present, error);
        if (!error.empty()) {
            s_.dialogs.ShowMessage("Error in MSCommP event handler: " + error);
        }
        if (ended) {
            return;
        }
        const int camera = s_.model.ProxCameraLink(slot);
        if (camera != kNoCamera && camera >= 1 && camera <= 10 &&
            s_.prefs.prox[std::size_t(slot)].chkCamUseProx) {
            s_.actions.ProximityEvent(camera, 3);
        }
        if (!present) {
            row.reading = " ";
        }
        s_.view.Changed();
    } catch (const std::exception& fault) {
        s_.dialogs.ShowMessage(std::string("Error in MSCommP event handler: ") + fault.what());
    }
}

void LineStateSensors::AddWaterScreenLine(int slot, const std::string& line) {
    // Water lines follow one another at the insertion point, so they read oldest first.
    TabSlotView& view = s_.view.Slot(Tab::Water, slot);
    if (view.log.size() >= kViewLineLimit) {
        view.log.clear();
        return;
    }
    view.log.push_back(line);
}

bool LineStateSensors::WaterAlarmOutstanding(int slot) const {
    // With "keep sending alerts" on, the program-wide flag never stays set; the slot's own
    // alarm mark still says an alarm went out, so the dry probe gets its "OK" notice.
    return s_.evaluator.WaterAlarmRaised() || s_.evaluator.SlotAlarmMark(Tab::Water, slot) == "1";
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
        const DeviceRecord* record = s_.model.Entry(n);
        SerialPort* port = PortOf(n, DeviceKind::Water);
        if (!record || !port) {
            return;
        }
        const bool wet = port->CDHolding();
        SummaryRow& row = s_.view.Row(n);
        if (wet) {
            row.reading = "Water";
            row.status = "Not Ok";
            row.statusColour = TextColour::Red;
            if (!s_.prefs.chkLocalMonitoring && !s_.evaluator.WaterAlarmRaised()) {
                s_.evaluator.CheckWaterEvents(n, slot, false);
            }
        } else {
            row.reading = " ";
            row.status = "OK";
            row.statusColour = TextColour::Blue;
            if (WaterAlarmOutstanding(slot)) {
                s_.evaluator.CheckWaterEvents(n, slot, true);
            }
        }
        if (record->tabLogging) {
            AddWaterScreenLine(slot, DashScreenLine(s_.clock, wet ? "* WET *" : "<Dry>"));
        }
        // A water sensor's file lines do not depend on its on-screen log: a user who asked for
        // a log file gets every change in it.
        s_.logFiles.WriteEventLine(n, DeviceKind::Water, WaterFileLine(s_.clock, wet));
        s_.view.Changed();
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
        } else if (!WaterAlarmOutstanding(slot)) {
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
