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
    "       qk4410-replay --extract-blocks DIR FILE...\n"
    "Feeds each file's received blocks through the answer parser and checks its expected\n"
    "calls (@) and field values (=). --dump prints the blocks, written bytes (>) and\n"
    "handshake reads (~) in order, with their times, each block followed by the calls\n"
    "it made, then the final record.\n"
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

}  // namespace

int main(int argc, char** argv) {
    bool dump = false;
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
        if (dump) {
            for (const auto& line : result.transcript) {
                std::cout << line << "\n";
            }
            std::cout << result.finalRecord;
        }
        failed += result.ok() ? 0 : 1;
    }
    return failed == 0 ? 0 : 2;
}
