#include "Scan.h"

#include "DeviceSearch.h"
#include "DeviceText.h"
#include "ExitStatus.h"
#include "JsonOutput.h"
#include "ResponseParser.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;

// The device's answer to `id`, as text; empty when it gave none.
std::string Reported(const ScanResult& result, ParameterId id) {
    const std::string* value = result.reported.Find(id);
    return value != nullptr ? GbkToDisplay(*value) : std::string();
}

std::string Line(const PortFinding& finding) {
    const ScanResult& r = finding.result;
    const std::string port = EscapeBytes(finding.path);
    if (!r.found) {
        return port + " no device" +
               (!r.opened               ? " (cannot open: " + finding.openFailure + ")"
                : !r.sharedWith.empty() ? " (the port is open in " + r.sharedWith +
                                              " as well, which may take the answers)"
                : r.serverRate ? std::string(" (raw TCP: tried at the server's line speed only)")
                               : std::string());
    }
    const std::string* stat = r.reported.Find(ParameterId::Status);
    const std::string rate = r.serverRate ? std::string("the server's line speed (raw TCP)")
                                          : std::to_string(r.baud) + " baud";
    return port + " " + rate + ", ID " + Reported(r, ParameterId::Id) + ", firmware " +
           Reported(r, ParameterId::Version) + ", signal " +
           GbkToDisplay(stat != nullptr ? SplitStat(*stat).strength : "");
}

Json JsonObject(const PortFinding& finding) {
    const ScanResult& r = finding.result;
    const auto reported = [&](ParameterId id) {
        const std::string* value = r.reported.Find(id);
        return value != nullptr ? DeviceText(*value) : Json(nullptr);
    };
    const std::string* stat = r.reported.Find(ParameterId::Status);
    Json object = {
        {"schema", kJsonSchema},
        {"command", "scan"},
        {"port", SystemText(finding.path)},
        {"found", r.found},
        {"baud", r.found && !r.serverRate ? Json(r.baud) : Json(nullptr)},
        {"id", reported(ParameterId::Id)},
        {"firmware", reported(ParameterId::Version)},
        {"signal",
         stat != nullptr ? NumberOrText(GbkToDisplay(SplitStat(*stat).strength)) : Json(nullptr)},
        {"problem", !r.opened               ? Json(finding.openFailure)
                    : !r.sharedWith.empty() ? Json("the port is open in " + r.sharedWith +
                                                   " as well, which may take the answers")
                                            : Json(nullptr)}};
    if (const auto settings = NetworkLineSettings(finding.path)) {
        object["lineSettings"] = *settings;
    }
    return object;
}

// The ports to search: the --port and --com options in order, or every port of the list.
std::vector<PortDirectory::Entry> ScanTargets(const CliOptions& options,
                                              const PortDirectory& ports) {
    if (options.targets.empty()) {
        return ports.Entries();
    }
    std::vector<PortDirectory::Entry> targets;
    for (const Target& target : options.targets) {
        // Numbers only tell the scans apart here; they are not COM numbers for --port.
        const int number = static_cast<int>(targets.size()) + 1;
        targets.push_back(
            {number, target.path.empty() ? ports.PathFor(target.comNumber) : target.path, false});
    }
    return targets;
}

}  // namespace

int RunScan(const CliOptions& options, const PortDirectory& ports, std::ostream& out,
            std::ostream& err, const StopSignals* stop) {
    const std::vector<PortDirectory::Entry> targets = ScanTargets(options, ports);
    if (targets.empty()) {
        err << "qk4410-cli: no serial ports to scan\n";
        return kNoDevice;
    }
    const auto firstRate = static_cast<std::uint32_t>(
        std::stoul(std::string(BaudRateList[options.session.baudIndex])));
    std::vector<PortFinding> findings(targets.size());
    DeviceSearch::Observer observer;
    observer.finished = [&](PortFinding finding) {
        // Each finding is written by its own scan's thread, into its own slot.
        const auto at = std::ranges::find(targets, finding.number, &PortDirectory::Entry::number);
        findings[static_cast<std::size_t>(at - targets.begin())] = std::move(finding);
    };
    DeviceScanner::Timing timing;
    timing.connectTimeout = options.session.connectTimeout;
    {
        DeviceSearch search(targets, firstRate, timing, observer);
        while (!search.WaitFor(50ms)) {
            if (stop != nullptr && stop->Received() != 0) {
                search.Cancel();
            }
        }
    }
    bool anyFound = false;
    for (const PortFinding& finding : findings) {
        out << (options.json ? JsonLine(JsonObject(finding)) : Line(finding) + "\n");
        anyFound = anyFound || finding.result.found;
    }
    if (stop != nullptr && stop->Received() != 0) {
        err << "qk4410-cli: stopped by " << StopSignals::Name(stop->Received()) << "\n";
        return 128 + stop->Received();
    }
    return anyFound ? kSuccess : kNoDevice;
}

void PrintPorts(const PortDirectory& ports, bool json, std::ostream& out) {
    const auto entries = ports.Entries();
    if (entries.empty() && !json) {
        out << "no serial ports found\n";
    }
    for (const auto& entry : entries) {
        const PortIdentity& id = entry.identity;
        if (!json) {
            std::string line = "COM" + std::to_string(entry.number) + " " + EscapeBytes(entry.path);
            if (const std::string described = id.Describe(); !described.empty()) {
                line += "  " + EscapeBytes(described);
            }
            if (!id.byId.empty() && id.byId != entry.path) {
                line += "  " + EscapeBytes(id.byId);
            }
            out << line << (entry.pinned ? " (pinned)" : "") << "\n";
            continue;
        }
        const auto text = [](const std::string& value) {
            return value.empty() ? Json(nullptr) : SystemText(value);
        };
        out << JsonLine({{"schema", kJsonSchema},
                         {"command", "ports"},
                         {"com", entry.number},
                         {"path", SystemText(entry.path)},
                         {"kind", id.kind == PortIdentity::Kind::Usb       ? "usb"
                                  : id.kind == PortIdentity::Kind::BuiltIn ? "built-in"
                                                                           : "other"},
                         {"vendor", text(id.vendorName)},
                         {"model", text(id.modelName)},
                         {"product", text(id.product)},
                         {"manufacturer", text(id.manufacturer)},
                         {"serial", text(id.serial)},
                         {"vendorId", text(id.vendorId)},
                         {"productId", text(id.productId)},
                         {"driver", text(id.driver)},
                         {"byId", text(id.byId)},
                         {"uartType", text(id.uartType)},
                         {"pinned", entry.pinned}});
    }
}

}  // namespace qk::cli
