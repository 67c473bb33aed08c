#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qk::ui {

// The one place where the windows convert between the core's GBK bytes and Qt's Unicode.
// Everything the device sent, every caption of the templates and every command text is
// GBK; widgets hold QString. The conversion itself is the platform's: Qt's GBK converter
// where Qt has one (GbkTextQt.cpp; Debian's Qt has it through ICU), code page 936 on
// Windows (GbkTextWin32.cpp), whose Qt is built without ICU and so without GBK.
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
// - bytes that stand for no character (not valid GBK, a lead byte without its trail, or
//   mapped to a private-use code point nothing draws, such as a lone 0xFF) show as \xHH,
//   as the command line shows them.
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
    void Ascii(Shown& shown, unsigned char byte);
    // Bytes from 0x80 on, in whole GBK units, converted in one go.
    void Characters(Shown& shown, std::string_view bytes);

    std::string m_held;  // a lead byte whose trail byte has not come yet
    bool m_afterCarriageReturn = false;
};

}  // namespace qk::ui
