#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/CameraDevice.h"
#include "core/Clock.h"
#include "core/EventLoop.h"

namespace vigiltron {

// How one synthetic camera produces its picture.
struct SyntheticCameraOptions {
    int fps = 10;
    int width = 320;
    int height = 240;

    friend bool operator==(const SyntheticCameraOptions&, const SyntheticCameraOptions&) = default;
};

// Draws the test pattern at `elapsed`: colour bars that scroll one frame width every four
// seconds, with `stamp` written in white on a black box in the top left corner.
CameraFrame RenderSyntheticFrame(int width, int height, Milliseconds elapsed,
                                 const std::string& stamp);

struct SyntheticCameraSlot;

// A camera with no hardware behind it: the moving test pattern with a time stamp, stills as real
// .bmp files and clips as real uncompressed .avi files. Frames come from loop timers at the
// configured rate while the camera previews or records, so virtual time drives it in tests.
// The loop (and the clock, when given) must outlive the camera.
class SyntheticCamera : public CameraDevice {
public:
    SyntheticCamera(EventLoop& loop, const Clock* clock, int number,
                    SyntheticCameraOptions options);
    // Closes a clip still being recorded so that the file stays playable.
    ~SyntheticCamera() override;
    SyntheticCamera(const SyntheticCamera&) = delete;
    SyntheticCamera& operator=(const SyntheticCamera&) = delete;

    // Sizes from 16x16 to 1920x1080 are taken; anything else is ignored. A clip keeps the size it
    // started with, so its frames all match its header.
    void SetCaptureSize(int width, int height) override;
    // 1 to 60 pictures per second; a clip keeps the rate it started with.
    void SetFrameRate(int fps) override;
    void StartPreview() override;
    void StopPreview() override;
    bool SaveStill(const std::string& path, std::string& error) override;
    bool StartClip(const std::string& path, std::string& error) override;
    void StopClip(std::function<void(const std::string& error)> done) override;
    bool Recording() const override { return clip_ != nullptr; }
    bool GrabFrame(CameraFrame& frame) override;

    // Pulls the cable: a clip being recorded is closed cleanly, then onLost runs. From then on
    // every operation fails with the same text.
    void Unplug();
    bool Lost() const { return !lostText_.empty(); }

    bool Previewing() const { return previewing_; }
    // The picture as it is now (rendered on demand when no frame has come yet).
    const CameraFrame& CurrentFrame();

private:
    friend class SyntheticCameraBackend;
    class AviWriter;

    void UpdateTimer();
    void ScheduleTick();
    void Tick();
    std::string Stamp() const;
    // Ends the clip, patching the header fields that depend on the frame count; returns the error
    // of the clip, or empty.
    std::string FinishClip();

    EventLoop& loop_;
    const Clock* clock_;
    int number_;
    SyntheticCameraOptions options_;
    int width_;
    int height_;
    bool previewing_ = false;
    TimerId timer_ = 0;
    Milliseconds framesStart_{0};  // when frames began to run; frame k is due k periods later
    long long frameIndex_ = 0;
    CameraFrame frame_;
    std::unique_ptr<AviWriter> clip_;
    std::string lostText_;
    // The back-end's record of this camera number, when the back-end opened this device.
    std::shared_ptr<SyntheticCameraSlot> slot_;
};

// Offers up to four synthetic cameras by camera number ("Synthetic camera 1", ...). Unplugging a
// camera takes it out of Devices() and unplugs every open device of it.
class SyntheticCameraBackend : public CameraBackend {
public:
    // `clock`, when given, dates the stamp in the picture; otherwise the loop's elapsed time is
    // shown. Both must outlive the back-end and every camera it opened.
    explicit SyntheticCameraBackend(EventLoop& loop, const Clock* clock = nullptr);
    ~SyntheticCameraBackend() override;
    SyntheticCameraBackend(const SyntheticCameraBackend&) = delete;
    SyntheticCameraBackend& operator=(const SyntheticCameraBackend&) = delete;

    // Adds camera `number` (1..4), or changes the options of one already there (cameras opened
    // before keep theirs).
    void Add(int number, SyntheticCameraOptions options);
    void Unplug(int number);
    void Plug(int number);

    // Listed in camera-number order, unplugged ones left out.
    std::vector<CameraDeviceInfo> Devices() const override;
    std::unique_ptr<CameraDevice> Open(int index, std::string& error) override;

    // The devices of camera `number` that are open now (for tests and scenario changes).
    std::vector<SyntheticCamera*> OpenDevices(int number) const;

private:
    EventLoop& loop_;
    const Clock* clock_;
    std::map<int, std::shared_ptr<SyntheticCameraSlot>> slots_;
};

}  // namespace vigiltron
