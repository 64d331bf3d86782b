#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/ViewModel.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vigiltron {

// The setup window's "Devices" page: one row per configured setup index 1..10 with the device
// type, its name, the COM number box, the logging options and the connect and delete commands;
// and "Connect All", "Add Device..." and "Remote Monitoring...".
//
// A double click on the device type (or Enter on it) shows or hides the COM number box; a double
// click on the name (or F2 on it) renames the device.
class SetupDevicesPage : public SetupPage {
    Q_OBJECT
public:
    SetupDevicesPage(SetupWindowCommands commands, std::function<void()> commandDone,
                     QWidget* parent = nullptr);

    void Render(const ViewModel& view);

    QLabel* TypeLabel(int n) const { return Row(n).type; }
    QLabel* NameLabel(int n) const { return Row(n).name; }
    QLineEdit* PortBox(int n) const { return Row(n).port; }
    QCheckBox* TabLoggingBox(int n) const { return Row(n).tabLogging; }
    QCheckBox* FileLoggingBox(int n) const { return Row(n).fileLogging; }
    QPushButton* ConnectButton(int n) const { return Row(n).connect; }
    QPushButton* DeleteButton(int n) const { return Row(n).remove; }
    QPushButton* ConnectAllButton() const { return connectAll_; }
    QPushButton* AddDeviceButton() const { return addDevice_; }
    QPushButton* RemoteMonitoringButton() const { return remoteMonitoring_; }
    QLabel* NoDevicesNotice() const { return noDevices_; }

private:
    struct EntryWidgets {
        QLabel* type = nullptr;
        QLabel* name = nullptr;
        QLineEdit* port = nullptr;
        QCheckBox* tabLogging = nullptr;
        QCheckBox* fileLogging = nullptr;
        QPushButton* connect = nullptr;
        QPushButton* remove = nullptr;
    };

    // Rows 1..10; any other index gives an empty row.
    const EntryWidgets& Row(int n) const;
    void BuildRow(int n, QGridLayout& grid);
    void RenderRow(EntryWidgets& row, const DeviceSetupView::EntryRow& data,
                   const EntryCommands& commands);
    void PortBoxLeft(int n);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::array<EntryWidgets, 11> rows_{};
    std::array<std::string, 11> shownPorts_{};  // the port each row's box last showed
    QLabel* noDevices_ = nullptr;
    QPushButton* connectAll_ = nullptr;
    QPushButton* addDevice_ = nullptr;
    QPushButton* remoteMonitoring_ = nullptr;
};

}  // namespace vigiltron
