#pragma once

#include <QString>
#include <QStringDecoder>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qk::ui {

// The one place where the windows convert between the core's GBK bytes and Qt's Unicode.
// Everything the device sent, every caption of the templates and every command text is
// GBK; widgets hold QString.
//
// These conversions are not byte-exact for text that is not valid GBK: a value that has to
// reach the device unchanged must be kept as bytes beside its widget (GbkLineEdit does).

QString FromGbk(std::string_view bytes);
std::string ToGbk(const QString& text);

// Turns the information log, which arrives in pieces, into the text the log box shows.
// Stateful, so that a GBK character or a CR LF split between two pieces comes out exactly
// as if the log had been converted at once: for any split of the bytes, the
// concatenated results are equal.
//
// What the log box shows:
// - CR LF, a lone LF and a lone CR each end a line (the device ends answers with CR LF,
//   the handshake reply with a lone CR);
// - other control bytes and zero bytes show as their Unicode control pictures
//   (U+2400 + byte, DEL as U+2421), so they are visible and copy out recognisably;
// - tab stays a tab;
// - bytes that stand for no character (not valid GBK, or mapped to a private-use code
//   point nothing draws, such as a lone 0xFF) show as \xHH, as the command line shows
//   them.
// The control pictures and the \xHH are marked, so that the box can set them apart from
// text the device sent as such.
//
// A lead byte at the very end of a piece is held until the next piece completes it.
class GbkLogDecoder {
  public:
    struct Shown {
        QString text;
        // [start, start + length) of `text`, in order: a control picture or a \xHH.
        std::vector<std::pair<qsizetype, qsizetype>> marked;
    };

    Shown DecodeMarked(std::string_view bytes);
    QString Decode(std::string_view bytes) { return DecodeMarked(bytes).text; }
    // Forgets held bytes and line-end state: the next piece starts a new log.
    void Reset();

  private:
    void Byte(Shown& shown, unsigned char byte);
    void Character(Shown& shown, std::string_view bytes);

    QStringDecoder m_characters{"GBK", QStringConverter::Flag::Stateless};
    int m_lead = -1;  // a lead byte waiting for its trail byte
    bool m_afterCarriageReturn = false;
};

}  // namespace qk::ui
