#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CameraDevice.h"
#include "core/EventLoop.h"

namespace vigiltron {

// The USB (V4L2) cameras that Qt Multimedia finds, in the order it lists them; a driver index is
// a position in that list. Opened devices report back on the thread of `loop`, which must outlive
// the back-end and every device it opened.
class QtCameraBackend : public CameraBackend {
public:
    explicit QtCameraBackend(EventLoop& loop);

    std::vector<CameraDeviceInfo> Devices() const override;
    std::unique_ptr<CameraDevice> Open(int index, std::string& error) override;

private:
    EventLoop& loop_;
};

}  // namespace vigiltron
