#include "sensors/ReadingPipeline.h"

#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"

namespace vigiltron {

void ReadingPipeline::Take(Reading reading) {
    reading.time = s_.clock.Now();
    const int lead = s_.model.LeadIndexOf(reading.setupIndex);
    const bool comboHalf = s_.model.ComboPartnerOf(lead) != 0;
    const Tab tab = reading.kind == DeviceKind::Temperature ? Tab::Temperature : Tab::Humidity;
    const int slot = s_.model.SlotOf(lead, tab);
    Evaluate(reading, lead, comboHalf, slot);
    Show(reading, comboHalf, slot);
    Log(reading, lead);
    s_.view.Changed();
}

void ReadingPipeline::Evaluate(const Reading& reading, int lead, bool comboHalf, int slot) {
    if (s_.prefs.chkLocalMonitoring) {
        // "Disable All Alerts": nothing is judged, so nothing can look wrong.
        SummaryRow& row = s_.view.Row(reading.setupIndex);
        row.status = "OK";
        row.statusColour = TextColour::Blue;
        return;
    }
    // A combined sensor is judged through its lead: the evaluation finds the temperature half.
    if (reading.kind == DeviceKind::Temperature) {
        s_.evaluator.CheckTThresh(reading.text, lead, slot, comboHalf);
    } else if (reading.kind == DeviceKind::Humidity) {
        s_.evaluator.CheckHThresh(reading.text, lead, slot, comboHalf);
    }
}

void ReadingPipeline::Show(const Reading& reading, bool comboHalf, int slot) {
    const int n = reading.setupIndex;
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
    if (!SlotTable::IsValidSlot(slot) || reading.text.empty()) {
        return;
    }
    const Tab tab = reading.kind == DeviceKind::Temperature ? Tab::Temperature : Tab::Humidity;
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

void ReadingPipeline::Log(const Reading& reading, int lead) {
    const DeviceRecord* record = s_.model.Entry(lead);
    if (record && (record->tabLogging || record->fileLogging)) {
        s_.logFiles.FileTabLogging(reading);
    }
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
