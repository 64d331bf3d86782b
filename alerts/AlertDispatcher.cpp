#include "alerts/AlertDispatcher.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <vector>

#include "config/Preferences.h"
#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr std::size_t kLogViewLimit = 2000;

struct PageTexts {
    const char* alarmFailed;
    const char* alarmSent;
    const char* okFailed;
    const char* okSent;
};

PageTexts PhonePageTexts(AlertSource source) {
    switch (source) {
        case AlertSource::Temperature:
            return {"Page Alarm Not sent", "(Sending Phone alert)", "OK Page Not sent",
                    "(Sending Ok Page)"};
        case AlertSource::Humidity:
            return {"Page Alert Not sent", "Page Alert sent", "Page Alert Not sent",
                    "(Sending Page alert)"};
        default:
            return {"Page Alert Not sent", "(Sending Phone alert)", "OK Page Not sent",
                    "(Sending Ok Page)"};
    }
}

// Alarms raised by a single event rather than a lasting condition: nothing announces their end.
bool IsEventAlarm(const std::string& text) {
    return text == "Bump " || text == "Proximity Detect" || text == "Object has gone out of range";
}

// The alert-kind code of an alarm kind name, for the composed mails; 0 for none.
int KindCodeOfName(const std::string& kind) {
    for (const DeviceKind k :
         {DeviceKind::Temperature, DeviceKind::Humidity, DeviceKind::Proximity, DeviceKind::Water,
          DeviceKind::Accelerometer, DeviceKind::Distance}) {
        if (const auto tab = TabOfKind(k); tab && TabName(*tab) == kind) {
            return KindCode(k);
        }
    }
    return 0;
}

// "15 minutes", "1 hour", "8 hours", "90 minutes".
std::string DurationText(std::chrono::minutes duration) {
    const long long minutes = duration.count();
    if (minutes % 60 == 0) {
        const long long hours = minutes / 60;
        return std::to_string(hours) + (hours == 1 ? " hour" : " hours");
    }
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

}  // namespace

AlertDispatcher::AlertDispatcher(Services services) : s_(services) {}

Tab AlertDispatcher::TabOf(AlertSource source, int kind) {
    switch (source) {
        case AlertSource::Temperature:
            return Tab::Temperature;
        case AlertSource::Humidity:
            return Tab::Humidity;
        case AlertSource::Water:
            return Tab::Water;
        case AlertSource::Tilt:
        case AlertSource::Bump:
            return Tab::Accelerometer;
        case AlertSource::Distance:
        case AlertSource::OutOfRange:
            return Tab::Distance;
        case AlertSource::Proximity:
            return kind == KindCode(DeviceKind::Distance) ? Tab::Distance : Tab::Proximity;
        case AlertSource::Connection:
            // A combined sensor's lead (the row that is lost) is its humidity half.
            return TabOfKind(KindFromCode(kind)).value_or(Tab::Humidity);
    }
    return Tab::Temperature;
}

std::string AlertDispatcher::OkNoticeText(AlertSource source) {
    switch (source) {
        case AlertSource::Temperature:
            return "Temperature is back to normal";
        case AlertSource::Humidity:
            return "Humidity is back to normal";
        case AlertSource::Water:
            return "Water no longer detected";
        case AlertSource::Tilt:
            return "Accelerometer reading \ris now OK";
        case AlertSource::Distance:
            return "Distance back to normal";
        default:
            return "";
    }
}

void AlertDispatcher::AnnounceAlert(int n, const std::string& text, bool isOk) {
    if (n < 1 || n > 10) {
        return;
    }
    NoteAlarm(n, KindName(n), text, isOk, IsEventAlarm(text));
    Publish(n, text, isOk);
}

void AlertDispatcher::Publish(int n, const std::string& text, bool isOk) {
    if (!alertAnnounced) {
        return;
    }
    try {
        alertAnnounced(n, text, isOk);
    } catch (...) {
        // Publishing never stops the alarm it reports.
    }
}

