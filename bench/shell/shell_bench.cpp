// Timed runs of the desktop shell, in the program directory layout of the build:
//   shell_bench startup          start of the process to the login window shown (ms)
//   shell_bench idle SECONDS     CPU share and resident memory after a login, idle
//   shell_bench shots DIR        pictures of the main window, float, popup and a message box
// Run under a display (xvfb-run) for numbers that include the X11 desktop services.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "accounts/login_window.h"
#include "app/startup.h"
#include "checkout/float_dlg.h"
#include "checkout/main_dlg.h"
#include "checkout/pay_popup_dlg.h"
#include "ui/message_box.h"
#include "ui/skin.h"

using namespace tendrix;

namespace {

// Milliseconds since this process started (from /proc, 1/CLK_TCK resolution).
double MsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string s((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream rest(s.substr(s.rfind(')') + 2));
    std::string field;
    unsigned long long start_ticks = 0;
    for (int i = 3; i <= 22 && rest >> field; ++i)
        if (i == 22) start_ticks = std::stoull(field);
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return uptime * 1000.0 - start_ticks * 1000.0 / sysconf(_SC_CLK_TCK);
}

long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QWidget* TopLevelTitled(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const double at_main = MsSinceProcessStart();
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "startup";
    app::Startup startup = app::RunStartup(context::ExecutableDir());
    const double after_startup = MsSinceProcessStart();
    context::AppConfig& config = *startup.config;
    ui::SetSkinDir(config.skin_dir);
    ui::SetSkinColours(startup.skin);
    app.setStyleSheet(
        ui::ThemeStyleSheet(startup.skin.main, startup.skin.hot, startup.skin.background));

    checkout::CMainDlg::Options options;
    if (mode == "startup") {
        double shown_ms = -1;
        options.login = [&](checkout::CMainDlg& main) {
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (QWidget* land = TopLevelTitled(QStringLiteral("land"))) {
                    if (shown_ms < 0) shown_ms = MsSinceProcessStart();
                    land->close();
                }
            });
            poll.start(1);
            accounts::RunLoginWindow(config, &main);
            return false;
        };
        checkout::CMainDlg dlg(&config, options);
        const double after_main = MsSinceProcessStart();
        dlg.Initialise();
        std::printf(
            "start to login window shown: %.0f ms (main() at %.0f, start-up done %.0f, "
            "main window built %.0f)\n",
            shown_ms, at_main, after_startup, after_main);
        return shown_ms >= 0 ? 0 : 1;
    }

    options.login = [&](checkout::CMainDlg&) {
        config.cashier_name = "demo";
        config.title_suffix = " - 演示商户 (demo)";
        return true;
    };
    checkout::CMainDlg dlg(&config, options);
    dlg.Initialise();

    if (mode == "idle") {
        const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
        dlg.ToggleShowHide();  // idle state: hidden behind the tray and the float
        QTimer::singleShot(2000, [&] {
            const double cpu0 = CpuSeconds();
            QElapsedTimer wall;
            wall.start();
            QTimer::singleShot(seconds * 1000, [&, cpu0, wall] {
                const double cpu = CpuSeconds() - cpu0;
                const double secs = wall.elapsed() / 1000.0;
                std::printf("idle %.1f s: cpu %.3f s = %.2f%% of one core, rss %ld kB\n", secs, cpu,
                            100.0 * cpu / secs, RssKb());
                app.quit();
            });
        });
        app.exec();
        return 0;
    }

    if (mode == "shots" && argc > 2) {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        dlg.SendCommand(common::CheckoutCommand::FloatAmount, "36.00");
        QTimer::singleShot(500, [&] {
            dlg.grab().save(dir + "/main.png");
            for (int tab : {4, 5, 6}) {
                dlg.SelectTab(tab);
                QApplication::processEvents();
                dlg.grab().save(dir + QStringLiteral("/main_tab%1.png").arg(tab));
            }
            dlg.SelectTab(0);
            dlg.FloatWindow()->grab().save(dir + "/float.png");
            dlg.Popup()->ShowResult(QStringLiteral("支付成功！"), QStringLiteral("36.00"));
            QApplication::processEvents();
            dlg.Popup()->grab().save(dir + "/popup.png");
            QTimer::singleShot(300, [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* b = qobject_cast<ui::CDuiMessageBox*>(w); b && b->isVisible()) {
                        b->grab().save(dir + "/msgbox.png");
                        b->close();
                    }
                app.quit();
            });
            ui::CDuiMessageBox::Show(&dlg, QStringLiteral("确定要撤销这笔订单吗？"), {},
                                     ui::CDuiMessageBox::kYesNo);
        });
        app.exec();
        return 0;
    }
    std::fprintf(stderr, "usage: shell_bench startup | idle SECONDS | shots DIR\n");
    return 2;
}
