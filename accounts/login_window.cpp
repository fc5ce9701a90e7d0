#include "accounts/login_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <cstdlib>

#include "accounts/cashier_jurisdiction_dlg.h"
#include "accounts/session_start.h"
#include "store/settings_keys.h"
#include "store/store.h"
#include "ui/background_call.h"
#include "ui/message_box.h"

namespace tendrix::accounts {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

const char kKeyboardFailed[] = "无法启动屏幕键盘：";
const char kLayoutMissing[] = "登录窗口的界面文件缺失：";

// Centres `w` over its owner, or on the primary screen.
void Centre(QWidget* w, QWidget* owner) {
    QRect area;
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        area = s->availableGeometry();
    }
    if (area.isValid()) w->move(area.center() - w->rect().center());
}

}  // namespace

// ---------------------------------------------------------------- CLandDlg

CLandDlg::CLandDlg(context::AppConfig& config, QWidget* parent)
    : ui::Page(QStringLiteral("LandDlg"), QStringLiteral("LandDlg.xml"), parent),
      config_(config),
      logic_(config) {}

void CLandDlg::ShowMessage(const std::string& text) {
    ui::ShowMessage(window(), Q(text));
}

void CLandDlg::DoInit() {
    btn_land_ = FindControl<QPushButton>(QStringLiteral("btn_land"));
    btn_keyboard_ = FindControl<QPushButton>(QStringLiteral("btn_keyboard"));
    edit_psw_ = FindControl<QLineEdit>(QStringLiteral("edit_psw"));
    edit_accout_ = FindControl<QLineEdit>(QStringLiteral("edit_accout"));
    comb_accout_ = FindControl<QComboBox>(QStringLiteral("comb_accout"));
    label_soft_titile_ = FindControl<QLabel>(QStringLiteral("label_soft_titile"));
    chbo_auto_land_ = FindControl<QCheckBox>(QStringLiteral("chbo_auto_Land"));
    chbo_down_pswd_ = FindControl<QCheckBox>(QStringLiteral("chbo_down_pswd"));
    chbo_boot_lanch_ = FindControl<QCheckBox>(QStringLiteral("chbo_boot_lanch"));
    if (!btn_land_ || !edit_psw_ || !edit_accout_ || !comb_accout_) return;

    if (label_soft_titile_) label_soft_titile_->setText(Q(config_.soft_name));
    land_text_ = btn_land_->text();

    const LoginPageState st = logic_.LoadPage();
    remembered_passwords_ = st.cashier_passwords;
    {
        // Filling the page is not the cashier choosing: no notifications.
        const QSignalBlocker b1(comb_accout_);
        comb_accout_->clear();
        for (const auto& name : st.cashier_names) comb_accout_->addItem(Q(name));
        comb_accout_->setCurrentIndex(st.chosen_index);
    }
    for (auto [box, on] : {std::pair{chbo_auto_land_, st.auto_land},
                           std::pair{chbo_down_pswd_, st.remember_password},
                           std::pair{chbo_boot_lanch_, st.auto_boot}}) {
        if (!box) continue;
        {
            const QSignalBlocker b(box);
            box->setChecked(on);
        }
        connect(box, &QCheckBox::toggled, this, [this, box] { OnSwitch(box); });
    }
    std::string name = st.chosen_cashier;
    // The demo run names its cashier so a first start shows who to log in as.
    if (name.empty() && st.cashier_names.empty()) {
        name = config_.environment.demo_cashier;
    }
    edit_accout_->setText(Q(name));
    edit_psw_->setVisible(st.password_visible);
    if (st.remember_password) edit_psw_->setText(Q(st.chosen_password));

    AutoLoginTicker::Start();
    SetTimer(btn_land_, kAutoLoginTimer, AutoLoginTicker::kIntervalMs);
}

