#include "camera/CameraManager.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "config/Preferences.h"
#include "core/CameraDevice.h"
#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/LooseText.h"
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

std::string CameraManager::DriverIdentity(int driverIndex) const {
    const std::vector<CameraDeviceInfo> devices = s_.backend.Devices();
    return driverIndex >= 0 && std::size_t(driverIndex) < devices.size()
               ? devices[std::size_t(driverIndex)].id
               : std::string();
}

int CameraManager::CheckCamDrivers() {
    try {
        const std::vector<CameraDeviceInfo> devices = s_.backend.Devices();
        std::string names;
        for (const CameraDeviceInfo& info : devices) {
            names += (names.empty() ? "" : ", ") + info.description;
        }
        s_.journal.Record("camera", devices.empty() ? std::string(kNoDevices)
                                                    : "Video capture devices: " + names);
        return devices.empty() ? kNoCaptureDevices : kCaptureDevicesPresent;
    } catch (const std::exception& e) {
        s_.journal.Record("camera", e.what());
        s_.dialogs.ShowMessage("A problem occured in CheckCamDrivers");
        return kNoCaptureDevices;
    }
}

void CameraManager::ShowCameraNames() {
    CameraViewData& views = s_.view.cameras;
    for (int c = 1; c <= 4; ++c) {
        const DeviceRecord* entry = s_.model.Entry(s_.model.CameraEntry(c));
        views.names[std::size_t(c)] = entry ? entry->deviceName : "";
        views.sendToSummary[std::size_t(c)] = entry && summaryClaim_ == c;
    }
    s_.view.Changed();
}

int CameraManager::ResolveDriver(int camera, const DeviceRecord& entry) const {
    const int stored = s_.model.CameraDriver(camera);
    if (stored == kNotAttached) {
        return kNotAttached;
    }
    const std::vector<CameraDeviceInfo> devices = s_.backend.Devices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!entry.usedByDriver.empty() && devices[i].id == entry.usedByDriver) {
            return int(i);
        }
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].description == entry.driverName) {
            return int(i);
        }
    }
    return stored;
}

std::pair<int, int> CameraManager::PictureSize(int camera) const {
    const std::string& text = s_.prefs.cameras[std::size_t(camera)].Resolution;
    int width = 0;
    int height = 0;
    const char* end = text.data() + text.size();
    const auto w = std::from_chars(text.data(), end, width);
    if (w.ec == std::errc{} && w.ptr != end && (*w.ptr == 'x' || *w.ptr == 'X')) {
        const auto h = std::from_chars(w.ptr + 1, end, height);
        if (h.ec == std::errc{} && h.ptr == end && width >= 16 && height >= 16) {
            return {width, height};
        }
    }
    return {kPreviewWidth, kPreviewHeight};
}

std::unique_ptr<CameraDevice> CameraManager::OpenDevice(int camera, int driver,
                                                        std::string& error) {
    std::unique_ptr<CameraDevice> device = s_.backend.Open(driver, error);
    if (!device) {
        return nullptr;
    }
    Camera& cam = cameras_[std::size_t(camera)];
    const unsigned generation = ++cam.generation;
    device->onLost = [this, camera, generation](const std::string& why) {
        DeviceLost(camera, generation, why);
    };
    const auto [width, height] = PictureSize(camera);
    device->SetCaptureSize(width, height);
    device->SetFrameRate(
        std::clamp(LeadingWholeNumber(s_.prefs.cameras[std::size_t(camera)].FPS), 1, 30));
    device->StartPreview();
    return device;
}

// ---- Connect and disconnect ----

