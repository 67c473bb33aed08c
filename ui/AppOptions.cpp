#include "AppOptions.h"

#include "GbkText.h"
#include "VersionInfo.h"

namespace qk::ui {
namespace {

constexpr int kDemoPort = 1;

QString Dotted(const std::array<int, 4>& version) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version[0])
        .arg(version[1])
        .arg(version[2])
        .arg(version[3]);
}

}  // namespace

std::optional<AppOptions> AppOptions::Parse(const std::vector<std::string>& arguments,
                                            std::string& error) {
    AppOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.action = Action::Help;
        } else if (argument == "--version") {
            options.action = Action::Version;
        } else if (argument == "--demo") {
            options.demo = true;
        } else if (argument == "--com" || argument.starts_with("--com=")) {
            std::string value;
            if (argument == "--com") {
                if (i + 1 == arguments.size()) {
                    error = "--com needs a value N=PATH (for example --com 3=/dev/ttyUSB0)";
                    return std::nullopt;
                }
                value = arguments[++i];
            } else {
                value = argument.substr(std::string_view("--com=").size());
            }
            std::string pinError;
            const auto pin = PortDirectory::ParsePin(value, pinError);
            if (!pin) {
                error = "--com: " + pinError;
                return std::nullopt;
            }
            options.pins.push_back(*pin);
        } else {
            error = "unknown argument '" + argument + "' (see --help)";
            return std::nullopt;
        }
    }
    if (const std::string twice = PortDirectory::ConflictingPins(options.pins); !twice.empty()) {
        error = "--com: " + twice;
        return std::nullopt;
    }
    if (options.demo) {
        for (const auto& pin : options.pins) {
            if (pin.number == kDemoPort) {
                error =
                    "--demo puts the simulated device on COM1; --com 1=... cannot be used with it";
                return std::nullopt;
            }
        }
    }
    return options;
}

QString HelpText() {
    return QStringLiteral(
        "Usage: QK4410ConfTool [--com N=PATH]... [--demo]\n"
        "       QK4410ConfTool --help | --version\n"
        "\n"
        "Configures a QK4410/QK4520 network data terminal over a serial port.\n"
        "\n"
        "  --com N=PATH  make COM N (1 to 14) stand for the serial device PATH, for\n"
        "                example --com 3=/dev/ttyUSB0; may be given more than once.\n"
        "                Without it, COM1, COM2, ... are the serial ports found at start:\n"
        "                USB and ACM adapters first, then built-in ports.\n"
        "  --demo        start a simulated device and put it on COM1.\n"
        "  --help        show this text.\n"
        "  --version     show the version.\n"
        "\n"
        "Qt's own settings are taken from its environment variables, for example\n"
        "QT_QPA_PLATFORM=offscreen or QT_SCALE_FACTOR=1.5.");
}

QString VersionText() {
    QString text = FromGbk(res::kAboutNameLine).trimmed() + u'\n';
    text += QStringLiteral("File version %1, product version %2\n")
                .arg(Dotted(res::kFileVersion), Dotted(res::kProductVersion));
    for (const auto& [key, value] : res::kVersionStrings) {
        if (!value.empty()) {
            text += FromGbk(key) + QStringLiteral(": ") + FromGbk(value) + u'\n';
        }
    }
    return text;
}

}  // namespace qk::ui
