#pragma once

#include <optional>
#include <string>

namespace vigiltron {

// Where passwords are kept apart from the settings: the desktop keyring, or nothing at all. Every
// call answers at once from the engine's view; an adapter that has to wait for a service waits a
// bounded time and then counts the service as unavailable for the rest of the run.
class SecretStore {
public:
    // What the setup windows say about where passwords are kept.
    static constexpr const char* kInKeyring = "Passwords are kept in the desktop keyring.";
    static constexpr const char* kInSettingsFile =
        "No desktop keyring: passwords are kept in the settings file, readable only by you.";

    struct ReadResult {
        std::optional<std::string> value;  // nothing when the store holds no such secret
        std::string error;                 // why the store could not be read, when it could not
    };

    virtual ~SecretStore() = default;

    virtual ReadResult Read(const std::string& name) = 0;
    // False, with the reason in `error`, when the secret could not be stored.
    virtual bool Write(const std::string& name, const std::string& value, std::string& error) = 0;
    // Removing a secret the store does not hold succeeds.
    virtual bool Remove(const std::string& name, std::string& error) = 0;
    // Whether secrets go to the store at all; false once it has failed to answer.
    virtual bool Available() = 0;
    // kInKeyring or kInSettingsFile, as the store is available or not.
    virtual std::string Where() { return Available() ? kInKeyring : kInSettingsFile; }
};

}  // namespace vigiltron
