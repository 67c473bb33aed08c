#include "BashCompletion.h"

namespace qk::tools {
namespace {

std::string Join(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

// "--port|-p" for a case pattern.
std::string Pattern(const OptionSpec& option) {
    std::string pattern = "--" + std::string(option.longName);
    if (option.shortName != '\0') {
        pattern += "|-" + std::string(1, option.shortName);
    }
    return pattern;
}

std::string Action(const OptionSpec& option) {
    switch (option.completion) {
        case ValueCompletion::Words:
            return "COMPREPLY=($(compgen -W \"" + std::string(option.words) + "\" -- \"$cur\"))";
        case ValueCompletion::File:
            return "_filedir";
        case ValueCompletion::Folder:
            return "_filedir -d";
        case ValueCompletion::Port:
            return "_qk4410_complete_port";
        case ValueCompletion::ComPin:
            return "_qk4410_complete_com";
        case ValueCompletion::None:
            break;
    }
    return ":";  // a value nobody can guess
}

}  // namespace

std::string BashCompletion(const CompletionSpec& spec) {
    std::string function = "_";
    for (const char c : spec.program) {
        function += (c == '-' || c == '.') ? '_' : c;
    }
    std::string options;
    std::string valueCases;
    for (const OptionSpec& option : spec.options) {
        options += (options.empty() ? "" : " ") + std::string("--") + std::string(option.longName);
        if (option.shortName != '\0') {
            options += " -" + std::string(1, option.shortName);
        }
        if (option.takesValue()) {
            valueCases += "        " + Pattern(option) + ") " + Action(option) + "; return ;;\n";
        }
    }

    std::string script = "# Bash completion for " + std::string(spec.program) +
                         ", generated from the program's own option table.\n\n";
    // The helpers are shared by the programs' scripts: whichever is loaded last defines
    // them, the same each time.
    script += R"bash(# The serial ports qk4410-cli lists, then paths, which may name any port.
_qk4410_complete_port() {
    local ports
    ports=$(command qk4410-cli ports 2>/dev/null | awk '$1 ~ /^COM[0-9]+$/ { print $2 }')
    COMPREPLY=($(compgen -W "$ports" -- "$cur"))
    _filedir
}

# A COM number, or N=PORT.
_qk4410_complete_com() {
    if [[ $cur == *=* ]]; then
        local number=${cur%%=*}
        cur=${cur#*=}
        _qk4410_complete_port
        COMPREPLY=("${COMPREPLY[@]/#/$number=}")
    else
        COMPREPLY=($(compgen -W "$(seq 1 14)" -- "$cur"))
    fi
}

)bash";
    script += function + "() {\n";
    script += "    local cur prev words cword split\n";
    script += "    _init_completion -s -n =: || return\n\n";
    script += "    case $prev in\n" + valueCases + "    esac\n";
    script += "    $split && return\n\n";
    script += "    if [[ $cur == -* ]]; then\n";
    script += "        COMPREPLY=($(compgen -W \"" + options + "\" -- \"$cur\"))\n";
    script += "        return\n    fi\n";
    if (!spec.commands.empty()) {
        script += "\n    # The command given so far, if any.\n";
        script += "    local command=\"\" word\n";
        script += "    for word in \"${words[@]:1:cword-1}\"; do\n";
        script += "        case \" " + Join(spec.commands) +
                  " \" in *\" $word \"*) command=$word; break ;; esac\n";
        script += "    done\n";
        script += "    case $command in\n";
        script += "        \"\") COMPREPLY=($(compgen -W \"" + Join(spec.commands) +
                  "\" -- \"$cur\")) ;;\n";
        if (!spec.fileCommands.empty()) {
            std::string pattern;
            for (const auto& command : spec.fileCommands) {
                pattern += (pattern.empty() ? "" : "|") + command;
            }
            script += "        " + pattern + ") _filedir ;;\n";
        }
        if (!spec.assignmentCommand.empty()) {
            std::string names, valueCasesForNames;
            for (const auto& [name, values] : spec.assignments) {
                names += (names.empty() ? "" : " ") + name;
                if (!values.empty()) {
                    valueCasesForNames +=
                        "                    " + name + ") values=\"" + values + "\" ;;\n";
                }
            }
            script += "        " + spec.assignmentCommand + ")\n";
            script += "            if [[ $cur == *=* ]]; then\n";
            script += "                local values=\"\"\n";
            script += "                case ${cur%%=*} in\n" + valueCasesForNames +
                      "                esac\n";
            script += "                COMPREPLY=($(compgen -W \"$values\" -- \"${cur#*=}\"))\n";
            script += "            else\n";
            script +=
                "                COMPREPLY=($(compgen -S = -W \"" + names + "\" -- \"$cur\"))\n";
            script += "                compopt -o nospace 2>/dev/null\n";
            script += "            fi ;;\n";
        }
        script += "    esac\n";
    }
    script += "}\n";
    script += "complete -o default -F " + function + " " + std::string(spec.program) + "\n";
    return script;
}

}  // namespace qk::tools
