#pragma once
// What the settings window and its pages use of the rest of the program. Pointers are
// non-owning; any of them may be null (a page then disables what needs it).
#include <QString>
#include <functional>
#include <string>

#include "common/checkout_command.h"

class QWidget;

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::settings {

struct SettingsContext {
    context::AppConfig* config = nullptr;
    common::CommandSink* sink = nullptr;          // the main window: commands 4 and 7
    desktop::DesktopServices* desktop = nullptr;  // for the pointer-following selection window
    // Shows a "提示" message owned by the settings window.
    std::function<void(const QString&)> message;
    // Opens the selection window for a rectangle or point key and returns when it closed.
    std::function<void(const std::string& key)> pick;
    // Asks for a file; "" when cancelled.
    std::function<QString(const QString& title, const QString& start)> choose_file;
};

}  // namespace tendrix::settings
