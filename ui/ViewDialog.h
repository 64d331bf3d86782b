#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "core/ViewModel.h"

namespace vigiltron {

// A window that shows part of the view model. It renders after every burst of the view model's
// changes, opens and hides as the view model says, and hands the title bar's close and Escape to
// the program's close command: the command's change to the view model is what hides it.
class ViewDialog : public QDialog {
    Q_OBJECT
public:
    // Renders now; changes announced by the view model are rendered once the event loop runs.
    void Refresh();

protected:
    // How the title bar's close and Escape are taken.
    enum class Closing {
        // They run the close command; with none given they close the window as any dialog.
        ByCommand,
        // Refused: the window is left only through its own buttons.
        Refused,
    };

    // The view model must outlive the window. Subclasses call Refresh() once they are built.
    ViewDialog(ViewModel& view, std::function<void()> close, QWidget* parent,
               Closing closing = Closing::ByCommand);

    // Whether the view model wants the window shown.
    virtual bool ShownByView() const = 0;
    // Shows the view model in the widgets; `opening` is set when the window is about to open.
    virtual void Render(bool opening) = 0;
    // Runs once the window is shown or hidden: the place to honour a request for the focus.
    virtual void RenderFocus() {}

    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    ViewModel& view_;

private:
    std::function<void()> closeCommand_;
    Closing closing_;
    QTimer refreshTimer_;
};

}  // namespace vigiltron
