#include "camera/CameraManager.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "config/Preferences.h"
#include "core/CameraDevice.h"
#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"

namespace vigiltron {

namespace {

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kConnectError =
    "Error when trying to connect the camera to a driver.\r\n"
    "Please check your camera's USB connection, or reboot your machine and then try to "
    "re-connect.";
constexpr const char* kIncorrectIndex = "Incorrect Camera Index";
constexpr const char* kFileSaved =
    "File Saved.  Please go to File, Camera Capture Files to view pictures.";
constexpr const char* kNoDevices = "No video capture devices found";
constexpr const char* kRedDot = "reddot.gif";
// A still or clip name is tried with this many numbered copies before giving up.
constexpr int kMaxNamesPerStamp = 1000;

std::string NotAttachedCaption(int camera) {
    return "Camera " + std::to_string(camera) + " Not Attached";
}

}  // namespace

CameraManager::CameraManager(Services services) : s_(std::move(services)) {
    for (int c = 1; c <= 4; ++c) {
        Camera& cam = cameras_[std::size_t(c)];
        cam.clipTimer = std::make_unique<Timer>(s_.loop);
        cam.clipTimer->SetInterval(kClipLength);
        cam.clipTimer->SetCallback([this, c] { ClipTimerFired(c); });
        s_.view.cameras.views[std::size_t(c)].caption = NotAttachedCaption(c);
    }
}

CameraManager::~CameraManager() {
    for (Camera& cam : cameras_) {
        if (cam.device) {
            cam.device->onLost = nullptr;
        }
    }
}

std::vector<std::string> CameraManager::DriverList() const {
    std::vector<std::string> list;
    for (const CameraDeviceInfo& info : s_.backend.Devices()) {
        list.push_back(info.description);
    }
    if (list.empty()) {
        list.emplace_back(kNoDevices);
    }
    return list;
}

// ---- Connect and disconnect ----

bool CameraManager::ConnectCam(int camera, int setupIndex) {
    try {
        if (!ValidCamera(camera)) {
            s_.dialogs.ShowMessage(kIncorrectIndex);
            return false;
        }
        const DeviceRecord* entry = s_.model.Entry(setupIndex);
        const int driver = s_.model.CameraDriver(camera);
        if (entry == nullptr || entry->driverName.empty() || entry->driverName == "0" ||
            driver == kNotAttached) {
            ShowConnectError(setupIndex);
            return false;
        }
        Camera& cam = cameras_[std::size_t(camera)];
        if (cam.device) {
            return true;  // already live
        }
        std::string error;
        std::unique_ptr<CameraDevice> device = s_.backend.Open(driver, error);
        if (!device) {
            s_.journal.Record(
                "camera", "Camera " + std::to_string(camera) + " could not be opened: " + error);
            ShowConnectError(setupIndex);
            return false;
        }
        const unsigned generation = ++cam.generation;
        device->onLost = [this, camera, generation](const std::string& why) {
            DeviceLost(camera, generation, why);
        };
        device->SetCaptureSize(kPreviewWidth, kPreviewHeight);
        device->StartPreview();
        cam.device = std::move(device);
        cam.setupIndex = setupIndex;

        // A camera checked for the Summary tab claims it when nobody holds it yet (the claim
        // of a loaded setup is only known from its entry).
        if (summaryClaim_ == 0 && entry->sendToSummary) {
            summaryClaim_ = camera;
        }
        CameraViewData& views = s_.view.cameras;
        if (summaryClaim_ == camera) {
            views.views[0] = CameraView{entry->deviceName, true, camera};
            views.surveillanceFrameVisible = false;
            views.frontView = 0;
            views.summaryCameraCaption = entry->deviceName;
            views.summaryCameraCaptionVisible = true;
            views.views[std::size_t(camera)] = CameraView{"Camera in Summary Tab", false, camera};
            summaryCamera_ = camera;
        } else {
            views.views[std::size_t(camera)] = CameraView{entry->deviceName, true, camera};
        }
        views.noCamerasNoticeVisible = false;

        SummaryRow& row = s_.view.Row(setupIndex);
        row.reading = "On";
        row.readingColour = TextColour::Blue;
        row.status.clear();
        row.statusColour = TextColour::Blue;
        row.statusFontSize = 14;
        row.statusVisible = true;
        EntryCommands& commands = s_.view.Commands(setupIndex);
        commands.connectCaption = "Disconnect";
        commands.connectEnabled = true;
        commands.deleteEnabled = false;
        s_.model.MarkConnected(setupIndex);
        s_.journal.Record("connect", "Camera " + std::to_string(camera) + " connected");
        s_.view.Changed();
        return true;
    } catch (const std::exception& e) {
        s_.journal.Record("camera", e.what());
        ShowConnectError(setupIndex);
        return false;
    }
}

void CameraManager::DisconnectCam(int camera, int setupIndex) {
    try {
        if (!ValidCamera(camera)) {
            s_.dialogs.ShowMessage(kIncorrectIndex);
            return;
        }
        if (s_.model.CameraDriver(camera) != kNotAttached) {
            Release(camera);
            ShowNotAttached(camera, setupIndex);
            s_.journal.Record("connect", "Camera " + std::to_string(camera) + " disconnected");
        }
        StoreCameraCount();
        s_.view.Changed();
    } catch (const std::exception& e) {
        s_.journal.Record("camera", e.what());
        s_.dialogs.ShowMessage("There was an error when disconnecting the camera.");
    }
}

void CameraManager::ReleaseAll() {
    for (int c = 1; c <= 4; ++c) {
        if (cameras_[std::size_t(c)].device) {
            Release(c);
        }
    }
}

void CameraManager::Release(int camera) {
    Camera& cam = cameras_[std::size_t(camera)];
    cam.clipTimer->SetEnabled(false);
    ++cam.generation;
    if (!cam.device) {
        return;
    }
    std::unique_ptr<CameraDevice> device = std::move(cam.device);
    device->onLost = nullptr;
    device->StopPreview();
    if (device->Recording()) {
        // Keep the device until the clip is complete, then drop it outside its own callback.
        CameraDevice* raw = device.get();
        closing_.push_back(std::move(device));
        raw->StopClip([this, raw](const std::string&) {
            s_.loop.Post([this, raw] {
                std::erase_if(closing_, [raw](const auto& d) { return d.get() == raw; });
            });
        });
    }
}

void CameraManager::ShowNotAttached(int camera, int setupIndex) {
    CameraViewData& views = s_.view.cameras;
    views.views[std::size_t(camera)] = CameraView{NotAttachedCaption(camera), false, 0};
    if (summaryCamera_ == camera) {
        views.views[0] = CameraView{};
        views.surveillanceFrameVisible = true;
        views.summaryCameraCaption.clear();
        views.summaryCameraCaptionVisible = false;
        summaryCamera_ = kNoSummaryCamera;
    }
    if (DeviceModel::IsValidIndex(setupIndex)) {
        SummaryRow& row = s_.view.Row(setupIndex);
        row.picture = kRedDot;
        row.reading = "OFF";
        row.readingColour = TextColour::Black;
        EntryCommands& commands = s_.view.Commands(setupIndex);
        commands.connectCaption = "Connect";
        commands.connectEnabled = true;
        commands.deleteEnabled = true;
        s_.model.MarkDisconnected(setupIndex);
    }
}

void CameraManager::ShowSensorError(int setupIndex) {
    if (!DeviceModel::IsValidIndex(setupIndex)) {
        return;
    }
    SummaryRow& row = s_.view.Row(setupIndex);
    row.status = "Sensor Error";
    row.statusFontSize = 10;
    row.statusColour = TextColour::Red;
    row.statusVisible = true;
    row.picture = kRedDot;
    s_.view.Commands(setupIndex).connectCaption = "Connect";
    s_.view.Changed();
}

void CameraManager::ShowConnectError(int setupIndex) {
    s_.dialogs.ShowMessage(kConnectError);
    ShowSensorError(setupIndex);
}

void CameraManager::DeviceLost(int camera, unsigned generation, const std::string& error) {
    // The device calls this from inside itself: drop it only after the call has returned.
    s_.loop.Post([this, camera, generation, error] {
        Camera& cam = cameras_[std::size_t(camera)];
        if (cam.generation != generation || !cam.device) {
            return;
        }
        s_.journal.Record("camera", "Camera " + std::to_string(camera) + " lost: " + error);
        const int setupIndex = cam.setupIndex;
        cam.clipTimer->SetEnabled(false);
        ++cam.generation;
        cam.device->onLost = nullptr;
        cam.device.reset();
        ShowNotAttached(camera, setupIndex);
        ShowConnectError(setupIndex);
    });
}

void CameraManager::StoreCameraCount() {
    int count = 0;
    for (int c = 1; c <= 4; ++c) {
        if (s_.model.CameraDriver(c) != kNotAttached) {
            ++count;
        }
    }
    s_.prefs.TotalCameras = std::to_string(count);
    s_.settings.SaveSetting(kProgramSetup, "TotalCameras", s_.prefs.TotalCameras);
}

// ---- Summary assignment ----

bool CameraManager::SendToSummary(int camera, bool checked) {
    try {
        if (!ValidCamera(camera)) {
            s_.dialogs.ShowMessage(kIncorrectIndex);
            return false;
        }
        if (checked && summaryClaim_ != 0 && summaryClaim_ != camera) {
            s_.dialogs.ShowMessage("Only one camera can be sent to the Summary tab at one time.");
            return false;
        }
        if (checked) {
            summaryClaim_ = camera;
        } else if (summaryClaim_ == camera) {
            summaryClaim_ = 0;
        }
        if (DeviceRecord* entry = s_.model.Entry(SetupIndexOfCamera(camera))) {
            entry->sendToSummary = checked;
        }
        s_.prefs.chkSendToSummary = checked;
        s_.settings.SaveSetting(kProgramSetup, "chkSendToSummary", OneZero(checked));
        return checked;
    } catch (const std::exception& e) {
        s_.journal.Record("camera", e.what());
        s_.dialogs.ShowMessage("Error in SendToSummary");
        return false;
    }
}

// ---- Stills and clips ----

void CameraManager::SnapPicture() {
    std::string error = "No camera is shown on the Summary tab.";
    if (summaryCamera_ != kNoSummaryCamera && SaveStill(summaryCamera_, error)) {
        s_.dialogs.ShowMessage(kFileSaved);
        return;
    }
    // A still that was not written is never reported as saved.
    s_.dialogs.ShowMessage("Error in SnapPicture\r\n" + error);
}

bool CameraManager::SaveStill(int camera, std::string& error) {
    CameraDevice* device = Device(camera);
    if (device == nullptr) {
        error = NotAttachedCaption(camera);
        return false;
    }
    try {
        const std::string path = NextCaptureName(".bmp");
        // The live display pauses for the grab, unless a clip is recording from it.
        const bool pausePreview = !device->Recording();
        if (pausePreview) {
            device->StopPreview();
        }
        const bool saved = device->SaveStill(path, error);
        if (pausePreview) {
            device->StartPreview();
        }
        if (saved) {
            s_.journal.Record("camera", "Still saved: " + path);
        }
        return saved;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

void CameraManager::CaptureOnProximity(int setupIndex) {
    const int camera = CameraNumberOf(setupIndex);
    if (!ValidCamera(camera)) {
        s_.dialogs.ShowMessage(kIncorrectIndex);
        return;
    }
    Camera& cam = cameras_[std::size_t(camera)];
    if (!cam.device) {
        return;  // nothing to capture from until the camera is connected
    }
    try {
        if (cam.options.captureToAvi && !cam.device->Recording()) {
            if (!cam.options.autoDisconnect) {
                cam.clipTimer->SetInterval(kClipLength);
            }
            cam.device->SetCaptureSize(kClipWidth, kClipHeight);
            std::string error;
            if (cam.device->StartClip(NextCaptureName(".avi"), error)) {
                cam.clipTimer->SetEnabled(true);
            } else {
                cam.device->SetCaptureSize(kPreviewWidth, kPreviewHeight);
                s_.dialogs.ShowMessage("Error in CaptureOnProximity\r\n" + error);
                ShowSensorError(setupIndex);
            }
        }
        if (s_.prefs.prox[std::size_t(camera)].chkProxSnapCam) {
            std::string error;
            if (!SaveStill(camera, error)) {
                s_.dialogs.ShowMessage("Error in CaptureOnProximity\r\n" + error);
                ShowSensorError(setupIndex);
            }
        }
    } catch (const std::exception& e) {
        s_.dialogs.ShowMessage(std::string("Error in CaptureOnProximity\r\n") + e.what());
        ShowSensorError(setupIndex);
    }
}

void CameraManager::ClipTimerFired(int camera) {
    Camera& cam = cameras_[std::size_t(camera)];
    cam.clipTimer->SetEnabled(false);
    if (!ValidCamera(CameraNumberOf(cam.setupIndex))) {
        s_.dialogs.ShowMessage(kIncorrectIndex);
        return;
    }
    if (!cam.device || !cam.device->Recording()) {
        return;
    }
    const unsigned generation = cam.generation;
    cam.device->StopClip([this, camera, generation](const std::string& error) {
        Camera& c = cameras_[std::size_t(camera)];
        if (c.generation != generation || !c.device) {
            return;  // released or lost meanwhile
        }
        c.device->SetCaptureSize(kPreviewWidth, kPreviewHeight);
        c.device->StartPreview();
        if (!error.empty()) {
            s_.dialogs.ShowMessage("Error in CaptureOnProximity\r\n" + error);
            ShowSensorError(c.setupIndex);
        }
    });
}

std::string CameraManager::NextCaptureName(const std::string& extension) {
    const std::filesystem::path folder =
        std::filesystem::path(s_.applicationFolder) / "capturefiles";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string base =
        (folder / (s_.prefs.PrefaceFiles + GetDateTimeStamp(s_.clock.Now()))).string();
    // Two captures in the same second would share a name; a number keeps both, and a file
    // already on disk is never replaced.
    for (int copy = 1; copy <= kMaxNamesPerStamp; ++copy) {
        const std::string candidate =
            base + (copy == 1 ? "" : "-" + std::to_string(copy)) + extension;
        if (issuedNames_.count(candidate) == 0 && !std::filesystem::exists(candidate, ec)) {
            issuedNames_.insert(candidate);
            return candidate;
        }
    }
    throw std::runtime_error("No free capture file name for " + base + extension);
}

// ---- Small helpers ----

void CameraManager::SetOptions(int camera, const CameraOptions& options) {
    if (!ValidCamera(camera)) {
        return;
    }
    Camera& cam = cameras_[std::size_t(camera)];
    cam.options = options;
    if (options.autoDisconnect) {
        cam.clipTimer->SetInterval(options.clipTimerInterval);
    }
}

bool CameraManager::IsAttached(int camera) const {
    return Device(camera) != nullptr;
}

CameraDevice* CameraManager::Device(int camera) const {
    return ValidCamera(camera) ? cameras_[std::size_t(camera)].device.get() : nullptr;
}

bool CameraManager::ClipTimerRunning(int camera) const {
    return ValidCamera(camera) && cameras_[std::size_t(camera)].clipTimer->Enabled();
}

int CameraManager::CameraNumberOf(int setupIndex) const {
    const DeviceRecord* entry = s_.model.Entry(setupIndex);
    if (entry == nullptr || !IsCamera(s_.model.EffectiveKind(setupIndex))) {
        return 0;
    }
    int number = 0;
    const std::string& text = entry->subIndex;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc{} && end == text.data() + text.size() ? number : 0;
}

int CameraManager::SetupIndexOfCamera(int camera) const {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (CameraNumberOf(n) == camera) {
            return n;
        }
    }
    return 0;
}

}  // namespace vigiltron
