#pragma once

#include <functional>
#include <memory>
#include <string>

#include "alerts/MailTransport.h"
#include "alerts/SmtpClient.h"

namespace vigiltron {

class Clock;
class DeviceModel;
class Dialogs;
class Journal;
class SettingsTree;
class TextFileStore;
class ViewModel;
struct Preferences;

// The SMTP mail route (`SendMailSmtp`) and the e-mail window's SMTP commands. Composes the alarm,
// OK and test mails and hands them to the SMTP client. A hand-over counts as sent for the
// caller; the client's progress texts go to `EmailStatusList`, and the final outcome of every
// mail ("Mail sent to ..." or "Mail not sent: ...") goes to that list, the journal and the
// sensor slot's log, so a mail that fails later is never silent.
class SmtpMailer : public SmtpAlertMailer {
public:
    struct Services {
        Preferences& prefs;
        ViewModel& view;
        const DeviceModel& model;
        Dialogs& dialogs;
        Journal& journal;
        const Clock& clock;
        SettingsTree& settings;
        TextFileStore& files;
        SmtpClient& client;
        std::string applicationFolder;
        // Adds a line to `EmailStatusList` (its 1000-line rule lives with the window's rules).
        std::function<void(const std::string& text)> addStatus;
        // Writes an alert mail's outcome to the log of the slot that raised it.
        std::function<void(int kind, int slot, const std::string& text)> slotOutcome;
    };

    // Used when `SMTPTimeoutSeconds` is not a positive whole number.
    static constexpr int kDefaultTimeoutSeconds = 30;

    explicit SmtpMailer(Services services);

    MailResult SendMailSmtp(const AlertMail& mail) override;

    // "Test SMTP Email Alert": saves the server shown as `SMTPHostServer` and sends the test mail.
    void TestSmtpEmail(const std::string& server);
    // "Create Log File": writes `EmailStatusList` to "smtplog.log" in the application folder.
    void CreateLogFile();
    // Told the final outcome of each test mail (true: the server took it).
    std::function<void(bool sent)> testFinished;

private:
    SmtpRequest Compose(const AlertMail& mail);
    void Finish(const AlertMail& mail, bool test, const std::string& recipients,
                const SmtpOutcome& outcome);
    void AddStatus(const std::string& text);

    Services s_;
    bool testMail_ = false;
    // Outcomes of mails still in flight when the mailer goes are dropped, not delivered.
    std::shared_ptr<SmtpMailer*> self_;
};

}  // namespace vigiltron
