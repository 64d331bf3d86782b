#include "platform/QtCameraBackend.h"

#include <QCameraDevice>
#include <QList>
#include <QMediaDevices>

#include "platform/QtCameraDevice.h"

namespace vigiltron {

QtCameraBackend::QtCameraBackend(EventLoop& loop) : loop_(loop) {}

std::vector<CameraDeviceInfo> QtCameraBackend::Devices() const {
    std::vector<CameraDeviceInfo> devices;
    for (const QCameraDevice& input : QMediaDevices::videoInputs()) {
        devices.push_back({input.id().toStdString(), input.description().toStdString()});
    }
    return devices;
}

std::unique_ptr<CameraDevice> QtCameraBackend::Open(int index, std::string& error) {
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    if (index < 0 || index >= inputs.size()) {
        error = "There is no video capture device number " + std::to_string(index) + ".";
        return nullptr;
    }
    auto device = std::make_unique<QtCameraDevice>(loop_, inputs[index]);
    if (device->Lost()) {
        error = device->LostText();
        return nullptr;
    }
    return device;
}

}  // namespace vigiltron
