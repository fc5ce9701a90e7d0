// Tendrix entry point: start-up, single instance, then the main window until quit.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

#include "app/startup.h"
#include "checkout/inquiry/register_order_check.h"
#include "checkout/main_dlg.h"
#include "checkout/pages/register_pages.h"
#include "settings/launch_windows.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

int g_quit_pipe[2] = {-1, -1};
bool g_in_main_loop = false;  // the running program's event loop has started

void OnQuitSignal(int sig) {
    const char c = static_cast<char>(sig);
    [[maybe_unused]] ssize_t n = write(g_quit_pipe[1], &c, 1);
}

// SIGTERM, SIGINT and SIGHUP (session end, Ctrl+C) end the event loop, so the main window and
// its workers shut down in order instead of the process dying mid-write.
void QuitOnSignals(QApplication& app) {
    if (pipe2(g_quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_quit_pipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char buf[16];
        int sig = SIGTERM;
        for (ssize_t n; (n = read(g_quit_pipe[0], buf, sizeof buf)) > 0;) sig = buf[n - 1];
        if (g_in_main_loop) {
            QCoreApplication::quit();
            return;
        }
        // Still logging in (modal windows, no workers yet): end as the signal would.
        signal(sig, SIG_DFL);
        raise(sig);
    });
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    tendrix::Startup startup = tendrix::RunStartup(tendrix::ExecutableDir());
    if (!startup.instance->Acquired()) return 0;  // same title already running: leave silently
    tendrix::AppConfig& config = *startup.config;

    QuitOnSignals(app);
    tendrix::ui::SetSkinDir(config.skin_dir);
    app.setStyleSheet(tendrix::ui::ThemeStyleSheet(config.main_colour, config.hot_colour,
                                                   config.background_colour));
    tendrix::RegisterCheckoutPages();
    tendrix::RegisterOrderCheckPage();
    if (!startup.settings_report.database_ok) {
        tendrix::ui::CDuiMessageBox::Show(
            nullptr,
            QString::fromUtf8("设置数据库无法使用，本次使用默认设置运行，原文件未改动。\n") +
                QString::fromStdString(startup.settings_report.problem));
    }
    {
        tendrix::CMainDlg::Options options;
        tendrix::CMainDlg* main_window = nullptr;
        // Tray actions: the settings window and the two selection windows.
        options.launcher = [&](const std::string& what) {
            tendrix::SettingsContext context;
            context.config = &config;
            context.sink = main_window;
            context.desktop = main_window ? main_window->Desktop() : nullptr;
            context.message = [&](const QString& text) {
                tendrix::ui::CDuiMessageBox::Show(nullptr, text);
            };
            return tendrix::LaunchSettingsWindow(what, context, nullptr);
        };
        tendrix::CMainDlg main_dlg(&config, std::move(options));
        main_window = &main_dlg;
        main_dlg.Initialise();
        if (!main_dlg.LoginClosed()) {
            g_in_main_loop = true;
            app.exec();
        }
    }
    return 0;
}
