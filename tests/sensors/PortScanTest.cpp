#include "sensors/PortScan.h"

#include <gtest/gtest.h>

#include "sensors/SensorRig.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <numeric>

#include "config/ProfileFile.h"
#include "sim/SimulatedDevice.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

// Something on a serial port that never answers (a modem switched to silence, a GPS mouse).
class MuteDevice : public SimulatedDevice {
public:
    using SimulatedDevice::SimulatedDevice;

protected:
    void OnBytes(std::string_view) override {}
};

class PortScanTest : public ::testing::Test, protected SensorRig {
protected:
    std::shared_ptr<SimulatedSensor> Attach(int com, SensorKind kind) {
        auto sensor = std::make_shared<SimulatedSensor>(loop, kind);
        ports.Attach(com, sensor);
        return sensor;
    }
    std::string Tree(int n, const std::string& key) const {
        return settings.GetSetting("PortConfig\\Devices\\" + std::to_string(n), key, "<none>");
    }
    std::string File(int n, const std::string& key) const {
        return ProfileFile::Parse(files.Contents("/cfg/vigiltron.ini"))
            .Find(n == 0 ? "Device Setup" : "Device Setup\\" + std::to_string(n), key)
            .value_or("<none>");
    }
};

TEST_F(PortScanTest, FoundSensorsAreListedAndAddedToBothStores) {
    auto temperature = Attach(3, SensorKind::Temperature);
    Attach(17, SensorKind::Combined);
    auto late = Attach(4, SensorKind::Water);
    late->SetReplyDelay(Milliseconds(1500));  // answers only while the scan waits to ask again
    ports.Attach(5, std::make_shared<MuteDevice>(loop));
    Attach(6, SensorKind::Proximity);
    auto held = ports.CreatePort();  // another program holds COM6
    held->SetCommPort(6);
    ASSERT_TRUE(held->Open());

    // The first sixteen ports only: COM17 is beyond the range.
    EXPECT_EQ(portScan.MakeComPortList2(false),
              (std::vector<std::string>{"COM3: Vigiltron/T v2.1", "COM4: Vigiltron/W v2.1"}));
    EXPECT_EQ(temperature->CommandTexts(), std::vector<std::string>{"i"});

    portScan.SetScanAllPorts(true);
    EXPECT_EQ(view.deviceSetup.scanRangeCaption, "(Com1 - Com255)");
    const std::vector<std::string> lines = portScan.MakeComPortList2();
    ASSERT_EQ(lines, (std::vector<std::string>{"COM3: Vigiltron/T v2.1", "COM4: Vigiltron/W v2.1",
                                               "(COM17): Vigiltron/H v2.1"}));
    EXPECT_EQ(view.deviceSetup.scanLines, lines);
    EXPECT_TRUE(view.deviceSetup.scanListVisible);
    EXPECT_FALSE(view.deviceSetup.busy);
    EXPECT_EQ(view.busyDepth, 0);
    for (int com : {3, 4, 5, 17}) {
        EXPECT_FALSE(ports.IsBusy(com)) << com;  // every port the scan opened is closed again
    }

    // The user selects the temperature and combined sensors (and a line with a "?").
    ASSERT_TRUE(portScan.AddSelectedToSetup({lines[0], "COM9: Vigiltron/? v2", lines[2]}));
    EXPECT_EQ(Tree(1, "DeviceType"), "Vigiltron/T (Temperature)");
    EXPECT_EQ(Tree(1, "DeviceName"), "TempSensor000");
    EXPECT_EQ(Tree(1, "Port"), "3");
    EXPECT_EQ(Tree(1, "SubIndex"), "1");
    EXPECT_EQ(Tree(2, "DeviceType"), "Combo Sensor (Humidity)");
    EXPECT_EQ(Tree(3, "DeviceType"), "Combo Sensor (Temperature)");
    for (int n : {2, 3}) {
        EXPECT_EQ(Tree(n, "DeviceName"), "ComboSensor002") << n;
        EXPECT_EQ(Tree(n, "Port"), "17") << n;
        EXPECT_EQ(Tree(n, "SubIndex"), "21") << n;  // Temperature slot 2, Humidity slot 1
        EXPECT_EQ(Tree(n, "FileLogging"), "1") << n;
        EXPECT_EQ(File(n, "Port"), "17") << n;
        EXPECT_EQ(File(n, "SubIndex"), "21") << n;
    }
    EXPECT_EQ(File(1, "DeviceType"), "Vigiltron/T (Temperature)");
    EXPECT_EQ(File(2, "DeviceType"), "Combo Sensor (Humidity)");
    EXPECT_EQ(File(3, "DeviceType"), "Combo Sensor (Temperature)");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "3");
    EXPECT_EQ(File(0, "TotalDevices"), "3");
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkEmailAlert2"), "1");
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).caption, "ComboSensor002");
    EXPECT_EQ(view.Slot(Tab::Humidity, 1).caption, "ComboSensor002");
    EXPECT_TRUE(view.Row(3).visible);
    EXPECT_TRUE(view.Commands(2).connectVisible);
    EXPECT_FALSE(view.Commands(3).connectVisible);
    EXPECT_FALSE(model.Entry(1)->IsConnected());
    EXPECT_FALSE(ports.IsBusy(3));

    // Ports above 99 keep all their digits.
    EXPECT_EQ(PortScan::PortOfScanLine("(COM123): Vigiltron/D v2.1"), 123);
    EXPECT_EQ(PortScan::PortOfScanLine("COM12: Vigiltron/D v2.1"), 12);
    EXPECT_EQ(PortScan::PortOfScanLine("No sensors detected."), std::nullopt);

    // Adding the same sensor again is refused: one port, one entry.
    dialogs.Clear();
    EXPECT_FALSE(portScan.AddSelectedToSetup({lines[0]}));
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"COM3 is already used by TempSensor000."});
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "3");

    // What was stored loads back from either store as it was added.
    for (bool fromFile : {false, true}) {
        ASSERT_TRUE(fromFile ? config.LoadDeviceINI() : config.LoadDeviceRegistry());
        EXPECT_EQ(model.KindOf(1), DeviceKind::Temperature) << fromFile;
        EXPECT_EQ(model.KindOf(3), DeviceKind::Combined) << fromFile;
        EXPECT_EQ(model.Entry(2)->port, 17) << fromFile;
        EXPECT_EQ(model.SetupIndexInSlot(Tab::Temperature, 2), 3) << fromFile;
    }
}

