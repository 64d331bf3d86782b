#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace vigiltron {

// Captures are written only to new files: an existing one (or a link, even a dangling one) is
// refused, with the text saying why; empty when `path` is free.
inline std::string RefuseExistingFile(const std::string& path) {
    if (path.empty()) {
        return "No file name was given.";
    }
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
        return "The file " + path + " already exists.";
    }
    return "";
}

// Removes a half-written file; a file that is already gone is no error.
inline void RemoveFileQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

}  // namespace vigiltron
