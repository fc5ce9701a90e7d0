#include "accounts/session_start.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tendrix::accounts {

std::string AutostartDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    if (base.back() != '/') base += '/';
    return base + "autostart/";
}

std::string AutostartEntryPath() {
    std::string dir = AutostartDir();
    return dir.empty() ? std::string() : dir + "tendrix.desktop";
}

namespace {

// Quoting of an Exec argument: always quoted, with ", `, $ and \ escaped by a backslash;
// the desktop file format then escapes every backslash once more.
std::string QuoteExecArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Line breaks would end the key; names are single-line.
std::string OneLine(const std::string& s) {
    std::string out;
    for (char c : s) out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

}  // namespace

std::string AutostartEntryText(const std::string& exec_path, const std::string& name) {
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + OneLine(name.empty() ? std::string("Tendrix") : name) + "\n";
    text += "Exec=" + OneLine(QuoteExecArgument(exec_path)) + "\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool SetSessionAutostart(bool on, const std::string& exec_path, const std::string& name) {
    const std::string path = AutostartEntryPath();
    if (path.empty()) return false;
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(path, ec);
        return !ec;
    }
    std::filesystem::create_directories(AutostartDir(), ec);
    // Written beside the entry and renamed over it, so a half-written entry never exists.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << AutostartEntryText(exec_path, name);
        if (!out.flush()) return false;
    }
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

bool SessionAutostartExists() {
    std::string path = AutostartEntryPath();
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

bool StartOnScreenKeyboard(const std::string& command_line) {
    QStringList words = QProcess::splitCommand(QString::fromStdString(command_line));
    if (words.isEmpty()) return false;
    QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

}  // namespace tendrix::accounts
