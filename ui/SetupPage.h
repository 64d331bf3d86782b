#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <utility>

#include "app/SetupWindowCommands.h"
#include "ui/Forward.h"

class QCheckBox;
class QLineEdit;

namespace vigiltron {

// A page of the setup window. Every command it forwards is followed by `commandDone`, so the
// window shows the command's outcome at once (a refused tick is shown undone).
class SetupPage : public QWidget {
    Q_OBJECT
protected:
    SetupPage(SetupWindowCommands commands, std::function<void()> commandDone, QWidget* parent);

    // Runs one of the window's commands (an empty one does nothing), then `commandDone`.
    template <typename Command, typename... Args>
    void Run(const Command& command, Args&&... args) {
        Forward(command, std::forward<Args>(args)...);
        Forward(commandDone_);
    }
    // A box named after the stored key `key`; what the user types in it is forwarded as the
    // key's new text.
    QLineEdit* NewTextBox(const std::string& key, QWidget* owner);
    // A check box named after the stored key `key`; the user's clicks are forwarded as its ticks.
    QCheckBox* NewTickBox(const QString& caption, const std::string& key, QWidget* owner);

    const SetupWindowCommands commands_;

private:
    std::function<void()> commandDone_;
};

}  // namespace vigiltron
