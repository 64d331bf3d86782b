#pragma once

#include <QWidget>
#include <functional>

#include "app/SetupWindowCommands.h"
#include "config/Preferences.h"

class QCheckBox;
class QLineEdit;

namespace vigiltron {

// The setup window's "Logging" page: the program-wide options of the log files (closing after
// every write, the size of one file and of all of them, the file-name prefix) and the log
// directory, which the Logs menu sets. The per-device logging boxes are on the device page.
class SetupLoggingPage : public QWidget {
    Q_OBJECT
public:
    // `commandDone` runs after every command the page forwards.
    SetupLoggingPage(SetupWindowCommands commands, std::function<void()> commandDone,
                     QWidget* parent = nullptr);

    void Render(const Preferences& prefs);

    QCheckBox* CloseAfterWriteBox() const { return closeAfterWrite_; }
    QLineEdit* MaxFileSizeBox() const { return maxFileSize_; }
    QLineEdit* TotalSizeBox() const { return totalSize_; }
    QLineEdit* PrefixBox() const { return prefix_; }
    QLineEdit* DirectoryBox() const { return directory_; }

private:
    QLineEdit* NewTextBox(const char* key);
    void Done();

    SetupWindowCommands commands_;
    std::function<void()> commandDone_;
    QCheckBox* closeAfterWrite_ = nullptr;
    QLineEdit* maxFileSize_ = nullptr;
    QLineEdit* totalSize_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* directory_ = nullptr;
};

}  // namespace vigiltron
