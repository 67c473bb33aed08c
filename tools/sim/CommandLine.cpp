#include "CommandLine.h"

#include <getopt.h>

#include <charconv>
#include <optional>
#include <vector>

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

CommandLineResult ParseCommandLine(std::span<const std::string_view> arguments) {
    CommandLineResult result;
    auto& settings = result.settings;
    auto& options = settings.options;

    // getopt_long: "--opt value" and "--opt=value" alike, options anywhere. It wants a
    // mutable argv and keeps its place in globals, so a fresh copy and a fresh start.
    static const option kOptions[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {"verbose", no_argument, nullptr, 0},
        {"no-handshake", no_argument, nullptr, 0},
        {"refuse-login", no_argument, nullptr, 0},
        {"no-login-required", no_argument, nullptr, 0},
        {"four-field-stat", no_argument, nullptr, 0},
        {"silent-after-login", no_argument, nullptr, 0},
        {"cr-only", no_argument, nullptr, 0},
        {"latency", required_argument, nullptr, 0},
        {"chunk", required_argument, nullptr, 0},
        {"junk", required_argument, nullptr, 0},
        {"stream", required_argument, nullptr, 0},
        {"hangup-after", required_argument, nullptr, 0},
        {"line-speed", required_argument, nullptr, 0},
        {"ignore", required_argument, nullptr, 0},
        {"link", required_argument, nullptr, 0},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> storage{"qk4410-sim"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    optind = 0;
    opterr = 0;
    for (int code, index = -1; (code = getopt_long(static_cast<int>(storage.size()), argv.data(),
                                                   ":hV", kOptions, &index)) != -1;
         index = -1) {
        const std::string written = argv[optind - 1];
        if (code == '?') {
            result.error = "unknown option, or one that takes no value: " + written;
            return result;
        }
        if (code == ':') {
            result.error = written.substr(0, written.find('=')) + " needs a value";
            return result;
        }
        std::string_view name = code == 'h' ? "--help" : code == 'V' ? "--version" : "";
        std::string longName;
        if (index >= 0) {
            longName = std::string("--") + kOptions[index].name;
            name = longName;
        }
        std::optional<std::string_view> inlineValue;
        if (optarg != nullptr) {
            inlineValue = std::string_view(optarg);
        }
        const auto fail = [&](std::string message) {
            result.error = std::move(message);
            return result;
        };
        // The value getopt_long found, after "=" or in the next argument.
        const auto value = [&]() -> std::optional<std::string_view> { return inlineValue; };
        const auto number = [&](unsigned long long minimum, unsigned long long maximum,
                                std::string_view what) -> std::optional<unsigned long long> {
            const auto text = value();
            if (!text) {
                result.error = std::string(name) + " needs " + std::string(what);
                return std::nullopt;
            }
            const auto parsed = ParseNumber(*text, minimum, maximum);
            if (!parsed) {
                result.error = std::string(name) + ": '" + std::string(*text) +
                               "' is not a whole number from " + Range(minimum, maximum);
            }
            return parsed;
        };

        if (name == "--help") {
            settings.help = true;
        } else if (name == "--version") {
            settings.version = true;
        } else if (name == "--verbose") {
            settings.verbose = true;
        } else if (name == "--no-handshake") {
            options.noHandshake = true;
        } else if (name == "--refuse-login") {
            options.refuseLogin = true;
        } else if (name == "--no-login-required") {
            options.requireLogin = false;
        } else if (name == "--four-field-stat") {
            options.fourFieldStat = true;
        } else if (name == "--silent-after-login") {
            options.silentAfterLogin = true;
        } else if (name == "--cr-only") {
            options.crOnly = true;
        } else if (name == "--ignore") {
            const auto list = value();
            if (!list || list->empty()) {
                return fail("--ignore needs KEY[,KEY...], command names as after QK+");
            }
            // Repeating the option adds to the list.
            for (std::size_t start = 0;;) {
                const auto comma = list->find(',', start);
                const auto key = list->substr(start, comma - start);
                if (key.empty()) {
                    return fail("--ignore: empty name in '" + std::string(*list) + "'");
                }
                if (!DeviceModel::KnowsCommand(key)) {
                    return fail("--ignore: '" + std::string(key) +
                                "' is not a command of the device");
                }
                options.ignoredCommands.emplace_back(key);
                if (comma == std::string_view::npos) {
                    break;
                }
                start = comma + 1;
            }
        } else if (name == "--latency") {
            const auto ms = number(0, kMaxMilliseconds, "a time in milliseconds");
            if (!ms) {
                return result;
            }
            options.latency = std::chrono::milliseconds(*ms);
        } else if (name == "--chunk") {
            const auto text = value();
            if (!text) {
                return fail("--chunk needs BYTES or BYTES:GAP_MS");
            }
            const auto colon = text->find(':');
            const auto bytes = ParseNumber(text->substr(0, colon), 1, kMaxChunkBytes);
            if (!bytes) {
                return fail("--chunk: '" + std::string(text->substr(0, colon)) +
                            "' is not a chunk size from " + Range(1, kMaxChunkBytes));
            }
            options.chunkSize = static_cast<std::size_t>(*bytes);
            options.chunkGap = std::chrono::milliseconds(0);
            if (colon != std::string_view::npos) {
                const auto gap = ParseNumber(text->substr(colon + 1), 0, kMaxMilliseconds);
                if (!gap) {
                    return fail("--chunk: '" + std::string(text->substr(colon + 1)) +
                                "' is not a gap in milliseconds from " +
                                Range(0, kMaxMilliseconds));
                }
                options.chunkGap = std::chrono::milliseconds(*gap);
            }
        } else if (name == "--junk") {
            const auto every = number(1, kMaxJunkEvery, "EVERY_N, a count of answers");
            if (!every) {
                return result;
            }
            options.junkEvery = static_cast<std::size_t>(*every);
        } else if (name == "--stream") {
            const auto rate = number(1, kMaxStreamRate, "a rate in bytes per second");
            if (!rate) {
                return result;
            }
            options.streamBytesPerSecond = static_cast<std::size_t>(*rate);
        } else if (name == "--hangup-after") {
            const auto ms = number(1, kMaxMilliseconds, "a time in milliseconds");
            if (!ms) {
                return result;
            }
            options.hangupAfter = std::chrono::milliseconds(*ms);
        } else if (name == "--line-speed") {
            const auto rate = number(1, 4'000'000, "a line speed in bits per second");
            if (!rate) {
                return result;
            }
            options.lineSpeed = static_cast<std::uint32_t>(*rate);
        } else if (name == "--link") {
            const auto path = value();
            if (!path || path->empty()) {
                return fail("--link needs a path");
            }
            settings.linkPath = std::string(*path);
        }
    }
    if (optind < static_cast<int>(storage.size())) {
        result.error = "unexpected argument '" + std::string(argv[optind]) + "'";
    }
    return result;
}

std::string UsageText() {
    return "usage: qk4410-sim [OPTION]...\n"
           "Simulates a QK4410/QK4520 terminal on a pseudo-terminal. Prints the path of its\n"
           "tty, then serves it until interrupted (SIGINT, SIGTERM) or hung up.\n"
           "\n"
           "  --link PATH            also make PATH a symlink to the tty (removed on exit)\n"
           "  --latency MS           wait MS milliseconds before each answer\n"
           "  --chunk BYTES[:GAP_MS] write answers BYTES at a time, GAP_MS apart\n"
           "  --no-handshake         never confirm REQUEST CFG MODE\n"
           "  --refuse-login         refuse every login key\n"
           "  --no-login-required    accept set commands without a login\n"
           "  --junk EVERY_N         put a junk line before every N-th answer\n"
           "  --stream BYTES_PER_SEC send numbered +DATA: lines once a session has begun\n"
           "  --hangup-after MS      close the device end after MS milliseconds, then exit\n"
           "  --four-field-stat      report STAT with four fields (weak signal)\n"
           "  --line-speed RATE      understand the tool only at this line speed\n"
           "  --silent-after-login   confirm a login, then answer nothing until a handshake\n"
           "  --ignore KEY[,KEY...]  never answer QK+KEY commands, as QK+PPORT? or QK+LOGIN=\n"
           "  --cr-only              end answer and data lines in CR alone, not CR LF\n"
           "  --verbose              log every command and write on stderr\n"
           "  --help                 show this text\n"
           "  --version              show the program's version\n"
           "\n"
           "Commands end in CR LF; the login key is 358024.\n";
}

}  // namespace qk::sim
