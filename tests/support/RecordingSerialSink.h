#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "SerialMessageSink.h"

namespace qk::test {

// Keeps every report of the serial port, in order, for tests to inspect.
class RecordingSerialSink final : public SerialMessageSink {
public:
    struct Report {
        std::string message;
        std::string detail;
    };

    void SerialError(std::string_view message, std::string_view detail) override {
        std::lock_guard lock(m_mutex);
        m_reports.push_back(Report{std::string(message), std::string(detail)});
    }

    std::vector<Report> reports() const {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }
    std::size_t Count(std::string_view message) const {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(
            std::count_if(m_reports.begin(), m_reports.end(),
                          [&](const Report& r) { return r.message == message; }));
    }
    // The detail of the latest report, empty when there is none.
    std::string LastDetail() const {
        std::lock_guard lock(m_mutex);
        return m_reports.empty() ? std::string() : m_reports.back().detail;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_reports.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Report> m_reports;
};

}  // namespace qk::test
