#include "ProcessIdentity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

namespace qk {
namespace {

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Field 22 of /proc/PID/stat, the start time in clock ticks since boot; empty when the
// process does not exist. The command name (field 2) may hold blanks and parentheses, so the
// fields are counted from its last ')'.
std::string StartTime(long pid) {
    const std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return {};
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
    }
    return field;
}

std::string Identity(long pid) {
    const std::string start = StartTime(pid);
    if (start.empty()) {
        return {};
    }
    return FirstLine("/proc/sys/kernel/random/boot_id") + ":" + std::to_string(pid) + ":" + start;
}

long ProcessNumber(std::string_view text) {
    long pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    return error == std::errc() && end == text.data() + text.size() && pid > 0 ? pid : 0;
}

}  // namespace

std::string CurrentProcessIdentity() {
    const std::string identity = Identity(getpid());
    // Without /proc the process id alone has to do.
    return identity.empty() ? std::to_string(getpid()) : identity;
}

bool ProcessAlive(const std::string& identity) {
    const auto firstColon = identity.find(':');
    if (firstColon == std::string::npos) {
        const long pid = ProcessNumber(identity);
        return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
    }
    const auto secondColon = identity.find(':', firstColon + 1);
    if (secondColon == std::string::npos) {
        return false;
    }
    const long pid = ProcessNumber(
        std::string_view(identity).substr(firstColon + 1, secondColon - firstColon - 1));
    return pid > 0 && Identity(pid) == identity;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return "?";
    }
    return name;
}

}  // namespace qk
