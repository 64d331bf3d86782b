#include "reporting/StdLogFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vigiltron {

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int code) {
    return std::generic_category().message(code);
}

class StdLogFileHandle : public LogFileHandle {
public:
    explicit StdLogFileHandle(std::FILE* file) : file_(file) {}
    ~StdLogFileHandle() override { std::fclose(file_); }
    StdLogFileHandle(const StdLogFileHandle&) = delete;
    StdLogFileHandle& operator=(const StdLogFileHandle&) = delete;

    std::string Write(std::string_view data) override {
        errno = 0;
        const std::size_t written = std::fwrite(data.data(), 1, data.size(), file_);
        if (written != data.size() || std::fflush(file_) != 0) {
            const int code = errno != 0 ? errno : EIO;
            std::clearerr(file_);
            return ErrnoText(code);
        }
        return "";
    }

private:
    std::FILE* file_;
};

class StdDirectoryWalk : public DirectoryWalk {
public:
    explicit StdDirectoryWalk(const std::string& directory)
        : it_(directory, fs::directory_options::skip_permission_denied, error_) {}

    bool Next(std::string& path, std::uint64_t& size) override {
        // Files that vanish or cannot be read while the walk goes on are passed over.
        while (!error_ && it_ != fs::recursive_directory_iterator()) {
            const fs::directory_entry entry = *it_;
            it_.increment(error_);
            std::error_code entryError;
            if (entry.is_regular_file(entryError)) {
                const std::uintmax_t bytes = entry.file_size(entryError);
                if (!entryError) {
                    path = entry.path().string();
                    size = bytes;
                    return true;
                }
            }
        }
        return false;
    }

private:
    std::error_code error_;
    fs::recursive_directory_iterator it_;
};

}  // namespace

bool StdLogFileSystem::IsDirectory(const std::string& path) const {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool StdLogFileSystem::Exists(const std::string& path) const {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string StdLogFileSystem::CreateDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return ec ? ec.message() : "";
}

LogFileSystem::Opened StdLogFileSystem::Open(const std::string& path, OpenMode mode) {
    Opened result;
    errno = 0;
    // "x" makes the creation exclusive, so an existing file is never replaced.
    std::FILE* file = std::fopen(path.c_str(), mode == OpenMode::CreateNew ? "wbx" : "ab");
    if (file == nullptr) {
        const int code = errno != 0 ? errno : EIO;
        result.exists = mode == OpenMode::CreateNew && code == EEXIST;
        result.error = ErrnoText(code);
        return result;
    }
    result.file = std::make_unique<StdLogFileHandle>(file);
    return result;
}

std::optional<std::uint64_t> StdLogFileSystem::FileSize(const std::string& path) const {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status)) {
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return size;
}

std::unique_ptr<DirectoryWalk> StdLogFileSystem::Walk(const std::string& directory) const {
    return std::make_unique<StdDirectoryWalk>(directory);
}

std::optional<std::string> StdLogFileSystem::ReadFile(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return content;
}

}  // namespace vigiltron
