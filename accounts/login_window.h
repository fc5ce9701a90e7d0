#pragma once
// The login window and its two pages on the ui/ toolkit.
//
// CLandSetDlg ("LandSetDlg.xml"): the options opt_land / opt_set switch tab_land_switch between
// the login page CLandDlg ("LandDlg.xml") and the network and merchant settings page
// CNetSetDlg ("NetSetDlg.xml"), both made by the window's dialog-builder callback. btn_close
// ends the login without a cashier (the program quits); btn_save_land saves the settings page.
//
// The main window calls RunLoginWindow once, right after it is created.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "accounts/login_logic.h"
#include "accounts/net_settings.h"
#include "context/app_config.h"
#include "ui/window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tendrix::accounts {

// Runs the login window modally, owned by `owner` (may be null). True when a cashier logged in:
// `config` then holds the login identity and title suffix. False when the window was closed
// (btn_close): the program is to quit.
bool RunLoginWindow(context::AppConfig& config, QWidget* owner);

class CLandDlg : public ui::Page {
    Q_OBJECT
  public:
    static constexpr int kAutoLoginTimer = AutoLoginTicker::kTimerId;  // 52 on btn_land

    CLandDlg(context::AppConfig& config, QWidget* parent);
    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // Presses btn_land: the login in its order; messages in boxes owned by the window. The
    // platform is asked off the window thread; until it answers btn_land says so and a second
    // login cannot start.
    void Login();
    bool LoginInFlight() const { return busy_; }
    // Called after a successful login (the window closes with result 1).
    void SetOnLoggedIn(std::function<void()> f) { on_logged_in_ = std::move(f); }
    // Shows or hides the password field for a login mode ("管理员模式" hides it).
    void ApplyLandType(const std::string& land_type);

  private:
    void ShowMessage(const std::string& text);
    void OnSwitch(QCheckBox* box);
    void SetBusy(bool busy);
    void LoginAnswered(const LoginRequest& request,
                       const platform_api::PlatformResult<LoginGrant>& exchange);

    context::AppConfig& config_;
    LoginLogic logic_;
    std::vector<std::string> remembered_passwords_;
    std::function<void()> on_logged_in_;
    bool busy_ = false;
    QString land_text_;  // btn_land's own text, back after a login attempt
    QPushButton* btn_land_ = nullptr;
    QPushButton* btn_keyboard_ = nullptr;
    QLineEdit* edit_psw_ = nullptr;
    QLineEdit* edit_accout_ = nullptr;
    QComboBox* comb_accout_ = nullptr;
    QLabel* label_soft_titile_ = nullptr;
    QCheckBox* chbo_auto_land_ = nullptr;
    QCheckBox* chbo_down_pswd_ = nullptr;
    QCheckBox* chbo_boot_lanch_ = nullptr;
};

class CNetSetDlg : public ui::Page {
    Q_OBJECT
  public:
    CNetSetDlg(context::AppConfig& config, QWidget* parent);
    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // The page's fields as settings.
    NetSettings Fields() const;
    // Saves the fields; the message that was shown ("保存成功！" or why not).
    std::string Save();
    // The shop-manager query, off the window thread; its answer goes to lab_manager_msg and a
    // message box. btn_query_manager is disabled until it comes.
    void QueryManager();
    bool QueryInFlight() const { return querying_; }
    // Opens the cashier permission window for the remembered cashiers.
    void OpenPermissions();

  private:
    void UpdateProxyFields();

    context::AppConfig& config_;
    bool querying_ = false;
    QComboBox* comb_land_type_ = nullptr;
    QComboBox* comb_agent_ = nullptr;
    QLineEdit* edit_agent_ip_ = nullptr;
    QLineEdit* edit_agent_port_ = nullptr;
    QLineEdit* edit_agent_accout_ = nullptr;
    QLineEdit* edit_agent_psw_ = nullptr;
    QLineEdit* edit_merchant_id_ = nullptr;
    QLineEdit* edit_shop_id_ = nullptr;
    QLineEdit* edit_merchant_api_ = nullptr;
    QLabel* lab_manager_msg_ = nullptr;
    QPushButton* btn_query_manager_ = nullptr;
};

class CLandSetDlg : public ui::Window {
    Q_OBJECT
  public:
    static constexpr const char* kWindowTitle = "land";

    CLandSetDlg(context::AppConfig& config, QWidget* owner);
    void Notify(const ui::Notification& msg) override;

    // 1 after a login, 0 when closed; -1 while open.
    int Result() const { return result_; }
    // Runs until the window closes; returns Result().
    int RunModal();

    CLandDlg* LandPage() const { return land_; }
    CNetSetDlg* NetPage() const { return net_; }
    void SelectTab(int index);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void Finish(int result);

    context::AppConfig& config_;
    CLandDlg* land_ = nullptr;
    CNetSetDlg* net_ = nullptr;
    QStackedWidget* tabs_ = nullptr;
    QPushButton* btn_save_land_ = nullptr;
    int result_ = -1;
    std::function<void()> quit_loop_;
};

}  // namespace tendrix::accounts
