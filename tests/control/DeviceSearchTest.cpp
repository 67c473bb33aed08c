// The search over every port at once, against simulated devices on real pseudo-terminals
// (what it finds is checked through the window's Find Device; here, under ThreadSanitizer
// too, that its threads stop).
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "DeviceSearch.h"
#include "SimulatedDevice.h"

namespace qk {
namespace {

using namespace std::chrono_literals;

// What the scan threads reported, in one place.
struct Reports {
    DeviceSearch::Observer Observer() {
        return {[this](int number, std::uint32_t rate) {
                    const std::lock_guard lock(mutex);
                    tried[number].push_back(rate);
                    changed.notify_all();
                },
                [this](PortFinding finding) {
                    const std::lock_guard lock(mutex);
                    findings[finding.number] = std::move(finding);
                }};
    }
    // Until `ports` ports have begun their first rate.
    bool WaitForTrying(std::size_t ports) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return tried.size() == ports; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, std::vector<std::uint32_t>> tried;
    std::map<int, PortFinding> findings;
};

// Scans that would take seconds per rate end at the next read: no port gets through its
// rates, and every thread has ended when Cancel returns.
TEST(DeviceSearchTest, CancelEndsEveryScanBeforeItsRatesAreThrough) {
    sim::SimulatedDevice silent(sim::SimOptions{.noHandshake = true});
    sim::SimulatedDevice other(sim::SimOptions{.noHandshake = true});
    PortDirectory ports;
    ports.Pin(1, silent.slavePath());
    ports.Pin(2, other.slavePath());
    Reports reports;
    DeviceSearch search(ports.Entries(), 9600, {.polls = 100, .retry = 1s}, reports.Observer());
    ASSERT_TRUE(reports.WaitForTrying(2));
    search.Cancel();
    ASSERT_EQ(reports.findings.size(), 2u);
    for (const auto& [number, finding] : reports.findings) {
        EXPECT_FALSE(finding.result.found) << number;
        EXPECT_EQ(reports.tried[number].size(), 1u) << number;
    }
    search.Cancel();  // again: nothing left to stop
}

}  // namespace
}  // namespace qk
