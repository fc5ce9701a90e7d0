// Times the checkout as the cashier sees it, offscreen, against tendrix-sandbox on loopback:
//  1. Enter in `barcodeinput` until the paid result is shown (popup "支付成功！"), for an
//     order the sandbox pays at the first query; N runs, median and worst.
//  2. The longest gap of a 10-ms ticker while a pending order is polled (three 2-second
//     polls, then paid): how long the user interface can go without handling events.
//  3. The same gap while the platform holds the creation's answer for 10 s (a second
//     sandbox started with --late-answer-ms 10000), from Enter to the paid result.
// Usage: bench_checkout_pay [runs [picture-dir]]   (TENDRIX_BIN_DIR must name the sandbox's
// directory)
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/result_session.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pay_popup_dlg.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/checkout/pages/main_window_fixture.h"
#include "tests/support/qt_app.h"

using namespace tendrix;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    test::SandboxProcess sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "%s\n", sandbox.error().c_str());
        return 1;
    }
    test::TempDir dir;
    context::AppConfig config;
    test::LogInToSandbox(config, sandbox, dir.path() + "data/");
    config.settings.Set(store::keys::sysIsOpenPaySuccessClose, "0");
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    ui::SetSkinDir(std::string(src ? src : TENDRIX_SOURCE_DIR_FALLBACK) + "/UIskin/");
    RecordingDesktop desktop;
    test::RecordingOutputs outputs;
    auto main = test::OpenMainWindow(config, outputs, &desktop);
    checkout::CMainDlg& host = *main;
    test::BoxAnswerer answers;
    auto* money = host.findChild<QLineEdit*>(QStringLiteral("moneyinput"));
    auto* code = host.findChild<QLineEdit*>(QStringLiteral("barcodeinput"));
    // A paid result is shown when the popup comes up; it is hidden before each sale.
    auto* popup = host.Popup();
    auto paid = [&] { return popup->isVisible(); };

    std::vector<double> ms;
    for (int i = 0; i < runs + 1; ++i) {
        host.SelectTab(0);
        money->setText(QStringLiteral("36.00"));
        code->setText(QString::fromStdString(test::PaidCode()));
        popup->hide();
        QElapsedTimer t;
        t.start();
        test::Enter(code);
        if (!test::WaitUntil(paid, 10000)) {
            std::fprintf(stderr, "run %d: no result\n", i);
            return 1;
        }
        const double elapsed = t.nsecsElapsed() / 1e6;
        if (i > 0) ms.push_back(elapsed);  // the first run warms up the skin and the sandbox
    }
    // Optional pictures of the pages (second argument: a directory).
    if (argc > 2) {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        host.grab().save(dir + QStringLiteral("/result_page.png"));
        host.SelectTab(0);
        test::Wait(50);
        host.grab().save(dir + QStringLiteral("/pay_page.png"));
        host.SelectTab(4);
        test::Wait(50);
        host.grab().save(dir + QStringLiteral("/refund_page.png"));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("enter_to_paid_result_ms runs=%d median=%.1f p90=%.1f worst=%.1f best=%.1f\n", runs,
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), ms.front());

    // Responsiveness while a pending order is polled.
    test::LoopGapMeter gaps;
    host.SelectTab(0);
    money->setText(QStringLiteral("12.50"));
    code->setText(QString::fromStdString(test::PendingThenPaidCode()));
    popup->hide();
    gaps.Start();
    test::Enter(code);
    test::WaitUntil(paid, 20000);
    gaps.Stop();
    std::printf(
        "longest_event_loop_gap_while_polling_ms=%lld (ticker 10 ms, 4 queries; "
        "includes time the machine gave to other processes)\n",
        static_cast<long long>(gaps.LongestMs()));

    // Responsiveness while the platform withholds its answer for 10 s.
    {
        test::SandboxProcess::Options options;
        options.extra_args = {"--late-answer-ms", "10000"};
        test::SandboxProcess late(options);
        if (!late.ok()) {
            std::fprintf(stderr, "%s\n", late.error().c_str());
            return 1;
        }
        config.api_base = late.base_url();
        host.SelectTab(0);
        money->setText(QStringLiteral("20.00"));
        code->setText(QString::fromStdString(test::LateAnswerCode()));
        popup->hide();
        QElapsedTimer held;
        held.start();
        gaps.Start();
        test::Enter(code);
        const bool was_paid = test::WaitUntil(paid, 30000);
        gaps.Stop();
        std::printf(
            "longest_event_loop_gap_while_answer_held_ms=%lld (answer held 10 s, Enter to paid "
            "result %.1f s, %s)\n",
            static_cast<long long>(gaps.LongestMs()), held.elapsed() / 1000.0,
            was_paid ? "paid" : "NO RESULT");
        config.api_base = sandbox.base_url();
    }

    // The user interface thread's own share: how long one poll (timer 9's handler: query,
    // parse, result text, unresolved list) keeps it busy, for orders still waiting.
    auto* page = dynamic_cast<checkout::CPayResultDlg*>(host.ResultPage());
    std::vector<double> poll_ms;
    for (int i = 0; i < runs; ++i) {
        host.SelectTab(0);
        money->setText(QStringLiteral("12.50"));
        code->setText(QString::fromStdString(test::PendingThenPaidCode()));
        test::Enter(code);
        QElapsedTimer t;
        t.start();
        page->session()->OnTimer(checkout::kQueryTimerId);
        poll_ms.push_back(t.nsecsElapsed() / 1e6);
        page->session()->OnReturnClick();
    }
    std::sort(poll_ms.begin(), poll_ms.end());
    std::printf("ui_thread_busy_per_poll_ms runs=%d median=%.1f worst=%.1f\n", runs,
                poll_ms[poll_ms.size() / 2], poll_ms.back());
    return 0;
}
