#pragma once

#include <array>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/EventLoop.h"
#include "core/Timer.h"

namespace vigiltron {

class CameraBackend;
class CameraDevice;
struct DeviceRecord;
class Clock;
class DeviceModel;
class Dialogs;
class Journal;
class SettingsTree;
class ViewModel;
struct Preferences;

// The cameras of the setup: connecting a camera number to its capture driver, the live views of
// the Video and Summary tabs, which camera the Summary tab shows, stills on demand, and the still
// and clip a linked proximity sensor asks for. Every device call returns at once; a clip runs on
// a timer of the event loop, so nothing here ever blocks the loop.
class CameraManager {
public:
    struct Services {
        EventLoop& loop;
        Clock& clock;
        Dialogs& dialogs;
        Journal& journal;
        DeviceModel& model;
        ViewModel& view;
        Preferences& prefs;
        SettingsTree& settings;
        CameraBackend& backend;
        std::string applicationFolder;
    };

    // CheckCamDrivers' flags: no capture device can be opened, or some can.
    static constexpr int kNoCaptureDevices = 1;
    static constexpr int kCaptureDevicesPresent = 4;

    static constexpr int kNotAttached = 99;  // driver index of a camera without a driver
    static constexpr int kNoSummaryCamera = 99;
    static constexpr Milliseconds kClipLength{4000};
    static constexpr int kClipWidth = 160;
    static constexpr int kClipHeight = 120;
    static constexpr int kPreviewWidth = 640;  // when a camera's Resolution cannot be read
    static constexpr int kPreviewHeight = 480;

    explicit CameraManager(Services services);
    ~CameraManager();
    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // The capture devices for the add window, or the one line "No video capture devices found".
    std::vector<std::string> DriverList() const;
    // The identity of the capture device at `driverIndex` in DriverList (kept with the camera's
    // entry as `UsedByDriver`, so it is found again when devices are listed in another order);
    // empty when there is none.
    std::string DriverIdentity(int driverIndex) const;
    // Start-up: which capture devices there are (flags above), journaled.
    int CheckCamDrivers();
    // The names and "Send to Summary" states of the cameras of the setup, for the windows.
    void ShowCameraNames();

    // Opens camera `camera` (1..4) on the driver its camera-table entry names and shows it on
    // its own view, or on the Summary view when it is marked for the Summary tab. False (after
    // the connection error) when it has no driver or the driver cannot be opened.
    bool ConnectCam(int camera, int setupIndex);
    // Releases the camera's view and device; the entry shows "OFF" and "Connect" again.
    void DisconnectCam(int camera, int setupIndex);
    // The camera's "Send to Summary" check box changed. Answers the state the check box keeps:
    // false when another camera already holds the Summary tab.
    bool SendToSummary(int camera, bool checked);
    // "Save Picture": a still from the Summary view, then the "File Saved." message.
    void SnapPicture();
    // A linked proximity sensor fired for the camera at `setupIndex`: a clip and/or a still.
    void CaptureOnProximity(int setupIndex);
    // Releases every camera (program exit).
    void ReleaseAll();
    // "Resolution Change": asks for a camera number and the new size of its live picture.
    void ChangeResolution();
    // The "FPS:" or Resolution of a camera changed: a live camera takes it (after its clip).
    void ApplyPictureSettings(int camera);

    // ---- State, for the windows and for checks ----
    bool IsAttached(int camera) const;
    // The open device of a camera; null while not attached.
    CameraDevice* Device(int camera) const;
    // The camera the Summary tab shows, or 99.
    int SummaryCamera() const { return summaryCamera_; }
    // "99" while a camera is claimed for the Summary tab, "98" while the claim is free.
    std::string SummaryMarker() const { return summaryClaim_ != 0 ? "99" : "98"; }
    bool ClipTimerRunning(int camera) const;

private:
    struct Camera {
        std::unique_ptr<CameraDevice> device;
        int setupIndex = 0;
        std::unique_ptr<Timer> clipTimer;
        std::string clipPath;  // the clip being recorded, or the last one
        // Raised whenever the device is replaced, so a late callback of an old one is ignored.
        unsigned generation = 0;
    };

    static bool ValidCamera(int camera) { return camera >= 1 && camera <= 4; }
    // The camera number that entry `setupIndex` holds as its sub-index, or 0.
    int CameraNumberOf(int setupIndex) const;
    void ShowConnectError(int setupIndex);
    void ShowSensorError(int setupIndex);
    void ShowNotAttached(int camera, int setupIndex);
    // The Summary tab goes back to its "Video Surveillance" frame.
    void ClearSummaryView();
    // Drops the device; a clip still being recorded is finished first so its file stays whole.
    void Release(int camera);
    void DeviceLost(int camera, unsigned generation, const std::string& error);
    void ClipTimerFired(int camera);
    bool SaveStill(int camera, std::string& error);
    // The next free capture file name with extension `extension` (".bmp" or ".avi").
    std::string NextCaptureName(const std::string& extension);
    void StoreCameraCount();
    // The back-end's index of camera `camera`'s device: found by its identity, then by its
    // description, then the stored index; kNotAttached when none of them names a device.
    int ResolveDriver(int camera, const DeviceRecord& entry) const;
    // The live picture's size from the camera's Resolution ("640x480").
    std::pair<int, int> PictureSize(int camera) const;
    std::unique_ptr<CameraDevice> OpenDevice(int camera, int driver, std::string& error);
    // Auto Disconnect: after its clip the camera's device is opened afresh on its own view.
    void ReopenAfterClip(int camera);

    Services s_;
    std::array<Camera, 5> cameras_{};  // 1..4; 0 unused
    int summaryCamera_ = kNoSummaryCamera;
    int summaryClaim_ = 0;  // camera number marked for the Summary tab; 0 when none
    // Names handed out in this run: a clip is still being written when the next name is chosen.
    std::set<std::string> issuedNames_;
    // Devices whose last clip is still being finished before they are dropped.
    std::vector<std::unique_ptr<CameraDevice>> closing_;
};

}  // namespace vigiltron
