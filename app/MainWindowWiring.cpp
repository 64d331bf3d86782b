#include "app/MainWindowWiring.h"

#include <QCoreApplication>

#include "app/Engine.h"
#include "core/SummaryMenu.h"
#include "reporting/HistorySeries.h"
#include "reporting/StdLogFileSystem.h"

namespace vigiltron {

MainWindowCommands MainWindowCommandsFor(Engine& engine, Clock& clock) {
    Engine* e = &engine;
    MainWindowCommands main;
    main.connectAll = [e] { e->link.cmdConnectAll_Click(); };
    main.toggleConnect = [e](int n) { e->link.cmdConnectSensor_Click(n); };
    main.clearHighLow = [e](Tab tab, int slot) { e->link.ClearHighLow(tab, slot); };
    main.summaryMenu = [e](int n) { OpenSummaryMenu(e->model, e->view, n); };
    main.renameSensor = [e](int n) { e->deviceSetup.RenameDevice(n); };
    main.setThresholds = [e] { OpenSetupOnThresholds(e->view); };
    main.setProximityNotifications = [e] { OpenSetupOnProximityNotifications(e->view); };
    main.proximityModeMenu = [e](int n) { e->streaming.mnuPopupSetProximityMode_Click(n); };
    main.calibrateMenu = [e](int n) { e->streaming.mnuPopupCalibrate_Click(n); };
    main.bumpModeMenu = [e](int n) { e->streaming.mnuPopUpSetToBinaryMode_Click(n); };
    main.sensitivityMenu = [e](int n) { e->streaming.mnuPopupSetSensitivity_Click(n); };
    main.snoozeMenu = [e](int n, SummaryMenuItem item) {
        using std::chrono::minutes;
        switch (item) {
            case SummaryMenuItem::SnoozeQuarterHour:
                e->alerts.Snooze(n, minutes(15));
                break;
            case SummaryMenuItem::SnoozeHour:
                e->alerts.Snooze(n, minutes(60));
                break;
            case SummaryMenuItem::SnoozeEightHours:
                e->alerts.Snooze(n, minutes(8 * 60));
                break;
            case SummaryMenuItem::SnoozeUntilNormal:
                e->alerts.Snooze(n, std::nullopt);
                break;
            case SummaryMenuItem::EndSnooze:
                e->alerts.EndSnooze(n);
                break;
            default:
                break;
        }
    };
    main.readHistory = [e, c = &clock](int n, HistoryRange range) {
        return ReadSensorHistory(StdLogFileSystem(), e->logFiles.LogDirectory(), e->model, e->prefs,
                                 n, range, c->Now());
    };
    main.exitRequested = [e] {
        if (e->startup.ConfirmExit()) {
            QCoreApplication::quit();
        }
    };
    main.clearLocalLog = [e](Tab tab, int slot) { e->logFiles.ClearLocalLog(tab, slot); };
    main.slotButton = [e](Tab tab, int slot, SlotButton button) {
        e->streaming.SlotButton_Click(tab, slot, button);
    };
    main.setLogFileDirectory = [e] { e->logFiles.SetLogFileDirectory(); };
    main.openLogFiles = [e] { e->logFiles.OpenLogFiles(); };
    main.openCaptureFiles = [e] { e->shell.mnuOpenCaptureFiles_Click(); };
    main.alarmHistory = AlarmHistoryCommandsFor(e->alarmHistory);
    main.savePicture = [e] { e->cameras.SnapPicture(); };
    main.changeResolution = [e] { e->cameras.ChangeResolution(); };
    main.grabCameraFrame = [e](int camera, CameraFrame& frame) {
        CameraDevice* device = e->cameras.Device(camera);
        return device != nullptr && device->GrabFrame(frame);
    };
    main.placeInTray = [e] { e->shell.mnuPlaceInSysTray_Click(); };
    main.takeOutOfTray = [e] { e->shell.mnuTakeOutOfSysTray_Click(); };
    main.trayFailed = [e](const std::string& error) { e->shell.TrayFailed(error); };
    main.openSetupWindow = [e] { OpenSetupWindow(e->view); };
    main.startDataCollector = [e] { e->shell.mnuStartDataCollector_Click(); };
    main.savePreferencesToFile = [e] { e->startup.SavePreferencesToFile(); };
    main.placeInStartup = [e](bool on) { e->startup.PlaceInSystemStartup(on); };
    main.removeFromStartup = [e] { e->startup.RemoveFromStartup(); };
    main.registryCleanOut = [e] { e->startup.RegistryCleanOut(); };
    main.showHelp = [e] { e->help.mnuHelp_Click(); };
    main.checkForUpdates = [e] { e->help.mnuCheckForUpdates_Click(); };
    main.about = [e] { e->help.mnuAbout_Click(); };
    return main;
}

}  // namespace vigiltron
