#include "alerts/AlertDispatcher.h"

#include <gtest/gtest.h>

#include "alerts/UnconfiguredTransports.h"
#include "core/AlertTestRig.h"

namespace vigiltron {
namespace {

using testing::AlertRig;

class AlertDispatcherTest : public ::testing::Test {
protected:
    AlertDispatcherTest() {
        rig.Place(1, "Vigiltron/T (Temperature)", "1", "Server room");
        rig.view.Row(1).unit = "F";
        rig.prefs.optUseSMTP = false;
    }

    const MailMessage& LastMail() const { return rig.mail.messages.back(); }

    AlertRig rig;
    AlertDispatcher& alerts = rig.alerts;
    const AlarmWindowView& alarm = rig.view.alarm;
};

TEST_F(AlertDispatcherTest, AlarmWindowTextRules) {
    EXPECT_EQ(alarm.title, "VIGILTRON MANAGER ALARM");
    alerts.RaiseOnScreenAlarm(AlertSource::Temperature, "Temperature", 1);
    alerts.RaiseOnScreenAlarm(AlertSource::Temperature, "Temperature", 2);
    EXPECT_TRUE(alarm.visible);
    EXPECT_TRUE(alarm.firstLineVisible);
    EXPECT_EQ(alarm.firstLine, "Temperature, Temperature");
    alerts.RaiseOnScreenAlarm(AlertSource::Humidity, "Humidity", 1);
    EXPECT_EQ(alarm.firstLine, "Humidity");
    // A temperature OK while an alarm text shows puts back the kind name.
    alerts.ShowOkNotice(AlertSource::Temperature, 1);
    EXPECT_EQ(alarm.firstLine, "Temperature");
    alerts.RaiseOnScreenAlarm(AlertSource::Tilt, "Accelerometer Alert\r(X Max Threshold Reached)",
                              1);
    EXPECT_EQ(alarm.secondLine, "Accelerometer Alert\r(X Max Threshold Reached)");
    EXPECT_TRUE(alarm.secondLineVisible);
    EXPECT_EQ(rig.Log(Tab::Temperature, 2).front(), "(Sending OnScreen alert)");
    EXPECT_EQ(rig.Log(Tab::Accelerometer, 1).front(), "(Sending OnScreen alert)");

    // Closing discards the texts: the next alarm starts from empty lines.
    alerts.Continue();
    EXPECT_FALSE(alarm.visible);
    EXPECT_FALSE(alarm.secondLineVisible);
    alerts.RaiseOnScreenAlarm(AlertSource::Temperature, "Temperature", 1);
    EXPECT_EQ(alarm.firstLine, "Temperature");
    EXPECT_EQ(alarm.secondLine, "");

    alerts.Continue();
    alerts.ShowOkNotice(AlertSource::Humidity, 1);
    EXPECT_EQ(alarm.firstLine, "Humidity is back to normal");
    alerts.ShowOkNotice(AlertSource::Distance, 3);
    EXPECT_EQ(alarm.firstLine, "Distance back to normal");
    EXPECT_EQ(rig.Log(Tab::Distance, 3).front(), "(Sending Ok alert)");
}

TEST_F(AlertDispatcherTest, SoundFollowsTheAudibleSwitchAndStopsOnAcknowledgement) {
    alerts.RaiseOnScreenAlarm(AlertSource::Water, "Water Detected", 1);
    EXPECT_TRUE(rig.sound.calls.empty());
    rig.prefs.chkUseAlerts = true;
    alerts.Availability().useAlerts = false;
    alerts.RaiseOnScreenAlarm(AlertSource::Water, "Water Detected", 1);
    EXPECT_TRUE(rig.sound.calls.empty());
    alerts.Availability().useAlerts = true;
    alerts.RaiseOnScreenAlarm(AlertSource::Water, "Water Detected", 1);
    alerts.RaiseOnScreenAlarm(AlertSource::Proximity, "Proximity Detect", 1, 3);
    alerts.ShowOkNotice(AlertSource::Distance, 1);
    alerts.Continue();
    EXPECT_EQ((std::vector<std::string>{"loop", "once", "loop", "stop"}), rig.sound.calls);
    EXPECT_EQ(rig.Log(Tab::Proximity, 1).front(), "(Sending OnScreen alert)");
}

TEST_F(AlertDispatcherTest, DisableAllAlarmsTurnsAlertsOffAndPointsToTheSetting) {
    rig.prefs.chkUseAlerts = true;
    alerts.RaiseOnScreenAlarm(AlertSource::Temperature, "Temperature", 1);
    alerts.DisableAllAlarms();
    EXPECT_EQ(rig.sound.calls.back(), "stop");
    EXPECT_FALSE(alarm.visible);
    EXPECT_EQ(alarm.firstLine, "");
    EXPECT_TRUE(rig.prefs.chkLocalMonitoring);
    EXPECT_EQ(rig.settings.GetSetting("Program Setup", "chkLocalMonitoring"), "1");
    EXPECT_EQ(rig.alertsDisabledCalls, 1);
    EXPECT_TRUE(rig.view.setupWindowVisible);
    EXPECT_TRUE(rig.view.setupWindowOnAlertsPage);
    EXPECT_EQ(rig.dialogs.Messages(),
              std::vector<std::string>{"To re-enable alerts, uncheck _Disable All Alerts_ in "
                                       "Sensor Setup, under the _Alerts_&_Threshold_ tab."});
}

TEST_F(AlertDispatcherTest, MailClientMessageSubjectBodyAndRecipients) {
    ASSERT_TRUE(alerts.SendMail("85", 1, 1, 1, false));
    const MailMessage& m = LastMail();
    EXPECT_EQ(m.subject, "Warning: 85");
    EXPECT_EQ(m.body,
              "12/8/2026\r\n9:05:07 AM\r\n Current Reading: 85F\r\n Temperature Alert\r\n"
              " Server room\r\n");
    ASSERT_EQ(m.recipients.size(), 1u);  // an empty copy address adds nobody
    EXPECT_EQ(m.recipients[0].address, "smtp:ops@example.com");
    EXPECT_EQ(m.recipients[0].displayName, "ops@example.com");
    EXPECT_FALSE(m.recipients[0].copy);

    alerts.SendMail("72", 1, 1, 1, true);
    EXPECT_EQ(LastMail().subject, "Sensor reading OK: 72");

    rig.prefs.IncludeInSubject = false;
    rig.prefs.IncludeTimeDate = false;
    rig.prefs.IncludeReading = false;
    rig.prefs.CCEmailAddress = "boss@example.com";
    alerts.SendMail("85", 1, 1, 1, false);
    EXPECT_EQ(LastMail().subject, "Warning");
    EXPECT_EQ(LastMail().body, " Temperature Alert\r\n Server room\r\n");
    ASSERT_EQ(LastMail().recipients.size(), 2u);
    EXPECT_EQ(LastMail().recipients[1].address, "smtp:boss@example.com");
    EXPECT_TRUE(LastMail().recipients[1].copy);
    alerts.SendMail("72", 1, 1, 1, true);
    EXPECT_EQ(LastMail().subject, "**Sensor reading OK**");

    // Kinds without an alert name add neither line; the misspelt accelerometer name is the
    // product's own.
    alerts.SendMail("Bump Alert", 0, 1, 1, false);
    EXPECT_EQ(LastMail().body, "");
    alerts.SendMail("Bump Alert", 8, 1, 1, false);
    EXPECT_EQ(LastMail().body, " Accerometer Alert\r\n Server room\r\n");
}

TEST_F(AlertDispatcherTest, MailClientFailuresAreReported) {
    rig.mail.next = {false, MailError::LogonCancelled, "User cancelled the logon"};
    EXPECT_FALSE(alerts.SendAlertEmail(AlertSource::Temperature, "85", 1, 1, 1, false));
    EXPECT_EQ(
        rig.dialogs.Messages(),
        (std::vector<std::string>{
            "User cancelled the logon", "Cancelled Login",
            "PLEASE NOTE: Your alerts will not be sent until you get this problem resolved."}));
    EXPECT_TRUE(rig.dialogs.History()[0].systemModal);
    EXPECT_EQ(rig.Log(Tab::Temperature, 1).front(), "Email Alert Not sent");

    rig.dialogs.Clear();
    rig.mail.next = {false, MailError::RecipientNotFound, "Unknown recipient"};
    alerts.SendAlertEmail(AlertSource::OutOfRange, "Object has gone out of range", 9, 1, 2, false);
    EXPECT_EQ(rig.recipientFocusCalls, 1);
    EXPECT_FALSE(rig.dialogs.Saw("Cancelled Login"));
    EXPECT_EQ(rig.Log(Tab::Distance, 2).front(), "Email Alarm Not sent");
}

TEST_F(AlertDispatcherTest, MailTitleAndStatusLines) {
    rig.view.mainTitle = "Vigiltron Manager";
    EXPECT_TRUE(alerts.SendAlertEmail(AlertSource::Temperature, "85", 1, 1, 1, false));
    EXPECT_EQ(rig.mail.titlesWhileSending.back(), "Vigiltron Manager - Sending Email alert...");
    EXPECT_EQ(rig.view.mainTitle, "Vigiltron Manager");
    EXPECT_EQ(rig.Log(Tab::Temperature, 1).front(), "(Sending Email alert)");
    alerts.SendAlertEmail(AlertSource::Temperature, "72", 1, 1, 1, true);
    EXPECT_EQ(rig.Log(Tab::Temperature, 1).front(), "(Sending Ok Email)");

    // The SMTP route reports what really happened to the hand-over.
    rig.prefs.optUseSMTP = true;
    rig.smtp.results = {{false, MailError::Other, "no server"}};
    EXPECT_FALSE(alerts.SendAlertEmail(AlertSource::Water, "Water Detected", 6, 3, 1, false));
    EXPECT_EQ(rig.Log(Tab::Water, 1).front(), "Email Alert Not sent");
    EXPECT_TRUE(rig.dialogs.Messages().empty());
    EXPECT_TRUE(alerts.SendAlertEmail(AlertSource::Water, "Water Detected", 6, 3, 1, false, false));
    EXPECT_EQ(rig.Log(Tab::Water, 1).front(), "(Sending Email alert)");
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].setupIndex, 3);
    EXPECT_EQ(rig.smtp.mails[1].kind, 6);
}

