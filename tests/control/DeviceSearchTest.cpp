// The search over every port at once, against simulated devices on real pseudo-terminals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "DeviceSearch.h"
#include "SimulatedDevice.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

DeviceScanner::Timing Quick() {
    return {.polls = 2, .retry = 5ms, .queryGap = 2ms, .answerWait = 500ms, .readPoll = 2ms};
}

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

TEST(DeviceSearchTest, FindsEachDeviceAtItsOwnSpeedOnEveryPortOfTheDirectory) {
    sim::SimulatedDevice slow(sim::SimOptions{.lineSpeed = 57600});
    sim::SimulatedDevice fast(sim::SimOptions{.lineSpeed = 115200});
    PortDirectory ports;
    ports.Pin(2, slow.slavePath());
    ports.Pin(5, fast.slavePath());
    ports.Pin(9, "/nonexistent/tty");
    Reports reports;
    DeviceSearch search(ports, 115200, Quick(), reports.Observer());
    EXPECT_THAT(search.numbers(), ElementsAre(2, 5, 9));
    search.Wait();

    ASSERT_EQ(reports.findings.size(), 3u);
    const PortFinding& atSlow = reports.findings[2];
    EXPECT_TRUE(atSlow.result.found);
    EXPECT_EQ(atSlow.result.baud, 57600u);
    EXPECT_EQ(atSlow.result.id, "QK4520-000123");
    EXPECT_EQ(atSlow.path, slow.slavePath());
    // The rate asked for first, then the likely ones up to the one that answered.
    EXPECT_THAT(reports.tried[2], ElementsAre(115200u, 9600u, 57600u));
    EXPECT_THAT(reports.tried[5], ElementsAre(115200u));
    EXPECT_EQ(reports.findings[5].result.baud, 115200u);
    const PortFinding& missing = reports.findings[9];
    EXPECT_FALSE(missing.result.opened || missing.result.found);
    EXPECT_THAT(missing.openFailure, HasSubstr("No such file or directory"));
}

// Scans that would take seconds per rate end at the next read: no port gets through its
// rates, and every thread has ended when Cancel returns.
TEST(DeviceSearchTest, CancelEndsEveryScanBeforeItsRatesAreThrough) {
    sim::SimulatedDevice silent(sim::SimOptions{.noHandshake = true});
    sim::SimulatedDevice other(sim::SimOptions{.noHandshake = true});
    PortDirectory ports;
    ports.Pin(1, silent.slavePath());
    ports.Pin(2, other.slavePath());
    Reports reports;
    DeviceSearch search(ports, 9600, {.polls = 100, .retry = 1s}, reports.Observer());
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
