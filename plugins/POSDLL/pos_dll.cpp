// libPOSDLL.so: the printer SDK entry points. The engine uses POS_Open, POS_Close,
// POS_StartDoc, POS_EndDoc, POS_WriteFile and POS_S_SetBarcode; the others exist so that a
// loader resolving the whole set succeeds, and a few of them send their obvious command.
//
// One port is open at a time (the one opened last); POS_Open returns its handle, or the
// invalid handle value (-1) when it cannot be opened. POS_TendrixLastError(buffer, size)
// copies why into the caller's buffer.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/port_map.h"
#include "common/text_codec.h"
#include "plugins/POSDLL/pos_transports.h"

#define POS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using tendrix::plugins::posdll::Transport;

constexpr int kSuccess = 1001;
constexpr int kFailure = 1002;
constexpr int kInvalidHandle = 1003;
constexpr int kNotSupported = 1006;

constexpr int kSerial = 1, kParallel = 18, kDriver = 20, kNetwork = 21;

struct State {
    std::mutex mutex;
    std::unique_ptr<Transport> port;
    intptr_t handle = -1;
    intptr_t next_handle = 1;
    std::string error;
} g;

void* Invalid() {
    return reinterpret_cast<void*>(intptr_t(-1));
}

// data/ beside the program directory that holds this library: <bin>/../data/
std::string DataDir() {
    Dl_info info{};
    std::string dir;
    if (dladdr(reinterpret_cast<void*>(&DataDir), &info) && info.dli_fname) dir = info.dli_fname;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/../data/";
}

// The port map: $TENDRIX_PORT_MAP (the library reads its environment when it is loaded; its
// entry points carry no context), else data/ports.ini beside the program directory.
tendrix::common::PortMap LibraryPortMap() {
    if (const char* env = getenv("TENDRIX_PORT_MAP"); env && *env)
        return tendrix::common::PortMap(env);
    return tendrix::common::PortMap(DataDir() + "ports.ini");
}

tendrix::plugins::posdll::Timeouts TimeoutsFromEnv() {
    tendrix::plugins::posdll::Timeouts t;
    if (const char* v = getenv("TENDRIX_PRINTER_CONNECT_MS"); v && atoi(v) > 0)
        t.connect_ms = atoi(v);
    if (const char* v = getenv("TENDRIX_PRINTER_WRITE_MS"); v && atoi(v) > 0) t.write_ms = atoi(v);
    return t;
}

int WriteLocked(void* handle, const char* bytes, unsigned long length) {
    if (!g.port || reinterpret_cast<intptr_t>(handle) != g.handle) {
        g.error = "no open port with that handle";
        return kInvalidHandle;
    }
    if (!bytes || length == 0) return kSuccess;
    std::string error;
    if (!g.port->Write(std::string_view(bytes, length), error)) {
        g.error = error;
        return kFailure;
    }
    return kSuccess;
}

int WriteCurrent(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(g.mutex);
    return WriteLocked(reinterpret_cast<void*>(g.handle), bytes.data(), bytes.size());
}

}  // namespace

POS_EXPORT void* POS_Open(const char* name, int baud, int /*data_bits*/, int /*stop_bits*/,
                          int /*parity*/, int port_kind) {
    std::lock_guard<std::mutex> lock(g.mutex);
    g.port.reset();
    g.handle = -1;
    g.error.clear();
    const std::string text = name ? name : "";
    const tendrix::plugins::posdll::Timeouts t = TimeoutsFromEnv();
    switch (port_kind) {
        case kSerial:
            g.port = tendrix::plugins::posdll::OpenSerial(LibraryPortMap().Resolve(text), baud, t,
                                                          g.error);
            break;
        case kParallel:
            g.port =
                tendrix::plugins::posdll::OpenParallel(LibraryPortMap().Resolve(text), t, g.error);
            break;
        case kDriver:
            g.port = tendrix::plugins::posdll::OpenCups(tendrix::common::GbkToUtf8(text), g.error);
            break;
        case kNetwork:
            g.port = tendrix::plugins::posdll::OpenNetwork(text, t, g.error);
            break;
        default:
            g.error = "unknown port kind " + std::to_string(port_kind);
            break;
    }
    if (!g.port) return Invalid();
    g.handle = g.next_handle++;
    return reinterpret_cast<void*>(g.handle);
}

POS_EXPORT int POS_Close() {
    std::lock_guard<std::mutex> lock(g.mutex);
    g.port.reset();  // a driver printer's open document is finished first
    g.handle = -1;
    return kSuccess;
}

POS_EXPORT int POS_StartDoc() {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (!g.port) return kInvalidHandle;
    g.port->StartDoc();
    return kSuccess;
}

