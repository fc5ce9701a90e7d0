#pragma once
// The cashier permission window: one row per cashier (number, name, refund permission choice);
// saving sends every visible row's choice to the platform and shows each answer.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "accounts/cashier_permissions.h"
#include "accounts/net_settings.h"
#include "context/app_config.h"
#include "ui/window.h"

class QComboBox;
class QLabel;
class QVBoxLayout;

namespace tendrix::accounts {

class CCahierJurisdictionSetDlg : public ui::Window {
    Q_OBJECT
  public:
    struct Row {
        QWidget* row = nullptr;
        QLabel* lab_id = nullptr;
        QLabel* lab_cashier_name = nullptr;
        QComboBox* sysRefundSet = nullptr;
    };

    // names: the cashiers to show, in order; permissions: their current texts (preselected;
    // missing or unknown entries preselect "扫码可退"). merchant id, API key and proxy come from
    // the settings page that opens the window.
    CCahierJurisdictionSetDlg(const context::AppConfig* config, const NetSettings& net,
                              const std::vector<std::string>& names,
                              const std::vector<std::string>& permissions, QWidget* owner);
    void Notify(const ui::Notification& msg) override;

    // One request and one message box per visible row, in order. The requests run off the
    // window thread, one after the other; while they do, btn_save_jurisdiction shows the
    // progress and is disabled. `done` (optional) receives the messages shown.
    void Save(std::function<void(std::vector<std::string>)> done = nullptr);
    bool Saving() const { return saving_; }
    const std::vector<Row>& Rows() const { return rows_; }
    // Runs until btn_close (or the window manager) closes the window.
    int RunModal();
    void CloseWindow();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void CollectRows();
    Row AddRow();
    void PaintTheme();
    void SendRow(size_t index);
    void SetSaving(bool saving);

    const context::AppConfig* config_;
    NetSettings net_;
    std::vector<Row> rows_;
    bool closed_ = false;
    bool saving_ = false;
    QString save_text_;                   // the save button's own text
    std::vector<PermissionRow> sending_;  // the rows of the save in progress
    std::vector<std::string> shown_;      // their messages so far
    std::function<void(std::vector<std::string>)> saved_;
    std::function<void()> quit_loop_;
};

}  // namespace tendrix::accounts