void AlertDispatcher::AddStatusLine(Tab tab, int slot, const std::string& text) {
    try {
        if (slot >= 1 && slot <= 4) {
            auto& log = s_.view.Slot(tab, slot).log;
            if (log.size() >= kLogViewLimit) {
                log.clear();
            }
            log.push_front(text);
        }
        s_.journal.Record("alert", TabName(tab) + " " + std::to_string(slot) + ": " + text);
        s_.view.Changed();
    } catch (...) {
        // A status line that cannot be written must not stop the delivery it reports.
    }
}

void AlertDispatcher::MailOutcome(int kind, int slot, const std::string& text) {
    // The tab follows the kind the mail was sent for, as for a connection alert.
    AddStatusLine(TabOf(AlertSource::Connection, kind), slot, text);
}

void AlertDispatcher::StartSound(bool looping) {
    if (s_.prefs.chkUseAlerts && availability_.useAlerts) {
        s_.sound.Play(looping);
    }
}

void AlertDispatcher::RaiseOnScreenAlarm(AlertSource source, const std::string& text, int slot,
                                         int kind) {
    if (Held(s_.model.SetupIndexInSlot(TabOf(source, kind), slot), false, "on-screen")) {
        return;
    }
    try {
        AlarmWindowView& alarm = s_.view.alarm;
        switch (source) {
            case AlertSource::Temperature:
                alarm.firstLine = alarm.firstLine.empty() ? text : alarm.firstLine + ", " + text;
                alarm.firstLineVisible = true;
                break;
            case AlertSource::Tilt:
                alarm.secondLine = text;
                alarm.secondLineVisible = true;
                break;
            default:
                alarm.firstLine = text;
                alarm.firstLineVisible = true;
                break;
        }
        alarm.visible = true;
        s_.journal.Record("alarm",
                          source == AlertSource::Tilt ? alarm.secondLine : alarm.firstLine);
        s_.view.Changed();
        StartSound(source != AlertSource::Proximity);
    } catch (...) {
        // The other channels still go out.
    }
    AddStatusLine(TabOf(source, kind), slot, "(Sending OnScreen alert)");
}

void AlertDispatcher::ShowOkNotice(AlertSource source, int slot) {
    if (Held(s_.model.SetupIndexInSlot(TabOf(source), slot), true, "on-screen")) {
        return;
    }
    try {
        AlarmWindowView& alarm = s_.view.alarm;
        switch (source) {
            case AlertSource::Temperature:
            case AlertSource::Humidity: {
                const std::string name =
                    source == AlertSource::Temperature ? "Temperature" : "Humidity";
                if (!alarm.firstLine.empty()) {
                    alarm.firstLine = name;
                } else {
                    alarm.firstLine = OkNoticeText(source);
                    alarm.secondLineVisible = false;
                }
                break;
            }
            case AlertSource::Water:
            case AlertSource::Tilt:
                alarm.secondLineVisible = false;
                alarm.firstLine = OkNoticeText(source);
                break;
            case AlertSource::Distance:
                alarm.firstLine = OkNoticeText(source);
                break;
            default:
                return;
        }
        alarm.firstLineVisible = true;
        alarm.visible = true;
        s_.journal.Record("alarm", "OK: " + alarm.firstLine);
        s_.view.Changed();
        if (source == AlertSource::Water) {
            if (s_.prefs.chkUseAlerts && availability_.useAlerts) {
                s_.dialogs.ShowMessage("Water is no longer detected");
            }
        } else {
            StartSound(true);
        }
    } catch (...) {
        // The other channels still go out.
    }
    AddStatusLine(TabOf(source), slot, "(Sending Ok alert)");
}

