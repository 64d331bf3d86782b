#pragma once

#include <string>

namespace vigiltron {

// Whole-file text access for the configuration files the engine keeps (the profile file). The
// engine does no file I/O of its own; the platform supplies the real files, tests an in-memory map.
class TextFileStore {
public:
    enum class ReadStatus { Ok, Missing, Failed };

    struct ReadResult {
        ReadStatus status = ReadStatus::Missing;
        std::string contents;  // the file's bytes, unchanged, when status is Ok
        std::string error;     // why the read failed, when status is Failed
    };

    virtual ~TextFileStore() = default;

    // Reads the whole file. A file that does not exist is Missing, not Failed: callers treat it
    // as empty, whereas a file that exists but cannot be read must not be overwritten.
    virtual ReadResult ReadFile(const std::string& path) const = 0;

    // Replaces the file's contents so that a crash at any moment leaves either the old file or the
    // new one, never a truncated mix. Returns false, with a reason in `error`, on failure; the old
    // file is then untouched.
    virtual bool WriteAtomically(const std::string& path, const std::string& contents,
                                 std::string& error) = 0;

    virtual bool DirectoryExists(const std::string& path) const = 0;
};

}  // namespace vigiltron
