#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vigiltron {

// One picture as a bottom-up, 24-bit BGR device-independent bitmap with rows padded to 4 bytes:
// the layout of .bmp files and of uncompressed .avi frames, and what the windows draw.
struct CameraFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    int Stride() const { return (width * 3 + 3) / 4 * 4; }
};

// One capture device as the camera back-end offers it.
struct CameraDeviceInfo {
    std::string id;           // stable identity (device path or back-end id)
    std::string description;  // what the add window lists
};

// A camera the engine has opened: a live picture, stills and clips. Every call returns at once;
// a clip is written while it records and is complete (playable) once StopClip's callback ran.
// Failures are reported through the result texts, never thrown.
class CameraDevice {
public:
    virtual ~CameraDevice() = default;

    // Frame size of the picture and of what is recorded (the engine shrinks it to 160x120 while
    // recording a clip and restores it afterwards).
    virtual void SetCaptureSize(int width, int height) = 0;
    // Pictures per second of the live picture and of clips ("FPS:"); the device takes the
    // nearest rate it offers.
    virtual void SetFrameRate(int fps) = 0;
    virtual void StartPreview() = 0;
    virtual void StopPreview() = 0;
    // Saves the current frame as a bitmap (.bmp) at `path`; false with `error` filled in.
    virtual bool SaveStill(const std::string& path, std::string& error) = 0;
    // Starts recording a clip into `path` (.avi); false with `error` filled in.
    virtual bool StartClip(const std::string& path, std::string& error) = 0;
    // Ends the clip; `done` runs on the engine's thread once the file is complete, with an empty
    // error or why the clip could not be finished.
    virtual void StopClip(std::function<void(const std::string& error)> done) = 0;
    virtual bool Recording() const = 0;
    // Copies the latest picture into `frame`; false while the device has none yet.
    virtual bool GrabFrame(CameraFrame& frame) = 0;
    // Called when the device goes away (unplugged): a clip being recorded has been closed
    // cleanly before this runs.
    std::function<void(const std::string& error)> onLost;
};

// The camera back-end: which devices exist and opening one of them.
class CameraBackend {
public:
    virtual ~CameraBackend() = default;
    virtual std::vector<CameraDeviceInfo> Devices() const = 0;
    // Opens the device at `index` in Devices(); null with `error` when it cannot be opened.
    virtual std::unique_ptr<CameraDevice> Open(int index, std::string& error) = 0;
};

}  // namespace vigiltron
