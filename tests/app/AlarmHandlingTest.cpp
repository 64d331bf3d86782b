// Alarm handling on top of the alerts: a deadband against flapping, acknowledging, snoozing and
// escalating, each followed through the whole engine from a simulated sensor to the mails that
// leave and the alarm history on disk.
#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

// A temperature sensor "Server room" on COM5 (entry 1, read once a minute) and a water sensor
// "Basement" on COM6 (entry 2), both connected at start-up, mailing through SMTP to
// ops@example.com, with the alarm history in a log directory of the test's own.
class AlarmHandlingRig : public EngineTestRig {
public:
    AlarmHandlingRig() : EngineTestRig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0}) {
        SaveDevice(1, "Vigiltron/T (Temperature)", 5, "Server room", true);
        SaveDevice(2, "Vigiltron/W (Water)", 6, "Basement");
        logDirectory = folder.path().toStdString() + "/logs";
        QDir().mkpath(QString::fromStdString(logDirectory));
        Set("logdir", logDirectory);
        Set("AutoConnect", "1");
        Set("ReadingInterval", "1");
        Set("chkOnScreenAlert1", "1");
        Set("chkEmailAlert1", "1");
        Set("chkEmailAlert6", "1");
        Set("optUseSMTP", "1");
        Set("SMTPHostServer", "mail.example.com:587");
        Set("EmailAddress", "ops@example.com");
        thermometer->SetTemperatureF(70);
        ports.Attach(5, thermometer);
        ports.Attach(6, water);
    }

    void Set(const std::string& key, const std::string& value) {
        settings.SaveSetting("Program Setup", key, value);
    }

    Engine& StartAs(const std::string& user) {
        return Start({}, [user](Engine& e) { e.alerts.userName = [user] { return user; }; });
    }

    std::vector<AlarmRecord> History(AlarmEvent event) const {
        AlarmHistoryFilter filter;
        filter.event = event;
        return engine->alarmHistory.Read(filter).records;
    }

    // Mails to `to` whose subject begins with `subject`.
    int Mails(const std::string& to, const std::string& subject = "") const {
        return int(std::count_if(smtpClient.mails.begin(), smtpClient.mails.end(), [&](auto& m) {
            return m.request.to == to && m.request.subject.rfind(subject, 0) == 0;
        }));
    }

    std::string logDirectory;
    std::shared_ptr<SimulatedSensor> thermometer =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature);
    std::shared_ptr<SimulatedSensor> water =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Water);
};

class AlarmHandlingTest : public ::testing::Test, public AlarmHandlingRig {};
class DeadbandTest : public ::testing::TestWithParam<bool>, public AlarmHandlingRig {};

// A room hovering at its 80 °F maximum for an hour: with a deadband of 1 it alarms once and is
// back to normal only at 79; without one every crossing is an alarm of its own.
TEST_P(DeadbandTest, AnHourOfHoveringIsOneAlarmAndOneOkOnlyWithADeadband) {
    const bool deadband = GetParam();
    {
        Set("TempHysteresis", deadband ? "1" : "0");
        thermometer->SetTemperatureF(80.0);
        Engine& e = Start();
        const double hover[] = {80.2, 79.9, 80.1, 80.0};
        for (int minute = 0; minute < 60; ++minute) {
            thermometer->SetTemperatureF(hover[minute % 4]);
            loop.RunFor(60s);
            if (deadband && minute > 0) {
                ASSERT_EQ(e.view.Row(1).status, "NOT OK") << "minute " << minute;
            }
        }
        const std::size_t alarmsWhileHovering = History(AlarmEvent::Alarm).size();
        thermometer->SetTemperatureF(79.0);
        loop.RunFor(60s);

        EXPECT_EQ(e.view.Row(1).status, "OK");
        if (deadband) {
            EXPECT_EQ(alarmsWhileHovering, 1u);
            EXPECT_EQ(History(AlarmEvent::Ok).size(), 1u);
            EXPECT_EQ(Mails("ops@example.com", "Warning"), 1);
            EXPECT_EQ(Mails("ops@example.com", "Sensor Reading OK"), 1);
        } else {
            // 80.2 and 80.1 are over the limit, 79.9 and 80.0 are not: two alarms in four minutes.
            EXPECT_EQ(alarmsWhileHovering, 30u);
            EXPECT_EQ(History(AlarmEvent::Ok).size(), 30u);
        }
        const std::vector<AlarmRecord> alarms = History(AlarmEvent::Alarm);
        ASSERT_FALSE(alarms.empty());
        EXPECT_EQ(alarms.front().entry, 1);
        EXPECT_EQ(alarms.front().sensor, "Server room");
        EXPECT_EQ(alarms.front().kind, "Temperature");
    }
}

