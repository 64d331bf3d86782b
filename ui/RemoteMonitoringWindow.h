#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/ContactWindowsCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The "Remote Monitoring" window: the FTP account, the update interval and connection policy,
// the status page's title and the local report directory. It follows the view model's visible
// flag; its boxes are filled from the preferences each time it opens, and "&OK" hands them to
// the program. Closing it by the title bar is its close command.
class RemoteMonitoringWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model and the preferences must outlive the window.
    RemoteMonitoringWindow(ViewModel& view, const Preferences& prefs,
                           RemoteMonitoringWindowCommands commands, QWidget* parent = nullptr);

    QLineEdit* ServerBox() const { return server_; }
    QLineEdit* UserNameBox() const { return userName_; }
    QLineEdit* PasswordBox() const { return password_; }
    QLineEdit* RemoteDirectoryBox() const { return remoteDirectory_; }
    QLineEdit* IntervalBox() const { return interval_; }
    QLineEdit* TitleBox() const { return title_; }
    QCheckBox* UseDirectoryBox() const { return useDirectory_; }
    QLineEdit* XmlDirectoryBox() const { return xmlDirectory_; }
    QRadioButton* StayConnectedOption() const { return stayConnected_; }
    QRadioButton* ConnectBeforeSendOption() const { return connectBeforeSend_; }
    QCheckBox* SeeMessagesBox() const { return seeMessages_; }
    QCheckBox* AutoStartBox() const { return autoStart_; }
    QPushButton* OkButton() const { return okButton_; }
    QPushButton* LoginButton() const { return login_; }
    QPushButton* LogoutButton() const { return logout_; }
    QPushButton* StartStopButton() const { return startStop_; }
    QPushButton* TestTransferButton() const { return testTransfer_; }
    QPlainTextEdit* MessageLog() const { return log_; }

private:
    bool ShownByView() const override { return view_.contactSetup.remoteMonitoringWindowVisible; }
    void Render(bool opening) override;
    void RenderFocus() override;
    void LoadBoxes();
    void Save();
    // The settings as the window shows them.
    RemoteMonitoringSettings Shown() const;
    // The FTP update engine's buttons and message log.
    void RenderFtp();

    const Preferences& prefs_;
    RemoteMonitoringWindowCommands commands_;
    QLineEdit* server_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* remoteDirectory_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QLineEdit* title_ = nullptr;
    QCheckBox* useDirectory_ = nullptr;
    QLineEdit* xmlDirectory_ = nullptr;
    QRadioButton* stayConnected_ = nullptr;
    QRadioButton* connectBeforeSend_ = nullptr;
    QCheckBox* seeMessages_ = nullptr;
    QCheckBox* autoStart_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* login_ = nullptr;
    QPushButton* logout_ = nullptr;
    QPushButton* startStop_ = nullptr;
    QPushButton* testTransfer_ = nullptr;
    std::vector<QPushButton*> ftpCommands_;  // CD, DIR, LS, MKDIR
    QLabel* updateState_ = nullptr;
    QGroupBox* messages_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    // How much of the view's message log the box shows.
    std::size_t logLinesShown_ = 0;
    std::uint64_t logClearsShown_ = 0;
    int remoteDirectoryBlanks_ = 0;
    int focusRequestsHandled_ = 0;
};

}  // namespace vigiltron
