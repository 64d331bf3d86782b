#pragma once

#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <string>

#include "app/MainWindowCommands.h"
#include "core/DeviceKind.h"
#include "core/ViewModel.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vigiltron {

// One sensor tab: four slot panels (caption, highest and lowest readings with a "Reset" command
// on the Temperature and Humidity tabs, the slot's log, its "History" chart) and the tab's empty
// notice; the Proximity tab also offers "Set Proximity Events". A slot with no device bound to it
// is covered (hidden).
class SensorTab : public QWidget {
    Q_OBJECT
public:
    // The view model must outlive the tab.
    // The view model and the commands must outlive the tab.
    SensorTab(const ViewModel& view, Tab tab, const MainWindowCommands& commands,
              QWidget* parent = nullptr);
    ~SensorTab() override;

    Tab Kind() const { return tab_; }
    // Whether this tab's slots keep a highest and a lowest reading.
    bool HasHighLow() const;

    // Updates every widget from the view model.
    void Render();

    QLabel* EmptyNotice() const { return notice_; }
    // Slot accessors take 1..4 and give nothing for other numbers (or absent parts).
    QGroupBox* SlotPanel(int slot) const;
    QLabel* HighestLabel(int slot) const;
    QLabel* LowestLabel(int slot) const;
    QPushButton* ResetButton(int slot) const;
    QPushButton* ClearLogButton(int slot) const;
    // Accelerometer and distance slots: mode, sensitivity, calibrate (accelerometer) and the
    // "D+<CR>" test (distance). Nothing for other tabs.
    QPushButton* SlotButtonOf(int slot, SlotButton button) const;
    QPlainTextEdit* LogView(int slot) const;
    QPushButton* HistoryButton(int slot) const;
    // "Set Proximity Events" on the Proximity tab; nothing on the others.
    QPushButton* ProximityEventsButton() const { return proximityEvents_; }

private:
    struct SlotWidgets {
        QGroupBox* panel = nullptr;
        QLabel* highestCaption = nullptr;
        QLabel* highest = nullptr;
        QLabel* lowestCaption = nullptr;
        QLabel* lowest = nullptr;
        QPushButton* reset = nullptr;
        QPlainTextEdit* log = nullptr;
        QPushButton* clearLog = nullptr;
        QPushButton* history = nullptr;
        std::array<QPushButton*, 4> buttons{};  // by SlotButton
        // The lines the log view was last filled with, so an unchanged log is not re-laid out.
        std::deque<std::string> shownLog;
    };

    const SlotWidgets* SlotAt(int slot) const;
    void RenderSlot(SlotWidgets& widgets, const TabSlotView& data);

    const ViewModel& view_;
    Tab tab_;
    const MainWindowCommands& commands_;
    QLabel* notice_ = nullptr;
    QPushButton* proximityEvents_ = nullptr;
    std::array<SlotWidgets, 5> slots_;  // 1..4; 0 unused
};

}  // namespace vigiltron
