#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/SerialDeviceDirectory.h"

namespace vigiltron {

// A serial-device directory held in memory: tests and simulations list the names they want.
class MemorySerialDeviceDirectory : public SerialDeviceDirectory {
public:
    explicit MemorySerialDeviceDirectory(std::string path = "/dev/serial/by-id")
        : path_(std::move(path)) {}

    void Add(std::string name) { names_.push_back(std::move(name)); }
    void Clear() { names_.clear(); }

    std::string Path() const override { return path_; }
    std::vector<std::string> Names() const override {
        std::vector<std::string> sorted = names_;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

private:
    std::string path_;
    std::vector<std::string> names_;
};

}  // namespace vigiltron
