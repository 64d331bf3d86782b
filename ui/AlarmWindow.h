#pragma once

#include <functional>

#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QLabel;
class QPushButton;

namespace vigiltron {

// What the alarm window's buttons ask of the program. An empty function does nothing.
struct AlarmWindowCommands {
    std::function<void()> continueClicked;
    std::function<void()> disableAllClicked;
};

// The alarm window: shows the view model's alarm state (title, two text lines) and offers
// "Continue" and "Disable All Alarms". Closing it counts as "Continue". It never opens or closes
// itself on its own: it follows the view model's visible flag.
class AlarmWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model must outlive the window.
    AlarmWindow(ViewModel& view, AlarmWindowCommands commands, QWidget* parent = nullptr);

    QLabel* FirstLine() const { return firstLine_; }
    QLabel* SecondLine() const { return secondLine_; }
    QPushButton* ContinueButton() const { return continueButton_; }
    QPushButton* DisableAllButton() const { return disableAllButton_; }

private:
    bool ShownByView() const override { return view_.alarm.visible; }
    void Render(bool opening) override;

    AlarmWindowCommands commands_;
    QLabel* firstLine_ = nullptr;
    QLabel* secondLine_ = nullptr;
    QPushButton* continueButton_ = nullptr;
    QPushButton* disableAllButton_ = nullptr;
};

}  // namespace vigiltron
