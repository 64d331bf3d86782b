#pragma once

#include <vector>

#include "app/ContactWindowsCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The "Paging Setup" window: the pager numbers, the page route, the modem's port and the modem
// commands. It follows the view model's visible flag; its boxes are filled from the preferences
// each time it opens, and "&Ok" hands them to the program. Closing it by the title bar is its
// close command, which checks the number to call.
class PagingSetupWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model and the preferences must outlive the window.
    PagingSetupWindow(ViewModel& view, const Preferences& prefs, PagingWindowCommands commands,
                      QWidget* parent = nullptr);

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

private:
    bool ShownByView() const override { return view_.contactSetup.pagingWindowVisible; }
    void Render(bool opening) override;
    void RenderFocus() override;
    void LoadBoxes();
    void RenderPorts();
    void Save();

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
    std::vector<int> portsShown_;
    int focusRequestsHandled_ = 0;
};

}  // namespace vigiltron
