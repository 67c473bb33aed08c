#include "CliOptions.h"

#include <charconv>

#include "JournalTime.h"
#include "Line.h"
#include "Parameters.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

enum Option : int {
    kPort,
    kCom,
    kBaud,
    kDataBits,
    kParity,
    kKey,
    kJson,
    kQuiet,
    kShowLog,
    kLog,
    kOutputDir,
    kForce,
    kSettle,
    kAttempts,
    kCsv,
    kValues,
    kAllowMissing,
    kJournal,
    kNoJournal,
    kId,
    kSince,
    kConnectTimeout,
    kHelp,
    kVersion,
};

using tools::OptionSpec;
using tools::ValueCompletion;

// The short forms follow the terminal programs technicians know (tio's -b and -d) where
// they have one.
const OptionSpec kOptions[] = {
    {kPort, "port", 'p', "PATH",
     "a serial device (for example /dev/ttyUSB0), or one served over the network: "
     "rfc2217://HOST:PORT, tcp://HOST:PORT; repeatable",
     ValueCompletion::Port},
    {kCom, "com", 'c', "N[=PATH]",
     "COM number N (1-14) of the port list (see `ports`); repeatable. N=PATH lets COM N stand "
     "for PATH",
     ValueCompletion::ComPin},
    {kBaud, "baud", 'b', "RATE", "the PC's line speed: 1200 ... 460800; default 9600",
     ValueCompletion::Words,
     "1200 2400 4800 7200 9600 14400 19200 28800 38400 57600 76800 115200 230400 460800"},
    {kDataBits, "data-bits", 'd', "5-8", "default 8", ValueCompletion::Words, "5 6 7 8"},
    {kParity, "parity", '\0', "none|odd|even", "or N, O, E, any letter case; default none",
     ValueCompletion::Words, "none odd even"},
    {kKey, "key", 'k', "KEY", "the login key; default 358024"},
    {kJson, "json", 'j', "", "print JSON Lines: one object per device (see json.md)"},
    {kQuiet, "quiet", 'q', "", "no progress on standard error"},
    {kShowLog, "show-log", '\0', "", "get: print the information log too"},
    {kLog, "log", 'l', "FOLDER", "write each device's conversation into FOLDER",
     ValueCompletion::Folder},
    {kOutputDir, "output-dir", 'o', "FOLDER",
     "save: one profile per device into FOLDER, named by its ID", ValueCompletion::Folder},
    {kForce, "force", 'f', "", "save: replace a read-only file, or another device's profile"},
    {kSettle, "settle", '\0', "MS",
     "after a round of queries, wait at most this long for answers still missing; "
     "default 1000"},
    {kAttempts, "attempts", '\0', "N", "handshake polls, 200 ms apart (1-1000); default 80 (16 s)"},
    {kCsv, "csv", '\0', "",
     "get, save: one CSV row per device, a column per parameter (an inventory); history: a "
     "row per value"},
    {kValues, "values", '\0', "FILE",
     "apply: each device's own values, a CSV row per device ID (see fleet.md)",
     ValueCompletion::File},
    {kAllowMissing, "allow-missing", '\0', "",
     "apply --values: a device without a row is left untouched without failing"},
    {kJournal, "journal", '\0', "FILE",
     "record set, apply and undo in FILE; default $XDG_STATE_HOME/qk4410/journal.sqlite",
     ValueCompletion::File},
    {kNoJournal, "no-journal", '\0', "", "record nothing"},
    {kId, "id", '\0', "ID", "history, undo: the device with this ID"},
    {kSince, "since", '\0', "DATE",
     "history: changes from DATE on (UTC: 2026-12-07, 2026-12-07T05:25[:09])"},
    {kConnectTimeout, "connect-timeout", '\0', "MS",
     "how long reaching a network port may take (100-600000); default 5000"},
    {kHelp, "help", 'h', "", "this text"},
    {kVersion, "version", 'V', "", "the program's version"},
};

constexpr const char* kCommandNames = "get, set, save, diff, apply, undo, history, scan or ports";

constexpr std::pair<std::string_view, Command> kCommands[] = {
    {"get", Command::Get},         {"set", Command::Set},     {"save", Command::Save},
    {"diff", Command::Diff},       {"apply", Command::Apply}, {"undo", Command::Undo},
    {"history", Command::History}, {"ports", Command::Ports}, {"scan", Command::Scan},
};

