// The system mail route, with a stand-in sendmail command that records what it is given.
#include "platform/SendmailTransport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

class SendmailTransportTest : public ::testing::Test {
protected:
    // Writes a sendmail that keeps its arguments and input, says `complaint` on its error
    // output, then (unless it hangs) ends with `exitCode`.
    std::string Install(int exitCode, const std::string& complaint = "", bool hang = false) {
        const std::string path = Path("sendmail");
        QFile script(QString::fromStdString(path));
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        std::string text = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + Path("args") + "'\ncat > '" +
                           Path("stdin") + "'\n";
        if (!complaint.empty()) {
            text += "echo '" + complaint + "' >&2\n";
        }
        text += hang ? "exec sleep 60\n" : "exit " + std::to_string(exitCode) + "\n";
        script.write(text.c_str());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }

    std::string Read(const std::string& name) const {
        QFile file(QString::fromStdString(Path(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    static MailMessage Alert(const std::string& subject) {
        MailMessage m;
        m.recipients = {{"smtp:ops@example.com", "ops@example.com", false},
                        {"smtp:boss@example.com", "boss@example.com", true}};
        m.subject = subject;
        m.body = "12/7/2026\r\n9:30:00 PM\r\n Current Reading: 85\r\n Temperature Alert\r\n";
        return m;
    }

    QTemporaryDir dir;
};

TEST_F(SendmailTransportTest, HandsTheComposedMailToTheCommand) {
    SendmailTransport transport({"/nonexistent/sendmail", Install(0)});
    const MailResult result = transport.Send(Alert("Warning: 85"));
    EXPECT_TRUE(result.sent) << result.description;
    // Recipients are named on the command line, after the end of the options.
    EXPECT_EQ(Read("args"), "-i\n--\nops@example.com\nboss@example.com\n");
    const std::string mail = Read("stdin");
    EXPECT_NE(mail.find("To: ops@example.com\r\nCc: boss@example.com\r\n"), std::string::npos)
        << mail;
    EXPECT_NE(mail.find("\r\nSubject: Warning: 85\r\n"), std::string::npos) << mail;
    // The mail system names the sender.
    EXPECT_EQ(mail.find("From:"), std::string::npos) << mail;
    const std::string body = Alert("").body;
    ASSERT_GE(mail.size(), body.size());
    EXPECT_EQ(mail.substr(mail.size() - body.size() - 2), "\r\n" + body);

    // A line break in the subject cannot smuggle in a header of its own.
    EXPECT_TRUE(transport.Send(Alert("Warning: 85\r\nBcc: eve@example.com")).sent);
    EXPECT_EQ(Read("stdin").find("\nBcc:"), std::string::npos) << Read("stdin");
}

TEST_F(SendmailTransportTest, RefusalAbsenceAndAHangAreReportedAsNotSent) {
    SendmailTransport refusing({Install(67, "ops@example.com... User unknown")});
    const MailResult unknown = refusing.Send(Alert("Warning: 85"));
    EXPECT_FALSE(unknown.sent);
    EXPECT_EQ(unknown.error, MailError::RecipientNotFound);
    EXPECT_NE(unknown.description.find("User unknown"), std::string::npos) << unknown.description;

    SendmailTransport missing({"/nonexistent/sendmail", "no-such-sendmail-command"});
    const MailResult none = missing.Send(Alert("Warning: 85"));
    EXPECT_FALSE(none.sent);
    EXPECT_EQ(none.error, MailError::Other);
    EXPECT_NE(none.description.find("sendmail"), std::string::npos) << none.description;

    SendmailTransport hanging({Install(0, "", true)}, 300ms);
    const MailResult stuck = hanging.Send(Alert("Warning: 85"));
    EXPECT_FALSE(stuck.sent);
    EXPECT_NE(stuck.description.find("did not finish"), std::string::npos) << stuck.description;
}

}  // namespace
}  // namespace vigiltron
