#include "ui/QtDesktopFrontEnd.h"

#include <QApplication>
#include <QPointer>
#include <QtGlobal>

#include "core/ViewModel.h"
#include "platform/QtCameraBackend.h"
#include "platform/QtSoundPlayer.h"
#include "ui/AddDeviceWindow.h"
#include "ui/AlarmWindow.h"
#include "ui/EmailSetupWindow.h"
#include "ui/Forward.h"
#include "ui/HistoryWindow.h"
#include "ui/MainWindow.h"
#include "ui/PagingSetupWindow.h"
#include "ui/QtDialogs.h"
#include "ui/RemoteMonitoringWindow.h"
#include "ui/ScanListWindow.h"
#include "ui/ScreenshotTour.h"
#include "ui/SetupWindow.h"
#include "ui/TrayIcon.h"

namespace vigiltron {

namespace {

class QtDesktopWindows : public DesktopWindows {
public:
    QtDesktopWindows(ViewModel& view, const Preferences& prefs, QtDialogs* dialogs,
                     DesktopCommands commands) {
        // "History" opens a chart window over the program's reader; only this side can make
        // windows. Each chart closes itself (and goes with the main window, its parent).
        commands.main.showHistory = [this, read = commands.main.readHistory](int n) {
            auto* window = new HistoryWindow(
                [read, n](HistoryRange range) { return read ? read(n, range) : HistorySeries{}; },
                main_.get());
            window->show();
        };
        main_ = std::make_unique<MainWindow>(view, commands.main);
        if (dialogs != nullptr) {
            dialogs->SetParentWindow(main_.get());
        }
        main_->ShowAsPlaced();
        alarm_ = std::make_unique<AlarmWindow>(
            view,
            AlarmWindowCommands{
                std::move(commands.alarmContinue), std::move(commands.alarmDisableAll),
                std::move(commands.alarmAcknowledge), std::move(commands.alarmSnooze)},
            main_.get());
        addDevice_ = new AddDeviceWindow(view, commands.devices, main_.get());
        scanList_ = new ScanListWindow(view, commands.devices, main_.get());
        setup_ = new SetupWindow(view, prefs, commands.setup, main_.get());
        new EmailSetupWindow(view, prefs, commands.contacts.email, main_.get());
        new PagingSetupWindow(view, prefs, commands.contacts.paging, main_.get());
        new RemoteMonitoringWindow(view, prefs, commands.contacts.remoteMonitoring, main_.get());
        if (!commands.screenshotDirectory.empty()) {
            StartScreenshotTour(view, commands);
        }
        // Start-up runs after the window is shown and may ask for it minimised (the tray is the
        // view model's `inTray`). The view model outlives the window, hence the guarded pointer.
        view.Subscribe(
            [&view, window = QPointer<MainWindow>(main_.get()), placed = false]() mutable {
                if (!placed && window &&
                    view.mainWindowPlacement == ViewModel::WindowPlacement::Minimised) {
                    placed = true;  // once: the user may restore the window afterwards
                    window->showMinimized();
                }
            });
    }

private:
    void StartScreenshotTour(const ViewModel& view, const DesktopCommands& commands) {
        ScreenshotTour::Commands tour;
        tour.openSetup = commands.main.openSetupWindow;
        tour.closeSetup = commands.setup.close;
        tour.openAddWindow = commands.openAddWindowQuietly;
        tour.scan = commands.devices.scan;
        tour.closeDeviceWindows = [devices = commands.devices] {
            Forward(devices.closeScanList);
            Forward(devices.cancel);
        };
        tour.placeInTray = commands.main.placeInTray;
        tour.takeOutOfTray = commands.main.takeOutOfTray;
        tour.showHistory = commands.main.showHistory;
        tour.setPreference = commands.setPreference;
        tour.publishStatusPage = commands.publishStatusPage;
        ScreenshotTour::Windows windows;
        windows.main = main_.get();
        windows.setup = setup_;
        windows.addDevice = addDevice_;
        windows.scanList = scanList_;
        windows.alarm = alarm_.get();
        windows.tray = main_->Tray();
        auto* walk =
            new ScreenshotTour(view, windows, std::move(tour),
                               QString::fromStdString(commands.screenshotDirectory), main_.get());
        walk->Start();
    }

    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<AlarmWindow> alarm_;  // goes first: a child of the main window
    // Children of the main window, which deletes them.
    AddDeviceWindow* addDevice_ = nullptr;
    ScanListWindow* scanList_ = nullptr;
    SetupWindow* setup_ = nullptr;
};

}  // namespace

std::unique_ptr<QCoreApplication> QtDesktopFrontEnd::MakeApplication(int& argc, char** argv) {
    return std::make_unique<QApplication>(argc, argv);
}

bool QtDesktopFrontEnd::TrayAvailable() {
    return TrayIcon::Available();
}

std::unique_ptr<Dialogs> QtDesktopFrontEnd::MakeDialogs() {
    return std::make_unique<QtDialogs>();
}

std::unique_ptr<SoundPlayer> QtDesktopFrontEnd::MakeSoundPlayer(const std::string& wavePath) {
    return std::make_unique<QtSoundPlayer>(QString::fromStdString(wavePath));
}

std::unique_ptr<CameraBackend> QtDesktopFrontEnd::MakeCameraBackend(EventLoop& loop) {
    return std::make_unique<QtCameraBackend>(loop);
}

std::unique_ptr<DesktopWindows> QtDesktopFrontEnd::ShowWindows(ViewModel& view,
                                                               const Preferences& prefs,
                                                               Dialogs& dialogs,
                                                               DesktopCommands commands) {
    // Dialogs made elsewhere (none today) simply keep no parent window.
    return std::make_unique<QtDesktopWindows>(view, prefs, dynamic_cast<QtDialogs*>(&dialogs),
                                              std::move(commands));
}

}  // namespace vigiltron

// The entry point the program looks up by name (kDesktopEntryPoint).
extern "C" Q_DECL_EXPORT vigiltron::DesktopFrontEnd* vigiltron_create_desktop_front_end() {
    return new vigiltron::QtDesktopFrontEnd;
}
