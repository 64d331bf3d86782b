#pragma once

namespace vigiltron {

class DeviceModel;
class ViewModel;

// A right-button press on the Summary row of setup index n: remembers n and fills
// `view.summaryMenu` with the ten items as the entry's kind and state allow. An index outside
// 1..10 leaves no menu. Answers whether there is a menu to show.
bool OpenSummaryMenu(const DeviceModel& model, ViewModel& view, int n);

// "Set Thresholds" and "Set Proximity Notifications": the setup window opens on the page that
// holds them.
void OpenSetupOnThresholds(ViewModel& view);
void OpenSetupOnProximityNotifications(ViewModel& view);
// The Setup menu's "Sensor Setup...": the setup window opens on its usual (device) page.
void OpenSetupWindow(ViewModel& view);

}  // namespace vigiltron
