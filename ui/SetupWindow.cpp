#include "ui/SetupWindow.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/SetupAlertsPage.h"
#include "ui/SetupCamerasPage.h"
#include "ui/SetupDevicesPage.h"
#include "ui/SetupIntervalsPage.h"
#include "ui/SetupLoggingPage.h"
#include "ui/SetupProximityPage.h"
#include "ui/SetupPublishingPage.h"
#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

namespace {

// Pages scroll rather than squeeze when a large font makes them taller than the screen.
QScrollArea* Scrolling(QWidget* page, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

}  // namespace

SetupWindow::SetupWindow(ViewModel& view, const Preferences& prefs, SetupWindowCommands commands,
                         QWidget* parent)
    : ViewDialog(view, {}, parent, Closing::Refused),
      prefs_(prefs),
      commands_(std::move(commands)) {
    setObjectName(QStringLiteral("setupWindow"));
    setWindowTitle(QStringLiteral("Sensor Setup"));
    // Left only through its own buttons: no close button, no system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Kept while hidden; it never keeps the program running on its own.
    setAttribute(Qt::WA_QuitOnClose, false);

    const auto rendered = [guard = QPointer<SetupWindow>(this)] {
        if (guard) {
            guard->Refresh();
        }
    };
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("setupTabs"));
    alerts_ = new SetupAlertsPage(commands_, rendered);
    logging_ = new SetupLoggingPage(commands_, rendered);
    devices_ = new SetupDevicesPage(commands_, rendered);
    proximity_ = new SetupProximityPage(commands_, rendered);
    intervals_ = new SetupIntervalsPage(commands_, rendered);
    cameras_ = new SetupCamerasPage(commands_, rendered);
    publishing_ = new SetupPublishingPage(commands_, rendered);
    // In the order of Page.
    tabs_->addTab(Scrolling(alerts_, tabs_), QStringLiteral("Thresholds && Alerts"));
    tabs_->addTab(Scrolling(logging_, tabs_), QStringLiteral("Logging"));
    tabs_->addTab(Scrolling(devices_, tabs_), QStringLiteral("Devices"));
    tabs_->addTab(Scrolling(proximity_, tabs_), QStringLiteral("Proximity Events"));
    tabs_->addTab(Scrolling(intervals_, tabs_), QStringLiteral("Intervals && Start-up"));
    tabs_->addTab(Scrolling(cameras_, tabs_), QStringLiteral("Cameras"));
    tabs_->addTab(Scrolling(publishing_, tabs_), QStringLiteral("Publishing"));

    ok_ = new QPushButton(QStringLiteral("&OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);

    ShowPage(Page::Devices);
    // Large enough to show the tallest page whole, as long as that fits a 1024 x 768 screen.
    QSize pages;
    for (QWidget* page : std::initializer_list<QWidget*>{alerts_, logging_, devices_, proximity_,
                                                         intervals_, cameras_, publishing_}) {
        pages = pages.expandedTo(page->sizeHint());
    }
    const QSize chrome(48, tabs_->tabBar()->sizeHint().height() + ok_->sizeHint().height() + 56);
    resize((pages + chrome).expandedTo(QSize(760, 520)).boundedTo(QSize(1000, 720)));
    Refresh();
}

SetupWindow::~SetupWindow() {
    // Taking the widgets down moves the focus out of boxes and may finish an edit: none of that
    // is the user's doing, so nothing may reach the program or this half-destroyed window.
    for (SetupWindowBoxEvents* watcher : findChildren<SetupWindowBoxEvents*>()) {
        delete watcher;
    }
    for (QWidget* child : findChildren<QWidget*>()) {
        child->blockSignals(true);
    }
}

void SetupWindow::Render(bool opening) {
    ++refreshCount_;
    alerts_->Render(prefs_);
    logging_->Render(prefs_);
    devices_->Render(view_);
    proximity_->Render(prefs_);
    intervals_->Render(view_, prefs_);
    cameras_->Render(view_, prefs_);
    publishing_->Render(view_, prefs_);

    const bool alertsAsked = view_.setupWindowOnAlertsPage && !onAlertsPageShown_;
    const bool proximityAsked = view_.setupWindowOnProximityPage && !onProximityPageShown_;
    if (opening) {
        ShowPage(view_.setupWindowOnAlertsPage      ? Page::Alerts
                 : view_.setupWindowOnProximityPage ? Page::Proximity
                                                    : Page::Devices);
    } else if (view_.setupWindowVisible && (alertsAsked || proximityAsked)) {
        // Asked for a page while open: that page comes to the front.
        ShowPage(alertsAsked ? Page::Alerts : Page::Proximity);
        raise();
        activateWindow();
    }
    onAlertsPageShown_ = view_.setupWindowOnAlertsPage;
    onProximityPageShown_ = view_.setupWindowOnProximityPage;
}

void SetupWindow::RenderFocus() {
    using Focus = SetupPreferencesView::Focus;
    Focus& focus = view_.setupPreferences.focus;
    if (focus == Focus::None) {
        return;
    }
    if (!isVisible()) {
        // A request made while the window is hidden would move the focus later, unasked.
        focus = Focus::None;
        return;
    }
    QWidget* target = nullptr;
    switch (focus) {
        case Focus::BinaryInterval:
            ShowPage(Page::Intervals);
            target = intervals_->BinaryIntervalBox();
            break;
        case Focus::Slider:
            ShowPage(Page::Intervals);
            target = intervals_->Slider();
            break;
        case Focus::MaxFileSize:
            ShowPage(Page::Logging);
            target = logging_->MaxFileSizeBox();
            break;
        case Focus::ProximityOk:
            target = ok_;
            break;
        case Focus::None:
            break;
    }
    focus = Focus::None;
    if (target != nullptr) {
        target->setFocus(Qt::OtherFocusReason);
        if (auto* box = qobject_cast<QLineEdit*>(target)) {
            box->selectAll();
        }
    }
}

void SetupWindow::ShowPage(Page page) {
    tabs_->setCurrentIndex(static_cast<int>(page));
}

SetupWindow::Page SetupWindow::CurrentPage() const {
    return static_cast<Page>(tabs_->currentIndex());
}

void SetupWindow::Ok() {
    // A box still being edited is left first, so its own check runs before the whole set is
    // saved.
    ok_->setFocus(Qt::OtherFocusReason);
    const bool accepted = commands_.ok ? commands_.ok() : true;
    if (accepted && commands_.close) {
        commands_.close();
    }
    Refresh();
}

}  // namespace vigiltron