INSTANTIATE_TEST_SUITE_P(TempHysteresis, DeadbandTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "One" : "Zero");
                         });

// "Keep sending alerts" repeats a wet probe's mail every minute until someone acknowledges it;
// then nothing more goes out until it is dry, and the next flood alarms again.
TEST_F(AlarmHandlingTest, AcknowledgedWaterAlarmStopsItsRepeatsUntilTheProbeIsDry) {
    Set("chkAlwaysSendAlert", "1");
    Engine& e = StartAs("alice");
    EXPECT_FALSE(e.alerts.Acknowledge(2, "", "alice"));
    EXPECT_EQ(dialogs.Messages().back(), "Nothing to acknowledge for 2 Basement.");

    water->SetWet(true);
    loop.RunFor(61s);
    ASSERT_EQ(Mails("ops@example.com", "Warning: Water Alert"), 2);  // repeated after a minute
    EXPECT_TRUE(e.view.alarm.acknowledgeEnabled);

    ASSERT_TRUE(e.alerts.Acknowledge(2, "pump switched on, mopping up", "alice"));
    EXPECT_FALSE(e.view.alarm.acknowledgeEnabled);
    EXPECT_FALSE(e.view.alarm.visible);
    loop.RunFor(10min);
    EXPECT_EQ(Mails("ops@example.com", "Warning: Water Alert"), 2);

    const std::vector<AlarmRecord> acks = History(AlarmEvent::Acknowledged);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].entry, 2);
    EXPECT_EQ(acks[0].kind, "Water");
    EXPECT_EQ(acks[0].user, "alice");
    EXPECT_EQ(acks[0].comment, "pump switched on, mopping up");
    EXPECT_TRUE(journal.Has("alarm",
                            "acknowledged 2 Basement by alice: pump switched on, "
                            "mopping up"));

    // Dry: the OK notice goes out and ends the acknowledgement; the next flood is news.
    water->SetWet(false);
    loop.RunFor(2s);
    EXPECT_EQ(Mails("ops@example.com", "Sensor Reading OK"), 1);
    EXPECT_EQ(History(AlarmEvent::Ok).size(), 1u);
    water->SetWet(true);
    loop.RunFor(2s);
    EXPECT_EQ(Mails("ops@example.com", "Warning: Water Alert"), 3);
    EXPECT_TRUE(e.view.alarm.acknowledgeEnabled);
}

// A snoozed sensor is still read and logged; its alerts wait for the end of the snooze, and one
// still out of range then alerts at its next reading. A lost port ends a snooze at once.
TEST_F(AlarmHandlingTest, SnoozeHoldsAlertsForItsHourAndALostPortEndsIt) {
    Engine& e = StartAs("bob");
    ASSERT_TRUE(e.alerts.Snooze(1, 60min));
    EXPECT_EQ(e.view.Row(1).note, "snoozed until 10:30 PM");
    EXPECT_TRUE(e.view.Row(1).snoozed);
    thermometer->SetTemperatureF(85);
    const std::string logFile = e.logFiles.CurrentFile(1);
    loop.RunFor(59min);

    EXPECT_EQ(e.view.Row(1).status, "NOT OK");
    EXPECT_EQ(e.view.Row(1).reading.rfind("85", 0), 0u) << e.view.Row(1).reading;
    EXPECT_EQ(Mails("ops@example.com"), 0);
    EXPECT_FALSE(e.view.alarm.visible);
    QFile log(QString::fromStdString(logFile));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_GE(log.readAll().count(", 85"), 59);
    const std::vector<AlarmRecord> snoozes = History(AlarmEvent::Snoozed);
    ASSERT_EQ(snoozes.size(), 1u);
    EXPECT_EQ(snoozes[0].user, "bob");
    EXPECT_EQ(snoozes[0].text, "for 1 hour, until 10:30 PM");

    loop.RunFor(2min);  // the hour is over, and the next reading is still 85
    EXPECT_FALSE(e.view.Row(1).snoozed);
    EXPECT_EQ(e.view.Row(1).note, "");
    EXPECT_EQ(Mails("ops@example.com", "Warning"), 1);
    EXPECT_TRUE(e.view.alarm.visible);
    ASSERT_EQ(History(AlarmEvent::SnoozeEnded).size(), 1u);
    EXPECT_EQ(History(AlarmEvent::SnoozeEnded)[0].text, "time is up");

    // Until back to normal, but the port goes first: the snooze is over.
    ASSERT_TRUE(e.alerts.Snooze(1, std::nullopt));
    EXPECT_EQ(e.view.Row(1).note, "snoozed until back to normal");
    thermometer->SetUnplugged(true);
    loop.RunFor(2s);
    EXPECT_FALSE(e.view.Row(1).snoozed);
    ASSERT_EQ(History(AlarmEvent::SnoozeEnded).size(), 2u);
    EXPECT_EQ(History(AlarmEvent::SnoozeEnded)[1].text, "the sensor's port was lost");
    EXPECT_FALSE(e.alerts.EndSnooze(1));
}

