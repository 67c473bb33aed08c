#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qk {

// The system's GBK converter, the one platform piece of text conversion: glibc's iconv on
// Linux (GbkCodecIconv.cpp), code page 936 on Windows (GbkCodecWin32.cpp).

// GBK to UTF-8, piece by piece: `onText` gets converted text, `onInvalid` each byte that
// is no GBK (the conversion goes on after it).
void DecodeGbk(std::string_view gbk, const std::function<void(std::string_view)>& onText,
               const std::function<void(unsigned char)>& onInvalid);

// UTF-8 to GBK; nullopt when the text is not UTF-8 or a character has no GBK form.
std::optional<std::string> EncodeGbk(std::string_view utf8);

}  // namespace qk
