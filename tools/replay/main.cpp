// qk4410-replay: replays recorded device conversations through the answer parser and
// reports where the parser's calls or the record differ from what the file expects.
#include <fstream>
#include <iostream>
#include <string_view>

#include "ConversationReplay.h"

int main(int argc, char** argv) {
    bool dump = false;
    int files = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << "usage: qk4410-replay [--dump] FILE...\n"
                         "Feeds each file's received blocks through the answer parser and checks\n"
                         "its expected calls (@) and field values (=). --dump prints every call\n"
                         "and the final record.\n";
            return 0;
        }
        if (argument == "--dump") {
            dump = true;
            continue;
        }
        if (argument.starts_with("-")) {
            std::cerr << "qk4410-replay: unknown option " << argument << " (see --help)\n";
            return 1;
        }
        std::ifstream file{std::string(argument)};
        if (!file) {
            std::cerr << "qk4410-replay: cannot read " << argument << "\n";
            return 1;
        }
        ++files;
        const auto result = qk::replay::RunReplay(file);
        for (const auto& failure : result.failures) {
            std::cout << argument << ": " << failure << "\n";
        }
        if (dump) {
            for (const auto& call : result.calls) {
                std::cout << "@ " << call << "\n";
            }
            std::cout << result.finalRecord;
        }
        failed += result.ok() ? 0 : 1;
    }
    if (files == 0) {
        std::cerr << "qk4410-replay: no file given (see --help)\n";
        return 1;
    }
    return failed == 0 ? 0 : 2;
}
