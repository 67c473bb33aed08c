#include "ConversationRecorder.h"

#include <algorithm>
#include <utility>

#include "ConversationText.h"

namespace qk {
namespace {

// Whole milliseconds, cut rather than rounded: a time never reads later than it was taken.
std::string Seconds(std::chrono::steady_clock::duration time) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(time).count();
    std::string fraction = std::to_string(milliseconds % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(milliseconds / 1000) + "." + fraction;
}

// One "# " line for each line of the header, whatever its line breaks, so that no part of
// it can be read as an item.
void WriteHeader(std::ostream& out, std::string_view header) {
    while (true) {
        const auto end = header.find_first_of("\r\n");
        out << "# " << header.substr(0, end) << "\n";
        if (end == std::string_view::npos) {
            return;
        }
        header.remove_prefix(header.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1);
        if (header.empty()) {
            return;
        }
    }
}

}  // namespace

ConversationRecorder::ConversationRecorder(Clock clock)
    : m_clock(std::move(clock)), m_start(m_clock()) {}

void ConversationRecorder::Sent(std::string_view bytes) {
    Add('>', bytes);
}

void ConversationRecorder::HandshakeRead(std::string_view bytes) {
    Add('~', bytes);
}

void ConversationRecorder::Received(std::string_view block) {
    Add('<', block);
}

void ConversationRecorder::Add(char kind, std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    std::lock_guard lock(m_mutex);
    // The clock is read under the lock so that the items' order is the order of their times.
    // A clock that steps back (only an injected one can) must still not make a conversation
    // the replay refuses.
    auto time = std::max(m_clock() - m_start, std::chrono::steady_clock::duration::zero());
    if (!m_items.empty()) {
        time = std::max(time, m_items.back().time);
    }
    m_items.push_back({time, kind, std::string(bytes)});
}

bool ConversationRecorder::Write(std::ostream& out, std::string_view headerComment) const {
    std::vector<Item> items;
    {
        // A copy, so that recording goes on while the stream is slow.
        std::lock_guard lock(m_mutex);
        items = m_items;
    }
    WriteHeader(out, headerComment);
    for (const auto& item : items) {
        out << Seconds(item.time) << ' ' << item.kind << ' ' << Escape(item.bytes) << '\n';
    }
    return out.good();
}

}  // namespace qk
