#pragma once
// CSystemSetDlg: the system settings window ("SystemSetDlg.xml") with its pages as tabs.
// Save checks every page's values, runs Save all and shows "保存成功,请重启软件生效！".
#include <map>
#include <string>
#include <vector>

#include "settings/settings_context.h"
#include "settings/settings_save.h"
#include "ui/window.h"

namespace tendrix::settings {

class CSysSettingsPage;

class CSystemSetDlg : public ui::Window {
    Q_OBJECT
  public:
    static constexpr const char* kWindowName = "SystemSetDlg";

    // `context.message`, `pick` and `choose_file` get defaults when empty.
    explicit CSystemSetDlg(SettingsContext context, QWidget* parent = nullptr);
    ~CSystemSetDlg() override;

    // Builds the layout, gives the pages their context and fills them from the settings.
    bool Build();
    const std::vector<CSysSettingsPage*>& Pages() const { return pages_; }
    CSysSettingsPage* PageFor(const std::string& key) const;

    // Every key's value as the pages hold it.
    std::map<std::string, std::string> CollectValues() const;
    // What the save button does; the outcome's message is also shown.
    settings::SaveOutcome Save();

    void Notify(const ui::Notification& msg) override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void PickArea(const std::string& key);
    // A red line under the title when the platform's address travels in clear.
    void ShowLinkWarning();
    SettingsContext ctx_;
    std::vector<CSysSettingsPage*> pages_;
};

// Opens the settings window modally; while one is open, a second call only raises it.
// Returns false when it was already open.
bool RunSystemSetDlg(const SettingsContext& context, QWidget* owner = nullptr);

}  // namespace tendrix::settings
