#include "PortIdentity.h"

#include <array>
#include <string_view>

namespace qk {

std::string PortIdentity::Describe() const {
    if (kind == Kind::BuiltIn) {
        return uartType.empty() ? "built-in port" : "built-in port (" + uartType + " UART)";
    }
    if (kind != Kind::Usb) {
        return {};
    }
    const std::string& model = !modelName.empty() ? modelName : product;
    const std::string& maker = !vendorName.empty() ? vendorName : manufacturer;
    std::string text = model.empty() ? "USB serial adapter" : model;
    if (!maker.empty()) {
        text += " by " + maker;
    }
    std::string details;
    const auto add = [&](const std::string& part) {
        if (!part.empty()) {
            details += (details.empty() ? "" : ", ") + part;
        }
    };
    add(vendorId.empty() ? std::string() : vendorId + ":" + productId);
    add(driver);
    add(serial.empty() ? std::string() : "serial " + serial);
    return details.empty() ? text : text + " (" + details + ")";
}

std::string UartTypeName(int type) {
    // serial_core's PORT_* numbers, as /sys/class/tty/ttyS*/type reports them.
    constexpr std::array<std::string_view, 16> kNames = {
        "unknown", "8250",     "16450",  "16550", "16550A", "Cirrus", "16650",    "16650V2",
        "16750",   "Startech", "16C950", "16654", "16850",  "RSA",    "NS16550A", "XScale"};
    if (type >= 0 && type < static_cast<int>(kNames.size())) {
        return std::string(kNames[static_cast<std::size_t>(type)]);
    }
    return "UART type " + std::to_string(type);
}

}  // namespace qk
