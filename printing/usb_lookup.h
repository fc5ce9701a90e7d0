#pragma once
// Finds the device file of a USB receipt printer by walking sysfs: the first USB device whose
// description names printing support ("USB Printing Support" for a printer-class interface,
// or a product string containing "打印支持"/"PRINTING SUPPORT" after its first character)
// gives VID_xxxx and PID_xxxx; the first usbmisc printer node (lpN) under a device with that
// VID and PID gives <dev_root>/usb/lpN. Roots are parameters so tests walk a fake tree.
#include <string>

namespace tendrix::printing {

struct UsbPrinter {
    std::string vid;          // "VID_0483"
    std::string pid;          // "PID_5720"
    std::string device_path;  // "/dev/usb/lp0"; empty when not found
};

UsbPrinter FindUsbPrinter(const std::string& sysfs_root = "/sys",
                          const std::string& dev_root = "/dev");

}  // namespace tendrix::printing