bool AlertDispatcher::PaceAlarm(AlertPacing::Channel channel, int n, int kind, bool isOk,
                                std::string& note) {
    if (isOk) {
        pacing.NoteOk(n, kind);
        return true;
    }
    // A missing or unreadable setting keeps the default gap; at most a day.
    const long long seconds = std::strtoll(s_.prefs.AlertRepeatSeconds.c_str(), nullptr, 10);
    pacing.minimumGap =
        s_.prefs.AlertRepeatSeconds.find_first_not_of(" 0123456789") == std::string::npos &&
                !Trim(s_.prefs.AlertRepeatSeconds).empty()
            ? std::chrono::seconds(std::min(seconds, 86400LL))
            : AlertPacing::kDefaultGap;
    if (!pacing.AllowAlarm(channel, n, kind)) {
        return false;
    }
    if (const int held = pacing.TakeHeldBack(channel, n, kind); held > 0) {
        note = "; " + std::to_string(held) + " repeat(s) held back since the last";
    }
    return true;
}

bool AlertDispatcher::SendAlertEmail(AlertSource source, const std::string& text, int kind, int n,
                                     int slot, bool isOk, bool combo) {
    if (source != AlertSource::Connection && Held(n, isOk, "e-mail")) {
        return false;
    }
    std::string pacingNote;
    if (!PaceAlarm(AlertPacing::Channel::Email, n, kind, isOk, pacingNote)) {
        return false;  // a repeat too soon after the last: counted, told with the next one
    }
    const std::string previousTitle = s_.view.mainTitle;
    s_.view.mainTitle = "Vigiltron Manager - Sending Email alert...";
    s_.view.Changed();
    bool sent = false;
    std::string outcome;
    try {
        if (!s_.prefs.optUseSMTP) {
            sent = SendMail(text, kind, n, slot, isOk);
            outcome = sent ? "handed to the mail client" : "not sent";
        } else {
            const MailResult result =
                s_.smtp.SendMailSmtp(AlertMail{text, kind, n, slot, isOk, combo});
            sent = result.sent;
            outcome =
                result.description.empty() ? (sent ? "sent" : "not sent") : result.description;
        }
    } catch (const std::exception& failure) {
        sent = false;
        outcome = failure.what();
    } catch (...) {
        sent = false;
        outcome = "not sent";
    }
    // The title only tells that a mail is on its way; put it back once the attempt is over.
    s_.view.mainTitle = previousTitle;
    s_.journal.Record("mail", std::string(isOk ? "OK" : "alarm") + " mail for " +
                                  std::to_string(n) + " (" + text + "): " + outcome + pacingNote);
    std::string status;
    if (sent) {
        status = isOk ? "(Sending Ok Email)" : "(Sending Email alert)";
    } else {
        status =
            source == AlertSource::OutOfRange ? "Email Alarm Not sent" : "Email Alert Not sent";
    }
    AddStatusLine(TabOf(source, kind), slot, status);
    return sent;
}

bool AlertDispatcher::SendAlertPage(AlertSource source, int kind, int n, int slot, bool isOk) {
    if (source != AlertSource::Connection && Held(n, isOk, "page")) {
        return false;
    }
    std::string pacingNote;
    if (!PaceAlarm(AlertPacing::Channel::Page, n, kind, isOk, pacingNote)) {
        return false;  // a repeat too soon after the last: counted, told with the next one
    }
    // Every route other than the numeric pager places the caller-ID phone call.
    const bool phone = !s_.prefs.optionNumeric;
    PageResult result;
    try {
        result = s_.pager.SendNumericPage(n, kind, phone);
    } catch (const std::exception& failure) {
        result = {false, failure.what()};
    } catch (...) {
        result = {false, "the page failed"};
    }
    s_.journal.Record(
        "page", std::string(phone ? "phone call" : "numeric page") + " for " + std::to_string(n) +
                    (isOk ? " (OK)" : " (alarm)") + ": " + (result.sent ? "sent" : "not sent") +
                    (result.description.empty() ? "" : " - " + result.description) + pacingNote);

    const Tab tab = TabOf(source, kind);
    if (!phone) {
        // A numeric page that went out leaves no line; one that failed must not pass unseen.
        if (!result.sent) {
            AddStatusLine(tab, slot, "Page Alert Not sent");
        }
        return result.sent;
    }
    if (source == AlertSource::OutOfRange) {
        if (!result.sent) {
            s_.dialogs.ShowMessage(
                "An error returned from SendPhonePage inside of CheckWaterEvents.");
        }
        return result.sent;
    }
    const PageTexts texts = PhonePageTexts(source);
    if (isOk) {
        AddStatusLine(tab, slot, result.sent ? texts.okSent : texts.okFailed);
    } else {
        AddStatusLine(tab, slot, result.sent ? texts.alarmSent : texts.alarmFailed);
    }
    return result.sent;
}

