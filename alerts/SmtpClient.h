#pragma once

#include <functional>
#include <string>

namespace vigiltron {

// One mail for the SMTP client, with every setting as the user stored it.
struct SmtpRequest {
    // `SMTPHostServer` as stored: "host", "host:port" or "smtps://host[:port]" (implicit TLS).
    std::string server;
    bool authenticate = false;  // `chkAuthenticationReq`
    std::string user;
    std::string password;
    std::string from;
    std::string to;
    std::string cc;  // may be empty
    std::string subject;
    std::string body;  // lines end with CR LF; sent byte for byte
    // A private certificate authority to trust instead of the system's; empty: the system's.
    std::string caFile;
    int timeoutSeconds = 30;  // for every network step: connecting, each reply, the whole mail
};

// How one mail ended.
struct SmtpOutcome {
    bool sent = false;
    // When not sent: why, with the server's last reply when it gave one.
    std::string reason;
};

// Carries one mail to an SMTP server without holding up the engine. Progress texts (the SMTP
// dialogue, credentials left out) and the outcome arrive on the engine's thread, always after
// Send has returned; the outcome arrives exactly once per mail.
class SmtpClient {
public:
    using Progress = std::function<void(const std::string& text)>;
    using Done = std::function<void(const SmtpOutcome& outcome)>;

    virtual ~SmtpClient() = default;
    virtual void Send(SmtpRequest request, Progress progress, Done done) = 0;
};

}  // namespace vigiltron
