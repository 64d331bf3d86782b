#include "ui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include "core/ViewModel.h"
#include "ui/Forward.h"
#include "ui/HistoryWindow.h"
#include "ui/MainWindow.h"
#include "ui/TrayIcon.h"

namespace vigiltron {

namespace {

// How long a step waits for what it needs (an alarm, a scan) before it goes on without it.
constexpr int kReadyLimitMs = 60000;
constexpr int kPollMs = 250;

QString FileNameOf(const QString& caption) {
    QString name;
    for (const QChar c : caption.toLower()) {
        if (c.isLetterOrNumber()) {
            name += c;
        } else if (!name.isEmpty() && !name.endsWith(QLatin1Char('-'))) {
            name += QLatin1Char('-');
        }
    }
    while (name.endsWith(QLatin1Char('-'))) {
        name.chop(1);
    }
    return name;
}

}  // namespace

ScreenshotTour::ScreenshotTour(const ViewModel& view, Windows windows, Commands commands,
                               QString directory, QObject* parent)
    : QObject(parent),
      view_(view),
      windows_(windows),
      commands_(std::move(commands)),
      directory_(std::move(directory)) {
    MainWindow* main = windows_.main;
    // Readings come once the sensors are connected; a fast interval makes the tabs lively.
    Add(0, [this] {
        Forward(commands_.setPreference, std::string("MinOrSecs"), std::string("Sec"));
        Forward(commands_.setPreference, std::string("ReadingInterval"), std::string("10"));
    });
    Add(25000, [this, main] {
        main->Tabs()->setCurrentIndex(0);
        Save(main, QStringLiteral("summary"));
        main->Tabs()->setCurrentIndex(1);
        Save(main, QStringLiteral("sensor-tab-temperature"));
        main->Tabs()->setCurrentWidget(main->VideoTab());
        Save(main, QStringLiteral("video-tab"));
        main->Tabs()->setCurrentIndex(0);
    });
    Add(0, [this] { Forward(commands_.openSetup); });
    Add(1000, [this] {
        auto* tabs = windows_.setup ? windows_.setup->findChild<QTabWidget*>() : nullptr;
        if (tabs == nullptr) {
            missed_.push_back(QStringLiteral("setup window: no pages"));
            return;
        }
        const int shown = tabs->currentIndex();
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            Save(windows_.setup,
                 QStringLiteral("setup-%1-%2").arg(page + 1).arg(FileNameOf(tabs->tabText(page))));
        }
        tabs->setCurrentIndex(shown);
    });
    Add(0, [this] { Forward(commands_.closeSetup); });
    Add(0, [this] { Forward(commands_.openAddWindow); });
    Add(1000, [this] { Save(windows_.addDevice, QStringLiteral("add-device")); });
    Add(0, [this] { Forward(commands_.scan); });
    Add(
        1000, [this] { Save(windows_.scanList, QStringLiteral("scan-list")); },
        [this] { return !view_.deviceSetup.busy && view_.deviceSetup.scanListVisible; });
    Add(0, [this] { Forward(commands_.closeDeviceWindows); });
    // A threshold below the server room's temperature makes the next reading raise the alarm.
    Add(0, [this] { Forward(commands_.setPreference, std::string("TempMax"), std::string("60")); });
    Add(
        1500, [this] { Save(windows_.alarm, QStringLiteral("alarm")); },
        [this] { return view_.alarm.visible; });
    Add(0, [this] { Forward(commands_.placeInTray); });
    Add(1500, [this] {
        if (windows_.tray == nullptr) {
            return;
        }
        QMenu* menu = windows_.tray->Menu();
        menu->popup(QPoint(40, 40));
        QApplication::processEvents();
        Save(menu, QStringLiteral("tray-menu"));
        menu->hide();
        if (!view_.inTray) {
            missed_.push_back(
                QStringLiteral("tray: the desktop has no notification area; the "
                               "menu was shown on its own"));
        }
    });
    Add(0, [this] { Forward(commands_.takeOutOfTray); });
    Add(0, [this] {
        Forward(commands_.publishStatusPage,
                QDir(directory_).filePath(QStringLiteral("status-page-site")).toStdString());
    });
    Add(0, [this] { Forward(commands_.showHistory, 1); });
    Add(2000, [this] {
        for (HistoryWindow* chart : windows_.main->findChildren<HistoryWindow*>()) {
            if (chart->isVisible()) {
                Save(chart, QStringLiteral("history"));
                return;
            }
        }
        missed_.push_back(QStringLiteral("history: no chart window opened"));
    });
}

void ScreenshotTour::Add(int delayMs, std::function<void()> action, std::function<bool()> ready) {
    steps_.push_back(Step{delayMs, std::move(ready), std::move(action)});
}

void ScreenshotTour::Start() {
    QDir().mkpath(directory_);
    QTimer::singleShot(0, this, [this] { RunStep(0, 0); });
}

void ScreenshotTour::RunStep(std::size_t index, int waitedMs) {
    if (index >= steps_.size()) {
        Finish();
        return;
    }
    const Step& step = steps_[index];
    if (step.ready && !step.ready() && waitedMs < kReadyLimitMs) {
        QTimer::singleShot(kPollMs, this,
                           [this, index, waitedMs] { RunStep(index, waitedMs + kPollMs); });
        return;
    }
    QTimer::singleShot(step.delayMs, this, [this, index] {
        steps_[index].action();
        RunStep(index + 1, 0);
    });
}

void ScreenshotTour::Save(QWidget* widget, const QString& name) {
    if (widget == nullptr || !widget->isVisible()) {
        missed_.push_back(name + QStringLiteral(": the window is not shown"));
        return;
    }
    const QString path = QDir(directory_).filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path)) {
        saved_.push_back(path);
    } else {
        missed_.push_back(name + QStringLiteral(": could not write ") + path);
    }
}

void ScreenshotTour::Finish() {
    QTextStream out(stdout);
    for (const QString& path : saved_) {
        out << "saved " << path << '\n';
    }
    QTextStream err(stderr);
    for (const QString& miss : missed_) {
        err << "not saved: " << miss << '\n';
    }
    out.flush();
    err.flush();
    QCoreApplication::exit(missed_.empty() ? 0 : 1);
}

}  // namespace vigiltron
