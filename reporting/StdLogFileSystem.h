#pragma once

#include "reporting/LogFileSystem.h"

namespace vigiltron {

// The real file system, through the standard library.
class StdLogFileSystem : public LogFileSystem {
public:
    bool IsDirectory(const std::string& path) const override;
    bool Exists(const std::string& path) const override;
    std::string CreateDirectories(const std::string& path) override;
    Opened Open(const std::string& path, OpenMode mode) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) const override;
    std::unique_ptr<DirectoryWalk> Walk(const std::string& directory) const override;
    std::optional<std::string> ReadFile(const std::string& path) const override;
};

}  // namespace vigiltron
