#pragma once

#include <thread>

#include "CommandTable.h"
#include "ConversationRecorder.h"
#include "SerialLink.h"

namespace qk {

// The port as the session sees it, with every write and every read of the handshake
// noted in a conversation record on the way; blocks the receive loop reads are noted
// where the parser takes them, so that a replay sees the same blocks. Without a recorder
// it only passes calls through.
class RecordedLink final : public SerialLink {
  public:
    RecordedLink(SerialLink& port, ConversationRecorder* recorder)
        : m_port(port), m_recorder(recorder), m_owner(std::this_thread::get_id()) {}

    bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
              int parityCode) override {
        return m_port.Open(portNumber, baud, dataBits, stopBitsCode, parityCode);
    }
    bool SetReadTimeouts(unsigned milliseconds) override {
        return m_port.SetReadTimeouts(milliseconds);
    }
    bool Write(const char* data, unsigned length) override {
        if (m_recorder != nullptr) {
            // The record may be read by others; the login key is no business of theirs.
            m_recorder->Sent(MaskLoginKey(m_commands, std::string_view(data, length)));
        }
        return m_port.Write(data, length);
    }
    int Read(char* buffer, unsigned capacity) override {
        const int count = m_port.Read(buffer, capacity);
        // The owner's thread reads only during the handshake; the loop reads on its own.
        if (m_recorder != nullptr && count > 0 && std::this_thread::get_id() == m_owner) {
            m_recorder->HandshakeRead(std::string_view(buffer, static_cast<std::size_t>(count)));
        }
        return count;
    }
    bool IsOpen() const override { return m_port.IsOpen(); }
    bool HungUp() const override { return m_port.HungUp(); }
    std::string HangUpReason() const override { return m_port.HangUpReason(); }
    std::string LineRemark() const override { return m_port.LineRemark(); }
    std::string SharedWith() const override { return m_port.SharedWith(); }
    void Close() override { m_port.Close(); }

  private:
    SerialLink& m_port;
    ConversationRecorder* m_recorder;
    const CommandTable m_commands;
    const std::thread::id m_owner;
};

}  // namespace qk
