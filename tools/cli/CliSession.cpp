#include "CliSession.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "ApplySources.h"
#include "Commands.h"
#include "ConversationRecorder.h"
#include "ConversationReplay.h"
#include "Csv.h"
#include "DeviceReport.h"
#include "DeviceText.h"
#include "DeviceValues.h"
#include "FileIO.h"
#include "History.h"
#include "Profile.h"
#include "Scan.h"
#include "StandardStreams.h"

namespace qk::cli {
namespace {

namespace fs = std::filesystem;

// The session's messages, each a line of standard error; on a terminal, what the session
// is doing too, on one line that the next replaces and that is gone at the end.
class StreamReporter final : public SessionReporter {
  public:
    StreamReporter(std::ostream& err, bool showProgress)
        : m_err(err), m_showProgress(showProgress) {}
    ~StreamReporter() override { ClearProgress(); }

    void Problem(std::string_view message) override {
        ClearProgress();
        m_err << "qk4410-cli: " << message << std::endl;
    }
    void Notice(std::string_view text) override { Problem(text); }
    void Progress(std::string_view step) override {
        if (m_showProgress) {
            m_err << "\r\033[K" << step << "..." << std::flush;
            m_progressShown = true;
        }
    }

  private:
    void ClearProgress() {
        if (m_progressShown) {
            m_err << "\r\033[K" << std::flush;
            m_progressShown = false;
        }
    }

