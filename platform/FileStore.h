#pragma once

#include <functional>

#include "config/TextFileStore.h"

namespace vigiltron {

// Real files. A save writes a temporary file beside the target, flushes it to disk, renames it
// over the target and flushes the directory, so a crash or power loss at any moment leaves the
// old file or the new one. New files are private to the user (they may hold passwords); an
// existing file keeps its permissions, and a symbolic link keeps pointing at the file it names.
class FileStore : public TextFileStore {
public:
    ReadResult ReadFile(const std::string& path) const override;
    bool WriteAtomically(const std::string& path, const std::string& contents,
                         std::string& error) override;
    bool DirectoryExists(const std::string& path) const override;

    // Runs when the new contents are safely in the temporary file, just before it replaces the
    // target: lets tests stop a save at its most delicate moment.
    void SetBeforeReplaceHook(std::function<void()> hook) { beforeReplace_ = std::move(hook); }

    // Asked at each save: while it answers true (passwords are kept in the files in clear, there
    // being no desktop keyring), a saved file is left readable and writable by its owner only,
    // whatever its permissions were.
    void SetOwnerOnly(std::function<bool()> ownerOnly) { ownerOnly_ = std::move(ownerOnly); }

    // For files others must read, such as the status page a web server serves: new files are
    // readable by everyone (still writable by the owner only) instead of private.
    void SetNewFilesShared(bool shared) { newFilesShared_ = shared; }

private:
    std::function<void()> beforeReplace_;
    std::function<bool()> ownerOnly_;
    bool newFilesShared_ = false;
};

}  // namespace vigiltron
