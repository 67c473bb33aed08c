#include "GbkText.h"

#include <QByteArrayView>
#include <QStringEncoder>
#include <algorithm>
#include <utility>

namespace qk::ui {
namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// "\xFF" for each byte, as the command line shows a byte that is no character.
QString Escaped(std::string_view bytes) {
    QString text;
    for (const char b : bytes) {
        text +=
            QStringLiteral("\\x") +
            QString::number(static_cast<unsigned char>(b), 16).toUpper().rightJustified(2, u'0');
    }
    return text;
}

void Mark(GbkLogDecoder::Shown& shown, const QString& text) {
    shown.marked.emplace_back(shown.text.size(), text.size());
    shown.text += text;
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

GbkLogDecoder::Shown GbkLogDecoder::DecodeMarked(std::string_view bytes) {
    Shown shown;
    shown.text.reserve(static_cast<qsizetype>(bytes.size()));
    // Device data is mostly ASCII: a run of it goes through at once.
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (m_lead < 0) {
            std::size_t run = at;
            while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) >= 0x20 &&
                   static_cast<unsigned char>(bytes[run]) < 0x7F) {
                ++run;
            }
            if (run > at) {
                shown.text +=
                    QLatin1StringView(bytes.data() + at, static_cast<qsizetype>(run - at));
                m_afterCarriageReturn = false;
                at = run;
                continue;
            }
        }
        Byte(shown, static_cast<unsigned char>(bytes[at++]));
    }
    return shown;
}

void GbkLogDecoder::Byte(Shown& shown, unsigned char byte) {
    if (m_lead >= 0) {
        const auto lead = static_cast<char>(std::exchange(m_lead, -1));
        if (byte >= 0x40 && byte <= 0xFE && byte != 0x7F) {
            const char pair[] = {lead, static_cast<char>(byte)};
            Character(shown, std::string_view(pair, 2));
            return;
        }
        Mark(shown, Escaped(std::string_view(&lead, 1)));  // a lead byte without its trail
    }
    if (byte >= 0x80) {
        m_afterCarriageReturn = false;
        if (byte >= 0x81 && byte <= 0xFE) {
            m_lead = byte;
        } else {
            const auto single = static_cast<char>(byte);
            Character(shown, std::string_view(&single, 1));
        }
        return;
    }
    if (byte == '\r') {
        shown.text += u'\n';
        m_afterCarriageReturn = true;
        return;
    }
    const bool endsCrLf = byte == '\n' && m_afterCarriageReturn;
    m_afterCarriageReturn = false;
    if (endsCrLf) {
        return;
    }
    if (byte == '\n' || byte == '\t' || (byte >= 0x20 && byte < 0x7F)) {
        shown.text += QChar(byte);
    } else {
        Mark(shown, QString(QChar(byte == 0x7F ? kDeletePicture : kControlPictures + byte)));
    }
}

void GbkLogDecoder::Character(Shown& shown, std::string_view bytes) {
    const QString decoded = m_characters.decode(View(bytes));
    const char16_t u = decoded.size() == 1 ? decoded.front().unicode() : 0;
    // Private-use code points are how the converter passes on what GBK does not define.
    const bool drawn = u != 0 && u != QChar::ReplacementCharacter && (u < 0xE000 || u > 0xF8FF);
    if (drawn) {
        shown.text += decoded;
    } else {
        Mark(shown, Escaped(bytes));
    }
}

void GbkLogDecoder::Reset() {
    m_lead = -1;
    m_afterCarriageReturn = false;
}

}  // namespace qk::ui