    std::ostream& m_err;
    const bool m_showProgress;
    bool m_progressShown = false;
};

// A file checked whole before any device hears anything: the profile of diff and apply,
// the values of apply --values. Nullopt, with every problem on `err`, when the file cannot
// be read or is wrong anywhere.
template <typename Contents, typename Reader>
std::optional<Contents> LoadChecked(const std::string& file, std::size_t limit, Reader read,
                                    std::ostream& err, const StopSignals* stop) {
    std::string error;
    const auto text = ReadInput(file, limit, stop, error);
    if (!text) {
        err << "qk4410-cli: " << EscapeBytes(file) << ": " << error << "\n";
        return std::nullopt;
    }
    Contents contents = read(*text);
    for (const auto& problem : contents.problems) {
        err << "qk4410-cli: " << EscapeBytes(file) << ": " << problem << "\n";
    }
    if (!contents.ok()) {
        err << "qk4410-cli: " << EscapeBytes(file) << ": nothing was sent to any device\n";
        return std::nullopt;
    }
    return contents;
}

// A file name part that stands for `text` alone: letters, digits, '.' and '-' kept, every
// other byte as %HH, so that two ports or IDs never share a name.
std::string FileNamePart(std::string_view text) {
    std::string part;
    for (const char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (keep) {
            part += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            part += hex;
        }
    }
    return part;
}

// "20261207T053309Z-12345": when this run began and which process it is, so that no run's
// logs meet another's.
std::string RunStamp() {
    static const std::string stamp = [] {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
#ifdef _WIN32
        gmtime_s(&utc, &now);
#else
        gmtime_r(&now, &utc);
#endif
        char text[32];
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
        return std::string(text) + "-" + std::to_string(CurrentProcessId());
    }();
    return stamp;
}

// The messages of one device among several, each named by its port once (a message that
// starts with it already, such as a network port's remark, keeps its own).
std::string NameMessages(const std::string& messages, const std::string& port) {
    std::string named;
    std::istringstream lines(messages);
    const std::string portPrefix = port + ": ";
    for (std::string line; std::getline(lines, line);) {
        constexpr std::string_view kPrefix = "qk4410-cli: ";
        const std::string_view text =
            std::string_view(line).substr(line.starts_with(kPrefix) ? kPrefix.size() : 0);
        named += line.starts_with(kPrefix) && !text.starts_with(portPrefix)
                     ? std::string(kPrefix) + portPrefix + std::string(text)
                     : line;
        named += "\n";
    }
    return named;
}

// The conversation in FOLDER/STAMP-PORT-ID.conv, readable by its owner alone (it shows the
// device's settings), never over another file.
void WriteConversation(const CliOptions& options, const ConversationRecorder& recorder,
                       DeviceResult& result, std::ostream& err) {
    const fs::path folder = options.logFolder;
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    const std::string id = result.id.empty() ? "-" : GbkToDisplay(result.id);
    std::ostringstream recorded;
    recorder.Write(recorded,
                   "qk4410-cli conversation with " + id + " on " + EscapeBytes(result.port));
    // With what the parser made of it written in, so that replaying the file checks it.
    std::istringstream again(recorded.str());
    std::vector<std::string> malformed;
    std::ostringstream text;
    text << replay::WithExpectations(again, malformed);
    const std::string stem =
        (folder / (RunStamp() + "-" + FileNamePart(result.port) + "-" + FileNamePart(id))).string();
    std::string error;
    for (int copy = 1; copy <= 100; ++copy) {
        const std::string file = stem + (copy == 1 ? "" : "-" + std::to_string(copy)) + ".conv";
        if (CreateNewFile(file, text.str(), {.secret = true}, error)) {
            return;
        }
        if (!fs::exists(file, ignored)) {
            break;
        }
    }
    err << "qk4410-cli: cannot write the conversation log in " << EscapeBytes(options.logFolder)
        << ": " << error << "\n";
    result.status = result.status == kSuccess ? kOutputError : result.status;
}

// One device: its own port directory where --port names the path, its session on the
// calling thread, its conversation record if asked for.
DeviceResult RunTarget(const CliOptions& options, const PortDirectory& ports, const Target& target,
                       const CommandInputs& inputs, std::ostream& err, const StopSignals* stop,
                       bool showProgress) {
    PortDirectory own;
    const PortDirectory* directory = &ports;
    SessionSettings settings = options.session;
    settings.comNumber = target.comNumber;
    if (!target.path.empty()) {
        own.Pin(PortDirectory::kFirstPort, target.path);
        directory = &own;
        settings.comNumber = PortDirectory::kFirstPort;
    }
    std::unique_ptr<ConversationRecorder> recorder;
    if (!options.logFolder.empty()) {
        recorder = std::make_unique<ConversationRecorder>();
    }
    StreamReporter reporter(err, showProgress);
    StoppablePacer pacer(stop);
    DeviceResult result;
    {
        DeviceSession session(*directory, settings, reporter, pacer, recorder.get());
        result = RunCommand(options, inputs, session, pacer);
    }
    if (result.port.empty()) {
        result.port = "COM" + std::to_string(settings.comNumber);
    }
    if (recorder) {
        WriteConversation(options, *recorder, result, err);
    }
    return result;
}

// Every device at once, each on its own thread; results and messages in the order given,
// progress on a terminal's standard error as they finish. One device runs on this thread
// and its messages come as they happen.
std::vector<DeviceResult> RunTargets(const CliOptions& options, const PortDirectory& ports,
                                     const CommandInputs& inputs, std::ostream& err,
                                     const StopSignals* stop) {
    const std::size_t count = options.targets.size();
    const bool terminal = !options.quiet && &err == &std::cerr && StandardErrorIsTerminal();
    if (count == 1) {
        return {RunTarget(options, ports, options.targets.front(), inputs, err, stop, terminal)};
    }
    std::vector<DeviceResult> results(count);
    std::vector<std::ostringstream> messages(count);
    std::mutex progressMutex;
    std::size_t done = 0;
    const bool showProgress = terminal;
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            results[i] =
                RunTarget(options, ports, options.targets[i], inputs, messages[i], stop, false);
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
        err << NameMessages(messages[i].str(), EscapeBytes(results[i].port));
    }
    return results;
}

// The inventory of get --csv and save --csv: the header, then the row of each device that
// said its ID.
std::string Inventory(const std::vector<DeviceResult>& results) {
    std::string text = CsvLine(DeviceReport::InventoryHeader());
    for (const DeviceResult& result : results) {
        if (!result.inventory.empty()) {
            text += CsvLine(result.inventory);
        }
    }
    return text;
}

// What the devices' runs print: JSON Lines, or each device's text, headed by its result
// line where there are several (apply's text is that line).
void PrintResults(const CliOptions& options, const std::vector<DeviceResult>& results,
                  std::ostream& out) {
    if (options.csv && options.command == Command::Get) {
        out << Inventory(results);
        return;
    }
    // apply's and undo's text is their result line.
    const bool appliesProfile =
        options.command == Command::Apply || options.command == Command::Undo;
    for (const DeviceResult& result : results) {
        if (options.json) {
            out << JsonLine(result.JsonObject(options.command));
        } else if (appliesProfile || results.size() > 1 || !options.outputDir.empty() ||
                   options.csv) {
            out << result.Line() << "\n";
        }
        if (!options.json && !appliesProfile) {
            out << result.text;
        }
    }
}

// A profile's file name in a folder of backups: the device's ID as it reads, with what a
// file name cannot hold (a slash, a control character, a leading dot) written %HH.
std::string ProfileFileName(const std::string& gbkId) {
    std::string name;
    for (const char c : GbkToDisplay(gbkId)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == '%' || byte < 0x20 || (name.empty() && c == '.')) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            name += hex;
        } else {
            name += c;
        }
    }
    return name + ".profile";
}

// The device ID a saved profile names in its comments; empty when it names none.
std::string SavedDeviceId(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    constexpr std::string_view kIdComment = "# device ID: ";
    for (std::string line; std::getline(in, line) && line.starts_with('#');) {
        if (line.starts_with(kIdComment)) {
            return line.substr(kIdComment.size());
        }
    }
    return {};
}

