#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <string_view>

#include "CloseRequestFilter.h"

namespace qk::ui {
namespace {

std::uint32_t InternAtom(xcb_connection_t* connection, std::string_view name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const std::uint32_t atom = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return atom;
}

}  // namespace

CloseRequestFilter::CloseRequestFilter(QWidget& window, std::function<void()> whileBlocked)
    : m_window(window), m_whileBlocked(std::move(whileBlocked)) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;  // another platform (offscreen, Wayland): nothing to see
    }
    m_protocolsAtom = InternAtom(connection, "WM_PROTOCOLS");
    m_deleteWindowAtom = InternAtom(connection, "WM_DELETE_WINDOW");
    qApp->installNativeEventFilter(this);
}

CloseRequestFilter::~CloseRequestFilter() = default;

bool CloseRequestFilter::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t" || m_protocolsAtom == 0) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    const bool closeRequest = client->format == 32 && client->type == m_protocolsAtom &&
                              client->data.data32[0] == m_deleteWindowAtom;
    if (!closeRequest || client->window != m_window.internalWinId() || !Blocked()) {
        return false;
    }
    m_whileBlocked();
    return true;
}

bool CloseRequestFilter::Blocked() const {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal != &m_window;
}

}  // namespace qk::ui
