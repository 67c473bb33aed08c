#include "UdevPortWatcher.h"

#include <QSocketNotifier>

namespace qk::ui {

UdevPortWatcher::UdevPortWatcher() = default;

UdevPortWatcher::~UdevPortWatcher() = default;

void UdevPortWatcher::Watch(Handler handler) {
    m_handler = std::move(handler);
    if (!m_notifier && m_monitor.fd() >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_monitor.fd(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { OnReadable(); });
    }
    if (m_notifier) {
        // Events that arrive while nobody listens wait in the monitor's socket.
        m_notifier->setEnabled(static_cast<bool>(m_handler));
    }
}

void UdevPortWatcher::OnReadable() {
    // Receive takes every waiting event, so the descriptor is quiet again afterwards.
    const auto events = m_monitor.Receive();
    if (!events.empty() && m_handler) {
        m_handler(events);
    }
}

}  // namespace qk::ui
