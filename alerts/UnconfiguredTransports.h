#pragma once

#include "alerts/MailTransport.h"
#include "alerts/PagerTransport.h"
#include "alerts/SmtpClient.h"

namespace vigiltron {

class EventLoop;

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

// Reports every mail as not sent, later, through `loop` (for runs that never mail anyone).
class UnconfiguredSmtpClient : public SmtpClient {
public:
    explicit UnconfiguredSmtpClient(EventLoop& loop) : loop_(loop) {}
    void Send(SmtpRequest request, Progress progress, Done done) override;

private:
    EventLoop& loop_;
};

class UnconfiguredPager : public PagerTransport {
public:
    PageResult SendNumericPage(int setupIndex, int kind, bool phone) override;
};

}  // namespace vigiltron
