#include "app/SetupWindowWiring.h"

#include "app/Engine.h"

namespace vigiltron {

SetupWindowCommands SetupWindowCommandsFor(Engine& engine) {
    SetupWindowCommands c;
    SetupPreferences& prefs = engine.setupPreferences;
    c.changeText = [&prefs](const std::string& key, const std::string& text) {
        prefs.ChangeText(key, text);
    };
    c.leaveBox = [&prefs](const std::string& key) { prefs.LeaveBox(key); };
    c.tick = [&prefs](const std::string& key, bool ticked) { prefs.Tick(key, ticked); };
    c.chooseTemperatureUnit = [&prefs](bool celsius) { prefs.ChooseTemperatureUnit(celsius); };

    c.applyIntervals = [&prefs] { prefs.cmdSet_Click(); };
    c.chooseIntervalUnit = [&prefs](bool seconds) { prefs.ChooseIntervalUnit(seconds); };
    c.sliderScroll = [&prefs](int value) { prefs.SliderScroll(value); };
    c.sliderChange = [&prefs](int value) { prefs.SliderChange(value); };
    c.binaryIntervalClick = [&prefs] { prefs.BinaryIntervalClick(); };
    c.readingIntervalClick = [&prefs] { prefs.ReadingIntervalClick(); };

    c.setTabLogging = [&prefs](int n, bool on) { prefs.SetTabLogging(n, on); };
    c.setFileLogging = [&prefs](int n, bool on) { prefs.SetFileLogging(n, on); };
    c.checkLogSize = [&prefs] { prefs.CheckLogSize(); };

    c.chooseProximityAction = [&prefs](ProximityActions::Action action) {
        prefs.ChooseProximityAction(action);
    };
    c.browseProximityCommand = [&prefs](ProximityActions::Direction direction) {
        prefs.BrowseProximityCommand(direction);
    };

    c.toggleConnect = [&engine](int n) { engine.link.cmdConnectSensor_Click(n); };
    c.toggleComBox = [&engine](int n) { engine.deviceSetup.ToggleComBox(n); };
    c.moveDevice = [&engine](int n, int comNumber) { engine.deviceSetup.MoveDevice(n, comNumber); };
    c.renameDevice = [&engine](int n) { engine.deviceSetup.RenameDevice(n); };
    c.deleteDevice = [&engine](int n) { engine.deviceSetup.DeleteDevice(n); };
    c.connectAll = [&engine] { engine.link.cmdConnectAll_Click(); };

    c.placeInStartup = [&engine](bool ticked) { engine.startup.PlaceInSystemStartup(ticked); };

    c.ok = [&prefs] { return prefs.cmdOK_Click(); };
    c.close = [&engine] {
        ViewModel& view = engine.view;
        view.setupWindowVisible = false;
        view.setupWindowOnAlertsPage = false;
        view.setupWindowOnProximityPage = false;
        view.Changed();
    };
    return c;
}

}  // namespace vigiltron
