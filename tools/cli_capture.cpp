// tendrix-cli capture commands: what an installer checks from a terminal.
//   display --listen PORT [--forward PORT] [--baud N] [--filter TEXT] [--raw]
//   ocr IMAGE... [--plugin-dir DIR]
//   logtail PATTERN [--filter TEXT]
// PORT is "COMn" (resolved through data/ports.ini or $TENDRIX_PORT_MAP) or a device path.
//
// Exit codes: 0 success (display/logtail: stopped by a signal); 1 usage error or unreadable
// input; 2 a port cannot be opened or goes away, or the recognition library is not ready.
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/amount_filter.h"
#include "capture/amount_reader.h"
#include "capture/capture_sources.h"
#include "capture/image_prep.h"
#include "capture/log_tail.h"
#include "capture/ocr_plugin.h"
#include "capture/serial_port.h"
#include "common/port_map.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
namespace {

constexpr int kExitOk = 0, kExitUsage = 1, kExitDevice = 2;

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

// The options after the sub-command: "--name value" pairs, "--raw", and positionals.
struct Options {
    std::map<std::string, std::string> values;
    std::vector<std::string> positional;
    bool raw = false;
    std::string error;
};

Options ParseOptions(const std::vector<std::string>& args, const std::string& command) {
    Options o;
    bool after_command = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!after_command) {
            after_command = a == command;
            continue;
        }
        if (a == "--raw") {
            o.raw = true;
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (i + 1 >= args.size()) {
                o.error = a + " needs a value";
                return o;
            }
            o.values[a] = args[++i];
        } else {
            o.positional.push_back(a);
        }
    }
    return o;
}

// Collects what the readers post; the main thread drains it.
class QueueSink : public common::CommandSink {
  public:
    void SendCommand(common::CheckoutCommand cmd, std::string payload) override {
        PostCommand(cmd, std::move(payload));
    }
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.emplace_back(cmd, std::move(payload));
        }
        cv_.notify_one();
    }
    std::optional<std::pair<common::CheckoutCommand, std::string>> Next(
        std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, wait, [&] { return !queue_.empty(); })) return std::nullopt;
        auto item = std::move(queue_.front());
        queue_.pop_front();
        return item;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::pair<common::CheckoutCommand, std::string>> queue_;
};

common::PortMap InstallationPorts() {
    context::AppConfig config = InstallationConfig();
    return common::PortMap(config.PortMapFile());
}

