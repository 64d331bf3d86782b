#include "ui/ViewDialog.h"

#include <QCloseEvent>
#include <QPointer>

namespace vigiltron {

ViewDialog::ViewDialog(ViewModel& view, std::function<void()> close, QWidget* parent,
                       Closing closing)
    : QDialog(parent), view_(view), closeCommand_(std::move(close)), closing_(closing) {
    setModal(false);
    // Changes may arrive in bursts; they are rendered once control returns to the event loop.
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, &ViewDialog::Refresh);
    // The view model keeps its observers for its whole life; the guard makes a notice that
    // arrives after the window is gone do nothing.
    view_.Subscribe([guard = QPointer<ViewDialog>(this)] {
        if (guard && !guard->refreshTimer_.isActive()) {
            guard->refreshTimer_.start();
        }
    });
}

void ViewDialog::Refresh() {
    refreshTimer_.stop();
    const bool shown = ShownByView();
    const bool opening = shown && !isVisible();
    Render(opening);
    if (opening) {
        show();
        raise();
        activateWindow();
    } else if (!shown && isVisible()) {
        hide();
    }
    RenderFocus();
}

void ViewDialog::closeEvent(QCloseEvent* event) {
    if (closing_ == Closing::Refused) {
        // Nothing but the window's own buttons may leave it, so it stays in step with the program.
        event->ignore();
    } else if (!closeCommand_) {
        event->accept();
    } else {
        // The command's change to the view model hides the window.
        event->ignore();
        closeCommand_();
    }
}

void ViewDialog::reject() {
    if (closing_ == Closing::Refused) {
        return;
    }
    if (closeCommand_) {
        closeCommand_();
    } else {
        QDialog::reject();
    }
}

}  // namespace vigiltron
