#pragma once

#include <QPlainTextEdit>
#include <cstddef>
#include <string>

#include "GbkText.h"

namespace qk::ui {

// Shows the device record's information log in the read-only log box at a cost that does
// not grow with the log: each Show() converts and appends only the bytes added since the
// last one. When the log was emptied, or no longer starts with what is shown, the box
// starts over. The box shows exactly the text GbkLogDecoder makes of the whole log, so
// what the operator copies out is what was shown.
//
// Appends go through a cursor at the end of the document, never appendPlainText (which
// starts a new paragraph for each piece). It never moves the operator's selection.
//
// It does not own the box, and it does not read the log back: the box is read-only.
class InfoLogView {
  public:
    explicit InfoLogView(QPlainTextEdit& box);

    void Show(const std::string& infoLog);
    // Brings the last line into view without touching the selection.
    void ScrollToEnd();

    std::size_t shownBytes() const { return m_shown; }

  private:
    static constexpr std::size_t kTailCheck = 32;

    void StartOver();
    bool StillShows(const std::string& infoLog) const;

    QPlainTextEdit& m_box;
    GbkLogDecoder m_decoder;
    std::size_t m_shown = 0;
    std::string m_tail;  // the last bytes shown, to notice a log replaced by another
};

}  // namespace qk::ui
