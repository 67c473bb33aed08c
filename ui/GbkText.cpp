#include "GbkText.h"

#include <utility>

namespace qk::ui {
namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;

bool IsLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// "\xFF" for each byte, as the command line shows a byte that is no character.
QString Escaped(std::string_view bytes) {
    QString text;
    for (const char b : bytes) {
        text += QStringLiteral("\\x") +
                QString::number(static_cast<unsigned char>(b), 16).toUpper().rightJustified(2, u'0');
    }
    return text;
}

void Mark(GbkLogDecoder::Shown& shown, const QString& text) {
    shown.marked.emplace_back(shown.text.size(), text.size());
    shown.text += text;
}

// Whether the converter made a character that shows for a unit: one code point, not the
// replacement character, and not a private-use one, which is how it passes on what GBK
// does not define (a lone 0xFF among them) and which no font draws.
bool Drawn(const QString& converted) {
    if (converted.size() != 1) {
        return false;
    }
    const char16_t u = converted.front().unicode();
    return u != QChar::ReplacementCharacter && (u < 0xE000 || u > 0xF8FF);
}

}  // namespace

GbkLogDecoder::Shown GbkLogDecoder::DecodeMarked(std::string_view bytes) {
    Shown shown;
    std::string whole = std::exchange(m_held, {});
    whole += bytes;
    const std::string_view text = whole;
    shown.text.reserve(static_cast<qsizetype>(text.size()));
    std::size_t at = 0;
    while (at < text.size()) {
        // Device data is mostly ASCII, which GBK leaves as it is: a run of it goes at once.
        std::size_t run = at;
        while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F) {
            ++run;
        }
        if (run > at) {
            shown.text += QLatin1StringView(text.data() + at, static_cast<qsizetype>(run - at));
            m_afterCarriageReturn = false;
            at = run;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            Ascii(shown, byte);
            ++at;
            continue;
        }
        // Whole units from here on: a lead byte and its trail, a lead byte without one, or a
        // byte that is no lead byte. A lead byte at the very end waits for the next piece.
        std::size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) {
            const auto b = static_cast<unsigned char>(text[end]);
            if (IsLeadByte(b) && end + 1 == text.size()) {
                m_held = text.substr(end);
                break;
            }
            end += IsLeadByte(b) && IsTrailByte(static_cast<unsigned char>(text[end + 1])) ? 2 : 1;
        }
        Characters(shown, text.substr(at, end - at));
        m_afterCarriageReturn = false;
        at = end + m_held.size();
    }
    return shown;
}

void GbkLogDecoder::Ascii(Shown& shown, unsigned char byte) {
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
    if (byte == '\n' || byte == '\t') {
        shown.text += QChar(byte);
    } else {
        Mark(shown, QString(QChar(byte == 0x7F ? kDeletePicture : kControlPictures + byte)));
    }
}

void GbkLogDecoder::Characters(Shown& shown, std::string_view bytes) {
    std::vector<std::string_view> units;
    for (std::size_t at = 0; at < bytes.size();) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(bytes[at])) && at + 1 < bytes.size();
        units.push_back(bytes.substr(at, pair ? 2 : 1));
        at += units.back().size();
    }
    // One conversion for the run; should the converter not give one code point per unit,
    // each unit goes on its own.
    const QString converted = FromGbk(bytes);
    const bool oneEach = converted.size() == static_cast<qsizetype>(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::string_view unit = units[i];
        const QString character = oneEach ? QString(converted[static_cast<qsizetype>(i)])
                                           : FromGbk(unit);
        const bool loneLead = unit.size() == 1 && IsLeadByte(static_cast<unsigned char>(unit[0]));
        if (!loneLead && Drawn(character)) {
            shown.text += character;
        } else {
            Mark(shown, Escaped(unit));
        }
    }
}

void GbkLogDecoder::Reset() {
    m_held.clear();
    m_afterCarriageReturn = false;
}

}  // namespace qk::ui
