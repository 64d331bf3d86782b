#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "alerts/SoundPlayer.h"
#include "app/ContactWindowsCommands.h"
#include "app/DeviceWindowsCommands.h"
#include "app/MainWindowCommands.h"
#include "app/SetupWindowCommands.h"
#include "core/CameraDevice.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"

class QCoreApplication;

namespace vigiltron {

class ViewModel;
struct Preferences;

// What the windows ask of the program: the main window's commands and the alarm window's
// buttons. An empty function does nothing.
struct DesktopCommands {
    MainWindowCommands main;
    DeviceWindowsCommands devices;
    ContactWindowsCommands contacts;
    SetupWindowCommands setup;
    std::function<void()> alarmContinue;
    std::function<void()> alarmDisableAll;
    // "Acknowledge..." with its comment (empty when none), and "Snooze" for the sensors in the
    // alarm: for a while, or until they are back to normal (nothing).
    std::function<void(const std::string& comment)> alarmAcknowledge;
    std::function<void(std::optional<std::chrono::minutes>)> alarmSnooze;
    // --screenshots: where the walk through the windows saves its pictures (empty: no walk),
    // and what it needs beyond the windows' own commands.
    std::string screenshotDirectory;
    std::function<void(const std::string&, const std::string&)> setPreference;
    std::function<void()> openAddWindowQuietly;
    // Writes the status page (document and stylesheet) into a directory, as remote monitoring
    // does with a local directory.
    std::function<void(const std::string& directory)> publishStatusPage;
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
    // Whether the desktop has a notification area for the tray icon (asked after
    // MakeApplication).
    virtual bool TrayAvailable() = 0;
    // Plays a wave file; a missing or unreadable file leaves the player silent.
    virtual std::unique_ptr<SoundPlayer> MakeSoundPlayer(const std::string& wavePath) = 0;
    // The USB cameras (V4L2 through Qt Multimedia). Device calls return at once and report back
    // on the thread of `loop`.
    virtual std::unique_ptr<CameraBackend> MakeCameraBackend(EventLoop& loop) = 0;
    // Builds the main window and the alarm window over the view model and shows the main window;
    // `dialogs` (made by MakeDialogs) are shown over it from then on.
    // The setup windows show `prefs` as their box texts.
    virtual std::unique_ptr<DesktopWindows> ShowWindows(ViewModel& view, const Preferences& prefs,
                                                        Dialogs& dialogs,
                                                        DesktopCommands commands) = 0;
};

// The module's one entry point: `extern "C" DesktopFrontEnd* <kDesktopEntryPoint>()`, returning
// a front-end the caller owns.
inline constexpr const char* kDesktopEntryPoint = "vigiltron_create_desktop_front_end";
using CreateDesktopFrontEnd = DesktopFrontEnd* (*)();

}  // namespace vigiltron