bool AlertDispatcher::SendMail(const std::string& text, int kind, int n, int slot, bool isOk) {
    return SendMailTo(text, kind, n, slot, isOk, {});
}

bool AlertDispatcher::SendMailTo(const std::string& text, int kind, int n, int /*slot*/, bool isOk,
                                 const std::string& escalationRecipient) {
    MailMessage message;
    try {
        const Preferences& p = s_.prefs;
        std::string body;
        if (p.IncludeTimeDate) {
            const LocalDateTime now = s_.clock.Now();
            body += s_.clock.ShortDate(now) + "\r\n" + s_.clock.LongTime(now) + "\r\n";
        }
        if (p.IncludeReading) {
            body += " Current Reading: " + text + s_.view.Row(n).unit + "\r\n";
        }
        if (const char* alertName = AlertNameOfKind(kind)) {
            const DeviceRecord* record = s_.model.Entry(n);
            body += std::string(" ") + alertName + "\r\n";
            body += " " + (record ? record->deviceName : std::string()) + "\r\n";
        }
        message.body = body;
        if (isOk) {
            message.subject =
                p.IncludeInSubject ? "Sensor reading OK: " + text : "**Sensor reading OK**";
        } else {
            message.subject = p.IncludeInSubject ? "Warning: " + text : "Warning";
        }
        message.recipients.push_back({"smtp:" + p.EmailAddress, p.EmailAddress, false});
        if (!p.CCEmailAddress.empty()) {
            message.recipients.push_back({"smtp:" + p.CCEmailAddress, p.CCEmailAddress, true});
        }
        if (!escalationRecipient.empty()) {
            message.subject = "Escalated: " + message.subject;
            message.recipients = {{"smtp:" + escalationRecipient, escalationRecipient, false}};
        }
    } catch (...) {
        s_.dialogs.ShowMessage("Error in SendMail");
        s_.dialogs.ShowMessage(
            "PLEASE NOTE: Your alerts will not be sent until you get this problem resolved.");
        return false;
    }

    MailResult result;
    try {
        result = s_.systemMail.Send(message);
    } catch (const std::exception& failure) {
        result = {false, MailError::Other, failure.what()};
    } catch (...) {
        result = {false, MailError::Other, "The mail client failed."};
    }
    if (result.sent) {
        return true;
    }
    s_.dialogs.ShowMessage(result.description, MessageIcon::None, true);
    if (result.error == MailError::LogonCancelled) {
        s_.dialogs.ShowMessage("Cancelled Login");
    } else if (result.error == MailError::RecipientNotFound && s_.focusRecipientField) {
        s_.focusRecipientField();
    }
    s_.dialogs.ShowMessage(
        "PLEASE NOTE: Your alerts will not be sent until you get this problem resolved.");
    return false;
}

