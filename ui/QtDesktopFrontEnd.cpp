#include "ui/QtDesktopFrontEnd.h"

#include <QApplication>
#include <QPointer>
#include <QtGlobal>

#include "core/ViewModel.h"
#include "platform/QtSoundPlayer.h"
#include "ui/AlarmWindow.h"
#include "ui/HistoryWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

namespace vigiltron {

namespace {

class QtDesktopWindows : public DesktopWindows {
public:
    QtDesktopWindows(ViewModel& view, QtDialogs* dialogs, DesktopCommands commands) {
        // "History" opens a chart window over the program's reader; only this side can make
        // windows. Each chart closes itself (and goes with the main window, its parent).
        commands.main.showHistory = [this, read = commands.main.readHistory](int n) {
            auto* window = new HistoryWindow(
                [read, n](HistoryRange range) { return read ? read(n, range) : HistorySeries{}; },
                main_.get());
            window->show();
        };
        main_ = std::make_unique<MainWindow>(view, std::move(commands.main));
        if (dialogs != nullptr) {
            dialogs->SetParentWindow(main_.get());
        }
        main_->show();
        alarm_ =
            std::make_unique<AlarmWindow>(view,
                                          AlarmWindowCommands{std::move(commands.alarmContinue),
                                                              std::move(commands.alarmDisableAll)},
                                          main_.get());
        // Start-up decides where the window goes: centred, minimised, or (until the tray icon
        // exists) minimised in place of the tray. The view model outlives the window, hence the
        // guarded pointer.
        view.Subscribe(
            [&view, window = QPointer<MainWindow>(main_.get()), placed = false]() mutable {
                if (!placed && window &&
                    view.mainWindowPlacement != ViewModel::WindowPlacement::Centred) {
                    placed = true;  // once: the user may restore the window afterwards
                    window->showMinimized();
                }
            });
    }

private:
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<AlarmWindow> alarm_;  // goes first: a child of the main window
};

}  // namespace

std::unique_ptr<QCoreApplication> QtDesktopFrontEnd::MakeApplication(int& argc, char** argv) {
    return std::make_unique<QApplication>(argc, argv);
}

std::unique_ptr<Dialogs> QtDesktopFrontEnd::MakeDialogs() {
    return std::make_unique<QtDialogs>();
}

std::unique_ptr<SoundPlayer> QtDesktopFrontEnd::MakeSoundPlayer(const std::string& wavePath) {
    return std::make_unique<QtSoundPlayer>(QString::fromStdString(wavePath));
}

std::unique_ptr<DesktopWindows> QtDesktopFrontEnd::ShowWindows(ViewModel& view, Dialogs& dialogs,
                                                               DesktopCommands commands) {
    // Dialogs made elsewhere (none today) simply keep no parent window.
    return std::make_unique<QtDesktopWindows>(view, dynamic_cast<QtDialogs*>(&dialogs),
                                              std::move(commands));
}

}  // namespace vigiltron

// The entry point the program looks up by name (kDesktopEntryPoint).
extern "C" Q_DECL_EXPORT vigiltron::DesktopFrontEnd* vigiltron_create_desktop_front_end() {
    return new vigiltron::QtDesktopFrontEnd;
}
