// qk4410-completion PROGRAM: prints PROGRAM's bash completion, made from the option table
// the program parses its arguments with (the window's too, in builds that have the window).
// The build runs it; it is not installed.
#include <cstdio>
#include <string_view>

#include "BashCompletion.h"
#include "CliOptions.h"
#include "CommandLine.h"
#include "Parameters.h"
#ifdef QK_WITH_WINDOW
#include "AppOptionTable.h"
#endif

namespace {

qk::tools::CompletionSpec CliCompletion() {
    qk::tools::CompletionSpec spec;
    spec.program = "qk4410-cli";
    spec.options = qk::cli::CliOptionTable();
    for (const std::string_view command : qk::cli::CommandNames()) {
        spec.commands.emplace_back(command);
    }
    spec.fileCommands = {"save", "diff", "apply"};
    spec.assignmentCommand = "set";
    for (const qk::Parameter* parameter : qk::SettableParameters()) {
        std::string values;
        for (const auto& list : {parameter->list, parameter->aliases}) {
            for (const std::string_view entry : list) {
                values += (values.empty() ? "" : " ") + std::string(entry);
            }
        }
        spec.assignments.emplace_back(parameter->name, values);
    }
    return spec;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view program = argc == 2 ? argv[1] : "";
    qk::tools::CompletionSpec spec;
    if (program == "qk4410-cli") {
        spec = CliCompletion();
    } else if (program == "qk4410-sim") {
        spec.program = "qk4410-sim";
        spec.options = qk::sim::CommandLineOptions();
#ifdef QK_WITH_WINDOW
    } else if (program == "QK4410ConfTool") {
        spec.program = "QK4410ConfTool";
        spec.options = qk::ui::AppOptionTable();
#endif
    } else {
        std::fputs("usage: qk4410-completion qk4410-cli|qk4410-sim|QK4410ConfTool\n", stderr);
        return 1;
    }
    std::fputs(qk::tools::BashCompletion(spec).c_str(), stdout);
    return 0;
}
