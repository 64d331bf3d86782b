#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vigiltron {

class MainWindow;
class TrayIcon;
class ViewModel;

// A walk through the windows of a running program that saves a picture of each, so a reviewer
// can look at them without a screen. It drives the program only through its own commands, as a
// user would, then quits the application.
class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    struct Windows {
        MainWindow* main = nullptr;
        QWidget* setup = nullptr;  // has a QTabWidget of pages
        QWidget* addDevice = nullptr;
        QWidget* scanList = nullptr;
        QWidget* alarm = nullptr;
        TrayIcon* tray = nullptr;
    };
    struct Commands {
        std::function<void()> openSetup;
        std::function<void()> closeSetup;
        std::function<void()> openAddWindow;  // without asking whether to scan
        std::function<void()> scan;
        std::function<void()> closeDeviceWindows;
        std::function<void()> placeInTray;
        std::function<void()> takeOutOfTray;
        std::function<void(int)> showHistory;
        // Changes a preference through the setup window's rules ("TempMax", "70").
        std::function<void(const std::string&, const std::string&)> setPreference;
        // Writes the status page into a directory (rendered by scripts/render-status-page).
        std::function<void(const std::string&)> publishStatusPage;
    };

    ScreenshotTour(const ViewModel& view, Windows windows, Commands commands, QString directory,
                   QObject* parent = nullptr);

    // Begins the walk once the event loop runs.
    void Start();
    // The files written so far, and the pictures that could not be taken (with why).
    const std::vector<QString>& Saved() const { return saved_; }
    const std::vector<QString>& Missed() const { return missed_; }

private:
    struct Step {
        int delayMs = 0;
        std::function<bool()> ready;  // waited for (up to a limit) before the action
        std::function<void()> action;
    };
    void Add(int delayMs, std::function<void()> action, std::function<bool()> ready = {});
    void RunStep(std::size_t index, int waitedMs);
    void Save(QWidget* widget, const QString& name);
    void Finish();

    const ViewModel& view_;
    Windows windows_;
    Commands commands_;
    QString directory_;
    std::vector<Step> steps_;
    std::vector<QString> saved_;
    std::vector<QString> missed_;
};

}  // namespace vigiltron