bool ParseInt(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

std::optional<Command> CommandNamed(std::string_view name) {
    for (const auto& [text, command] : kCommands) {
        if (text == name) {
            return command;
        }
    }
    return std::nullopt;
}

int PositionIn(ValueList list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// --com N or --com N=PATH.
std::string ApplyCom(const std::string& value, CliOptions& options) {
    std::string error;
    if (value.find('=') != std::string::npos) {
        auto pin = PortDirectory::ParsePin(value, error);
        if (!pin) {
            return "--com " + value + ": " + error;
        }
        if (error = PortPathProblem(pin->path); !error.empty()) {
            return "--com " + value + ": " + error;
        }
        options.pins.push_back(*pin);
        return {};
    }
    int number = 0;
    if (!ParseInt(value, PortDirectory::kFirstPort, PortDirectory::kLastPort, number)) {
        return "--com takes a number from 1 to 14 or N=PATH, got '" + value + "'";
    }
    options.targets.push_back({"", number});
    return {};
}

// The PC's line settings: a list entry each.
std::string ApplyLineSetting(const tools::ParsedOption& option, CliOptions& options) {
    SessionSettings& session = options.session;
    const std::string& value = option.value;
    switch (option.spec->id) {
        case kBaud:
            session.baudIndex = PositionIn(BaudRateList, value);
            if (session.baudIndex < 0) {
                return "--baud must be one of 1200, 2400, 4800, 7200, 9600, 14400, 19200, 28800, "
                       "38400, 57600, 76800, 115200, 230400, 460800; got '" +
                       value + "'";
            }
            return {};
        case kDataBits:
            session.dataBitsIndex = PositionIn(DataBitsList, value);
            return session.dataBitsIndex < 0
                       ? "--data-bits must be 5, 6, 7 or 8; got '" + value + "'"
                       : std::string();
        default:
            session.parityIndex = ListPosition(ParameterOf(ParameterId::Parity), value);
            return session.parityIndex < 0
                       ? "--parity must be none, odd or even (N, O, E); got '" + value + "'"
                       : std::string();
    }
}

// The options of fleets and the journal.
std::string ApplyFleetOption(const tools::ParsedOption& option, CliOptions& options) {
    const std::string& value = option.value;
    switch (option.spec->id) {
        case kCsv:
            options.csv = true;
            return {};
        case kValues:
            if (value.empty()) {
                return "--values needs a file";
            }
            options.valuesFile = value;
            return {};
        case kAllowMissing:
            options.allowMissing = true;
            return {};
        case kJournal:
            if (value.empty()) {
                return "--journal needs a file";
            }
            options.journal = {.enabled = true, .file = value};
            return {};
        case kNoJournal:
            options.journal.enabled = false;
            options.journal.file.clear();
            return {};
        case kId:
            if (value.empty()) {
                return "--id needs a device ID";
            }
            options.deviceId = value;
            return {};
        case kSince: {
            const auto since = JournalTimeFrom(value);
            if (!since) {
                return "--since takes a UTC date as 2026-12-07 or 2026-12-07T05:25[:09], got '" +
                       value + "'";
            }
            options.since = *since;
            return {};
        }
        default:
            return {};
    }
}

// One option into the settings; the reason when its value is wrong.
std::string ApplyOption(const tools::ParsedOption& option, CliOptions& options) {
    const std::string& value = option.value;
    switch (option.spec->id) {
        case kPort:
            if (value.empty()) {
                return "--port needs a path";
            }
            if (const std::string problem = PortPathProblem(value); !problem.empty()) {
                return "--port " + value + ": " + problem;
            }
            options.targets.push_back({value, 0});
            return {};
        case kCom:
            return ApplyCom(value, options);
        case kBaud:
        case kDataBits:
        case kParity:
            return ApplyLineSetting(option, options);
        case kKey:
            if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
                return "--key cannot hold a line break";
            }
            options.session.loginKey = value;
            return {};
        case kJson:
            options.json = true;
            return {};
        case kShowLog:
            options.showLog = true;
            return {};
        case kForce:
            options.force = true;
            return {};
        case kQuiet:
            options.quiet = true;
            return {};
        case kOutputDir:
            if (value.empty()) {
                return "--output-dir needs a folder";
            }
            options.outputDir = value;
            return {};
        case kLog:
            if (value.empty()) {
                return "--log needs a folder";
            }
            options.logFolder = value;
            return {};
        case kSettle: {
            int ms = 0;
            if (!ParseInt(value, 0, 600000, ms)) {
                return "--settle takes milliseconds from 0 to 600000, got '" + value + "'";
            }
            options.session.settle = std::chrono::milliseconds(ms);
            return {};
        }
        case kAttempts:
            if (!ParseInt(value, 1, 1000, options.session.handshakeAttempts)) {
                return "--attempts takes a number from 1 to 1000, got '" + value + "'";
            }
            return {};
        case kConnectTimeout: {
            int ms = 0;
            if (!ParseInt(value, 100, 600000, ms)) {
                return "--connect-timeout takes milliseconds from 100 to 600000, got '" + value +
                       "'";
            }
            options.session.connectTimeout = std::chrono::milliseconds(ms);
            return {};
        }
        default:
            return ApplyFleetOption(option, options);
    }
}

// The command and what it takes: set's assignments, the file of save, diff and apply.
std::string ApplyOperands(const std::vector<std::string>& operands, CliOptions& options) {
    if (operands.empty()) {
        return std::string("no command given (") + kCommandNames + ")";
    }
    const auto command = CommandNamed(operands.front());
    if (!command) {
        return "unknown command '" + operands.front() + "' (" + kCommandNames + ")";
    }
    options.command = *command;
    const bool takesFile = options.command == Command::Save || options.command == Command::Diff ||
                           options.command == Command::Apply;
    // apply --values needs no profile: the rows may be all there is to apply.
    const bool needsFile =
        takesFile && !(options.command == Command::Apply && !options.valuesFile.empty());
    for (std::size_t i = 1; i < operands.size(); ++i) {
        const std::string& argument = operands[i];
        std::string error;
        if (options.command == Command::Set) {
            if (argument.find('=') == std::string::npos) {
                return "expected NAME=VALUE, got '" + argument + "'";
            }
            if (!options.assignments.Add(argument, error)) {
                return error;
            }
        } else if (takesFile && i == 1) {
            options.file = argument;
        } else if (CommandNamed(argument)) {
            return "only one command may be given, got '" + argument + "' as well";
        } else {
            return "unexpected argument '" + argument + "'";
        }
    }
    if (options.command == Command::Set && options.assignments.empty()) {
        return "set needs at least one NAME=VALUE";
    }
    if (options.command == Command::Save && options.file.ends_with('/')) {
        if (!options.outputDir.empty()) {
            return "save takes one folder: " + options.file + " or --output-dir";
        }
        options.outputDir = options.file;
        options.file.clear();
    }
    const bool intoFolder = options.command == Command::Save && !options.outputDir.empty();
    if (intoFolder && !options.file.empty()) {
        return "save writes to FILE or into --output-dir, not both";
    }
    if (needsFile && !intoFolder && options.file.empty()) {
        return std::string(CommandName(options.command)) + " needs a FILE";
    }
    return {};
}

// Options that belong to some commands only: given to another, they would be ignored, and
// the user would believe them in force.
std::string CheckFleetOptions(const CliOptions& options) {
    const Command command = options.command;
    const std::string name(CommandName(command));
    if (options.csv && command != Command::Get && command != Command::Save &&
        command != Command::History) {
        return "--csv goes with get, save and history, not " + name;
    }
    if (options.csv && options.json) {
        return "--csv and --json: give one";
    }
    if (options.csv && command == Command::Save &&
        (!options.outputDir.empty() || options.file == "-")) {
        return "save --csv writes one FILE, the inventory of every device";
    }
    if (!options.valuesFile.empty() && command != Command::Apply) {
        return "--values goes with apply, not " + name;
    }
    if (options.allowMissing && options.valuesFile.empty()) {
        return "--allow-missing goes with apply --values";
    }
    if (!options.deviceId.empty() && command != Command::History && command != Command::Undo) {
        return "--id goes with history and undo, not " + name;
    }
    if (command == Command::Undo && options.deviceId.empty()) {
        return "undo needs the device: --id ID";
    }
    if ((command == Command::History || command == Command::Undo) && !options.journal.enabled &&
        Journal::Available()) {
        return name + " reads the journal: --no-journal leaves it nothing to read";
    }
    if (!options.since.empty() && command != Command::History) {
        return "--since goes with history, not " + name;
    }
    return {};
}

// What only the whole command line shows.
std::string CheckCombination(CliOptions& options) {
    if (const std::string twice = PortDirectory::ConflictingPins(options.pins); !twice.empty()) {
        return twice;
    }
    if (const std::string fleet = CheckFleetOptions(options); !fleet.empty()) {
        return fleet;
    }
    if (options.command == Command::Save && options.targets.size() > 1 &&
        options.outputDir.empty() && !options.csv) {
        return "save with several devices writes one profile each: give --output-dir FOLDER "
               "(or FOLDER/ for FILE)";
    }
    if (options.command == Command::Save && options.file == "-" && options.json) {
        return "save - prints the profile itself; --json goes with save FILE";
    }
    return {};
}

std::string NetworkPortsHelp() {
    if (const std::string missing = NetworkPortsMissing(); !missing.empty()) {
        return "Ports served over the network: " + missing + ".\n";
    }
    return "A port may be served over the network, as ser2net serves it: rfc2217://HOST:PORT\n"
           "has the server set its line to --baud, --data-bits and --parity (RFC 2217);\n"
           "tcp://HOST:PORT is raw TCP, the line runs as the server has it set up (said on\n"
           "stderr; scan tries it at that speed only). An IPv6 address goes in brackets. A host\n"
           "not found, a connection refused or not made within --connect-timeout, a server that\n"
           "refuses the line settings, a connection closed or gone silent: each is a port that\n"
           "cannot be opened or a line that hung up. See\n"
           "/usr/share/doc/qk4410conftool/remote.md.\n";
}

}  // namespace

