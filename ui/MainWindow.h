#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/MainWindowCommands.h"
#include "core/DeviceKind.h"
#include "core/ViewModel.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace vigiltron {

class AlarmHistoryWindow;
class CameraViewWidget;
class HelpWindow;
class SensorTab;
class SummaryTab;
class TrayIcon;

// The main window: the Summary tab, one tab per sensor kind and the Video tab; the File, Setup and
// Help menus; the tray icon. It renders the view model after every burst of changes and forwards
// the user's commands; it keeps no state of its own.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The view model must outlive the window.
    MainWindow(ViewModel& view, MainWindowCommands commands, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Renders the whole view model now. Changes announced by the view model are rendered once
    // the event loop runs, however many arrive in between.
    void Refresh();
    // Shows the window the first time: centred, or minimised when start-up asked for it; not at
    // all while the program lives in the tray.
    void ShowAsPlaced();
    // How many times the window has rendered the view model.
    std::uint64_t RefreshCount() const { return refreshCount_; }

    SummaryTab* Summary() const { return summary_; }
    // The tab of a sensor kind, or nothing when the window has no such tab.
    SensorTab* SensorTabFor(Tab tab) const;
    QTabWidget* Tabs() const { return tabs_; }
    QAction* ConnectAllAction() const { return connectAllAction_; }
    QAction* ExitAction() const { return exitAction_; }
    // The Help menu and the help window it opens.
    QMenu* HelpMenu() const { return helpMenu_; }
    HelpWindow* Help() const { return helpWindow_; }
    // File menu's "Alarm &History..." and the window it opens.
    QAction* AlarmHistoryAction() const { return alarmHistoryAction_; }
    AlarmHistoryWindow* AlarmHistoryDialog() const { return alarmHistoryWindow_; }
    TrayIcon* Tray() const { return tray_; }
    // The Video tab: the notice that no camera is present, or the four camera views (1..4) with
    // "Resolution Change".
    QWidget* VideoTab() const { return videoTab_; }
    QLabel* NoCamerasNotice() const { return noCamerasNotice_; }
    QWidget* CameraGrid() const { return cameraGrid_; }
    CameraViewWidget* VideoView(int view) const;
    QPushButton* ResolutionChangeButton() const { return resolutionChange_; }
    QAction* PlaceInTrayAction() const { return placeInTrayAction_; }

private:
    void BuildMenus();
    QWidget* BuildVideoTab();
    void RenderVideoTab();
    QAction* AddCommand(QMenu* menu, const QString& caption, const std::function<void()>& command);
    void ScheduleRefresh();
    void ApplyBusyPointer(bool busy);

    ViewModel& view_;
    MainWindowCommands commands_;
    QTabWidget* tabs_ = nullptr;
    SummaryTab* summary_ = nullptr;
    std::vector<SensorTab*> sensorTabs_;
    QAction* connectAllAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* placeInStartupAction_ = nullptr;
    QAction* removeFromStartupAction_ = nullptr;
    QAction* regCleanAction_ = nullptr;
    QAction* placeInTrayAction_ = nullptr;
    QWidget* videoTab_ = nullptr;
    QLabel* noCamerasNotice_ = nullptr;
    QWidget* cameraGrid_ = nullptr;
    std::array<CameraViewWidget*, 5> videoViews_{};  // 1..4; 0 is the Summary tab's
    QPushButton* resolutionChange_ = nullptr;
    int frontView_ = 0;  // the view model's front view last acted on
    TrayIcon* tray_ = nullptr;
    bool windowHidden_ = false;
    QMenu* helpMenu_ = nullptr;
    HelpWindow* helpWindow_ = nullptr;
    QAction* alarmHistoryAction_ = nullptr;
    AlarmHistoryWindow* alarmHistoryWindow_ = nullptr;
    int helpRaiseCount_ = 0;  // the view model's request last acted on
    QTimer refreshTimer_;
    std::uint64_t refreshCount_ = 0;
    bool busyPointerShown_ = false;
};

}  // namespace vigiltron