TEST_F(PortScanTest, NothingAttachedListsOnlyTheNoticeInBoundedTime) {
    EXPECT_FALSE(portScan.COMAvailable(1));
    const Milliseconds start = loop.Elapsed();
    EXPECT_EQ(portScan.MakeComPortList2(true), std::vector<std::string>{"No sensors detected."});
    // Absent ports are refused at once: the whole range costs no waiting.
    EXPECT_EQ(loop.Elapsed() - start, Milliseconds(0));
    EXPECT_FALSE(portScan.AddSelectedToSetup(view.deviceSetup.scanLines));
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices", "<none>"), "<none>");

    // A silent port costs its bounded retries, no more, and is not listed.
    ports.Attach(200, std::make_shared<MuteDevice>(loop));
    EXPECT_TRUE(portScan.COMAvailable(200));
    const Milliseconds before = loop.Elapsed();
    EXPECT_EQ(portScan.MakeComPortList2(true), std::vector<std::string>{"No sensors detected."});
    EXPECT_LE(loop.Elapsed() - before, Milliseconds(10000));
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(PortScanTest, ScanShowsItsProgressAndEndsEarlyWhenStoppedOrClosed) {
    auto first = Attach(3, SensorKind::Temperature);
    ports.Attach(5, std::make_shared<MuteDevice>(loop));
    auto last = Attach(9, SensorKind::Water);
    // What the scan list shows at each notice while the first scan runs.
    struct Seen {
        bool watching = true;
        bool listAlwaysShown = true;
        std::vector<int> done;
    };
    auto seen = std::make_shared<Seen>();
    view.Subscribe([this, seen] {
        const DeviceSetupView& v = view.deviceSetup;
        if (seen->watching && v.scanning) {
            seen->listAlwaysShown = seen->listAlwaysShown && v.scanListVisible;
            seen->done.push_back(v.scanPortsDone);
        }
    });

    portScan.StopScan();  // no scan runs: nothing to stop, and the next scan is not cut short
    const std::vector<std::string> both = {"COM3: Vigiltron/T v2.1", "COM9: Vigiltron/W v2.1"};
    EXPECT_EQ(portScan.MakeComPortList2(false), both);
    seen->watching = false;
    seen->done.erase(std::unique(seen->done.begin(), seen->done.end()), seen->done.end());
    std::vector<int> everyPort(17);
    std::iota(everyPort.begin(), everyPort.end(), 0);
    EXPECT_EQ(seen->done, everyPort);  // shown from the start, then after every port
    EXPECT_TRUE(seen->listAlwaysShown);
    EXPECT_EQ(view.deviceSetup.scanPortsTotal, 16);
    EXPECT_FALSE(view.deviceSetup.scanning);
    EXPECT_EQ(view.deviceSetup.scanPortsDone, 16);

    // "Stop" while the silent COM5 is being asked again: the scan ends after COM5 and lists what
    // it had found.
    first->ClearCommands();
    last->ClearCommands();
    Milliseconds stoppedAt{0};
    loop.StartTimer(Milliseconds(1000), [&] {
        ASSERT_EQ(view.deviceSetup.scanPortsDone, 4);
        stoppedAt = loop.Elapsed();
        portScan.StopScan();
    });
    EXPECT_EQ(portScan.MakeComPortList2(true), std::vector<std::string>{both[0]});
    EXPECT_EQ(view.deviceSetup.scanLines, std::vector<std::string>{both[0]});
    EXPECT_LE(loop.Elapsed() - stoppedAt, PortScan::kScanRetryWait);
    EXPECT_EQ(view.deviceSetup.scanPortsDone, 5);
    EXPECT_EQ(view.deviceSetup.scanPortsTotal, 256);
    EXPECT_FALSE(view.deviceSetup.scanning);
    EXPECT_TRUE(view.deviceSetup.scanListVisible);
    EXPECT_TRUE(last->CommandTexts().empty());
    EXPECT_FALSE(ports.IsBusy(5));

    // Closing the list during a scan stops it too, and the list stays closed.
    loop.StartTimer(Milliseconds(100), [&] { portScan.CloseScanList(); });
    EXPECT_EQ(portScan.MakeComPortList2(true), std::vector<std::string>{both[0]});
    EXPECT_FALSE(view.deviceSetup.scanListVisible);
    EXPECT_TRUE(last->CommandTexts().empty());
    portScan.ShowScanList();
    EXPECT_TRUE(view.deviceSetup.scanListVisible);
    EXPECT_EQ(view.deviceSetup.scanLines, std::vector<std::string>{both[0]});
}

TEST_F(PortScanTest, IdentifyNamesWhatAnswers) {
    Attach(3, SensorKind::Distance);
    view.deviceSetup.comPort = 3;
    EXPECT_EQ(portScan.Identify(), "Vigiltron/D v2.1");
    EXPECT_EQ(portScan.Identify(9), "");
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"Device on COM 3 is a Vigiltron/D v2.1",
                                        "< No Vigiltron sensor detected on COM9 >"}));
    EXPECT_FALSE(ports.IsBusy(3));
}

