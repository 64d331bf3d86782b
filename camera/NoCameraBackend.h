#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CameraDevice.h"

namespace vigiltron {

// The camera back-end of a run that has none: the headless program does not load the camera
// libraries, and a simulated run without synthetic cameras has no cameras at all.
class NoCameraBackend : public CameraBackend {
public:
    explicit NoCameraBackend(std::string why) : why_(std::move(why)) {}

    std::vector<CameraDeviceInfo> Devices() const override { return {}; }
    std::unique_ptr<CameraDevice> Open(int, std::string& error) override {
        error = why_;
        return nullptr;
    }

private:
    std::string why_;
};

}  // namespace vigiltron
