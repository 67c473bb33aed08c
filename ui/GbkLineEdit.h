#pragma once

#include <QLineEdit>
#include <string>

namespace qk::ui {

// A single-line edit for a GBK value of the device record that gives back exactly the
// bytes it was given as long as the operator has not changed its text. Values from the
// device may hold bytes that are not valid GBK; converting them to Unicode and back would
// change them, and an unchanged value must reach the device byte for byte.
//
// The text limit counts GBK bytes, as the framework's edit counts characters of the ANSI
// code page: typing or pasting cannot make the value longer than the limit (a paste is cut
// to fit), and a longer value set by the program stays whole and can still be shortened.
//
// It does not decide when values move between record and edit; the dialog does.
class GbkLineEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit GbkLineEdit(QWidget* parent = nullptr);

    // Shows `bytes` and keeps them. Does nothing when the same bytes are shown unchanged,
    // so the caret and any selection stay where the operator left them.
    void SetBytes(const std::string& bytes);
    // The kept bytes while the text is the one SetBytes showed, else the text as GBK.
    std::string Bytes() const;
    // True when the text differs from what SetBytes showed.
    bool Edited() const { return text() != m_shownText; }

    // 0 for no limit.
    void SetLimitText(int bytes);

  private:
    class ByteLimit;

    std::string m_bytes;
    QString m_shownText;
    QString m_committed;  // the text as last reported, before the change being validated
    bool m_settingBytes = false;
    int m_limit = 0;
};

}  // namespace qk::ui
