// The login window, its settings page and the cashier permission window, driven offscreen
// against the real sandbox platform. Message boxes are read and closed as they open.
#include "accounts/login_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocumentFragment>
#include <QTimer>
#include <utility>

#include "accounts/cashier_jurisdiction_dlg.h"
#include "accounts/credential_cipher.h"
#include "accounts/session_start.h"
#include "platform_api/platform_client.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/loopback.h"
#include "tests/support/qt_app.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"
#include "ui/background_call.h"
#include "ui/message_box.h"

using namespace tendrix::context;
using namespace tendrix::platform_api;
using namespace tendrix::store;
using namespace tendrix::ui;

namespace tendrix::accounts {
namespace {

template <typename T>
T* Find(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

// Reads every message box that opens (its plain text) and closes it with Escape.
class MessageCatcher {
  public:
    MessageCatcher() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<ui::CDuiMessageBox*>(w);
                // Boxes are short-lived locals: one may reuse another's address, so the mark
                // goes on the object itself.
                if (!box || !box->isVisible() || box->property("caught").toBool()) continue;
                box->setProperty("caught", true);
                const QLabel* label = Find<QLabel>(box, "msg_text");
                const QString html = label ? label->text() : QStringLiteral("?");
                texts.push_back(QTextDocumentFragment::fromHtml(html).toPlainText().toStdString());
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(box, &escape);
            }
        });
        timer_.start();
    }
    std::vector<std::string> Take() { return std::exchange(texts, {}); }
    std::vector<std::string> texts;

  private:
    QTimer timer_;
};

// Runs the event loop until `done` holds (the platform's answers arrive through it).
bool WaitUntil(const std::function<bool()>& done) {
    return test::SpinUntil(done, 20000);
}

class LoginWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);  // the autostart entry goes here
        sandbox_ = std::make_unique<test::SandboxProcess>();
        if (!sandbox_->ok()) GTEST_SKIP() << sandbox_->error();
        Restart();
        config_.soft_name = "收银助手";
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    // The next start of the program: only what was stored is known.
    void Restart() {
        config_ = AppConfig{};
        config_.data_dir = dir_ / "data/";
        config_.api_base = sandbox_->base_url();
    }

    std::unique_ptr<CLandSetDlg> Open() {
        auto dlg = std::make_unique<CLandSetDlg>(config_, nullptr);
        dlg->show();
        return dlg;
    }
    void Type(CLandSetDlg& d, const char* name, const char* password) {
        Find<QLineEdit>(&d, "edit_accout")->setText(QString::fromUtf8(name));
        Find<QLineEdit>(&d, "edit_psw")->setText(QString::fromUtf8(password));
    }
    using NameAndPassword = std::pair<std::string, std::string>;
    static NameAndPassword Fields(CLandSetDlg& d) {
        return {Find<QLineEdit>(&d, "edit_accout")->text().toStdString(),
                Find<QLineEdit>(&d, "edit_psw")->text().toStdString()};
    }
    void Land(CLandSetDlg& d) {
        Find<QPushButton>(&d, "btn_land")->click();
        ASSERT_TRUE(WaitUntil([&d] { return !d.LandPage()->LoginInFlight(); }));
    }
    // A successful login as the demo cashier, with the given switches on.
    void LogIn(std::initializer_list<const char*> switches = {}) {
        auto d = Open();
        for (const char* name : switches) Find<QCheckBox>(d.get(), name)->setChecked(true);
        Type(*d, "demo", "demo");
        Land(*d);
        ASSERT_EQ(d->Result(), 1);
        boxes_.Take();
    }
    // The demo merchant's id, shop and key saved on the settings tab.
    void SaveSettings(CLandSetDlg& d) {
        auto* save = Find<QPushButton>(&d, "btn_save_land");
        Find<QRadioButton>(&d, "opt_set")->click();
        EXPECT_TRUE(save->isVisible());
        Find<QLineEdit>(&d, "edit_merchant_id")->setText("M100001");
        Find<QLineEdit>(&d, "edit_shop_id")->setText("S001");
        Find<QLineEdit>(&d, "edit_merchant_api")->setText("sandbox-demo-secret");
        save->click();
        EXPECT_EQ(boxes_.Take(), (std::vector<std::string>{"保存成功！"}));
    }
    void Tick(CLandSetDlg& d, int n) {
        auto* btn = Find<QPushButton>(&d, "btn_land");
        for (int i = 0; i < n; ++i) {
            d.LandPage()->Hub().Send(
                ui::Notification{QString::fromLatin1(ui::kTimer), btn, CLandDlg::kAutoLoginTimer});
        }
    }

    QApplication& app_ = test::EnsureApp();  // before the catcher's timer
    test::TempDir dir_;
    std::unique_ptr<test::SandboxProcess> sandbox_;
    AppConfig config_;
    MessageCatcher boxes_;
};

