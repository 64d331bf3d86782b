#pragma once

#include "app/DeviceWindowsCommands.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vigiltron {

// "Add Device (Sensor or Camera)": the type list, the device name, the COM port with "Identify",
// the type's options or the camera's capture device, "Scan Ports...", "OK" and "Cancel". It shows
// the view model's pending addition and forwards every edit; it opens and closes as the view
// model's `addWindowVisible` says.
class AddDeviceWindow : public ViewDialog {
    Q_OBJECT
public:
    // The view model must outlive the window.
    AddDeviceWindow(ViewModel& view, DeviceWindowsCommands commands, QWidget* parent = nullptr);

    QComboBox* TypeBox() const { return typeBox_; }
    QLineEdit* NameBox() const { return nameBox_; }
    QSpinBox* ComPortBox() const { return comPort_; }
    QPushButton* IdentifyButton() const { return identify_; }
    QCheckBox* StartInBumpBox() const { return startInBump_; }
    QCheckBox* CalibrateBox() const { return calibrate_; }
    QCheckBox* StartInProxBox() const { return startInProx_; }
    QComboBox* DriverBox() const { return driverBox_; }
    QLabel* NoRoomNotice() const { return noRoom_; }
    QPushButton* ScanPortsButton() const { return scanPorts_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    bool ShownByView() const override { return view_.deviceSetup.addWindowVisible; }
    void Render(bool opening) override;
    void RenderFocus() override;
    void BuildLayout();

    DeviceWindowsCommands commands_;
    QFormLayout* form_ = nullptr;
    QComboBox* typeBox_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QWidget* comPortRow_ = nullptr;
    QSpinBox* comPort_ = nullptr;
    QPushButton* identify_ = nullptr;
    QCheckBox* startInBump_ = nullptr;
    QCheckBox* calibrate_ = nullptr;
    QCheckBox* startInProx_ = nullptr;
    QComboBox* driverBox_ = nullptr;
    QLabel* noRoom_ = nullptr;
    QPushButton* scanPorts_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // Whether the name box has taken the focus the view model asks for; a new request (a
    // further OK with a blank name) takes it again.
    bool nameFocusGiven_ = false;
};

}  // namespace vigiltron
