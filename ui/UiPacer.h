#pragma once

#include "Pacer.h"

namespace qk::ui {

// The pauses of a command sequence, taken on the window thread without freezing the
// desktop: while it waits, the thread keeps painting and answering the window system
// (timers, expose events, the window manager's ping), but handles no user input. Mouse
// and key events that arrive meanwhile stay queued and take effect after the sequence,
// as they did when the thread slept.
//
// It does not decide what else the window holds back during a sequence (closing, running
// received blocks); the window does, while its own sequence flag is set.
//
// A pause requested from any other thread sleeps that thread instead.
class UiPacer final : public Pacer {
  public:
    void Pause(std::chrono::milliseconds duration) override;
};

}  // namespace qk::ui
