#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/AlarmHistoryWindow.h"
#include "ui/CameraView.h"
#include "ui/Forward.h"
#include "ui/HelpWindow.h"
#include "ui/SensorTab.h"
#include "ui/SummaryTab.h"
#include "ui/TrayIcon.h"
#include "ui/ViewStyle.h"

namespace vigiltron {

namespace {

// The sensor tabs, in the order they follow the Summary tab.
constexpr Tab kSensorTabs[] = {Tab::Temperature, Tab::Humidity,      Tab::Proximity,
                               Tab::Water,       Tab::Accelerometer, Tab::Distance};

}  // namespace

MainWindow::MainWindow(ViewModel& view, MainWindowCommands commands, QWidget* parent)
    : QMainWindow(parent), view_(view), commands_(std::move(commands)) {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    setCentralWidget(tabs_);

    summary_ = new SummaryTab(view_, commands_, tabs_);
    tabs_->addTab(summary_, QStringLiteral("Summary"));
    for (Tab tab : kSensorTabs) {
        auto* page = new SensorTab(view_, tab, commands_, tabs_);
        tabs_->addTab(page, QString::fromStdString(TabName(tab)));
        sensorTabs_.push_back(page);
    }
    videoTab_ = BuildVideoTab();
    tabs_->addTab(videoTab_, QStringLiteral("Video"));
    // Acting on a change of the front view only: the tab the user chose stays otherwise.
    frontView_ = view_.cameras.frontView;
    helpWindow_ = new HelpWindow(this);
    alarmHistoryWindow_ = new AlarmHistoryWindow(view_, commands_.alarmHistory, this);
    BuildMenus();
    setWindowIcon(ProgramIcon());
    tray_ = new TrayIcon(view_, TrayIcon::Commands{commands_.takeOutOfTray, commands_.trayFailed},
                         this);

    // A burst of changes (a reading updates the row, the slot and the log one after another)
    // is rendered once, when control returns to the event loop.
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, &MainWindow::Refresh);
    // The view model keeps its observers for its whole life; the guard makes a notice that
    // arrives after the window is gone do nothing.
    view_.Subscribe([guard = QPointer<MainWindow>(this)] {
        if (guard) {
            guard->ScheduleRefresh();
        }
    });
    // Sized in text lines rather than pixels, so a larger font gives a larger window; never
    // larger than a 1024x768 screen leaves room for.
    const QFontMetrics metrics(font());
    resize(std::min(metrics.averageCharWidth() * 110, 1000),
           std::min(metrics.lineSpacing() * 36, 700));
    Refresh();
}