// (Return in the password field logging in: the e2e login cases press it on the real program.)
TEST_F(LoginWindowTest, InputChecksAndRefusalKeepTheWindowOpen) {
    auto d = Open();
    auto* land = Find<QPushButton>(d.get(), "btn_land");
    for (auto [name, pw, text] : {std::tuple{"", "demo", "收银员名字不能为空！"},
                                  std::tuple{"de mo", "demo", "收银员名字不能为空！"},
                                  std::tuple{"demo", "", "密码不能为空！"},
                                  std::tuple{"demo", "nope", "用户名或密码错误"}}) {
        Type(*d, name, pw);
        Land(*d);
        EXPECT_EQ(boxes_.Take(), (std::vector<std::string>{text})) << name << "/" << pw;
        EXPECT_EQ(d->Result(), -1);
        EXPECT_TRUE(land->isEnabled());
    }
    EXPECT_TRUE(config_.secret.empty());  // nothing of a failed login reaches AppConfig
    // The typed name is remembered before the checks, also when the login is refused.
    EXPECT_EQ(ReadLoginKey(config_.data_dir, keys::choicedCashier), "demo");
}

TEST_F(LoginWindowTest, RememberedPasswordOnAndOff) {
    LogIn({"chbo_down_pswd"});  // the switch is saved at once
    {
        auto d = Open();  // the next start: name and password filled in
        EXPECT_EQ(Fields(*d), NameAndPassword("demo", "demo"));
        EXPECT_TRUE(Find<QCheckBox>(d.get(), "chbo_down_pswd")->isChecked());
        auto* combo = Find<QComboBox>(d.get(), "comb_accout");
        ASSERT_EQ(combo->count(), 1);
        // Choosing a remembered cashier fills both fields.
        Type(*d, "", "");
        combo->setCurrentIndex(-1);
        combo->setCurrentIndex(0);
        EXPECT_EQ(Fields(*d), NameAndPassword("demo", "demo"));
        Find<QCheckBox>(d.get(), "chbo_down_pswd")->setChecked(false);
        Land(*d);
        ASSERT_EQ(d->Result(), 1);
    }
    auto d = Open();  // forgotten again
    EXPECT_EQ(Fields(*d), NameAndPassword("demo", ""));
}

TEST_F(LoginWindowTest, AutomaticLoginAtTheTenthTick) {
    {
        // The box off: ten ticks stop the timer without a login.
        auto d = Open();
        Type(*d, "demo", "demo");
        Tick(*d, 10);
        EXPECT_EQ(d->Result(), -1);
        EXPECT_FALSE(d->LandPage()->Hub().HasTimer(Find<QPushButton>(d.get(), "btn_land"), 52));
        EXPECT_TRUE(boxes_.Take().empty());
    }
    LogIn({"chbo_down_pswd", "chbo_auto_Land"});  // both remembered by the next start
    Restart();
    auto d = Open();
    auto* btn = Find<QPushButton>(d.get(), "btn_land");
    EXPECT_EQ(d->LandPage()->Hub().TimerInterval(btn, 52), 1000);
    Tick(*d, 9);
    EXPECT_EQ(d->Result(), -1);
    Tick(*d, 1);
    EXPECT_TRUE(WaitUntil([&] { return d->Result() == 1; }));
    EXPECT_EQ(config_.cashier_name, "demo");
    EXPECT_FALSE(d->LandPage()->Hub().HasTimer(btn, 52));
}

TEST_F(LoginWindowTest, StartWithTheSessionWritesTheAutostartEntry) {
    auto d = Open();
    for (bool on : {true, false}) {
        Find<QCheckBox>(d.get(), "chbo_boot_lanch")->setChecked(on);
        EXPECT_EQ(SessionAutostartExists(), on);
        EXPECT_EQ(ReadLoginKey(config_.data_dir, keys::autoBoot), on ? "true" : "false");
    }
}

// (A login through RunLoginWindow opening the main window: e2e_login_demo_no_notice.)
TEST_F(LoginWindowTest, RunLoginWindowIsModalAndCloseMeansNoCashier) {
    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CLandSetDlg*>(w); d && d->isVisible())
                Find<QPushButton>(d, "btn_close")->click();
    });
    EXPECT_FALSE(RunLoginWindow(config_, nullptr));
    EXPECT_EQ(config_.cashier_name, "");
}

// (The tab switch itself is seen on the real program: e2e_login_held_login.)
TEST_F(LoginWindowTest, SettingsTabSavesAndQueriesTheShopManager) {
    auto d = Open();
    SaveSettings(*d);
    EXPECT_EQ(ReadLoginKey(config_.data_dir, keys::merchantAPI),
              EncryptCredential("sandbox-demo-secret"));
    auto* query = Find<QPushButton>(d.get(), "btn_query_manager");
    query->click();
    EXPECT_FALSE(query->isEnabled());
    EXPECT_EQ(Find<QLabel>(d.get(), "lab_manager_msg")->text(), "正在查询，请稍候…");
    ASSERT_TRUE(WaitUntil([&] { return !d->NetPage()->QueryInFlight(); }));
    EXPECT_TRUE(query->isEnabled());
    auto texts = boxes_.Take();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("王店长"), std::string::npos);
    EXPECT_NE(Find<QLabel>(d.get(), "lab_manager_msg")->text().indexOf("13800000000"), -1);
}

