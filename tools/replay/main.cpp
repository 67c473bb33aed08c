// qk4410-replay: replays recorded device conversations through the answer parser and
// reports where the parser's calls or the record differ from what the file expects.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "ConversationReplay.h"

namespace {

constexpr const char* kUsage =
    "usage: qk4410-replay [--dump] FILE...\n"
    "       qk4410-replay --expect FILE\n"
    "       qk4410-replay --extract-blocks DIR FILE...\n"
    "Feeds each file's received blocks through the answer parser and checks its expected\n"
    "calls (@) and field values (=); a file that expects nothing fails the check. --dump\n"
    "prints the blocks, written bytes (>) and handshake reads (~) in order, with their\n"
    "times, each block followed by the calls it made, then the final record.\n"
    "--expect prints FILE with what the parser makes of it written in as expectations,\n"
    "replacing those it had.\n"
    "--extract-blocks writes each received block to its own file in DIR.\n";

// Writes every block of the files into `folder`, one file each; false on a failure.
bool ExtractBlocks(const std::filesystem::path& folder, const std::vector<std::string>& files) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int count = 0;
    for (const auto& name : files) {
        std::ifstream file(name);
        if (!file) {
            std::cerr << "qk4410-replay: cannot read " << name << "\n";
            return false;
        }
        for (const auto& block : qk::replay::ReadBlocks(file)) {
            std::ofstream out(folder / ("seed-" + std::to_string(++count)), std::ios::binary);
            out << block;
            if (!out) {
                std::cerr << "qk4410-replay: cannot write into " << folder << "\n";
                return false;
            }
        }
    }
    std::cout << "wrote " << count << " blocks to " << folder.string() << "\n";
    return true;
}

// Prints the file with its expectations written in; false when it cannot be read or has
// malformed lines.
bool PrintWithExpectations(const std::string& name) {
    std::ifstream file(name);
    if (!file) {
        std::cerr << "qk4410-replay: cannot read " << name << "\n";
        return false;
    }
    std::vector<std::string> failures;
    std::cout << qk::replay::WithExpectations(file, failures);
    for (const auto& failure : failures) {
        std::cerr << name << ": " << failure << "\n";
    }
    return failures.empty();
}

}  // namespace

int main(int argc, char** argv) {
    bool dump = false;
    bool expect = false;
    std::string extractFolder;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (argument == "--dump") {
            dump = true;
        } else if (argument == "--expect") {
            expect = true;
        } else if (argument == "--extract-blocks") {
            if (i + 1 >= argc) {
                std::cerr << "qk4410-replay: --extract-blocks needs a folder\n";
                return 1;
            }
            extractFolder = argv[++i];
        } else if (argument.starts_with("-")) {
            std::cerr << "qk4410-replay: unknown option " << argument << " (see --help)\n";
            return 1;
        } else {
            files.emplace_back(argument);
        }
    }
    if (files.empty()) {
        std::cerr << "qk4410-replay: no file given (see --help)\n";
        return 1;
    }
    if (!extractFolder.empty()) {
        return ExtractBlocks(extractFolder, files) ? 0 : 1;
    }
    if (expect) {
        if (files.size() != 1) {
            std::cerr << "qk4410-replay: --expect takes one file (see --help)\n";
            return 1;
        }
        return PrintWithExpectations(files.front()) ? 0 : 2;
    }
    int failed = 0;
    for (const auto& name : files) {
        std::ifstream file(name);
        if (!file) {
            std::cerr << "qk4410-replay: cannot read " << name << "\n";
            return 1;
        }
        const auto result = qk::replay::RunReplay(file);
        for (const auto& failure : result.failures) {
            std::cout << name << ": " << failure << "\n";
        }
        if (!result.expectsAnything) {
            std::cout << name << ": expects nothing, so nothing is checked (qk4410-replay "
                      << "--expect " << name << " writes in what the parser makes of it)\n";
        }
        if (dump) {
            for (const auto& line : result.transcript) {
                std::cout << line << "\n";
            }
            std::cout << result.finalRecord;
        }
        // A dump is for reading a conversation; a check of one that expects nothing fails.
        failed += result.ok() && (result.expectsAnything || dump) ? 0 : 1;
    }
    return failed == 0 ? 0 : 2;
}