void CLandDlg::Notify(const ui::Notification& msg) {
    const QString name = msg.name();
    if (msg.type == QLatin1String(ui::kSelectChanged)) {
        // The switches are saved from their own toggled signal (OnSwitch): the toolkit
        // notifies only a box being checked, and unchecking must be saved as well.
        return;
    } else if (msg.Is(ui::kItemSelect, "comb_accout")) {
        const int i = comb_accout_->currentIndex();
        if (i < 0) return;
        edit_accout_->setText(comb_accout_->itemText(i));
        if (chbo_down_pswd_ && chbo_down_pswd_->isChecked()) {
            edit_psw_->setText(i < static_cast<int>(remembered_passwords_.size())
                                   ? Q(remembered_passwords_[i])
                                   : QString());
        }
    } else if (msg.type == QLatin1String(ui::kTimer) && msg.sender == btn_land_ &&
               msg.timer_id == kAutoLoginTimer) {
        if (!AutoLoginTicker::Tick()) return;
        KillTimer(btn_land_, kAutoLoginTimer);
        if (chbo_auto_land_ && chbo_auto_land_->isChecked() && !chbo_auto_land_->isHidden()) {
            Login();
        }
    } else if (msg.Is(ui::kClick, "btn_keyboard")) {
        std::string command = config_.Setting(store::keys::sysSoftKeyboardCommand);
        if (command.empty()) command = "onboard";
        if (!StartOnScreenKeyboard(command)) ShowMessage(kKeyboardFailed + command);
    } else if (msg.Is(ui::kClick, "btn_land") ||
               (msg.type == QLatin1String(ui::kReturn) &&
                (name == QLatin1String("edit_psw") || name == QLatin1String("edit_accout")))) {
        Login();
    }
}

void CLandDlg::OnSwitch(QCheckBox* box) {
    const bool on = box->isChecked();
    if (box == chbo_auto_land_) {
        logic_.SaveSwitch(store::keys::autoLand, on);
    } else if (box == chbo_down_pswd_) {
        logic_.SaveSwitch(store::keys::remberPassword, on);
    } else if (box == chbo_boot_lanch_) {
        logic_.SaveSwitch(store::keys::autoBoot, on);
        SetSessionAutostart(on, S(QCoreApplication::applicationFilePath()), config_.soft_name);
    }
}

void CLandDlg::ApplyLandType(const std::string& land_type) {
    if (edit_psw_) edit_psw_->setVisible(land_type != store::keys::kLandTypeAdmin);
}

void CLandDlg::SetBusy(bool busy) {
    busy_ = busy;
    if (btn_land_) {
        btn_land_->setEnabled(!busy);
        btn_land_->setText(busy ? QString::fromUtf8(texts::kLoggingIn) : land_text_);
    }
    // The name and password stay as sent until the answer comes.
    if (edit_accout_) edit_accout_->setReadOnly(busy);
    if (edit_psw_) edit_psw_->setReadOnly(busy);
    if (comb_accout_) comb_accout_->setEnabled(!busy);
}

void CLandDlg::Login() {
    if (!edit_accout_ || !edit_psw_ || busy_) return;  // one login at a time
    LoginForm form;
    form.name = S(edit_accout_->text());
    form.password = S(edit_psw_->text());
    form.password_visible = !edit_psw_->isHidden();
    form.remember_password = chbo_down_pswd_ && chbo_down_pswd_->isChecked();
    LoginRequest request;
    std::string refusal;
    if (!logic_.Prepare(form, request, refusal)) {
        ShowMessage(refusal);
        return;
    }
    SetBusy(true);
    ui::RunInBackground<platform_api::PlatformResult<LoginGrant>>(
        this, [request] { return LoginLogic::Exchange(request); },
        [this, request](const platform_api::PlatformResult<LoginGrant>& exchange) {
            LoginAnswered(request, exchange);
        });
}

void CLandDlg::LoginAnswered(const LoginRequest& request,
                             const platform_api::PlatformResult<LoginGrant>& exchange) {
    SetBusy(false);
    // Closed (btn_close) while the platform was asked: the program is quitting.
    if (!window()->isVisible()) return;
    LoginResult r = logic_.Finish(request, exchange);
    for (const auto& m : r.messages) ShowMessage(m);
    if (!r.ok) return;
    if (btn_land_) KillTimer(btn_land_, kAutoLoginTimer);
    if (on_logged_in_) on_logged_in_();
}

// ---------------------------------------------------------------- CNetSetDlg

CNetSetDlg::CNetSetDlg(context::AppConfig& config, QWidget* parent)
    : ui::Page(QStringLiteral("NetSetDlg"), QStringLiteral("NetSetDlg.xml"), parent),
      config_(config) {}

