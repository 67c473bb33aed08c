#pragma once

#include "MessagePresenter.h"
#include "SerialMessageSink.h"

class QWidget;

namespace qk::ui {

// Where the serial port's failures go in the windowed program: a warning box owned by the
// main window, its text the fixed message ("Open com failed!", "Write com failed") and
// the cause as the box's informative text.
//
// The port reports only from the window's thread (opening and writing), so this shows
// its box directly, with the arrow cursor over it should the window show the busy one.
class WarningBoxSink final : public SerialMessageSink {
  public:
    WarningBoxSink(QWidget& owner, MessagePresenter& presenter)
        : m_owner(owner), m_presenter(presenter) {}

    void SerialError(std::string_view message, std::string_view detail) override;

  private:
    QWidget& m_owner;
    MessagePresenter& m_presenter;
};

}  // namespace qk::ui
