// Alarm, OK and test mails through the SMTP route, from a sensor's reading to the request the
// SMTP client receives, and the client's outcome back to the places the user looks.
#include <gtest/gtest.h>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

// A temperature sensor "Boiler room" on COM5 (entry 1, read once a minute) and a water sensor
// "Basement" on COM6 (entry 2), both connected at start-up, mailing through an SMTP server.
class SmtpMailTest : public ::testing::Test, public EngineTestRig {
protected:
    SmtpMailTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0}) {
        SaveDevice(1, "Vigiltron/T (Temperature)", 5, "Boiler room");
        SaveDevice(2, "Vigiltron/W (Water)", 6, "Basement");
        Set("AutoConnect", "1");
        Set("ReadingInterval", "1");
        Set("chkEmailAlert1", "1");
        Set("chkEmailAlert6", "1");
        Set("optUseSMTP", "1");
        Set("SMTPHostServer", "mail.example.com:587");
        Set("chkAuthenticationReq", "1");
        Set("SMTPUserName", "alarm");
        Set("SMTPUserPassword", "s3cret");
        Set("SMTPFromEmailAddress", "vigil@example.com");
        Set("EmailAddress", "ops@example.com");
        Set("CCEmailAddress", "boss@example.com");
        Set("SMTPCAFile", "/etc/vigiltron/ca.pem");
        Set("SMTPTimeoutSeconds", "12");
        thermometer->SetTemperatureF(85);
        ports.Attach(5, thermometer);
        ports.Attach(6, water);
    }

    void Set(const std::string& key, const std::string& value) {
        settings.SaveSetting("Program Setup", key, value);
    }

    const std::deque<std::string>& Log(Tab tab) const { return engine->view.Slot(tab, 1).log; }

    std::shared_ptr<SimulatedSensor> thermometer =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature);
    std::shared_ptr<SimulatedSensor> water =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Water);
};

TEST_F(SmtpMailTest, AlarmAndOkMailsAreComposedFromWhatTheSummaryShows) {
    Engine& e = Start();  // the first reading is taken on connecting
    ASSERT_EQ(smtpClient.mails.size(), 1u);
    const SmtpRequest& alarm = smtpClient.mails[0].request;
    EXPECT_EQ(alarm.subject, "Warning: Cur=85F");
    EXPECT_EQ(alarm.body,
              " Temperature Alert\r\n"
              " Boiler room\r\n"
              " Max Threshold Setting: 80F\r\n"
              " Min Threshold Setting: 40F\r\n"
              "\r\n"
              "12/7/2026\r\n"
              "9:30:00 PM\r\n"
              " Current Reading: 85F\r\n");
    EXPECT_EQ(alarm.server, "mail.example.com:587");
    EXPECT_TRUE(alarm.authenticate);
    EXPECT_EQ(alarm.user, "alarm");
    EXPECT_EQ(alarm.password, "s3cret");
    EXPECT_EQ(alarm.from, "vigil@example.com");
    EXPECT_EQ(alarm.to, "ops@example.com");
    EXPECT_EQ(alarm.cc, "boss@example.com");
    EXPECT_EQ(alarm.caFile, "/etc/vigiltron/ca.pem");
    EXPECT_EQ(alarm.timeoutSeconds, 12);
    // Handed over counts as sent: the alarm's status line says so at once.
    EXPECT_EQ(Log(Tab::Temperature).front(), "(Sending Email alert)");

    // Water names the alarm whatever the reading; the OK mail of water names nothing.
    water->SetWet(true);
    loop.RunFor(1s);
    water->SetWet(false);
    loop.RunFor(1s);
    ASSERT_EQ(smtpClient.mails.size(), 3u);
    EXPECT_EQ(smtpClient.mails[1].request.subject, "Warning: Water Alert");
    EXPECT_EQ(smtpClient.mails[2].request.subject, "Sensor Reading OK");

    thermometer->SetTemperatureF(70);
    loop.RunFor(60s);
    ASSERT_EQ(smtpClient.mails.size(), 4u);
    EXPECT_EQ(smtpClient.mails[3].request.subject, "Sensor Reading OK: 70F");
    EXPECT_EQ(Log(Tab::Temperature).front(), "(Sending Ok Email)");

    // Without authentication no credentials leave the program; a blank time-out is the default.
    e.prefs.chkAuthenticationReq = false;
    e.prefs.SMTPTimeoutSeconds = " ";
    e.smtp.SendMailSmtp(AlertMail{"70", 1, 1, 1, true});
    const SmtpRequest& plain = smtpClient.mails.back().request;
    EXPECT_FALSE(plain.authenticate);
    EXPECT_EQ(plain.user, "");
    EXPECT_EQ(plain.password, "");
    EXPECT_EQ(plain.timeoutSeconds, 30);
}

