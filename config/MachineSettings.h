#pragma once

#include <map>
#include <string>

namespace vigiltron {

// The machine-wide key "SOFTWARE\Vigiltron Manager": read-only string values set by the
// administrator ("INIPath", "Autologout", "Port", "BinaryInterval", "ForceLogOff").
class MachineSettings {
public:
    virtual ~MachineSettings() = default;
    // The value, cut at its first NUL; empty when the key or the value is missing or unreadable.
    virtual std::string Read(const std::string& name) const = 0;
};

// Fixed values: for tests, the demo, and machines without a machine-wide configuration.
class FixedMachineSettings : public MachineSettings {
public:
    FixedMachineSettings() = default;
    explicit FixedMachineSettings(std::map<std::string, std::string> values)
        : values_(std::move(values)) {}

    std::string Read(const std::string& name) const override {
        const auto it = values_.find(name);
        if (it == values_.end()) {
            return "";
        }
        return it->second.substr(0, it->second.find('\0'));
    }

    void Set(const std::string& name, const std::string& value) { values_[name] = value; }

private:
    std::map<std::string, std::string> values_;
};

}  // namespace vigiltron