void CNetSetDlg::DoInit() {
    comb_agent_ = FindControl<QComboBox>(QStringLiteral("comb_agent"));
    edit_agent_ip_ = FindControl<QLineEdit>(QStringLiteral("edit_agent_ip"));
    edit_agent_port_ = FindControl<QLineEdit>(QStringLiteral("edit_agent_port"));
    edit_agent_accout_ = FindControl<QLineEdit>(QStringLiteral("edit_agent_accout"));
    edit_agent_psw_ = FindControl<QLineEdit>(QStringLiteral("edit_agent_psw"));
    edit_merchant_id_ = FindControl<QLineEdit>(QStringLiteral("edit_merchant_id"));
    edit_shop_id_ = FindControl<QLineEdit>(QStringLiteral("edit_shop_id"));
    edit_merchant_api_ = FindControl<QLineEdit>(QStringLiteral("edit_merchant_api"));
    lab_manager_msg_ = FindControl<QLabel>(QStringLiteral("lab_manager_msg"));
    btn_query_manager_ = FindControl<QPushButton>(QStringLiteral("btn_query_manager"));
    comb_land_type_ = FindControl<QComboBox>(QStringLiteral("comb_land_type"));
    if (!comb_agent_ || !edit_agent_ip_ || !edit_agent_port_ || !edit_agent_accout_ ||
        !edit_agent_psw_ || !edit_merchant_id_ || !edit_shop_id_ || !edit_merchant_api_) {
        return;
    }
    const NetSettings s = LoadNetSettings(config_.data_dir);
    {
        const QSignalBlocker b(comb_agent_);
        comb_agent_->setCurrentIndex(s.UsesProxy() ? 1 : 0);
    }
    if (comb_land_type_) {
        const QSignalBlocker b(comb_land_type_);
        comb_land_type_->setCurrentIndex(s.land_type == store::keys::kLandTypeAdmin ? 1 : 0);
    }
    edit_agent_ip_->setText(Q(s.agent_ip));
    edit_agent_port_->setText(Q(s.agent_port));
    edit_agent_accout_->setText(Q(s.agent_account));
    edit_agent_psw_->setText(Q(s.agent_password));
    edit_merchant_id_->setText(Q(s.merchant_id));
    edit_shop_id_->setText(Q(s.shop_id));
    edit_merchant_api_->setText(Q(s.merchant_api));
    UpdateProxyFields();
}

void CNetSetDlg::UpdateProxyFields() {
    const bool on = comb_agent_ && comb_agent_->currentIndex() == 1;
    for (QLineEdit* e : {edit_agent_ip_, edit_agent_port_, edit_agent_accout_, edit_agent_psw_}) {
        if (e) e->setEnabled(on);
    }
}

NetSettings CNetSetDlg::Fields() const {
    NetSettings s;
    if (!edit_merchant_api_) return LoadNetSettings(config_.data_dir);
    // A layout without the mode choice keeps the stored mode.
    s.land_type = comb_land_type_ ? S(comb_land_type_->currentText())
                                  : LoadNetSettings(config_.data_dir).land_type;
    s.use_agent =
        comb_agent_->currentIndex() == 1 ? store::keys::kHttpProxy : store::keys::kNoProxy;
    s.agent_ip = S(edit_agent_ip_->text().trimmed());
    s.agent_port = S(edit_agent_port_->text().trimmed());
    s.agent_account = S(edit_agent_accout_->text());
    s.agent_password = S(edit_agent_psw_->text());
    s.merchant_id = S(edit_merchant_id_->text().trimmed());
    s.shop_id = S(edit_shop_id_->text().trimmed());
    s.merchant_api = S(edit_merchant_api_->text().trimmed());
    return s;
}

void CNetSetDlg::Notify(const ui::Notification& msg) {
    if (msg.Is(ui::kItemSelect, "comb_agent")) {
        UpdateProxyFields();
    } else if (msg.Is(ui::kClick, "btn_query_manager")) {
        QueryManager();
    } else if (msg.Is(ui::kClick, "btn_cashier_jurisdiction")) {
        OpenPermissions();
    }
}

std::string CNetSetDlg::Save() {
    std::string why = SaveNetSettings(config_.data_dir, Fields());
    const std::string text = why.empty() ? std::string(texts::kSaved) : why;
    ui::ShowMessage(window(), Q(text));
    return text;
}

void CNetSetDlg::QueryManager() {
    if (querying_) return;
    querying_ = true;
    if (btn_query_manager_) btn_query_manager_->setEnabled(false);
    if (lab_manager_msg_) lab_manager_msg_->setText(QString::fromUtf8(texts::kQuerying));
    ui::RunInBackground<std::string>(
        this,
        [fields = Fields(), api_base = config_.api_base,
         timeout = config_.environment.platform_timeout] {
            return ShopManagerText(QueryShopManager(fields, api_base, timeout));
        },
        [this](const std::string& text) {
            querying_ = false;
            if (btn_query_manager_) btn_query_manager_->setEnabled(true);
            if (lab_manager_msg_) lab_manager_msg_->setText(Q(text));
            ui::ShowMessage(window(), Q(text));
        });
}

