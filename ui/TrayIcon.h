#pragma once

#include <QIcon>
#include <QObject>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vigiltron {

class ViewModel;

// The program's icon in the notification area, present while the view model says the program
// lives in the tray. Its image follows the alert state; a right click opens the menu with "Take
// out of system tray"; a left click does nothing.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    struct Commands {
        std::function<void()> takeOutOfTray;
        std::function<void(const std::string&)> trayFailed;
    };

    // The view model must outlive the icon.
    TrayIcon(const ViewModel& view, Commands commands, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop offers a notification area at all.
    static bool Available();

    // Shows, hides or changes the icon as the view model says.
    void Render();

    QMenu* Menu() const { return menu_; }
    QAction* TakeOutAction() const { return takeOut_; }
    bool Shown() const;
    // Whether the icon shows the alert image.
    bool ShowsAlert() const { return showsAlert_; }

private:
    const ViewModel& view_;
    Commands commands_;
    QIcon normal_;
    QIcon alert_;
    QMenu* menu_ = nullptr;
    QAction* takeOut_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
    bool showsAlert_ = false;
    bool failureReported_ = false;
};

}  // namespace vigiltron
