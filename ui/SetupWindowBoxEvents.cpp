#include "ui/SetupWindowBoxEvents.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>

namespace vigiltron {

SetupWindowBoxEvents::SetupWindowBoxEvents(QWidget& box) : QObject(&box) {
    box.installEventFilter(this);
}

SetupWindowBoxEvents& SetupWindowBoxEvents::Of(QWidget& box) {
    if (auto* watcher =
            box.findChild<SetupWindowBoxEvents*>(QString(), Qt::FindDirectChildrenOnly)) {
        return *watcher;
    }
    return *new SetupWindowBoxEvents(box);
}

void SetupWindowBoxEvents::OnPress(QWidget& box, std::function<void()> pressed) {
    Of(box).pressed_ = std::move(pressed);
}

void SetupWindowBoxEvents::OnLeave(QWidget& box, std::function<void()> left) {
    Of(box).left_ = std::move(left);
}

bool SetupWindowBoxEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && pressed_ &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        pressed_();
    } else if (event->type() == QEvent::FocusOut && left_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            left_();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ShowText(QLineEdit& box, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    if (box.text() != wanted) {
        const QSignalBlocker quiet(box);
        box.setText(wanted);
    }
}

void ShowChecked(QAbstractButton& button, bool checked) {
    if (button.isChecked() == checked) {
        return;
    }
    const QSignalBlocker quiet(button);
    // An option of a group cannot be unticked on its own; the group's others are shown by the
    // same render, so for a moment it may stand alone.
    const bool exclusive = button.autoExclusive();
    button.setAutoExclusive(false);
    button.setChecked(checked);
    button.setAutoExclusive(exclusive);
}

}  // namespace vigiltron
