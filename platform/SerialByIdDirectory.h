#pragma once

#include <string>
#include <vector>

#include "core/SerialDeviceDirectory.h"

namespace vigiltron {

// udev's stable serial-device names of this machine ("/dev/serial/by-id" unless told otherwise,
// so tests can point it at a tree of their own).
class SerialByIdDirectory : public SerialDeviceDirectory {
public:
    static constexpr const char* kDefaultPath = "/dev/serial/by-id";

    explicit SerialByIdDirectory(std::string path = kDefaultPath);

    std::string Path() const override { return path_; }
    // Every entry (udev makes symbolic links to the tty devices), sorted; a missing or unreadable
    // directory lists nothing.
    std::vector<std::string> Names() const override;

private:
    std::string path_;
};

}  // namespace vigiltron
