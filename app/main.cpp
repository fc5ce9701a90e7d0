// Tendrix entry point: start-up, single instance, then the main window until quit.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "checkout/main_dlg.h"
#include "context/version.h"
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

constexpr const char* kHelp =
    "Usage: tendrix [--help] [--version]\n"
    "\n"
    "Cashier assistant: takes the sale amount from the point-of-sale program, the payment code\n"
    "from a barcode scanner, takes the payment on the payment platform and prints the receipt.\n"
    "It runs behind a tray icon; an X11 desktop is needed. Only one instance per program title\n"
    "runs; a second start leaves at once.\n"
    "\n"
    "Files:\n"
    "  <program dir>/UIskin/compmessage.txt  company texts, api_base (platform address)\n"
    "  $XDG_CONFIG_HOME/tendrix/compmessage.txt, $XDG_CONFIG_HOME/tendrix/UIskin/\n"
    "                                        the user's own company file and skin\n"
    "  <program dir>/../data, ../log         settings, cashiers, port map; logs (writable\n"
    "                                        program folder)\n"
    "  $XDG_DATA_HOME/tendrix/data, $XDG_STATE_HOME/tendrix/log\n"
    "                                        the same for an installed program\n"
    "\n"
    "Environment:\n"
    "  TENDRIX_API_BASE   platform address (overrides api_base)\n"
    "  TENDRIX_PORT_MAP   serial/parallel port map file (default data/ports.ini)\n"
    "\n"
    "tendrix-cli doctor checks this till's display, devices, printer and platform.\n";

// --help and --version answer without a display (before the toolkit starts).
bool AnsweredCommandLine(int argc, char** argv, int& exit_code) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            exit_code = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tendrix %s\n", tendrix::context::kVersion);
            exit_code = 0;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (int rc = 0; AnsweredCommandLine(argc, argv, rc)) return rc;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    tendrix::app::Startup startup = tendrix::app::RunStartup(tendrix::context::ExecutableDir());
    if (!startup.instance->Acquired()) return 0;  // same title already running: leave silently
    tendrix::context::AppConfig& config = *startup.config;

    QuitOnSignals(app);
    tendrix::ui::SetSkinDir(config.skin_dir);
    // The tray and the window manager show the program's icon; the desktop entry is matched
    // by its name.
    QApplication::setWindowIcon(QIcon(QString::fromStdString(config.skin_dir + "image/tray.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("tendrix"));
    tendrix::ui::SetSkinColours(startup.skin);
    app.setStyleSheet(
        tendrix::ui::ThemeStyleSheet(startup.skin.main, startup.skin.hot, startup.skin.background));
    if (!startup.settings_report.database_ok) {
        tendrix::ui::CDuiMessageBox::Show(
            nullptr,
            QString::fromUtf8("设置数据库无法使用，本次使用默认设置运行，原文件未改动。\n") +
                QString::fromStdString(startup.settings_report.problem));
    }
    {
        tendrix::checkout::CMainDlg::Options options;
        tendrix::checkout::CMainDlg* main_window = nullptr;
        // Tray actions: the settings window and the two selection windows.
        options.launcher = [&](const std::string& what) {
            tendrix::settings::SettingsContext context;
            context.config = &config;
            context.sink = main_window;
            context.desktop = main_window ? main_window->Desktop() : nullptr;
            context.message = [&](const QString& text) {
                tendrix::ui::CDuiMessageBox::Show(nullptr, text);
            };
            return tendrix::settings::LaunchSettingsWindow(what, context, nullptr);
        };
        tendrix::checkout::CMainDlg main_dlg(&config, std::move(options));
        main_window = &main_dlg;
        main_dlg.Initialise();
        if (!main_dlg.LoginClosed()) {
            g_in_main_loop = true;
            app.exec();
        }
    }
    return 0;
}