// Nobody reacts for ten minutes: the alarm goes once more, to the escalation recipient alone.
// An acknowledged alarm is never escalated.
TEST_F(AlarmHandlingTest, UnacknowledgedAlarmReachesTheEscalationRecipientAfterItsDelay) {
    Set("EscalateAfter", "10");
    Set("EscalationEmail", "oncall@example.com");
    thermometer->SetTemperatureF(85);
    const Milliseconds alarmed = loop.Elapsed();  // the first reading, on connecting
    Engine& e = StartAs("carol");
    ASSERT_EQ(Mails("ops@example.com", "Warning"), 1);
    loop.RunFor(alarmed + 10min - 1s - loop.Elapsed());
    EXPECT_EQ(Mails("oncall@example.com"), 0);
    loop.RunFor(2s);
    ASSERT_EQ(Mails("oncall@example.com"), 1);
    const SmtpRequest& escalation = smtpClient.mails.back().request;
    EXPECT_EQ(escalation.subject, "Escalated: Warning: Cur=85F");
    EXPECT_EQ(escalation.cc, "");
    EXPECT_EQ(History(AlarmEvent::Escalated).size(), 1u);
    EXPECT_TRUE(journal.Has("alarm",
                            "escalated 1 Server room (Temperature): mail to "
                            "oncall@example.com handed over"));
    loop.RunFor(30min);
    EXPECT_EQ(Mails("oncall@example.com"), 1);  // once per alarm

    // Back to normal, in alarm again, acknowledged in time: no second escalation.
    thermometer->SetTemperatureF(70);
    loop.RunFor(1min);
    thermometer->SetTemperatureF(86);
    loop.RunFor(1min);
    ASSERT_TRUE(e.alerts.Acknowledge(1, "", "carol"));
    loop.RunFor(20min);
    EXPECT_EQ(Mails("oncall@example.com"), 1);
}

// The alarm-handling settings take numbers and addresses only, and are kept where the
// thresholds are.
TEST_F(AlarmHandlingTest, AlarmHandlingSettingsAreCheckedAndStored) {
    Engine& e = Start();
    struct Case {
        const char* key;
        const char* good;
        const char* bad;
    };
    for (const Case& c : {Case{"TempHysteresis", "1.5", "-1"}, Case{"HumidHysteresis", "2", "x"},
                          Case{"TiltHysteresis", "0.05", ""}, Case{"DistanceHysteresis", "5", "-"},
                          Case{"EscalateAfter", "15", "2.5"},
                          Case{"EscalationEmail", "oncall@example.com", "a@b\r\nBcc: x@y"},
                          Case{"EscalationNumToCall", "555-0100", "555;ATH"}}) {
        SCOPED_TRACE(c.key);
        EXPECT_TRUE(e.setupPreferences.SetPreference(c.key, c.good));
        EXPECT_EQ(settings.GetSetting("Program Setup", c.key), c.good);
        EXPECT_FALSE(e.setupPreferences.SetPreference(c.key, c.bad));
        EXPECT_EQ(dialogs.Messages().back(),
                  std::string("Invalid value for ") + c.key + ": \"" + c.bad + "\"");
        EXPECT_EQ(settings.GetSetting("Program Setup", c.key), c.good);
    }
    EXPECT_EQ(e.prefs.TempHysteresis, "1.5");
    EXPECT_EQ(e.prefs.EscalationNumToCall, "555-0100");
}

}  // namespace
}  // namespace vigiltron
