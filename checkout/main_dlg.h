#pragma once
// CMainDlg: the program's main window and checkout controller. It hosts the checkout pages as
// tabs of `switch`, owns the floating window, the payment popup and the tray icon, and is the
// one entry for commands 1..15 (CommandSink): windows on the UI thread send them, worker threads
// post them.
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "checkout/checkout_pages.h"
#include "checkout/output_sinks.h"
#include "common/checkout_command.h"
#include "input/payment_code_target.h"
#include "ui/window.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QMenu;
class QShortcut;
class QStackedWidget;
class QSystemTrayIcon;

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::checkout {

class CFloatDlg;
class CPayPopupDlg;
class ShellServices;

class CMainDlg : public ui::Window, public common::CommandSink, public input::PaymentCodeTarget {
    Q_OBJECT
  public:
    // Timer ids and periods (toolkit timers on controls of this window).
    static constexpr int kTrayActionTimer = 0;     // OptionUI1, 30 ms: tray action, input tick
    static constexpr int kAfterPaymentTimer = 17;  // OptionUI2, sysPrintKeytime ms
    static constexpr int kFocusRetryTimer = 45;    // OptionUI3, 50 ms
    static constexpr int kAutoHideTimer = 37;      // lab_titles, 1000 ms
    static constexpr int kTickMs = 30;

    struct Options {
        // Runs the login window modally; true when a cashier logged in. Empty: the login
        // window of accounts/ when it is built, else nobody logs in.
        std::function<bool(CMainDlg&)> login;
        // Desktop services (pointer, windows, hotkeys); null: the X11 desktop when available.
        desktop::DesktopServices* desktop = nullptr;
        bool use_x11_desktop = true;
        // Where receipts, voice prompts and face-pay bytes go (not owned); null: the real
        // ones (print log and print service, the voice player, the face-pay serial port).
        ReceiptSink* receipts = nullptr;
        VoiceSink* voice = nullptr;
        FacePaySink* face_pay = nullptr;
        // Starts capture ports, hook and printing when the settings are applied.
        bool start_devices = true;
        // Opens windows and programs: "settings", "window-capture", "focus-capture",
        // "http://...", "softkeyboard", "restart". True when handled; otherwise the main window
        // starts web addresses with xdg-open, the on-screen keyboard and the restart itself.
        std::function<bool(const std::string& what)> launcher;
    };

    CMainDlg(context::AppConfig* config, Options options);
    ~CMainDlg() override;

    // Initialisation: tray, pages, login, then (after a login) show, timers, settings, voice;
    // then the floating window and the popup. Returns whether a cashier logged in.
    bool Initialise();

    // CommandSink.
    void SendCommand(common::CheckoutCommand cmd, std::string payload) override;
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override;
    // The command entry (UI thread).
    void Command(common::CheckoutCommand cmd, const std::string& payload);

    // Show/hide toggle (command 10) and the tray's left click.
    void ToggleShowHide() override;
    void TrayLeftClick();
    void TrayMenuCommand(const QString& item_text);
    // Give the focus back to the POS program (command 11).
    void GiveFocusBack();
    // Applies the settings: options, refund permission, voice, devices.
    void ApplySettings();
    void SelectTab(int tab);
    int CurrentTab() const;
    // Starts a barcode payment from the pay page's fields (the "return" of `barcodeinput`).
    bool StartBarcodePayment();
    // A captured amount (commands 3 and 12): the float shows it and the pay page's
    // `moneyinput` takes it unless the cashier is typing there. `polled`: from the screen or
    // a window's text, read again and again; such an amount is taken only when it changed
    // and while this window is hidden (shown, it may cover the place being read).
    void TakeCapturedAmount(const std::string& utf8, bool polled);

    bool IsHiddenFlag() const { return hidden_; }
    int PendingTrayAction() const { return pending_tray_action_; }
    // The after-payment steps still to play.
    std::deque<std::string> AfterPaymentList() const;
    // The login window was closed without a login: the program is to quit.
    bool LoginClosed() const { return login_closed_; }
    std::string KeypadWindow() const { return keypad_window_; }
    QSystemTrayIcon* Tray() const { return tray_; }
    QMenu* TrayMenu() const { return tray_menu_; }
    CFloatDlg* FloatWindow() const { return float_.get(); }
    CPayPopupDlg* Popup() const { return popup_.get(); }
    PayPageView* PayPage() const { return context_.pay_page; }
    PayResultPageView* ResultPage() const { return context_.result_page; }
    RefundPageView* RefundPage() const { return context_.refund_page; }
    desktop::DesktopServices* Desktop() const { return desktop_; }
    const CheckoutContext& Context() const { return context_; }

    // PaymentCodeTarget.
    void SetPayCode(const std::string& code) override;
    bool MainWindowHidden() const override { return hidden_; }
    void PlayVoice(const std::string& file_name) override;
    void SetPayWithoutWaiting() override { pay_now_ = true; }

    void Notify(const ui::Notification& msg) override;

  signals:
    void QuitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

  private:
    void CreateTray();
    void AttachPages();
    void OnTick();
    void OnAfterPaymentTick();
    void OnOptionSelected(int option);
    void PaymentSuccess(const std::string& receipt_gbk);
    void HandOffVoice(const std::string& payload);
    void QueueVoices(const std::vector<std::string>& names);
    void Print(const std::string& gbk);
    void ShowTip(const QString& text);
    void Show();
    void Hide();
    void FocusPayField();
    void ElideTitle();
    void KeepAbove(QWidget* w);
    QLineEdit* PayField(const char* name) const;
    bool WriteFacePay(const std::string& bytes);
    bool IsOwnWindow(uint64_t id) const;
    void SubmitCancel();
    void SubmitRefund();
    void Launch(const std::string& what);
    bool HandleMainKey(int vk);
    bool RunMainKey(int function);  // a MainKeyTable::Function
    void ApplyAltShortcuts();
    void Quit();

    context::AppConfig* config_;
    Options options_;
    std::unique_ptr<ShellServices> services_;  // owned parts (desktop, outputs, capture, input)
    desktop::DesktopServices* desktop_ = nullptr;
    ReceiptSink* receipts_ = nullptr;
    VoiceSink* voice_ = nullptr;
    FacePaySink* face_pay_ = nullptr;
    bool voice_on_ = false;  // sysIsOpenVoicePrompt as last applied
    CheckoutContext context_;
    QStackedWidget* switch_ = nullptr;
    QAbstractButton* btn_close_ = nullptr;
    QAbstractButton* options_ui_[6] = {};
    QLabel* lab_titles_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* tray_menu_ = nullptr;
    std::unique_ptr<CFloatDlg> float_;
    std::unique_ptr<CPayPopupDlg> popup_;
    int pending_tray_action_ = 0;  // a checkout::PendingTrayAction; 0: none
    bool hidden_ = false;
    bool toggling_ = false;  // a show or hide is under way (it may run nested events)
    bool logged_in_ = false;
    bool pay_now_ = false;
    bool login_closed_ = false;
    int last_option_ = 1;
    std::deque<std::string> after_payment_;
    std::string keypad_window_;
    std::string last_polled_;  // last amount read from the screen or a window
    QString last_filled_;      // last captured amount put into moneyinput
    std::vector<QShortcut*> alt_shortcuts_;
    QString full_title_;                // lab_titles' whole text (shown elided in the middle)
    uint64_t previous_foreground_ = 0;  // the window active before this one was shown
};

}  // namespace tendrix::checkout