void CNetSetDlg::OpenPermissions() {
    const NetSettings s = Fields();
    if (s.merchant_id.empty() || s.merchant_api.empty()) {
        ui::ShowMessage(
            window(), Q(s.merchant_id.empty() ? texts::kNeedMerchantId : texts::kNeedMerchantApi));
        return;
    }
    std::vector<std::string> names, passwords, device_ids, permissions;
    {
        store::Store store(config_.data_dir);
        if (store.OpenCashiers()) {
            store.ListCashiers(names, passwords, device_ids);
            for (const auto& n : names) {
                store::CashierRecord rec;
                store.ReadCashier(n, rec);
                permissions.push_back(rec.refund_permission);
            }
        }
    }
    CCahierJurisdictionSetDlg dlg(&config_, s, names, permissions, window());
    dlg.RunModal();
}

// ---------------------------------------------------------------- CLandSetDlg

CLandSetDlg::CLandSetDlg(context::AppConfig& config, QWidget* owner)
    : ui::Window(QStringLiteral("LandSetDlg"), QStringLiteral("LandSetDlg.xml"), owner),
      config_(config) {
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    const bool ok = Build([this](const QString& class_name, QWidget* parent) -> QWidget* {
        if (class_name == QLatin1String("LandDlg")) return land_ = new CLandDlg(config_, parent);
        if (class_name == QLatin1String("NetSetDlg")) return net_ = new CNetSetDlg(config_, parent);
        return nullptr;
    });
    if (!ok) return;
    tabs_ = FindControl<QStackedWidget>(QStringLiteral("tab_land_switch"));
    btn_save_land_ = FindControl<QPushButton>(QStringLiteral("btn_save_land"));
    if (auto* close = FindControl<QPushButton>(QStringLiteral("btn_close"))) {
        close->setToolTip(QStringLiteral("关闭退出"));
    }
    if (land_) land_->SetOnLoggedIn([this] { Finish(1); });
    SelectTab(0);
}

void CLandSetDlg::SelectTab(int index) {
    if (tabs_) tabs_->setCurrentIndex(index);
    if (btn_save_land_) btn_save_land_->setVisible(index == 1);
    const char* option = index == 0 ? "opt_land" : "opt_set";
    if (auto* opt = FindControl<QRadioButton>(QString::fromLatin1(option))) {
        const QSignalBlocker b(opt);
        opt->setChecked(true);
    }
}

void CLandSetDlg::Notify(const ui::Notification& msg) {
    if (msg.type == QLatin1String(ui::kSelectChanged)) {
        auto* opt = qobject_cast<QRadioButton*>(msg.sender);
        if (!opt || !opt->isChecked()) return;
        if (msg.name() == QLatin1String("opt_land")) SelectTab(0);
        if (msg.name() == QLatin1String("opt_set")) SelectTab(1);
    } else if (msg.Is(ui::kClick, "btn_close")) {
        Finish(0);
    } else if (msg.Is(ui::kClick, "btn_save_land")) {
        if (!net_) return;
        net_->Save();
        // The login mode takes effect on the login tab at once.
        if (land_) land_->ApplyLandType(LoadNetSettings(config_.data_dir).land_type);
    }
}

void CLandSetDlg::keyPressEvent(QKeyEvent* e) {
    // Escape does not end the program by accident (btn_close does); Up/Down move between the
    // name and the password.
    if (e->key() == Qt::Key_Escape) return;
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
        focusNextPrevChild(e->key() == Qt::Key_Down);
        return;
    }
    ui::Window::keyPressEvent(e);
}

void CLandSetDlg::closeEvent(QCloseEvent* e) {
    if (result_ < 0) Finish(0);
    e->accept();
}

void CLandSetDlg::Finish(int result) {
    if (result_ >= 0) return;
    result_ = result;
    hide();
    if (quit_loop_) quit_loop_();
}

int CLandSetDlg::RunModal() {
    if (result_ >= 0) return result_;
    setWindowModality(Qt::ApplicationModal);
    Centre(this, parentWidget());
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    quit_loop_ = [&loop] { loop.quit(); };
    if (result_ < 0) loop.exec();
    quit_loop_ = nullptr;
    return result_;
}

bool RunLoginWindow(context::AppConfig& config, QWidget* owner) {
    accounts::CLandSetDlg dlg(config, owner);
    if (!dlg.built() || !dlg.LandPage()) {
        ui::ShowMessage(
            owner, QString::fromUtf8(accounts::kLayoutMissing) + QStringLiteral("LandSetDlg.xml"));
        return false;
    }
    return dlg.RunModal() == 1;
}

}  // namespace tendrix::accounts