std::span<const tools::OptionSpec> CliOptionTable() {
    return kOptions;
}

std::vector<std::string_view> CommandNames() {
    std::vector<std::string_view> names;
    for (const auto& [text, command] : kCommands) {
        names.push_back(text);
    }
    return names;
}

bool Writes(Command command) {
    return command == Command::Set || command == Command::Apply || command == Command::Undo;
}

std::string_view CommandName(Command command) {
    for (const auto& [text, known] : kCommands) {
        if (known == command) {
            return text;
        }
    }
    return "help";
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error) {
    const tools::ParsedArguments parsed = tools::ParseArguments(kOptions, arguments);
    if (!parsed.ok()) {
        error = parsed.error;
        return std::nullopt;
    }
    CliOptions options;
    bool help = false, version = false;
    for (const tools::ParsedOption& option : parsed.options) {
        help = help || option.spec->id == kHelp;
        version = version || option.spec->id == kVersion;
        if (error = ApplyOption(option, options); !error.empty()) {
            return std::nullopt;
        }
    }
    if (help || version) {
        options.command = help ? Command::Help : Command::Version;
        return options;
    }
    if ((error = ApplyOperands(parsed.operands, options)).empty() &&
        (error = CheckCombination(options)).empty()) {
        return options;
    }
    return std::nullopt;
}

