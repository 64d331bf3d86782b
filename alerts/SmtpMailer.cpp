#include "alerts/SmtpMailer.h"

#include <charconv>
#include <exception>
#include <utility>

#include "config/Preferences.h"
#include "config/TextFileStore.h"
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

constexpr const char* kCrLf = "\r\n";

int TimeoutSeconds(const std::string& stored, int fallback) {
    const std::string_view text = Trim(stored);
    int seconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seconds);
    return !text.empty() && error == std::errc() && stop == end && seconds > 0 ? seconds : fallback;
}

std::string LogFilePath(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + "smtplog.log";
    }
    return folder + "/smtplog.log";
}

}  // namespace

SmtpMailer::SmtpMailer(Services services)
    : s_(std::move(services)), self_(std::make_shared<SmtpMailer*>(this)) {}

void SmtpMailer::AddStatus(const std::string& text) {
    if (s_.addStatus) {
        s_.addStatus(text);
    }
}

SmtpRequest SmtpMailer::Compose(const AlertMail& mail) {
    const Preferences& p = s_.prefs;
    SmtpRequest request;
    if (testMail_) {
        testMail_ = false;
        request.subject = "Vigiltron Manager Test";
        request.body = "This is a Vigiltron Manager Email Test";
    } else {
        // This route shows what the Summary shows, not the text it was given.
        const SummaryRow& row = s_.view.Row(mail.setupIndex);
        const std::string reading = row.reading + row.unit;
        const DeviceRecord* record = s_.model.Entry(mail.setupIndex);
        const bool proximityMode =
            mail.kind == KindCode(DeviceKind::Distance) && record && record->proximityMode;
        const bool proximity = mail.kind == KindCode(DeviceKind::Proximity) || proximityMode;
        const bool water = mail.kind == KindCode(DeviceKind::Water);

        if (mail.isOk) {
            request.subject = p.IncludeInSubject && !water && !proximity
                                  ? "Sensor Reading OK: " + reading
                                  : "Sensor Reading OK";
        } else if (!p.IncludeInSubject) {
            request.subject = "Warning ";
        } else if (proximity) {
            request.subject = "Warning: Proximity Alert";
        } else if (water) {
            request.subject = "Warning: Water Alert";
        } else {
            request.subject = "Warning: Cur=" + reading;
        }

        std::string body;
        if (p.IncludeName) {
            if (const char* alertName = AlertNameOfKind(mail.kind)) {
                body += std::string(" ") + alertName + kCrLf;
                body += " " + (record ? record->deviceName : std::string()) + kCrLf;
                const bool temperature = mail.kind == KindCode(DeviceKind::Temperature);
                if (temperature || mail.kind == KindCode(DeviceKind::Humidity)) {
                    body += " Max Threshold Setting: " + (temperature ? p.TempMax : p.HumidMax) +
                            row.unit + kCrLf;
                    body += " Min Threshold Setting: " + (temperature ? p.TempMin : p.HumidMin) +
                            row.unit + kCrLf;
                }
            }
        }
        if (p.IncludeTimeDate) {
            const LocalDateTime now = s_.clock.Now();
            body += kCrLf + s_.clock.ShortDate(now) + kCrLf + s_.clock.LongTime(now) + kCrLf;
        }
        if (p.IncludeReading) {
            body += proximityMode ? std::string("*Warning: Proximity Alert*") + kCrLf
                                  : " Current Reading: " + reading + kCrLf;
        }
        request.body = std::move(body);
    }

    if (p.chkAuthenticationReq) {
        request.authenticate = true;
        request.user = p.SMTPUserName;
        request.password = p.SMTPUserPassword;
    }
    request.server = p.SMTPHostServer;
    request.from = p.SMTPFromEmailAddress;
    request.to = p.EmailAddress;
    request.cc = p.CCEmailAddress;
    if (!mail.escalationRecipient.empty()) {
        request.subject = "Escalated: " + request.subject;
        request.to = mail.escalationRecipient;
        request.cc.clear();
    }
    request.caFile = p.SMTPCAFile;
    request.timeoutSeconds = TimeoutSeconds(p.SMTPTimeoutSeconds, kDefaultTimeoutSeconds);
    return request;
}

MailResult SmtpMailer::SendMailSmtp(const AlertMail& mail) {
    const bool test = testMail_;
    try {
        SmtpRequest request = Compose(mail);
        std::string recipients(Trim(request.to));
        if (const std::string_view cc = Trim(request.cc); !cc.empty()) {
            recipients += ", " + std::string(cc);
        }
        std::weak_ptr<SmtpMailer*> self = self_;
        s_.client.Send(
            std::move(request),
            [self](const std::string& text) {
                if (const auto mailer = self.lock()) {
                    (*mailer)->AddStatus(text);
                }
            },
            [self, mail, test, recipients](const SmtpOutcome& outcome) {
                if (const auto mailer = self.lock()) {
                    (*mailer)->Finish(mail, test, recipients, outcome);
                }
            });
        return {true, MailError::None, "handed to the SMTP client"};
    } catch (const std::exception& failure) {
        AddStatus(std::string("Mail not sent: ") + failure.what());
        return {false, MailError::Other, failure.what()};
    } catch (...) {
        AddStatus("Mail not sent: the mail could not be handed over");
        return {false, MailError::Other, "the mail could not be handed over"};
    }
}

void SmtpMailer::Finish(const AlertMail& mail, bool test, const std::string& recipients,
                        const SmtpOutcome& outcome) {
    const std::string text =
        outcome.sent ? "Mail sent to " + recipients : "Mail not sent: " + outcome.reason;
    try {
        AddStatus(text);
        s_.journal.Record("mail", (test ? std::string("test mail: ")
                                        : std::string(mail.isOk ? "OK" : "alarm") + " mail for " +
                                              std::to_string(mail.setupIndex) + ": ") +
                                      text);
        if (!test && s_.slotOutcome) {
            s_.slotOutcome(mail.kind, mail.slot, text);
        }
        if (test && testFinished) {
            testFinished(outcome.sent);
        }
    } catch (...) {
        // Reporting an outcome must never stop the loop that delivered it.
    }
}

void SmtpMailer::TestSmtpEmail(const std::string& server) {
    try {
        AddStatus("Sending test email...");
        s_.prefs.SMTPHostServer = server;
        s_.settings.SaveSetting("Program Setup", "SMTPHostServer", server);
        testMail_ = true;
        if (!SendMailSmtp(AlertMail{}).sent) {
            s_.dialogs.ShowMessage("Error when sending test email.");
        }
    } catch (...) {
        testMail_ = false;
        s_.dialogs.ShowMessage("Error when sending test email.");
    }
}

void SmtpMailer::CreateLogFile() {
    const std::string path = LogFilePath(s_.applicationFolder);
    try {
        const LocalDateTime now = s_.clock.Now();
        std::string contents =
            s_.clock.ShortDate(now) + "," + s_.clock.LongTime(now) + kCrLf + kCrLf;
        for (const std::string& line : s_.view.contactSetup.emailStatus) {
            contents += line + kCrLf;
        }
        std::string error;
        if (!s_.files.WriteAtomically(path, contents, error)) {
            s_.dialogs.ShowMessage("The log file " + path + " could not be created: " + error);
            return;
        }
        s_.dialogs.ShowMessage("Log file created: " + path);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage("The log file " + path + " could not be created: " + failure.what());
    }
}

}  // namespace vigiltron