TEST_F(SmtpMailTest, WithEveryIncludeSwitchOffAnAlarmIsABareWarning) {
    for (const char* key :
         {"IncludeTimeDate", "IncludeReading", "IncludeName", "IncludeInSubject"}) {
        Set(key, "0");
    }
    Start();
    water->SetWet(true);
    loop.RunFor(1s);
    ASSERT_EQ(smtpClient.mails.size(), 2u);
    for (const auto& mail : smtpClient.mails) {
        EXPECT_EQ(mail.request.subject, "Warning ");
        EXPECT_EQ(mail.request.body, "");
    }
}

TEST_F(SmtpMailTest, EveryOutcomeReachesTheStatusListTheSlotLogAndTheJournal) {
    Engine& e = Start();
    water->SetWet(true);
    loop.RunFor(1s);
    ASSERT_EQ(smtpClient.mails.size(), 2u);

    const std::string refused =
        "Login denied (the server replied \"535 5.7.8 Authentication credentials invalid\")";
    smtpClient.Finish(0, {false, refused}, {"220 mail.example.com ESMTP", "AUTH PLAIN"});
    smtpClient.Finish(1, {true, ""});
    EXPECT_EQ(e.view.contactSetup.emailStatus,
              (std::vector<std::string>{"220 mail.example.com ESMTP", "AUTH PLAIN",
                                        "Mail not sent: " + refused,
                                        "Mail sent to ops@example.com, boss@example.com"}));
    EXPECT_EQ(Log(Tab::Temperature).front(), "Mail not sent: " + refused);
    EXPECT_EQ(Log(Tab::Temperature)[1], "(Sending Email alert)");
    EXPECT_EQ(Log(Tab::Water).front(), "Mail sent to ops@example.com, boss@example.com");
    EXPECT_TRUE(journal.Has("mail", "alarm mail for 1: Mail not sent: Login denied"));
    EXPECT_TRUE(journal.Has("mail", "alarm mail for 2: Mail sent to ops@example.com"));

    // An outcome that arrives after the engine has gone is dropped, not delivered to it.
    e.smtp.SendMailSmtp(AlertMail{"85", 1, 1, 1, false});
    engine.reset();
    smtpClient.Finish(2, {false, "Couldn't connect to server"});
}

TEST_F(SmtpMailTest, TestMailSavesTheServerShownAndTheLogFileKeepsTheStatusList) {
    thermometer->SetTemperatureF(70);
    Engine& e = Start();
    e.smtp.TestSmtpEmail("smtps://mail.example.net:465");
    EXPECT_EQ(settings.GetSetting("Program Setup", "SMTPHostServer"),
              "smtps://mail.example.net:465");
    ASSERT_EQ(smtpClient.mails.size(), 1u);
    const SmtpRequest& test = smtpClient.mails[0].request;
    EXPECT_EQ(test.server, "smtps://mail.example.net:465");
    EXPECT_EQ(test.subject, "Vigiltron Manager Test");
    EXPECT_EQ(test.body, "This is a Vigiltron Manager Email Test");
    smtpClient.Finish(0, {true, ""}, {"250 OK"});
    EXPECT_TRUE(journal.Has("mail", "test mail: Mail sent to ops@example.com"));
    // The flag is used up: the next alarm is an alarm again, and only it reaches a slot's log.
    EXPECT_TRUE(Log(Tab::Temperature).empty());
    thermometer->SetTemperatureF(85);
    loop.RunFor(60s);
    ASSERT_EQ(smtpClient.mails.size(), 2u);
    EXPECT_EQ(smtpClient.mails[1].request.subject, "Warning: Cur=85F");

    e.smtp.CreateLogFile();
    const std::string path = folder.path().toStdString() + "/smtplog.log";
    // The header is the date and time it was written.
    const LocalDateTime now = clock.Now();
    EXPECT_EQ(files.Contents(path), clock.ShortDate(now) + "," + clock.LongTime(now) +
                                        "\r\n"
                                        "\r\n"
                                        "Sending test email...\r\n"
                                        "250 OK\r\n"
                                        "Mail sent to ops@example.com, boss@example.com\r\n");
    EXPECT_TRUE(dialogs.Saw("Log file created: " + path));

    files.FailWrites(true);
    e.smtp.CreateLogFile();
    EXPECT_TRUE(dialogs.Saw("The log file " + path + " could not be created: Disk full"));
}

}  // namespace
}  // namespace vigiltron
