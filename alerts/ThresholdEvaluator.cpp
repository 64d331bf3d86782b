#include "alerts/ThresholdEvaluator.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

#include "alerts/AlertDispatcher.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr int kTemperatureIndex = 1;
constexpr int kHumidityIndex = 2;
constexpr int kWaterIndex = 6;
constexpr int kTiltIndex = 8;
constexpr int kDistanceIndex = 9;
constexpr int kBumpIndex = 0;
constexpr int kAccelerometerKind = 8;
constexpr int kDistanceKind = 9;
constexpr int kWaterKind = 6;

void SetStatus(SummaryRow& row, const std::string& text, TextColour colour) {
    row.status = text;
    row.statusColour = colour;
}

void SetStatus(SummaryRow& row, const std::string& text, TextColour colour, int fontSize) {
    SetStatus(row, text, colour);
    row.statusFontSize = fontSize;
}

struct TiltRule {
    const char* name;
    const char* statusText;
    const char* alarmText;
};

constexpr TiltRule kTiltRules[4] = {
    {"XMin", "X TILT -", "Below X Min Threshold"},
    {"XMax", "X TILT +", "X Max Threshold Reached"},
    {"YMin", "Y TILT -", "Below Y Min Threshold"},
    {"YMax", "Y TILT +", "Y Max Threshold Reached"},
};

}  // namespace

ThresholdEvaluator::ThresholdEvaluator(Services services) : s_(std::move(services)) {}

double ThresholdEvaluator::Deadband(const std::string& text) {
    return std::max(0.0, LeadingNumber(text));
}

bool ThresholdEvaluator::InTiltDeadband(int condition, double value) const {
    const Preferences& p = s_.prefs;
    const double band = Deadband(p.TiltHysteresis);
    switch (condition) {
        case 0:
            return value < LeadingNumber(p.XMinThresh) + band;
        case 1:
            return value > LeadingNumber(p.XMaxThresh) - band;
        case 2:
            return value < LeadingNumber(p.YMinThresh) + band;
        default:
            return value > LeadingNumber(p.YMaxThresh) - band;
    }
}

std::string& ThresholdEvaluator::Mark(Tab tab, int slot) {
    if (slot < 1 || slot > 4) {
        throw std::out_of_range("slot " + std::to_string(slot) + " is not a tab slot");
    }
    return marks_.at(static_cast<std::size_t>(tab)).at(static_cast<std::size_t>(slot));
}

const std::string& ThresholdEvaluator::SlotAlarmMark(Tab tab, int slot) const {
    static const std::string kNone;
    if (slot < 1 || slot > 4) {
        return kNone;
    }
    return marks_.at(static_cast<std::size_t>(tab)).at(static_cast<std::size_t>(slot));
}

bool ThresholdEvaluator::OnScreen(int index) const {
    return s_.prefs.chkOnScreenAlert.at(index) && s_.alerts.Availability().onScreen.at(index);
}

bool ThresholdEvaluator::Email(int index) const {
    return s_.prefs.chkEmailAlert.at(index) && s_.alerts.Availability().email.at(index);
}

bool ThresholdEvaluator::Page(int index) const {
    return s_.prefs.chkPageAlert.at(index) && s_.alerts.Availability().page.at(index);
}

void ThresholdEvaluator::ShowTrayAlert() {
    if (s_.inTrayMode && s_.inTrayMode()) {
        s_.view.trayIconAlert = true;
        s_.view.Changed();
    }
}

void ThresholdEvaluator::ClearTemperatureLatches() {
    latches_.tempEmailSent = false;
    latches_.tempOnScreenShown = false;
    latches_.tempPage = false;
}

void ThresholdEvaluator::ClearHumidityLatches() {
    latches_.humidEmailSent = false;
    latches_.humidOnScreenShown = false;
    latches_.humidPage = false;
}

void ThresholdEvaluator::ResetDistanceStates() {
    latches_.distanceAlarmSent = false;
    latches_.distanceOkSent = false;
}

void ThresholdEvaluator::Rearm(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Temperature:
            ClearTemperatureLatches();
            break;
        case DeviceKind::Humidity:
            ClearHumidityLatches();
            break;
        case DeviceKind::Combined:
            ClearTemperatureLatches();
            ClearHumidityLatches();
            break;
        case DeviceKind::Water:
            latches_.WaterAlarmRaised = false;
            break;
        case DeviceKind::Accelerometer:
            latches_.tiltAlarmSent.fill(false);
            break;
        case DeviceKind::Distance:
            latches_.distanceAlarmSent = false;
            break;
        default:
            break;
    }
}

