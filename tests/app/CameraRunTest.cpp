#include "camera/CameraManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"
#include "sim/SyntheticCamera.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

constexpr const char* kConnectError =
    "Error when trying to connect the camera to a driver.\r\n"
    "Please check your camera's USB connection, or reboot your machine and then try to "
    "re-connect.";

// The whole engine with a proximity sensor at the door (entry 1, COM5) and a synthetic camera
// (entry 2, camera 1) that follows it: a still and a clip at every change.
class CameraRunTest : public ::testing::Test, public EngineTestRig {
protected:
    CameraRunTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0}) {
        SaveDevice(1, "Vigiltron/P (Proximity)", 5, "Door");
        const std::string camera = "PortConfig\\Devices\\2";
        settings.SaveSetting(camera, "DeviceType", kTypeCamera);
        settings.SaveSetting(camera, "DeviceName", "Door camera");
        settings.SaveSetting(camera, "SubIndex", "1");
        settings.SaveSetting(camera, "CamDriverIndex", "0");
        settings.SaveSetting(camera, "DriverName", "Synthetic camera 1");
        settings.SaveSetting(camera, "UsedByDriver", "synthetic:1");
        settings.SaveSetting("Program Setup", "TotalDevices", "2");
        settings.SaveSetting("Program Setup", "AutoConnect", "1");
        settings.SaveSetting("Program Setup\\Prox1", "chkCamUseProx", "1");
        settings.SaveSetting("Program Setup\\Prox1", "chkProxSnapCam", "1");
        settings.SaveSetting("Program Setup\\Prox1", "cmbProximNumber", "1");
        settings.SaveSetting("Program Setup\\Camera1", "CaptureToAVI", "1");
        ports.Attach(5, proximity);
        cameras.Add(1, SyntheticCameraOptions{});
        cameraBackend = &cameras;
    }

    std::vector<std::string> Captures() const {
        std::vector<std::string> names;
        const auto folder =
            std::filesystem::path(this->folder.path().toStdString()) / "capturefiles";
        if (std::filesystem::exists(folder)) {
            for (const auto& file : std::filesystem::directory_iterator(folder)) {
                names.push_back(file.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string CapturePath(const std::string& name) const {
        return folder.path().toStdString() + "/capturefiles/" + name;
    }

    static double ClipSeconds(const std::string& path) {
        const std::string command =
            "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + path + "'";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
        std::array<char, 128> line{};
        if (!pipe || std::fgets(line.data(), int(line.size()), pipe.get()) == nullptr) {
            return -1;
        }
        return std::atof(line.data());
    }

    std::shared_ptr<SimulatedSensor> proximity =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Proximity);
    SyntheticCameraBackend cameras{loop};
};

TEST_F(CameraRunTest, WalkUpSavesAStillAndAFourSecondClipAndKeepsStillsOfOneSecond) {
    Engine& e = Start();
    ASSERT_TRUE(e.cameras.IsAttached(1));
    EXPECT_EQ(e.view.Row(2).reading, "On");
    EXPECT_EQ(e.view.Row(2).picture, "greendot.gif");
    EXPECT_EQ(e.view.cameras.views[1].caption, "Door camera");
    EXPECT_FALSE(e.view.cameras.noCamerasNoticeVisible);
    EXPECT_EQ(e.view.cameras.names[1], "Door camera");

    // Arrival and departure within the same second: one clip (the camera is recording) and
    // two stills that both stay.
    proximity->SetPresent(true);
    loop.RunFor(100ms);
    proximity->SetPresent(false);
    loop.RunFor(100ms);
    const std::string stem = "_12072026_093003";  // start-up took three seconds
    ASSERT_EQ(Captures(),
              (std::vector<std::string>{stem + "-2.bmp", stem + ".avi", stem + ".bmp"}));
    EXPECT_TRUE(e.cameras.ClipTimerRunning(1));
    loop.RunFor(5s);
    EXPECT_FALSE(e.cameras.ClipTimerRunning(1));
    EXPECT_TRUE(journal.Has("camera", "Clip saved: " + CapturePath(stem + ".avi")));
    const double seconds = ClipSeconds(CapturePath(stem + ".avi"));
    EXPECT_GE(seconds, 3.5);
    EXPECT_LE(seconds, 4.5);
    EXPECT_TRUE(dialogs.Messages().empty());

    // "Monitor Only" shows the picture and never captures.
    ASSERT_TRUE(e.setupPreferences.SetPreference("chkCamMon1", "1"));
    proximity->SetPresent(true);
    loop.RunFor(10s);
    EXPECT_EQ(Captures().size(), 3u);
    EXPECT_EQ(settings.GetSetting("Program Setup\\Prox1", "chkCamMon"), "1");

    // Unplugged while it records: the clip is closed and plays, the view says the camera is
    // gone, and its row shows the error.
    ASSERT_TRUE(e.setupPreferences.SetPreference("chkCamMon1", "0"));
    loop.RunFor(1s);
    proximity->SetPresent(false);
    loop.RunFor(2s);
    ASSERT_TRUE(e.cameras.ClipTimerRunning(1));
    cameras.Unplug(1);
    loop.RunFor(100ms);
    EXPECT_FALSE(e.cameras.IsAttached(1));
    EXPECT_EQ(e.view.cameras.views[1].caption, "Camera 1 Not Attached");
    EXPECT_EQ(e.view.Row(2).status, "Sensor Error");
    EXPECT_EQ(e.view.Row(2).picture, "reddot.gif");
    EXPECT_TRUE(dialogs.Saw(kConnectError));
    const std::vector<std::string> files = Captures();
    ASSERT_EQ(files.size(), 5u);
    const double cut = ClipSeconds(CapturePath(files[3]));  // the second clip, sorted by time
    EXPECT_GT(cut, 1.5);
    EXPECT_LT(cut, 2.5);

    // "Resolution Change" asks for the camera and the size, and keeps it.
    dialogs.QueueText("1");
    dialogs.QueueText("800x600");
    e.cameras.ChangeResolution();
    EXPECT_EQ(settings.GetSetting("Program Setup\\Camera1", "Resolution"), "800x600");
    dialogs.Clear();
    dialogs.QueueText("3");
    e.cameras.ChangeResolution();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Incorrect Camera Index"});
}

TEST_F(CameraRunTest, NoCamsLeavesTheCamerasAloneUntilConnectedByHand) {
    StartupSwitches switches;
    switches.noCams = true;
    Engine& e = Start(switches);
    EXPECT_TRUE(e.model.Entry(1)->IsConnected());  // the sensors still connect
    EXPECT_FALSE(e.cameras.IsAttached(1));
    EXPECT_TRUE(journal.Has("camera", "camera start-up skipped (/nocams)"));
    EXPECT_EQ(e.view.Commands(2).connectCaption, "Connect");

    e.link.cmdConnectSensor_Click(2);
    EXPECT_TRUE(e.cameras.IsAttached(1));
    e.link.cmdConnectSensor_Click(2);
    EXPECT_FALSE(e.cameras.IsAttached(1));
    EXPECT_EQ(e.view.Row(2).reading, "OFF");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "1");
}

TEST_F(CameraRunTest, SetupKeysAreCheckedAndStoredAndFollowTheSummaryRule) {
    settings.SaveSetting("PortConfig\\Devices\\3", "DeviceType", kTypeCamera);
    settings.SaveSetting("PortConfig\\Devices\\3", "DeviceName", "Yard camera");
    settings.SaveSetting("PortConfig\\Devices\\3", "SubIndex", "2");
    settings.SaveSetting("PortConfig\\Devices\\3", "CamDriverIndex", "99");
    settings.SaveSetting("Program Setup", "TotalDevices", "3");
    Engine& e = Start();
    // A camera without a driver is never connected and says so.
    EXPECT_FALSE(e.cameras.IsAttached(2));
    EXPECT_TRUE(dialogs.Saw(kConnectError));
    EXPECT_EQ(e.view.Row(3).status, "Sensor Error");

    EXPECT_TRUE(e.setupPreferences.SetPreference("FPS1", "15"));
    EXPECT_EQ(settings.GetSetting("Program Setup\\Camera1", "FPS"), "15");
    EXPECT_FALSE(e.setupPreferences.SetPreference("FPS1", "500"));
    EXPECT_EQ(e.prefs.cameras[1].FPS, "10");  // the default comes back
    EXPECT_FALSE(e.setupPreferences.SetPreference("cmbProximNumber1", "7"));
    EXPECT_EQ(e.prefs.prox[1].cmbProximNumber, " ");
    EXPECT_TRUE(e.setupPreferences.SetPreference("AutoDisconnectInterval1", "6000"));
    EXPECT_EQ(settings.GetSetting("Program Setup\\Camera1", "AutoDisconnectInterval"), "6000");

    EXPECT_TRUE(e.setupPreferences.SetPreference("chkSendToSummary1", "1"));
    EXPECT_TRUE(e.view.cameras.sendToSummary[1]);
    dialogs.Clear();
    EXPECT_FALSE(e.setupPreferences.SetPreference("chkSendToSummary2", "1"));
    EXPECT_EQ(
        dialogs.Messages(),
        std::vector<std::string>{"Only one camera can be sent to the Summary tab at one time."});
    EXPECT_FALSE(e.view.cameras.sendToSummary[2]);
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkSendToSummary"), "1");

    // Saved by OK, read back by the next start.
    e.prefs.cameras[2].CaptureToAVI = true;
    ASSERT_TRUE(e.setupPreferences.cmdOK_Click());
    EXPECT_EQ(settings.GetSetting("Program Setup\\Camera2", "CaptureToAVI"), "1");
}

}  // namespace
}  // namespace vigiltron
