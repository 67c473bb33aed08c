#include "ConsoleText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace qk::cli {
namespace {

// One iconv conversion; on an invalid or incomplete sequence `onInvalid` gets the byte
// and the conversion goes on after it.
template <typename OnText, typename OnInvalid>
bool Convert(const char* from, const char* to, std::string_view input, OnText onText,
             OnInvalid onInvalid) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    bool clean = true;
    while (inLeft > 0) {
        char buffer[256];
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        onText(std::string_view(buffer, static_cast<std::size_t>(out - buffer)));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            clean = false;
            onInvalid(static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return clean;
}

void AppendHex(std::string& text, unsigned char byte) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    text += hex;
}

}  // namespace

std::string GbkToDisplay(std::string_view gbk) {
    std::string text;
    auto onText = [&](std::string_view utf8) {
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
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
    };
    Convert("GBK", "UTF-8", gbk, onText, [&](unsigned char byte) { AppendHex(text, byte); });
    return text;
}

std::string GbkToJson(std::string_view gbk) {
    std::string text = "\"";
    auto onText = [&](std::string_view utf8) {
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            switch (c) {
                case '"':
                    text += "\\\"";
                    break;
                case '\\':
                    text += "\\\\";
                    break;
                case '\r':
                    text += "\\r";
                    break;
                case '\n':
                    text += "\\n";
                    break;
                case '\t':
                    text += "\\t";
                    break;
                default:
                    if (byte < 0x20) {
                        char escape[8];
                        std::snprintf(escape, sizeof escape, "\\u%04X", byte);
                        text += escape;
                    } else {
                        text += c;
                    }
            }
        }
    };
    Convert("GBK", "UTF-8", gbk, onText, [&](unsigned char) { text += "\xEF\xBF\xBD"; });
    return text + "\"";
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    std::string gbk;
    if (!Convert(
            "UTF-8", "GBK", utf8, [&](std::string_view bytes) { gbk += bytes; },
            [](unsigned char) {})) {
        return std::nullopt;
    }
    return gbk;
}

}  // namespace qk::cli
