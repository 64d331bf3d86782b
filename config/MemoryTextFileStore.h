#pragma once

#include <map>
#include <set>
#include <string>

#include "config/TextFileStore.h"

namespace vigiltron {

// Files held in memory: for tests and for the demo, which must never touch the user's files.
class MemoryTextFileStore : public TextFileStore {
public:
    ReadResult ReadFile(const std::string& path) const override {
        if (unreadable_.count(path) != 0) {
            return {ReadStatus::Failed, "", "Permission denied"};
        }
        const auto it = files_.find(path);
        if (it == files_.end()) {
            return {ReadStatus::Missing, "", ""};
        }
        return {ReadStatus::Ok, it->second, ""};
    }

    bool WriteAtomically(const std::string& path, const std::string& contents,
                         std::string& error) override {
        if (failWrites_) {
            error = "Disk full";
            return false;
        }
        files_[path] = contents;
        ++writes_;
        return true;
    }

    bool DirectoryExists(const std::string& path) const override {
        return directories_.count(path) != 0;
    }

    void Put(const std::string& path, const std::string& contents) { files_[path] = contents; }
    bool Has(const std::string& path) const { return files_.count(path) != 0; }
    std::string Contents(const std::string& path) const {
        const auto it = files_.find(path);
        return it == files_.end() ? std::string() : it->second;
    }
    void AddDirectory(const std::string& path) { directories_.insert(path); }
    void MakeUnreadable(const std::string& path) { unreadable_.insert(path); }
    void FailWrites(bool fail) { failWrites_ = fail; }
    int Writes() const { return writes_; }

private:
    std::map<std::string, std::string> files_;
    std::set<std::string> directories_;
    std::set<std::string> unreadable_;
    bool failWrites_ = false;
    int writes_ = 0;
};

}  // namespace vigiltron