void InstallSignals() {
    g_stop = 0;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

int RunDisplay(const std::vector<std::string>& args) {
    const Options o = ParseOptions(args, "display");
    if (!o.error.empty() || !o.values.count("--listen")) {
        std::fprintf(stderr, "%s\n",
                     o.error.empty() ? "display needs --listen PORT" : o.error.c_str());
        return kExitUsage;
    }
    const common::PortMap ports = InstallationPorts();
    const auto pattern =
        capture::BuildFilterPattern(o.values.count("--filter") ? o.values.at("--filter") : "无");
    int baud = 2400;  // the default of sysBaudRateSet
    if (o.values.count("--baud")) baud = std::atoi(o.values.at("--baud").c_str());

    QueueSink sink;
    capture::SerialPort forward(capture::SerialPort::Variant::Display, ports);
    if (o.values.count("--forward") && !forward.Open(o.values.at("--forward"), baud)) {
        std::fprintf(stderr, "%s (%s)\n", capture::kForwardOpenFailed, forward.Error().c_str());
        return kExitDevice;
    }
    capture::SerialPort listen(capture::SerialPort::Variant::Display, ports);
    if (!listen.Open(o.values.at("--listen"), 9600)) {
        std::fprintf(stderr, "%s (%s)\n", capture::kListenOpenFailed, listen.Error().c_str());
        return kExitDevice;
    }
    listen.SetTarget(&sink, common::CheckoutCommand::DisplayData);
    listen.StartReader();
    InstallSignals();
    while (!g_stop) {
        auto item = sink.Next(std::chrono::milliseconds(100));
        if (!item) continue;
        if (item->first == common::CheckoutCommand::ShowMessage) {
            std::fprintf(stderr, "%s\n", common::GbkToUtf8(item->second).c_str());
            return kExitDevice;
        }
        const std::string& chunk = item->second;
        if (o.raw) std::printf("# %s\n", capture::DisplayForm(chunk).c_str());
        if (auto amount = capture::ExtractDisplayAmount(chunk, pattern))
            std::printf("%s\n", common::GbkToUtf8(*amount).c_str());
        std::fflush(stdout);
        if (forward.IsOpen() && !forward.Write(chunk))
            std::fprintf(stderr, "%s\n", capture::kForwardWriteFailed);
    }
    return kExitOk;
}

// One line per file, in order: the amount (empty line when none). Unreadable files are
// reported on stderr and leave an empty line, so the lines stay aligned with the files;
// the exit code is then 1.
int RunOcr(const std::vector<std::string>& args) {
    const Options o = ParseOptions(args, "ocr");
    if (!o.error.empty() || o.positional.empty()) {
        std::fprintf(stderr, "usage: tendrix-cli ocr IMAGE... [--plugin-dir DIR]\n");
        return kExitUsage;
    }
    capture::OcrPlugin plugin;
    const std::string dir = o.values.count("--plugin-dir")
                                ? o.values.at("--plugin-dir") + "/"
                                : capture::PluginDirectory(StartEnvironment().plugin_dir);
    if (plugin.Load(dir) != capture::OcrPlugin::Status::Ready) {
        std::fprintf(stderr, "%s\n", plugin.Error().c_str());
        return kExitDevice;
    }
    int exit_code = kExitOk;
    for (const std::string& path : o.positional) {
        const desktop::ScreenImage picture = capture::LoadImageFile(path);
        if (picture.empty()) {
            std::fprintf(stderr, "cannot read image %s\n", path.c_str());
            std::printf("\n");
            exit_code = kExitUsage;
            continue;
        }
        std::printf("%s\n", capture::ReadAmountPicture(picture, &plugin).amount.c_str());
    }
    return exit_code;
}

int RunLogTail(const std::vector<std::string>& args) {
    const Options o = ParseOptions(args, "logtail");
    if (!o.error.empty() || o.positional.size() != 1) {
        std::fprintf(stderr, "usage: tendrix-cli logtail PATTERN [--filter TEXT]\n");
        return kExitUsage;
    }
    const auto pattern =
        capture::BuildFilterPattern(o.values.count("--filter") ? o.values.at("--filter") : "无");
    QueueSink sink;
    capture::LogTail tail;
    tail.Start(&sink, common::CheckoutCommand::DisplayData, o.positional[0]);
    std::fprintf(stderr, "following %s\n", tail.CurrentPath().c_str());
    InstallSignals();
    while (!g_stop) {
        auto item = sink.Next(std::chrono::milliseconds(100));
        if (!item) continue;
        if (auto amount = capture::ExtractDisplayAmount(item->second, pattern)) {
            std::printf("%s\n", common::GbkToUtf8(*amount).c_str());
            std::fflush(stdout);
        }
    }
    tail.Stop();
    return kExitOk;
}

CliRegistrar display_cmd(
    "display",
    "  display --listen PORT [--forward PORT] [--baud N] [--filter TEXT] [--raw]\n"
    "      listen to a customer-display port, print each amount found, forward the bytes\n"
    "      (PORT: COMn through data/ports.ini or $TENDRIX_PORT_MAP, or a device path;\n"
    "      --baud: forwarding speed, default 2400; --raw: also print the bytes' display form)",
    RunDisplay, {"--raw"});
CliRegistrar ocr_cmd("ocr",
                     "  ocr IMAGE... [--plugin-dir DIR]\n"
                     "      print the amount recognised in each image file, one line per file\n"
                     "      (the capture worker's reading: threshold, libTesseractDLL.so or the\n"
                     "      seven-segment reader, amount filter)",
                     RunOcr);
CliRegistrar logtail_cmd("logtail",
                         "  logtail PATTERN [--filter TEXT]\n"
                         "      follow a POS log file (YYYY, MM, DD placeholders) and print the "
                         "amount of each delivered line",
                         RunLogTail);

}  // namespace
}  // namespace tendrix::tools
