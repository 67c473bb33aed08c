#include <libudev.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string_view>

#include "PortDirectory.h"
#include "SystemPorts.h"

namespace qk {
namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// libudev keeps some state of its own in globals (the seed of its hash tables, set up on
// first use), so the program's threads, several devices at once, take turns with it.
std::mutex& UdevMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string Text(const char* value) {
    return value != nullptr ? value : "";
}

// ttyUSB<n>, ttyACM<n>, ttyS<n>: the families a data terminal's adapter turns up as.
enum class Family { None, Usb, Acm, Uart };

Family FamilyOf(std::string_view name) {
    for (const auto& [prefix, family] : {std::pair<std::string_view, Family>{"ttyUSB", Family::Usb},
                                         {"ttyACM", Family::Acm},
                                         {"ttyS", Family::Uart}}) {
        if (name.size() > prefix.size() && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            return family;
        }
    }
    return Family::None;
}

// The kernel writes its messages to the consoles listed by the console device ("ttyS0
// tty0"); a serial console is the kernel's, not a free port for a device.
bool IsKernelConsole(udev* context, std::string_view name) {
    UdevPtr<udev_device> console(udev_device_new_from_subsystem_sysname(context, "tty", "console"));
    if (!console) {
        return false;
    }
    std::istringstream active(Text(udev_device_get_sysattr_value(console.get(), "active")));
    for (std::string entry; active >> entry;) {
        if (entry == name) {
            return true;
        }
    }
    return false;
}

std::string ByIdLink(udev_device* tty) {
    std::istringstream links(Text(udev_device_get_property_value(tty, "DEVLINKS")));
    for (std::string link; links >> link;) {
        if (link.starts_with("/dev/serial/by-id/")) {
            return link;
        }
    }
    return {};
}

// The identity of a tty device, or nullopt when it is none of the serial ports the tool
// offers: a ttyS placeholder without a UART behind it, or the kernel's console.
std::optional<PortIdentity> Identify(udev* context, udev_device* tty) {
    const std::string name = Text(udev_device_get_sysname(tty));
    const Family family = FamilyOf(name);
    const char* node = udev_device_get_devnode(tty);
    if (family == Family::None || node == nullptr) {
        return std::nullopt;
    }
    PortIdentity identity;
    identity.path = node;
    if (family == Family::Uart) {
        // Every ttyS number has a node whether or not a UART answers behind it; a real one
        // has a parent device, and a type other than 0, the 8250 driver's placeholder.
        const char* type = udev_device_get_sysattr_value(tty, "type");
        if (udev_device_get_parent(tty) == nullptr || (type != nullptr && std::atoi(type) == 0) ||
            IsKernelConsole(context, name)) {
            return std::nullopt;
        }
        identity.kind = PortIdentity::Kind::BuiltIn;
        identity.uartType = type != nullptr ? UartTypeName(std::atoi(type)) : std::string();
        return identity;
    }
    identity.kind = PortIdentity::Kind::Usb;
    identity.byId = ByIdLink(tty);
    identity.driver = Text(udev_device_get_property_value(tty, "ID_USB_DRIVER"));
    identity.vendorName = Text(udev_device_get_property_value(tty, "ID_VENDOR_FROM_DATABASE"));
    identity.modelName = Text(udev_device_get_property_value(tty, "ID_MODEL_FROM_DATABASE"));
    if (udev_device* interface =
            udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_interface");
        identity.driver.empty() && interface != nullptr) {
        identity.driver = Text(udev_device_get_driver(interface));
    }
    // The parent is owned by the child: no unref.
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
        identity.product = Text(udev_device_get_sysattr_value(usb, "product"));
        identity.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
        identity.serial = Text(udev_device_get_sysattr_value(usb, "serial"));
        identity.vendorId = Text(udev_device_get_sysattr_value(usb, "idVendor"));
        identity.productId = Text(udev_device_get_sysattr_value(usb, "idProduct"));
        // udev's serial rules copy the database's names to the tty; the USB device has them
        // where those rules did not run.
        if (identity.vendorName.empty()) {
            identity.vendorName =
                Text(udev_device_get_property_value(usb, "ID_VENDOR_FROM_DATABASE"));
        }
        if (identity.modelName.empty()) {
            identity.modelName =
                Text(udev_device_get_property_value(usb, "ID_MODEL_FROM_DATABASE"));
        }
    }
    return identity;
}

}  // namespace

std::vector<PortIdentity> ListSerialPorts() {
    std::lock_guard lock(UdevMutex());
    std::vector<PortIdentity> ports;
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return ports;
    }
    UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
    udev_enumerate_add_match_subsystem(enumerate.get(), "tty");
    udev_enumerate_scan_devices(enumerate.get());
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumerate.get()); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (tty) {
            if (auto identity = Identify(context.get(), tty.get())) {
                ports.push_back(std::move(*identity));
            }
        }
    }
    return ports;
}

PortDirectory PortDirectory::Discover() {
    return FromPorts(ListSerialPorts());
}

std::optional<PortIdentity> IdentifyPort(const std::string& path) {
    std::error_code error;
    const std::string node = std::filesystem::canonical(path, error).string();
    if (error) {
        return std::nullopt;
    }
    for (auto& port : ListSerialPorts()) {
        if (port.path == node) {
            return std::move(port);
        }
    }
    return std::nullopt;
}

struct PortMonitor::State {
    UdevPtr<udev> context;
    UdevPtr<udev_monitor> monitor;
};

PortMonitor::PortMonitor() : m_state(std::make_unique<State>()) {
    std::lock_guard lock(UdevMutex());
    m_state->context.reset(udev_new());
    if (!m_state->context) {
        return;
    }
    m_state->monitor.reset(udev_monitor_new_from_netlink(m_state->context.get(), "udev"));
    if (!m_state->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_state->monitor.get(), "tty", nullptr) <
            0 ||
        udev_monitor_enable_receiving(m_state->monitor.get()) < 0) {
        m_state->monitor.reset();
    }
}

PortMonitor::~PortMonitor() = default;

int PortMonitor::fd() const {
    return m_state->monitor ? udev_monitor_get_fd(m_state->monitor.get()) : -1;
}

std::vector<PortMonitor::Event> PortMonitor::Receive() {
    std::vector<Event> events;
    if (!m_state->monitor) {
        return events;
    }
    std::lock_guard lock(UdevMutex());
    for (;;) {
        pollfd ready{fd(), POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0) {
            break;
        }
        UdevPtr<udev_device> device(udev_monitor_receive_device(m_state->monitor.get()));
        if (!device) {
            break;
        }
        const std::string action = Text(udev_device_get_action(device.get()));
        if (action == "add") {
            if (auto identity = Identify(m_state->context.get(), device.get())) {
                events.push_back({true, std::move(*identity)});
            }
        } else if (action == "remove") {
            // A removed device has no attributes left to judge by; its node is enough.
            if (const char* node = udev_device_get_devnode(device.get());
                node != nullptr &&
                FamilyOf(Text(udev_device_get_sysname(device.get()))) != Family::None) {
                PortIdentity gone;
                gone.path = node;
                events.push_back({false, std::move(gone)});
            }
        }
    }
    return events;
}

}  // namespace qk
