#include "CliOptions.h"

#include <charconv>

#include "ValueLists.h"

namespace qk::cli {

const char* const kUsage =
    "usage: qk4410-cli [OPTIONS] get\n"
    "       qk4410-cli [OPTIONS] set NAME=VALUE...\n"
    "       qk4410-cli [--com N=PATH]... ports\n"
    "\n"
    "Reads or writes the parameters of a QK4410/QK4520 data terminal on a serial port,\n"
    "as the configuration window does: open the port, enter configuration mode, read\n"
    "every parameter. `set` then logs in, writes exactly the named values (in the order\n"
    "and with the pauses of the window's Set Param. and Adv Param.), asks the device for\n"
    "each again and compares its answers with what was written.\n"
    "\n"
    "Options:\n"
    "  --port PATH        the serial device to use (for example /dev/ttyUSB0)\n"
    "  --com N            use COM number N (1-14) of the port list (see `ports`); default 1\n"
    "  --com N=PATH       let COM number N stand for PATH (repeatable)\n"
    "  --baud RATE        the PC's line speed: 1200 ... 460800; default 9600\n"
    "  --data-bits 5-8    default 8\n"
    "  --parity N|O|E     default N\n"
    "  --key KEY          the login key; default 358024\n"
    "  --json             print one JSON object instead of name=value lines\n"
    "  --settle MS        after a round of queries, wait at most this long for answers\n"
    "                     still missing; default 1000\n"
    "  --attempts N       handshake polls, 200 ms apart (1-1000); default 80 (16 s)\n"
    "  -h, --help         this text\n"
    "\n"
    "Parameters for set: deviceBaud (1200 ... 460800), destAddress, destPort,\n"
    "protocol (TCP|UDP), workType (0 always online, 1 online when data arrives),\n"
    "heartbeat (30s|45s|60s), heartbeatData, dnsServer, dataBits (5-8), parity (N|O|E),\n"
    "registerEnable (0|1), registerData.\n"
    "\n"
    "Output of get: one name=value line per field of the device record (texts converted\n"
    "from the device's GBK to UTF-8; control and undecodable bytes as \\xHH). A field\n"
    "the device did not report is left out (null with --json) and named on stderr.\n"
    "Output of set: name=value for each value the device confirmed (null with --json\n"
    "for the others); each value not confirmed is named on stderr with the reason:\n"
    "refused (the device reports another value), no answer, or the write failed.\n"
    "\n"
    "Exit status: 0 success; 1 usage error; 2 the port cannot be opened, the device does\n"
    "not enter configuration mode, or the line hung up; 3 the login is refused or not\n"
    "answered, or a value of set is not confirmed; 4 get: the device did not report every\n"
    "parameter; 5 the output could not be written. SIGINT or SIGTERM end the run after\n"
    "the command in flight, release the port, say which values set wrote, and exit\n"
    "with 128 plus the signal's number (130, 143); a second signal ends it at once.\n"
    "\n"
    "Example, with the simulated device:\n"
    "  qk4410-sim --link /tmp/qk &\n"
    "  qk4410-cli --port /tmp/qk get\n";

namespace {

bool ParseInt(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

int PositionIn(ValueList list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error) {
    CliOptions options;
    bool haveCommand = false;
    bool havePort = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto needValue = [&](std::string& value) {
            if (i + 1 >= arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        std::string value;
        if (argument == "-h" || argument == "--help") {
            options.command = Command::Help;
            return options;
        }
        if (haveCommand && options.command == Command::Set &&
            argument.find('=') != std::string::npos && !argument.starts_with("--")) {
            if (!options.assignments.Add(argument, error)) {
                return std::nullopt;
            }
        } else if (argument == "get" || argument == "set" || argument == "ports") {
            if (haveCommand) {
                error = "only one command may be given, got '" + argument + "' as well";
                return std::nullopt;
            }
            haveCommand = true;
            options.command = argument == "get"   ? Command::Get
                              : argument == "set" ? Command::Set
                                                  : Command::Ports;
        } else if (argument == "--port") {
            if (!needValue(value))
                return std::nullopt;
            if (value.empty()) {
                error = "--port needs a path";
                return std::nullopt;
            }
            if (havePort) {
                error = "--port and --com N choose the port: give only one";
                return std::nullopt;
            }
            havePort = true;
            options.pins.push_back({1, value, true});
            options.comNumber = 1;
        } else if (argument == "--com") {
            if (!needValue(value))
                return std::nullopt;
            if (value.find('=') != std::string::npos) {
                auto pin = PortDirectory::ParsePin(value, error);
                if (!pin) {
                    error = "--com " + value + ": " + error;
                    return std::nullopt;
                }
                options.pins.push_back(*pin);
            } else {
                if (havePort) {
                    error = "--port and --com N choose the port: give only one";
                    return std::nullopt;
                }
                if (!ParseInt(value, PortDirectory::kFirstPort, PortDirectory::kLastPort,
                              options.comNumber)) {
                    error = "--com takes a number from 1 to 14 or N=PATH, got '" + value + "'";
                    return std::nullopt;
                }
                havePort = true;
            }
        } else if (argument == "--baud") {
            if (!needValue(value))
                return std::nullopt;
            options.baudIndex = PositionIn(BaudRateList, value);
            if (options.baudIndex < 0) {
                error =
                    "--baud must be one of 1200, 2400, 4800, 7200, 9600, 14400, 19200, 28800, "
                    "38400, 57600, 76800, 115200, 230400, 460800; got '" +
                    value + "'";
                return std::nullopt;
            }
        } else if (argument == "--data-bits") {
            if (!needValue(value))
                return std::nullopt;
            options.dataBitsIndex = PositionIn(DataBitsList, value);
            if (options.dataBitsIndex < 0) {
                error = "--data-bits must be 5, 6, 7 or 8; got '" + value + "'";
                return std::nullopt;
            }
        } else if (argument == "--parity") {
            if (!needValue(value))
                return std::nullopt;
            options.parityIndex = PositionIn(ParityList, value);
            if (options.parityIndex < 0) {
                error = "--parity must be N, O or E; got '" + value + "'";
                return std::nullopt;
            }
        } else if (argument == "--key") {
            if (!needValue(value))
                return std::nullopt;
            if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
                error = "--key cannot hold a line break";
                return std::nullopt;
            }
            options.loginKey = value;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--settle") {
            if (!needValue(value))
                return std::nullopt;
            if (!ParseInt(value, 0, 600000, options.settleMs)) {
                error = "--settle takes milliseconds from 0 to 600000, got '" + value + "'";
                return std::nullopt;
            }
        } else if (argument == "--attempts") {
            if (!needValue(value))
                return std::nullopt;
            if (!ParseInt(value, 1, 1000, options.handshakeAttempts)) {
                error = "--attempts takes a number from 1 to 1000, got '" + value + "'";
                return std::nullopt;
            }
        } else if (argument.starts_with("-")) {
            error = "unknown option '" + argument + "'";
            return std::nullopt;
        } else if (haveCommand && options.command == Command::Set) {
            error = "expected NAME=VALUE, got '" + argument + "'";
            return std::nullopt;
        } else {
            error = haveCommand ? "unexpected argument '" + argument + "'"
                                : "unknown command '" + argument + "' (get, set or ports)";
            return std::nullopt;
        }
    }
    if (const std::string twice = PortDirectory::ConflictingPins(options.pins); !twice.empty()) {
        error = twice + " (--port PATH is COM1)";
        return std::nullopt;
    }
    if (!haveCommand) {
        error = "no command given (get, set or ports)";
        return std::nullopt;
    }
    if (options.command == Command::Set && options.assignments.empty()) {
        error = "set needs at least one NAME=VALUE";
        return std::nullopt;
    }
    return options;
}

}  // namespace qk::cli