std::string UsageText() {
    return "usage: qk4410-cli [OPTIONS] get\n"
           "       qk4410-cli [OPTIONS] set NAME=VALUE...\n"
           "       qk4410-cli [OPTIONS] save FILE|FOLDER/\n"
           "       qk4410-cli [OPTIONS] diff FILE\n"
           "       qk4410-cli [OPTIONS] apply FILE\n"
           "       qk4410-cli [OPTIONS] apply [FILE] --values FLEET.csv [--allow-missing]\n"
           "       qk4410-cli [OPTIONS] undo --id ID\n"
           "       qk4410-cli [--id ID] [--since DATE] [--json|--csv] history\n"
           "       qk4410-cli [--port PATH]... [--baud RATE] scan\n"
           "       qk4410-cli [--com N=PATH]... ports\n"
           "\n"
           "Reads or writes the parameters of a QK4410/QK4520 data terminal on a serial port,\n"
           "as the configuration window does: open the port, enter configuration mode, read\n"
           "every parameter.\n"
           "  get    prints what the device reported: identity, status, settings\n"
           "  set    logs in, writes exactly the named values (in the order and with the pauses\n"
           "         of the window's Set Param. and Adv Param.), asks the device for each again\n"
           "         and compares its answers with what was written\n"
           "  save   writes the device's settings to FILE as a profile (- for standard output),\n"
           "         or one profile per device into FOLDER/, named by its ID\n"
           "  diff   names each setting of the profile FILE the device holds otherwise\n"
           "  apply  checks the whole profile FILE first, then writes what differs, as set does;\n"
           "         with --values, each device gets its own row of a CSV file laid over FILE\n"
           "  undo   puts back what the device --id names held before its last change in the\n"
           "         journal, as apply does\n"
           "  history prints the changes the journal holds, oldest first\n"
           "  scan   looks for a device on each port (all ports, or those given), trying the\n"
           "         --baud rate first, then the others, most likely first; the device found is\n"
           "         left in configuration mode\n"
           "  ports  lists the COM numbers with their paths and what the system says of each\n"
           "A profile is name=value lines with the names and values set takes, # comments; see\n"
           "/usr/share/doc/qk4410conftool/profiles.md. FILE - reads a profile from standard\n"
           "input; a value may hold ${id} (the device's ID) or ${NAME} (its --values cell).\n"
           "set, apply and undo need the device named (--port, --com); get, save and diff use\n"
           "the only port there is. get --csv prints an inventory, a row per device, that\n"
           "apply --values takes back (see /usr/share/doc/qk4410conftool/fleet.md).\n"
           "\n"
           "set, apply and undo record each change in the journal before they send it and its\n"
           "end after: when, where, the device, each value before and as confirmed. A change\n"
           "the journal cannot record is not made.\n"
           "\n" +
           NetworkPortsHelp() +
           "\n"
           "Options:\n" +
           tools::OptionHelp(kOptions) +
           "\n"
           "Parameters for set and profiles: deviceBaud (1200 ... 460800), destAddress, destPort,\n"
           "protocol (TCP|UDP), workType (0 always online, 1 online when data arrives),\n"
           "heartbeat (30s|45s|60s), heartbeatData, dnsServer, dataBits (5-8),\n"
           "parity (none|odd|even or N|O|E), registerEnable (0|1), registerData. Texts are\n"
           "UTF-8 (sent in GBK); \\xHH is a raw byte and \\\\ a backslash.\n"
           "\n"
           "A parameter the device did not report is left out (null with --json) and named on\n"
           "stderr. set prints name=value for each value the device confirmed; each value not\n"
           "confirmed is named on stderr with the reason: refused (the device reports another\n"
           "value), no answer, or the write failed. With several devices, what each prints is\n"
           "headed by a line with its port, its ID, and ok, differs or failed with the reason.\n"
           "A value beyond what the window lets one enter (a port outside 1-65535, registration\n"
           "content over 40 bytes) is refused by set, and by apply for every device that does\n"
           "not already hold exactly it.\n"
           "\n"
           "Exit status: 0 success; 1 usage error or a wrong profile (nothing is sent); 2 the\n"
           "port cannot be opened, the device does not enter configuration mode, or the line hung\n"
           "up (a network port's connection was lost); 3 the login is refused or not answered, or "
           "a written value is not confirmed;\n"
           "4 the device did not report every parameter; 5 the output could not be written;\n"
           "6 diff: the device differs from the file; 7 the journal cannot record the change\n"
           "(nothing is sent), or cannot be read. apply --values: a device without a row is\n"
           "left untouched, status 3 (0 with --allow-missing). scan: 0 when a device answered,\n"
           "2 when none did. With several devices, the status of the first that did not\n"
           "succeed. SIGINT, SIGTERM or SIGHUP end the run after the\n"
           "command in flight, release the port, say which values were written, and exit with\n"
           "128 plus the signal's number (130, 143, 129); a second signal ends it at once.\n"
           "\n"
           "Example, with the simulated device:\n"
           "  qk4410-sim --link /tmp/qk &\n"
           "  qk4410-cli --port /tmp/qk save site.profile\n"
           "  qk4410-cli --port /dev/ttyUSB0 --port /dev/ttyUSB1 apply site.profile\n"
           "  qk4410-cli --port rfc2217://rack7:2001 --port /dev/ttyUSB0 apply site.profile\n";
}

}  // namespace qk::cli
