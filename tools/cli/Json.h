#pragma once

#include <string>
#include <string_view>

namespace qk::cli {

// A JSON string literal (with quotes) of UTF-8 text.
std::string JsonString(std::string_view utf8);

// One JSON object on one line, members in the order they are added: what scripts read,
// one object per device and line.
class JsonObject {
  public:
    JsonObject& Text(std::string_view key, std::string_view utf8);
    // `number` must be a JSON number already ("9600", "3.30").
    JsonObject& Number(std::string_view key, std::string_view number);
    JsonObject& Null(std::string_view key);
    JsonObject& Raw(std::string_view key, std::string_view json);
    std::string str() const { return "{" + m_members + "}"; }

  private:
    std::string m_members;
};

}  // namespace qk::cli