// ---- Temperature and humidity ----

struct ThresholdEvaluator::Family {
    bool temperature;
};

int ThresholdEvaluator::CheckPolled(const Family& family, const std::string& reading, int m,
                                    int slot) {
    const bool isTemp = family.temperature;
    const int kind = KindCode(isTemp ? DeviceKind::Temperature : DeviceKind::Humidity);
    const Tab tab = isTemp ? Tab::Temperature : Tab::Humidity;
    const AlertSource source = isTemp ? AlertSource::Temperature : AlertSource::Humidity;
    const int index = isTemp ? kTemperatureIndex : kHumidityIndex;
    bool& emailLatch = isTemp ? latches_.tempEmailSent : latches_.humidEmailSent;
    bool& onScreenLatch = isTemp ? latches_.tempOnScreenShown : latches_.humidOnScreenShown;
    std::string& mark = Mark(tab, slot);

    SummaryRow& row = s_.view.Row(m);
    SetStatus(row, "OK", TextColour::Blue);
    const double value = LeadingNumber(reading);
    const double max = LeadingNumber(isTemp ? s_.prefs.TempMax : s_.prefs.HumidMax);
    const double min = LeadingNumber(isTemp ? s_.prefs.TempMin : s_.prefs.HumidMin);
    const bool outOfLimits = value > max || value < min;
    // Inside the deadband after an alarm the sensor is still in alarm: nothing is sent again
    // and no "back to normal" yet, so a reading hovering at a limit alarms once.
    const double band = Deadband(isTemp ? s_.prefs.TempHysteresis : s_.prefs.HumidHysteresis);
    if (!outOfLimits && mark == "1" && (value > max - band || value < min + band)) {
        SetStatus(row, "NOT OK", TextColour::Red);
        s_.view.Changed();
        return 1;
    }

    if (outOfLimits) {
        SetStatus(row, "NOT OK", TextColour::Red);
        s_.view.Changed();
        if (s_.inTrayMode && s_.inTrayMode()) {
            s_.view.trayIconAlert = true;
            trayAlertShown_ = "1";
        }
        // Once per excursion beyond the limits, or every time when alerts are always sent.
        if (mark != "1" || s_.prefs.chkAlwaysSendAlert) {
            s_.alerts.AnnounceAlert(m, isTemp ? "Temperature" : "Humidity", false);
        }
        if (OnScreen(index) && !onScreenLatch) {
            s_.alerts.RaiseOnScreenAlarm(source, isTemp ? "Temperature" : "Humidity", slot);
            onScreenLatch = true;
        }
        if (Email(index) && !emailLatch) {
            const bool sent = s_.alerts.SendAlertEmail(source, reading, kind, m, slot, false);
            // Temperature counts the attempt; humidity tries again until a mail goes out.
            emailLatch = isTemp || sent;
        }
        if (Page(index)) {
            // No latch holds pages back: every out-of-range reading pages again.
            s_.alerts.SendAlertPage(source, kind, m, slot, false);
        }
        if (s_.prefs.chkAlwaysSendAlert) {
            isTemp ? ClearTemperatureLatches() : ClearHumidityLatches();
        }
        mark = "1";
        return 1;
    }

    s_.view.Changed();
    if (s_.inTrayMode && s_.inTrayMode() && trayAlertShown_ == "1") {
        s_.view.trayIconAlert = false;
        s_.view.Changed();
        trayAlertShown_ = "0";
    }
    if (mark == "1") {
        s_.alerts.AnnounceAlert(m, AlertDispatcher::OkNoticeText(source), true);
        if (Email(index)) {
            s_.alerts.SendAlertEmail(source, reading, kind, m, slot, true);
        }
        if (OnScreen(index)) {
            s_.alerts.ShowOkNotice(source, slot);
        }
        if (Page(index)) {
            s_.alerts.SendAlertPage(source, kind, m, slot, true);
        }
    }
    // Latches are per kind: a normal reading of any sensor of the kind re-arms them.
    isTemp ? ClearTemperatureLatches() : ClearHumidityLatches();
    mark = "0";
    return 0;
}

