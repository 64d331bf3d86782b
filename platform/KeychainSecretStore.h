#pragma once

#include <QString>

#include <chrono>
#include <optional>
#include <string>

#include "core/SecretStore.h"

class QObject;

namespace vigiltron {

class Journal;

// The desktop keyring (the Secret Service or KWallet, through QtKeychain), service name
// "Vigiltron Manager". QtKeychain's jobs are asynchronous and need an event loop: they run on a
// keyring thread shared by the process, so the engine's thread never runs a nested loop, and
// each call waits for its job at most `timeout`. Needs the application object. A keyring that has
// no service, refuses a job or does not answer in time counts as unavailable for the rest of the
// run, and the journal says so once.
class KeychainSecretStore : public SecretStore {
public:
    static constexpr const char* kService = "Vigiltron Manager";
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    // `scope` keeps the passwords of separate configurations apart (a run with its own
    // configuration folder names it here); empty for the user's own configuration.
    explicit KeychainSecretStore(Journal& journal, std::string scope = {},
                                 std::chrono::milliseconds timeout = kDefaultTimeout);
    ~KeychainSecretStore() override;
    KeychainSecretStore(const KeychainSecretStore&) = delete;
    KeychainSecretStore& operator=(const KeychainSecretStore&) = delete;

    ReadResult Read(const std::string& name) override;
    bool Write(const std::string& name, const std::string& value, std::string& error) override;
    bool Remove(const std::string& name, std::string& error) override;
    bool Available() override;

    // The keyring's key of a secret: the name, after the scope when there is one.
    QString Key(const std::string& name) const;

private:
    enum class Operation { Read, Write, Remove };
    struct Outcome {
        bool answered = false;
        bool found = false;  // read: the keyring holds the entry
        std::string value;
        std::string error;  // empty on success (a missing entry is no error)
    };

    Outcome Run(Operation operation, const std::string& name, const std::string& value);
    // Counts the keyring out for the rest of the run, saying why once.
    void GiveUp(const std::string& why);

    Journal& journal_;
    std::string scope_;
    std::chrono::milliseconds timeout_;
    std::optional<bool> available_;  // unknown until the keyring first answers or fails
    QObject* worker_ = nullptr;      // lives on the keyring thread; the jobs are made there
};

}  // namespace vigiltron
