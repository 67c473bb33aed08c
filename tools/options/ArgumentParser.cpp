#include "ArgumentParser.h"

#include <getopt.h>

#include <algorithm>

namespace qk::tools {
namespace {

// Long option codes start beyond every character a short option may be.
constexpr int kLongOnly = 0x1000;

std::string ShortOptionString(std::span<const OptionSpec> options) {
    // ':' first: a missing value is reported apart from an unknown option.
    std::string text = ":";
    for (const OptionSpec& spec : options) {
        if (spec.shortName != '\0') {
            text += spec.shortName;
            if (spec.takesValue()) {
                text += ':';
            }
        }
    }
    return text;
}

int CodeOf(const OptionSpec& spec, std::size_t index) {
    return spec.shortName != '\0' ? static_cast<unsigned char>(spec.shortName)
                                  : kLongOnly + static_cast<int>(index);
}

}  // namespace

ParsedArguments ParseArguments(std::span<const OptionSpec> options,
                               const std::vector<std::string>& arguments) {
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < options.size(); ++i) {
        longOptions.push_back({options[i].longName.data(),
                               options[i].takesValue() ? required_argument : no_argument, nullptr,
                               CodeOf(options[i], i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    const std::string shortOptions = ShortOptionString(options);

    // getopt_long wants a mutable argv and keeps its place in globals: a fresh copy and a
    // fresh start each time. It moves the options in front of the rest.
    std::vector<std::string> storage{"program"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());
    optind = 0;
    opterr = 0;

    ParsedArguments parsed;
    int longIndex = -1;
    for (int code; (code = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(),
                                       &longIndex)) != -1;
         longIndex = -1) {
        // For an error the option is the argument just read: no value went with it.
        const std::string argument = argv[optind - 1];
        const bool isLong = argument.starts_with("--");
        const std::string shortWritten = "-" + std::string(1, static_cast<char>(optopt));
        if (code == ':') {
            // Some getopt_long report a value given to a flag ("--json=1") this way too.
            parsed.error = isLong && argument.find('=') != std::string::npos
                               ? "unknown option '" + argument + "'"
                               : (isLong ? argument : shortWritten) + " needs a value";
            return parsed;
        }
        const auto spec = std::ranges::find_if(options, [&](const OptionSpec& s) {
            return CodeOf(s, static_cast<std::size_t>(&s - options.data())) == code;
        });
        if (code == '?' || spec == options.end()) {
            parsed.error = "unknown option '" + (isLong ? argument : shortWritten) + "'";
            return parsed;
        }
        parsed.options.push_back({&*spec, optarg != nullptr ? optarg : "",
                                  longIndex >= 0 ? "--" + std::string(spec->longName)
                                                 : "-" + std::string(1, spec->shortName)});
    }
    parsed.operands.assign(argv.begin() + optind, argv.end() - 1);
    return parsed;
}

std::string OptionHelp(std::span<const OptionSpec> options) {
    std::vector<std::string> heads;
    std::size_t width = 0;
    for (const OptionSpec& spec : options) {
        std::string head = spec.shortName != '\0' ? "  -" + std::string(1, spec.shortName) + ", "
                                                  : std::string(6, ' ');
        head += "--" + std::string(spec.longName);
        if (spec.takesValue()) {
            head += " " + std::string(spec.valueName);
        }
        width = std::max(width, head.size());
        heads.push_back(std::move(head));
    }
    // Help lines wrap at 80 columns, under the help column.
    constexpr std::size_t kColumns = 80;
    const std::size_t indent = width + 2;
    std::string text;
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string line = heads[i] + std::string(indent - heads[i].size(), ' ');
        std::string_view help = options[i].help;
        while (!help.empty()) {
            std::size_t take = help.size();
            if (line.size() + take > kColumns) {
                const std::size_t room = kColumns > line.size() ? kColumns - line.size() : 0;
                const std::size_t space = help.rfind(' ', room);
                take = space == std::string_view::npos || space == 0 ? help.find(' ') : space;
                take = std::min(take, help.size());
            }
            text += line + std::string(help.substr(0, take)) + "\n";
            help.remove_prefix(take);
            while (help.starts_with(' ')) {
                help.remove_prefix(1);
            }
            line = std::string(indent, ' ');
        }
    }
    return text;
}

}  // namespace qk::tools
