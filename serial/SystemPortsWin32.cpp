#include <windows.h>
// After windows.h:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>

#include "PortDirectory.h"
#include "SystemPorts.h"
#include "Win32Text.h"

namespace qk {
namespace {

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr)) {
        return {};
    }
    return Utf8FromWide(buffer);  // a multi-string's first entry
}

std::string PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    const HKEY key =
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t name[64] = {};
    DWORD size = sizeof name - 2;
    DWORD type = 0;
    const bool found = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                        reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(key);
    return found ? Utf8FromWide(name) : std::string();
}

// "VID_1A86" in a hardware id: the four hex digits after `tag`, in lower case.
std::string IdPart(const std::string& hardwareId, std::string_view tag) {
    const auto at = hardwareId.find(tag);
    if (at == std::string::npos || at + tag.size() + 4 > hardwareId.size()) {
        return {};
    }
    std::string part = hardwareId.substr(at + tag.size(), 4);
    std::ranges::transform(part, part.begin(), [](unsigned char c) { return std::tolower(c); });
    return part;
}

std::string Upper(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// "\\.\COM3" for "COM3", so ports beyond COM9 open too.
std::string DevicePath(const std::string& comName) {
    return "\\\\.\\" + comName;
}

}  // namespace

std::vector<PortIdentity> ListSerialPorts() {
    std::vector<PortIdentity> ports;
    const HDEVINFO devices =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return ports;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string name = PortName(devices, device);
        if (!Upper(name).starts_with("COM")) {
            continue;  // a printer port
        }
        PortIdentity port;
        port.path = DevicePath(name);
        const std::string hardwareId = Upper(DeviceProperty(devices, device, SPDRP_HARDWAREID));
        port.kind = hardwareId.starts_with("USB\\") || hardwareId.starts_with("FTDIBUS\\")
                        ? PortIdentity::Kind::Usb
                        : PortIdentity::Kind::BuiltIn;
        port.product = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
        if (const auto suffix = port.product.rfind(" (" + name + ")");
            suffix != std::string::npos) {
            port.product.erase(suffix);
        }
        port.manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
        port.vendorId = IdPart(hardwareId, "VID_");
        port.productId = IdPart(hardwareId, "PID_");
        port.driver = DeviceProperty(devices, device, SPDRP_SERVICE);
        ports.push_back(std::move(port));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return ports;
}

PortDirectory PortDirectory::Discover() {
    // COMn is the system's COMn, whether or not SetupAPI lists it (a port another driver
    // made, a mapping of Wine's): every number stands for its own device name.
    return FromSystemNumbers(ListSerialPorts(), DevicePath("COM"));
}

std::optional<PortIdentity> IdentifyPort(const std::string& path) {
    const std::string wanted = Upper(path.starts_with("\\\\.\\") ? path : DevicePath(path));
    for (auto& port : ListSerialPorts()) {
        if (Upper(port.path) == wanted) {
            return std::move(port);
        }
    }
    return std::nullopt;
}

struct PortMonitor::State {};

PortMonitor::PortMonitor() : m_state(std::make_unique<State>()) {}
PortMonitor::~PortMonitor() = default;

int PortMonitor::fd() const {
    return -1;
}

std::vector<PortMonitor::Event> PortMonitor::Receive() {
    return {};
}

}  // namespace qk
