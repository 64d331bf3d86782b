#include "camera/CameraManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "sim/RecordingJournal.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"
#include "support/FakeCameraBackend.h"

namespace vigiltron {
namespace {

using std::chrono::milliseconds;

constexpr const char* kConnectError =
    "Error when trying to connect the camera to a driver.\r\n"
    "Please check your camera's USB connection, or reboot your machine and then try to "
    "re-connect.";

class CameraManagerTest : public ::testing::Test {
protected:
    CameraManagerTest() {
        folder = std::filesystem::temp_directory_path() /
                 ("vigiltron-cameras-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        backend.devices = {{"/dev/video0", "USB Camera A"}, {"/dev/video2", "USB Camera B"}};
        manager = std::make_unique<CameraManager>(CameraManager::Services{
            loop, clock, dialogs, journal, model, view, prefs, settings, backend, folder.string()});
    }
    ~CameraManagerTest() override { std::filesystem::remove_all(folder); }

    void AddCamera(int n, const std::string& number, int driver, const std::string& name) {
        DeviceRecord r;
        r.deviceType = kTypeCamera;
        r.kind = KindFromDeviceType(kTypeCamera);
        r.subIndex = number;
        r.deviceName = name;
        r.camDriverIndex = driver;
        r.driverName = driver == 99 ? "" : "USB Camera";
        ASSERT_TRUE(model.SetEntry(n, r));
        model.TakeSlot(n);  // refuses sub-indexes outside 1..4, which some tests want
    }

    std::string Capture(const std::string& name) const {
        return (folder / "capturefiles" / name).string();
    }
    static bool Has(const std::vector<std::string>& log, const std::string& line) {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    std::filesystem::path folder;
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9}};
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    MemorySettingsTree settings;
    Preferences prefs;
    DeviceModel model{dialogs, settings};
    ViewModel view;
    FakeCameraBackend backend;
    std::unique_ptr<CameraManager> manager;
};

TEST_F(CameraManagerTest, CameraWithoutDriverOrWithBadNumberIsRefused) {
    AddCamera(3, "2", 99, "Door");
    EXPECT_FALSE(manager->ConnectCam(2, 3));
    EXPECT_TRUE(backend.opened.empty());
    EXPECT_TRUE(dialogs.Saw(kConnectError));
    const SummaryRow& row = view.Row(3);
    EXPECT_EQ(row.status, "Sensor Error");
    EXPECT_EQ(row.statusFontSize, 10);
    EXPECT_EQ(row.picture, "reddot.gif");
    EXPECT_EQ(view.Commands(3).connectCaption, "Connect");
    EXPECT_FALSE(manager->IsAttached(2));

    // A driver index the back-end does not know fails the same way, without a device.
    AddCamera(4, "3", 7, "Yard");
    EXPECT_FALSE(manager->ConnectCam(3, 4));
    EXPECT_EQ(dialogs.Messages().size(), 2u);

    // Entries whose sub-index names no camera number are never captured from.
    for (const char* subIndex : {"0", "5"}) {
        dialogs.Clear();
        AddCamera(5, subIndex, 0, "Stray");
        manager->CaptureOnProximity(5);
        EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Incorrect Camera Index"})
            << subIndex;
    }
    EXPECT_TRUE(backend.opened.empty());
}

TEST_F(CameraManagerTest, OnlyOneCameraHoldsTheSummaryTab) {
    AddCamera(1, "1", 0, "Front");
    AddCamera(2, "2", 1, "Back");
    EXPECT_TRUE(manager->SendToSummary(1, true));
    EXPECT_EQ(manager->SummaryMarker(), "99");
    EXPECT_EQ(settings.GetSetting("Program Setup", "chkSendToSummary"), "1");

    EXPECT_FALSE(manager->SendToSummary(2, true));
    EXPECT_TRUE(dialogs.Saw("Only one camera can be sent to the Summary tab at one time."));
    EXPECT_FALSE(model.Entry(2)->sendToSummary);

    ASSERT_TRUE(manager->ConnectCam(1, 1));
    ASSERT_TRUE(manager->ConnectCam(2, 2));
    const CameraViewData& cams = view.cameras;
    EXPECT_EQ(manager->SummaryCamera(), 1);
    EXPECT_TRUE(cams.views[0].attached);
    EXPECT_EQ(cams.summaryCameraCaption, "Front");
    EXPECT_FALSE(cams.surveillanceFrameVisible);
    EXPECT_EQ(cams.views[1].caption, "Camera in Summary Tab");
    EXPECT_TRUE(cams.views[2].attached);
    EXPECT_EQ(cams.views[2].caption, "Back");
    EXPECT_EQ(view.Row(2).reading, "On");
    EXPECT_EQ(view.Commands(2).connectCaption, "Disconnect");

    // "Save Picture" grabs from the camera on the Summary tab and says where it went.
    dialogs.Clear();
    manager->SnapPicture();
    EXPECT_TRUE(Has(*backend.logs[0], "still " + Capture("_12072026_040509.bmp")));
    EXPECT_TRUE(
        dialogs.Saw("File Saved.  Please go to File, Camera Capture Files to view pictures."));

    // Releasing the Summary camera frees the Summary view; clearing its check frees the claim.
    manager->DisconnectCam(1, 1);
    EXPECT_EQ(cams.views[1].caption, "Camera 1 Not Attached");
    EXPECT_TRUE(cams.surveillanceFrameVisible);
    EXPECT_EQ(manager->SummaryCamera(), 99);
    EXPECT_EQ(view.Row(1).reading, "OFF");
    EXPECT_EQ(settings.GetSetting("Program Setup", "TotalCameras"), "2");
    dialogs.Clear();
    manager->SnapPicture();
    EXPECT_FALSE(
        dialogs.Saw("File Saved.  Please go to File, Camera Capture Files to view pictures."));

    EXPECT_FALSE(manager->SendToSummary(1, false));
    EXPECT_EQ(manager->SummaryMarker(), "98");
    EXPECT_TRUE(manager->SendToSummary(2, true));
}

TEST_F(CameraManagerTest, ProximityRecordsAShortClipAndKeepsEveryStill) {
    AddCamera(4, "1", 0, "Desk");
    prefs.cameras[1].CaptureToAVI = true;
    prefs.prox[1].chkProxSnapCam = true;
    prefs.PrefaceFiles = "desk_";
    ASSERT_TRUE(manager->ConnectCam(1, 4));
    const auto& log = *backend.logs[0];
    const std::size_t before = log.size();

    manager->CaptureOnProximity(4);
    manager->CaptureOnProximity(4);  // a second walk-up within the same second
    const std::vector<std::string> started(log.begin() + long(before), log.end());
    EXPECT_EQ(started, (std::vector<std::string>{
                           "size 160x120",
                           "clip start " + Capture("desk_12072026_040509.avi"),
                           "still " + Capture("desk_12072026_040509.bmp"),
                           "still " + Capture("desk_12072026_040509-2.bmp"),
                       }));
    EXPECT_TRUE(manager->ClipTimerRunning(1));

    loop.RunFor(milliseconds(3999));
    EXPECT_FALSE(Has(log, "clip stop"));
    loop.RunFor(milliseconds(1));
    const std::vector<std::string> ended(log.end() - 3, log.end());
    EXPECT_EQ(ended, (std::vector<std::string>{"clip stop", "size 640x480", "preview on"}));
    EXPECT_FALSE(manager->ClipTimerRunning(1));
    EXPECT_TRUE(dialogs.Messages().empty());

    // The next clip, a minute later, gets its own name.
    loop.RunFor(milliseconds(60000));
    manager->CaptureOnProximity(4);
    EXPECT_TRUE(Has(log, "clip start " + Capture("desk_12072026_040613.avi")));
}

TEST_F(CameraManagerTest, CameraUnpluggedWhileRecordingIsNoLongerAttached) {
    AddCamera(2, "3", 1, "Hall");
    prefs.cameras[3].CaptureToAVI = true;
    ASSERT_TRUE(manager->ConnectCam(3, 2));
    manager->CaptureOnProximity(2);
    auto* device = dynamic_cast<FakeCameraDevice*>(manager->Device(3));
    ASSERT_NE(device, nullptr);

    device->Unplug("device removed");
    loop.RunFor(milliseconds(5000));
    EXPECT_FALSE(manager->IsAttached(3));
    EXPECT_FALSE(manager->ClipTimerRunning(3));
    EXPECT_TRUE(dialogs.Saw(kConnectError));
    EXPECT_EQ(view.cameras.views[3].caption, "Camera 3 Not Attached");
    EXPECT_FALSE(view.cameras.views[3].attached);
    EXPECT_EQ(view.Row(2).reading, "OFF");
    EXPECT_EQ(view.Row(2).status, "Sensor Error");
    EXPECT_FALSE(Has(*backend.logs[0], "clip stop"));

    // Plugged in again, the camera connects anew.
    EXPECT_TRUE(manager->ConnectCam(3, 2));
    EXPECT_EQ(backend.opened.size(), 2u);
}

}  // namespace
}  // namespace vigiltron
