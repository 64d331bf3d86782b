#include "reporting/DiskQuota.h"

#include <algorithm>

namespace vigiltron {

DiskQuota::DiskQuota(EventLoop& loop, const LogFileSystem& files)
    : loop_(loop), files_(files), generation_(std::make_shared<int>(0)) {}

DiskQuota::~DiskQuota() = default;

void DiskQuota::Invalidate() {
    known_ = false;
    walk_.reset();
    generation_ = std::make_shared<int>(0);
}

std::uint64_t DiskQuota::DirectoryBytes(const std::string& directory) {
    if (!known_ || directory != directory_) {
        Invalidate();
        directory_ = directory;
        StartWalk();
        StepWalk(-1);
    } else if (!walk_ && loop_.Elapsed() - walkStartedAt_ >= kRescanPeriod) {
        StartWalk();
        PostSlice();
    }
    return walkedBytes_ + writtenSince_;
}

void DiskQuota::NoteWritten(const std::string& directory, const std::string& path,
                            std::uint64_t bytes) {
    // Bytes written into another directory (a file still open from before the log directory
    // was changed) do not count against this one.
    if (!known_ || directory != directory_) {
        return;
    }
    writtenSince_ += bytes;
    if (walk_) {
        walk_->written += bytes;
        walk_->ownBytes[path] += bytes;
    }
}

void DiskQuota::StartWalk() {
    walk_ = std::make_unique<Walk>();
    walk_->files = files_.Walk(directory_);
    walkStartedAt_ = loop_.Elapsed();
}

bool DiskQuota::StepWalk(int limit) {
    std::string path;
    std::uint64_t size = 0;
    for (int seen = 0; limit < 0 || seen < limit; ++seen) {
        if (!walk_->files->Next(path, size)) {
            // Every file was seen once; what we wrote to a file before it was seen is in its
            // size and in `written`, so it was taken out of `bytes`.
            walkedBytes_ = walk_->bytes;
            writtenSince_ = walk_->written;
            walk_.reset();
            known_ = true;
            ++walks_;
            return true;
        }
        const auto own = walk_->ownBytes.find(path);
        walk_->bytes += size - (own == walk_->ownBytes.end() ? 0 : std::min(own->second, size));
    }
    return false;
}

void DiskQuota::PostSlice() {
    loop_.Post([this, alive = std::weak_ptr<int>(generation_)] {
        if (alive.expired() || !walk_) {
            return;
        }
        if (!StepWalk(kFilesPerSlice)) {
            PostSlice();
        }
    });
}

}  // namespace vigiltron
