#include "CliOptions.h"

#include <getopt.h>

#include <charconv>

#include "ValueLists.h"

namespace qk::cli {

const char* const kUsage =
    "usage: qk4410-cli [OPTIONS] get\n"
    "       qk4410-cli [OPTIONS] set NAME=VALUE...\n"
    "       qk4410-cli [OPTIONS] save FILE\n"
    "       qk4410-cli [OPTIONS] diff FILE\n"
    "       qk4410-cli [OPTIONS] apply FILE\n"
    "       qk4410-cli [--port PATH]... scan\n"
    "       qk4410-cli [--com N=PATH]... ports\n"
    "\n"
    "Reads or writes the parameters of a QK4410/QK4520 data terminal on a serial port,\n"
    "as the configuration window does: open the port, enter configuration mode, read\n"
    "every parameter.\n"
    "  get    prints what the device reported: identity, status, settings\n"
    "  set    logs in, writes exactly the named values (in the order and with the pauses\n"
    "         of the window's Set Param. and Adv Param.), asks the device for each again\n"
    "         and compares its answers with what was written\n"
    "  save   writes the device's settings to FILE as a profile (- for standard output)\n"
    "  diff   names each setting of the profile FILE the device holds otherwise\n"
    "  apply  checks the whole profile FILE first, then writes what differs, as set does\n"
    "  scan   looks for a device on each port (all ports, or those given), trying the\n"
    "         --baud rate first, then the others, most likely first; the device found is\n"
    "         left in configuration mode\n"
    "  ports  lists the COM numbers with their paths and what the system says of each\n"
    "A profile is name=value lines with the names and values set takes, # comments; see\n"
    "docs/profiles.md. FILE - reads a profile from standard input.\n"
    "\n"
    "Options:\n"
    "  --port PATH        a serial device (for example /dev/ttyUSB0); repeatable\n"
    "  --com N            COM number N (1-14) of the port list (see `ports`); repeatable;\n"
    "                     default 1. Several devices are done at once, one line each\n"
    "  --com N=PATH       let COM number N stand for PATH (repeatable)\n"
    "  --baud RATE        the PC's line speed: 1200 ... 460800; default 9600\n"
    "  --data-bits 5-8    default 8\n"
    "  --parity N|O|E     default N\n"
    "  --key KEY          the login key; default 358024\n"
    "  --json             print JSON: one object, or one per device and line\n"
    "  --show-log         get: print the raw information log too\n"
    "  --log FOLDER       write each device's conversation to FOLDER/PORT-ID.conv\n"
    "  --settle MS        after a round of queries, wait at most this long for answers\n"
    "                     still missing; default 1000\n"
    "  --attempts N       handshake polls, 200 ms apart (1-1000); default 80 (16 s)\n"
    "  -h, --help         this text\n"
    "  -V, --version      the program's version\n"
    "\n"
    "Parameters for set and profiles: deviceBaud (1200 ... 460800), destAddress, destPort,\n"
    "protocol (TCP|UDP), workType (0 always online, 1 online when data arrives),\n"
    "heartbeat (30s|45s|60s), heartbeatData, dnsServer, dataBits (5-8), parity (N|O|E),\n"
    "registerEnable (0|1), registerData. Texts are UTF-8 (sent in GBK); \\xHH is a raw\n"
    "byte and \\\\ a backslash.\n"
    "\n"
    "A parameter the device did not report is left out (null with --json) and named on\n"
    "stderr. set prints name=value for each value the device confirmed; each value not\n"
    "confirmed is named on stderr with the reason: refused (the device reports another\n"
    "value), no answer, or the write failed. With several devices each prints one line:\n"
    "port, device ID, and ok, differs or failed with the reason.\n"
    "\n"
    "Exit status: 0 success; 1 usage error or a wrong profile (nothing is sent); 2 the\n"
    "port cannot be opened, the device does not enter configuration mode, or the line hung\n"
    "up; 3 the login is refused or not answered, or a written value is not confirmed;\n"
    "4 the device did not report every parameter; 5 the output could not be written;\n"
    "6 diff: the device differs from the file. scan: 0 when a device answered, 2 when\n"
    "none did. With several devices, the status of the\n"
    "first that did not succeed. SIGINT or SIGTERM end the run after the command in\n"
    "flight, release the port, say which values were written, and exit with 128 plus the\n"
    "signal's number (130, 143); a second signal ends it at once.\n"
    "\n"
    "Example, with the simulated device:\n"
    "  qk4410-sim --link /tmp/qk &\n"
    "  qk4410-cli --port /tmp/qk save site.profile\n"
    "  qk4410-cli --port /dev/ttyUSB0 --port /dev/ttyUSB1 apply site.profile\n";

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

constexpr const char* kCommandNames = "get, set, save, diff, apply, scan or ports";

constexpr std::pair<std::string_view, Command> kCommands[] = {
    {"get", Command::Get},   {"set", Command::Set},     {"save", Command::Save},
    {"diff", Command::Diff}, {"apply", Command::Apply}, {"ports", Command::Ports},
    {"scan", Command::Scan},
};

std::optional<Command> CommandNamed(std::string_view name) {
    for (const auto& [text, command] : kCommands) {
        if (text == name) {
            return command;
        }
    }
    return std::nullopt;
}

std::string_view CommandName(Command command) {
    for (const auto& [text, known] : kCommands) {
        if (known == command) {
            return text;
        }
    }
    return "help";
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
    enum Option : int {
        kPort = 'p',
        kCom = 'c',
        kBaud = 'b',
        kDataBits = 'd',
        kParity = 'P',
        kKey = 'k',
        kJson = 'j',
        kShowLog = 'L',
        kLog = 'l',
        kSettle = 's',
        kAttempts = 'a',
        kHelp = 'h',
        kVersion = 'V',
    };
    static const option kOptions[] = {
        {"port", required_argument, nullptr, kPort},
        {"com", required_argument, nullptr, kCom},
        {"baud", required_argument, nullptr, kBaud},
        {"data-bits", required_argument, nullptr, kDataBits},
        {"parity", required_argument, nullptr, kParity},
        {"key", required_argument, nullptr, kKey},
        {"json", no_argument, nullptr, kJson},
        {"show-log", no_argument, nullptr, kShowLog},
        {"log", required_argument, nullptr, kLog},
        {"settle", required_argument, nullptr, kSettle},
        {"attempts", required_argument, nullptr, kAttempts},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long wants a mutable argv and keeps its place in globals: a fresh copy and a
    // fresh start each time. It moves the options in front of the rest, so they may come
    // after the command too.
    std::vector<std::string> storage{"qk4410-cli"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());
    optind = 0;
    opterr = 0;

    CliOptions options;
    bool help = false, version = false;
    for (int option; (option = getopt_long(argc, argv.data(), ":hV", kOptions, nullptr)) != -1;) {
        const std::string value = optarg != nullptr ? optarg : "";
        // The option as it was written, for messages: "--baud" also for "--baud=9601".
        const std::string written =
            std::string(argv[optind - 1]).substr(0, std::string(argv[optind - 1]).find('='));
        switch (option) {
            case kHelp:
                help = true;
                break;
            case kVersion:
                version = true;
                break;
            case kPort:
                if (value.empty()) {
                    error = "--port needs a path";
                    return std::nullopt;
                }
                options.targets.push_back({value, 0});
                break;
            case kCom:
                if (value.find('=') != std::string::npos) {
                    auto pin = PortDirectory::ParsePin(value, error);
                    if (!pin) {
                        error = "--com " + value + ": " + error;
                        return std::nullopt;
                    }
                    options.pins.push_back(*pin);
                } else {
                    int number = 0;
                    if (!ParseInt(value, PortDirectory::kFirstPort, PortDirectory::kLastPort,
                                  number)) {
                        error = "--com takes a number from 1 to 14 or N=PATH, got '" + value + "'";
                        return std::nullopt;
                    }
                    options.targets.push_back({"", number});
                }
                break;
            case kBaud:
                options.baudIndex = PositionIn(BaudRateList, value);
                if (options.baudIndex < 0) {
                    error =
                        "--baud must be one of 1200, 2400, 4800, 7200, 9600, 14400, 19200, 28800, "
                        "38400, 57600, 76800, 115200, 230400, 460800; got '" +
                        value + "'";
                    return std::nullopt;
                }
                break;
            case kDataBits:
                options.dataBitsIndex = PositionIn(DataBitsList, value);
                if (options.dataBitsIndex < 0) {
                    error = "--data-bits must be 5, 6, 7 or 8; got '" + value + "'";
                    return std::nullopt;
                }
                break;
            case kParity:
                options.parityIndex = PositionIn(ParityList, value);
                if (options.parityIndex < 0) {
                    error = "--parity must be N, O or E; got '" + value + "'";
                    return std::nullopt;
                }
                break;
            case kKey:
                if (value.find_first_of("\r\n") != std::string::npos) {
                    error = "--key cannot hold a line break";
                    return std::nullopt;
                }
                options.loginKey = value;
                break;
            case kJson:
                options.json = true;
                break;
            case kShowLog:
                options.showLog = true;
                break;
            case kLog:
                if (value.empty()) {
                    error = "--log needs a folder";
                    return std::nullopt;
                }
                options.logFolder = value;
                break;
            case kSettle:
                if (!ParseInt(value, 0, 600000, options.settleMs)) {
                    error = "--settle takes milliseconds from 0 to 600000, got '" + value + "'";
                    return std::nullopt;
                }
                break;
            case kAttempts:
                if (!ParseInt(value, 1, 1000, options.handshakeAttempts)) {
                    error = "--attempts takes a number from 1 to 1000, got '" + value + "'";
                    return std::nullopt;
                }
                break;
            case ':':
                // Some getopt_long report a value given to a flag ("--json=1") this way too.
                if (std::string_view(argv[optind - 1]).find('=') == std::string_view::npos) {
                    error = written + " needs a value";
                    return std::nullopt;
                }
                [[fallthrough]];
            default:
                // An option that takes no value given one ("--json=1") is unknown as written.
                error = "unknown option '" + std::string(argv[optind - 1]) + "'";
                return std::nullopt;
        }
    }
    if (help || version) {
        options.command = help ? Command::Help : Command::Version;
        return options;
    }
    if (const std::string twice = PortDirectory::ConflictingPins(options.pins); !twice.empty()) {
        error = twice;
        return std::nullopt;
    }

    // What is left: the command and what it takes.
    // getopt_long has moved the options in front in `argv`, not in `storage`.
    const std::vector<std::string> rest(argv.begin() + optind, argv.end() - 1);
    if (rest.empty()) {
        error = std::string("no command given (") + kCommandNames + ")";
        return std::nullopt;
    }
    const auto command = CommandNamed(rest.front());
    if (!command) {
        error = "unknown command '" + rest.front() + "' (" + kCommandNames + ")";
        return std::nullopt;
    }
    options.command = *command;
    const bool takesFile = options.command == Command::Save || options.command == Command::Diff ||
                           options.command == Command::Apply;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string& argument = rest[i];
        if (options.command == Command::Set) {
            if (argument.find('=') == std::string::npos) {
                error = "expected NAME=VALUE, got '" + argument + "'";
                return std::nullopt;
            }
            if (!options.assignments.Add(argument, error)) {
                return std::nullopt;
            }
        } else if (takesFile && i == 1) {
            options.file = argument;
        } else if (CommandNamed(argument)) {
            error = "only one command may be given, got '" + argument + "' as well";
            return std::nullopt;
        } else {
            error = "unexpected argument '" + argument + "'";
            return std::nullopt;
        }
    }
    if (options.command == Command::Set && options.assignments.empty()) {
        error = "set needs at least one NAME=VALUE";
        return std::nullopt;
    }
    if (takesFile && options.file.empty()) {
        error = std::string(CommandName(options.command)) + " needs a FILE";
        return std::nullopt;
    }
    options.targetsGiven = !options.targets.empty();
    if (options.targets.empty()) {
        options.targets.push_back({"", 1});
    }
    if (options.command == Command::Save && options.targets.size() > 1) {
        error = "save reads one device: give one --port or --com";
        return std::nullopt;
    }
    return options;
}

}  // namespace qk::cli
