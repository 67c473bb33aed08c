#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qk::sim {

// How the simulated device misbehaves for a trial. The defaults give a well-behaved device
// that answers at once, in one write per answer.
struct SimOptions {
    // Delay between receiving a command and starting its answer.
    std::chrono::milliseconds latency{0};
    // Answers are written in pieces of this many bytes, `chunkGap` apart; 0 writes each
    // answer whole. The 9-byte handshake reply is always one write: the tool only accepts
    // it as a single read.
    std::size_t chunkSize = 0;
    std::chrono::milliseconds chunkGap{0};
    // The device never confirms the handshake, so it never enters configuration mode.
    bool noHandshake = false;
    // Every login is refused, whatever the key.
    bool refuseLogin = false;
    // Set commands are refused until a login has been accepted in this configuration session.
    bool requireLogin = true;
    // A junk line (an echo of the command, a blank line, or text without "+") goes before
    // every `junkEvery`-th answer line; 0 sends none.
    std::size_t junkEvery = 0;
    // Once the first command of a configuration session arrives, "+DATA:" lines follow at
    // this many bytes per second; 0 sends none.
    std::size_t streamBytesPerSecond = 0;
    // The device closes its end this long after it starts, like an unplugged adapter; 0 never.
    std::chrono::milliseconds hangupAfter{0};
    // STAT answers with four fields (a weak signal, below 10) instead of three.
    bool fourFieldStat = false;
    // Once a login has been accepted (and confirmed), the device answers nothing more in that
    // configuration session and takes no set, until a new handshake is confirmed.
    bool silentAfterLogin = false;
    // Commands for these names, as written after "QK+" (PPORT, EN_ENROL, LOGIN), are never
    // answered: queries, sets and logins alike, and nothing they ask for is done.
    std::vector<std::string> ignoredCommands{};
    // Set commands for these names are answered as if taken, with the value sent, but the
    // device keeps what it held: an acknowledgement that is no proof.
    std::vector<std::string> unstoredSets{};
    // Answer lines, junk lines and data lines end in CR alone instead of CR LF.
    bool crOnly = false;
    // ... or in LF alone.
    bool lfOnly = false;
    // The device's ID; empty: the factory's "QK4520-000123".
    std::string id{};
    // The device's own line speed: what the tool sends at any other speed is noise it
    // ignores, the handshake included. 0: it understands every speed (a pty has none).
    std::uint32_t lineSpeed = 0;
};

}  // namespace qk::sim