int ThresholdEvaluator::CheckTThresh(const std::string& reading, int n, int slot, bool comboHalf) {
    if (reading.empty() || reading == " ") {
        return 0;
    }
    try {
        // A combined sensor's temperature lives in the entry after its lead.
        const int m = comboHalf ? n + 1 : n;
        return CheckPolled(Family{true}, reading, m, slot);
    } catch (...) {
        if (s_.errorJournal) {
            s_.errorJournal(":13", "CheckTThresh:Error");
        }
        return 0;
    }
}

int ThresholdEvaluator::CheckHThresh(const std::string& reading, int n, int slot,
                                     bool /*comboHalf*/) {
    if (reading.empty() || reading == " ") {
        return 0;
    }
    try {
        return CheckPolled(Family{false}, reading, n, slot);
    } catch (...) {
        return 0;
    }
}

// ---- Accelerometer ----

int ThresholdEvaluator::TiltIndex(const std::string& condition) {
    for (int i = 0; i < 4; ++i) {
        if (condition == kTiltRules[i].name) {
            return i;
        }
    }
    return -1;
}

void ThresholdEvaluator::CheckTilt(const std::string& x, const std::string& y, int n, int slot) {
    try {
        auto value = [](const std::string& text) {
            return LeadingNumber(text.size() > 3 ? text.substr(0, text.size() - 3) : "");
        };
        const double xValue = value(x);
        const double yValue = value(y);
        SummaryRow& row = s_.view.Row(n);
        row.statusFontSize = 14;
        row.status = "OK";
        const Preferences& p = s_.prefs;
        const bool holds[4] = {
            xValue<LeadingNumber(p.XMinThresh), xValue>
                LeadingNumber(p.XMaxThresh),
            yValue<LeadingNumber(p.YMinThresh), yValue>
                LeadingNumber(p.YMaxThresh),
        };
        for (int i = 0; i < 4; ++i) {
            if (holds[i]) {
                row.statusFontSize = 12;
                row.status = kTiltRules[i].statusText;
                if (!latches_.tiltAlarmSent[i]) {
                    AccelAlert(n, slot, false, kTiltRules[i].name);
                }
            } else if (latches_.tiltAlarmSent[i] && !latches_.tiltOkSent[i]) {
                if (InTiltDeadband(i, i < 2 ? xValue : yValue)) {
                    row.statusFontSize = 12;  // still in alarm, inside the deadband
                    row.status = kTiltRules[i].statusText;
                } else {
                    AccelAlert(n, slot, true, kTiltRules[i].name);
                }
            }
        }
        s_.view.Changed();
    } catch (...) {
    }
}

void ThresholdEvaluator::AccelAlert(int n, int slot, bool isOk, const std::string& condition) {
    try {
        const int i = TiltIndex(condition);
        if (i < 0) {
            return;
        }
        std::string& mark = Mark(Tab::Accelerometer, slot);
        if (!isOk) {
            if (latches_.tiltAlarmSent[i]) {
                return;
            }
            const std::string text = kTiltRules[i].alarmText;
            s_.alerts.AnnounceAlert(n, "Accelerometer Alert\r(" + text + ")", false);
            if (OnScreen(kTiltIndex)) {
                s_.alerts.RaiseOnScreenAlarm(AlertSource::Tilt,
                                             "Accelerometer Alert\r(" + text + ")", slot);
            }
            if (Email(kTiltIndex)) {
                s_.alerts.SendAlertEmail(AlertSource::Tilt, "Accelerometer Alert (" + text + ")",
                                         kAccelerometerKind, n, slot, false);
            }
            if (Page(kTiltIndex)) {
                s_.alerts.SendAlertPage(AlertSource::Tilt, kAccelerometerKind, n, slot, false);
            }
            latches_.tiltAlarmSent[i] = !s_.prefs.chkAlwaysSendAlert;
            latches_.tiltOkSent[i] = false;
            mark = "1";
            return;
        }
        if (mark == "1") {
            s_.alerts.AnnounceAlert(n, AlertDispatcher::OkNoticeText(AlertSource::Tilt), true);
            if (OnScreen(kTiltIndex)) {
                s_.alerts.ShowOkNotice(AlertSource::Tilt, slot);
            }
            if (Email(kTiltIndex)) {
                s_.alerts.SendAlertEmail(AlertSource::Tilt, "Accelerometer values are now OK",
                                         kAccelerometerKind, n, slot, true);
            }
            if (Page(kTiltIndex)) {
                s_.alerts.SendAlertPage(AlertSource::Tilt, kAccelerometerKind, n, slot, true);
            }
            mark = "0";
        }
        // The condition is over even when the slot's notice already went out for another
        // condition; a latch left set here would silence every later crossing of it.
        latches_.tiltOkSent[i] = true;
        latches_.tiltAlarmSent[i] = false;
    } catch (...) {
    }
}

