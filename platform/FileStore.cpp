#include "platform/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vigiltron {

namespace {

std::string ErrorText(const std::string& what, int code) {
    return what + ": " + std::strerror(code);
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& contents) {
    const char* data = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// The file a save must replace: the target of a symbolic link rather than the link itself.
std::string ReplaceTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

}  // namespace

TextFileStore::ReadResult FileStore::ReadFile(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return {ReadStatus::Missing, "", ""};
        }
        return {ReadStatus::Failed, "", ErrorText(path, errno)};
    }
    ReadResult result{ReadStatus::Ok, "", ""};
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            result = {ReadStatus::Failed, "", ErrorText(path, errno)};
            break;
        }
        if (got == 0) {
            break;
        }
        result.contents.append(buffer.data(), static_cast<size_t>(got));
    }
    ::close(fd);
    return result;
}

bool FileStore::WriteAtomically(const std::string& path, const std::string& contents,
                                std::string& error) {
    const std::string target = ReplaceTarget(path);
    const std::string directory = DirectoryOf(target);
    std::string temp = directory + "/." + BaseName(target) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = ErrorText(target, errno);
        return false;
    }
    auto fail = [&](int code, bool open) {
        error = ErrorText(target, code);
        if (open) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        return false;
    };

    struct stat existing {};
    const mode_t ownerOnly = S_IRUSR | S_IWUSR;
    const mode_t newFile = newFilesShared_ ? ownerOnly | S_IRGRP | S_IROTH : ownerOnly;
    const mode_t mode = ownerOnly_ && ownerOnly_()               ? ownerOnly
                        : ::stat(target.c_str(), &existing) != 0 ? newFile
                                                                 : (existing.st_mode & 07777);
    if (::fchmod(fd, mode) != 0) {
        return fail(errno, true);
    }
    if (!WriteAll(fd, contents)) {
        return fail(errno, true);
    }
    if (::fsync(fd) != 0) {
        return fail(errno, true);
    }
    if (::close(fd) != 0) {
        return fail(errno, false);
    }
    if (beforeReplace_) {
        beforeReplace_();
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return fail(errno, false);
    }
    // Make the rename itself durable. Some file systems refuse fsync on a directory; the file's
    // contents are safe either way.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool FileStore::DirectoryExists(const std::string& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace vigiltron
