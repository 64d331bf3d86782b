#include "sensors/ReadingPipeline.h"

#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/LooseText.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"

namespace vigiltron {

namespace {

constexpr const char* kNoObj = "No Obj";

void StatusOk(SummaryRow& row) {
    row.status = "OK";
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
}

}  // namespace

void ReadingPipeline::Take(Reading reading) {
    reading.time = s_.clock.Now();
    switch (reading.kind) {
        case DeviceKind::Temperature:
        case DeviceKind::Humidity:
            Polled(reading);
            break;
        case DeviceKind::Accelerometer:
            reading.change == Reading::Change::None ? Tilt(reading) : Bump(reading);
            break;
        case DeviceKind::Distance:
            reading.change == Reading::Change::Present || reading.change == Reading::Change::Absent
                ? Presence(reading)
                : Distance(reading);
            break;
        case DeviceKind::Proximity:
            Presence(reading);
            break;
        case DeviceKind::Water:
            Water(reading);
            break;
        default:
            break;
    }
    s_.view.Changed();
    if (taken) {
        taken(reading);
    }
}

int ReadingPipeline::SlotOf(const Reading& reading, Tab tab) const {
    return s_.model.SlotOf(s_.model.LeadIndexOf(reading.setupIndex), tab);
}

// ---- Temperature and humidity, either half of a combined sensor included ----

void ReadingPipeline::Polled(const Reading& reading) {
    const int n = reading.setupIndex;
    const int lead = s_.model.LeadIndexOf(n);
    const bool comboHalf = s_.model.ComboPartnerOf(lead) != 0;
    const Tab tab = reading.kind == DeviceKind::Temperature ? Tab::Temperature : Tab::Humidity;
    const int slot = SlotOf(reading, tab);

    // Show.
    s_.view.Row(n).reading = reading.text;
    const DeviceRecord* record = s_.model.Entry(n);
    std::string line = std::to_string(n) + " " + (record ? record->deviceName : std::string());
    if (comboHalf) {
        line += reading.kind == DeviceKind::Temperature ? " temperature" : " humidity";
    }
    line += " " + reading.text;
    if (!reading.unit.empty()) {
        line += " " + reading.unit;
    }
    s_.journal.Record("reading", line);
    // A failed half of a combined reading has no value to compare.
    if (SlotTable::IsValidSlot(slot) && !reading.text.empty()) {
        TabSlotView& view = s_.view.Slot(tab, slot);
        const double value = LeadingNumber(reading.text);
        const double highest = view.highest.empty() ? 0.0 : LeadingNumber(view.highest);
        if (!(highest >= value)) {
            view.highest = PlainDecimal(value);
        }
        if (view.lowest.empty() || LeadingNumber(view.lowest) > value) {
            view.lowest = PlainDecimal(value);
        }
    }

    // Judge. A combined sensor is judged through its lead: the evaluation finds the temperature
    // half. "Disable All Alerts": nothing is judged, so nothing can look wrong.
    if (s_.prefs.chkLocalMonitoring) {
        SummaryRow& row = s_.view.Row(n);
        row.status = "OK";
        row.statusColour = TextColour::Blue;
    } else if (reading.kind == DeviceKind::Temperature) {
        s_.evaluator.CheckTThresh(reading.text, lead, slot, comboHalf);
    } else {
        s_.evaluator.CheckHThresh(reading.text, lead, slot, comboHalf);
    }

    // Log.
    const DeviceRecord* leadRecord = s_.model.Entry(lead);
    if (leadRecord && (leadRecord->tabLogging || leadRecord->fileLogging)) {
        s_.logFiles.FileTabLogging(reading);
    }
}

// ---- Accelerometer ----

void ReadingPipeline::Tilt(const Reading& reading) {
    const int n = reading.setupIndex;
    const int slot = SlotOf(reading, Tab::Accelerometer);
    s_.view.Row(n).reading = reading.text;
    const TiltTexts tilt = SplitTilt(reading.text);
    // A line with no number in either axis ("OK", noise) is no tilt of 0: judging it would send
    // a false "OK" notice for a tilt that is still there.
    if (!s_.prefs.chkLocalMonitoring && (StartsWithReading(tilt.x) || StartsWithReading(tilt.y))) {
        s_.evaluator.CheckTilt(tilt.x, tilt.y, n, slot);
    }
    if (s_.model.Entry(n)->tabLogging) {
        s_.logFiles.AddEventScreenLine(Tab::Accelerometer, slot,
                                       ColonScreenLine(s_.clock, reading.text));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Accelerometer,
                               ReceivedFileLine(s_.clock, reading.text));
}

void ReadingPipeline::Bump(const Reading& reading) {
    const int n = reading.setupIndex;
    SummaryRow& row = s_.view.Row(n);
    if (reading.change == Reading::Change::BumpOver) {
        row.reading = " ";
        return;
    }
    const int slot = SlotOf(reading, Tab::Accelerometer);
    row.readingFontSize = 14;
    row.reading = "BUMP";
    if (!s_.prefs.chkLocalMonitoring) {
        s_.evaluator.BumpAlert(n, slot);
    }
    if (s_.model.Entry(n)->tabLogging) {
        s_.logFiles.AddEventScreenLine(Tab::Accelerometer, slot, DashScreenLine(s_.clock, "BUMP"));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Accelerometer, BumpFileLine(s_.clock));
}

// ---- Distance ----

void ReadingPipeline::Distance(const Reading& reading) {
    const int n = reading.setupIndex;
    const std::string& line = reading.text;
    const int slot = SlotOf(reading, Tab::Distance);
    SummaryRow& row = s_.view.Row(n);
    const bool noObject = Contains(line, "Object");
    const auto cm = line.find("cm");

    // Show.
    if (Contains(line, "OK")) {
        row.readingColour = TextColour::Blue;
        StatusOk(row);
    }
    if (noObject) {
        row.reading = kNoObj;
        row.readingColour = TextColour::Blue;
        StatusOk(row);
    } else if (cm != std::string::npos) {
        row.reading = line;
        row.readingColour = TextColour::Blue;
    } else if (Contains(line, "Error")) {
        row.reading = "Error";
        row.readingColour = TextColour::Blue;
        return;  // a sensor error is neither judged nor logged
    }

    // Judge.
    const bool objectGone = reading.change == Reading::Change::ObjectGone;
    if (objectGone && s_.prefs.CheckRange && !s_.prefs.chkLocalMonitoring) {
        s_.evaluator.OutOfRangeAlert(n, slot);
    }
    if (line == "No Object") {
        s_.evaluator.ResetDistanceStates();
    }
    const DeviceRecord* record = s_.model.Entry(n);
    if (!s_.prefs.chkLocalMonitoring && !record->proximityMode) {
        s_.evaluator.ChkDistance(line, n, slot);
    }

    // Log: the on-screen log shows distances and the moment the object left.
    if (record->tabLogging) {
        std::string shown;
        if (noObject) {
            shown = objectGone ? "No Object" : "";
        } else if (cm != std::string::npos) {
            shown = line.substr(0, cm + 2);
        }
        s_.logFiles.AddDistanceScreenLine(slot,
                                          shown.empty() ? "" : ColonScreenLine(s_.clock, shown));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Distance, ReceivedFileLine(s_.clock, line));
}

// ---- Presence: proximity sensors, and distance sensors in proximity mode ----

void ReadingPipeline::Presence(const Reading& reading) {
    const int n = reading.setupIndex;
    const bool present = reading.change == Reading::Change::Present;
    const Tab tab = reading.kind == DeviceKind::Distance ? Tab::Distance : Tab::Proximity;
    s_.view.Row(n).reading = present ? "Event" : " ";
    s_.view.Changed();
    s_.actions.NotifyChange(reading.kind);
    if (s_.model.Entry(n)->tabLogging) {
        s_.logFiles.AddEventScreenLine(tab, SlotOf(reading, tab),
                                       DashScreenLine(s_.clock, present ? "Detect" : "<Reset>"));
    }
    s_.logFiles.WriteEventLine(n, reading.kind,
                               reading.kind == DeviceKind::Distance
                                   ? DistanceProximityFileLine(s_.clock, present)
                                   : ProximityFileLine(s_.clock, present));
}

// ---- Water ----

void ReadingPipeline::Water(const Reading& reading) {
    const int n = reading.setupIndex;
    const bool wet = reading.change == Reading::Change::Wet;
    const int slot = SlotOf(reading, Tab::Water);
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
        if (s_.evaluator.WaterAlarmOutstanding(slot)) {
            s_.evaluator.CheckWaterEvents(n, slot, true);
        }
    }
    if (s_.model.Entry(n)->tabLogging) {
        s_.logFiles.AddWaterScreenLine(slot, DashScreenLine(s_.clock, wet ? "* WET *" : "<Dry>"));
    }
    // A water sensor's file lines do not depend on its on-screen log: a user who asked for a log
    // file gets every change in it.
    s_.logFiles.WriteEventLine(n, DeviceKind::Water, WaterFileLine(s_.clock, wet));
}

void ReadingPipeline::SensorDisconnected(DeviceKind kind) {
    if (kind == DeviceKind::Temperature || kind == DeviceKind::Combined) {
        s_.evaluator.ClearTemperatureLatches();
    }
    if (kind == DeviceKind::Humidity || kind == DeviceKind::Combined) {
        s_.evaluator.ClearHumidityLatches();
    }
}

}  // namespace vigiltron
