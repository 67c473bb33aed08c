#include "PortDiagnostics.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace qk {
namespace {

namespace fs = std::filesystem;

std::optional<int> PidOf(const std::string& name) {
    int pid = 0;
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(name.data(), last, pid);
    if (name.empty() || ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return pid;
}

bool OpensDevice(const fs::path& processDir, dev_t device) {
    std::error_code ec;
    fs::directory_iterator it(processDir / "fd", ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        struct stat target {};
        if (stat(it->path().c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == device) {
            return true;
        }
    }
    return false;
}

std::string Command(const fs::path& processDir) {
    std::string command;
    std::ifstream comm(processDir / "comm");
    std::getline(comm, command);
    return command;
}

// "pid 12 (qk4410-cli), pid 34 (QK4410ConfTool, this program)".
std::string Name(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders) {
        text += (text.empty() ? "pid " : ", pid ") + std::to_string(holder.pid) + " (" +
                holder.command + (holder.pid == getpid() ? ", this program)" : ")");
    }
    return text;
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->gr_name) : std::to_string(gid);
}

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
}

std::optional<passwd> CurrentUser(std::vector<char>& buffer) {
    buffer.resize(16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) {
        return std::nullopt;
    }
    return entry;
}

// Whether this process runs with `gid`, as a kernel permission check would see it.
bool ProcessHasGroup(gid_t gid) {
    if (getegid() == gid) {
        return true;
    }
    const int count = getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the user database lists the user in `gid`, which a new login would grant.
bool UserListedInGroup(const passwd& user, gid_t gid) {
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 4; ++attempt) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), gid) != groups.end();
        }
    }
    return false;
}

}  // namespace

std::string ErrnoText(int err) {
    return std::error_code(err, std::generic_category()).message();
}

std::vector<PortHolder> FindPortHolders(const std::string& path, const std::string& procRoot) {
    struct stat device {};
    if (stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return {};
    }
    std::vector<PortHolder> holders;
    std::error_code ec;
    fs::directory_iterator it(procRoot, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const auto pid = PidOf(it->path().filename().string());
        if (!pid || !OpensDevice(it->path(), device.st_rdev)) {
            continue;
        }
        holders.push_back({*pid, Command(it->path())});
    }
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return holders;
}

std::vector<PortHolder> FindLockHolders(const std::string& path, const std::string& procRoot) {
    struct stat file {};
    if (stat(path.c_str(), &file) != 0) {
        return {};
    }
    // "1: FLOCK  ADVISORY  WRITE 4711 00:1a:3 0 EOF": the file as major:minor (hex) of its
    // file system and inode; a waiter's line has "->" after the number.
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    std::vector<PortHolder> holders;
    std::ifstream locks(fs::path(procRoot) / "locks");
    std::string number, kind, mode, access, pid, where;
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK" ||
            where != wanted) {
            continue;
        }
        if (const auto id = PidOf(pid)) {
            holders.push_back({*id, Command(fs::path(procRoot) / pid)});
        }
    }
    return holders;
}

std::string AccessAdvice(const NodeAccess& access) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", access.mode & 07777);
    const std::string denied = access.path + ": " + ErrnoText(EACCES) + " (mode " + mode +
                               ", owner " + access.owner + ", group " + access.group + ")";
    const std::string relogin =
        "log out and in again (a new group membership takes effect only after a new login)";
    const std::string rule =
        "a udev rule can give a group access, for example in "
        "/etc/udev/rules.d/99-qk4410.rules: SUBSYSTEM==\"tty\", KERNEL==\"" +
        access.path.substr(access.path.rfind('/') + 1) +
        "\", GROUP=\"dialout\", MODE=\"0660\" (then: sudo udevadm control --reload && sudo "
        "udevadm trigger)";
    const bool groupMayUse = (access.mode & 060) == 060;
    if (!groupMayUse) {
        const bool ownerMayUse = (access.mode & 0600) == 0600;
        return denied + ". Members of " + access.group +
               " may not read and write it, so joining the group would not help; only " +
               (ownerMayUse && access.owner != "root" ? access.owner + " and root" : "root") +
               " may open it. " + rule;
    }
    if (access.processInGroup) {
        return denied + ". This program has group " + access.group +
               ", which may read and write it: something else refuses access (an ACL or a "
               "security module)";
    }
    if (access.userInGroup) {
        return denied + ". " + access.user + " is in group " + access.group +
               ", but this session started before that: " + relogin;
    }
    return denied + ". Members of " + access.group + " may open it, and " + access.user +
           " is not one: sudo usermod -aG " + access.group + " " + access.user + ", then " +
           relogin;
}

std::string DescribeAccessDenied(const std::string& path) {
    struct stat device {};
    if (stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return path + ": " + ErrnoText(EACCES);
    }
    std::vector<char> buffer;
    const auto user = CurrentUser(buffer);
    NodeAccess access;
    access.path = path;
    access.mode = device.st_mode & 07777;
    access.owner = UserName(device.st_uid);
    access.group = GroupName(device.st_gid);
    access.user = user ? user->pw_name : "this user";
    access.processInGroup = ProcessHasGroup(device.st_gid);
    access.userInGroup = user && UserListedInGroup(*user, device.st_gid);
    return AccessAdvice(access);
}

std::string DescribeHeldPort(const std::string& path, const std::string& procRoot) {
    auto holders = FindPortHolders(path, procRoot);
    const auto lockers = FindLockHolders(path, procRoot);
    if (!lockers.empty()) {
        std::erase_if(holders, [&](const PortHolder& holder) {
            return std::ranges::any_of(lockers,
                                       [&](const PortHolder& l) { return l.pid == holder.pid; });
        });
        return path + " is locked by " + Name(lockers) +
               (holders.empty() ? "" : "; also open in " + Name(holders));
    }
    if (holders.empty()) {
        return path + " is in use by another program (not visible in " + procRoot +
               ", perhaps one of another user)";
    }
    return path + " is in use by " + Name(holders);
}

std::string OtherUsers(const std::string& path, const std::string& procRoot) {
    std::string text;
    for (const PortHolder& holder : FindPortHolders(path, procRoot)) {
        if (holder.pid != getpid()) {
            text += (text.empty() ? "" : ", ") + holder.command + " (pid " +
                    std::to_string(holder.pid) + ")";
        }
    }
    return text;
}

std::string DescribeOpenFailure(const std::string& path, int err, const std::string& mapping) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return path + ": " + ErrnoText(err) + "; port mapping: " + mapping;
        case EACCES:
            return DescribeAccessDenied(path);
        case EBUSY:
        case EWOULDBLOCK:
            return DescribeHeldPort(path);
        case ENOTTY:
            return path + " is not a serial port (not a terminal device)";
        default:
            return path + ": " + ErrnoText(err);
    }
}

}  // namespace qk
