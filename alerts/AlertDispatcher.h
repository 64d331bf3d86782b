#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "alerts/AlarmStates.h"
#include "alerts/AlertPacing.h"
#include "alerts/MailTransport.h"
#include "alerts/PagerTransport.h"
#include "alerts/SoundPlayer.h"
#include "core/DeviceKind.h"
#include "reporting/AlarmHistory.h"

namespace vigiltron {

class Clock;
class DeviceModel;
class EventLoop;
class Dialogs;
class Journal;
class SettingsTree;
class ViewModel;
struct Preferences;

// What raised an alert. Each source has its own alarm-window text rule and status lines.
enum class AlertSource {
    Temperature,
    Humidity,
    Water,
    Tilt,
    Bump,
    Distance,
    OutOfRange,
    Proximity,
    // A sensor's port was lost, or came back.
    Connection
};

// Whether each alert switch can be used right now. The setup window greys switches out; a
// channel is used only when its switch is on and available. Arrays are indexed like the
// switches: 1 temperature, 2 humidity, 6 water, 8 tilt, 9 distance, 0 bump.
struct AlertAvailability {
    AlertAvailability() {
        onScreen.fill(true);
        email.fill(true);
        page.fill(true);
    }
    std::array<bool, 10> onScreen{};
    std::array<bool, 10> email{};
    std::array<bool, 10> page{};
    bool onScreenOnProx = true;
    bool emailOnProx = true;
    bool pageOnProx = true;
    bool useAlerts = true;  // "Local Audible Alert"
};

// Delivers the alarms and "OK" notices that threshold evaluation decides on: the alarm window
// with its sound, e-mail (system mail client or SMTP) and the modem page. Every delivery leaves
// a status line in the sensor slot's on-screen log saying what was attempted and how it went.
class AlertDispatcher {
public:
    struct Services {
        Preferences& prefs;
        ViewModel& view;
        DeviceModel& model;
        Dialogs& dialogs;
        Journal& journal;
        const Clock& clock;
        SettingsTree& settings;
        SoundPlayer& sound;
        MailTransport& systemMail;  // the mail-client route, used when `optUseSMTP` is off
        SmtpAlertMailer& smtp;      // the SMTP route
        PagerTransport& pager;
        // Called after "Disable All Alarms" turned `chkLocalMonitoring` on, so the parts that
        // keep a copy of it can follow.
        std::function<void()> alertsDisabledChanged;
        // Puts the focus on the recipient field of the e-mail setup window (unknown recipient).
        std::function<void()> focusRecipientField;
    };

    explicit AlertDispatcher(Services services);

    AlertAvailability& Availability() { return availability_; }
    const AlertAvailability& Availability() const { return availability_; }

    // The on-screen alarm: sets the alarm window's text by the source's rule, shows it, starts
    // the sound (looping; once for proximity) when the audible alert is on, and writes
    // "(Sending OnScreen alert)" to the slot's log. `kind` picks the tab for proximity (3 or 9).
    void RaiseOnScreenAlarm(AlertSource source, const std::string& text, int slot, int kind = 0);
    // The on-screen "OK" notice of temperature, humidity, water, tilt or distance.
    void ShowOkNotice(AlertSource source, int slot);

    // The alarm or OK e-mail through the selected route; writes its status line. True when sent.
    bool SendAlertEmail(AlertSource source, const std::string& text, int kind, int n, int slot,
                        bool isOk, bool combo = false);
    // The alarm or OK page through the selected route; writes its status line. True when sent.
    bool SendAlertPage(AlertSource source, int kind, int n, int slot, bool isOk);

    // The mail-client route: composes subject and body and hands them over. True when sent.
    bool SendMail(const std::string& text, int kind, int n, int slot, bool isOk);

    // A sensor whose port was lost ("Sensor Boiler room on COM5 is no longer connected") or
    // that came back (`isOk`, "... is connected again"), through the channels switched on for
    // its kind: the alarm window, e-mail and page. Nothing goes out while all alerts are
    // disabled; the Summary still shows the loss.
    void ConnectionAlert(int n, DeviceKind kind, const std::string& text, bool isOk);

