#include "platform/SerialByIdDirectory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vigiltron {

SerialByIdDirectory::SerialByIdDirectory(std::string path) : path_(std::move(path)) {}

std::vector<std::string> SerialByIdDirectory::Names() const {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    // The directory only exists while a USB serial device is plugged in.
    fs::directory_iterator it(path_, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vigiltron
