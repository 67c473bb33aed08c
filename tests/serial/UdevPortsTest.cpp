// What udev says about serial ports, from a fake device tree: umockdev's testbed stands in
// for /sys, /dev and udev's events (the test runs under umockdev-wrapper), so the real
// libudev calls are what is tested. The monitor of ports that come and go is tried through
// the window that uses it (tests/ui/UdevWatchTest.cpp).
#include <gtest/gtest.h>
#include <umockdev.h>

#include <algorithm>

#include "SystemPorts.h"

namespace qk {
namespace {

class UdevPortsTest : public testing::Test {
  protected:
    UdevPortsTest() : testbed(umockdev_testbed_new()) {}
    ~UdevPortsTest() override { g_object_unref(testbed); }

    // A USB adapter: the device with its strings, its interface, and the tty under it.
    void AddUsbAdapter(const char* tty, const char* driver, const char* serial) {
        g_autofree gchar* device = umockdev_testbed_add_device(
            testbed, "usb", (std::string("1-") + tty).c_str(), nullptr, "idVendor", "1a86",
            "idProduct", "7523", "product", "USB Serial", "manufacturer", "QinHeng Electronics",
            "serial", serial, nullptr, "DEVTYPE", "usb_device", nullptr);
        g_autofree gchar* interface =
            umockdev_testbed_add_device(testbed, "usb", (std::string("1-") + tty + ":1.0").c_str(),
                                        device, nullptr, "DEVTYPE", "usb_interface", nullptr);
        const std::string node = std::string("/dev/") + tty;
        const std::string link =
            std::string("/dev/serial/by-id/usb-1a86_USB_Serial_") + serial + "-if00";
        g_free(umockdev_testbed_add_device(testbed, "tty", tty, interface, nullptr, "DEVNAME",
                                           node.c_str(), "ID_USB_DRIVER", driver, "DEVLINKS",
                                           ("/dev/serial/by-path/x " + link).c_str(), nullptr));
    }
    // A ttyS port; `type` its UART type, `withParent` whether a device stands behind it.
    void AddUart(const char* tty, const char* type, bool withParent) {
        g_autofree gchar* parent =
            withParent ? umockdev_testbed_add_device(testbed, "platform",
                                                     (std::string("serial-") + tty).c_str(),
                                                     nullptr, nullptr, nullptr)
                       : nullptr;
        g_free(umockdev_testbed_add_device(testbed, "tty", tty, parent, "type", type, nullptr,
                                           "DEVNAME", (std::string("/dev/") + tty).c_str(),
                                           nullptr));
    }

    UMockdevTestbed* testbed;
};

TEST_F(UdevPortsTest, AdaptersAndRealUartsAreListedWithWhatTheSystemSays) {
    AddUsbAdapter("ttyUSB0", "ch341", "A1B2");
    AddUsbAdapter("ttyACM0", "cdc_acm", "C3");
    AddUart("ttyS0", "4", true);   // a 16550A
    AddUart("ttyS1", "0", true);   // a placeholder: no UART behind it
    AddUart("ttyS2", "4", false);  // no device behind it
    AddUart("ttyS3", "4", true);   // the kernel's console
    g_free(umockdev_testbed_add_device(testbed, "tty", "console", nullptr, "active", "ttyS3 tty0",
                                       nullptr, nullptr));
    g_free(umockdev_testbed_add_device(testbed, "tty", "tty0", nullptr, nullptr, "DEVNAME",
                                       "/dev/tty0", nullptr));
    // A CH340 that reports no strings of its own: the hardware database names it.
    g_autofree gchar* bare = umockdev_testbed_add_device(
        testbed, "usb", "1-9", nullptr, "idVendor", "1a86", "idProduct", "7523", nullptr, "DEVTYPE",
        "usb_device", "ID_VENDOR_FROM_DATABASE", "QinHeng Electronics", "ID_MODEL_FROM_DATABASE",
        "CH340 serial converter", nullptr);
    g_autofree gchar* bareInterface = umockdev_testbed_add_device(
        testbed, "usb", "1-9:1.0", bare, nullptr, "DEVTYPE", "usb_interface", nullptr);
    g_free(umockdev_testbed_add_device(testbed, "tty", "ttyUSB9", bareInterface, nullptr, "DEVNAME",
                                       "/dev/ttyUSB9", "ID_USB_DRIVER", "ch341", nullptr));
    std::vector<std::string> described;
    for (const auto& port : ListSerialPorts()) {
        described.push_back(port.path + ": " + port.Describe() + " " + port.byId);
    }
    std::ranges::sort(described);
    EXPECT_EQ(described,
              (std::vector<std::string>{
                  "/dev/ttyACM0: USB Serial by QinHeng Electronics (1a86:7523, cdc_acm, serial C3) "
                  "/dev/serial/by-id/usb-1a86_USB_Serial_C3-if00",
                  "/dev/ttyS0: built-in port (16550A UART) ",
                  "/dev/ttyUSB0: USB Serial by QinHeng Electronics (1a86:7523, ch341, serial A1B2) "
                  "/dev/serial/by-id/usb-1a86_USB_Serial_A1B2-if00",
                  "/dev/ttyUSB9: CH340 serial converter by QinHeng Electronics (1a86:7523, "
                  "ch341) "}));
}

}  // namespace
}  // namespace qk