void AlertDispatcher::ConnectionAlert(int n, DeviceKind kind, const std::string& text, bool isOk) {
    const Preferences& p = s_.prefs;
    if (p.chkLocalMonitoring) {
        return;
    }
    // A lost port is recorded, but it is no alarm of the sensor's readings: it neither starts
    // nor ends one, and is never held, acknowledged or escalated.
    if (n >= 1 && n <= 10) {
        Record(n, isOk ? AlarmEvent::Ok : AlarmEvent::Alarm, text);
        Publish(n, text, isOk);
    }
    // The switches of the sensor's own alerts decide; a combined sensor has two sets.
    bool onScreen = false;
    bool email = false;
    bool page = false;
    auto use = [&](int family) {
        onScreen = onScreen || (p.chkOnScreenAlert[family] && availability_.onScreen[family]);
        email = email || (p.chkEmailAlert[family] && availability_.email[family]);
        page = page || (p.chkPageAlert[family] && availability_.page[family]);
    };
    switch (kind) {
        case DeviceKind::Combined:
            use(KindCode(DeviceKind::Temperature));
            use(KindCode(DeviceKind::Humidity));
            break;
        case DeviceKind::Proximity:
            onScreen = p.chkOnScreenOnProx && availability_.onScreenOnProx;
            email = p.chkEmailOnProx && availability_.emailOnProx;
            page = p.chkPageOnProx && availability_.pageOnProx;
            break;
        case DeviceKind::Accelerometer:
            use(KindCode(DeviceKind::Accelerometer));
            use(0);  // bump events
            break;
        default:
            if (const int family = KindCode(kind); family >= 1 && family <= 9) {
                use(family);
            }
            break;
    }
    const int code = KindCode(kind);
    const Tab tab = TabOf(AlertSource::Connection, code);
    const int slot = s_.model.SlotOf(n, tab);
    if (onScreen) {
        try {
            AlarmWindowView& alarm = s_.view.alarm;
            alarm.firstLine = text;
            alarm.firstLineVisible = true;
            alarm.visible = true;
            s_.journal.Record("alarm", isOk ? "OK: " + text : text);
            s_.view.Changed();
            StartSound(!isOk);
        } catch (...) {
            // The other channels still go out.
        }
        AddStatusLine(tab, slot, isOk ? "(Sending Ok alert)" : "(Sending OnScreen alert)");
    }
    if (email) {
        SendAlertEmail(AlertSource::Connection, text, code, n, slot, isOk);
    }
    if (page) {
        SendAlertPage(AlertSource::Connection, code, n, slot, isOk);
    }
}

void AlertDispatcher::CloseAlarmWindow() {
    s_.sound.Stop();
    AlarmWindowView& alarm = s_.view.alarm;
    alarm.visible = false;
    alarm.firstLine.clear();
    alarm.firstLineVisible = false;
    alarm.secondLine.clear();
    alarm.secondLineVisible = false;
    s_.view.Changed();
}

void AlertDispatcher::Continue() {
    try {
        CloseAlarmWindow();
    } catch (...) {
    }
}

void AlertDispatcher::DisableAllAlarms() {
    try {
        CloseAlarmWindow();
        s_.prefs.chkLocalMonitoring = true;
        s_.settings.SaveSetting("Program Setup", "chkLocalMonitoring", "1");
        if (s_.alertsDisabledChanged) {
            s_.alertsDisabledChanged();
        }
        s_.view.setupWindowOnAlertsPage = true;
        s_.view.setupWindowVisible = true;
        s_.view.Changed();
        s_.journal.Record("alarm", "all alerts disabled");
        s_.dialogs.ShowMessage(
            "To re-enable alerts, uncheck _Disable All Alerts_ in Sensor Setup, under the "
            "_Alerts_&_Threshold_ tab.");
    } catch (...) {
    }
}

// ---- Acknowledge, snooze and escalation ----

std::string AlertDispatcher::SensorLabel(int n) const {
    const DeviceRecord* record = s_.model.Entry(n);
    const std::string name = record ? record->deviceName : std::string();
    return std::to_string(n) + (name.empty() ? "" : " " + name);
}

std::string AlertDispatcher::KindName(int n) const {
    const DeviceRecord* record = s_.model.Entry(n);
    if (!record) {
        return "";
    }
    // The two halves of a combined sensor alarm on their own: each is named by its own half.
    if (record->deviceType == kTypeComboTemperature) {
        return TabName(Tab::Temperature);
    }
    if (record->deviceType == kTypeComboHumidity) {
        return TabName(Tab::Humidity);
    }
    const auto tab = TabOfKind(s_.model.EffectiveKind(n));
    return tab ? TabName(*tab) : "";
}

