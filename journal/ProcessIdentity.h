#pragma once

#include <string>

namespace qk {

// Which process on this host made a change, told apart from a later process that reuses
// its number: the boot, the process id and the process's start time. A change whose
// process is no longer alive was interrupted.
std::string CurrentProcessIdentity();
bool ProcessAlive(const std::string& identity);
std::string HostName();

}  // namespace qk
