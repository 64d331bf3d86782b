#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "reporting/LogFileSystem.h"

namespace vigiltron {

// How many bytes the log directory holds, cheaply enough to ask after every log line: a walk of
// the directory plus the bytes this program wrote since, counted exactly. The walk is repeated
// every kRescanPeriod to see files that other programs add or remove; it runs in small slices
// on the event loop, so no log line and no other event waits for a large directory to be walked.
class DiskQuota {
public:
    // How long a walk of the directory stays current.
    static constexpr Milliseconds kRescanPeriod{5000};
    // Files looked at per slice of a repeated walk.
    static constexpr int kFilesPerSlice = 128;

    DiskQuota(EventLoop& loop, const LogFileSystem& files);
    ~DiskQuota();
    DiskQuota(const DiskQuota&) = delete;
    DiskQuota& operator=(const DiskQuota&) = delete;

    // The bytes held by `directory` and its subdirectories. The first question about a directory
    // walks it at once; later ones start a walk in the background when the last is stale and
    // answer from the last walk and the writes counted since.
    std::uint64_t DirectoryBytes(const std::string& directory);
    // Counts bytes the program appended to the file `path` in `directory`.
    void NoteWritten(const std::string& directory, const std::string& path, std::uint64_t bytes);
    // Forgets the last walk: the next question walks the directory at once.
    void Invalidate();
    // How many walks were completed (for diagnostics and tests).
    std::uint64_t Walks() const { return walks_; }

private:
    struct Walk {
        std::unique_ptr<DirectoryWalk> files;
        std::uint64_t bytes = 0;    // sizes seen, less what we wrote to them before they were seen
        std::uint64_t written = 0;  // everything we wrote since the walk began
        std::map<std::string, std::uint64_t> ownBytes;  // what we wrote, per file, since it began
    };

    void StartWalk();
    // Looks at up to `limit` files (all when negative); true when the walk is complete.
    bool StepWalk(int limit);
    void PostSlice();

    EventLoop& loop_;
    const LogFileSystem& files_;
    bool known_ = false;
    std::string directory_;
    Milliseconds walkStartedAt_{0};
    std::uint64_t walkedBytes_ = 0;
    std::uint64_t writtenSince_ = 0;
    std::unique_ptr<Walk> walk_;
    // Posted slices hold a weak reference, so a slice that runs after this object is gone, or
    // after its walk was abandoned, does nothing.
    std::shared_ptr<int> generation_;
    std::uint64_t walks_ = 0;
};

}  // namespace vigiltron
