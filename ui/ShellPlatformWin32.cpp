#include <windows.h>

#include <cstdio>

#include "ShellPlatform.h"

namespace qk::ui {

QString MissingDisplayReason() {
    return {};
}

void ConnectToConsole() {
    // Output already goes somewhere (a pipe, a file, Wine's terminal): leave it there.
    if (GetStdHandle(STD_OUTPUT_HANDLE) != nullptr || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    std::FILE* ignored = nullptr;
    freopen_s(&ignored, "CONOUT$", "w", stdout);
    freopen_s(&ignored, "CONOUT$", "w", stderr);
}

std::unique_ptr<DemoDevice> StartDemoDevice(QString& error) {
    error = QStringLiteral(
        "--demo is not available on Windows: the simulated device runs on a pseudo-terminal, "
        "which Windows does not have. Run qk4410-sim on Linux, or connect a device.");
    return nullptr;
}

QString DemoHelpText() {
    return {};
}

}  // namespace qk::ui