void ThresholdEvaluator::BumpAlert(int n, int slot) {
    try {
        s_.alerts.AnnounceAlert(n, "Bump ", false);
        if (OnScreen(kBumpIndex)) {
            s_.alerts.RaiseOnScreenAlarm(AlertSource::Bump, "Bump ", slot);
        }
        if (Email(kBumpIndex)) {
            s_.alerts.SendAlertEmail(AlertSource::Bump, "Bump Alert", kAccelerometerKind, n, slot,
                                     false);
        }
        if (Page(kBumpIndex)) {
            s_.alerts.SendAlertPage(AlertSource::Bump, kAccelerometerKind, n, slot, false);
        }
        ShowTrayAlert();
    } catch (...) {
    }
}

// ---- Distance ----

void ThresholdEvaluator::ChkDistance(const std::string& reading, int n, int slot) {
    SummaryRow& row = s_.view.Row(n);
    if (reading == "No Object") {
        try {
            SetStatus(row, "OK", TextColour::Blue, 14);
            s_.view.Changed();
        } catch (...) {
        }
        return;
    }
    // Each step goes ahead even when the one before it failed.
    try {
        row.readingColour = TextColour::Blue;
        SetStatus(row, "OK", TextColour::Blue, 14);
        s_.view.Changed();
    } catch (...) {
    }
    // A line that carries no distance (the sensor's "OK" acknowledgement) is not a reading of 0.
    if (!StartsWithReading(reading)) {
        return;
    }
    const double value = LeadingNumber(reading);
    const double min = LeadingNumber(s_.prefs.MinDistanceThresh);
    const double max = LeadingNumber(s_.prefs.MaxDistanceThresh);
    try {
        if (value < min) {
            SetStatus(row, "Too Close", TextColour::Red, 12);
            s_.view.Changed();
            DistanceAlert(n, slot, false, reading + ": Too Close");
        }
    } catch (...) {
    }
    try {
        if (value > max) {
            SetStatus(row, "Over Max", TextColour::Red, 12);
            s_.view.Changed();
            DistanceAlert(n, slot, false, "Over Max");
        }
    } catch (...) {
    }
    try {
        const double band = Deadband(s_.prefs.DistanceHysteresis);
        const bool alarmed = SlotAlarmMark(Tab::Distance, slot) == "1";
        if (alarmed && value > min && value < max && (value < min + band || value > max - band)) {
            SetStatus(row, "NOT OK", TextColour::Red, 12);  // still in alarm, inside the deadband
            s_.view.Changed();
        } else if (value > min && value < max) {
            SetStatus(row, "OK", TextColour::Blue, 14);
            s_.view.Changed();
            if (alarmed) {
                DistanceAlert(n, slot, true, "Distance Ok");
            }
        }
    } catch (...) {
    }
}

void ThresholdEvaluator::DistanceAlert(int n, int slot, bool isOk, const std::string& text) {
    try {
        std::string& mark = Mark(Tab::Distance, slot);
        if (!isOk) {
            if (latches_.distanceAlarmSent) {
                return;
            }
            s_.alerts.AnnounceAlert(n, text, false);
            if (OnScreen(kDistanceIndex)) {
                s_.alerts.RaiseOnScreenAlarm(AlertSource::Distance, text, slot);
            }
            if (Email(kDistanceIndex)) {
                s_.alerts.SendAlertEmail(AlertSource::Distance, text, kDistanceKind, n, slot,
                                         false);
            }
            if (Page(kDistanceIndex)) {
                s_.alerts.SendAlertPage(AlertSource::Distance, kDistanceKind, n, slot, false);
            }
            latches_.distanceAlarmSent = !s_.prefs.chkAlwaysSendAlert;
            latches_.distanceOkSent = false;
            mark = "1";
            return;
        }
        if (mark != "1") {
            return;
        }
        s_.alerts.AnnounceAlert(n, AlertDispatcher::OkNoticeText(AlertSource::Distance), true);
        if (OnScreen(kDistanceIndex)) {
            s_.alerts.ShowOkNotice(AlertSource::Distance, slot);
        }
        if (Email(kDistanceIndex)) {
            s_.alerts.SendAlertEmail(AlertSource::Distance, "Distance back to normal",
                                     kDistanceKind, n, slot, true);
        }
        if (Page(kDistanceIndex)) {
            s_.alerts.SendAlertPage(AlertSource::Distance, kDistanceKind, n, slot, true);
        }
        latches_.distanceAlarmSent = false;
        latches_.distanceOkSent = !s_.prefs.chkAlwaysSendAlert;
        mark = "0";
    } catch (...) {
    }
}

