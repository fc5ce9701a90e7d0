#include "printing/port_check.h"

#include <algorithm>
#include <filesystem>

#include "common/text_codec.h"
#include "printing/receipt_printer.h"

namespace tendrix::printing {
namespace {

// A device file: an absolute path whose target (links resolved, "..", ".") is under /dev/.
bool IsDevicePath(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    std::error_code ec;
    const std::string real = std::filesystem::weakly_canonical(path, ec).string();
    return !ec && real.rfind("/dev/", 0) == 0;
}

// A CUPS queue name: printable, no space, '/', '\\' or '#', at most 127 bytes.
bool IsQueueName(const std::string& name) {
    if (name.empty() || name.size() > 127) return false;
    for (unsigned char c : name) {
        if (c < 0x21 || c == 0x7F || c == '/' || c == '\\' || c == '#') return false;
    }
    return true;
}

// "a.b.c.d" or "a.b.c.d:port" with each part in range.
bool IsNetworkAddress(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    int parts = 0;
    size_t start = 0;
    while (start <= host.size()) {
        const size_t dot = std::min(host.find('.', start), host.size());
        const std::string part = host.substr(start, dot - start);
        if (part.empty() || part.size() > 3 || std::stoi(part) > 255) return false;
        ++parts;
        start = dot + 1;
    }
    if (parts != 4) return false;
    if (colon == std::string::npos) return true;
    const std::string port = text.substr(colon + 1);
    return !port.empty() && port.size() <= 5 &&
           port.find_first_not_of("0123456789") == std::string::npos && std::stoi(port) > 0 &&
           std::stoi(port) <= 65535;
}

}  // namespace

std::string PrinterPortProblem(const std::string& description, const common::PortMap& map) {
    const PortDescription port = ParsePortDescription(description);
    const std::string quoted = "“" + description + "”";
    switch (port.type) {
        case Transport::kSerial:
        case Transport::kParallel: {
            const std::string path = map.Resolve(common::GbkToUtf8(port.name));
            if (IsDevicePath(path)) return {};
            return "打印机端口" + quoted + "对应 " + path + "，不是 /dev 下的设备，已拒绝";
        }
        case Transport::kDriver:
            if (IsQueueName(common::GbkToUtf8(port.name))) return {};
            return "打印机端口" + quoted + "不是有效的打印机队列名，已拒绝";
        case Transport::kNetwork: {
            // Everything after "网口" must be the address itself.
            const size_t at = description.find("网口");
            const std::string rest = description.substr(at + std::string("网口").size());
            if (rest == port.name && IsNetworkAddress(rest)) return {};
            return "打印机端口" + quoted +
                   "不是有效的网络地址（如 192.168.1.100 或 192.168.1.100:9100），已拒绝";
        }
        case Transport::kUsb:
        case Transport::kNone:
            return {};
    }
    return {};
}

}  // namespace tendrix::printing
