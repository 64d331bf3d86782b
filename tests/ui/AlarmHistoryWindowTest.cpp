#include "ui/AlarmHistoryWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

AlarmRecord Record(int hour, int entry, std::string sensor, std::string kind, AlarmEvent event,
                   std::string text = "") {
    return AlarmRecord{LocalDateTime{2026, 12, 9, hour, 0, 0, 0},
                       entry,
                       std::move(sensor),
                       std::move(kind),
                       event,
                       std::move(text),
                       "",
                       ""};
}

int IndexOf(QComboBox* box, const QString& text) {
    return box->findText(text);
}

// The window over a history kept in the test: reads answer it, and each read is noted.
class AlarmHistoryWindowTest : public ::testing::Test {
protected:
    AlarmHistoryWindowTest() {
        history.records = {
            Record(8, 3, "Server room", "Temperature", AlarmEvent::Alarm, "Hot\rvery"),
            Record(9, 5, "Basement", "Water", AlarmEvent::Alarm),
            Record(10, 3, "Server room", "Temperature", AlarmEvent::Ok),
        };
        history.damagedLines = 2;
        AlarmHistoryCommands commands;
        commands.read = [this](const AlarmHistoryFilter& filter) {
            reads.push_back(filter);
            return history;
        };
        commands.exportRecords = [this](const std::vector<AlarmRecord>& records) {
            exported = records;
        };
        commands.changes = [this] { return changes; };
        commands.close = [this] { ++closes; };
        window = std::make_unique<AlarmHistoryWindow>(view, std::move(commands));
        Pump();
    }

    QString Cell(int row, int column) const { return window->Table()->item(row, column)->text(); }

    ViewModel view;
    AlarmHistoryRead history;
    std::vector<AlarmHistoryFilter> reads;
    std::vector<AlarmRecord> exported;
    std::uint64_t changes = 0;
    int closes = 0;
    std::unique_ptr<AlarmHistoryWindow> window;
};

TEST_F(AlarmHistoryWindowTest, ShowsTheNewestFirstAndNarrowsBySensorKindAndPeriod) {
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(reads.empty()) << "nothing is read before the window opens";
    window->Open();
    Pump();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Alarm history");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads.back().lastHours, 7 * 24);
    ASSERT_EQ(window->Table()->rowCount(), 3);
    EXPECT_EQ(Cell(0, 0), "2026-12-09 10:00:00");
    EXPECT_EQ(Cell(0, 3), "OK");
    EXPECT_EQ(Cell(2, 1), "3 Server room");
    EXPECT_EQ(Cell(2, 4), "Hot / very");
    EXPECT_EQ(window->Status()->text(), "3 records; 2 damaged lines skipped");

    window->KindFilter()->setCurrentIndex(IndexOf(window->KindFilter(), "Water"));
    ASSERT_EQ(window->Table()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "5 Basement");
    window->KindFilter()->setCurrentIndex(0);
    window->SensorFilter()->setCurrentIndex(IndexOf(window->SensorFilter(), "3 Server room"));
    EXPECT_EQ(window->Table()->rowCount(), 2);

    // Another period is read afresh; the sensor chosen stays chosen.
    window->PeriodFilter()->setCurrentIndex(IndexOf(window->PeriodFilter(), "Last 24 hours"));
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads.back().lastHours, 24);
    EXPECT_EQ(window->SensorFilter()->currentText(), "3 Server room");
    EXPECT_EQ(window->Table()->rowCount(), 2);

    // "Export..." hands over exactly what is shown.
    QTest::mouseClick(window->ExportButton(), Qt::LeftButton);
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[0].event, AlarmEvent::Ok);
    EXPECT_EQ(exported[1].text, "Hot\rvery");
}

TEST_F(AlarmHistoryWindowTest, ReadsAgainOnlyWhenTheHistoryGrewAndCloses) {
    window->Open();
    Pump();
    ASSERT_EQ(reads.size(), 1u);
    // A reading changes the view model but not the history.
    view.Changed();
    Pump();
    EXPECT_EQ(reads.size(), 1u);

    history.records.push_back(Record(11, 5, "Basement", "Water", AlarmEvent::Acknowledged));
    ++changes;
    view.Changed();
    Pump();
    EXPECT_EQ(reads.size(), 2u);
    EXPECT_EQ(Cell(0, 3), "Acknowledged");

    QTest::mouseClick(window->CloseButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closes, 1);
    // A closed window stays closed whatever the view model does.
    view.Changed();
    Pump();
    EXPECT_FALSE(window->isVisible());

    // Escape closes it too.
    window->Open();
    Pump();
    ASSERT_TRUE(window->isVisible());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Pump();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closes, 2);
}

}  // namespace
}  // namespace vigiltron