    // The alarm window's buttons. Closing the window counts as "Continue".
    void Continue();
    void DisableAllAlarms();

    // Adds a status line at the top of a slot's on-screen log.
    void AddStatusLine(Tab tab, int slot, const std::string& text);
    // How a mail that went out through the SMTP route ended ("Mail sent to ..." or "Mail not
    // sent: ..."), known only after the alert itself is over: a status line in the log of the
    // slot that raised it, on the tab of `kind`.
    void MailOutcome(int kind, int slot, const std::string& text);

    static Tab TabOf(AlertSource source, int kind = 0);
    // The alarm window's text of the "OK" notice of `source` ("Temperature is back to normal");
    // empty for sources without one.
    static std::string OkNoticeText(AlertSource source);

    // An alarm or "OK" notice of entry n was decided, whichever channels are switched on to
    // deliver it: `text` is the alarm window's wording. Nothing is told for n outside 1..10.
    void AnnounceAlert(int n, const std::string& text, bool isOk);
    // Where announced alarms and notices go (publishing); may be empty.
    std::function<void(int n, const std::string& text, bool isOk)> alertAnnounced;

    // Spaces repeated e-mail and page alarms of one sensor and kind (`AlertRepeatSeconds`).
    AlertPacing pacing;

    // ---- Acknowledge, snooze and escalation ----

    // Acknowledges the alarm of entry n in the name of `user`: the sound stops, and with "Keep
    // sending alerts" on its repeats are held until the sensor is back to normal. False (and
    // "Nothing to acknowledge for N Name.") when the entry is not in alarm.
    bool Acknowledge(int n, const std::string& comment, const std::string& user);
    // Acknowledges every entry in an unacknowledged alarm; false when there was none.
    bool AcknowledgeAll(const std::string& comment, const std::string& user);
    // Holds entry n's alerts for `duration`, or until it is back to normal (nothing). The sensor
    // is still read, logged and shown. False where there is no sensor.
    bool Snooze(int n, std::optional<std::chrono::minutes> duration);
    // Ends entry n's snooze early; false when it had none.
    bool EndSnooze(int n);
    // Entry n's port was lost: a snooze would hide whatever happens once it is back.
    void SensorLost(int n);
    const AlarmStates& States() const { return states_; }

    // Set by the program; each may be left empty.
    // Runs the snooze ends and the escalations; without it neither happens on its own.
    EventLoop* timers = nullptr;
    // Where alarms, notices, acknowledgements, snoozes and escalations are recorded.
    AlarmHistory* history = nullptr;
    // Who is at the keyboard, for snoozes from the windows.
    std::function<std::string()> userName;
    // A snooze ended with entry n still in alarm: the evaluator's latches must let its next
    // reading alert again.
    std::function<void(int n)> rearmAlarms;

private:
    // Tells `alertAnnounced`, which must never stop the alarm.
    void Publish(int n, const std::string& text, bool isOk);
    // The alarm states follow every alarm and notice that was decided.
    void NoteAlarm(int n, const std::string& kind, const std::string& text, bool isOk, bool event);
    // Whether a delivery of entry n must be held (snoozed, or an acknowledged alarm); journals it.
    bool Held(int n, bool isOk, const char* channel);
    void Record(int n, AlarmEvent event, const std::string& text, const std::string& user = {},
                const std::string& comment = {});
    std::string SensorLabel(int n) const;
    std::string KindName(int n) const;
    std::string ShortTime(const LocalDateTime& when) const;
    void StartEscalationTimer(int n);
    void Escalate(int n);
    void EndSnoozeFor(int n, const std::string& why);
    void ShowSnoozeNote(int n);
    void UpdateAcknowledgeButton();
    bool SendMailTo(const std::string& text, int kind, int n, int slot, bool isOk,
                    const std::string& escalationRecipient);
    // Whether an alarm may go out through `channel` now; journals what was held back.
    bool PaceAlarm(AlertPacing::Channel channel, int n, int kind, bool isOk, std::string& note);
    void CloseAlarmWindow();
    void StartSound(bool looping);

    Services s_;
    AlertAvailability availability_;
    AlarmStates states_;
};

}  // namespace vigiltron
