#include "Measure.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace qk::bench {
namespace {

std::size_t ResidentBytesFrom(const std::string& statmPath) {
    std::ifstream statm(statmPath);
    std::size_t sizePages = 0;
    std::size_t residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) {
        return 0;
    }
    return residentPages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

double Percentile(std::vector<double> samples, double percent) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double CpuSecondsOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(file, stat)) {
        return -1;
    }
    // The command name (field 2) may hold spaces; the fields after it are plain numbers.
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(nameEnd + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    double userTicks = 0;
    double systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks)) {
        return -1;
    }
    return (userTicks + systemTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::size_t ResidentBytes() {
    return ResidentBytesFrom("/proc/self/statm");
}

std::size_t ResidentBytesOf(pid_t pid) {
    return ResidentBytesFrom("/proc/" + std::to_string(pid) + "/statm");
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PrintResult(std::string_view name, double value) {
    std::printf("result: %.*s=%.6g\n", static_cast<int>(name.size()), name.data(), value);
    std::fflush(stdout);
}

void PrintResult(std::string_view name, std::string_view value) {
    std::printf("result: %.*s=%.*s\n", static_cast<int>(name.size()), name.data(),
                static_cast<int>(value.size()), value.data());
    std::fflush(stdout);
}

}  // namespace qk::bench
