#include "sensors/PortScan.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/SensorProtocol.h"
#include "core/SerialDeviceDirectory.h"
#include "core/SerialPort.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "sensors/DeviceSetup.h"

namespace vigiltron {

namespace {

constexpr const char* kNoSensors = "No sensors detected.";
constexpr const char* kPortMap = "Port Map";

std::string WithoutLineBreaks(std::string text) {
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

// Keeps the view's busy flag up for the lifetime of an operation.
class BusyScope {
public:
    BusyScope(ViewModel& view, bool& busy) : pointer_(view), view_(view), busy_(busy) {
        busy_ = true;
        view_.deviceSetup.busy = true;
        view_.Changed();
    }
    ~BusyScope() {
        busy_ = false;
        view_.deviceSetup.busy = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyPointer pointer_;
    ViewModel& view_;
    bool& busy_;
};

// What the scan list adds for each model reply: the type and the name's prefix.
struct FoundModel {
    const char* model;
    const char* type;
    const char* namePrefix;
};
constexpr FoundModel kFoundModels[] = {
    {"Vigiltron/P", kTypeProximity, "ProxSensor00"},
    {"Vigiltron/T", kTypeTemperature, "TempSensor00"},
    {"Vigiltron/H", kTypeComboOffered, "ComboSensor00"},
    {"Vigiltron/W", kTypeWater, "WaterSensor00"},
    {"Vigiltron/A", kTypeAccelerometer, "AccelSensor00"},
    {"Vigiltron/D", kTypeDistance, "DistanceSensor00"},
};

// Whether a serial-device name carries `serial` as a whole field: udev writes
// "usb-<maker>_<product>_<serial>-if00-port0", so a shorter serial inside a longer one is no match.
bool NameCarriesSerial(const std::string& name, const std::string& serial) {
    for (std::size_t at = name.find(serial); at != std::string::npos;
         at = name.find(serial, at + 1)) {
        const bool startsField = at == 0 || name[at - 1] == '_' || name[at - 1] == '-';
        const std::size_t end = at + serial.size();
        const bool endsField = end == name.size() || name[end] == '-' || name[end] == '_';
        if (startsField && endsField) {
            return true;
        }
    }
    return false;
}

}  // namespace

PortScan::PortScan(Services services) : s_(services) {}

bool PortScan::COMAvailable(int COMNum) {
    if (COMNum < 1 || COMNum > kAllPorts) {
        return false;
    }
    try {
        std::unique_ptr<SerialPort> port = s_.ports.CreatePort();
        port->SetCommPort(COMNum);
        if (!port->Open()) {
            return false;
        }
        port->Close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<SerialPort> PortScan::OpenPort(int comNumber, const std::string& settings,
                                               int sThreshold) {
    std::unique_ptr<SerialPort> port = s_.ports.CreatePort();
    port->SetCommPort(comNumber);
    port->SetSettings(settings);
    port->SetRTSEnable(true);
    port->SetRThreshold(0);
    port->SetSThreshold(sThreshold);
    if (!port->Open()) {
        return nullptr;
    }
    return port;
}

bool PortScan::AwaitReply(SerialPort& port, std::string& reply, Milliseconds upTo) {
    if (!WaitForReplyEnd(s_.loop, port, reply, upTo)) {
        return false;
    }
    if (!reply.empty() && !Contains(reply, "\r")) {
        return WaitForReplyEnd(s_.loop, port, reply, SensorProtocol::kReplyWait);
    }
    return true;
}

void PortScan::SetScanAllPorts(bool allPorts) {
    s_.view.deviceSetup.scanAllPorts = allPorts;
    s_.view.deviceSetup.scanRangeCaption = allPorts ? "(Com1 - Com255)" : "(Com1 - Com16 only)";
    s_.view.Changed();
}

std::string PortScan::ScanQuery(SerialPort& port) {
    std::string reply;
    for (int retries = 0;; ++retries) {
        port.Output("i");
        s_.loop.Pause(kScanPause);
        port.Output("\r");
        if (!AwaitReply(port, reply, kScanPause) || !reply.empty() || retries == kScanRetries ||
            stopRequested_) {
            break;
        }
        // Nothing yet: a late reply ends the wait before the query is sent again.
        if (!AwaitReply(port, reply, kScanRetryWait) || !reply.empty() || stopRequested_) {
            break;
        }
    }
    return WithoutLineBreaks(reply);
}

std::string PortScan::ScanPort(int n) {
    try {
        if (!COMAvailable(n)) {
            return "";  // missing or in use: not listed
        }
        std::unique_ptr<SerialPort> port = OpenPort(n, "19200,n,8,1", 0);
        if (!port) {
            return "";
        }
        const std::string reply = ScanQuery(*port);
        port->Close();
        if (reply.empty()) {
            return "";
        }
        const std::string com = std::to_string(n);
        return n <= kScanPorts ? "COM" + com + ": " + reply : "(COM" + com + "): " + reply;
    } catch (const std::exception& failure) {
        s_.journal.Record("scan", "COM" + std::to_string(n) + ": " + failure.what());
        return "";
    }
}

std::vector<std::string> PortScan::MakeComPortList2() {
    return MakeComPortList2(s_.view.deviceSetup.scanAllPorts);
}

std::vector<std::string> PortScan::MakeComPortList2(bool allPorts) {
    if (busy_) {
        return {};
    }
    DeviceSetupView& v = s_.view.deviceSetup;
    const int limit = allPorts ? kAllPorts : kScanPorts;
    std::vector<std::string> lines;
    scanning_ = true;
    stopRequested_ = false;
    closedWhileScanning_ = false;
    // The list shows from the start: a full range takes minutes, and the user watches the
    // progress, sees what answered so far and may stop the scan.
    v.scanLines.clear();
    v.scanListVisible = true;
    v.scanning = true;
    v.scanPortsDone = 0;
    v.scanPortsTotal = limit;
    {
        BusyScope busy(s_.view, busy_);
        for (int n = 1; n <= limit && !stopRequested_; ++n) {
            const std::string line = ScanPort(n);
            if (!line.empty()) {
                lines.push_back(line);
                v.scanLines = lines;
            }
            v.scanPortsDone = n;
            s_.view.Changed();
        }
        if (lines.empty()) {
            lines.push_back(kNoSensors);
        }
    }
    if (stopRequested_) {
        s_.journal.Record("scan", "stopped after COM" + std::to_string(v.scanPortsDone));
    }
    scanning_ = false;
    stopRequested_ = false;
    v.scanning = false;
    v.scanLines = lines;
    v.scanListVisible = !closedWhileScanning_;
    s_.view.Changed();
    s_.journal.Record("scan", std::to_string(lines.size()) + " line(s) listed");
    return lines;
}

void PortScan::StopScan() {
    if (scanning_) {
        stopRequested_ = true;
    }
}

void PortScan::ShowScanList() {
    closedWhileScanning_ = false;  // opened again: the stopping scan's result is wanted
    s_.view.deviceSetup.scanListVisible = true;
    s_.view.Changed();
}

void PortScan::CloseScanList() {
    if (scanning_) {
        // Nobody is left to read the result: the scan ends after the port under way.
        stopRequested_ = true;
        closedWhileScanning_ = true;
    }
    s_.view.deviceSetup.scanListVisible = false;
    s_.view.Changed();
}

std::optional<int> PortScan::PortOfScanLine(const std::string& line) {
    std::string_view rest(line);
    if (rest.starts_with("(")) {
        rest.remove_prefix(1);
    }
    if (!rest.starts_with("COM")) {
        return std::nullopt;
    }
    rest.remove_prefix(3);
    int port = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 4 && rest[digits] >= '0' && rest[digits] <= '9') {
        port = port * 10 + (rest[digits] - '0');
        ++digits;
    }
    if (digits == 0 || port < 1 || port > kAllPorts) {
        return std::nullopt;
    }
    return port;
}

bool PortScan::AddSelectedToSetup(const std::vector<std::string>& lines) {
    bool anySensor = false;
    bool allAdded = true;
    const std::vector<std::string>& listed = s_.view.deviceSetup.scanLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (Contains(line, "?") || Contains(line, "No sensors detected")) {
            continue;
        }
        const std::optional<int> port = PortOfScanLine(line);
        const std::size_t replyAt = line.find(": ");
        if (!port || replyAt == std::string::npos) {
            continue;
        }
        const std::string_view reply = Trim(std::string_view(line).substr(replyAt + 2));
        const FoundModel* found = nullptr;
        for (const FoundModel& model : kFoundModels) {
            if (reply.starts_with(model.model)) {
                found = &model;
                break;
            }
        }
        if (found == nullptr) {
            s_.journal.Record("scan", "not a sensor of the family: " + line);
            continue;
        }
        // The name's number is the line's place in the scan list.
        const auto place = std::find(listed.begin(), listed.end(), line);
        const std::size_t index = place != listed.end() ? std::size_t(place - listed.begin()) : i;
        anySensor = true;
        DeviceRequest request;
        request.type = found->type;
        request.name = found->namePrefix + std::to_string(index);
        request.port = *port;
        allAdded = s_.setup.AddDevice(request) && allAdded;
    }
    return anySensor && allAdded;
}

std::string PortScan::QueryIdentity(SerialPort& port, Milliseconds wait) {
    std::string reply;
    for (int query = 0; query < kIdentifyQueries && reply.empty(); ++query) {
        port.Output("i\r");
        if (!AwaitReply(port, reply, wait)) {
            break;
        }
    }
    return WithoutLineBreaks(reply);
}

std::string PortScan::Identify() {
    return Identify(s_.view.deviceSetup.comPort);
}

std::string PortScan::Identify(int comNumber) {
    if (busy_) {
        return "";
    }
    std::string reply;
    {
        BusyScope busy(s_.view, busy_);
        try {
            if (std::unique_ptr<SerialPort> port = OpenPort(comNumber, "19200,o,8,1", 1)) {
                reply = QueryIdentity(*port, kIdentifyWait);
                port->Close();
            }
        } catch (const std::exception& failure) {
            s_.journal.Record("scan",
                              "identify COM" + std::to_string(comNumber) + ": " + failure.what());
            reply.clear();
        }
    }
    const std::string com = std::to_string(comNumber);
    if (reply.empty()) {
        s_.dialogs.ShowMessage("< No Vigiltron sensor detected on COM" + com + " >");
    } else {
        s_.dialogs.ShowMessage("Device on COM " + com + " is a " + reply);
    }
    return reply;
}

void PortScan::GetBySerial() {
    try {
        for (;;) {
            const std::optional<std::string> answer =
                s_.dialogs.AskText("Please enter the Serial Number or S/N. Enter 'done' to quit:");
            if (!answer) {
                return;
            }
            if (Trim(*answer).empty()) {
                s_.dialogs.ShowMessage("Serial number not valid.");
                continue;
            }
            if (*answer == "done" || *answer == "Done" || *answer == "DONE") {
                s_.view.mainWindowHidden = false;
                s_.view.Changed();
                return;
            }
            AddBySerial(std::string(Trim(*answer)));
        }
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("GetBySerial error");
    }
}

std::optional<int> PortScan::FindComFromSerial(const std::string& serial) {
    bool newlyMapped = false;
    return FindComFromSerial(serial, newlyMapped);
}

std::optional<int> PortScan::FindComFromSerial(const std::string& serial, bool& newlyMapped) {
    newlyMapped = false;
    try {
        if (serial.empty()) {
            return std::nullopt;
        }
        std::string path;
        for (const std::string& name : s_.serialDevices.Names()) {
            if (NameCarriesSerial(name, serial)) {
                path = s_.serialDevices.Path() + "/" + name;
                break;
            }
        }
        if (path.empty()) {
            return std::nullopt;
        }
        auto mapped = [&](int n) {
            return std::string(
                Trim(s_.settings.GetSetting(kPortMap, "COM" + std::to_string(n), "")));
        };
        for (int n = 1; n <= kAllPorts; ++n) {
            if (mapped(n) == path) {
                return n;  // mapped by an earlier lookup: it keeps its number
            }
        }
        for (int n = 1; n <= kAllPorts; ++n) {
            if (mapped(n).empty() && s_.setup.EntryUsingPort(n) == 0) {
                s_.settings.SaveSetting(kPortMap, "COM" + std::to_string(n), path);
                newlyMapped = true;
                s_.journal.Record("scan", "COM" + std::to_string(n) + " mapped to " + path);
                return n;
            }
        }
        return std::nullopt;
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("Error in FindComFromSerial");
        return std::nullopt;
    }
}

bool PortScan::AddBySerial(const std::string& serial) {
    if (busy_) {
        return false;
    }
    try {
        std::optional<int> com;
        std::string reply;
        bool newlyMapped = false;
        {
            BusyScope busy(s_.view, busy_);
            com = FindComFromSerial(serial, newlyMapped);
            if (com) {
                const std::string key = "COM" + std::to_string(*com);
                const std::string path = s_.settings.GetSetting(kPortMap, key, "");
                s_.dialogs.ShowMessage("The sensor with serial number " + serial + " is on " + key +
                                       " (" + path + ").");
                if (std::unique_ptr<SerialPort> port = OpenPort(*com, "9600,n,8,1", 0)) {
                    reply = QueryIdentity(*port, kSerialIdentifyWait);
                    port->Close();
                }
            }
        }
        const char* type = nullptr;
        if (Contains(reply, "Vigiltron/T")) {
            type = kTypeTemperature;
        } else if (Contains(reply, "Vigiltron/H")) {
            type = kTypeHumidity;
        } else if (Contains(reply, "Vigiltron/W")) {
            type = kTypeWater;
        } else if (Contains(reply, "Vigiltron/P")) {
            type = kTypeProximity;
        }
        bool added = false;
        if (com && type != nullptr && s_.setup.SelectType(type)) {
            s_.view.deviceSetup.comPort = *com;
            added = s_.setup.AddFromWindow();
        }
        if (!added) {
            if (com && newlyMapped) {
                // Nothing was added on it: the number stays free for the next sensor.
                s_.settings.SaveSetting(kPortMap, "COM" + std::to_string(*com), "");
            }
            s_.dialogs.ShowMessage("Sensor not added.");
            return false;
        }
        s_.dialogs.ShowMessage("Sensor successfully added.");
        return true;
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("GetBySerial error");
        return false;
    }
}

}  // namespace vigiltron