// save --csv: the inventory into FILE, as editors write, only when every device was read
// whole; otherwise the file stays as it was, and the devices that failed give the run its
// status.
void SaveInventory(const CliOptions& options, std::vector<DeviceResult>& results,
                   std::ostream& err) {
    const bool whole =
        std::ranges::all_of(results, [](const DeviceResult& r) { return r.status == kSuccess; });
    if (!whole) {
        err << "qk4410-cli: not every device was read whole; no inventory was written\n";
        return;
    }
    std::string error;
    if (WriteOutput(options.file, Inventory(results), {.force = options.force}, error)) {
        for (DeviceResult& result : results) {
            result.members["file"] = SystemText(options.file);
        }
        return;
    }
    const std::string refusal = "cannot write " + EscapeBytes(options.file) + ": " + error;
    err << "qk4410-cli: " << refusal << "\n";
    for (DeviceResult& result : results) {
        result.status = kOutputError;
        result.outcome = "failed";
        result.reason = refusal;
    }
}

// Where each device's profile goes and whether it may: FILE (or standard output) for one
// device; for a folder, a file named by the device's ID, which replaces only the same
// device's earlier profile unless --force.
void SaveProfiles(const CliOptions& options, std::vector<DeviceResult>& results, std::ostream& out,
                  std::ostream& err) {
    if (options.csv) {
        SaveInventory(options, results, err);
        return;
    }
    std::set<std::string> taken;
    for (DeviceResult& result : results) {
        if (result.status != kSuccess) {
            continue;
        }
        if (options.file == "-") {
            out << result.profile;
            continue;
        }
        std::string path = options.file;
        std::string refusal;
        if (!options.outputDir.empty()) {
            path = (fs::path(options.outputDir) / ProfileFileName(result.id)).string();
            const std::string id = GbkToDisplay(result.id);
            std::error_code ignored;
            fs::create_directories(options.outputDir, ignored);
            if (result.id.empty()) {
                refusal = "the device reported no ID to name its profile by";
            } else if (!taken.insert(path).second) {
                refusal = "another device of this run has the ID " + id;
            } else if (const std::string saved = SavedDeviceId(path);
                       fs::exists(path, ignored) && saved != id && !options.force) {
                refusal = EscapeBytes(path) + " holds the profile of " +
                          (saved.empty() ? std::string("another device") : "device " + saved) +
                          " (--force replaces it)";
            }
        }
        std::string error;
        if (refusal.empty() &&
            !WriteOutput(path, result.profile, {.force = options.force}, error)) {
            refusal = "cannot write " + EscapeBytes(path) + ": " + error;
        }
        if (!refusal.empty()) {
            err << "qk4410-cli: " << EscapeBytes(result.port) << ": " << refusal << "\n";
            result.status = kOutputError;
            result.outcome = "failed";
            result.reason = refusal;
            continue;
        }
        result.members["file"] = SystemText(path);
        if (!options.outputDir.empty()) {
            result.reason = "saved " + EscapeBytes(path);
        }
    }
}

// The devices a command without --port or --com N means: the one --com N=PATH named, or
// the only port there is; a write never goes to a port nobody named.
std::optional<std::vector<Target>> ImpliedTargets(const CliOptions& options,
                                                  const PortDirectory& ports, std::ostream& err) {
    if (options.pins.size() == 1) {
        return std::vector<Target>{{"", options.pins.front().number}};
    }
    const auto entries = ports.Entries();
    const bool writes = Writes(options.command);
    if (!writes && entries.size() == 1) {
        return std::vector<Target>{{"", entries.front().number}};
    }
    const std::string command(CommandName(options.command));
    if (entries.empty()) {
        err << "qk4410-cli: no serial port found; name the device with --port PATH\n";
    } else if (writes) {
        err << "qk4410-cli: " << command << " writes to a device: name it with --port PATH or "
            << "--com N (" << EscapeBytes(ports.DescribeMapping()) << ")\n";
    } else {
        err << "qk4410-cli: there are several serial ports; name one with --port PATH or --com N ("
            << EscapeBytes(ports.DescribeMapping()) << ")\n";
    }
    return std::nullopt;
}

