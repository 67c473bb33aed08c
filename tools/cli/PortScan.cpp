#include "PortScan.h"

#include <thread>

#include "CSerialPort.h"
#include "DeviceScanner.h"
#include "DeviceText.h"
#include "ExitStatus.h"
#include "Json.h"
#include "ResponseParser.h"
#include "StoppablePacer.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

// Keeps the reason a port would not open, for the port's line.
class OpenFailure final : public SerialMessageSink {
  public:
    void SerialError(std::string_view message, std::string_view detail) override {
        if (message == kOpenComFailed) {
            reason = detail;
        }
    }
    std::string reason;
};

struct PortScan {
    std::string path;
    ScanResult result;
    std::string openFailure;
};

PortScan ScanOne(const PortDirectory& ports, int number, std::uint32_t firstRate,
                 const StopSignals* stop) {
    OpenFailure sink;
    CSerialPort port(ports, sink);
    StoppablePacer pacer(stop);
    DeviceScanner scanner(port, number, pacer, {});
    PortScan scan{ports.PathFor(number), scanner.Scan(ScanRates(firstRate)), {}};
    scan.openFailure = sink.reason;
    return scan;
}

std::string Line(const PortScan& scan) {
    const ScanResult& r = scan.result;
    if (!r.found) {
        return scan.path + " no device" +
               (r.opened ? std::string() : " (cannot open: " + scan.openFailure + ")");
    }
    return scan.path + " " + std::to_string(r.baud) + " baud, ID " + GbkToDisplay(r.id) +
           ", firmware " + GbkToDisplay(r.version) + ", signal " +
           GbkToDisplay(CommaField(r.stat, 0));
}

std::string JsonLine(const PortScan& scan) {
    const ScanResult& r = scan.result;
    JsonObject line;
    line.Text("port", scan.path).Raw("found", r.found ? "true" : "false");
    if (!r.found) {
        if (!r.opened) {
            line.Text("problem", scan.openFailure);
        }
        return line.str();
    }
    const std::string signal(CommaField(r.stat, 0));
    const bool numeric =
        !signal.empty() && signal.find_first_not_of("0123456789") == std::string::npos;
    line.Number("baud", std::to_string(r.baud))
        .Text("id", GbkToDisplay(r.id))
        .Text("firmware", GbkToDisplay(r.version))
        .Raw("signal", numeric ? signal : "null");
    return line.str();
}

}  // namespace

int RunScan(const CliOptions& options, const PortDirectory& ports, std::ostream& out,
            std::ostream& err, const StopSignals* stop) {
    // Each --port gets a directory of its own, as the other commands give it.
    std::vector<PortDirectory> own;
    std::vector<std::pair<const PortDirectory*, int>> targets;
    if (options.targetsGiven) {
        own.reserve(options.targets.size());
        for (const Target& target : options.targets) {
            if (target.path.empty()) {
                targets.emplace_back(&ports, target.comNumber);
            } else {
                own.emplace_back().Pin(1, target.path);
                targets.emplace_back(&own.back(), 1);
            }
        }
    } else {
        for (const auto& entry : ports.Entries()) {
            targets.emplace_back(&ports, entry.number);
        }
    }
    if (targets.empty()) {
        err << "qk4410-cli: no serial ports to scan\n";
        return kNoDevice;
    }
    const auto firstRate =
        static_cast<std::uint32_t>(std::stoul(std::string(BaudRateList[options.baudIndex])));
    std::vector<PortScan> scans(targets.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back(
            [&, i] { scans[i] = ScanOne(*targets[i].first, targets[i].second, firstRate, stop); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    bool anyFound = false;
    for (const PortScan& scan : scans) {
        out << (options.json ? JsonLine(scan) : Line(scan)) << "\n";
        anyFound = anyFound || scan.result.found;
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
            std::string line = "COM" + std::to_string(entry.number) + " " + entry.path;
            if (const std::string described = id.Describe(); !described.empty()) {
                line += "  " + described;
            }
            if (!id.byId.empty() && id.byId != entry.path) {
                line += "  " + id.byId;
            }
            out << line << (entry.pinned ? " (pinned)" : "") << "\n";
            continue;
        }
        JsonObject line;
        const auto text = [&](std::string_view key, const std::string& value) {
            value.empty() ? line.Null(key) : line.Text(key, value);
        };
        line.Number("com", std::to_string(entry.number)).Text("path", entry.path);
        line.Text("kind", id.kind == PortIdentity::Kind::Usb       ? "usb"
                          : id.kind == PortIdentity::Kind::BuiltIn ? "built-in"
                                                                   : "other");
        text("product", id.product);
        text("manufacturer", id.manufacturer);
        text("serial", id.serial);
        text("vendorId", id.vendorId);
        text("productId", id.productId);
        text("driver", id.driver);
        text("byId", id.byId);
        text("uartType", id.uartType);
        line.Raw("pinned", entry.pinned ? "true" : "false");
        out << line.str() << "\n";
    }
}

}  // namespace qk::cli
