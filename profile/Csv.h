#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qk {

// Comma-separated values as RFC 4180 has them, the form spreadsheets read and write: records
// of fields separated by commas, one record a line, a field in double quotes when it holds a
// comma, a quote (written twice) or a line break. Read strictly, so that a file a
// spreadsheet or an editor damaged is refused with the place of the damage rather than read
// as other values: a quote inside an unquoted field, text after a closing quote, a quoted
// field never closed, or a carriage return that ends no line is a problem. Lines may end in
// CR LF or LF; a UTF-8 byte order mark at the start is skipped; blank lines are passed over.
//
// It knows nothing of what the fields mean, nor of their number per record.

struct CsvRecord {
    int line = 0;  // where the record starts, from 1
    std::vector<std::string> fields;
};

struct CsvText {
    std::vector<CsvRecord> records;
    std::string problem;  // "line 4: ...", the first that stopped the reading; empty when none
    bool ok() const { return problem.empty(); }
};

CsvText ReadCsv(std::string_view text);

// One record as a line, CR LF at its end; a field is quoted only when it has to be.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace qk
