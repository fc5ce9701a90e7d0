#include "printing/usb_lookup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tendrix::printing {
namespace fs = std::filesystem;
namespace {

std::string ReadTrimmed(const fs::path& file) {
    std::ifstream in(file);
    std::string s;
    std::getline(in, s);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

std::vector<fs::path> SortedEntries(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path());
    std::sort(out.begin(), out.end());
    return out;
}

bool HasPrinterInterface(const fs::path& device) {
    for (const fs::path& entry : SortedEntries(device)) {
        if (entry.filename().string().find(':') == std::string::npos) continue;
        if (ReadTrimmed(entry / "bInterfaceClass") == "07") return true;
    }
    return false;
}

// The 8 characters starting at `key` ("VID_"), or empty.
std::string Take8(const std::string& upper, const std::string& key) {
    const size_t at = upper.find(key);
    if (at == std::string::npos || at + 8 > upper.size()) return {};
    return upper.substr(at, 8);
}

bool ContainsAfterFirst(const std::string& hay, const std::string& needle) {
    const size_t at = hay.find(needle);
    return at != std::string::npos && at > 0;
}

}  // namespace

UsbPrinter FindUsbPrinter(const std::string& sysfs_root, const std::string& dev_root) {
    const fs::path root(sysfs_root);
    for (const fs::path& device : SortedEntries(root / "bus" / "usb" / "devices")) {
        const std::string vendor = ReadTrimmed(device / "idVendor");
        const std::string product_id = ReadTrimmed(device / "idProduct");
        if (vendor.empty() || product_id.empty()) continue;
        const std::string description =
            Upper(HasPrinterInterface(device) ? std::string("USB Printing Support")
                                              : ReadTrimmed(device / "product"));
        if (!ContainsAfterFirst(description, "打印支持") &&
            !ContainsAfterFirst(description, "PRINTING SUPPORT"))
            continue;

        const std::string instance =
            Upper("USB\\VID_" + vendor + "&PID_" + product_id + "\\" + device.filename().string());
        UsbPrinter found{Take8(instance, "VID_"), Take8(instance, "PID_"), {}};
        if (found.vid.empty() || found.pid.empty()) continue;

        for (const fs::path& node : SortedEntries(root / "class" / "usbmisc")) {
            std::error_code ec;
            const fs::path real = fs::canonical(node, ec);
            if (ec) continue;
            // lpN -> usbmisc -> interface -> device
            const fs::path owner = real.parent_path().parent_path().parent_path();
            const std::string path =
                Upper("\\\\?\\USB#VID_" + ReadTrimmed(owner / "idVendor") + "&PID_" +
                      ReadTrimmed(owner / "idProduct") + "#" + node.filename().string());
            if (ContainsAfterFirst(path, found.vid) && ContainsAfterFirst(path, found.pid)) {
                found.device_path = dev_root + "/usb/" + node.filename().string();
                return found;
            }
        }
    }
    return {};
}

}  // namespace tendrix::printing
