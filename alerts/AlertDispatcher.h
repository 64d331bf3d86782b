#pragma once

#include <array>
#include <functional>
#include <string>

#include "alerts/AlertPacing.h"
#include "alerts/MailTransport.h"
#include "alerts/PagerTransport.h"
#include "alerts/SoundPlayer.h"
#include "core/DeviceKind.h"

namespace vigiltron {

class Clock;
class DeviceModel;
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

    // Spaces repeated e-mail and page alarms of one sensor and kind (`AlertRepeatSeconds`).
    AlertPacing pacing;

private:
    // Whether an alarm may go out through `channel` now; journals what was held back.
    bool PaceAlarm(AlertPacing::Channel channel, int n, int kind, bool isOk, std::string& note);
    void CloseAlarmWindow();
    void StartSound(bool looping);

    Services s_;
    AlertAvailability availability_;
};

}  // namespace vigiltron
