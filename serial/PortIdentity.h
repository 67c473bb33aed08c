#pragma once

#include <string>

namespace qk {

// What the system says about a serial port, so that an operator can tell which is the
// adapter on the desk: for a USB adapter its maker and model as the hardware database
// names them, the maker and product strings the adapter itself reports (many have none),
// serial number, vendor:product id, kernel driver and stable /dev/serial/by-id name; for a
// built-in port its UART type. Fields the system does not give stay empty.
struct PortIdentity {
    enum class Kind { Unknown, Usb, BuiltIn };

    std::string path;  // the device node, /dev/ttyUSB0
    Kind kind = Kind::Unknown;
    std::string vendorName;  // udev's hardware database: "QinHeng Electronics"
    std::string modelName;   // "CH340 serial converter"
    std::string product;     // the adapter's own strings
    std::string manufacturer;
    std::string serial;
    std::string vendorId;   // "1a86"
    std::string productId;  // "7523"
    std::string driver;     // ch341, cp210x, ftdi_sio, pl2303, cdc_acm, ...
    std::string byId;       // /dev/serial/by-id/usb-...
    std::string uartType;   // "16550A"

    // One line for lists and messages: "CH340 serial converter by QinHeng Electronics
    // (1a86:7523, ch341, serial A1B2)", "built-in port (16550A UART)"; empty when nothing is
    // known. The database's names come first, then the adapter's strings, then the ids.
    std::string Describe() const;
};

// The name serial_core gives a UART type number ("16550A" for 4); "UART type N" for others.
std::string UartTypeName(int type);

}  // namespace qk
