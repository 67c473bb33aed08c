#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeviceScanner.h"
#include "PortDirectory.h"

namespace qk {

// What a search learnt of one port.
struct PortFinding {
    int number = 0;  // the port's number among those searched (the COM number in the window)
    std::string path;
    ScanResult result;
    std::string openFailure;  // why the port would not open; empty when it did
};

// Looks for a device on every port given at once, one thread per port, each a
// DeviceScanner over ScanRates(firstRate), for a front end that keeps running meanwhile:
// the window's Find Device and `qk4410-cli scan`. A raw TCP port (tcp://) runs at its
// server's speed, so it is tried once, at that speed, whatever the rate asked for. The search works
// on its own copy of the ports, so ports that come and go while it runs change nothing under it.
//
// Cancel() asks every scan to stop (pauses end at once, a scan ends between two reads)
// and waits for the threads; the destructor does the same, so an owner that goes away
// during a search leaves no thread behind.
//
// The observer's calls come from the scan threads, each port's in order, and may overlap
// between ports; an owner with a thread of its own posts them there.
class DeviceSearch {
  public:
    struct Observer {
        // Before each rate; 0 for a line at its server's own speed.
        std::function<void(int number, std::uint32_t rate)> trying;
        std::function<void(PortFinding finding)> finished;  // once per port
    };

    DeviceSearch(std::vector<PortDirectory::Entry> ports, std::uint32_t firstRate,
                 DeviceScanner::Timing timing, Observer observer);
    ~DeviceSearch();
    DeviceSearch(const DeviceSearch&) = delete;
    DeviceSearch& operator=(const DeviceSearch&) = delete;

    // The COM numbers searched, ascending; how many rates port `number` is tried at, and
    // all ports together.
    const std::vector<int>& numbers() const { return m_numbers; }
    std::size_t RateCount(int number) const;
    std::size_t steps() const;

    // Stops the scans and waits for their threads; harmless when they have ended.
    void Cancel();
    // Waits for the threads without stopping them.
    void Wait();
    // Waits at most `timeout` for every scan to end; true when they all have.
    bool WaitFor(std::chrono::milliseconds timeout);

  private:
    class StopPacer;

    PortFinding ScanPort(const PortDirectory::Entry& port);
    std::vector<std::uint32_t> RatesFor(const std::string& path) const;

    const std::vector<PortDirectory::Entry> m_ports;
    const std::vector<std::uint32_t> m_rates;
    const DeviceScanner::Timing m_timing;
    const Observer m_observer;
    std::vector<int> m_numbers;
    std::unique_ptr<StopPacer> m_pacer;
    std::vector<std::thread> m_threads;
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    std::size_t m_done = 0;
};

}  // namespace qk
