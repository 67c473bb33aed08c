#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qk {

// Keeps a device conversation as it happens, each item with its time since construction,
// and writes it in the conversation format (ConversationReplay.h) for reading or replaying.
// The port's writer and the parser may record from different threads.
class ConversationRecorder {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit ConversationRecorder(Clock clock = std::chrono::steady_clock::now);

    // Bytes written to the device (">").
    void Sent(std::string_view bytes);
    // Bytes read in the configuration-mode handshake, before the parser gets any ("~").
    void HandshakeRead(std::string_view bytes);
    // A block as it is handed to the parser ("<").
    void Received(std::string_view block);

    // The header as "# " comment lines, then every item so far with its time in seconds
    // ("0.000"), one a line. False when the stream failed.
    bool Write(std::ostream& out, std::string_view headerComment) const;

  private:
    struct Item {
        std::chrono::steady_clock::duration time;
        char kind;
        std::string bytes;
    };

    void Add(char kind, std::string_view bytes);

    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    mutable std::mutex m_mutex;
    std::vector<Item> m_items;
};

}  // namespace qk
