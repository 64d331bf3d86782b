#include "platform/KeychainSecretStore.h"

#include <qt6keychain/keychain.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/Journal.h"

namespace vigiltron {

namespace {

// Shared by the caller and the job's thread: a job that outlives the caller's wait still has
// somewhere to put its answer.
struct Answer {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    std::string errorText;
    std::string value;
};

// Reading an entry that is not there is how the keyring is first asked whether it answers.
constexpr const char* kProbeName = "keyring check";

// QtKeychain queues every job of the process on one object, which belongs to the thread that ran
// the first job; a job of another thread would be touched after its deletion. So every store of
// the process runs its jobs on this one thread, started at first use and stopped with the
// application object.
QThread* keyringThread = nullptr;

void StopKeyringThread() {
    keyringThread->quit();
    // A call stuck inside the D-Bus library would hold the thread; the process is ending, so
    // the thread is left to it rather than holding up the exit.
    if (keyringThread->wait(QDeadlineTimer(std::chrono::seconds(5)))) {
        delete keyringThread;
    }
    keyringThread = nullptr;
}

QThread* KeyringThread() {
    if (keyringThread == nullptr) {
        keyringThread = new QThread;
        keyringThread->setObjectName(QStringLiteral("keyring"));
        keyringThread->start();
        qAddPostRoutine(StopKeyringThread);
    }
    return keyringThread;
}

}  // namespace

KeychainSecretStore::KeychainSecretStore(Journal& journal, std::string scope,
                                         std::chrono::milliseconds timeout)
    : journal_(journal), scope_(std::move(scope)), timeout_(timeout), worker_(new QObject) {
    worker_->moveToThread(KeyringThread());
}

KeychainSecretStore::~KeychainSecretStore() {
    // Jobs still running keep their own answer; the worker only makes them.
    worker_->deleteLater();
}

QString KeychainSecretStore::Key(const std::string& name) const {
    return QString::fromStdString(scope_.empty() ? name : scope_ + "/" + name);
}

KeychainSecretStore::Outcome KeychainSecretStore::Run(Operation operation, const std::string& name,
                                                      const std::string& value) {
    auto answer = std::make_shared<Answer>();
    const QString key = Key(name);
    const QString text = QString::fromStdString(value);
    QMetaObject::invokeMethod(
        worker_,
        [answer, operation, key, text] {
            const QString service = QString::fromLatin1(kService);
            QKeychain::Job* job = nullptr;
            switch (operation) {
                case Operation::Read:
                    job = new QKeychain::ReadPasswordJob(service);
                    break;
                case Operation::Write: {
                    auto* write = new QKeychain::WritePasswordJob(service);
                    write->setTextData(text);
                    job = write;
                    break;
                }
                case Operation::Remove:
                    job = new QKeychain::DeletePasswordJob(service);
                    break;
            }
            // Never the insecure fallback: a password the keyring cannot take goes to the
            // settings file, whose permissions this program keeps.
            job->setInsecureFallback(false);
            job->setAutoDelete(true);
            job->setKey(key);
            QObject::connect(job, &QKeychain::Job::finished, [answer](QKeychain::Job* finished) {
                const std::lock_guard lock(answer->mutex);
                answer->error = finished->error();
                answer->errorText = finished->errorString().toStdString();
                if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) {
                    answer->value = read->textData().toStdString();
                }
                answer->finished = true;
                answer->done.notify_all();
            });
            job->start();
        },
        Qt::QueuedConnection);

    Outcome outcome;
    std::unique_lock lock(answer->mutex);
    if (!answer->done.wait_for(lock, timeout_, [&] { return answer->finished; })) {
        outcome.error =
            "the keyring did not answer within " + std::to_string(timeout_.count()) + " ms";
        return outcome;
    }
    outcome.answered = true;
    switch (answer->error) {
        case QKeychain::NoError:
            outcome.found = true;
            outcome.value = std::move(answer->value);
            break;
        case QKeychain::EntryNotFound:
            break;  // nothing stored under that name: an answer, not a failure
        default:
            outcome.error = answer->errorText.empty()
                                ? "keyring error " + std::to_string(int(answer->error))
                                : answer->errorText;
            break;
    }
    return outcome;
}

void KeychainSecretStore::GiveUp(const std::string& why) {
    if (available_ == false) {
        return;
    }
    available_ = false;
    journal_.Record("status", "the desktop keyring cannot be used (" + why +
                                  "): passwords are kept in the settings file");
}

bool KeychainSecretStore::Available() {
    if (!available_) {
        const Outcome probe = Run(Operation::Read, kProbeName, "");
        if (probe.error.empty()) {
            available_ = true;
        } else {
            GiveUp(probe.error);
        }
    }
    return *available_;
}

SecretStore::ReadResult KeychainSecretStore::Read(const std::string& name) {
    if (!Available()) {
        return {std::nullopt, "no desktop keyring"};
    }
    Outcome outcome = Run(Operation::Read, name, "");
    if (!outcome.error.empty()) {
        GiveUp(outcome.error);
        return {std::nullopt, outcome.error};
    }
    return {outcome.found ? std::optional<std::string>(std::move(outcome.value)) : std::nullopt,
            ""};
}

bool KeychainSecretStore::Write(const std::string& name, const std::string& value,
                                std::string& error) {
    if (!Available()) {
        error = "no desktop keyring";
        return false;
    }
    const Outcome outcome = Run(Operation::Write, name, value);
    if (!outcome.error.empty()) {
        error = outcome.error;
        GiveUp(outcome.error);
        return false;
    }
    return true;
}

bool KeychainSecretStore::Remove(const std::string& name, std::string& error) {
    if (!Available()) {
        error = "no desktop keyring";
        return false;
    }
    const Outcome outcome = Run(Operation::Remove, name, "");
    if (!outcome.error.empty()) {
        error = outcome.error;
        GiveUp(outcome.error);
        return false;
    }
    return true;
}

}  // namespace vigiltron
