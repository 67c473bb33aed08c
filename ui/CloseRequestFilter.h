#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

class QWidget;

namespace qk::ui {

// The window system's request to close a window (the close box, the window manager's
// Close), seen even while a modal window of the program blocks that window: Qt drops such
// a request, so the close box of a main window with a dialog over it did nothing at all.
// Requests for other windows, and for the window while nothing blocks it, are left to Qt,
// which turns them into close events as usual.
//
// Only X11 sends such requests as messages a program can see (WM_DELETE_WINDOW); on other
// platforms the filter sees nothing. It does not decide what the request means: it calls
// the handler it was given.
class CloseRequestFilter final : public QAbstractNativeEventFilter {
  public:
    // Installs itself on the application; `whileBlocked` runs for each request to close
    // `window` that arrives while another modal window blocks it.
    CloseRequestFilter(QWidget& window, std::function<void()> whileBlocked);
    ~CloseRequestFilter() override;

    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    bool Blocked() const;

    QWidget& m_window;
    std::function<void()> m_whileBlocked;
    std::uint32_t m_protocolsAtom = 0;     // WM_PROTOCOLS; 0 when not on X11
    std::uint32_t m_deleteWindowAtom = 0;  // WM_DELETE_WINDOW
};

}  // namespace qk::ui
