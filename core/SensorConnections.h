#pragma once

namespace vigiltron {

// What start-up and shut-down ask of the sensors: the polling period, the tab slots, connecting
// everything and closing everything. The sensor layer implements it; start-up sees only this.
class SensorConnections {
public:
    virtual ~SensorConnections() = default;

    // Every entry's polling period follows the stored reading interval.
    virtual void ApplyReadingInterval() = 0;
    // Shows a configured entry in its tab slot(s) with its name as caption.
    virtual void ShowOnTab(int n) = 0;
    // "Connect All".
    virtual void cmdConnectAll_Click() = 0;
    // Closes entry n's ports and marks it disconnected.
    virtual void cmdDisconnectSensor_Click(int n) = 0;
    // Shut-down: closes every open port of every entry.
    virtual void CloseAllPorts() = 0;
};

}  // namespace vigiltron
