#include "CliSession.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "Commands.h"
#include "ConversationRecorder.h"
#include "DeviceSession.h"
#include "PortScan.h"
#include "Profile.h"
#include "StandardStreams.h"

namespace qk::cli {
namespace {

namespace fs = std::filesystem;

// The checked profile of diff and apply; nullopt, with every problem on `err`, when the
// file cannot be read or is wrong anywhere.
std::optional<ProfileContents> LoadProfile(const std::string& file, std::ostream& err) {
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            err << "qk4410-cli: cannot read " << file << "\n";
            return std::nullopt;
        }
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    ProfileContents profile = ReadProfile(text);
    for (const auto& problem : profile.problems) {
        err << "qk4410-cli: " << file << ": " << problem << "\n";
    }
    if (!profile.ok()) {
        err << "qk4410-cli: " << file << ": nothing was sent to any device\n";
        return std::nullopt;
    }
    return profile;
}

// Writes the whole file or nothing: a profile that already exists is never left cut off.
bool WriteFileWhole(const std::string& path, const std::string& text, std::ostream& err) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            err << "qk4410-cli: cannot write " << path << "\n";
            std::error_code ignored;
            fs::remove(partial, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(partial, path, error);
    if (error) {
        err << "qk4410-cli: cannot write " << path << ": " << error.message() << "\n";
        fs::remove(partial, error);
        return false;
    }
    return true;
}

// A file name part made of the port and the ID: letters, digits, '.', '-' and '_' kept.
std::string FileNamePart(std::string_view text) {
    std::string part;
    for (const char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        part += keep ? c : '_';
    }
    return part;
}

// The messages of one device among several, each named by its port.
std::string NameMessages(const std::string& messages, const std::string& port) {
    std::string named;
    std::istringstream lines(messages);
    for (std::string line; std::getline(lines, line);) {
        constexpr std::string_view kPrefix = "qk4410-cli: ";
        named += line.starts_with(kPrefix)
                     ? std::string(kPrefix) + port + ": " + line.substr(kPrefix.size())
                     : line;
        named += "\n";
    }
    return named;
}

// One device: its own port directory where --port names the path, its session on the
// calling thread, its conversation record if asked for.
DeviceResult RunTarget(const CliOptions& options, const PortDirectory& ports, const Target& target,
                       const ProfileContents* profile, std::ostream& err, const StopSignals* stop) {
    PortDirectory own;
    const PortDirectory* directory = &ports;
    int comNumber = target.comNumber;
    if (!target.path.empty()) {
        own.Pin(1, target.path);
        directory = &own;
        comNumber = 1;
    }
    std::unique_ptr<replay::ConversationRecorder> recorder;
    if (!options.logFolder.empty()) {
        recorder = std::make_unique<replay::ConversationRecorder>();
    }
    DeviceResult result;
    {
        DeviceSession session(options, *directory, comNumber, err, stop, recorder.get());
        result = RunCommand(options, profile, session);
    }
    if (result.port.empty()) {
        result.port = "COM" + std::to_string(comNumber);
    }
    if (recorder) {
        const fs::path folder = options.logFolder;
        std::error_code error;
        fs::create_directories(folder, error);
        const fs::path file = folder / (FileNamePart(fs::path(result.port).filename().string()) +
                                        "-" + FileNamePart(result.id) + ".conv");
        std::ostringstream text;
        recorder->Write(text, "qk4410-cli conversation with " + result.id + " on " + result.port);
        if (!WriteFileWhole(file.string(), text.str(), err)) {
            result.status = result.status == kSuccess ? kOutputError : result.status;
        }
    }
    return result;
}

// Several devices at once, each on its own thread; results and messages in the order
// given, progress on a terminal's standard error as they finish.
std::vector<DeviceResult> RunInParallel(const CliOptions& options, const PortDirectory& ports,
                                        const ProfileContents* profile, std::ostream& err,
                                        const StopSignals* stop) {
    const std::size_t count = options.targets.size();
    std::vector<DeviceResult> results(count);
    std::vector<std::ostringstream> messages(count);
    std::mutex progressMutex;
    std::size_t done = 0;
    const bool showProgress = &err == &std::cerr && StandardErrorIsTerminal();
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            results[i] = RunTarget(options, ports, options.targets[i], profile, messages[i], stop);
            std::lock_guard lock(progressMutex);
            ++done;
            if (showProgress) {
                err << "\r" << done << " of " << count << " devices done" << std::flush;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    if (showProgress) {
        err << "\r\033[K";
    }
    for (std::size_t i = 0; i < count; ++i) {
        err << NameMessages(messages[i].str(), results[i].port);
    }
    return results;
}

}  // namespace

int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err,
               const StopSignals* stop) {
    PortDirectory ports = PortDirectory::Discover();
    for (const auto& pin : options.pins) {
        ports.Pin(pin.number, pin.path);
    }
    if (options.command == Command::Ports) {
        PrintPorts(ports, options.json, out);
        return kSuccess;
    }
    if (options.command == Command::Scan) {
        return RunScan(options, ports, out, err, stop);
    }
    std::optional<ProfileContents> profile;
    if (options.command == Command::Diff || options.command == Command::Apply) {
        profile = LoadProfile(options.file, err);
        if (!profile) {
            return kUsageError;
        }
    }
    const ProfileContents* checked = profile ? &*profile : nullptr;

    if (options.targets.size() == 1) {
        DeviceResult result =
            RunTarget(options, ports, options.targets.front(), checked, err, stop);
        if (options.command == Command::Save && !result.output.empty()) {
            if (options.file == "-") {
                out << result.output;
            } else if (!WriteFileWhole(options.file, result.output, err)) {
                return result.status == kSuccess ? kOutputError : result.status;
            }
        } else if (options.command == Command::Apply) {
            out << (options.json ? result.JsonLine() : result.Line()) << "\n";
        } else {
            out << result.output;
        }
        return result.status;
    }

    int status = kSuccess;
    for (const DeviceResult& result : RunInParallel(options, ports, checked, err, stop)) {
        out << (options.json ? result.JsonLine() : result.Line()) << "\n";
        if (status == kSuccess) {
            status = result.status;
        }
    }
    return status;
}

}  // namespace qk::cli
