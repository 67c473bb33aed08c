#include "Csv.h"

namespace qk {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads one record after another; stops at the first problem, after which the text's
// structure is unknown.
class CsvReader {
  public:
    explicit CsvReader(std::string_view text) : m_text(text) {}

    CsvText Read() {
        CsvText result;
        if (m_text.starts_with(kByteOrderMark)) {
            m_at = kByteOrderMark.size();
        }
        while (m_at < m_text.size() && result.problem.empty()) {
            CsvRecord record;
            record.line = m_line;
            if (!ReadRecord(record.fields, result.problem)) {
                break;
            }
            const bool blank = record.fields.size() == 1 && record.fields.front().empty();
            if (!blank) {
                result.records.push_back(std::move(record));
            }
        }
        return result;
    }

  private:
    bool Problem(std::string& problem, const std::string& what) const {
        problem = "line " + std::to_string(m_line) + ": " + what;
        return false;
    }

    // The line end at m_at, if any: its length (1 for LF, 2 for CR LF), 0 when none.
    std::size_t LineEnd() const {
        if (m_text[m_at] == '\n') {
            return 1;
        }
        return m_text.substr(m_at, 2) == "\r\n" ? 2 : 0;
    }

    bool ReadRecord(std::vector<std::string>& fields, std::string& problem) {
        while (true) {
            std::string field;
            const bool read = m_at < m_text.size() && m_text[m_at] == '"'
                                  ? ReadQuoted(field, fields.size() + 1, problem)
                                  : ReadPlain(field, fields.size() + 1, problem);
            if (!read) {
                return false;
            }
            fields.push_back(std::move(field));
            if (m_at >= m_text.size()) {
                return true;
            }
            if (m_text[m_at] == ',') {
                ++m_at;
                continue;
            }
            m_at += LineEnd();
            ++m_line;
            return true;
        }
    }

    bool ReadPlain(std::string& field, std::size_t number, std::string& problem) {
        for (; m_at < m_text.size(); ++m_at) {
            const char c = m_text[m_at];
            if (c == ',' || LineEnd() != 0) {
                return true;
            }
            if (c == '"') {
                return Problem(problem, "field " + std::to_string(number) +
                                            " has a quote but does not start with one (a quote "
                                            "inside a field is written twice, the field quoted)");
            }
            if (c == '\r') {
                return Problem(problem, "field " + std::to_string(number) +
                                            " holds a carriage return that ends no line");
            }
            field += c;
        }
        return true;
    }

    bool ReadQuoted(std::string& field, std::size_t number, std::string& problem) {
        const int startLine = m_line;
        for (++m_at; m_at < m_text.size(); ++m_at) {
            const char c = m_text[m_at];
            if (c == '\n') {
                ++m_line;
            }
            if (c != '"') {
                field += c;
                continue;
            }
            if (m_text.substr(m_at, 2) == "\"\"") {
                field += '"';
                ++m_at;
                continue;
            }
            ++m_at;
            if (m_at < m_text.size() && m_text[m_at] != ',' && LineEnd() == 0) {
                return Problem(problem, "field " + std::to_string(number) +
                                            " goes on after its closing quote");
            }
            return true;
        }
        m_line = startLine;
        return Problem(problem, "the quoted field " + std::to_string(number) +
                                    " that starts here is never closed");
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    int m_line = 1;
};

}  // namespace

CsvText ReadCsv(std::string_view text) {
    return CsvReader(text).Read();
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (i > 0) {
            line += ',';
        }
        // Blanks at either end are quoted too: some spreadsheets trim them otherwise.
        const bool quoted = field.find_first_of(",\"\r\n") != std::string::npos ||
                            (!field.empty() && (field.front() == ' ' || field.back() == ' '));
        if (!quoted) {
            line += field;
            continue;
        }
        line += '"';
        for (const char c : field) {
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        line += '"';
    }
    return line + "\r\n";
}

}  // namespace qk
