#include "CommandLine.h"

#include <charconv>
#include <optional>
#include <vector>

#include "ArgumentParser.h"
#include "DeviceModel.h"

namespace qk::sim {
namespace {

// Upper bounds keep a typo from turning into a device that never answers or a stream the
// machine cannot sustain.
constexpr unsigned long long kMaxMilliseconds = 24ULL * 60 * 60 * 1000;
constexpr unsigned long long kMaxChunkBytes = 65536;
constexpr unsigned long long kMaxJunkEvery = 1'000'000;
constexpr unsigned long long kMaxStreamRate = 10'000'000;

// A whole decimal number in [minimum, maximum]; no sign, no blanks, nothing after it.
std::optional<unsigned long long> ParseNumber(std::string_view text, unsigned long long minimum,
                                              unsigned long long maximum) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minimum ||
        value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::string Range(unsigned long long minimum, unsigned long long maximum) {
    return std::to_string(minimum) + " to " + std::to_string(maximum);
}

}  // namespace

namespace {

enum Option : int {
    kHelp,
    kVersion,
    kVerbose,
    kNoHandshake,
    kRefuseLogin,
    kNoLoginRequired,
    kFourFieldStat,
    kSilentAfterLogin,
    kCrOnly,
    kLatency,
    kChunk,
    kJunk,
    kStream,
    kHangupAfter,
    kLineSpeed,
    kIgnore,
    kLink,
    kUnstoredSets,
    kLfOnly,
    kId,
};

using tools::OptionSpec;
using tools::ValueCompletion;

const OptionSpec kOptions[] = {
    {kLink, "link", '\0', "PATH", "also make PATH a symlink to the tty (removed on exit)",
     ValueCompletion::File},
    {kId, "id", '\0', "ID", "the device's ID, in place of QK4520-000123"},
    {kLatency, "latency", '\0', "MS", "wait MS milliseconds before each answer"},
    {kChunk, "chunk", '\0', "BYTES[:GAP_MS]", "write answers BYTES at a time, GAP_MS apart"},
    {kNoHandshake, "no-handshake", '\0', "", "never confirm REQUEST CFG MODE"},
    {kRefuseLogin, "refuse-login", '\0', "", "refuse every login key"},
    {kNoLoginRequired, "no-login-required", '\0', "", "accept set commands without a login"},
    {kJunk, "junk", '\0', "EVERY_N", "put a junk line before every N-th answer"},
    {kStream, "stream", '\0', "BYTES_PER_SEC",
     "send numbered +DATA: lines once a session has begun"},
    {kHangupAfter, "hangup-after", '\0', "MS",
     "close the device end after MS milliseconds, then exit"},
    {kFourFieldStat, "four-field-stat", '\0', "", "report STAT with four fields (weak signal)"},
    {kLineSpeed, "line-speed", '\0', "RATE", "understand the tool only at this line speed"},
    {kSilentAfterLogin, "silent-after-login", '\0', "",
     "confirm a login, then answer nothing until a handshake"},
    {kIgnore, "ignore", '\0', "KEY[,KEY...]",
     "never answer QK+KEY commands, as QK+PPORT? or QK+LOGIN="},
    {kUnstoredSets, "fake-ack", '\0', "KEY[,KEY...]",
     "answer QK+KEY=VALUE sets as taken, but keep the old value"},
    {kCrOnly, "cr-only", '\0', "", "end answer and data lines in CR alone, not CR LF"},
    {kLfOnly, "lf-only", '\0', "", "end answer and data lines in LF alone, not CR LF"},
    {kVerbose, "verbose", '\0', "", "log every command and write on stderr"},
    {kHelp, "help", 'h', "", "show this text"},
    {kVersion, "version", 'V', "", "show the program's version"},
};

// Adds the names of a KEY[,KEY...] list; an error text when one is empty or unknown.
std::string AddCommandNames(std::string_view option, std::string_view list,
                            std::vector<std::string>& names) {
    if (list.empty()) {
        return std::string(option) + " needs KEY[,KEY...], command names as after QK+";
    }
    // Repeating the option adds to the list.
    for (std::size_t start = 0;;) {
        const auto comma = list.find(',', start);
        const auto key = list.substr(start, comma - start);
        if (key.empty()) {
            return std::string(option) + ": empty name in '" + std::string(list) + "'";
        }
        if (!DeviceModel::KnowsCommand(key)) {
            return std::string(option) + ": '" + std::string(key) +
                   "' is not a command of the device";
        }
        names.emplace_back(key);
        if (comma == std::string_view::npos) {
            return {};
        }
        start = comma + 1;
    }
}

// --chunk BYTES[:GAP_MS]; an error text when either part is not a number in its range.
std::string SetChunk(std::string_view text, SimOptions& options) {
    const auto colon = text.find(':');
    const auto bytes = ParseNumber(text.substr(0, colon), 1, kMaxChunkBytes);
    if (!bytes) {
        return "--chunk: '" + std::string(text.substr(0, colon)) + "' is not a chunk size from " +
               Range(1, kMaxChunkBytes);
    }
    options.chunkSize = static_cast<std::size_t>(*bytes);
    options.chunkGap = std::chrono::milliseconds(0);
    if (colon != std::string_view::npos) {
        const auto gap = ParseNumber(text.substr(colon + 1), 0, kMaxMilliseconds);
        if (!gap) {
            return "--chunk: '" + std::string(text.substr(colon + 1)) +
                   "' is not a gap in milliseconds from " + Range(0, kMaxMilliseconds);
        }
        options.chunkGap = std::chrono::milliseconds(*gap);
    }
    return {};
}

// One option into the settings; an error text when its value is wrong.
std::string Apply(const tools::ParsedOption& option, CommandLine& settings) {
    SimOptions& options = settings.options;
    const std::string_view value = option.value;
    const auto number = [&](unsigned long long minimum, unsigned long long maximum,
                            auto store) -> std::string {
        const auto parsed = ParseNumber(value, minimum, maximum);
        if (!parsed) {
            return option.written + ": '" + std::string(value) + "' is not a whole number from " +
                   Range(minimum, maximum);
        }
        store(*parsed);
        return {};
    };
    switch (option.spec->id) {
        case kHelp:
            settings.help = true;
            break;
        case kVersion:
            settings.version = true;
            break;
        case kVerbose:
            settings.verbose = true;
            break;
        case kNoHandshake:
            options.noHandshake = true;
            break;
        case kRefuseLogin:
            options.refuseLogin = true;
            break;
        case kNoLoginRequired:
            options.requireLogin = false;
            break;
        case kFourFieldStat:
            options.fourFieldStat = true;
            break;
        case kSilentAfterLogin:
            options.silentAfterLogin = true;
            break;
        case kCrOnly:
            options.crOnly = true;
            break;
        case kLfOnly:
            options.lfOnly = true;
            break;
        case kIgnore:
            return AddCommandNames("--ignore", value, options.ignoredCommands);
        case kUnstoredSets:
            return AddCommandNames("--fake-ack", value, options.unstoredSets);
        case kChunk:
            return SetChunk(value, options);
        case kLatency:
            return number(0, kMaxMilliseconds,
                          [&](auto ms) { options.latency = std::chrono::milliseconds(ms); });
        case kJunk:
            return number(1, kMaxJunkEvery,
                          [&](auto every) { options.junkEvery = static_cast<std::size_t>(every); });
        case kStream:
            return number(1, kMaxStreamRate, [&](auto rate) {
                options.streamBytesPerSecond = static_cast<std::size_t>(rate);
            });
        case kHangupAfter:
            return number(1, kMaxMilliseconds,
                          [&](auto ms) { options.hangupAfter = std::chrono::milliseconds(ms); });
        case kLineSpeed:
            return number(1, 4'000'000,
                          [&](auto rate) { options.lineSpeed = static_cast<std::uint32_t>(rate); });
        case kId:
            if (value.empty() || value.find_first_of("\r\n") != std::string_view::npos) {
                return "--id needs an ID without line breaks";
            }
            options.id = std::string(value);
            break;
        case kLink:
            if (value.empty()) {
                return "--link needs a path";
            }
            settings.linkPath = std::string(value);
            break;
    }
    return {};
}

}  // namespace

std::span<const tools::OptionSpec> CommandLineOptions() {
    return kOptions;
}

CommandLineResult ParseCommandLine(std::span<const std::string_view> arguments) {
    CommandLineResult result;
    const auto parsed = tools::ParseArguments(
        kOptions, std::vector<std::string>(arguments.begin(), arguments.end()));
    if (!parsed.ok()) {
        result.error = parsed.error;
        return result;
    }
    for (const auto& option : parsed.options) {
        if (result.error = Apply(option, result.settings); !result.error.empty()) {
            return result;
        }
    }
    if (!parsed.operands.empty()) {
        result.error = "unexpected argument '" + parsed.operands.front() + "'";
    }
    return result;
}

std::string UsageText() {
    return "usage: qk4410-sim [OPTION]...\n"
           "Simulates a QK4410/QK4520 terminal on a pseudo-terminal. Prints the path of its\n"
           "tty, then serves it until interrupted (SIGINT, SIGTERM) or hung up.\n"
           "\n" +
           tools::OptionHelp(kOptions) +
           "\n"
           "Commands end in CR LF; the login key is 358024.\n";
}

}  // namespace qk::sim
