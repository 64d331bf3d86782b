#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTabWidget>

#include "ui/HelpWindow.h"
#include "ui/SensorTab.h"
#include "ui/SummaryTab.h"

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
        auto* page = new SensorTab(view_, tab, commands_.clearHighLow, tabs_,
                                   commands_.clearLocalLog, commands_.slotButton);
        tabs_->addTab(page, QString::fromStdString(TabName(tab)));
        sensorTabs_.push_back(page);
    }
    helpWindow_ = new HelpWindow(this);
    BuildMenus();

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
    resize(720, 520);
    Refresh();
}

MainWindow::~MainWindow() {
    ApplyBusyPointer(false);
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    auto addCommand = [this, file](const QString& caption, const std::function<void()>& command) {
        QAction* action = file->addAction(caption);
        connect(action, &QAction::triggered, this, [command] {
            if (command) {
                command();
            }
        });
        return action;
    };
    addCommand(QStringLiteral("Save Preferences to file"), commands_.savePreferencesToFile);
    placeInStartupAction_ = file->addAction(QStringLiteral("Place in System Startup"));
    placeInStartupAction_->setCheckable(true);
    connect(placeInStartupAction_, &QAction::triggered, this, [this](bool ticked) {
        if (commands_.placeInStartup) {
            commands_.placeInStartup(ticked);
        }
    });
    removeFromStartupAction_ =
        addCommand(QStringLiteral("Remove from System Startup"), commands_.removeFromStartup);
    regCleanAction_ =
        addCommand(QStringLiteral("Clean Out Registry Settings"), commands_.registryCleanOut);
    file->addSeparator();
    exitAction_ = file->addAction(QStringLiteral("Exit"));
    exitAction_->setObjectName(QStringLiteral("exit"));
    connect(exitAction_, &QAction::triggered, this, [this] {
        if (commands_.exitRequested) {
            commands_.exitRequested();
        }
    });

    QMenu* logs = menuBar()->addMenu(QStringLiteral("&Logs"));
    for (const auto& [caption, command] :
         {std::pair{QStringLiteral("&Set Log File Directory"), commands_.setLogFileDirectory},
          std::pair{QStringLiteral("&Open Log Files"), commands_.openLogFiles}}) {
        connect(logs->addAction(caption), &QAction::triggered, this, [command] {
            if (command) {
                command();
            }
        });
    }

    QMenu* sensors = menuBar()->addMenu(QStringLiteral("&Sensors"));
    connectAllAction_ = sensors->addAction(QStringLiteral("Connect All"));
    connectAllAction_->setObjectName(QStringLiteral("connectAll"));
    connect(connectAllAction_, &QAction::triggered, this, [this] {
        if (commands_.connectAll) {
            commands_.connectAll();
        }
    });

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    for (const auto& [caption, command] :
         {std::pair{QStringLiteral("&Vigiltron Manager Help"), commands_.showHelp},
          std::pair{QStringLiteral("&Check for updates"), commands_.checkForUpdates},
          std::pair{QStringLiteral("&About Vigiltron Manager"), commands_.about}}) {
        connect(helpMenu_->addAction(caption), &QAction::triggered, this, [command] {
            if (command) {
                command();
            }
        });
    }
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
    connectAllAction_->setEnabled(view_.connectAllEnabled);
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
