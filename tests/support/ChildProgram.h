#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <memory>
#include <string>

namespace qk::test {

// Another program, run through the shell with its standard error joined to its output.
struct Program {
    explicit Program(const std::string& command)
        : pipe(popen(("exec 2>&1; " + command).c_str(), "r"), pclose) {}
    // Waits for the end; returns the exit status and leaves what was printed in `output`.
    int Finish() {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
            output.append(buffer, n);
        }
        const int raw = pclose(pipe.release());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> pipe;
    std::string output;
};

}  // namespace qk::test
