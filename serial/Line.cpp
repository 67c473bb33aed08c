#include "Line.h"

#include "NetworkAddress.h"

#ifdef _WIN32
#include "ComLine.h"
#else
#include "TtyLine.h"
#endif
#if QK_NETWORK_PORTS
#include "NetworkLine.h"
#endif

namespace qk {

std::string NetworkPortsMissing() {
#if QK_NETWORK_PORTS
    return {};
#else
    return "network ports (rfc2217://, tcp://) are not in the Windows build yet";
#endif
}

std::string PortPathProblem(const std::string& path) {
    if (!IsNetworkPath(path)) {
        return {};
    }
    if (std::string missing = NetworkPortsMissing(); !missing.empty()) {
        return missing;
    }
    std::string error;
    return ParseNetworkAddress(path, error) ? std::string() : error;
}

std::unique_ptr<Line> OpenLine(const std::string& path, const LineOptions& options,
                               std::string& failure) {
    if (IsNetworkPath(path)) {
        const auto address = ParseNetworkAddress(path, failure);
        if (!address) {
            return nullptr;
        }
#if QK_NETWORK_PORTS
        return OpenNetworkLine(*address, options.connectTimeout, failure);
#else
        failure = path + ": " + NetworkPortsMissing();
        return nullptr;
#endif
    }
#ifdef _WIN32
    return OpenComLine(path, options.portMapping, failure);
#else
    return OpenTtyLine(path, options.portMapping, failure);
#endif
}

}  // namespace qk
