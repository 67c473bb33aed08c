#include "CloseRequestFilter.h"

// Platforms whose close requests Qt sees whole: a window that a modal window blocks takes
// no input from the window system there (Windows disables it), so there is nothing to catch.
namespace qk::ui {

CloseRequestFilter::CloseRequestFilter(QWidget& window, std::function<void()> whileBlocked)
    : m_window(window), m_whileBlocked(std::move(whileBlocked)) {}

CloseRequestFilter::~CloseRequestFilter() = default;

bool CloseRequestFilter::nativeEventFilter(const QByteArray&, void*, qintptr*) {
    return false;
}

bool CloseRequestFilter::Blocked() const {
    return false;
}

}  // namespace qk::ui