std::string AlertDispatcher::ShortTime(const LocalDateTime& when) const {
    // The clock's long time without its seconds: "4:30:00 PM" -> "4:30 PM", "14:30:00" -> "14:30".
    std::string text = s_.clock.LongTime(when);
    const std::size_t last = text.rfind(':');
    if (last != std::string::npos && last != text.find(':') && last + 2 < text.size() &&
        std::isdigit(static_cast<unsigned char>(text[last + 1])) &&
        std::isdigit(static_cast<unsigned char>(text[last + 2]))) {
        text.erase(last, 3);
    }
    return text;
}

void AlertDispatcher::Record(int n, AlarmEvent event, const std::string& text,
                             const std::string& user, const std::string& comment) {
    if (history == nullptr) {
        return;
    }
    try {
        AlarmRecord record;
        record.time = s_.clock.Now();
        record.entry = n;
        const DeviceRecord* device = s_.model.Entry(n);
        record.sensor = device ? device->deviceName : std::string();
        record.kind = states_.Of(n).kind.empty() ? KindName(n) : states_.Of(n).kind;
        record.event = event;
        record.text = text;
        record.user = user;
        record.comment = comment;
        if (const std::string failure = history->Append(record); !failure.empty()) {
            s_.journal.Record("alarm", "Alarm history not written: " + failure);
        }
    } catch (const std::exception& failure) {
        s_.journal.Record("alarm", std::string("Alarm history not written: ") + failure.what());
    } catch (...) {
        // The history is a record of the alarm, never a reason to stop it.
    }
}

void AlertDispatcher::NoteAlarm(int n, const std::string& kind, const std::string& text, bool isOk,
                                bool event) {
    try {
        if (!isOk) {
            const bool started = states_.Alarm(n, kind, text, event, s_.clock.Now());
            // A lasting alarm is recorded once; each event is news of its own.
            if (started || event) {
                Record(n, AlarmEvent::Alarm, text);
            }
            if (started) {
                StartEscalationTimer(n);
            }
        } else {
            const bool untilNormal = states_.Of(n).snoozed && !states_.Of(n).snoozedUntil;
            const bool ended = states_.Ok(n);
            if (ended) {
                Record(n, AlarmEvent::Ok, text);
            }
            if (timers != nullptr && states_.EscalationTimer(n) != 0) {
                timers->CancelTimer(states_.EscalationTimer(n));
            }
            states_.EscalationTimer(n) = 0;
            if (untilNormal) {
                Record(n, AlarmEvent::SnoozeEnded, "back to normal");
                s_.journal.Record("alarm",
                                  "snooze of " + SensorLabel(n) + " ended: back to normal");
                ShowSnoozeNote(n);
            }
        }
        UpdateAcknowledgeButton();
    } catch (...) {
        // Bookkeeping never stops the alarm it follows.
    }
}

bool AlertDispatcher::Held(int n, bool isOk, const char* channel) {
    if (n < 1 || n > 10 || !(isOk ? states_.HoldsOk(n) : states_.HoldsAlarm(n))) {
        return false;
    }
    const SensorAlarmState& state = states_.Of(n);
    s_.journal.Record("alert", std::string(channel) + (isOk ? " OK notice" : " alarm") + " of " +
                                   SensorLabel(n) +
                                   " held: " + (state.snoozed ? "snoozed" : "acknowledged"));
    return true;
}

void AlertDispatcher::UpdateAcknowledgeButton() {
    const bool enabled = !states_.Unacknowledged().empty();
    if (s_.view.alarm.acknowledgeEnabled != enabled) {
        s_.view.alarm.acknowledgeEnabled = enabled;
        s_.view.Changed();
    }
}

