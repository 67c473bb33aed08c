#pragma once

#include <algorithm>
#include <mutex>
#include <string>
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
        return static_cast<std::size_t>(std::ranges::count(reports(), message, &Report::message));
    }
    // The detail of the latest report, empty when there is none.
    std::string LastDetail() const {
        const auto all = reports();
        return all.empty() ? std::string() : all.back().detail;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<Report> m_reports;
};

}  // namespace qk::test
