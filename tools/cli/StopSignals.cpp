#include "StopSignals.h"

#include <csignal>

namespace qk::cli {

std::string StopSignals::Name(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifdef SIGHUP
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace qk::cli
