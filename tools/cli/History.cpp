#include "History.h"

#include <algorithm>
#include <filesystem>

#include "Csv.h"
#include "DeviceText.h"
#include "DeviceValues.h"
#include "ExitStatus.h"
#include "Journal.h"
#include "JsonOutput.h"
#include "SettingText.h"

namespace qk::cli {
namespace {

// A value as profiles write it, by the table where the journal's name is a parameter.
std::string Written(const std::string& name, const std::string& bytes) {
    const Parameter* parameter = FindParameterByName(name);
    return parameter != nullptr ? FormatSetting(*parameter, bytes) : GbkToDisplay(bytes);
}

Json Typed(const std::string& name, const std::optional<std::string>& bytes) {
    if (!bytes) {
        return nullptr;
    }
    const Parameter* parameter = FindParameterByName(name);
    return parameter != nullptr ? SettingValue(*parameter, *bytes) : DeviceText(*bytes);
}

std::string Quoted(const std::string& name, const std::optional<std::string>& bytes) {
    return bytes ? "\"" + Written(name, *bytes) + "\"" : std::string("(not reported)");
}

std::string Text(const Change& change) {
    std::string text =
        std::to_string(change.number) + "  " + change.started + "  " +
        (change.deviceId.empty() ? std::string("-") : GbkToDisplay(change.deviceId)) + "  " +
        EscapeBytes(change.port) + "  " + change.program + " " + change.command + "  " +
        std::string(ResultName(change.result)) +
        (change.reason.empty() ? "" : ": " + change.reason) + "\n";
    for (const ChangedValue& value : change.values) {
        std::string after;
        if (value.after) {
            after = Quoted(value.name, value.after);
        } else if (change.result == ChangeResult::Sent) {
            after = Quoted(value.name, value.wanted) + " (sent, not asked back)";
        } else {
            after = "not confirmed (sent " + Quoted(value.name, value.wanted) + ")";
        }
        text += "  " + value.name + ": " + Quoted(value.name, value.before) + " -> " + after + "\n";
    }
    return text;
}

Json JsonObject(const Change& change) {
    Json values = Json::array();
    for (const ChangedValue& value : change.values) {
        values.push_back({{"name", value.name},
                          {"before", Typed(value.name, value.before)},
                          {"wanted", Typed(value.name, value.wanted)},
                          {"after", Typed(value.name, value.after)}});
    }
    return {{"schema", kJsonSchema},
            {"command", "history"},
            {"change", change.number},
            {"started", change.started},
            {"finished", change.finished.empty() ? Json(nullptr) : Json(change.finished)},
            {"program", change.program},
            {"operation", change.command},
            {"host", SystemText(change.host)},
            {"port", SystemText(change.port)},
            {"id", change.deviceId.empty() ? Json(nullptr) : DeviceText(change.deviceId)},
            {"version", change.version.empty() ? Json(nullptr) : DeviceText(change.version)},
            {"result", ResultName(change.result)},
            {"reason", change.reason},
            {"values", std::move(values)}};
}

const std::vector<std::string> kCsvHeader = {
    "change",  "started", "finished", "program", "operation", "host",   "port", "id",
    "version", "result",  "reason",   "name",    "before",    "wanted", "after"};

std::string CsvRows(const Change& change) {
    const std::vector<std::string> common = {std::to_string(change.number),
                                             change.started,
                                             change.finished,
                                             change.program,
                                             change.command,
                                             EscapeBytes(change.host),
                                             EscapeBytes(change.port),
                                             GbkToDisplay(change.deviceId),
                                             GbkToDisplay(change.version),
                                             std::string(ResultName(change.result)),
                                             change.reason};
    std::string rows;
    for (const ChangedValue& value : change.values) {
        std::vector<std::string> row = common;
        const auto cell = [&](const std::optional<std::string>& bytes) {
            return bytes ? Written(value.name, *bytes) : std::string();
        };
        row.insert(row.end(),
                   {value.name, cell(value.before), cell(value.wanted), cell(value.after)});
        std::ranges::transform(row, row.begin(), SpreadsheetSafe);
        rows += CsvLine(row);
    }
    return rows;
}

}  // namespace

int RunHistory(const CliOptions& options, std::ostream& out, std::ostream& err) {
    const std::string path = options.journal.Path();
    HistoryQuery query{.deviceId = std::nullopt, .since = options.since};
    if (!options.deviceId.empty()) {
        std::string error;
        query.deviceId = DisplayToGbk(options.deviceId, error);
        if (!query.deviceId) {
            err << "qk4410-cli: --id " << QuoteBriefly(options.deviceId) << ": " << error << "\n";
            return kUsageError;
        }
    }
    std::error_code missing;
    if (Journal::Available() && !std::filesystem::exists(path, missing)) {
        err << "qk4410-cli: no journal at " << EscapeBytes(path) << ": nothing has been recorded\n";
        if (options.csv) {
            out << CsvLine(kCsvHeader);
        }
        return kSuccess;
    }
    std::string error;
    const auto journal = Journal::Open(path, {.create = false}, error);
    const auto changes = journal ? journal->History(query, error) : std::nullopt;
    if (!changes) {
        err << "qk4410-cli: the journal " << EscapeBytes(path) << ": " << error << "\n";
        return kJournalError;
    }
    if (options.csv) {
        out << CsvLine(kCsvHeader);
    }
    for (const Change& change : *changes) {
        out << (options.json  ? JsonLine(JsonObject(change))
                : options.csv ? CsvRows(change)
                              : Text(change));
    }
    return kSuccess;
}

}  // namespace qk::cli
