#pragma once

#include <functional>
#include <memory>
#include <string>

#include "alerts/SoundPlayer.h"
#include "core/Dialogs.h"
#include "ui/MainWindowCommands.h"

class QCoreApplication;

namespace vigiltron {

class ViewModel;

// What the windows ask of the program: the main window's commands and the alarm window's two
// buttons. An empty function does nothing.
struct DesktopCommands {
    MainWindowCommands main;
    std::function<void()> alarmContinue;
    std::function<void()> alarmDisableAll;
};

// The windows of a windowed run. Destroying it closes them; it must go before the view model.
class DesktopWindows {
public:
    virtual ~DesktopWindows() = default;
};

// Everything a windowed run needs from Qt Widgets, Gui and Multimedia: the application object,
// the dialogs, the alert sound and the windows. It lives in the desktop module, which only a
// windowed run loads, so a headless run never maps those libraries.
class DesktopFrontEnd {
public:
    virtual ~DesktopFrontEnd() = default;

    // The application object of a windowed run, made before any other Qt object. It keeps a
    // reference to `argc`, which must outlive it.
    virtual std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) = 0;
    virtual std::unique_ptr<Dialogs> MakeDialogs() = 0;
    // Plays a wave file; a missing or unreadable file leaves the player silent.
    virtual std::unique_ptr<SoundPlayer> MakeSoundPlayer(const std::string& wavePath) = 0;
    // Builds the main window and the alarm window over the view model and shows the main window;
    // `dialogs` (made by MakeDialogs) are shown over it from then on.
    virtual std::unique_ptr<DesktopWindows> ShowWindows(ViewModel& view, Dialogs& dialogs,
                                                        DesktopCommands commands) = 0;
};

// The module's one entry point: `extern "C" DesktopFrontEnd* <kDesktopEntryPoint>()`, returning
// a front-end the caller owns.
inline constexpr const char* kDesktopEntryPoint = "vigiltron_create_desktop_front_end";
using CreateDesktopFrontEnd = DesktopFrontEnd* (*)();

}  // namespace vigiltron
