#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "app/ContactWindowsCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The "Paging Setup" window: the pager numbers, the page route, the modem's port and the modem
// commands. It follows the view model's visible flag; its boxes are filled from the preferences
// each time it opens, and "&Ok" hands them to the program. Closing it by the title bar is its
// close command, which checks the number to call.
class PagingSetupWindow : public QDialog {
    Q_OBJECT
public:
    // The view model and the preferences must outlive the window.
    PagingSetupWindow(ViewModel& view, const Preferences& prefs, PagingWindowCommands commands,
                      QWidget* parent = nullptr);

    // Renders now; changes announced by the view model are rendered once the event loop runs.
    void Refresh();

    QLineEdit* NumberToCallBox() const { return numToCall_; }
    QLineEdit* NumberToSendBox() const { return numToSend_; }
    QLineEdit* PhoneNumberBox() const { return numToSendPhone_; }
    QComboBox* ModemPortList() const { return modemPort_; }
    QRadioButton* NumericOption() const { return numericOption_; }
    QRadioButton* AlphaNumericOption() const { return alphaOption_; }
    QRadioButton* PhoneOption() const { return phoneOption_; }
    QPushButton* InitStringButton() const { return initStringButton_; }
    QPushButton* ConnectionButton() const { return connectionButton_; }
    QPushButton* NumericTestButton() const { return numericTestButton_; }
    QPushButton* PhoneTestButton() const { return phoneTestButton_; }
    QPushButton* OkButton() const { return okButton_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void LoadBoxes();
    void RenderPorts();
    void Save();
    void Close();

    ViewModel& view_;
    const Preferences& prefs_;
    PagingWindowCommands commands_;
    QLineEdit* numToCall_ = nullptr;
    QLineEdit* numToSend_ = nullptr;
    QLineEdit* numToSendPhone_ = nullptr;
    QComboBox* modemPort_ = nullptr;
    QRadioButton* numericOption_ = nullptr;
    QRadioButton* alphaOption_ = nullptr;
    QRadioButton* phoneOption_ = nullptr;
    QPushButton* initStringButton_ = nullptr;
    QPushButton* connectionButton_ = nullptr;
    QPushButton* numericTestButton_ = nullptr;
    QPushButton* phoneTestButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QTimer refreshTimer_;
    std::vector<int> portsShown_;
    int focusRequestsHandled_ = 0;
};

}  // namespace vigiltron