bool AlertDispatcher::Acknowledge(int n, const std::string& comment, const std::string& user) {
    if (!states_.Of(n).inAlarm) {
        s_.dialogs.ShowMessage("Nothing to acknowledge for " + SensorLabel(n) + ".");
        return false;
    }
    const std::string text = states_.Of(n).text;
    states_.Acknowledge(n, user, comment, s_.clock.Now());
    if (timers != nullptr && states_.EscalationTimer(n) != 0) {
        timers->CancelTimer(states_.EscalationTimer(n));
    }
    states_.EscalationTimer(n) = 0;
    try {
        Record(n, AlarmEvent::Acknowledged, text, user, comment);
        s_.journal.Record("alarm", "acknowledged " + SensorLabel(n) + " by " +
                                       (user.empty() ? std::string("an unknown user") : user) +
                                       (comment.empty() ? "" : ": " + comment));
        // Someone has seen it: the sound stops, and with nothing else unseen the window goes.
        if (states_.Unacknowledged().empty()) {
            CloseAlarmWindow();
        } else {
            s_.sound.Stop();
        }
    } catch (...) {
    }
    UpdateAcknowledgeButton();
    return true;
}

bool AlertDispatcher::AcknowledgeAll(const std::string& comment, const std::string& user) {
    const std::vector<int> entries = states_.Unacknowledged();
    if (entries.empty()) {
        s_.dialogs.ShowMessage("Nothing to acknowledge.");
        return false;
    }
    for (const int n : entries) {
        Acknowledge(n, comment, user);
    }
    return true;
}

void AlertDispatcher::ShowSnoozeNote(int n) {
    SummaryRow& row = s_.view.Row(n);
    const SensorAlarmState& state = states_.Of(n);
    row.snoozed = state.snoozed;
    if (!state.snoozed) {
        row.note.clear();
    } else if (state.snoozedUntil) {
        row.note = "snoozed until " + ShortTime(*state.snoozedUntil);
    } else {
        row.note = "snoozed until back to normal";
    }
    s_.view.Changed();
}

bool AlertDispatcher::Snooze(int n, std::optional<std::chrono::minutes> duration) {
    const DeviceRecord* device = s_.model.Entry(n);
    if (device == nullptr || device->deviceType.empty() || (duration && duration->count() <= 0)) {
        return false;  // no sensor there, or no time to snooze for
    }
    if (timers != nullptr && states_.SnoozeTimer(n) != 0) {
        timers->CancelTimer(states_.SnoozeTimer(n));
    }
    states_.SnoozeTimer(n) = 0;
    std::optional<LocalDateTime> until;
    if (duration) {
        until = AddMilliseconds(
            s_.clock.Now(),
            std::chrono::duration_cast<std::chrono::milliseconds>(*duration).count());
    }
    states_.Snooze(n, until);
    if (duration && timers != nullptr) {
        states_.SnoozeTimer(n) = timers->StartTimer(*duration, [this, n] {
            states_.SnoozeTimer(n) = 0;
            EndSnoozeFor(n, "time is up");
        });
    }
    // A snoozed alarm does not escalate; the escalation starts again if the snooze ends first.
    if (timers != nullptr && states_.EscalationTimer(n) != 0) {
        timers->CancelTimer(states_.EscalationTimer(n));
    }
    states_.EscalationTimer(n) = 0;
    const std::string text = duration
                                 ? "for " + DurationText(*duration) + ", until " + ShortTime(*until)
                                 : "until back to normal";
    const std::string user = userName ? userName() : std::string();
    Record(n, AlarmEvent::Snoozed, text, user);
    s_.journal.Record(
        "alarm", "snoozed " + SensorLabel(n) + " " + text + (user.empty() ? "" : " by " + user));
    if (states_.Of(n).inAlarm) {
        s_.sound.Stop();
    }
    ShowSnoozeNote(n);
    return true;
}

