#include <windows.h>
// After windows.h:
#include <dbt.h>
#include <initguid.h>
// After initguid.h, so that the COM-port interface's GUID is defined here:
#include <winioctl.h>

#include <memory>

#include "ShellPlatform.h"
#include "Win32PortWatcher.h"

namespace qk::ui {

// The window procedure of the watcher's message-only window.
struct Win32PortWatcherWindow {
    static constexpr const wchar_t* kClassName = L"QK4410PortWatcher";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DEVICECHANGE &&
            (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE ||
             wParam == DBT_DEVNODES_CHANGED)) {
            if (auto* watcher =
                    reinterpret_cast<Win32PortWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
                watcher->OnDeviceChange();
            }
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static void Register() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass);  // fails harmlessly when a watcher registered it before
    }
};

Win32PortWatcher::Win32PortWatcher(PortLister listPorts)
    : m_listPorts(std::move(listPorts)), m_known(m_listPorts()) {
    Win32PortWatcherWindow::Register();
    const HWND window = CreateWindowExW(0, Win32PortWatcherWindow::kClassName, L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return;  // stays silent, as a system without hot-plug would
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_window = window;
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_COMPORT;
    m_notification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

Win32PortWatcher::~Win32PortWatcher() {
    if (m_notification != nullptr) {
        UnregisterDeviceNotification(m_notification);
    }
    if (m_window != nullptr) {
        DestroyWindow(static_cast<HWND>(m_window));
    }
}

void Win32PortWatcher::Watch(Handler handler) {
    m_handler = std::move(handler);
}

void Win32PortWatcher::OnDeviceChange() {
    std::vector<PortIdentity> now = m_listPorts();
    const auto events = PortChanges(m_known, now);
    m_known = std::move(now);
    if (!events.empty() && m_handler) {
        m_handler(events);
    }
}

std::unique_ptr<PortWatcher> MakeSystemPortWatcher() {
    return std::make_unique<Win32PortWatcher>();
}

}  // namespace qk::ui
