#include <windows.h>

#include "GbkCodec.h"

namespace qk {
namespace {

constexpr UINT kGbk = 936;

// UTF-16 from `bytes` of code page `page`, nothing when they are not a whole character.
std::wstring Decode(UINT page, std::string_view bytes) {
    const int size = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                        wide.data(), size);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

}  // namespace

void DecodeGbk(std::string_view gbk, const std::function<void(std::string_view)>& onText,
               const std::function<void(unsigned char)>& onInvalid) {
    // Character by character, so that a bad byte costs only itself, as with iconv.
    std::size_t i = 0;
    while (i < gbk.size()) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte < 0x80) {
            onText(gbk.substr(i, 1));
            ++i;
            continue;
        }
        if (i + 1 < gbk.size()) {
            if (const std::wstring pair = Decode(kGbk, gbk.substr(i, 2)); pair.size() == 1) {
                onText(Utf8(pair));
                i += 2;
                continue;
            }
        }
        if (const std::wstring single = Decode(kGbk, gbk.substr(i, 1)); single.size() == 1) {
            onText(Utf8(single));
        } else {
            onInvalid(byte);
        }
        ++i;
    }
}

std::optional<std::string> EncodeGbk(std::string_view utf8) {
    if (utf8.empty()) {
        return std::string();
    }
    const std::wstring wide = Decode(CP_UTF8, utf8);
    if (wide.empty()) {
        return std::nullopt;
    }
    BOOL defaulted = FALSE;
    const int size =
        WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                            nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted) {
        return std::nullopt;
    }
    std::string gbk(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        gbk.data(), size, nullptr, &defaulted);
    return gbk;
}

}  // namespace qk
