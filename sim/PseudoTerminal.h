#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qk::sim {

// A pseudo-terminal pair in raw, 8-bit transparent mode, closed on destruction. The
// "device" end is the master; the tool opens the slave path like any serial port.
class PseudoTerminal {
public:
    // Opens a pair; throws std::system_error when the system has no pty to give.
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return m_master; }
    // The slave end is kept open here too, so the pair survives the tool closing its port
    // between sessions; HangUp() closes it for good.
    const std::string& slavePath() const { return m_slavePath; }

    // The line speed the tool set on its end, in bits per second; a pty keeps it without
    // acting on it. Nullopt once hung up.
    std::optional<std::uint32_t> LineSpeed() const;

    // Closes the master: the tool's reads then fail and its writes report errors, as when a
    // USB adapter is unplugged.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// Puts a descriptor in raw mode: no echo, no CR/LF translation, no flow control.
bool MakeRaw(int fd);

}  // namespace qk::sim
