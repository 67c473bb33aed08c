#pragma once

#include <string>
#include <string_view>

#include "StringTable.h"

namespace qk {

using res::Language;

// String identifiers of the command texts (101 is the About menu text, not a command).
enum class CommandId : int {
    AboutMenu = 101,
    Login = 102,
    Stat = 103,
    Id = 104,
    Ver = 105,
    Baud = 106,
    PacketGap = 107,
    PacketSize = 108,
    Dns = 109,
    DestAddress = 110,
    DestPort = 111,
    Gnod = 112,
    WorkType = 113,
    RegisterEnable = 114,
    RegisterData = 115,
    HeartbeatTime = 116,
    HeartbeatData = 117,
    ReconnectTime = 118,
    ReconnectCount = 119,
    OfflineTime = 120,
    CancelEnable = 121,
    CancelData = 122,
    Protocol = 123,
    ConfigModeRequest = 124,
    DataBits = 125,
    StopBits = 126,
    Parity = 127,
    Tel = 128,
};

// The command texts, looked up in the string table of one language at each use.
// Command texts are identical in both languages; only the About text differs.
class CommandTable {
  public:
    explicit CommandTable(Language language = Language::English) : m_language(language) {}

    std::string_view Text(CommandId id) const;
    Language language() const { return m_language; }

  private:
    Language m_language;
};

// Each builder returns the exact bytes of one write; nothing is added or removed elsewhere.

// The text followed by "?\r\n". STAT, ID and VER already end in "?\r\n" and so carry the
// suffix twice: the device has always been sent that, so it stays.
std::string BuildQuery(const CommandTable& table, CommandId id);

// The text, "=", the value unchanged, "\r\n".
std::string BuildSet(const CommandTable& table, CommandId id, std::string_view value);

// "QK+LOGIN=" already ends in "=", so the key follows directly, then "\r\n".
std::string BuildLogin(const CommandTable& table, std::string_view key);

// The bytes of a login command with each byte of the key replaced by '*', its length
// kept, for records that others may read; any other command unchanged.
std::string MaskLoginKey(const CommandTable& table, std::string_view command);

// "REQUEST CFG MODE": 16 bytes, no line end.
std::string BuildHandshakeRequest(const CommandTable& table);

// The device's confirmation of configuration mode: exactly these 9 bytes, no line feed.
inline constexpr std::string_view kHandshakeReply = "CFG MODE\r";

// The single-character value of WORKTYPE, HEARTIME and EN_ENROL: `base` plus the low
// 8 bits of `value`, as the device expects ('0' + 1 is "1"). Callers check the range.
std::string EncodeDigit(char base, int value);

}  // namespace qk