POS_EXPORT int POS_EndDoc() {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (!g.port) return kInvalidHandle;
    return g.port->EndDoc(g.error) ? kSuccess : kFailure;
}

POS_EXPORT int POS_WriteFile(void* handle, const char* bytes, unsigned long length) {
    std::lock_guard<std::mutex> lock(g.mutex);
    return WriteLocked(handle, bytes, length);
}

// Code 128 and the other GS k types: ESC $ (left position), GS w, GS h, GS f (HRI font),
// GS H (HRI position), GS k type n data.
POS_EXPORT int POS_S_SetBarcode(const char* data, int left_dots, int type, int module_width,
                                int height, int hri_font, int hri_position, int length) {
    if (!data || length < 0 || length > 255) return kFailure;
    std::string out;
    out += "\x1B\x24";
    out += char(left_dots & 0xFF);
    out += char((left_dots >> 8) & 0xFF);
    out += "\x1D\x77";
    out += char(module_width);
    out += "\x1D\x68";
    out += char(height);
    out += "\x1D\x66";
    out += char(hri_font);
    out += "\x1D\x48";
    out += char(hri_position);
    out += "\x1D\x6B";
    out += char(type);
    out += char(length);
    out.append(data, size_t(length));
    return WriteCurrent(out);
}

// Copies the last error (cut to size - 1 bytes, NUL-terminated) and returns its length. The
// text goes into the caller's buffer: a thread-local copy here would outlive the library's
// unloading and leave LeakSanitizer's exit scan a dangling thread-local block.
POS_EXPORT int POS_TendrixLastError(char* out, int size) {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (!out || size <= 0) return 0;
    const size_t n = std::min(g.error.size(), size_t(size - 1));
    g.error.copy(out, n);
    out[n] = '\0';
    return int(n);
}

// Commands with an obvious byte form.
POS_EXPORT int POS_Reset() {
    return WriteCurrent("\x1B\x40");
}
POS_EXPORT int POS_FeedLine() {
    return WriteCurrent("\n");
}
POS_EXPORT int POS_CutPaper(int /*mode*/, int /*distance*/) {
    return WriteCurrent(std::string_view("\x1D\x56\x00", 3));
}
POS_EXPORT int POS_KickOutDrawer(int pin, int on_ms, int off_ms) {
    const char b[5] = {0x1B, 0x70, char(pin ? 1 : 0), char(on_ms / 2), char(off_ms / 2)};
    return WriteCurrent(std::string_view(b, 5));
}
POS_EXPORT int POS_SetLineSpacing(int dots) {
    const char b[3] = {0x1B, 0x33, char(dots)};
    return WriteCurrent(std::string_view(b, 3));
}
POS_EXPORT int POS_GetVersionInfo(int* major, int* minor) {
    if (major) *major = 1;
    if (minor) *minor = 0;
    return kSuccess;
}

// Entries present for the loader; not used by Tendrix.
#define POS_UNSUPPORTED(name) \
    POS_EXPORT int name() {   \
        return kNotSupported; \
    }
POS_UNSUPPORTED(POS_SetMode)
POS_UNSUPPORTED(POS_SetMotionUnit)
POS_UNSUPPORTED(POS_SetCharSetAndCodePage)
POS_UNSUPPORTED(POS_SetRightSpacing)
POS_UNSUPPORTED(POS_PreDownloadBmpToRAM)
POS_UNSUPPORTED(POS_PreDownloadBmpsToFlash)
POS_UNSUPPORTED(POS_QueryStatus)
POS_UNSUPPORTED(POS_RTQueryStatus)
POS_UNSUPPORTED(POS_NETQueryStatus)
POS_UNSUPPORTED(POS_EndSaveFile)
POS_UNSUPPORTED(POS_BeginSaveFile)
POS_UNSUPPORTED(POS_S_SetAreaWidth)
POS_UNSUPPORTED(POS_S_TextOut)
POS_UNSUPPORTED(POS_S_DownloadAndPrintBmp)
POS_UNSUPPORTED(POS_S_PrintBmpInRAM)
POS_UNSUPPORTED(POS_S_PrintBmpInFlash)
POS_UNSUPPORTED(POS_PL_SetArea)
POS_UNSUPPORTED(POS_PL_TextOut)
POS_UNSUPPORTED(POS_PL_DownloadAndPrintBmp)
POS_UNSUPPORTED(POS_PL_PrintBmpInRAM)
POS_UNSUPPORTED(POS_PL_SetBarcode)
POS_UNSUPPORTED(POS_PL_Print)
POS_UNSUPPORTED(POS_PL_Clear)
POS_UNSUPPORTED(POS_ReadFile)
POS_UNSUPPORTED(POS_SetHandle)