TEST_F(PortScanTest, SerialNumberLookupMapsTheSensorAndAddsIt) {
    DeviceRequest sump;
    sump.type = kTypeWater;
    sump.name = "Sump";
    sump.port = 1;
    ASSERT_TRUE(deviceSetup.AddDevice(sump));
    settings.SaveSetting("Port Map", "COM2", "/dev/ttyUSB7");
    byId.Add("usb-FTDI_FT232R_USB_UART_A1B2C3D-if00-port0");
    byId.Add("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    byId.Add("usb-FTDI_FT232R_USB_UART_Q77-if00-port0");  // its sensor does not answer
    Attach(3, SensorKind::Temperature);                   // where COM3 will lead once mapped
    dialogs.Clear();

    for (const char* answer : {"A1B2C3", " ", "Q77", "dOnE", "Done", "never asked"}) {
        dialogs.QueueText(std::string(answer));
    }
    view.mainWindowHidden = true;
    portScan.GetBySerial();

    const std::string path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    EXPECT_EQ(settings.GetSetting("Port Map", "COM3"), path);
    EXPECT_EQ(settings.GetSetting("Port Map", "COM4"), "");  // the silent one's is taken back
    EXPECT_EQ(Tree(2, "DeviceType"), "Vigiltron/T (Temperature)");
    EXPECT_EQ(Tree(2, "DeviceName"), "Vigiltron/T02");
    EXPECT_EQ(Tree(2, "Port"), "3");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalDevices"), "2");
    EXPECT_EQ(
        dialogs.Messages(),
        (std::vector<std::string>{"The sensor with serial number A1B2C3 is on COM3 (" + path + ").",
                                  "Sensor successfully added.", "Serial number not valid.",
                                  "The sensor with serial number Q77 is on COM4 "
                                  "(/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_Q77-if00-port0).",
                                  "Sensor not added.", "Sensor not added."}));
    int prompts = 0;
    for (const auto& shown : dialogs.History()) {
        prompts += shown.kind == ScriptedDialogs::Shown::Kind::Prompt ? 1 : 0;
    }
    EXPECT_EQ(prompts, 5);  // "Done" ended the loop
    EXPECT_FALSE(view.mainWindowHidden);

    // A second lookup of the same serial keeps its COM number.
    EXPECT_EQ(portScan.FindComFromSerial("A1B2C3"), 3);
    EXPECT_EQ(portScan.FindComFromSerial("B2C3"), std::nullopt);
}

}  // namespace
}  // namespace vigiltron
