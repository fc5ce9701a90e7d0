#pragma once
// The cashier permission window: one row per cashier (number, name, refund permission choice);
// saving sends every visible row's choice to the platform and shows each answer.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "accounts/cashier_permissions.h"
#include "accounts/net_settings.h"
#include "app/app_config.h"
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
    CCahierJurisdictionSetDlg(const AppConfig* config, const NetSettings& net,
                              const std::vector<std::string>& names,
                              const std::vector<std::string>& permissions, QWidget* owner);
    void Notify(const ui::Notification& msg) override;

    // One request and one message box per visible row; returns the messages shown.
    std::vector<std::string> Save();
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

    const AppConfig* config_;
    NetSettings net_;
    std::vector<Row> rows_;
    bool closed_ = false;
    std::function<void()> quit_loop_;
};

}  // namespace tendrix::accounts
