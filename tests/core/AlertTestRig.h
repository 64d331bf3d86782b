#pragma once

#include <string>
#include <utility>
#include <vector>

#include "alerts/AlertDispatcher.h"
#include "alerts/MailTransport.h"
#include "alerts/PagerTransport.h"
#include "alerts/SoundPlayer.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/Journal.h"
#include "core/ViewModel.h"
#include "sim/RecordingJournal.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron::testing {

class RecordingSound : public SoundPlayer {
public:
    void Play(bool looping) override { calls.push_back(looping ? "loop" : "once"); }
    void Stop() override { calls.push_back("stop"); }
    std::vector<std::string> calls;
};

class RecordingMail : public MailTransport {
public:
    MailResult Send(const MailMessage& message) override {
        messages.push_back(message);
        titlesWhileSending.push_back(view ? view->mainTitle : "");
        return next;
    }
    const ViewModel* view = nullptr;
    MailResult next{true, MailError::None, ""};
    std::vector<MailMessage> messages;
    std::vector<std::string> titlesWhileSending;
};

class RecordingSmtp : public SmtpAlertMailer {
public:
    MailResult SendMailSmtp(const AlertMail& mail) override {
        mails.push_back(mail);
        if (!results.empty()) {
            MailResult r = results.front();
            results.erase(results.begin());
            return r;
        }
        return {true, MailError::None, "handed over"};
    }
    std::vector<AlertMail> mails;
    std::vector<MailResult> results;  // consumed in order; afterwards every mail is sent
};

class RecordingPager : public PagerTransport {
public:
    struct Call {
        int n;
        int kind;
        bool phone;
    };
    PageResult SendNumericPage(int n, int kind, bool phone) override {
        calls.push_back({n, kind, phone});
        return {succeed, succeed ? "" : "line busy"};
    }
    bool succeed = true;
    std::vector<Call> calls;
};

// Everything the evaluator and the dispatcher need, with recording fakes for every channel.
struct AlertRig {
    AlertRig() {
        mail.view = &view;
        prefs.EmailAddress = "ops@example.com";
    }

    // Places a device at n on its tab, as the add window would.
    void Place(int n, const char* type, const std::string& subIndex, const std::string& name) {
        DeviceRecord r;
        r.deviceType = type;
        r.kind = KindFromDeviceType(type);
        r.subIndex = subIndex;
        r.deviceName = name;
        model.SetEntry(n, r);
        model.TakeSlot(n);
    }

    // Turns on the three channels of an alert-option index.
    void EnableChannels(int index) {
        prefs.chkOnScreenAlert[index] = true;
        prefs.chkEmailAlert[index] = true;
        prefs.chkPageAlert[index] = true;
    }

    const std::deque<std::string>& Log(Tab tab, int slot) const { return view.Slot(tab, slot).log; }

    int CountLines(Tab tab, int slot, const std::string& text) const {
        int count = 0;
        for (const auto& line : Log(tab, slot)) {
            count += line == text ? 1 : 0;
        }
        return count;
    }

    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 8, 9, 5, 7, 0}};
    Preferences prefs;
    ViewModel view;
    MemorySettingsTree settings;
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    DeviceModel model{dialogs, settings};
    RecordingSound sound;
    RecordingMail mail;
    RecordingSmtp smtp;
    RecordingPager pager;
    int alertsDisabledCalls = 0;
    int recipientFocusCalls = 0;
    AlertDispatcher alerts{AlertDispatcher::Services{
        prefs, view, model, dialogs, journal, clock, settings, sound, mail, smtp, pager,
        [this] { ++alertsDisabledCalls; }, [this] { ++recipientFocusCalls; }}};
    bool trayMode = false;
    std::vector<std::pair<std::string, std::string>> errorEntries;
    ThresholdEvaluator eval{
        ThresholdEvaluator::Services{prefs, view, model, alerts,
                                     [this](const std::string& code, const std::string& value) {
                                         errorEntries.emplace_back(code, value);
                                     },
                                     [this] { return trayMode; }}};
};

}  // namespace vigiltron::testing
