#include "DeviceText.h"

#include <algorithm>
#include <cstdio>

#include "GbkCodec.h"

namespace qk {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text` (no overlong forms,
// surrogates or values past U+10FFFF); 0 when it starts with none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned value = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    constexpr unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// Checked before conversion so that a bad byte and a character without a GBK form are told
// apart.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void AppendHex(std::string& text, unsigned char byte) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    text += hex;
}

// UTF-8 text with control characters and the backslash escaped.
// What a text keeps as it is besides printable characters.
enum class Kept { Nothing, LineFeeds, ControlCharacters };

void AppendEscaped(std::string& text, std::string_view utf8, Kept kept = Kept::Nothing) {
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((kept == Kept::ControlCharacters && (byte < 0x20 || byte == 0x7F)) ||
            (kept == Kept::LineFeeds && c == '\n')) {
            text += c;
            continue;
        }
        switch (c) {
            case '\r':
                text += "\\r";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendHex(text, byte);
                } else {
                    text += c;
                }
        }
    }
}

}  // namespace

std::string GbkToDisplay(std::string_view gbk) {
    std::string text;
    DecodeGbk(
        gbk, [&](std::string_view utf8) { AppendEscaped(text, utf8); },
        [&](unsigned char byte) { AppendHex(text, byte); });
    return text;
}

std::string GbkToText(std::string_view gbk) {
    std::string text;
    DecodeGbk(
        gbk, [&](std::string_view utf8) { AppendEscaped(text, utf8, Kept::ControlCharacters); },
        [&](unsigned char byte) { AppendHex(text, byte); });
    return text;
}

std::string GbkToLines(std::string_view gbk) {
    // CR LF reads as one line end; a CR alone stays visible. GBK's trail bytes are never
    // 0x0D or 0x0A, so this is safe on the undecoded bytes.
    std::string lines;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (!(gbk[i] == '\r' && i + 1 < gbk.size() && gbk[i + 1] == '\n')) {
            lines += gbk[i];
        }
    }
    std::string text;
    DecodeGbk(
        lines, [&](std::string_view utf8) { AppendEscaped(text, utf8, Kept::LineFeeds); },
        [&](unsigned char byte) { AppendHex(text, byte); });
    return text;
}

std::string EscapeBytes(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length == 0) {
            AppendHex(text, static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        AppendEscaped(text, bytes.substr(i, length));
        i += length;
    }
    return text;
}

std::string QuoteBriefly(std::string_view text, std::size_t most) {
    std::size_t end = 0;
    while (end < text.size() && end < most) {
        end += std::max<std::size_t>(1, Utf8SequenceLength(text.substr(end)));
    }
    end = std::min(end, text.size());
    std::string quoted = "'" + EscapeBytes(text.substr(0, end)) + "'";
    if (end < text.size()) {
        quoted += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return quoted;
}

std::optional<std::string> DisplayToGbk(std::string_view text, std::string& error) {
    std::string bytes;
    std::string literal;  // UTF-8 since the last escape, converted as one piece
    const auto flush = [&] {
        if (literal.empty()) {
            return true;
        }
        if (!IsUtf8(literal)) {
            error = "not valid UTF-8";
            return false;
        }
        const auto gbk = Utf8ToGbk(literal);
        if (!gbk) {
            error = "a character has no GBK form";
            return false;
        }
        bytes += *gbk;
        literal.clear();
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            literal += text[i];
            continue;
        }
        if (!flush()) {
            return std::nullopt;
        }
        const char kind = i + 1 < text.size() ? text[i + 1] : '\0';
        if (kind == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
            HexDigit(text[i + 3]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
            continue;
        }
        // Escape letter, then its byte. "\$" keeps a "${" from reading as a template.
        const std::string_view simple = "\\\\r\rn\nt\t$$";
        const auto found = kind == '\0' ? std::string_view::npos : simple.find(kind);
        if (found == std::string_view::npos || found % 2 != 0) {
            error = "unknown escape \\" + std::string(1, kind) + " (write a backslash as \\\\)";
            return std::nullopt;
        }
        bytes += simple[found + 1];
        ++i;
    }
    if (!flush()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    return EncodeGbk(utf8);
}

}  // namespace qk
