#include "alerts/UnconfiguredTransports.h"

#include <utility>

#include "core/EventLoop.h"

namespace vigiltron {

MailResult UnconfiguredMailTransport::Send(const MailMessage&) {
    return {false, MailError::Other,
            "No system mail transport is available; the e-mail was not sent."};
}

MailResult UnconfiguredSmtpMailer::SendMailSmtp(const AlertMail&) {
    return {false, MailError::Other, "No SMTP transport is available; the e-mail was not sent."};
}

void UnconfiguredSmtpClient::Send(SmtpRequest, Progress, Done done) {
    loop_.Post([done = std::move(done)] {
        if (done) {
            done({false, "No SMTP transport is available; the e-mail was not sent."});
        }
    });
}

PageResult UnconfiguredPager::SendNumericPage(int, int, bool phone) {
    return {false, phone ? "No modem transport is available; the phone call was not placed."
                         : "No modem transport is available; the page was not sent."};
}

}  // namespace vigiltron
