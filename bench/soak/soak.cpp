// Sales in a row through the real main window (offscreen) against tendrix-sandbox on loopback,
// every receipt printed to a loopback network printer through the print log and the print
// service. The payment codes cycle through the sandbox's scripted endings and every tenth sale
// carries one of its fault amounts (0.01 to 0.05). Every 100 sales it prints the resident size
// and the open descriptors; at the end the growth from sale 100 on.
//
// Usage: bench_soak [sales [report-every]]   (TENDRIX_BIN_DIR names the sandbox's directory)
#include <dirent.h>
#include <malloc.h>

#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <fstream>
#include <string>

#include "checkout/main_dlg.h"
#include "checkout/output_sinks.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/register_pages.h"
#include "checkout/pages/result_session.h"
#include "checkout/pay_popup_dlg.h"
#include "store/settings_keys.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/checkout/pages/main_window_fixture.h"
#include "tests/printing/printer_peers.h"
#include "ui/skin.h"
#include "ui/skin_colours.h"
#include "voice/wave.h"

using namespace tendrix;

namespace {

long ResidentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int OpenFds() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n - 3;  // ".", ".." and the directory's own descriptor
}

// Codes: mostly paid at once (0-4), a refusal (7) and a deposit (8) in every cycle, the slow
// ones (5: three polls; 6: timed out; 9: late answer) once in 50 sales.
char CodeEnding(int sale) {
    static const char kCycle[] = "0123478012";
    if (sale % 50 == 17) return '5';
    if (sale % 50 == 33) return '6';
    if (sale % 50 == 41) return '9';
    return kCycle[sale % 10];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sales = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int every = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    test::SandboxProcess sandbox(test::SandboxProcess::Options{{}, {"--late-answer-ms", "1500"}});
    if (!sandbox.ok()) {
        std::fprintf(stderr, "%s\n", sandbox.error().c_str());
        return 1;
    }
    test::LoopbackPrinter printer;
    printer.KeepJobs(false);
    test::TempDir dir;
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    const std::string skin_dir = std::string(src ? src : TENDRIX_SOURCE_DIR_FALLBACK) + "/UIskin/";
    ui::SetSkinDir(skin_dir);
    // The program's theme over all its windows, as the program sets it at start. Without it
    // Qt paints some buttons through another path, which fills its pixmap cache (up to its
    // 10 MB limit) with a new image per paint: growth the program itself does not have.
    const ui::SkinColours skin = ui::LoadSkinColours(skin_dir);
    app.setStyleSheet(ui::ThemeStyleSheet(skin.main, skin.hot, skin.background));

    context::AppConfig config;
    test::LogInToSandbox(config, sandbox, dir.path() + "data/");
    config.soft_name = "TendrixSoak";
    config.log_dir = dir.path() + "log/";
    config.voice_dir = dir.path() + "Voice/";
    config.settings.Set(store::keys::sysIsOpenVoicePrompt, "TRUE");
    config.settings.Set(store::keys::sysIsOpenPaySuccessClose, "0");
    config.settings.Set(store::keys::sysAutoPrintBill, "TRUE");
    config.settings.Set(store::keys::sysPrinterPortWay, "网口");
    config.settings.Set(store::keys::sysPrinterNetIp, printer.address());
    config.settings.Set(store::keys::sysPrintBillPath, dir.path() + "printlog/");
    checkout::RegisterCheckoutPages();

    // The real voice player, silent; the real receipts (print log writer and print service).
    const auto voice_sink =
        checkout::MakePlayerVoiceSink([] { return std::make_unique<voice::NullOutput>(); });
    checkout::CMainDlg::Options o;
    o.login = [](checkout::CMainDlg&) { return true; };
    o.use_x11_desktop = false;
    o.voice = voice_sink.get();
    o.start_devices = true;
    o.launcher = [](const std::string&) { return true; };
    checkout::CMainDlg main(&config, o);
    if (!main.Initialise()) {
        std::fprintf(stderr, "main window did not start\n");
        return 1;
    }
    test::BoxAnswerer answers;
    auto* money = main.findChild<QLineEdit*>(QStringLiteral("moneyinput"));
    auto* code = main.findChild<QLineEdit*>(QStringLiteral("barcodeinput"));
    if (!money || !code) return 1;

    long rss100 = 0;
    int fds100 = 0;
    int unanswered = 0;
    QElapsedTimer clock;
    clock.start();
    std::printf("sale rss_kb fds printer_jobs boxes seconds\n");
    for (int sale = 1; sale <= sales; ++sale) {
        main.Popup()->hide();
        main.SelectTab(checkout::checkout_tab::kPay);
        const bool fault = sale % 10 == 5;
        const std::string amount = fault ? "0.0" + std::to_string(1 + sale / 10 % 5) : "12.34";
        money->setText(QString::fromStdString(amount));
        code->setText(QString::fromStdString(test::Code(CodeEnding(sale))));
        const size_t boxes = answers.texts.size();
        test::Enter(code);
        // Done when the result page holds a new final state (anything but none and pending) or
        // a message box was answered (refusals, faults).
        const auto result_text = [&] {
            auto* page = dynamic_cast<checkout::CPayResultDlg*>(main.ResultPage());
            return page && page->session() ? page->session()->result_text() : std::string();
        };
        const std::string before = result_text();
        if (!test::WaitUntil(
                [&] {
                    const std::string now = result_text();
                    const int st = checkout::PayResultSession::StateOf(now);
                    // The reminder of unconfirmed orders comes before the payment starts.
                    for (size_t i = boxes; i < answers.texts.size(); ++i)
                        if (!answers.texts[i].startsWith(
                                QStringLiteral("以下订单的支付结果尚未确认")))
                            return true;
                    return now != before && st != 0 && st != 1;
                },
                30000))
            ++unanswered;
        test::Wait(20);
        if (std::getenv("SOAK_VERBOSE") && answers.texts.size() > boxes)
            std::fprintf(stderr, "sale %d: %s\n", sale, answers.texts.back().toStdString().c_str());
        if (answers.texts.size() > 64) answers.texts.clear();
        if (sale % every == 0) {
            malloc_trim(0);
            const long rss = ResidentKb();
            const int fds = OpenFds();
            if (sale == every) rss100 = rss, fds100 = fds;
            std::printf("%d %ld %d %zu %zu %.0f\n", sale, rss, fds, printer.JobCount(),
                        answers.texts.size(), clock.elapsed() / 1000.0);
            std::fflush(stdout);
        }
    }
    const long rss = ResidentKb();
    const int fds = OpenFds();
    std::printf("growth from sale %d to %d: rss %+ld kB, fds %+d; sales without a result: %d\n",
                every, sales, rss - rss100, fds - fds100, unanswered);
    return 0;
}
