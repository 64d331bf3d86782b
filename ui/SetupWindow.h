#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>

#include "app/SetupWindowCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"

class QPushButton;
class QTabWidget;

namespace vigiltron {

class SetupAlertsPage;
class SetupDevicesPage;
class SetupIntervalsPage;
class SetupLoggingPage;
class SetupProximityPage;

// The sensor setup window: thresholds and alerts, logging, the device rows, the proximity events
// and the intervals with the start-up options, one tab each. The preferences are the texts of
// its boxes; the view model holds the rest (device rows, slider, enabled states, focus). It
// renders them after every burst of changes and after each of its own commands, and forwards the
// user's actions. It shows and hides itself as the view model's visible flag says, and is left
// only through its own OK: it has no close button and ignores Escape.
class SetupWindow : public QDialog {
    Q_OBJECT
public:
    // The pages, in the order of the tabs.
    enum class Page { Alerts, Logging, Devices, Proximity, Intervals };

    // The view model and the preferences must outlive the window.
    SetupWindow(ViewModel& view, const Preferences& prefs, SetupWindowCommands commands,
                QWidget* parent = nullptr);
    ~SetupWindow() override;

    // Renders the view model and the preferences now. Changes the view model announces are
    // rendered once the event loop runs, however many arrive in between.
    void Refresh();
    std::uint64_t RefreshCount() const { return refreshCount_; }

    Page CurrentPage() const;
    QTabWidget* Tabs() const { return tabs_; }
    SetupAlertsPage* AlertsPage() const { return alerts_; }
    SetupLoggingPage* LoggingPage() const { return logging_; }
    SetupDevicesPage* DevicesPage() const { return devices_; }
    SetupProximityPage* ProximityPage() const { return proximity_; }
    SetupIntervalsPage* IntervalsPage() const { return intervals_; }
    QPushButton* OkButton() const { return ok_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ScheduleRefresh();
    void ShowPage(Page page);
    void FollowVisibility();
    void ApplyFocusRequest();
    void Ok();

    ViewModel& view_;
    const Preferences& prefs_;
    SetupWindowCommands commands_;
    QTabWidget* tabs_ = nullptr;
    SetupAlertsPage* alerts_ = nullptr;
    SetupLoggingPage* logging_ = nullptr;
    SetupDevicesPage* devices_ = nullptr;
    SetupProximityPage* proximity_ = nullptr;
    SetupIntervalsPage* intervals_ = nullptr;
    QPushButton* ok_ = nullptr;
    // The page requests last acted on, so a request turns the page once and the user may then
    // move on.
    bool onAlertsPageShown_ = false;
    bool onProximityPageShown_ = false;
    QTimer refreshTimer_;
    std::uint64_t refreshCount_ = 0;
};

}  // namespace vigiltron
