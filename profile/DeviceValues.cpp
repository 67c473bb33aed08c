#include "DeviceValues.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "Csv.h"
#include "DeviceText.h"

namespace qk {
namespace {

bool IsStatusColumn(std::string_view name) {
    return std::ranges::find(kInventoryStatusColumns, name) != kInventoryStatusColumns.end();
}

// The header's parameters by column; nullptr for the ID and status columns.
std::vector<const Parameter*> ReadHeader(const CsvRecord& header,
                                         std::vector<std::string>& problems) {
    std::vector<const Parameter*> columns(header.fields.size(), nullptr);
    const auto problem = [&](const std::string& what) {
        problems.push_back("line " + std::to_string(header.line) + ": " + what);
    };
    if (header.fields.front() != kIdColumn) {
        problem("the first column must be the device ID, headed \"id\"; got " +
                QuoteBriefly(header.fields.front()));
    }
    std::map<std::string_view, std::size_t> seen;
    for (std::size_t i = 1; i < header.fields.size(); ++i) {
        const std::string& name = header.fields[i];
        if (const auto [first, fresh] = seen.emplace(name, i); !fresh) {
            problem("column " + std::to_string(i + 1) + " " + QuoteBriefly(name) +
                    " again (first column " + std::to_string(first->second + 1) + ")");
            continue;
        }
        const Parameter* parameter = FindParameterByName(name);
        if (parameter != nullptr && parameter->settable()) {
            columns[i] = parameter;
        } else if (name == kIdColumn || !IsStatusColumn(name)) {
            problem("column " + std::to_string(i + 1) + " " + QuoteBriefly(name) +
                    " is no parameter (known: " + SettableNames() + ")");
        }
    }
    return columns;
}

// "-12", "3.30": a number a spreadsheet shows as one, which no formula hides in.
bool IsNumber(std::string_view text) {
    if (text.starts_with('-') || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    return !text.empty() &&
           std::ranges::all_of(text, [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
           text.front() != '.';
}

}  // namespace

std::string SpreadsheetSafe(std::string written) {
    constexpr std::string_view kFormulaStarts = "=+-@";
    if (!written.empty() && kFormulaStarts.find(written.front()) != std::string_view::npos &&
        !IsNumber(written)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X",
                      static_cast<unsigned char>(written.front()));
        written.replace(0, 1, escaped);
    }
    return written;
}

const DeviceRow* ValuesFile::Find(std::string_view gbkId) const {
    const auto found = std::ranges::find(rows, gbkId, &DeviceRow::id);
    return found == rows.end() ? nullptr : &*found;
}

ValuesFile ReadValues(std::string_view text, std::string_view source) {
    ValuesFile file;
    if (text.size() > kMaxValuesBytes) {
        file.problems.push_back("the file is " + std::to_string(text.size()) +
                                " bytes, more than a values file holds (" +
                                std::to_string(kMaxValuesBytes) + ")");
        return file;
    }
    const CsvText csv = ReadCsv(text);
    if (!csv.ok()) {
        file.problems.push_back(csv.problem);
        return file;
    }
    if (csv.records.empty()) {
        file.problems.push_back(
            "the file is empty: it needs a header (id, then parameter "
            "names) and a row per device");
        return file;
    }
    const CsvRecord& header = csv.records.front();
    const std::vector<const Parameter*> columns = ReadHeader(header, file.problems);
    std::map<std::string, int> firstLine;
    for (std::size_t r = 1; r < csv.records.size(); ++r) {
        const CsvRecord& record = csv.records[r];
        const std::string where = "line " + std::to_string(record.line) + ": ";
        if (record.fields.size() != header.fields.size()) {
            file.problems.push_back(where + std::to_string(record.fields.size()) +
                                    " fields, the header has " +
                                    std::to_string(header.fields.size()));
            continue;
        }
        DeviceRow row;
        row.line = record.line;
        std::string error;
        const auto id = DisplayToGbk(record.fields.front(), error);
        if (!id || id->empty()) {
            file.problems.push_back(where + "the device ID " +
                                    (id ? std::string("is empty") : error));
            continue;
        }
        row.id = *id;
        if (const auto [first, fresh] = firstLine.emplace(row.id, record.line); !fresh) {
            file.problems.push_back(where + "the device ID " + QuoteBriefly(record.fields.front()) +
                                    " again (first on line " + std::to_string(first->second) + ")");
            continue;
        }
        for (std::size_t i = 1; i < columns.size(); ++i) {
            const Parameter* parameter = columns[i];
            const std::string& cell = record.fields[i];
            if (parameter == nullptr || cell.empty()) {
                continue;
            }
            const std::string written(parameter->list.empty() ? cell : TrimBlanks(cell));
            row.cells.emplace(parameter->name, written);
            auto parsed = ParseSetting(*parameter, written, error);
            if (!parsed) {
                file.problems.push_back(where + error);
                continue;
            }
            if (!parsed->beyondLimits.empty()) {
                row.values.beyondLimits.push_back(
                    {parameter, record.line,
                     std::string(source) + " " + where + parsed->beyondLimits});
            }
            row.values.settings.push_back(std::move(parsed->setting));
        }
        file.rows.push_back(std::move(row));
    }
    if (file.rows.empty() && file.problems.empty()) {
        file.problems.push_back("the file has a header but no device's row");
    }
    return file;
}

ProfileContents DeviceProfile(const ProfileContents& profile, std::string_view gbkId,
                              const DeviceRow* row) {
    TemplateValues values;
    if (row != nullptr) {
        values = row->cells;
    }
    values["id"] = GbkToDisplay(gbkId);
    if (row == nullptr) {
        return profile.Expanded(values);
    }
    const auto overridden = [&](const Parameter* parameter) {
        return std::ranges::find(row->values.settings, parameter, &Setting::parameter) !=
               row->values.settings.end();
    };
    // What the row gives replaces the profile's value before that is expanded: a template
    // the row overrides cannot stand in the way.
    ProfileContents base = profile;
    std::erase_if(base.templates, [&](const auto& t) { return overridden(t.parameter); });
    ProfileContents merged = base.Expanded(values);
    std::erase_if(merged.settings, [&](const Setting& s) { return overridden(s.parameter); });
    std::erase_if(merged.beyondLimits, [&](const auto& b) { return overridden(b.parameter); });
    merged.settings.insert(merged.settings.end(), row->values.settings.begin(),
                           row->values.settings.end());
    merged.beyondLimits.insert(merged.beyondLimits.end(), row->values.beyondLimits.begin(),
                               row->values.beyondLimits.end());
    std::ranges::sort(merged.settings, {}, [](const Setting& s) { return s.parameter->id; });
    return merged;
}

}  // namespace qk
