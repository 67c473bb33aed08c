#include "GbkText.h"

#include <QByteArrayView>
#include <QStringEncoder>
#include <algorithm>

namespace qk::ui {
namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QString FromGbk(std::string_view bytes) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(View(bytes));
}

std::string ToGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString GbkLogDecoder::Decode(std::string_view bytes) {
    // Device data is mostly ASCII, which GBK leaves as it is. Once a byte below 0x80 has
    // gone through, the converter holds nothing (that byte either stood alone or ended a
    // character), so a piece of ASCII alone may skip it.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char b) { return static_cast<unsigned char>(b) < 0x80; });
    const QString decoded = ascii && !m_mayHoldBytes ? QString::fromLatin1(View(bytes))
                                                     : m_decoder.decode(View(bytes));
    if (!bytes.empty()) {
        m_mayHoldBytes = static_cast<unsigned char>(bytes.back()) >= 0x80;
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
    m_decoder.resetState();
    m_mayHoldBytes = false;
    m_afterCarriageReturn = false;
}

}  // namespace qk::ui
