#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "FileIO.h"

namespace qk::cli {
namespace {

std::string ErrnoText(int err) {
    return std::strerror(err);
}

// The descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes, std::string& error) {
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room{fd, POLLOUT, 0};
            poll(&room, 1, -1);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        error = ErrnoText(errno);
        return false;
    }
    return true;
}

// Follows symbolic links to the file they stand for, as an editor saving through a link
// does; the path itself when it is no link or names nothing yet.
bool ResolveLinks(std::string& target, struct stat& info, bool& exists, std::string& error) {
    for (int hops = 0; hops < 40; ++hops) {
        if (lstat(target.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                exists = false;
                return true;
            }
            error = ErrnoText(errno);
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            return true;
        }
        char link[4096];
        const ssize_t length = readlink(target.c_str(), link, sizeof link - 1);
        if (length < 0) {
            error = ErrnoText(errno);
            return false;
        }
        const std::string next(link, static_cast<std::size_t>(length));
        target = next.starts_with('/') ? next : FolderOf(target) + "/" + next;
    }
    error = "too many levels of symbolic links";
    return false;
}

// A FIFO or a device takes the bytes as they come: there is nothing to replace.
bool WriteInPlace(const std::string& target, std::string_view bytes, std::string& error) {
    Descriptor out{open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)};
    if (out.fd < 0) {
        error = errno == ENXIO ? "no program reads from it" : ErrnoText(errno);
        return false;
    }
    return WriteAll(out.fd, bytes, error);
}

// A new file beside `target` that no other program has: its name is unique, and it is
// created exclusively.
int CreateTemporary(const std::string& target, mode_t mode, std::string& path) {
    std::random_device random;
    const std::string base = target.substr(target.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", random());
        path = FolderOf(target) + "/." + base + suffix + ".tmp";
        const int fd =
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool Replace(const std::string& target, std::string_view bytes, const struct stat* existing,
             OutputFile how, std::string& error) {
    std::string temporary;
    // A new file gets the usual mode less the umask, which open applies; a replaced one
    // keeps the mode (and, for root, the owner) it had.
    Descriptor out{CreateTemporary(target, how.secret ? 0600 : 0666, temporary)};
    if (out.fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    bool ok = true;
    if (existing != nullptr) {
        ok = fchmod(out.fd, existing->st_mode & 07777) == 0;
        if (ok && geteuid() == 0) {
            ok = fchown(out.fd, existing->st_uid, existing->st_gid) == 0;
        }
        if (!ok) {
            error = ErrnoText(errno);
        }
    }
    ok = ok && WriteAll(out.fd, bytes, error);
    if (ok && fsync(out.fd) != 0) {
        error = ErrnoText(errno);
        ok = false;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        error = ErrnoText(errno);
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself must survive a power cut too.
    Descriptor folder{open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) {
        fsync(folder.fd);
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadInput(const std::string& file, std::size_t limit,
                                     const StopSignals* stop, std::string& error) {
    Descriptor owned;
    int fd = STDIN_FILENO;
    if (file != "-") {
        // Not blocking in open: a FIFO without a writer would hold it there, out of reach
        // of a stop signal.
        owned.fd = open(file.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (owned.fd < 0) {
            error = ErrnoText(errno);
            return std::nullopt;
        }
        fd = owned.fd;
    }
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return std::nullopt;
    }
    const int wake = stop != nullptr ? stop->WakeDescriptor() : -1;
    std::string text;
    char buffer[8192];
    for (;;) {
        pollfd ready[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
        poll(ready, wake >= 0 ? 2 : 1, -1);
        if (stop != nullptr && stop->Received() != 0) {
            error = "stopped by " + StopSignals::Name(stop->Received());
            return std::nullopt;
        }
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0) {
            return text;
        }
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            error = ErrnoText(errno);
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > limit) {
            error = "is larger than " + std::to_string(limit) + " bytes";
            return std::nullopt;
        }
    }
}

bool WriteOutput(const std::string& path, std::string_view bytes, OutputFile how,
                 std::string& error) {
    std::string target = path;
    struct stat info {};
    bool exists = false;
    if (!ResolveLinks(target, info, exists, error)) {
        return false;
    }
    if (!exists) {
        return Replace(target, bytes, nullptr, how, error);
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        return WriteInPlace(target, bytes, error);
    }
    if ((info.st_mode & 0222) == 0 && !how.force) {
        error = "is read-only (--force replaces it)";
        return false;
    }
    return Replace(target, bytes, &info, how, error);
}

bool CreateNewFile(const std::string& path, std::string_view bytes, OutputFile how,
                   std::string& error) {
    Descriptor out{open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        how.secret ? 0600 : 0666)};
    if (out.fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (!WriteAll(out.fd, bytes, error) || fsync(out.fd) != 0) {
        if (error.empty()) {
            error = ErrnoText(errno);
        }
        unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace qk::cli