void MainWindow::ShowAsPlaced() {
    if (view_.mainWindowPlacement == ViewModel::WindowPlacement::Minimised) {
        showMinimized();
        return;
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (!view_.mainWindowHidden) {
        show();
    }
}

MainWindow::~MainWindow() {
    ApplyBusyPointer(false);
}

QAction* MainWindow::AddCommand(QMenu* menu, const QString& caption,
                                const std::function<void()>& command) {
    QAction* action = menu->addAction(caption);
    connect(action, &QAction::triggered, this, [command] { Forward(command); });
    return action;
}

void MainWindow::BuildMenus() {
    const MainWindowCommands& c = commands_;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    placeInTrayAction_ = AddCommand(file, QStringLiteral("&Place in system tray"), c.placeInTray);
    placeInStartupAction_ = file->addAction(QStringLiteral("Place in System &Startup"));
    placeInStartupAction_->setCheckable(true);
    connect(placeInStartupAction_, &QAction::triggered, this,
            [this](bool ticked) { Forward(commands_.placeInStartup, ticked); });
    removeFromStartupAction_ =
        AddCommand(file, QStringLiteral("&Remove from Startup"), c.removeFromStartup);
    file->addSeparator();
    AddCommand(file, QStringLiteral("&Open Log Files"), c.openLogFiles);
    AddCommand(file, QStringLiteral("&Open Camera Capture Files"), c.openCaptureFiles);
    alarmHistoryAction_ = AddCommand(file, QStringLiteral("Alarm &History..."),
                                     [this] { alarmHistoryWindow_->Open(); });
    alarmHistoryAction_->setObjectName(QStringLiteral("alarmHistory"));
    file->addSeparator();
    AddCommand(file, QStringLiteral("Save Preferences to &file"), c.savePreferencesToFile);
    regCleanAction_ =
        AddCommand(file, QStringLiteral("&Clean Out Registry Settings"), c.registryCleanOut);
    file->addSeparator();
    exitAction_ = AddCommand(file, QStringLiteral("E&xit"), c.exitRequested);
    exitAction_->setObjectName(QStringLiteral("exit"));
    exitAction_->setShortcut(QKeySequence::Quit);

    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    AddCommand(setup, QStringLiteral("&Sensor Setup..."), c.openSetupWindow);
    AddCommand(setup, QStringLiteral("&Add Device (Sensor or Camera)..."), c.addDevice);
    connectAllAction_ = AddCommand(setup, QStringLiteral("&Connect All"), c.connectAll);
    connectAllAction_->setObjectName(QStringLiteral("connectAll"));
    setup->addSeparator();
    AddCommand(setup, QStringLiteral("&Proximity Events"), c.setProximityNotifications);
    AddCommand(setup, QStringLiteral("&Set Log File Directory"), c.setLogFileDirectory);
    AddCommand(setup, QStringLiteral("&E-mail Alert Setup..."), c.openEmailSetup);
    AddCommand(setup, QStringLiteral("Pa&ging Setup..."), c.openPagingSetup);
    AddCommand(setup, QStringLiteral("&Remote Monitoring..."), c.openRemoteMonitoring);
    setup->addSeparator();
    AddCommand(setup, QStringLiteral("&Start Data Collector"), c.startDataCollector);

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(helpMenu_, QStringLiteral("&Vigiltron Manager Help"), c.showHelp)
        ->setShortcut(QKeySequence::HelpContents);
    AddCommand(helpMenu_, QStringLiteral("&Check for updates"), c.checkForUpdates);
    AddCommand(helpMenu_, QStringLiteral("&About Vigiltron Manager"), c.about);
}

QWidget* MainWindow::BuildVideoTab() {
    auto* page = new QWidget(tabs_);
    page->setObjectName(QStringLiteral("Video"));
    auto* layout = new QVBoxLayout(page);

    // Cameras show here once they are connected; until then the tab says there are none.
    noCamerasNotice_ = new QLabel(QStringLiteral("No Vigiltron/V cameras present."), page);
    noCamerasNotice_->setObjectName(QStringLiteral("noCamerasNotice"));
    noCamerasNotice_->setAlignment(Qt::AlignCenter);
    SetPointSize(*noCamerasNotice_, 14);
    layout->addWidget(noCamerasNotice_, 1);

    cameraGrid_ = new QWidget(page);
    cameraGrid_->setObjectName(QStringLiteral("cameraGrid"));
    auto* gridLayout = new QVBoxLayout(cameraGrid_);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    auto* grid = new QGridLayout;
    for (int v = 1; v <= 4; ++v) {
        auto* camera = new CameraViewWidget(commands_.grabCameraFrame, cameraGrid_);
        camera->setObjectName(QStringLiteral("cameraView%1").arg(v));
        grid->addWidget(camera, (v - 1) / 2, (v - 1) % 2);
        videoViews_[std::size_t(v)] = camera;
    }
    gridLayout->addLayout(grid, 1);
    resolutionChange_ = new QPushButton(QStringLiteral("&Resolution Change"), cameraGrid_);
    resolutionChange_->setObjectName(QStringLiteral("resolutionChange"));
    connect(resolutionChange_, &QPushButton::clicked, this,
            [this] { Forward(commands_.changeResolution); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(resolutionChange_);
    gridLayout->addLayout(buttons);
    layout->addWidget(cameraGrid_, 1);
    return page;
}

void MainWindow::RenderVideoTab() {
    const CameraViewData& cameras = view_.cameras;
    noCamerasNotice_->setVisible(cameras.noCamerasNoticeVisible);
    // Hidden views stop asking for pictures.
    cameraGrid_->setVisible(!cameras.noCamerasNoticeVisible);
    for (int v = 1; v <= 4; ++v) {
        videoViews_[std::size_t(v)]->Render(cameras.views[std::size_t(v)]);
    }
    if (cameras.frontView != frontView_) {
        frontView_ = cameras.frontView;
        if (frontView_ == 0) {
            tabs_->setCurrentWidget(summary_);
        } else if (frontView_ >= 1 && frontView_ <= 4) {
            tabs_->setCurrentWidget(videoTab_);
        }
    }
}

CameraViewWidget* MainWindow::VideoView(int view) const {
    return view >= 1 && view <= 4 ? videoViews_[std::size_t(view)] : nullptr;
}

void MainWindow::ScheduleRefresh() {
    if (!refreshTimer_.isActive()) {
        refreshTimer_.start();
    }
}

void MainWindow::Refresh() {
    refreshTimer_.stop();
    ++refreshCount_;

    const QString title = QString::fromStdString(view_.mainTitle);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    summary_->Render();
    for (SensorTab* page : sensorTabs_) {
        page->Render();
        tabs_->setTabVisible(tabs_->indexOf(page), view_.TabAt(page->Kind()).visible);
    }
    RenderVideoTab();
    connectAllAction_->setEnabled(view_.connectAllEnabled);
    placeInTrayAction_->setEnabled(!view_.inTray);
    tray_->Render();
    // The window hides while the program lives in the tray and comes back when it leaves.
    if (view_.mainWindowHidden != windowHidden_) {
        windowHidden_ = view_.mainWindowHidden;
        if (windowHidden_) {
            hide();
        } else {
            showNormal();
            raise();
            activateWindow();
        }
    }
    placeInStartupAction_->setChecked(view_.placedInStartup);
    removeFromStartupAction_->setVisible(view_.removeFromStartupVisible);
    regCleanAction_->setVisible(view_.regCleanMenuVisible);
    helpWindow_->Render(view_.help);
    if (view_.help.visible && view_.help.raiseCount != helpRaiseCount_) {
        helpWindow_->show();
        helpWindow_->raise();
        helpWindow_->activateWindow();
    }
    helpRaiseCount_ = view_.help.raiseCount;
    ApplyBusyPointer(view_.busyDepth > 0);
}

void MainWindow::ApplyBusyPointer(bool busy) {
    if (busy == busyPointerShown_) {
        return;
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    busyPointerShown_ = busy;
}

SensorTab* MainWindow::SensorTabFor(Tab tab) const {
    for (SensorTab* page : sensorTabs_) {
        if (page->Kind() == tab) {
            return page;
        }
    }
    return nullptr;
}

}  // namespace vigiltron
