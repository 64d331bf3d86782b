#pragma once

#include <cstdint>

#include "app/ContactWindowsCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The e-mail alert setup window: the mail route, the recipients, what an alert mail includes,
// the SMTP account and the mail component's status list. It follows the view model's visible
// flag; its boxes are filled from the preferences each time it opens, and "&OK" hands them to
// the program. Closing it by the title bar is its close command.
class EmailSetupWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model and the preferences must outlive the window.
    EmailSetupWindow(ViewModel& view, const Preferences& prefs, EmailWindowCommands commands,
                     QWidget* parent = nullptr);

    QRadioButton* SmtpOption() const { return smtpOption_; }
    QRadioButton* MailClientOption() const { return mailClientOption_; }
    QLineEdit* RecipientBox() const { return recipient_; }
    QLineEdit* CopyBox() const { return copy_; }
    QCheckBox* IncludeTimeDateBox() const { return includeTimeDate_; }
    QCheckBox* IncludeReadingBox() const { return includeReading_; }
    QCheckBox* IncludeNameBox() const { return includeName_; }
    QCheckBox* IncludeInSubjectBox() const { return includeInSubject_; }
    QLineEdit* ServerBox() const { return server_; }
    QCheckBox* AuthenticationBox() const { return authentication_; }
    QLabel* UserNameLabel() const { return userNameLabel_; }
    QLineEdit* UserNameBox() const { return userName_; }
    QLabel* PasswordLabel() const { return passwordLabel_; }
    QLineEdit* PasswordBox() const { return password_; }
    QLineEdit* SenderBox() const { return sender_; }
    QListWidget* StatusList() const { return statusList_; }
    QPushButton* TestButton() const { return testButton_; }
    QPushButton* CreateLogButton() const { return createLogButton_; }
    QPushButton* ClearLogButton() const { return clearLogButton_; }
    QPushButton* OkButton() const { return okButton_; }

private:
    bool ShownByView() const override { return view_.contactSetup.emailWindowVisible; }
    void Render(bool opening) override;
    void RenderFocus() override;
    void LoadBoxes();
    void RenderStatusList();
    void Save();

    const Preferences& prefs_;
    EmailWindowCommands commands_;
    QRadioButton* smtpOption_ = nullptr;
    QRadioButton* mailClientOption_ = nullptr;
    QLineEdit* recipient_ = nullptr;
    QLineEdit* copy_ = nullptr;
    QCheckBox* includeTimeDate_ = nullptr;
    QCheckBox* includeReading_ = nullptr;
    QCheckBox* includeName_ = nullptr;
    QCheckBox* includeInSubject_ = nullptr;
    QLineEdit* server_ = nullptr;
    QCheckBox* authentication_ = nullptr;
    QLabel* userNameLabel_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* sender_ = nullptr;
    QListWidget* statusList_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QPushButton* createLogButton_ = nullptr;
    QPushButton* clearLogButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    // The status list's removals already rendered, and the focus requests already honoured.
    std::uint64_t statusClearsShown_ = 0;
    int focusRequestsHandled_ = 0;
};

}  // namespace vigiltron
