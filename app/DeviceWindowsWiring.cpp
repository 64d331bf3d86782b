#include "app/DeviceWindowsWiring.h"

#include "app/Engine.h"

namespace vigiltron {

DeviceWindowsCommands DeviceWindowsCommandsFor(Engine& engine) {
    DeviceWindowsCommands c;
    // The pending addition lives in the view model, where the add operation reads it; an edit
    // is announced like any other change so every observer sees the same state.
    const auto edit = [&engine](auto change) {
        change(engine.view.deviceSetup);
        engine.view.Changed();
    };

    c.openAddWindow = [&engine] {
        if (engine.deviceSetup.OpenAddWindow(false)) {
            engine.portScan.MakeComPortList2();
        }
    };
    c.selectType = [&engine](const std::string& type) { engine.deviceSetup.SelectType(type); };
    c.setName = [edit](const std::string& name) {
        edit([&name](DeviceSetupView& v) { v.nameBox = name; });
    };
    c.setComPort = [edit](int com) { edit([com](DeviceSetupView& v) { v.comPort = com; }); };
    c.setStartInBump = [edit](bool on) { edit([on](DeviceSetupView& v) { v.startInBump = on; }); };
    c.setCalibrateOnConnect = [edit](bool on) {
        edit([on](DeviceSetupView& v) { v.calibrateOnConnect = on; });
    };
    c.setStartInProx = [edit](bool on) { edit([on](DeviceSetupView& v) { v.startInProx = on; }); };
    c.selectDriver = [edit](int driver) {
        edit([driver](DeviceSetupView& v) { v.selectedDriver = driver; });
    };
    c.identify = [&engine] { engine.portScan.Identify(); };
    c.openScanList = [&engine] { engine.portScan.ShowScanList(); };
    c.ok = [&engine] { engine.deviceSetup.AddFromWindow(); };
    c.cancel = [edit] {
        edit([](DeviceSetupView& v) {
            v.addWindowVisible = false;
            v.nameBoxFocused = false;
        });
    };

    c.setScanAllPorts = [&engine](bool all) { engine.portScan.SetScanAllPorts(all); };
    c.scan = [&engine] { engine.portScan.MakeComPortList2(); };
    c.stopScan = [&engine] { engine.portScan.StopScan(); };
    c.addSelected = [&engine](const std::vector<std::string>& lines) {
        engine.portScan.AddSelectedToSetup(lines);
    };
    c.closeScanList = [&engine] { engine.portScan.CloseScanList(); };
    return c;
}

}  // namespace vigiltron