TEST_F(LoginWindowTest, PermissionRowsOneRequestAndOneMessagePerVisibleRow) {
    NetSettings net;
    net.use_agent = keys::kNoProxy;
    net.merchant_id = "M100001";
    net.merchant_api = "sandbox-demo-secret";
    CCahierJurisdictionSetDlg dlg(&config_, net, {"demo", "收银员甲", "nobody"},
                                  {"不可退款", "", "当笔可退"}, nullptr);
    ASSERT_TRUE(dlg.built());
    dlg.show();
    const auto& rows = dlg.Rows();
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[1].lab_cashier_name->text(), "收银员甲");
    EXPECT_EQ(rows[0].sysRefundSet->currentText(), "不可退款");
    EXPECT_EQ(rows[1].sysRefundSet->currentText(), "扫码可退");  // unknown: scan allowed
    EXPECT_TRUE(rows[3].row->isHidden());
    rows[1].sysRefundSet->setCurrentIndex(1);  // 当笔可退
    auto* save = Find<QPushButton>(&dlg, "btn_save_jurisdiction");
    save->click();
    EXPECT_FALSE(save->isEnabled());  // no second round while this one is sent
    ASSERT_TRUE(WaitUntil([&] { return !dlg.Saving(); }));
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(boxes_.Take(), (std::vector<std::string>{"用户名：demo，不可退款权限设置成功！",
                                                       "用户名：收银员甲，当笔可退权限设置成功！",
                                                       "收银员不存在"}));

    // More cashiers than the layout's rows: every one gets a row and a request.
    std::vector<std::string> many;
    for (int i = 0; i < 12; ++i) many.push_back(i % 2 ? "demo" : "收银员甲");
    CCahierJurisdictionSetDlg big(&config_, net, many, {}, nullptr);
    big.show();
    ASSERT_EQ(big.Rows().size(), 12u);
    size_t answered = 0;
    big.Save([&](std::vector<std::string> shown) { answered = shown.size(); });
    ASSERT_TRUE(WaitUntil([&] { return !big.Saving(); }));
    EXPECT_EQ(answered, 12u);
    EXPECT_EQ(boxes_.Take().size(), 12u);
}

// The administrator mode is chosen on the settings tab; the login tab then hides the password
// and logs the cashier in from what the till remembers (the device of an earlier login and
// the merchant's id and key).
TEST_F(LoginWindowTest, AdministratorModeChosenOnTheSettingsTab) {
    LogIn();
    Restart();
    auto d = Open();
    auto* psw = Find<QLineEdit>(d.get(), "edit_psw");
    EXPECT_TRUE(psw->isVisible());
    Find<QRadioButton>(d.get(), "opt_set")->click();
    auto* mode = Find<QComboBox>(d.get(), "comb_land_type");
    ASSERT_NE(mode, nullptr);
    mode->setCurrentIndex(mode->findText("管理员模式"));
    SaveSettings(*d);
    EXPECT_EQ(ReadLoginKey(config_.data_dir, keys::landType), "管理员模式");
    Find<QRadioButton>(d.get(), "opt_land")->click();
    EXPECT_FALSE(psw->isVisible());
    Type(*d, "demo", "");
    Land(*d);
    EXPECT_TRUE(boxes_.Take().empty());
    EXPECT_EQ(d->Result(), 1);
    EXPECT_EQ(config_.client_id, "C1001");
    EXPECT_EQ(config_.secret, "sandbox-demo-secret");
}

// A platform that takes the connection and never answers: no second login starts, and the
// failure is shown when the client gives up. (That the window keeps reacting meanwhile is
// checked on the real program: e2e_login_held_login.)
TEST_F(LoginWindowTest, WindowKeepsWorkingWhileThePlatformHoldsItsAnswer) {
    test::SilentServer silent;
    ASSERT_TRUE(silent.ok());
    config_.environment.platform_timeout = std::chrono::milliseconds(1500);
    config_.api_base = silent.base_url();
    auto d = Open();
    Type(*d, "demo", "demo");
    auto* land = Find<QPushButton>(d.get(), "btn_land");
    land->click();
    // Asked off the window thread: the button says so until the answer is handled.
    ASSERT_TRUE(d->LandPage()->LoginInFlight());
    EXPECT_FALSE(land->isEnabled());
    EXPECT_EQ(land->text(), QString::fromUtf8(texts::kLoggingIn));
    const int jobs = BackgroundJobsPending();
    Find<QLineEdit>(d.get(), "edit_psw")->returnPressed();  // Return: nothing new starts
    d->LandPage()->Login();
    EXPECT_EQ(BackgroundJobsPending(), jobs);
    ASSERT_TRUE(WaitUntil([&] { return !d->LandPage()->LoginInFlight(); }));
    EXPECT_EQ(boxes_.Take(), (std::vector<std::string>{std::string(kNetworkFailureText)}));
    EXPECT_EQ(d->Result(), -1);
    EXPECT_TRUE(land->isEnabled());
    EXPECT_EQ(land->text(), "登  录");
}

}  // namespace
}  // namespace tendrix::accounts