// undo's values: the last change of the device --id names. A change still running, one
// that put nothing to the device, or no change at all, is refused before any device hears
// anything.
int PrepareUndo(const CliOptions& options, Journal& journal, std::optional<UndoSource>& undo,
                std::ostream& err) {
    std::string error;
    const auto id = DisplayToGbk(options.deviceId, error);
    if (!id) {
        err << "qk4410-cli: --id " << QuoteBriefly(options.deviceId) << ": " << error << "\n";
        return kUsageError;
    }
    const auto last = journal.LastChange(*id, error);
    if (!last) {
        if (!error.empty()) {
            err << "qk4410-cli: the journal " << EscapeBytes(journal.path()) << ": " << error
                << "\n";
            return kJournalError;
        }
        err << "qk4410-cli: the journal " << EscapeBytes(journal.path()) << " holds no change of "
            << EscapeBytes(options.deviceId) << "; nothing was sent\n";
        return kUsageError;
    }
    if (last->result == ChangeResult::Running) {
        err << "qk4410-cli: change " << last->number << " of " << EscapeBytes(options.deviceId)
            << " is still running (on " << EscapeBytes(last->host) << "); nothing was sent\n";
        return kUsageError;
    }
    undo.emplace(*last);
    for (const std::string& warning : undo->Warnings()) {
        err << "qk4410-cli: " << warning << "\n";
    }
    if (undo->empty()) {
        err << "qk4410-cli: nothing of change " << last->number
            << " can be put back; nothing was sent\n";
        return kUsageError;
    }
    return kSuccess;
}

}  // namespace

int RunSession(const CliOptions& given, std::ostream& out, std::ostream& err,
               const StopSignals* stop) {
    PortDirectory ports = PortDirectory::Discover();
    for (const auto& pin : given.pins) {
        ports.Pin(pin.number, pin.path);
    }
    CliOptions options = given;
    if (options.command == Command::History) {
        return RunHistory(options, out, err);
    }
    const bool perDevice = options.command != Command::Ports && options.command != Command::Scan;
    if (perDevice && options.targets.empty()) {
        const auto implied = ImpliedTargets(options, ports, err);
        if (!implied) {
            return kUsageError;
        }
        options.targets = *implied;
    }
    if (options.command == Command::Ports) {
        PrintPorts(ports, options.json, out);
        return kSuccess;
    }
    if (options.command == Command::Scan) {
        return RunScan(options, ports, out, err, stop);
    }
    const auto inputStatus = [&] {
        return stop != nullptr && stop->Received() != 0 ? 128 + stop->Received() : kUsageError;
    };
    std::optional<ProfileContents> profile;
    if (!options.file.empty() &&
        (options.command == Command::Diff || options.command == Command::Apply)) {
        profile =
            LoadChecked<ProfileContents>(options.file, kMaxProfileBytes, ReadProfile, err, stop);
        if (!profile) {
            return inputStatus();
        }
        for (const auto& beyond : profile->beyondLimits) {
            // Said once for the file; each device says whether it takes the value.
            err << "qk4410-cli: " << EscapeBytes(options.file) << ": " << beyond.problem
                << ": only a device that holds exactly this value takes it\n";
        }
    }
    CommandInputs inputs{.profile = profile ? &*profile : nullptr};
    std::optional<FleetSource> fleet;
    if (options.command == Command::Apply) {
        std::optional<ValuesFile> values;
        const auto read = [&](std::string_view text) {
            return ReadValues(text, EscapeBytes(options.valuesFile));
        };
        if (!options.valuesFile.empty() &&
            !(values =
                  LoadChecked<ValuesFile>(options.valuesFile, kMaxValuesBytes, read, err, stop))) {
            return inputStatus();
        }
        fleet.emplace(profile.value_or(ProfileContents()), std::move(values), options.valuesFile,
                      options.allowMissing);
        if (const auto problems = fleet->Problems(); !problems.empty()) {
            for (const std::string& problem : problems) {
                err << "qk4410-cli: " << problem << "\n";
            }
            err << "qk4410-cli: nothing was sent to any device\n";
            return kUsageError;
        }
        inputs.source = &*fleet;
    }
    std::unique_ptr<Journal> journal;
    std::optional<UndoSource> undo;
    if (Writes(options.command) && (options.journal.enabled || options.command == Command::Undo)) {
        std::string error;
        journal = Journal::Open(options.journal.Path(),
                                {.create = options.command != Command::Undo}, error);
        if (!journal) {
            err << "qk4410-cli: the journal " << EscapeBytes(options.journal.Path()) << ": "
                << error << "; nothing was sent to any device\n";
            return kJournalError;
        }
        inputs.journal = journal.get();
    }
    if (options.command == Command::Undo) {
        const int status = PrepareUndo(options, *journal, undo, err);
        if (status != kSuccess) {
            return status;
        }
        inputs.source = &*undo;
    }
    std::vector<DeviceResult> results = RunTargets(options, ports, inputs, err, stop);
    if (undo) {
        for (DeviceResult& result : results) {
            result.members["undone"] = undo->change();
        }
    }
    if (options.command == Command::Save) {
        SaveProfiles(options, results, out, err);
    }
    int status = kSuccess;
    for (const DeviceResult& result : results) {
        if (status == kSuccess) {
            status = result.status;
        }
    }
    if (!(options.command == Command::Save && options.file == "-")) {
        PrintResults(options, results, out);
    }
    return status;
}

}  // namespace qk::cli
