#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "alerts/MailTransport.h"

namespace vigiltron {

// The system mail route: hands the message to the system's `sendmail` command (Postfix, Exim,
// msmtp and the like all install one), which queues and delivers it. The first command found
// among the candidates is used; with none installed every mail is refused with a description.
class SendmailTransport : public MailTransport {
public:
    // The usual places, then `sendmail` anywhere on the PATH.
    static std::vector<std::string> DefaultCandidates();
    // How long the command may take before it is stopped and the mail counted as not sent.
    static constexpr std::chrono::seconds kDefaultTimeout{30};

    explicit SendmailTransport(std::vector<std::string> candidates = DefaultCandidates(),
                               std::chrono::milliseconds timeout = kDefaultTimeout);

    // Blocks until the command has taken the message (or failed, or run out of time).
    MailResult Send(const MailMessage& message) override;

private:
    std::string FindCommand() const;

    std::vector<std::string> candidates_;
    std::chrono::milliseconds timeout_;
};

}  // namespace vigiltron
