#include "platform/SendmailTransport.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <utility>

#include "platform/MailText.h"

namespace vigiltron {

namespace {

// sendmail's exit status for an unknown user (sysexits.h EX_NOUSER).
constexpr int kNoSuchUser = 67;

// The mail client's form "smtp:ops@example.com" names the address only.
std::string PlainAddress(const std::string& address) {
    if (address.size() > 5 && QString::fromStdString(address.substr(0, 5)).toLower() == "smtp:") {
        return address.substr(5);
    }
    return address;
}

}  // namespace

std::vector<std::string> SendmailTransport::DefaultCandidates() {
    return {"/usr/sbin/sendmail", "/usr/lib/sendmail", "sendmail"};
}

SendmailTransport::SendmailTransport(std::vector<std::string> candidates,
                                     std::chrono::milliseconds timeout)
    : candidates_(std::move(candidates)), timeout_(timeout) {}

std::string SendmailTransport::FindCommand() const {
    for (const std::string& candidate : candidates_) {
        const QString name = QString::fromStdString(candidate);
        if (!name.contains('/')) {
            const QString found = QStandardPaths::findExecutable(name);
            if (!found.isEmpty()) {
                return found.toStdString();
            }
            continue;
        }
        const QFileInfo file(name);
        if (file.isFile() && file.isExecutable()) {
            return candidate;
        }
    }
    return {};
}

MailResult SendmailTransport::Send(const MailMessage& message) {
    const std::string command = FindCommand();
    if (command.empty()) {
        return {false, MailError::Other,
                "No mail command (sendmail) is installed, so the e-mail could not be handed "
                "over. Install a mail transfer agent such as Postfix, Exim or msmtp-mta, or "
                "send alerts through an SMTP server."};
    }

    SmtpRequest mail;
    QStringList arguments = {"-i", "--"};
    for (const MailRecipient& recipient : message.recipients) {
        std::string& field = recipient.copy ? mail.cc : mail.to;
        for (const std::string& address : SplitAddresses(PlainAddress(recipient.address))) {
            field += (field.empty() ? "" : ", ") + address;
            arguments << QString::fromStdString(address);
        }
    }
    if (arguments.size() == 2) {
        return {false, MailError::RecipientNotFound, "No recipient is set for the e-mail."};
    }
    mail.subject = message.subject;
    mail.body = message.body;

    QProcess process;
    process.setProgram(QString::fromStdString(command));
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(int(timeout_.count()))) {
        return {false, MailError::Other,
                "The mail command " + command +
                    " could not be started: " + process.errorString().toStdString()};
    }
    const std::string text = MailText(mail);
    process.write(text.data(), qint64(text.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(int(timeout_.count()))) {
        process.kill();
        process.waitForFinished(1000);
        return {false, MailError::Other,
                "The mail command " + command + " did not finish within " +
                    std::to_string((timeout_.count() + 999) / 1000) +
                    " seconds; the e-mail was not sent."};
    }
    const std::string said =
        QString::fromLocal8Bit(process.readAllStandardError()).trimmed().toStdString();
    if (process.exitStatus() != QProcess::NormalExit) {
        return {false, MailError::Other,
                "The mail command " + command + " stopped unexpectedly; the e-mail was not sent."};
    }
    if (process.exitCode() != 0) {
        return {false,
                process.exitCode() == kNoSuchUser ? MailError::RecipientNotFound : MailError::Other,
                "The mail command " + command + " refused the e-mail (exit status " +
                    std::to_string(process.exitCode()) + ")" + (said.empty() ? "." : ": " + said)};
    }
    return {true, MailError::None, "handed to " + command};
}

}  // namespace vigiltron