struct PageCase {
    AlertSource source;
    Tab tab;
    bool isOk;
    bool succeed;
    const char* status;
};

TEST_F(AlertDispatcherTest, PhoneRouteStatusLines) {
    const PageCase cases[] = {
        {AlertSource::Temperature, Tab::Temperature, false, false, "Page Alarm Not sent"},
        {AlertSource::Temperature, Tab::Temperature, false, true, "(Sending Phone alert)"},
        {AlertSource::Temperature, Tab::Temperature, true, false, "OK Page Not sent"},
        {AlertSource::Temperature, Tab::Temperature, true, true, "(Sending Ok Page)"},
        {AlertSource::Humidity, Tab::Humidity, false, false, "Page Alert Not sent"},
        {AlertSource::Humidity, Tab::Humidity, false, true, "Page Alert sent"},
        {AlertSource::Humidity, Tab::Humidity, true, false, "Page Alert Not sent"},
        {AlertSource::Humidity, Tab::Humidity, true, true, "(Sending Page alert)"},
        {AlertSource::Water, Tab::Water, false, false, "Page Alert Not sent"},
        {AlertSource::Tilt, Tab::Accelerometer, false, true, "(Sending Phone alert)"},
        {AlertSource::Distance, Tab::Distance, true, false, "OK Page Not sent"},
        {AlertSource::Distance, Tab::Distance, true, true, "(Sending Ok Page)"},
        {AlertSource::Bump, Tab::Accelerometer, false, false, "Page Alert Not sent"},
    };
    for (const PageCase& c : cases) {
        rig.pager.succeed = c.succeed;
        EXPECT_EQ(alerts.SendAlertPage(c.source, 1, 4, 3, c.isOk), c.succeed);
        EXPECT_TRUE(rig.pager.calls.back().phone);
        EXPECT_EQ(rig.pager.calls.back().n, 4);
        EXPECT_EQ(rig.Log(c.tab, 3).front(), c.status) << c.status;
    }
    // "Dial phone" takes the same route for every kind.
    rig.prefs.optionPhone = true;
    alerts.SendAlertPage(AlertSource::Temperature, 1, 4, 3, false);
    EXPECT_TRUE(rig.pager.calls.back().phone);
}

