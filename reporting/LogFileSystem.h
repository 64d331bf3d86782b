#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vigiltron {

// One open log file. Every write reaches the operating system before it returns, so a line that
// was reported written survives a crash of the program.
class LogFileHandle {
public:
    virtual ~LogFileHandle() = default;
    // Appends `data` and flushes it. Returns an error description, empty on success.
    virtual std::string Write(std::string_view data) = 0;
};

// A walk over the regular files below a directory, one file at a time, so that a large directory
// can be walked in slices between other work.
class DirectoryWalk {
public:
    virtual ~DirectoryWalk() = default;
    // The next regular file and its size; false when the walk is over.
    virtual bool Next(std::string& path, std::uint64_t& size) = 0;
};

// The few file operations the log files need, so that full disks, vanished directories and
// read-only media can be simulated in tests.
class LogFileSystem {
public:
    enum class OpenMode {
        CreateNew,  // fails with `exists` set when a file of that name is already there
        Append,     // creates the file when it is missing
    };
    struct Opened {
        std::unique_ptr<LogFileHandle> file;  // null on failure
        std::string error;
        bool exists = false;  // CreateNew only: the name is taken
    };

    virtual ~LogFileSystem() = default;

    virtual bool IsDirectory(const std::string& path) const = 0;
    virtual bool Exists(const std::string& path) const = 0;
    // Creates the directory and its parents. Returns an error description, empty on success.
    virtual std::string CreateDirectories(const std::string& path) = 0;
    virtual Opened Open(const std::string& path, OpenMode mode) = 0;
    // The size of a regular file; nothing when the path is missing or is not a regular file.
    virtual std::optional<std::uint64_t> FileSize(const std::string& path) const = 0;
    // Walks the regular files below `directory`, subdirectories included. A directory that
    // cannot be read gives an empty walk.
    virtual std::unique_ptr<DirectoryWalk> Walk(const std::string& directory) const = 0;
    // The whole content of a regular file, to read a sensor's history back; nothing when it
    // cannot be read. File systems that only take writes (test doubles) read nothing back.
    virtual std::optional<std::string> ReadFile(const std::string& /*path*/) const {
        return std::nullopt;
    }

    // The sizes of all regular files below `directory`, in one go.
    std::uint64_t TotalSize(const std::string& directory) const {
        std::uint64_t total = 0;
        std::string path;
        std::uint64_t size = 0;
        for (auto walk = Walk(directory); walk->Next(path, size);) {
            total += size;
        }
        return total;
    }
};

}  // namespace vigiltron
