#include "Handshake.h"

#include <array>

namespace qk {
namespace {

constexpr int kRequests = 3;
constexpr std::size_t kReadSize = 32;

}  // namespace

HandshakeResult RunHandshake(SerialLink& port, Pacer& pacer, const CommandTable& commands,
                             int attempts, std::chrono::milliseconds retry) {
    const auto stopped = [&] { return !port.IsOpen() || port.HungUp() || pacer.StopRequested(); };
    const std::string request = BuildHandshakeRequest(commands);
    for (int i = 0; i < kRequests; ++i) {
        port.Write(request.data(), static_cast<unsigned>(request.size()));
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (stopped()) {
            return HandshakeResult::Stopped;
        }
        std::array<char, kReadSize> reply{};
        const int count = port.Read(reply.data(), reply.size());
        if (count == static_cast<int>(kHandshakeReply.size()) &&
            std::string_view(reply.data(), kHandshakeReply.size()) == kHandshakeReply) {
            return HandshakeResult::Confirmed;
        }
        pacer.Pause(retry);
    }
    return stopped() ? HandshakeResult::Stopped : HandshakeResult::NoReply;
}

}  // namespace qk
