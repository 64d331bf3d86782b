#pragma once

#include <cstdint>

#include "app/SetupWindowCommands.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/ViewDialog.h"

class QPushButton;
class QTabWidget;

namespace vigiltron {

class SetupAlertsPage;
class SetupCamerasPage;
class SetupDevicesPage;
class SetupIntervalsPage;
class SetupLoggingPage;
class SetupProximityPage;
class SetupPublishingPage;

// The sensor setup window: thresholds and alerts, logging, the device rows, the proximity events,
// the intervals with the start-up options, the camera options and publishing, one tab each. The
// preferences are the texts of its boxes; the view model holds the rest (device rows, slider,
// enabled states, focus). It renders them after every burst of changes and after each of its own
// commands, and forwards the user's actions. It shows and hides itself as the view model's visible
// flag says, and is left only through its own OK: it has no close button and ignores Escape.
class SetupWindow : public ViewDialog {
    Q_OBJECT
public:
    // The pages, in the order of the tabs.
    enum class Page { Alerts, Logging, Devices, Proximity, Intervals, Cameras, Publishing };

    // The view model and the preferences must outlive the window.
    SetupWindow(ViewModel& view, const Preferences& prefs, SetupWindowCommands commands,
                QWidget* parent = nullptr);
    ~SetupWindow() override;

    // How many times the window has rendered.
    std::uint64_t RefreshCount() const { return refreshCount_; }

    Page CurrentPage() const;
    QTabWidget* Tabs() const { return tabs_; }
    SetupAlertsPage* AlertsPage() const { return alerts_; }
    SetupLoggingPage* LoggingPage() const { return logging_; }
    SetupDevicesPage* DevicesPage() const { return devices_; }
    SetupProximityPage* ProximityPage() const { return proximity_; }
    SetupIntervalsPage* IntervalsPage() const { return intervals_; }
    SetupCamerasPage* CamerasPage() const { return cameras_; }
    SetupPublishingPage* PublishingPage() const { return publishing_; }
    QPushButton* OkButton() const { return ok_; }

private:
    bool ShownByView() const override { return view_.setupWindowVisible; }
    void Render(bool opening) override;
    void RenderFocus() override;
    void ShowPage(Page page);
    void Ok();

    const Preferences& prefs_;
    SetupWindowCommands commands_;
    QTabWidget* tabs_ = nullptr;
    SetupAlertsPage* alerts_ = nullptr;
    SetupLoggingPage* logging_ = nullptr;
    SetupDevicesPage* devices_ = nullptr;
    SetupProximityPage* proximity_ = nullptr;
    SetupIntervalsPage* intervals_ = nullptr;
    SetupCamerasPage* cameras_ = nullptr;
    SetupPublishingPage* publishing_ = nullptr;
    QPushButton* ok_ = nullptr;
    // The page requests last acted on, so a request turns the page once and the user may then
    // move on.
    bool onAlertsPageShown_ = false;
    bool onProximityPageShown_ = false;
    std::uint64_t refreshCount_ = 0;
};

}  // namespace vigiltron
