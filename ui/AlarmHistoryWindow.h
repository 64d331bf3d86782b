#pragma once

#include <cstdint>
#include <vector>

#include "app/AlarmHistoryCommands.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vigiltron {

// The "Alarm history" window: the recorded alarms, OK notices, acknowledgements, snoozes and
// escalations, newest first, narrowed by sensor, kind and period, with "Export..." and "Close".
// It shows what `read` answers for the chosen period and reads again when the period changes,
// when it opens and when the history has grown; the rules live in the program.
class AlarmHistoryWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model must outlive the window.
    AlarmHistoryWindow(ViewModel& view, AlarmHistoryCommands commands, QWidget* parent = nullptr);

    // Opens the window on a fresh read, or brings it to the front when it is open.
    void Open();

    QComboBox* SensorFilter() const { return sensor_; }
    QComboBox* KindFilter() const { return kind_; }
    QComboBox* PeriodFilter() const { return period_; }
    QTableWidget* Table() const { return table_; }
    QLabel* Status() const { return status_; }
    QPushButton* ExportButton() const { return exportButton_; }
    QPushButton* CloseButton() const { return closeButton_; }

private:
    bool ShownByView() const override { return open_; }
    void Render(bool opening) override;
    // Reads the chosen period again, refreshes the sensor and kind lists, shows the rows.
    void Reload();
    // Shows the records of the chosen sensor and kind.
    void ShowRows();
    void FillFilterLists();
    void CloseWindow();

    AlarmHistoryCommands commands_;
    bool open_ = false;
    std::uint64_t changesShown_ = 0;
    AlarmHistoryRead read_;           // the chosen period's records, oldest first
    std::vector<AlarmRecord> shown_;  // what the table shows, newest first
    QComboBox* sensor_ = nullptr;
    QComboBox* kind_ = nullptr;
    QComboBox* period_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

}  // namespace vigiltron
