#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace vigiltron {

// What the alarm window's buttons ask of the program. An empty function does nothing.
struct AlarmWindowCommands {
    std::function<void()> continueClicked;
    std::function<void()> disableAllClicked;
    // "Acknowledge...", with the comment typed (empty when none).
    std::function<void(const std::string& comment)> acknowledgeClicked;
    // "Snooze" for the sensors in the alarm: for a while, or until they are back to normal
    // (nothing).
    std::function<void(std::optional<std::chrono::minutes>)> snoozeClicked;
};

// The alarm window: shows the view model's alarm state (title, two text lines) and offers
// "Continue", "Acknowledge..." (with a short comment typed in the window itself), "Snooze" (a
// menu of durations) and "Disable All Alarms". Closing it counts as "Continue". It never opens or
// closes itself on its own: it follows the view model's visible flag.
class AlarmWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model must outlive the window.
    AlarmWindow(ViewModel& view, AlarmWindowCommands commands, QWidget* parent = nullptr);

    QLabel* FirstLine() const { return firstLine_; }
    QLabel* SecondLine() const { return secondLine_; }
    QPushButton* ContinueButton() const { return continueButton_; }
    QPushButton* DisableAllButton() const { return disableAllButton_; }
    QPushButton* AcknowledgeButton() const { return acknowledgeButton_; }
    QPushButton* SnoozeButton() const { return snoozeButton_; }
    QMenu* SnoozeMenu() const { return snoozeMenu_; }
    // The comment row "Acknowledge..." opens: the box, and its "OK" and "Cancel".
    QWidget* CommentRow() const { return commentRow_; }
    QLineEdit* CommentBox() const { return commentBox_; }
    QPushButton* CommentOkButton() const { return commentOk_; }
    QPushButton* CommentCancelButton() const { return commentCancel_; }

protected:
    // Escape in the comment row only leaves the row.
    void reject() override;

private:
    bool ShownByView() const override { return view_.alarm.visible; }
    void Render(bool opening) override;
    void ShowCommentRow(bool shown);
    void Acknowledge();

    AlarmWindowCommands commands_;
    QLabel* firstLine_ = nullptr;
    QLabel* secondLine_ = nullptr;
    QPushButton* continueButton_ = nullptr;
    QPushButton* acknowledgeButton_ = nullptr;
    QPushButton* snoozeButton_ = nullptr;
    QMenu* snoozeMenu_ = nullptr;
    QPushButton* disableAllButton_ = nullptr;
    QWidget* commentRow_ = nullptr;
    QLineEdit* commentBox_ = nullptr;
    QPushButton* commentOk_ = nullptr;
    QPushButton* commentCancel_ = nullptr;
};

}  // namespace vigiltron
