#pragma once

#include "app/DesktopFrontEnd.h"

namespace vigiltron {

// The desktop front-end made of Qt Widgets and Qt Multimedia: the QApplication, QtDialogs, the
// alert sound, the USB cameras, the main window and the alarm window. Built into the desktop module
// only.
class QtDesktopFrontEnd : public DesktopFrontEnd {
public:
    std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) override;
    std::unique_ptr<Dialogs> MakeDialogs() override;
    bool TrayAvailable() override;
    std::unique_ptr<SoundPlayer> MakeSoundPlayer(const std::string& wavePath) override;
    std::unique_ptr<CameraBackend> MakeCameraBackend(EventLoop& loop) override;
    std::unique_ptr<DesktopWindows> ShowWindows(ViewModel& view, const Preferences& prefs,
                                                Dialogs& dialogs,
                                                DesktopCommands commands) override;
};

}  // namespace vigiltron
