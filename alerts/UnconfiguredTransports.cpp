#include "alerts/UnconfiguredTransports.h"

namespace vigiltron {

MailResult UnconfiguredMailTransport::Send(const MailMessage&) {
    return {false, MailError::Other,
            "No system mail transport is available; the e-mail was not sent."};
}

MailResult UnconfiguredSmtpMailer::SendMailSmtp(const AlertMail&) {
    return {false, MailError::Other, "No SMTP transport is available; the e-mail was not sent."};
}

PageResult UnconfiguredPager::SendNumericPage(int, int, bool phone) {
    return {false, phone ? "No modem transport is available; the phone call was not placed."
                         : "No modem transport is available; the page was not sent."};
}

}  // namespace vigiltron
