#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/SecretStore.h"

namespace vigiltron {

// A keyring held in memory, for tests; it can be told to be unavailable, as a desktop without a
// keyring service is, or to refuse writes while it still answers.
class MemorySecretStore : public SecretStore {
public:
    ReadResult Read(const std::string& name) override {
        if (!available_) {
            return {std::nullopt, "no keyring"};
        }
        const auto it = secrets_.find(name);
        return {it == secrets_.end() ? std::nullopt : std::optional<std::string>(it->second), ""};
    }
    bool Write(const std::string& name, const std::string& value, std::string& error) override {
        if (!available_ || refuseWrites_) {
            error = "no keyring";
            return false;
        }
        secrets_[name] = value;
        ++writes_;
        return true;
    }
    bool Remove(const std::string& name, std::string& error) override {
        if (!available_) {
            error = "no keyring";
            return false;
        }
        secrets_.erase(name);
        return true;
    }
    bool Available() override { return available_; }

    void SetAvailable(bool available) { available_ = available; }
    void RefuseWrites(bool refuse) { refuseWrites_ = refuse; }
    void Put(const std::string& name, const std::string& value) { secrets_[name] = value; }
    bool Has(const std::string& name) const { return secrets_.count(name) != 0; }
    std::string Get(const std::string& name) const {
        const auto it = secrets_.find(name);
        return it == secrets_.end() ? std::string() : it->second;
    }
    int Writes() const { return writes_; }

private:
    std::map<std::string, std::string> secrets_;
    bool available_ = true;
    bool refuseWrites_ = false;
    int writes_ = 0;
};

}  // namespace vigiltron
