#include <iconv.h>

#include <cerrno>

#include "GbkCodec.h"

namespace qk {
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

}  // namespace

void DecodeGbk(std::string_view gbk, const std::function<void(std::string_view)>& onText,
               const std::function<void(unsigned char)>& onInvalid) {
    Convert("GBK", "UTF-8", gbk, onText, onInvalid);
}

std::optional<std::string> EncodeGbk(std::string_view utf8) {
    std::string gbk;
    if (!Convert(
            "UTF-8", "GBK", utf8, [&](std::string_view bytes) { gbk += bytes; },
            [](unsigned char) {})) {
        return std::nullopt;
    }
    return gbk;
}

}  // namespace qk
