#pragma once

#include <QObject>
#include <functional>
#include <string>

class QAbstractButton;
class QLineEdit;
class QWidget;

namespace vigiltron {

// The two moments of a box that the preference rules react to besides its text: a press of the
// mouse in it ("a click in the box") and the user moving the focus out of it ("the box lost the
// focus"). The watcher belongs to the box and goes with it.
class SetupWindowBoxEvents : public QObject {
    Q_OBJECT
public:
    // `pressed` runs on a press of the left mouse button in the box; the press still reaches it.
    static void OnPress(QWidget& box, std::function<void()> pressed);
    // `left` runs when the user moves the focus elsewhere in the window. Switching to another
    // window or opening a pop-up does not count: the user has not left the box.
    static void OnLeave(QWidget& box, std::function<void()> left);

private:
    explicit SetupWindowBoxEvents(QWidget& box);
    static SetupWindowBoxEvents& Of(QWidget& box);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::function<void()> pressed_;
    std::function<void()> left_;
};

// Shows `text` in a box unless it holds it already, so a box being typed in keeps its cursor.
void ShowText(QLineEdit& box, const std::string& text);
// Ticks or unticks a check box or option without telling anyone.
void ShowChecked(QAbstractButton& button, bool checked);

}  // namespace vigiltron
