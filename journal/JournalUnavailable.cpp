// The journal where the build has no SQLite (Windows: Debian has none for it). Every use
// says so; nothing is recorded.
#include "Journal.h"

namespace qk {
namespace {

constexpr const char* kAbsent =
    "this build has no journal (SQLite for Windows is not part of Debian)";

}  // namespace

struct Journal::Database {};

bool Journal::Available() {
    return false;
}

std::string Journal::DefaultPath() {
    return {};
}

std::unique_ptr<Journal> Journal::Open(const std::string&, Options, std::string& error) {
    error = kAbsent;
    return nullptr;
}

Journal::Journal(std::string path, std::unique_ptr<Database> database)
    : m_path(std::move(path)), m_database(std::move(database)) {}

Journal::~Journal() = default;

std::optional<std::int64_t> Journal::Begin(const Change&, std::string& error) {
    error = kAbsent;
    return std::nullopt;
}

bool Journal::Finish(std::int64_t, ChangeResult, std::string_view, const std::vector<ChangedValue>&,
                     std::string& error) {
    error = kAbsent;
    return false;
}

std::optional<std::vector<Change>> Journal::History(const HistoryQuery&, std::string& error) {
    error = kAbsent;
    return std::nullopt;
}

std::optional<Change> Journal::LastChange(std::string_view, std::string& error) {
    error = kAbsent;
    return std::nullopt;
}

}  // namespace qk
