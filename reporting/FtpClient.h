#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace vigiltron {

// The connection settings the FTP client uses for the commands that follow.
struct FtpSession {
    // `ServerName` as stored: "host", "host:port", "ftp://...", "ftps://host[:port]" (TLS from
    // the first byte) or "sftp://host[:port]".
    std::string server;
    std::string user;
    std::string password;
    // How long connecting, and each wait for a server reply, may take.
    int requestTimeoutSeconds = 20;
    // A private certificate authority to trust instead of the system's; empty: the system's.
    std::string caFile;
};

// The FTP component the update engine drives: commands are executed one after the other without
// holding up the engine, and what happens is told through state notifications on the engine's
// thread, always after the call that led to them has returned.
//
// Commands: "PWD", "CD dir" ("CD /" for the top), "LS " (names), "LS -l" and "DIR" (full
// listing), "MKDIR dir", "SEND local remote" (the local path may hold blanks, the remote name may
// not), "QUIT".
//
// States: 1 resolving host, 2 host resolved, 3 connecting, 4 connected (logged in), 8 response
// received, 9 disconnecting, 10 disconnected, 11 error, 12 response completed. A command ends
// with 12 on success or 11 on failure ("QUIT" ends with 9 and 10, or nothing when no connection
// was open); ResponseCode() is then 0 for success, else the failure's code, and ResponseText()
// the server's last reply or why the command failed. A failure that trying again cannot mend
// (login refused, certificate not trusted, server name not understood) has "unrecoverable" in
// its text; a directory that is not there has "does not exist" in it.
class FtpClient {
public:
    enum State {
        kNoEvents = 0,
        kResolvingHost = 1,
        kHostResolved = 2,
        kConnecting = 3,
        kConnected = 4,
        kResponseReceived = 8,
        kDisconnecting = 9,
        kDisconnected = 10,
        kError = 11,
        kResponseCompleted = 12,
    };

    // The response code of a failure whose explanation is the server's own reply (for instance
    // a directory that is not there).
    static constexpr int kExtendedError = 12003;

    using StateChanged = std::function<void(int state)>;

    virtual ~FtpClient() = default;

    virtual void SetStateHandler(StateChanged handler) = 0;
    // Used by the commands executed after it.
    virtual void SetSession(const FtpSession& session) = 0;
    // Queues `command` behind any still executing.
    virtual void Execute(const std::string& command) = 0;
    virtual bool StillExecuting() const = 0;
    virtual int ResponseCode() const = 0;
    virtual std::string ResponseText() const = 0;
    // The next part, at most `size` characters, of the last command's data (a listing, the
    // directory of "PWD"); empty when all has been read.
    virtual std::string GetChunk(std::size_t size) = 0;
    // Abandons the command executing and those queued, and closes the connection; their
    // notifications are dropped. Never blocks.
    virtual void Cancel() = 0;
};

}  // namespace vigiltron
