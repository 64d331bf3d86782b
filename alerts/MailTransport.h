#pragma once

#include <string>
#include <vector>

namespace vigiltron {

// Why a mail was not sent, as far as the program reacts to it differently.
enum class MailError {
    None,
    // The user cancelled the mail client's logon.
    LogonCancelled,
    // The mail client does not know the recipient.
    RecipientNotFound,
    // Anything else the mail system reported.
    Other,
};

struct MailResult {
    bool sent = false;
    MailError error = MailError::None;
    // What the mail system said: a progress text when sent, the error description otherwise.
    std::string description;
};

struct MailRecipient {
    // The address in the mail client's form, e.g. "smtp:ops@example.com".
    std::string address;
    std::string displayName;
    bool copy = false;  // a "CC" recipient
};

struct MailMessage {
    std::vector<MailRecipient> recipients;
    std::string subject;
    std::string body;  // lines end with CR LF
};

// The platform's mail client route: hands one composed message to the system's mail system.
// Runs to completion (the caller blocks); never throws.
class MailTransport {
public:
    virtual ~MailTransport() = default;
    virtual MailResult Send(const MailMessage& message) = 0;
};

// One alert mail as the SMTP route receives it; that route composes its own subject and body.
struct AlertMail {
    std::string text;  // the alert text (the reading for temperature and humidity)
    int kind = 0;      // device kind code: 1, 2, 3, 6, 8 or 9
    int setupIndex = 0;
    int slot = 0;
    bool isOk = false;  // an "OK" notice rather than an alarm
    bool combo = false;
    // An escalation goes to this recipient alone, marked as such; empty: the configured ones.
    std::string escalationRecipient = {};
};

// The SMTP mail route (`SendMailSmtp`). `sent` tells whether the mail was handed over.
class SmtpAlertMailer {
public:
    virtual ~SmtpAlertMailer() = default;
    virtual MailResult SendMailSmtp(const AlertMail& mail) = 0;
};

}  // namespace vigiltron
