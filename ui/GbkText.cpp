#include "GbkText.h"

#include <QByteArrayView>
#include <algorithm>
#include <utility>

namespace qk::ui {
namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool IsLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Whether `bytes` end in a lead byte that waits for its trail: walked from the start, since
// a byte in 0x81..0xFE may as well be the trail of the character before it.
bool EndsInLoneLeadByte(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!IsLeadByte(byte)) {
            ++i;
        } else if (i + 1 == bytes.size()) {
            return true;
        } else {
            i += IsTrailByte(static_cast<unsigned char>(bytes[i + 1])) ? 2 : 1;
        }
    }
    return false;
}

}  // namespace

QString GbkLogDecoder::Decode(std::string_view bytes) {
    // Device data is mostly ASCII, which GBK leaves as it is, so such a piece skips the
    // converter. Otherwise a lead byte at the end waits for the next piece, and the rest
    // converts on its own: GBK characters never span more than two bytes.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char b) { return static_cast<unsigned char>(b) < 0x80; });
    QString decoded;
    if (ascii && m_held.empty()) {
        decoded = QString::fromLatin1(View(bytes));
    } else {
        std::string whole = std::exchange(m_held, {});
        whole += bytes;
        if (EndsInLoneLeadByte(whole)) {
            m_held = whole.back();
            whole.pop_back();
        }
        decoded = FromGbk(whole);
    }
    QString shown(decoded.size(), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(shown.data());
    char16_t* out = begin;
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7F) {
            *out++ = u;
            m_afterCarriageReturn = false;
            continue;
        }
        if (u == u'\r') {
            *out++ = u'\n';
            m_afterCarriageReturn = true;
            continue;
        }
        const bool endsCrLf = u == u'\n' && m_afterCarriageReturn;
        m_afterCarriageReturn = false;
        if (endsCrLf) {
            continue;
        }
        if (u == u'\n' || u == u'\t') {
            *out++ = u;
        } else if (u < 0x20) {
            *out++ = static_cast<char16_t>(kControlPictures + u);
        } else {
            *out++ = kDeletePicture;
        }
    }
    shown.truncate(out - begin);
    return shown;
}

void GbkLogDecoder::Reset() {
    m_held.clear();
    m_afterCarriageReturn = false;
}

}  // namespace qk::ui
