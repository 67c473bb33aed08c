#include "GbkText.h"

#include <QByteArrayView>
#include <QStringEncoder>

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
    const QString decoded = m_decoder.decode(View(bytes));
    QString shown;
    shown.reserve(decoded.size());
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        if (u == u'\r') {
            shown += u'\n';
            m_afterCarriageReturn = true;
            continue;
        }
        const bool endsCrLf = u == u'\n' && m_afterCarriageReturn;
        m_afterCarriageReturn = false;
        if (endsCrLf) {
            continue;
        }
        if (u == u'\n' || u == u'\t') {
            shown += c;
        } else if (u < 0x20) {
            shown += QChar(static_cast<char16_t>(kControlPictures + u));
        } else if (u == 0x7F) {
            shown += QChar(kDeletePicture);
        } else {
            shown += c;
        }
    }
    return shown;
}

void GbkLogDecoder::Reset() {
    m_decoder.resetState();
    m_afterCarriageReturn = false;
}

}  // namespace qk::ui
