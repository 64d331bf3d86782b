#pragma once

#include <functional>

#include "config/Preferences.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QLineEdit;

namespace vigiltron {

// The setup window's "Logging" page: the program-wide options of the log files (closing after
// every write, the size of one file and of all of them, the file-name prefix) and the log
// directory, which the Logs menu sets. The per-device logging boxes are on the device page.
class SetupLoggingPage : public SetupPage {
    Q_OBJECT
public:
    SetupLoggingPage(SetupWindowCommands commands, std::function<void()> commandDone,
                     QWidget* parent = nullptr);

    void Render(const Preferences& prefs);

    QCheckBox* CloseAfterWriteBox() const { return closeAfterWrite_; }
    QLineEdit* MaxFileSizeBox() const { return maxFileSize_; }
    QLineEdit* TotalSizeBox() const { return totalSize_; }
    QLineEdit* PrefixBox() const { return prefix_; }
    QLineEdit* DirectoryBox() const { return directory_; }

private:
    QCheckBox* closeAfterWrite_ = nullptr;
    QLineEdit* maxFileSize_ = nullptr;
    QLineEdit* totalSize_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* directory_ = nullptr;
};

}  // namespace vigiltron
