#pragma once

#include "alerts/MailTransport.h"
#include "alerts/PagerTransport.h"

namespace vigiltron {

// Stand-ins used while no real mail or modem transport is wired in. They never claim success:
// every attempt is reported as not sent, with a description saying why.

class UnconfiguredMailTransport : public MailTransport {
public:
    MailResult Send(const MailMessage& message) override;
};

class UnconfiguredSmtpMailer : public SmtpAlertMailer {
public:
    MailResult SendMailSmtp(const AlertMail& mail) override;
};

class UnconfiguredPager : public PagerTransport {
public:
    PageResult SendNumericPage(int setupIndex, int kind, bool phone) override;
};

}  // namespace vigiltron