bool AlertDispatcher::EndSnooze(int n) {
    if (!states_.Of(n).snoozed) {
        return false;
    }
    const std::string user = userName ? userName() : std::string();
    EndSnoozeFor(n, user.empty() ? "ended early" : "ended early by " + user);
    return true;
}

void AlertDispatcher::SensorLost(int n) {
    if (states_.Of(n).snoozed) {
        EndSnoozeFor(n, "the sensor's port was lost");
    }
}

void AlertDispatcher::EndSnoozeFor(int n, const std::string& why) {
    if (timers != nullptr && states_.SnoozeTimer(n) != 0) {
        timers->CancelTimer(states_.SnoozeTimer(n));
    }
    states_.SnoozeTimer(n) = 0;
    if (!states_.EndSnooze(n)) {
        return;
    }
    Record(n, AlarmEvent::SnoozeEnded, why);
    s_.journal.Record("alarm", "snooze of " + SensorLabel(n) + " ended: " + why);
    ShowSnoozeNote(n);
    if (states_.Of(n).inAlarm && !states_.Of(n).acknowledged) {
        // Still out of range: its next reading alerts again, and the escalation starts over.
        if (rearmAlarms) {
            rearmAlarms(n);
        }
        StartEscalationTimer(n);
    }
}

void AlertDispatcher::StartEscalationTimer(int n) {
    if (timers == nullptr) {
        return;
    }
    if (states_.EscalationTimer(n) != 0) {
        timers->CancelTimer(states_.EscalationTimer(n));
        states_.EscalationTimer(n) = 0;
    }
    const std::string after(Trim(s_.prefs.EscalateAfter));
    if (after.empty() || after.find_first_not_of("0123456789") != std::string::npos ||
        after.size() > 6) {
        return;
    }
    const long long minutes = std::stoll(after);
    if (minutes <= 0 || !states_.Escalates(n)) {
        return;
    }
    states_.EscalationTimer(n) = timers->StartTimer(std::chrono::minutes(minutes), [this, n] {
        states_.EscalationTimer(n) = 0;
        Escalate(n);
    });
}

void AlertDispatcher::Escalate(int n) {
    if (!states_.Escalates(n) || s_.prefs.chkLocalMonitoring) {
        return;
    }
    states_.MarkEscalated(n);
    const SensorAlarmState& state = states_.Of(n);
    const std::string kind = state.kind;
    const std::string text = state.text;
    const int code = KindCodeOfName(kind);
    const Tab tab = TabOf(AlertSource::Connection, code);
    const int slot = s_.model.SlotOf(n, tab);
    const std::string recipient(Trim(s_.prefs.EscalationEmail));
    const std::string number(Trim(s_.prefs.EscalationNumToCall));
    std::string outcome;
    if (!recipient.empty()) {
        bool sent = false;
        try {
            if (s_.prefs.optUseSMTP) {
                AlertMail mail{text, code, n, slot, false, false};
                mail.escalationRecipient = recipient;
                sent = s_.smtp.SendMailSmtp(mail).sent;
            } else {
                sent = SendMailTo(text, code, n, slot, false, recipient);
            }
        } catch (...) {
            sent = false;
        }
        outcome += "mail to " + recipient + (sent ? " handed over" : " not sent");
    }
    if (!number.empty()) {
        PageResult result;
        try {
            result = s_.pager.SendPageTo(number, n, code, !s_.prefs.optionNumeric);
        } catch (...) {
            result = {false, "the page failed"};
        }
        outcome += std::string(outcome.empty() ? "" : "; ") + "page to " + number +
                   (result.sent ? " sent" : " not sent") +
                   (result.description.empty() ? "" : " - " + result.description);
    }
    if (outcome.empty()) {
        outcome = "no escalation recipient or number is set";
    }
    Record(n, AlarmEvent::Escalated, text + ": " + outcome);
    s_.journal.Record("alarm", "escalated " + SensorLabel(n) + " (" + text + "): " + outcome);
}

}  // namespace vigiltron
