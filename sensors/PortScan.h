#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/EventLoop.h"

namespace vigiltron {

class DeviceModel;
class DeviceSetup;
class Dialogs;
class Journal;
class SerialDeviceDirectory;
class SerialPort;
class SerialPortFactory;
class SettingsTree;
class ViewModel;

// Finding sensors: the port scan and its "Add selected to Sensor Setup", the add window's
// "Identify", and the serial-number lookup that maps a USB sensor to a COM number. Every wait for
// a sensor is bounded and goes through the event loop.
class PortScan {
public:
    struct Services {
        EventLoop& loop;
        Dialogs& dialogs;
        Journal& journal;
        SerialPortFactory& ports;
        SettingsTree& settings;  // the "Port Map" section
        DeviceModel& model;
        ViewModel& view;
        DeviceSetup& setup;
        SerialDeviceDirectory& serialDevices;
    };

    static constexpr int kScanPorts = 16;
    static constexpr int kAllPorts = 256;
    // The scan's query: "i", then CR, each followed by this pause (the sensors need the gap).
    static constexpr Milliseconds kScanPause{200};
    // Silent ports are asked again this many times, this long apart.
    static constexpr int kScanRetries = 3;
    static constexpr Milliseconds kScanRetryWait{2000};
    // "Identify": up to four queries, each waiting this long for its reply.
    static constexpr int kIdentifyQueries = 4;
    static constexpr Milliseconds kIdentifyWait{2000};
    // The serial-number lookup's identification: up to four queries this long apart.
    static constexpr Milliseconds kSerialIdentifyWait{3000};

    explicit PortScan(Services services);

    // Whether COM `COMNum` exists and can be opened now: one open attempt, closed at once. The
    // adapters fail at once for a missing or busy device, so this never waits.
    bool COMAvailable(int COMNum);

    // "Scan Com1 - Com256" ticked or not; sets the range caption.
    void SetScanAllPorts(bool allPorts);
    // The port scan over COM1..16, or COM1..256 with `allPorts`: one line per answering port
    // ("COM3: Vigiltron/T v2.1", "(COM17): Vigiltron/H v2.1"), or "No sensors detected.". The
    // lines are also the scan list's, which shows from the start with the scan's progress and
    // the lines found so far. Nothing (and no scan) while another scan is running.
    std::vector<std::string> MakeComPortList2(bool allPorts);
    std::vector<std::string> MakeComPortList2();  // with the view's "Scan Com1 - Com256"
    // "Stop": the running scan ends after the port it is querying (a silent port is not asked
    // again) and lists what it found so far. Nothing when no scan runs.
    void StopScan();
    // Shows the scan list as it is (the add window's "Scan Ports..."), without scanning.
    void ShowScanList();
    // Hides the scan list; a scan under way stops as with StopScan and stays hidden.
    void CloseScanList();

    // "&Add selected to Sensor Setup": adds the sensor of each scan line, in order; lines with "?"
    // and "No sensors detected." are skipped. True when at least one line named a sensor and every
    // such sensor was added.
    bool AddSelectedToSetup(const std::vector<std::string>& lines);
    // The COM number a scan line names: "COM3: ..." gives 3, "(COM123): ..." gives 123.
    static std::optional<int> PortOfScanLine(const std::string& line);

    // "Identify": queries COM `comNumber` and tells what answered. Returns the reply (without
    // CR/LF), empty when no sensor answered.
    std::string Identify(int comNumber);
    std::string Identify();  // the add window's COM port

    // The serial-number prompt loop (first run with "/autodetect").
    void GetBySerial();
    // Finds the sensor with this USB serial number, maps it to a COM number, identifies it and
    // adds it. False, after "Sensor not added.", when any step fails.
    bool AddBySerial(const std::string& serial);
    // The COM number of the serial device whose name carries `serial`: the one the port map
    // already gives its path, or else the first COM number neither mapped nor used by an entry,
    // which is then mapped to it. Nothing when no device carries the serial.
    std::optional<int> FindComFromSerial(const std::string& serial);

private:
    // As above; `newlyMapped` tells whether the COM number was mapped just now.
    std::optional<int> FindComFromSerial(const std::string& serial, bool& newlyMapped);
    // Opens a port for one exchange; null (nothing shown) when it cannot be opened.
    std::unique_ptr<SerialPort> OpenPort(int comNumber, const std::string& settings,
                                         int sThreshold);
    // The scan's query with its retries; what arrived, CR and LF removed.
    std::string ScanQuery(SerialPort& port);
    // The scan list's line for COM n; empty when nothing answered there.
    std::string ScanPort(int n);
    // Sends "i" CR as one write up to kIdentifyQueries times, waiting `wait` for each reply.
    std::string QueryIdentity(SerialPort& port, Milliseconds wait);
    // Waits up to `upTo` for a reply to begin; one that has begun gets the usual reply wait
    // to end. False when the port closed meanwhile.
    bool AwaitReply(SerialPort& port, std::string& reply, Milliseconds upTo);

    Services s_;
    bool busy_ = false;
    bool scanning_ = false;
    bool stopRequested_ = false;
    bool closedWhileScanning_ = false;
};

}  // namespace vigiltron
