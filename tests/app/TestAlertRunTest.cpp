// --test-mail and --test-page as a user runs them: the real program against a real SMTP server on
// loopback and a simulated modem.
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/ProgramRun.h"
#include "support/SmtpTestServers.h"

namespace {

using vigiltron::testing_support::RunProgram;
using vigiltron::testing_support::RunResult;
using vigiltron::testing_support::SmtpServers;

TEST(TestMailRunTest, TheTestMailIsDeliveredOrTheExitStatusSaysItWasNot) {
    SmtpServers servers;
    ASSERT_TRUE(servers.Ready()) << servers.Errors();
    QTemporaryDir dir;
    auto configure = [&](const std::string& server) {
        QSettings settings(dir.filePath("Vigiltron Manager.ini"), QSettings::IniFormat);
        settings.setValue("Program Setup/EmailAddress", "ops@example.com");
        settings.setValue("Program Setup/SMTPFromEmailAddress", "vigiltron@example.com");
        settings.setValue("Program Setup/SMTPHostServer", QString::fromStdString(server));
        settings.setValue("Program Setup/SMTPTimeoutSeconds", "5");
    };
    const QStringList args{"--config-dir", dir.path(), "--test-mail"};

    configure("127.0.0.1:" + servers.Port("plain"));
    const RunResult sent = RunProgram(args);
    EXPECT_EQ(sent.exitCode, 0) << sent.out << sent.err;
    EXPECT_NE(sent.out.find("Sending test email..."), std::string::npos) << sent.out;
    EXPECT_NE(sent.out.find("Mail sent to ops@example.com"), std::string::npos) << sent.out;
    ASSERT_EQ(servers.Count(), 1);
    EXPECT_NE(servers.Raw(1).find("Subject: Vigiltron Manager Test\r\n"), std::string::npos);
    EXPECT_NE(servers.Raw(1).find("\r\n\r\nThis is a Vigiltron Manager Email Test"),
              std::string::npos)
        << servers.Raw(1);

    // Nobody listens on the server's port: the status says why, and so does the exit status.
    configure("127.0.0.1:1");
    const RunResult refused = RunProgram(args);
    EXPECT_EQ(refused.exitCode, 1) << refused.out << refused.err;
    EXPECT_NE(refused.out.find("Mail not sent: "), std::string::npos) << refused.out;
    EXPECT_EQ(servers.Count(), 1);
}

}  // namespace

namespace {

TEST(TestPageRunTest, TheTestPageExitsZeroOnlyWhenTheModemConfirmedIt) {
    QTemporaryDir dir;
    {
        QSettings settings(dir.filePath("Vigiltron Manager.ini"), QSettings::IniFormat);
        settings.setValue("Program Setup/NumToCall", "5551234");
        settings.setValue("Program Setup/NumToSend", "42");
    }
    auto page = [&](const QByteArray& answer) {
        const QString scenario = vigiltron::testing_support::WriteFile(
            dir, "modem.scenario", "modem COM3 answer=" + answer + "\n");
        return RunProgram({"--config-dir", dir.path(), "--simulate", scenario, "--test-page"});
    };

    const RunResult sent = page("ok");
    EXPECT_EQ(sent.exitCode, 0) << sent.out << sent.err;
    EXPECT_NE(sent.out.find("page sent"), std::string::npos) << sent.out;

    const RunResult busy = page("busy");
    EXPECT_EQ(busy.exitCode, 1) << busy.out << busy.err;
    EXPECT_NE(busy.out.find("Telephone Busy.  Try Again later"), std::string::npos) << busy.out;
    EXPECT_NE(busy.out.find("page not sent"), std::string::npos) << busy.out;
}

}  // namespace
