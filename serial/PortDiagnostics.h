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

// What decides who may open a device node, as the kernel sees it for this process.
struct NodeAccess {
    std::string path;
    unsigned mode = 0;  // the permission bits, 0660
    std::string owner, group, user;
    bool processInGroup = false;  // this process runs with the node's group now
    bool userInGroup = false;     // the user database lists the user in it (a new login would)
};

// EACCES: who may open the device and what the user can do about it, from the facts: the
// group is advised only when its members may read and write the node; otherwise who can
// (the owner, root) and how to change that (a udev rule).
std::string AccessAdvice(const NodeAccess& access);
// The same for the node at `path`, as this process finds it.
std::string DescribeAccessDenied(const std::string& path);

// The port is held: who holds it, where /proc tells. A process that has locked the port
// is named as the one holding it, any others that merely have it open after it; with no
// lock to be seen (TIOCEXCL alone), every process that has it open.
std::string DescribeHeldPort(const std::string& path, const std::string& procRoot = "/proc");

// Other programs that have `path` open while this one uses it (none lock it, or this one
// could not have): "cat (pid 4242)". A reader among them may take the device's answers
// before this program sees them. Empty when there are none.
std::string OtherUsers(const std::string& path, const std::string& procRoot = "/proc");

// Detail for a failed open of `path` with `err`; `mapping` is the COM mapping in force,
// named when the device is missing.
std::string DescribeOpenFailure(const std::string& path, int err, const std::string& mapping);

}  // namespace qk
