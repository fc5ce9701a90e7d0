// Tendrix entry point: start-up, single instance, then the main window until quit.
#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "app/startup.h"

#if defined(TENDRIX_HAVE_CHECKOUT)
#include "checkout/main_dlg.h"
#include "ui/message_box.h"
#include "ui/skin.h"
#endif
#if defined(TENDRIX_HAVE_CHECKOUT_PAGES)
#include "checkout/pages/register_pages.h"
#endif
#if defined(TENDRIX_HAVE_SETTINGS)
#include "settings/launch_windows.h"
#endif

#if defined(TENDRIX_HAVE_CHECKOUT)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

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
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    tendrix::Startup startup = tendrix::RunStartup(tendrix::ExecutableDir());
    if (!startup.instance->Acquired()) return 0;  // same title already running: leave silently
    tendrix::AppConfig& config = *startup.config;

#if defined(TENDRIX_HAVE_CHECKOUT)
    QuitOnSignals(app);
    tendrix::ui::SetSkinDir(config.skin_dir);
    app.setStyleSheet(tendrix::ui::ThemeStyleSheet(config.main_colour, config.hot_colour,
                                                   config.background_colour));
#if defined(TENDRIX_HAVE_CHECKOUT_PAGES)
    tendrix::RegisterCheckoutPages();
#endif
    if (!startup.settings_report.database_ok) {
        tendrix::ui::CDuiMessageBox::Show(
            nullptr,
            QString::fromUtf8("设置数据库无法使用，本次使用默认设置运行，原文件未改动。\n") +
                QString::fromStdString(startup.settings_report.problem));
    }
    {
        tendrix::CMainDlg::Options options;
        tendrix::CMainDlg* main_window = nullptr;
#if defined(TENDRIX_HAVE_SETTINGS)
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
#endif
        tendrix::CMainDlg main_dlg(&config, std::move(options));
        main_window = &main_dlg;
        main_dlg.Initialise();
        if (!main_dlg.LoginClosed()) {
            g_in_main_loop = true;
            app.exec();
        }
    }
    return 0;
#else
    QWidget main_window;
    main_window.setWindowTitle(QString::fromStdString(config.soft_name));
    main_window.resize(800, 560);
    main_window.show();
    if (!startup.settings_report.database_ok) {
        QMessageBox::warning(
            &main_window, QString::fromUtf8("提示"),
            QString::fromUtf8("设置数据库无法使用，本次使用默认设置运行，原文件未改动。\n") +
                QString::fromStdString(startup.settings_report.problem));
    }
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    QApplication::setQuitOnLastWindowClosed(true);
    app.exec();
    return 0;
#endif
}