TEST_F(AlertDispatcherTest, NumericPagerRoute) {
    rig.prefs.optionNumeric = true;
    EXPECT_TRUE(alerts.SendAlertPage(AlertSource::Water, 6, 2, 1, false));
    EXPECT_FALSE(rig.pager.calls.back().phone);
    EXPECT_EQ(rig.pager.calls.back().kind, 6);
    EXPECT_TRUE(rig.Log(Tab::Water, 1).empty());
    rig.pager.succeed = false;
    EXPECT_FALSE(alerts.SendAlertPage(AlertSource::Water, 6, 2, 1, false));
    EXPECT_EQ(rig.Log(Tab::Water, 1).front(), "Page Alert Not sent");
}

TEST_F(AlertDispatcherTest, StatusLogViewIsEmptiedAtItsLimit) {
    auto& log = rig.view.Slot(Tab::Water, 1).log;
    log.assign(2000, "old");
    alerts.AddStatusLine(Tab::Water, 1, "(Sending OnScreen alert)");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log.front(), "(Sending OnScreen alert)");
}

TEST(UnconfiguredTransportsTest, NeverClaimSuccess) {
    AlertRig rig;
    UnconfiguredMailTransport mail;
    UnconfiguredSmtpMailer smtp;
    UnconfiguredPager pager;
    AlertDispatcher alerts{AlertDispatcher::Services{rig.prefs,
                                                     rig.view,
                                                     rig.model,
                                                     rig.dialogs,
                                                     rig.journal,
                                                     rig.clock,
                                                     rig.settings,
                                                     rig.sound,
                                                     mail,
                                                     smtp,
                                                     pager,
                                                     {},
                                                     {}}};
    rig.prefs.optUseSMTP = true;
    EXPECT_FALSE(alerts.SendAlertEmail(AlertSource::Temperature, "85", 1, 1, 1, false));
    EXPECT_EQ(rig.Log(Tab::Temperature, 1).front(), "Email Alert Not sent");
    rig.prefs.optUseSMTP = false;
    EXPECT_FALSE(alerts.SendAlertEmail(AlertSource::Temperature, "85", 1, 1, 1, false));
    EXPECT_TRUE(rig.dialogs.Saw(
        "PLEASE NOTE: Your alerts will not be sent until you get this problem resolved."));
    EXPECT_FALSE(alerts.SendAlertPage(AlertSource::Temperature, 1, 1, 1, false));
    EXPECT_EQ(rig.Log(Tab::Temperature, 1).front(), "Page Alarm Not sent");
    rig.prefs.optionNumeric = true;
    EXPECT_FALSE(alerts.SendAlertPage(AlertSource::Temperature, 1, 1, 1, false));
}

}  // namespace
}  // namespace vigiltron
