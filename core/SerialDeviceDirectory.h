#pragma once

#include <string>
#include <vector>

namespace vigiltron {

// The machine's directory of stable serial-device names, whose names carry each USB adapter's
// serial number (udev's "/dev/serial/by-id/usb-<maker>_<product>_<serial>-if00-port0"). The
// serial-number lookup finds a sensor's device here.
class SerialDeviceDirectory {
public:
    virtual ~SerialDeviceDirectory() = default;
    // The directory itself; a name joined to it with "/" opens the device.
    virtual std::string Path() const = 0;
    // The names in the directory, sorted; empty when it is missing (nothing plugged in).
    virtual std::vector<std::string> Names() const = 0;
};

}  // namespace vigiltron
