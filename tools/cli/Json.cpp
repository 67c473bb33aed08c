#include "Json.h"

#include <cstdio>

namespace qk::cli {

std::string JsonString(std::string_view utf8) {
    std::string text = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
                    text += escape;
                } else {
                    text += c;
                }
        }
    }
    return text + "\"";
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view utf8) {
    return Raw(key, JsonString(utf8));
}

JsonObject& JsonObject::Number(std::string_view key, std::string_view number) {
    return Raw(key, number);
}

JsonObject& JsonObject::Null(std::string_view key) {
    return Raw(key, "null");
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    m_members += (m_members.empty() ? "" : ",") + JsonString(key) + ":" + std::string(json);
    return *this;
}

}  // namespace qk::cli
