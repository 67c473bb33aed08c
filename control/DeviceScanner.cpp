#include "DeviceScanner.h"

#include <algorithm>

#include "BlockAssembler.h"
#include "Handshake.h"
#include "Parameters.h"
#include "ResponseParser.h"
#include "ValueLists.h"

namespace qk {
namespace {

// Rates in the order a device is most likely set to; the rest of the list follows.
constexpr std::uint32_t kLikely[] = {9600, 115200, 57600, 38400,  19200,
                                     4800, 2400,   1200,  230400, 460800};

}  // namespace

std::vector<std::uint32_t> ScanRates(std::uint32_t first) {
    std::vector<std::uint32_t> rates{first};
    const auto add = [&](std::uint32_t rate) {
        if (std::ranges::find(rates, rate) == rates.end()) {
            rates.push_back(rate);
        }
    };
    for (const std::uint32_t rate : kLikely) {
        add(rate);
    }
    for (const std::string_view entry : BaudRateList) {
        add(static_cast<std::uint32_t>(std::stoul(std::string(entry))));
    }
    return rates;
}

DeviceScanner::DeviceScanner(SerialLink& port, int portNumber, Pacer& pacer, Timing timing)
    : m_port(port), m_portNumber(portNumber), m_pacer(pacer), m_timing(timing) {}

ScanResult DeviceScanner::Scan(const std::vector<std::uint32_t>& rates,
                               const std::function<void(std::uint32_t)>& onRate) {
    ScanResult result;
    for (const std::uint32_t rate : rates) {
        if (m_pacer.StopRequested()) {
            break;
        }
        if (onRate) {
            onRate(rate);
        }
        if (!m_port.Open(m_portNumber, rate, 8, 0, 0)) {
            break;  // it will not open at another rate either
        }
        result.opened = true;
        const HandshakeResult handshake =
            RunHandshake(m_port, m_pacer, m_commands, m_timing.polls, m_timing.retry);
        if (handshake == HandshakeResult::Confirmed) {
            result.found = true;
            result.baud = rate;
            ReadIdentity(result);
        }
        if (!result.found) {
            result.sharedWith = m_port.SharedWith();
        }
        m_port.Close();
        if (handshake != HandshakeResult::NoReply) {
            break;
        }
    }
    return result;
}

void DeviceScanner::ReadIdentity(ScanResult& result) {
    const std::vector<const Parameter*> identity = {&ParameterOf(ParameterId::Status),
                                                    &ParameterOf(ParameterId::Id),
                                                    &ParameterOf(ParameterId::Version)};
    for (const Parameter* parameter : identity) {
        const std::string query = BuildQuery(m_commands, parameter->command);
        m_port.Write(query.data(), static_cast<unsigned>(query.size()));
        m_pacer.Pause(m_timing.queryGap);
    }
    DeviceState state;
    NullDeviceView view;
    ResponseParser parser(state, view);
    BlockAssembler assembler;
    const auto complete = [&] {
        return std::ranges::all_of(identity,
                                   [&](const Parameter* p) { return state.reported.Has(p->id); });
    };
    for (auto waited = std::chrono::milliseconds{0};
         !complete() && waited <= m_timing.answerWait && !m_pacer.StopRequested();) {
        const auto space = assembler.FreeSpace();
        const int count = m_port.Read(space.data(), static_cast<unsigned>(space.size()));
        if (count > 0) {
            for (const std::string& block : assembler.Commit(static_cast<std::size_t>(count))) {
                parser.HandleBlock(block);
            }
            continue;
        }
        if (m_port.HungUp()) {
            break;
        }
        m_pacer.Pause(m_timing.readPoll);
        waited += m_timing.readPoll;
    }
    result.reported = state.reported;
}

}  // namespace qk
