#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/checkout_command.h"
#include "input/key_mask_hook.h"
#include "plugins/KeyMask/key_translator.h"
#include "plugins/KeyMask/scanner_reader.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;
using namespace tendrix::input;
using namespace tendrix::plugins;

namespace tendrix {
namespace {

// A recorded key event stream as a scanner (a USB keyboard device) sends it: each key is a
// press and a release, each followed by a SYN_REPORT; upper-case letters come with Shift.
std::vector<input_event> Record(const std::string& text) {
    std::vector<input_event> evs;
    auto add = [&](uint16_t type, uint16_t code, int32_t value) {
        input_event e{};
        e.type = type;
        e.code = code;
        e.value = value;
        evs.push_back(e);
    };
    auto key = [&](uint16_t code, int32_t v) {
        add(EV_MSC, MSC_SCAN, 0x70000 + code);
        add(EV_KEY, code, v);
        add(EV_SYN, SYN_REPORT, 0);
    };
    // Digits and the letter rows as the kernel numbers them.
    const std::pair<const char*, uint16_t> rows[] = {
        {"1234567890", KEY_1}, {"qwertyuiop", KEY_Q}, {"asdfghjkl", KEY_A}, {"zxcvbnm", KEY_Z}};
    for (char c : text) {
        const bool shift = c >= 'A' && c <= 'Z';
        const char lower = shift ? static_cast<char>(c - 'A' + 'a') : c;
        uint16_t code = c == '\r' ? KEY_ENTER : KEY_MINUS;
        for (const auto& [keys, first] : rows)
            if (const char* at = std::strchr(keys, lower)) code = first + (at - keys);
        if (shift) key(KEY_LEFTSHIFT, 1);
        key(code, 1);
        key(code, 0);
        if (shift) key(KEY_LEFTSHIFT, 0);
    }
    return evs;
}

std::string Translate(const std::vector<input_event>& evs, keymask::KeyTranslator& t) {
    std::string out;
    for (const auto& e : evs) {
        if (char c = t.Feed(e.type, e.code, e.value)) out.push_back(c);
    }
    return out;
}

TEST(KeyTranslator, RecordedScannerSequences) {
    keymask::KeyTranslator t;
    EXPECT_EQ(Translate(Record("Ab-Z9\r"), t), "Ab-Z9\r");
    // Caps Lock flips letter case (Shift flips it back); keypad digits and keypad Enter.
    std::vector<input_event> evs = {{{}, EV_KEY, KEY_CAPSLOCK, 1},   {{}, EV_KEY, KEY_CAPSLOCK, 0},
                                    {{}, EV_KEY, KEY_Q, 1},          {{}, EV_KEY, KEY_Q, 0},
                                    {{}, EV_KEY, KEY_RIGHTSHIFT, 1}, {{}, EV_KEY, KEY_Q, 1},
                                    {{}, EV_KEY, KEY_RIGHTSHIFT, 0}, {{}, EV_KEY, KEY_KP7, 1},
                                    {{}, EV_KEY, KEY_KPDOT, 1},      {{}, EV_KEY, KEY_KPENTER, 1},
                                    {{}, EV_KEY, KEY_F1, 1},         {{}, EV_REL, 0, 1}};
    EXPECT_EQ(Translate(evs, t), "Qq7.\r");
}

TEST(ScannerDevice, FoundByNameInSysfs) {
    test::TempDir dir;
    auto make = [&](const std::string& ev, const std::string& name) {
        std::filesystem::create_directories(dir / ("sys/" + ev + "/device"));
        std::ofstream(dir / ("sys/" + ev + "/device/name")) << name << "\n";
    };
    make("event3", "AT Translated Set 2 keyboard");
    make("event12", "Honeywell USB Barcode Reader");
    make("event10", "Symbol SCANNER HID");
    make("mouse0", "Barcode mouse");  // not an event device
    EXPECT_EQ(keymask::FindScannerDevice(dir / "sys", "/dev/input"), "/dev/input/event10");
    EXPECT_EQ(keymask::FindScannerDevice(dir / "none", "/dev/input"), "");
}

int OpenFifoWriter(const std::string& path) {
    // The reader opens the FIFO on its own thread; until then a non-blocking writer gets ENXIO.
    for (int i = 0; i < 1000; ++i) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) return fd;
        usleep(10000);
    }
    return -1;
}

void WriteEvents(int fd, const std::vector<input_event>& evs) {
    const auto* p = reinterpret_cast<const char*>(evs.data());
    size_t left = evs.size() * sizeof(input_event);
    // Written in odd-sized pieces so events straddle reads.
    while (left > 0) {
        const ssize_t n = write(fd, p, std::min<size_t>(left, 37));
        if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
}

// Waits until the reader has taken everything out of the FIFO, plus a moment for it to
// finish handling what it read.
void WaitDrained(int fd) {
    int left = 1;
    for (int i = 0; i < 1000 && left > 0; ++i) {
        if (ioctl(fd, FIONREAD, &left) != 0) break;
        if (left > 0) usleep(5000);
    }
    usleep(100000);
}

TEST(KeyMaskPlugin, RecordedEventsArriveThroughTheLoadedLibraryAndTheHotKeySwitchesIt) {
    const char* bin = std::getenv("TENDRIX_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    test::TempDir dir;
    const std::string fifo = dir / "event7";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    test::RecordingSink sink;  // the plugin posts from its reader thread
    KeyMaskHook hook(std::string(bin) + "/" + KeyMaskHook::kLibraryName, &sink);
    hook.SetDevice(fifo);
    hook.Manage(/*capture_on=*/true, CaptureWay::Keyboard);
    ASSERT_TRUE(hook.Loaded());
    EXPECT_EQ(hook.release_flag(), 0);
    const int w = OpenFifoWriter(fifo);
    ASSERT_GE(w, 0);

    const std::string code = "284567890123456789\r";
    WriteEvents(w, Record(code));
    const std::string got = sink.WaitForBytes(CheckoutCommand::ScannerChar, code.size());
    EXPECT_EQ(got, code);
    sink.Clear();

    // Released: keys pass through and nothing is delivered; shielded again: delivered.
    hook.ToggleFromHotKey();
    EXPECT_EQ(hook.release_flag(), 1);
    WriteEvents(w, Record("555"));
    WaitDrained(w);
    hook.ToggleFromHotKey();
    EXPECT_EQ(hook.release_flag(), 0);
    WriteEvents(w, Record("7"));
    EXPECT_EQ(sink.WaitForBytes(CheckoutCommand::ScannerChar, 1), "7");

    // Capture switched off: the library is stopped and unloaded.
    hook.Manage(false, CaptureWay::Keyboard);
    EXPECT_FALSE(hook.Loaded());
    close(w);
}

TEST(KeyMaskPlugin, MissingLibraryLeavesScanningUnavailable) {
    test::RecordingSink sink;
    KeyMaskHook hook("/nonexistent/libKeyMask.so", &sink);
    hook.Manage(true, CaptureWay::KeyboardEnhanced);
    hook.Manage(true, CaptureWay::KeyboardEnhanced);
    EXPECT_FALSE(hook.Loaded());
    hook.ReleaseOrShield(1);  // harmless
    hook.ToggleFromHotKey();
    EXPECT_FALSE(hook.Loaded());
}

}  // namespace
}  // namespace tendrix