bool CameraManager::ConnectCam(int camera, int setupIndex) {
    try {
        if (!ValidCamera(camera)) {
            s_.dialogs.ShowMessage(kIncorrectIndex);
            return false;
        }
        const DeviceRecord* entry = s_.model.Entry(setupIndex);
        const int driver = entry ? ResolveDriver(camera, *entry) : kNotAttached;
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
        std::unique_ptr<CameraDevice> device = OpenDevice(camera, driver, error);
        if (!device) {
            s_.journal.Record(
                "camera", "Camera " + std::to_string(camera) + " could not be opened: " + error);
            ShowConnectError(setupIndex);
            return false;
        }
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
        views.savePictureEnabled = summaryCamera_ != kNoSummaryCamera;
        ShowCameraNames();

        SummaryRow& row = s_.view.Row(setupIndex);
        row.picture = "greendot.gif";
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

void CameraManager::ClearSummaryView() {
    CameraViewData& views = s_.view.cameras;
    views.views[0] = CameraView{};
    views.surveillanceFrameVisible = true;
    views.summaryCameraCaption.clear();
    views.summaryCameraCaptionVisible = false;
    views.savePictureEnabled = false;
    summaryCamera_ = kNoSummaryCamera;
}

void CameraManager::ShowNotAttached(int camera, int setupIndex) {
    CameraViewData& views = s_.view.cameras;
    views.views[std::size_t(camera)] = CameraView{NotAttachedCaption(camera), false, 0};
    if (summaryCamera_ == camera) {
        ClearSummaryView();
    }
    views.noCamerasNoticeVisible = std::none_of(
        cameras_.begin(), cameras_.end(), [](const Camera& c) { return c.device != nullptr; });
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
            ShowCameraNames();
            return false;
        }
        if (checked) {
            summaryClaim_ = camera;
        } else if (summaryClaim_ == camera) {
            summaryClaim_ = 0;
        }
        if (DeviceRecord* entry = s_.model.Entry(s_.model.CameraEntry(camera))) {
            entry->sendToSummary = checked;
        }
        s_.prefs.chkSendToSummary = checked;
        s_.settings.SaveSetting(kProgramSetup, "chkSendToSummary", OneZero(checked));
        ShowCameraNames();
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
        // The device keeps its latest picture: the live display goes on while it is saved (a
        // real camera stopped for the grab takes a second or more to start again).
        const bool saved = device->SaveStill(path, error);
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
        const CameraSettings& settings = s_.prefs.cameras[std::size_t(camera)];
        if (settings.CaptureToAVI && !cam.device->Recording()) {
            // "Auto Disconnect" keeps its own clip length; otherwise a clip lasts four seconds.
            const int ms = LeadingWholeNumber(settings.AutoDisconnectInterval);
            cam.clipTimer->SetInterval(settings.AutoDisconnect && ms > 0 ? Milliseconds(ms)
                                                                         : kClipLength);
            cam.device->SetCaptureSize(kClipWidth, kClipHeight);
            std::string error;
            const std::string path = NextCaptureName(".avi");
            if (cam.device->StartClip(path, error)) {
                cam.clipTimer->SetEnabled(true);
                cam.clipPath = path;
            } else {
                const auto [width, height] = PictureSize(camera);
                cam.device->SetCaptureSize(width, height);
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
        if (error.empty()) {
            s_.journal.Record("camera", "Clip saved: " + c.clipPath);
        } else {
            s_.journal.Record("camera", "Clip not saved: " + c.clipPath + ": " + error);
            s_.dialogs.ShowMessage("Error in CaptureOnProximity\r\n" + error);
            ShowSensorError(c.setupIndex);
        }
        if (s_.prefs.cameras[std::size_t(camera)].AutoDisconnect) {
            ReopenAfterClip(camera);
            return;
        }
        const auto [width, height] = PictureSize(camera);
        c.device->SetCaptureSize(width, height);
        c.device->StartPreview();
    });
}

void CameraManager::ReopenAfterClip(int camera) {
    Camera& cam = cameras_[std::size_t(camera)];
    const int setupIndex = cam.setupIndex;
    const DeviceRecord* entry = s_.model.Entry(setupIndex);
    const int driver = entry ? ResolveDriver(camera, *entry) : kNotAttached;
    cam.device->onLost = nullptr;
    cam.device.reset();
    CameraViewData& views = s_.view.cameras;
    if (summaryCamera_ == camera) {
        ClearSummaryView();
    }
    views.frontView = 0;
    std::string error;
    cam.device = driver == kNotAttached ? nullptr : OpenDevice(camera, driver, error);
    if (!cam.device) {
        s_.journal.Record(
            "camera", "Camera " + std::to_string(camera) + " could not be opened again: " + error);
        ShowNotAttached(camera, setupIndex);
        ShowConnectError(setupIndex);
        return;
    }
    views.views[std::size_t(camera)] =
        CameraView{entry ? entry->deviceName : NotAttachedCaption(camera), true, camera};
    s_.view.Changed();
}

void CameraManager::ChangeResolution() {
    const std::optional<std::string> number =
        s_.dialogs.AskText("Please enter the camera number to change: ");
    if (!number || Trim(*number).empty()) {
        return;
    }
    const int camera = LeadingWholeNumber(*number);
    if (!ValidCamera(camera) || s_.model.CameraEntry(camera) == 0) {
        s_.dialogs.ShowMessage(kIncorrectIndex);
        return;
    }
    CameraSettings& settings = s_.prefs.cameras[std::size_t(camera)];
    const std::optional<std::string> size =
        s_.dialogs.AskText("Please enter the picture size of camera " + std::to_string(camera) +
                               " as width x height (for example 640x480): ",
                           kAppTitle, settings.Resolution);
    if (!size) {
        return;
    }
    const std::string kept = settings.Resolution;
    settings.Resolution = std::string(Trim(*size));
    if (PictureSize(camera) == std::pair{kPreviewWidth, kPreviewHeight} &&
        settings.Resolution != "640x480") {
        settings.Resolution = kept;
        s_.dialogs.ShowMessage("There was an error when trying to change the resolution in " +
                               CameraSection(camera) + ": \"" + std::string(Trim(*size)) +
                               "\" is not a size such as 640x480.");
        return;
    }
    s_.settings.SaveSetting(CameraSection(camera), "Resolution", settings.Resolution);
    ApplyPictureSettings(camera);
    s_.journal.Record("camera",
                      "Camera " + std::to_string(camera) + " resolution " + settings.Resolution);
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

void CameraManager::ApplyPictureSettings(int camera) {
    CameraDevice* device = Device(camera);
    if (device == nullptr || device->Recording()) {
        return;  // a clip keeps its size; the end of the clip applies the new one
    }
    const auto [width, height] = PictureSize(camera);
    device->SetCaptureSize(width, height);
    device->SetFrameRate(
        std::clamp(LeadingWholeNumber(s_.prefs.cameras[std::size_t(camera)].FPS), 1, 30));
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

}  // namespace vigiltron
