#include <algorithm>
#include <tuple>

#include "SystemPorts.h"

namespace qk {
namespace {

auto Fields(const PortIdentity& port) {
    return std::tie(port.path, port.kind, port.product, port.manufacturer, port.serial,
                    port.vendorId, port.productId, port.driver, port.byId, port.uartType);
}

// Whether `list` has `port` as it is, to the last detail.
bool Holds(const std::vector<PortIdentity>& list, const PortIdentity& port) {
    return std::ranges::any_of(
        list, [&](const PortIdentity& other) { return Fields(other) == Fields(port); });
}

}  // namespace

std::vector<PortMonitor::Event> PortChanges(const std::vector<PortIdentity>& before,
                                            const std::vector<PortIdentity>& after) {
    std::vector<PortMonitor::Event> events;
    for (const PortIdentity& port : before) {
        if (!Holds(after, port)) {
            events.push_back({false, port});
        }
    }
    for (const PortIdentity& port : after) {
        if (!Holds(before, port)) {
            events.push_back({true, port});
        }
    }
    return events;
}

}  // namespace qk
