#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CameraDevice.h"

namespace vigiltron {

// A camera that writes nothing: it records every call as a short line ("size 160x120",
// "preview on", "clip start <path>", ...) in a log the test keeps after the device is gone.
class FakeCameraDevice : public CameraDevice {
public:
    explicit FakeCameraDevice(std::shared_ptr<std::vector<std::string>> log)
        : log_(std::move(log)) {}

    void SetCaptureSize(int width, int height) override {
        log_->push_back("size " + std::to_string(width) + "x" + std::to_string(height));
    }
    void SetFrameRate(int fps) override { log_->push_back("fps " + std::to_string(fps)); }
    void StartPreview() override { log_->push_back("preview on"); }
    void StopPreview() override { log_->push_back("preview off"); }
    bool SaveStill(const std::string& path, std::string&) override {
        log_->push_back("still " + path);
        return true;
    }
    bool StartClip(const std::string& path, std::string&) override {
        log_->push_back("clip start " + path);
        recording_ = true;
        return true;
    }
    void StopClip(std::function<void(const std::string&)> done) override {
        log_->push_back("clip stop");
        recording_ = false;
        done("");
    }
    bool Recording() const override { return recording_; }
    bool GrabFrame(CameraFrame& frame) override {
        frame = CameraFrame{2, 2, std::vector<std::uint8_t>(16, 0x80)};
        return true;
    }

    // The device is unplugged: a running clip is closed first, as real back-ends do.
    void Unplug(const std::string& why) {
        recording_ = false;
        if (onLost) {
            onLost(why);
        }
    }

private:
    std::shared_ptr<std::vector<std::string>> log_;
    bool recording_ = false;
};

class FakeCameraBackend : public CameraBackend {
public:
    std::vector<CameraDeviceInfo> devices;
    // Per Open call, in order: the index asked for and the call log of the device it gave.
    std::vector<int> opened;
    std::vector<std::shared_ptr<std::vector<std::string>>> logs;

    std::vector<CameraDeviceInfo> Devices() const override { return devices; }
    std::unique_ptr<CameraDevice> Open(int index, std::string& error) override {
        if (index < 0 || index >= static_cast<int>(devices.size())) {
            error = "no such device";
            return nullptr;
        }
        opened.push_back(index);
        logs.push_back(std::make_shared<std::vector<std::string>>());
        return std::make_unique<FakeCameraDevice>(logs.back());
    }
};

}  // namespace vigiltron
