#include "alerts/AlertDispatcher.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>

#include "config/Preferences.h"
#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
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
                    alarm.firstLine = name + " is back to normal";
                    alarm.secondLineVisible = false;
                }
                break;
            }
            case AlertSource::Water:
                alarm.secondLineVisible = false;
                alarm.firstLine = "Water no longer detected";
                break;
            case AlertSource::Tilt:
                alarm.secondLineVisible = false;
                alarm.firstLine = "Accelerometer reading \ris now OK";
                break;
            case AlertSource::Distance:
                alarm.firstLine = "Distance back to normal";
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

bool AlertDispatcher::SendMail(const std::string& text, int kind, int n, int /*slot*/, bool isOk) {
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

}  // namespace vigiltron
