#pragma once

#include <string>
#include <vector>

namespace qk {

// The detail texts beside the port's two messages: what was tried and why it failed, in
// words an operator can act on. Reads /proc, /etc/group and the device's owner; changes
// nothing.
struct PortHolder {
    int pid = 0;
    std::string command;  // /proc/<pid>/comm
};

// The errno text, e.g. "No such file or directory".
std::string ErrnoText(int err);

// Processes with a descriptor open on the same device as `path`, this process included,
// found through <procRoot>/<pid>/fd. Processes whose descriptors we may not see are
// missing from the list.
std::vector<PortHolder> FindPortHolders(const std::string& path,
                                        const std::string& procRoot = "/proc");

// Processes that hold a lock taken with flock() on the same file as `path`, from
// <procRoot>/locks, which names each lock's file by device and inode. Waiters for a lock
// are not holders. The ports are locked that way (flock, LOCK_EX) by this program and by
// other serial tools, so the one that has the port is here.
std::vector<PortHolder> FindLockHolders(const std::string& path,
                                        const std::string& procRoot = "/proc");

// EACCES: the group that owns the device and whether this user is in it, and what to do.
std::string DescribeAccessDenied(const std::string& path);

// The port is held: who holds it, where /proc tells. A process that has locked the port
// is named as the one holding it, any others that merely have it open after it; with no
// lock to be seen (TIOCEXCL alone), every process that has it open.
std::string DescribeHeldPort(const std::string& path, const std::string& procRoot = "/proc");

// Detail for a failed open of `path` with `err`; `mapping` is the COM mapping in force,
// named when the device is missing.
std::string DescribeOpenFailure(const std::string& path, int err, const std::string& mapping);

}  // namespace qk
