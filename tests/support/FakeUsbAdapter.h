#pragma once

#include <umockdev.h>

namespace qk::test {

// A CH340 USB serial adapter (USB device, interface, ttyUSB0) in umockdev's fake device
// tree, for as long as this lives; adding it announces it to udev monitors. PlugOut
// announces the tty's removal while the devices stay in the tree.
class FakeUsbAdapter {
  public:
    explicit FakeUsbAdapter(UMockdevTestbed* testbed) : m_testbed(testbed) {
        m_usb = umockdev_testbed_add_device(m_testbed, "usb", "1-1", nullptr, "idVendor", "1a86",
                                            "idProduct", "7523", "product", "USB Serial",
                                            "manufacturer", "QinHeng Electronics", "serial",
                                            "A1B2", nullptr, "DEVTYPE", "usb_device", nullptr);
        m_interface = umockdev_testbed_add_device(m_testbed, "usb", "1-1:1.0", m_usb, nullptr,
                                                  "DEVTYPE", "usb_interface", nullptr);
        m_tty = umockdev_testbed_add_device(m_testbed, "tty", "ttyUSB0", m_interface, nullptr,
                                            "DEVNAME", "/dev/ttyUSB0", "ID_USB_DRIVER", "ch341",
                                            nullptr);
    }
    ~FakeUsbAdapter() {
        for (gchar* device : {m_tty, m_interface, m_usb}) {
            umockdev_testbed_remove_device(m_testbed, device);
            g_free(device);
        }
    }
    FakeUsbAdapter(const FakeUsbAdapter&) = delete;
    FakeUsbAdapter& operator=(const FakeUsbAdapter&) = delete;

    void PlugOut() { umockdev_testbed_uevent(m_testbed, m_tty, "remove"); }

  private:
    UMockdevTestbed* m_testbed;
    gchar* m_usb;
    gchar* m_interface;
    gchar* m_tty;
};

}  // namespace qk::test
