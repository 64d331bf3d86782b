#pragma once

#include <array>
#include <functional>
#include <string>

#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace vigiltron {

// The setup window's "Cameras" page: for every camera number 1..4 that a setup entry holds, how
// the camera follows a proximity or distance sensor ("Monitor Only", "Proximity Activated" with
// the sensor's slot number, "Snap picture"), how it records ("Capture to AVI", "Auto Disconnect"
// with its interval, "FPS:") and whether it shows on the Summary tab. A note stands in for the
// rows while no camera is set up.
class SetupCamerasPage : public SetupPage {
    Q_OBJECT
public:
    SetupCamerasPage(SetupWindowCommands commands, std::function<void()> commandDone,
                     QWidget* parent = nullptr);

    void Render(const ViewModel& view, const Preferences& prefs);

    QLabel* NoCamerasNote() const { return noCameras_; }
    // Per camera number 1..4; nothing for other numbers.
    QGroupBox* CameraGroup(int camera) const;
    // The check box of a camera's switch, by its stored key without the camera number
    // ("chkCamMon", "CaptureToAVI", "chkSendToSummary", ...); nothing for other keys.
    QCheckBox* Switch(const std::string& key, int camera) const;
    QComboBox* ProximityNumberBox(int camera) const;
    QLineEdit* IntervalBox(int camera) const;
    QLineEdit* FpsBox(int camera) const;

private:
    struct CameraRow {
        QGroupBox* group = nullptr;
        QCheckBox* monitorOnly = nullptr;
        QCheckBox* proximityActivated = nullptr;
        QComboBox* proximityNumber = nullptr;
        QCheckBox* snapPicture = nullptr;
        QCheckBox* captureToAvi = nullptr;
        QCheckBox* autoDisconnect = nullptr;
        QLineEdit* interval = nullptr;
        QLineEdit* fps = nullptr;
        QCheckBox* sendToSummary = nullptr;
    };

    void BuildRow(int camera, QWidget* owner);
    // A box whose text is checked when the user leaves it.
    QLineEdit* NewCheckedBox(const std::string& key, const QString& accessibleName, QWidget* owner);
    const CameraRow* RowOf(int camera) const;

    QLabel* noCameras_ = nullptr;
    std::array<CameraRow, 5> rows_{};  // 1..4; 0 unused
};

}  // namespace vigiltron
