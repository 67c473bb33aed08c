// The search over every port at once, against simulated devices on real pseudo-terminals
// (what it finds is checked through the window's Find Device; here, under ThreadSanitizer
// too, that its threads stop).
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

#include "DeviceSearch.h"
#include "FakeSerialLink.h"
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

// At each rate: the port opened at that rate, the three requests, three polls 200 ms apart,
// closed again; the rates in the order asked for; where a device answers, only STAT, ID
// and VER are asked, and the scan stops there.
TEST(DeviceScannerTest, EachRateGetsAShortHandshakeOfThreePolls) {
    test::VirtualPacer pacer;
    test::FakeSerialLink port(pacer);
    for (int poll = 0; poll < 3 + 2; ++poll) {
        port.QueueReply("");  // 115200 and the first two polls at 9600: nothing
    }
    port.QueueReply("CFG MODE\r");
    port.QueueReply("+STAT:25,36,330\r\n+ID:7\r\n+VER:v\r\n");
    DeviceScanner scanner(port, 4, pacer, {});
    const ScanResult result = scanner.Scan({115200, 9600, 57600});
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.baud, 9600u);
    EXPECT_EQ(*result.reported.Find(ParameterId::Id), "7");
    EXPECT_EQ(std::tuple(port.opens, port.closes), std::tuple(2, 2));
    EXPECT_EQ(port.lastOpen, (std::vector<int>{4, 9600, 8, 0, 0}));
    const std::vector<std::string> requests(3, "REQUEST CFG MODE");
    std::vector<std::string> expected = requests;
    expected.insert(expected.end(), requests.begin(), requests.end());
    expected.insert(expected.end(), {"QK+STAT?\r\n?\r\n", "QK+ID?\r\n?\r\n", "QK+VER?\r\n?\r\n"});
    EXPECT_EQ(port.written(), expected);
    // Three polls at 115200 with a pause after each, two at 9600 before the reply came.
    const std::vector<std::chrono::milliseconds> handshakePauses(5, 200ms);
    EXPECT_EQ(std::vector(pacer.pauses().begin(), pacer.pauses().begin() + 5), handshakePauses);
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