void ThresholdEvaluator::OutOfRangeAlert(int n, int slot) {
    try {
        const std::string text = "Object has gone out of range";
        s_.alerts.AnnounceAlert(n, text, false);
        if (OnScreen(kDistanceIndex)) {
            s_.alerts.RaiseOnScreenAlarm(AlertSource::OutOfRange, text, slot);
        }
        if (Email(kDistanceIndex) && SlotAlarmMark(Tab::Distance, slot) == "1") {
            s_.alerts.SendAlertEmail(AlertSource::OutOfRange, text, kDistanceKind, n, slot, false);
        }
        if (Page(kDistanceIndex)) {
            s_.alerts.SendAlertPage(AlertSource::OutOfRange, kDistanceKind, n, slot, false);
        }
    } catch (...) {
    }
}

// ---- Water ----

void ThresholdEvaluator::CheckWaterEvents(int n, int slot, bool cleared) {
    try {
        std::string& mark = Mark(Tab::Water, slot);
        if (!cleared) {
            if (latches_.WaterAlarmRaised) {
                return;
            }
            s_.alerts.AnnounceAlert(n, "Water Detected", false);
            if (OnScreen(kWaterIndex)) {
                s_.alerts.RaiseOnScreenAlarm(AlertSource::Water, "Water Detected", slot);
            }
            if (Email(kWaterIndex)) {
                s_.alerts.SendAlertEmail(AlertSource::Water, "Water Detected", kWaterKind, n, slot,
                                         false);
            }
            if (Page(kWaterIndex)) {
                s_.alerts.SendAlertPage(AlertSource::Water, kWaterKind, n, slot, false);
            }
            latches_.WaterAlarmRaised = !s_.prefs.chkAlwaysSendAlert;
            latches_.waterOkSent = false;
            mark = "1";
            return;
        }
        if (mark != "1") {
            return;
        }
        s_.alerts.AnnounceAlert(n, AlertDispatcher::OkNoticeText(AlertSource::Water), true);
        if (OnScreen(kWaterIndex)) {
            s_.alerts.ShowOkNotice(AlertSource::Water, slot);
        }
        if (Email(kWaterIndex) && !latches_.waterOkSent) {
            s_.alerts.SendAlertEmail(AlertSource::Water, "Water is no longer detected", kWaterKind,
                                     n, slot, true);
        }
        if (Page(kWaterIndex)) {
            s_.alerts.SendAlertPage(AlertSource::Water, kWaterKind, n, slot, true);
        }
        latches_.waterOkSent = !s_.prefs.chkAlwaysSendAlert;
        latches_.WaterAlarmRaised = false;
        mark = "0";
    } catch (...) {
    }
}

// ---- Proximity ----

void ThresholdEvaluator::ProximityAlert(DeviceKind deviceKind) {
    const int kind = KindCode(deviceKind);
    try {
        int slot = static_cast<int>(LeadingNumber(s_.prefs.ProxEventCmbSubIndex99));
        if (slot < 1 || slot > 4) {
            slot = 1;
        }
        const Tab tab = deviceKind == DeviceKind::Distance ? Tab::Distance : Tab::Proximity;
        const int n = s_.model.SetupIndexInSlot(tab, slot);
        s_.alerts.AnnounceAlert(n, "Proximity Detect", false);
        if (s_.prefs.chkOnScreenOnProx && s_.alerts.Availability().onScreenOnProx) {
            s_.alerts.RaiseOnScreenAlarm(AlertSource::Proximity, "Proximity Detect", slot, kind);
        }
        if (s_.prefs.chkEmailOnProx && s_.alerts.Availability().emailOnProx) {
            s_.alerts.SendAlertEmail(AlertSource::Proximity, "Proximity Detected", kind, n, slot,
                                     false);
        }
        ShowTrayAlert();
    } catch (...) {
    }
}

}  // namespace vigiltron
