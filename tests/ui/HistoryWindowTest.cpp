#include "ui/HistoryWindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "reporting/StdLogFileSystem.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

QLineSeries* LineNamed(QChart* chart, const QString& name) {
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) {
            return qobject_cast<QLineSeries*>(series);
        }
    }
    return nullptr;
}

int CountNamed(QChart* chart, const QString& name) {
    int count = 0;
    for (QAbstractSeries* series : chart->series()) {
        count += series->name() == name ? 1 : 0;
    }
    return count;
}

TEST(HistoryWindowTest, ChartsTheTemperatureHalfOfACombinedSensorWithItsThresholdsAndAlarms) {
    std::random_device random;
    const fs::path dir =
        fs::temp_directory_path() / ("vigiltron-history-window-" + std::to_string(random()));
    fs::create_directories(dir);
    // The temperature half's file, and the humidity half's, which the chart must not mix in.
    std::ofstream(dir / "12072026_160509_Temp.txt")
        << "Server room\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
        << "12/5/2026,9:00:00 AM, 70.1\r\n"  // two days back: only in "All"
        << "12/7/2026,4:05:09 PM, 72.5\r\n"
        << "12/7/2026,4:10:00 PM, 85\r\n"  // over TempMax
        << "not a log line\r\n"
        << "12/7/2026,4:15:00 PM, 75\r\n";
    std::ofstream(dir / "12072026_160509_Humid.txt")
        << "Server room\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
        << "12/7/2026,4:05:09 PM, 45\r\n";

    MemorySettingsTree settings;
    ScriptedDialogs dialogs;
    DeviceModel model{dialogs, settings};
    DeviceRecord record;
    record.deviceType = "Combo Sensor (Humidity)";
    record.subIndex = "11";
    record.deviceName = "Server room";
    ASSERT_TRUE(model.SetEntry(3, record));
    record.deviceType = "Combo Sensor (Temperature)";
    ASSERT_TRUE(model.SetEntry(4, record));
    model.CreateSetupArray();
    Preferences prefs;
    prefs.TempMax = "80";
    prefs.TempMin = "40";
    StdLogFileSystem files;
    const LocalDateTime now{2026, 12, 7, 17, 0, 0, 0};

    HistoryWindow window([&](HistoryRange range) {
        return ReadSensorHistory(files, dir.string(), model, prefs, 4, range, now);
    });
    window.show();

    // It opens on the last 24 hours.
    QLineSeries* readings = LineNamed(window.Chart(), "Temperature");
    ASSERT_NE(readings, nullptr);
    EXPECT_EQ(readings->count(), 3);
    EXPECT_DOUBLE_EQ(readings->at(1).y(), 85);
    EXPECT_EQ(window.StatusText().toStdString(), "3 readings, 1 lines could not be read");
    EXPECT_EQ(window.windowTitle().toStdString(), "History - Server room (Temperature)");
    QLineSeries* max = LineNamed(window.Chart(), "Max");
    QLineSeries* min = LineNamed(window.Chart(), "Min");
    ASSERT_NE(max, nullptr);
    ASSERT_NE(min, nullptr);
    ASSERT_EQ(max->count(), 2);
    EXPECT_DOUBLE_EQ(max->at(0).y(), 80);
    EXPECT_DOUBLE_EQ(max->at(1).y(), 80);
    EXPECT_DOUBLE_EQ(min->at(0).y(), 40);
    EXPECT_EQ(CountNamed(window.Chart(), "Alarm"), 1);
    EXPECT_EQ(LineNamed(window.Chart(), "On/Off"), nullptr);

    // "All" (Alt+A from the keyboard) reads the older line too.
    QPushButton* all = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == "&All") {
            all = button;
        }
    }
    ASSERT_NE(all, nullptr);
    all->click();
    readings = LineNamed(window.Chart(), "Temperature");
    ASSERT_NE(readings, nullptr);
    EXPECT_EQ(readings->count(), 4);
    EXPECT_EQ(window.StatusText().toStdString(), "4 readings, 1 lines could not be read");

    fs::remove_all(dir);
}

}  // namespace
}  // namespace vigiltron
