#include "reporting/HistorySeries.h"

#include <gtest/gtest.h>

#include <string>

#include "config/Preferences.h"

namespace vigiltron {
namespace {

LocalDateTime At(int minute) {
    return LocalDateTime{2026, 7, 12, 16, minute, 0, 0};
}

HistoryPoint Reading(int minute, double value, std::optional<double> y = std::nullopt) {
    HistoryPoint point;
    point.when = At(minute);
    point.value = value;
    point.secondAxis = y;
    return point;
}

HistoryPoint Line(int minute, HistoryPoint::Kind kind, bool on, const std::string& text) {
    HistoryPoint point;
    point.when = At(minute);
    point.kind = kind;
    point.on = on;
    point.text = text;
    return point;
}

TEST(HistorySeriesTest, AlarmPeriodsRunFromTheFirstReadingOutsideToTheNextReadingInside) {
    Preferences prefs;
    prefs.TempMax = "80";
    prefs.TempMin = " 40.5 F";  // read as the alarm rules read it
    History history;
    history.skippedLines = 3;
    history.points = {
        Reading(0, 72.5),
        Reading(1, 80),  // the limit itself is no alarm
        Reading(2, 81),
        Reading(3, 85),
        Reading(4, 79),  // period 2..4
        Reading(5, 40),
        Line(6, HistoryPoint::Kind::Note, false,  // period 5..6: the gap ends it
             "Sensor disconnected: port lost"),
        Reading(7, 50),
        Reading(8, 90),  // last reading outside: ends where it is
    };
    const HistorySeries series = MakeHistorySeries(history, DeviceKind::Temperature, prefs);

    EXPECT_EQ(series.valueName, "Temperature");
    ASSERT_EQ(series.limits.size(), 2u);
    EXPECT_EQ(series.limits[0].name, "Max");
    EXPECT_DOUBLE_EQ(series.limits[0].value, 80);
    EXPECT_EQ(series.limits[1].name, "Min");
    EXPECT_DOUBLE_EQ(series.limits[1].value, 40.5);
    EXPECT_EQ(series.readings.size(), 8u);
    EXPECT_TRUE(series.secondAxis.empty());
    ASSERT_EQ(series.alarms.size(), 3u);
    EXPECT_EQ(series.alarms[0].from, At(2));
    EXPECT_EQ(series.alarms[0].to, At(4));
    EXPECT_EQ(series.alarms[1].from, At(5));
    EXPECT_EQ(series.alarms[1].to, At(6));
    EXPECT_EQ(series.alarms[2].from, At(8));
    EXPECT_EQ(series.alarms[2].to, At(8));
    EXPECT_EQ(series.StatusText(), "8 readings, 3 lines could not be read");
}

TEST(HistorySeriesTest, AccelerometerChecksEachAxisAgainstItsOwnLimitsAndBumpsArePulses) {
    Preferences prefs;
    prefs.XMaxThresh = "1";
    prefs.XMinThresh = "-1";
    prefs.YMaxThresh = "0.5";
    prefs.YMinThresh = "-0.5";
    History history;
    history.points = {
        Reading(0, 0.9, 0.4),   // X would break Y's limits, Y would not break X's: no alarm
        Reading(1, 0.2, 0.7),   // Y over its own max
        Reading(2, -0.2, 0.1),  //
        Line(3, HistoryPoint::Kind::Event, true, "BUMP"),
    };
    const HistorySeries series = MakeHistorySeries(history, DeviceKind::Accelerometer, prefs);

    ASSERT_EQ(series.limits.size(), 4u);
    EXPECT_EQ(series.limits[2].name, "Y Max");
    EXPECT_DOUBLE_EQ(series.limits[2].value, 0.5);
    EXPECT_EQ(series.readings.size(), 3u);
    ASSERT_EQ(series.secondAxis.size(), 3u);
    EXPECT_DOUBLE_EQ(series.secondAxis[1].value, 0.7);
    ASSERT_EQ(series.alarms.size(), 1u);
    EXPECT_EQ(series.alarms[0].from, At(1));
    EXPECT_EQ(series.alarms[0].to, At(2));
    // A bump rises and falls at its own time.
    ASSERT_EQ(series.onOff.size(), 3u);
    EXPECT_DOUBLE_EQ(series.onOff[0].value, 0);
    EXPECT_DOUBLE_EQ(series.onOff[1].value, 1);
    EXPECT_DOUBLE_EQ(series.onOff[2].value, 0);
}

TEST(HistorySeriesTest, OnOffEventsHoldTheirLevelAndKindsWithoutThresholdsHaveNoAlarms) {
    Preferences prefs;
    History history;
    history.points = {
        Line(0, HistoryPoint::Kind::Event, true, "Event - On"),
        Line(5, HistoryPoint::Kind::Event, false, "Event - Off"),
    };
    history.error = "cannot read 12_7_2026_4_05_09 PM.txt";
    const HistorySeries series = MakeHistorySeries(history, DeviceKind::Proximity, prefs);

    EXPECT_TRUE(series.limits.empty());
    EXPECT_TRUE(series.alarms.empty());
    ASSERT_EQ(series.onOff.size(), 4u);
    // 0 -> 1 at minute 0, held until minute 5, then back to 0.
    EXPECT_EQ(series.onOff[1].when, At(0));
    EXPECT_DOUBLE_EQ(series.onOff[1].value, 1);
    EXPECT_EQ(series.onOff[2].when, At(5));
    EXPECT_DOUBLE_EQ(series.onOff[2].value, 1);
    EXPECT_DOUBLE_EQ(series.onOff[3].value, 0);
    EXPECT_EQ(series.StatusText(),
              "0 readings, 0 lines could not be read (cannot read 12_7_2026_4_05_09 PM.txt)");
}

}  // namespace
}  // namespace vigiltron
