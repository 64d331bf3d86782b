#include "ui/TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "core/ViewModel.h"
#include "ui/Forward.h"
#include "ui/ViewStyle.h"

namespace vigiltron {

TrayIcon::TrayIcon(const ViewModel& view, Commands commands, QObject* parent)
    : QObject(parent),
      view_(view),
      commands_(std::move(commands)),
      normal_(ProgramIcon(false)),
      alert_(ProgramIcon(true)) {
    menu_ = new QMenu;
    menu_->setObjectName(QStringLiteral("SystemTray"));
    takeOut_ = menu_->addAction(QStringLiteral("Take out of system tray"));
    connect(takeOut_, &QAction::triggered, this, [this] { Forward(commands_.takeOutOfTray); });

    icon_ = new QSystemTrayIcon(normal_, this);
    icon_->setToolTip(QStringLiteral("Vigiltron Manager"));
    // The menu belongs to the right button alone; a left click or a double click does nothing.
    icon_->setContextMenu(menu_);
}

TrayIcon::~TrayIcon() {
    icon_->hide();
    delete menu_;
}

bool TrayIcon::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::Shown() const {
    return icon_->isVisible();
}

void TrayIcon::Render() {
    if (!view_.inTray) {
        failureReported_ = false;
        if (icon_->isVisible()) {
            icon_->hide();
        }
        return;
    }
    const bool alert = view_.trayIconAlert;
    if (alert != showsAlert_ || !icon_->isVisible()) {
        icon_->setIcon(alert ? alert_ : normal_);
        showsAlert_ = alert;
    }
    if (!icon_->isVisible()) {
        icon_->show();
        // The notification area may have gone since the program looked; the window must not
        // stay hidden with no icon to bring it back.
        if (!Available() && !failureReported_) {
            failureReported_ = true;
            Forward(commands_.trayFailed, std::string("the desktop has no notification area"));
        }
    }
}

}  // namespace vigiltron
