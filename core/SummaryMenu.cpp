#include "core/SummaryMenu.h"

#include "core/DeviceModel.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

SummaryMenuEntry& Item(SummaryMenuView& menu, SummaryMenuItem item) {
    return menu.items.at(static_cast<std::size_t>(item));
}

}  // namespace

bool OpenSummaryMenu(const DeviceModel& model, ViewModel& view, int n) {
    SummaryMenuView& menu = view.summaryMenu;
    menu.items.clear();
    if (!DeviceModel::IsValidIndex(n)) {
        menu.setupIndex = 0;
        return false;
    }
    menu.setupIndex = n;
    menu.items = {
        {SummaryMenuItem::ConnectSensor, "Connect This Sensor"},
        {SummaryMenuItem::ConnectAll, "Connect All"},
        {SummaryMenuItem::RenameSensor, "Rename Sensor"},
        {SummaryMenuItem::SetThresholds, "Set Thresholds"},
        {SummaryMenuItem::SetProximityNotifications, "Set Proximity Notifications"},
        {SummaryMenuItem::ProximityMode, "Set to Proximity mode"},
        {SummaryMenuItem::Calibrate, "Calibrate to 0"},
        {SummaryMenuItem::BumpMode, "Set to Bump mode"},
        {SummaryMenuItem::SetSensitivity, "Set Sensitivity"},
        {SummaryMenuItem::History, "History"},
        {SummaryMenuItem::SnoozeQuarterHour, "Snooze 15 minutes"},
        {SummaryMenuItem::SnoozeHour, "Snooze 1 hour"},
        {SummaryMenuItem::SnoozeEightHours, "Snooze 8 hours"},
        {SummaryMenuItem::SnoozeUntilNormal, "Snooze until back to normal"},
        {SummaryMenuItem::EndSnooze, "End snooze"},
    };

    // A failed connection marks the entry NotConnected; its menu is still that of its kind.
    const DeviceKind kind = model.EffectiveKind(n);
    const DeviceRecord* record = model.Entry(n);
    const bool off = view.Row(n).reading == "OFF";

    // The item runs the entry's connect command (the lead's, on a combined sensor's temperature
    // row), so it names what that command will do. That is the reading's "OFF" everywhere but
    // where the two part: a lost sensor keeps its last reading, and a sensor still reading "OFF"
    // may be connected already; either way the command disconnects.
    const bool disconnects = view.Commands(model.LeadIndexOf(n)).connectCaption == "Disconnect";
    SummaryMenuEntry& connect = Item(menu, SummaryMenuItem::ConnectSensor);
    connect.caption = disconnects ? "Disconnect This Sensor" : "Connect This Sensor";
    // The temperature row of a combined sensor is connected through its humidity row.
    connect.enabled = !(kind == DeviceKind::Combined && model.IsComboTemperatureHalf(n));
    Item(menu, SummaryMenuItem::ConnectAll).enabled = view.connectAllEnabled;

    SummaryMenuEntry& proximityNotifications =
        Item(menu, SummaryMenuItem::SetProximityNotifications);
    SummaryMenuEntry& proximityMode = Item(menu, SummaryMenuItem::ProximityMode);
    SummaryMenuEntry& calibrate = Item(menu, SummaryMenuItem::Calibrate);
    SummaryMenuEntry& bumpMode = Item(menu, SummaryMenuItem::BumpMode);
    SummaryMenuEntry& sensitivity = Item(menu, SummaryMenuItem::SetSensitivity);
    // The mode captions come from the entry's mode flags, the state the sensor commands change.
    if (kind == DeviceKind::Accelerometer) {
        proximityNotifications.visible = false;
        proximityMode.visible = false;
        for (SummaryMenuEntry* item : {&calibrate, &bumpMode, &sensitivity}) {
            item->enabled = !off;
        }
        if (!off && record->bumpMode) {
            bumpMode.caption = "Take out of Bump mode";
        }
    } else if (kind == DeviceKind::Distance) {
        calibrate.visible = false;
        bumpMode.visible = false;
        sensitivity.enabled = !off;
        if (!off && record->proximityMode) {
            proximityMode.caption = "Set to Distance mode";
        }
    } else {
        for (SummaryMenuEntry* item :
             {&proximityNotifications, &proximityMode, &calibrate, &bumpMode, &sensitivity}) {
            item->visible = false;
        }
    }
    // Only the kinds whose log files hold numbers have a chart to show.
    Item(menu, SummaryMenuItem::History).visible =
        kind == DeviceKind::Temperature || kind == DeviceKind::Humidity ||
        kind == DeviceKind::Combined || kind == DeviceKind::Accelerometer ||
        kind == DeviceKind::Distance;
    // Only a sensor has alerts to hold; a snooze can be ended only while there is one.
    const bool sensor = kind != DeviceKind::Empty && !IsCamera(kind);
    for (const SummaryMenuItem item :
         {SummaryMenuItem::SnoozeQuarterHour, SummaryMenuItem::SnoozeHour,
          SummaryMenuItem::SnoozeEightHours, SummaryMenuItem::SnoozeUntilNormal}) {
        Item(menu, item).visible = sensor;
    }
    SummaryMenuEntry& endSnooze = Item(menu, SummaryMenuItem::EndSnooze);
    endSnooze.visible = sensor;
    endSnooze.enabled = view.Row(n).snoozed;
    view.Changed();
    return true;
}

void OpenSetupOnThresholds(ViewModel& view) {
    view.setupWindowOnProximityPage = false;
    view.setupWindowOnAlertsPage = true;
    view.setupWindowVisible = true;
    view.Changed();
}

void OpenSetupOnProximityNotifications(ViewModel& view) {
    view.setupWindowOnAlertsPage = false;
    view.setupWindowOnProximityPage = true;
    view.setupWindowVisible = true;
    view.Changed();
}

void OpenSetupWindow(ViewModel& view) {
    view.setupWindowOnAlertsPage = false;
    view.setupWindowOnProximityPage = false;
    view.setupWindowVisible = true;
    view.Changed();
}

}  // namespace vigiltron
