#include "settings/launch_windows.h"

#include "capture/selection/capture_dlg.h"
#include "context/app_config.h"
#include "settings/system_set_dlg.h"
#include "ui/message_box.h"

namespace tendrix::settings {

bool LaunchSettingsWindow(const std::string& what, const SettingsContext& context, QWidget* owner) {
    if (what == "settings") {
        RunSystemSetDlg(context, owner);
        return true;
    }
    if (what != "focus-capture" && what != "window-capture") return false;
    if (!context.config) return true;
    if (what == "focus-capture") {
        capture::selection::RunCaptureDlg(context.config->settings, owner, context.desktop,
                                          context.config->environment.plugin_dir);
    } else if (context.desktop) {
        capture::selection::RunCaptureDlgByHwnd(context.config->settings, *context.desktop, owner);
    } else {
        ui::ShowMessage(owner, "无法访问桌面，不能选取窗口！");
    }
    return true;
}

}  // namespace tendrix::settings
