#include <QList>

#include "GbkCodec.h"
#include "GbkText.h"

namespace qk::ui {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

}  // namespace

// Code page 936 through the core's converter, with what Qt's GBK converter does for what
// is not GBK: a replacement character for each bad byte, '?' for each character that
// has no GBK form.

QString FromGbk(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size());
    DecodeGbk(
        bytes, [&](std::string_view text) { utf8 += text; },
        [&](unsigned char) { utf8 += kReplacement; });
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (auto whole = EncodeGbk(std::string_view(utf8.constData(), utf8.size()))) {
        return std::move(*whole);
    }
    std::string gbk;
    for (const uint codePoint : text.toUcs4()) {
        const QByteArray one =
            QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1).toUtf8();
        const auto encoded = EncodeGbk(std::string_view(one.constData(), one.size()));
        gbk += encoded ? *encoded : std::string("?");
    }
    return gbk;
}

}  // namespace qk::ui
