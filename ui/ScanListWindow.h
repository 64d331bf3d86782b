#pragma once

#include "app/DeviceWindowsCommands.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vigiltron {

// "Build Sensor List": the scan range ("Scan Com1 - Com256" and its caption), "Scan" and "Stop",
// the lines of the last scan (several may be selected), the scan's progress while it runs, "Add
// selected to Sensor Setup" and "Close". It opens at the top-left corner of the screen and
// closes as the view model's `scanListVisible` says.
class ScanListWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model must outlive the window.
    ScanListWindow(ViewModel& view, DeviceWindowsCommands commands, QWidget* parent = nullptr);

    QCheckBox* AllPortsBox() const { return allPorts_; }
    QLabel* RangeCaption() const { return rangeCaption_; }
    QListWidget* Lines() const { return lines_; }
    QProgressBar* Progress() const { return progress_; }
    QPushButton* ScanButton() const { return scan_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* AddSelectedButton() const { return addSelected_; }
    QPushButton* CloseButton() const { return close_; }

private:
    bool ShownByView() const override { return view_.deviceSetup.scanListVisible; }
    void Render(bool opening) override;
    void BuildLayout();
    void AddSelected();

    DeviceWindowsCommands commands_;
    QCheckBox* allPorts_ = nullptr;
    QLabel* rangeCaption_ = nullptr;
    QListWidget* lines_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* addSelected_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace vigiltron
