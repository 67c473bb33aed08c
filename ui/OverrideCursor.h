#pragma once

#include <Qt>
#include <optional>

namespace qk::ui {

// Shows one cursor shape over all of the program's windows for the object's life, whatever
// the widgets under the pointer ask for. Overrides nest: the latest shows, and the one
// before it comes back when it ends.
class OverrideCursor {
  public:
    explicit OverrideCursor(Qt::CursorShape shape);
    ~OverrideCursor();

    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;

    // For a wait on the operator (a message box, a dialog) while another override, such as
    // a busy cursor, is up: the arrow until the result is destroyed, since what waits is
    // there to be clicked. Nothing when no override is up, so that the widgets keep their
    // own cursors (the text cursor over an edit).
    [[nodiscard]] static std::optional<OverrideCursor> ForOperator();
};

}  // namespace qk::ui
