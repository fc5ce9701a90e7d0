#include "checkout/main_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "accounts/login_window.h"
#include "accounts/session_start.h"
#include "capture/capture_sources.h"
#include "checkout/float_dlg.h"
#include "checkout/inquiry/register_order_check.h"
#include "checkout/main_logic.h"
#include "checkout/pages/register_pages.h"
#include "checkout/pay_popup_dlg.h"
#include "common/diag_log.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "desktop/desktop_services.h"
#include "input/payment_input.h"
#include "store/settings_keys.h"
#include "ui/message_box.h"
#include "ui/page_factory.h"

namespace tendrix::checkout {

// The parts the main window builds and owns itself.
class ShellServices {
  public:
    std::unique_ptr<desktop::DesktopServices> own_desktop;
    std::unique_ptr<VoiceSink> own_voice;
    std::unique_ptr<ReceiptSink> own_receipts;
    std::unique_ptr<FacePaySink> own_face_pay;
    std::unique_ptr<capture::CaptureSources> capture;
    std::unique_ptr<input::PaymentInput> input;
};

namespace {

QString FromGbk(const std::string& bytes) {
    // Texts between windows are GBK; a sender that already speaks UTF-8 is accepted too.
    if (common::IsValidUtf8(bytes)) return QString::fromStdString(bytes);
    return QString::fromStdString(common::GbkToUtf8(bytes));
}

}  // namespace

CMainDlg::CMainDlg(context::AppConfig* config, Options options)
    : ui::Window(QStringLiteral("DUIMainFram"), QStringLiteral("Maindlg.xml"), nullptr,
                 Qt::WindowStaysOnTopHint),
      config_(config),
      options_(std::move(options)),
      services_(std::make_unique<ShellServices>()) {
    setWindowTitle(config_ ? QString::fromStdString(config_->soft_name) : QString());
    desktop_ = options_.desktop;
    if (!desktop_ && options_.use_x11_desktop) {
        services_->own_desktop = desktop::CreateX11Desktop();
        desktop_ = services_->own_desktop.get();
    }
    receipts_ = options_.receipts;
    if (!receipts_) {
        services_->own_receipts = MakePrinterReceiptSink();
        receipts_ = services_->own_receipts.get();
    }
    voice_ = options_.voice;
    if (!voice_) {
        services_->own_voice = MakePlayerVoiceSink();
        voice_ = services_->own_voice.get();
    }
    face_pay_ = options_.face_pay;
    if (!face_pay_) {
        services_->own_face_pay = MakeFacePayPortSink([this]() -> capture::SerialPort* {
            return services_->capture ? services_->capture->FacePayPort() : nullptr;
        });
        face_pay_ = services_->own_face_pay.get();
    }
    // The pages of `switch` are this window's own; registering them again is harmless.
    RegisterCheckoutPages();
    inquiry::RegisterOrderCheckPage();
    Build();
    switch_ = FindControl<QStackedWidget>(QStringLiteral("switch"));
    btn_close_ = FindControl<QAbstractButton>(QStringLiteral("btn_close"));
    lab_titles_ = FindControl<QLabel>(QStringLiteral("lab_titles"));
    for (int i = 0; i < 6; ++i)
        options_ui_[i] = FindControl<QAbstractButton>(QStringLiteral("OptionUI%1").arg(i + 1));
    popup_ = std::make_unique<CPayPopupDlg>();
    float_ = std::make_unique<CFloatDlg>(
        config_, desktop_, [this] { TrayLeftClick(); },
        [this] {
            if (!isVisible()) return false;
            activateWindow();
            return true;
        });
    AttachPages();
    if (qApp) qApp->installEventFilter(this);  // see KeepAbove
}

CMainDlg::~CMainDlg() {
    // Workers first: they post into this window.
    services_->input.reset();
    services_->capture.reset();
    services_->own_receipts.reset();
    services_->own_voice.reset();
}

void CMainDlg::AttachPages() {
    context_.config = config_;
    context_.sink = this;
    context_.main_window = this;
    context_.popup = popup_.get();
    context_.desktop = desktop_;
    context_.select_tab = [this](int tab) { SelectTab(tab); };
    context_.write_face_pay_port = [this](const std::string& bytes) { return WriteFacePay(bytes); };
    if (switch_) {
        for (int i = 0; i < switch_->count(); ++i) {
            QWidget* w = switch_->widget(i);
            if (auto* p = dynamic_cast<PayPageView*>(w)) context_.pay_page = p;
            if (auto* p = dynamic_cast<PayResultPageView*>(w)) context_.result_page = p;
            if (auto* p = dynamic_cast<RefundPageView*>(w)) context_.refund_page = p;
        }
        for (int i = 0; i < switch_->count(); ++i) {
            if (auto* page = dynamic_cast<CheckoutPageView*>(switch_->widget(i)))
                page->Attach(context_);
        }
    }
    if (context_.result_page) context_.result_page->SetPopup(popup_.get());
}

bool CMainDlg::Initialise() {
    CreateTray();
    pending_tray_action_ = kNoAction;
    hide();
    hidden_ = true;

    bool ok = false;
    if (options_.login) {
        ok = options_.login(*this);
    } else {
        ok = config_ && accounts::RunLoginWindow(*config_, this);
        login_closed_ = !ok;  // the login window was closed: the program quits
    }
    logged_in_ = ok && config_ && !config_->cashier_name.empty();
    if (logged_in_) {
        if (lab_titles_) {
            full_title_ = QString::fromStdString(config_->soft_name + config_->title_suffix);
            lab_titles_->setToolTip(full_title_);
            lab_titles_->installEventFilter(this);
            ElideTitle();
        }
        // Centred on the screen, as the program's window is at start.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        Show();
        hidden_ = false;
        FocusPayField();
        if (options_ui_[0]) SetTimer(options_ui_[0], kTrayActionTimer, kTickMs);
        ApplySettings();
        config_->message_buffer += kLoginSuccessVoice;
        config_->message_buffer += '\0';
        SendCommand(common::CheckoutCommand::Voice, {});
    }
    float_->ApplyOpacity(
        config_ ? IntSetting(config_->Setting(store::keys::sysFloatTransparency), 255) : 255);
    float_->show();
    popup_->PlaceBottomRight();
    return logged_in_;
}

void CMainDlg::CreateTray() {
    if (tray_) return;
    tray_ = new QSystemTrayIcon(this);
    QIcon icon(ui::SkinPath(QStringLiteral("image/tray.png")));
    if (icon.isNull()) icon = QApplication::windowIcon();
    tray_->setIcon(icon);
    tray_->setToolTip(windowTitle());
    tray_menu_ = new QMenu(this);
    tray_menu_->setObjectName(QStringLiteral("MenuUIFloat"));
    for (const TrayItemInfo& item : TrayItems()) {
        const QString text = QString::fromUtf8(item.text);
        tray_menu_->addAction(text, this, [this, text] { TrayMenuCommand(text); });
    }
    tray_->setContextMenu(tray_menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) TrayLeftClick();
    });
    tray_->show();
    if (QSystemTrayIcon::supportsMessages())
        tray_->showMessage(QString::fromUtf8(kWelcomeTitle), windowTitle(),
                           QSystemTrayIcon::Information, 1000);
}

void CMainDlg::TrayLeftClick() {
    if (!config_ || config_->cashier_name.empty()) {
        hide();
        ShowTip(QString::fromUtf8(kPleaseLogin));
        return;
    }
    ToggleShowHide();
}

void CMainDlg::TrayMenuCommand(const QString& item_text) {
    const auto item = TrayItemForText(item_text.toStdString());
    if (!item) return;
    const bool logged_in = config_ && !config_->cashier_name.empty();
    switch (*item) {
        case TrayItem::Settings:
            if (logged_in) pending_tray_action_ = kOpenSettings;
            break;
        case TrayItem::WindowCapture:
            if (logged_in) pending_tray_action_ = kWindowCapture;
            break;
        case TrayItem::FocusCapture:
            pending_tray_action_ = kFocusCapture;
            break;
        case TrayItem::About:
            Launch("http://" + (config_ ? config_->cmp_net : std::string()));
            break;
        case TrayItem::Backend:
            Launch("http://" + (config_ ? config_->check_net : std::string()));
            break;
        case TrayItem::SoftKeyboard:
            Launch("softkeyboard");
            break;
        case TrayItem::Quit:
            if (float_) float_->SavePosition();
            Quit();
            break;
        case TrayItem::Restart:
            Launch("restart");
            Quit();
            break;
    }
}

void CMainDlg::Launch(const std::string& what) {
    if (options_.launcher && options_.launcher(what)) return;
    if (what.rfind("http://", 0) == 0) {
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(what)});
    } else if (what == "softkeyboard") {
        std::string program =
            config_ ? config_->Setting(store::keys::sysSoftKeyboardCommand) : std::string();
        if (program.empty()) program = "onboard";
        // An argument list, no shell: the setting is split into words, never interpreted.
        accounts::StartOnScreenKeyboard(program);
    } else if (what == "restart") {
        // The new instance waits until this one has gone: started at once, it would find the
        // single-instance lock still held and leave without showing anything.
        QProcess::startDetached(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("while kill -0 \"$1\" 2>/dev/null; do sleep 0.1; done; exec \"$0\""),
             QCoreApplication::applicationFilePath(),
             QString::number(QCoreApplication::applicationPid())});
    }
}

void CMainDlg::Quit() {
    emit QuitRequested();
    QCoreApplication::quit();
}

void CMainDlg::SendCommand(common::CheckoutCommand cmd, std::string payload) {
    Command(cmd, payload);
}

void CMainDlg::PostCommand(common::CheckoutCommand cmd, std::string payload) {
    QMetaObject::invokeMethod(
        this, [this, cmd, payload = std::move(payload)] { Command(cmd, payload); },
        Qt::QueuedConnection);
}

void CMainDlg::Command(common::CheckoutCommand cmd, const std::string& payload) {
    switch (cmd) {
        case common::CheckoutCommand::PaymentSuccess:
            PaymentSuccess(payload);
            break;
        case common::CheckoutCommand::FloatOpacity:
            if (float_) float_->ApplyOpacity(IntSetting(payload, 255));
            break;
        case common::CheckoutCommand::DisplayData: {
            if (services_->capture) {
                if (auto amount = services_->capture->HandleDisplayData(payload))
                    TakeCapturedAmount(*amount, false);
            }
            break;
        }
        case common::CheckoutCommand::PortControl:
            if (payload.find("CloseGetMoney") != std::string::npos) {
                if (services_->capture) services_->capture->CloseGetMoney();
                break;
            }
            if (payload.find("OpenAllSet") != std::string::npos) ApplySettings();
            break;
        case common::CheckoutCommand::ScannerChar:
            if (services_->input && !payload.empty()) services_->input->OnScannerChar(payload);
            break;
        case common::CheckoutCommand::ScannerData:
            if (services_->input) services_->input->OnScannerData(payload);
            break;
        case common::CheckoutCommand::Print:
            Print(payload);
            break;
        case common::CheckoutCommand::ShowMessage:
            ShowTip(FromGbk(payload));
            break;
        case common::CheckoutCommand::Voice:
            HandOffVoice(payload);
            break;
        case common::CheckoutCommand::ToggleShowHide:
            ToggleShowHide();
            break;
        case common::CheckoutCommand::GiveFocusBack:
            GiveFocusBack();
            break;
        case common::CheckoutCommand::FloatAmount:
            TakeCapturedAmount(FromGbk(payload).toStdString(), true);
            break;
        case common::CheckoutCommand::AfterPayment: {
            const std::string amount = payload.substr(0, payload.find('\0'));
            if (services_->input) {
                services_->input->OnAfterPayment(amount);
                break;
            }
            if (!config_) break;
            for (const std::string& step : config_->post_payment_keys) {
                std::string s = step;
                if (s.find("printmoney:") != std::string::npos) s += amount;
                after_payment_.push_back(std::move(s));
            }
            break;
        }
        case common::CheckoutCommand::KeypadWindow:
            keypad_window_ = payload;
            if (context_.pay_page) context_.pay_page->SetKeypadWindow(payload);
            break;
        case common::CheckoutCommand::PopupText:
            if (popup_) popup_->ShowText(QString::fromUtf8(payload.data(), payload.size()));
            break;
    }
}

void CMainDlg::ShowTip(const QString& text) {
    ui::CDuiMessageBox::Show(isVisible() ? this : nullptr, text, QString::fromUtf8(kTipTitle));
}

void CMainDlg::Print(const std::string& gbk) {
    receipts_->Print(gbk);
}

void CMainDlg::HandOffVoice(const std::string& payload) {
    // The names come with the command or in AppConfig's message buffer; the buffer is cleared
    // either way.
    std::string list = payload.empty() && config_ ? config_->message_buffer : payload;
    if (config_) config_->message_buffer.clear();
    std::vector<std::string> names;
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = list.find('\0', start);
        const std::string name = list.substr(start, end == std::string::npos ? end : end - start);
        if (name.empty()) break;
        names.push_back(name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    QueueVoices(names);
}

void CMainDlg::QueueVoices(const std::vector<std::string>& names) {
    if (names.empty() || !voice_on_) return;  // prompts switched off: ignored
    voice_->Play(names);
}

void CMainDlg::PaymentSuccess(const std::string& receipt_gbk) {
    const bool auto_print = config_ && config_->settings.IsTrue(store::keys::sysAutoPrintBill);
    PayPageView* pay = context_.pay_page;
    if (pay && pay->PrintBillMarked()) {
        // A reprint asked for on the pay page: print it, nothing else. Announcing and playing
        // the after-payment keys again would enter the sale into the POS program twice.
        pay->ClearPrintBillMark();
        Print(receipt_gbk);
        return;
    }
    if (auto_print) Print(receipt_gbk);
    const std::string receipt = FromGbk(receipt_gbk).toStdString();
    const std::string amount = PaidAmountFromReceipt(receipt);
    if (popup_) popup_->ShowResult(QString::fromUtf8(kPaySuccess), QString::fromStdString(amount));
    QueueVoices(PaymentSuccessVoices(amount));
    if (!amount.empty()) SendCommand(common::CheckoutCommand::AfterPayment, amount);
}

void CMainDlg::ToggleShowHide() {
    // Hiding presses the result page's return button, whose armed automatic return asks
    // for the toggle again from inside this one; acting on it would leave the flag saying
    // "shown" for a hidden window, and the after-payment keys would wait for a later hide.
    if (toggling_) {
        common::diag::Write("shell", "show/hide asked again while one is under way: ignored");
        return;
    }
    toggling_ = true;
    if (hidden_) {
        Show();
    } else {
        Hide();
    }
    hidden_ = !hidden_;
    toggling_ = false;
    common::diag::Write("shell", hidden_ ? "main window hidden" : "main window shown");
    if (!hidden_) FocusPayField();
}

QLineEdit* CMainDlg::PayField(const char* name) const {
    auto* page = dynamic_cast<QWidget*>(context_.pay_page);
    return page ? page->findChild<QLineEdit*>(QString::fromLatin1(name)) : nullptr;
}

void CMainDlg::FocusPayField() {
    // The next action on the pay page: scanning when an amount is there, else the amount.
    if (CurrentTab() != checkout_tab::kPay || !context_.pay_page) return;
    const bool has_amount = IsPayableAmount(context_.pay_page->Amount().toStdString());
    if (QLineEdit* field = PayField(has_amount ? "barcodeinput" : "moneyinput"))
        field->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::TakeCapturedAmount(const std::string& amount, bool polled) {
    if (float_) float_->ShowAmount(QString::fromStdString(amount));
    if (polled) {
        const bool changed = amount != last_polled_;
        last_polled_ = amount;
        if (!changed || !hidden_) return;
    }
    PayPageView* pay = context_.pay_page;
    if (!pay) return;
    QLineEdit* money = PayField("moneyinput");
    const bool field_focused = !hidden_ && money && money->hasFocus();
    const QString current = pay->Amount();
    if (field_focused && !current.isEmpty() && current != last_filled_) {
        common::diag::Write("capture",
                            "amount " + amount + " on the float only: the cashier is typing");
        return;
    }
    if (!IsPayableAmount(amount)) {
        // The POS shows no sale (e.g. 0.00): an amount taken earlier and left untouched goes.
        if (!polled && !last_filled_.isEmpty() && current == last_filled_) {
            pay->SetAmount(QString());
            last_filled_.clear();
            common::diag::Write("capture", "amount " + amount + " cleared moneyinput");
        }
        return;
    }
    pay->SetAmount(QString::fromStdString(amount));
    last_filled_ = QString::fromStdString(amount);
    common::diag::Write("capture", "amount " + amount + " into moneyinput");
    // The amount is in: what the cashier (or the scanner) types next is the code.
    if (field_focused)
        if (QLineEdit* code = PayField("barcodeinput")) code->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::Show() {
    if (desktop_) {
        const desktop::WindowId active = desktop_->ForegroundWindow();
        if (!IsOwnWindow(active)) previous_foreground_ = active;
    }
    show();
    raise();
    activateWindow();
    setFocus();
    if (CurrentTab() == checkout_tab::kPay && context_.pay_page &&
        IsShowableAmount(context_.pay_page->Amount().toStdString())) {
        context_.pay_page->SetAmountShown(true);
        WriteFacePay(FacePayShowCommand());
    }
    if (switch_)
        for (int i = 0; i < switch_->count(); ++i)
            if (auto* page = dynamic_cast<CheckoutPageView*>(switch_->widget(i)))
                page->OnMainWindowShown(true);
}

void CMainDlg::Hide() {
    if (CurrentTab() == checkout_tab::kResult && context_.result_page && isVisible()) {
        context_.result_page->PressClose();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30) QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
    }
    ui::CDuiMessageBox::CloseAllByEscape();
    hide();
    SendCommand(common::CheckoutCommand::GiveFocusBack, {});
    WriteFacePay(FacePayHideCommand());
    if (switch_)
        for (int i = 0; i < switch_->count(); ++i)
            if (auto* page = dynamic_cast<CheckoutPageView*>(switch_->widget(i)))
                page->OnMainWindowShown(false);
}

bool CMainDlg::WriteFacePay(const std::string& bytes) {
    return face_pay_->Write(bytes);
}

bool CMainDlg::IsOwnWindow(uint64_t id) const {
    if (id == 0) return false;
    auto same = [id](const QWidget* w) { return w && static_cast<uint64_t>(w->winId()) == id; };
    return same(this) || same(float_.get()) || same(popup_.get());
}

void CMainDlg::GiveFocusBack() {
    if (!desktop_) return;
    const auto point = config_
                           ? RectSettingCentre(config_->Setting(store::keys::sysReductionFoucus))
                           : std::nullopt;
    if (point && services_->input && services_->input->runner().Running()) {
        // After-payment steps are waiting: the focus-restore click comes after the last of
        // them, not between the amount and the keys that confirm it.
        services_->input->runner().AppendFocusRestore();
        return;
    }
    if (point) {
        if (popup_ && popup_->isVisible()) {
            if (options_ui_[2]) SetTimer(options_ui_[2], kFocusRetryTimer, 50);
            return;
        }
        desktop_->MoveCursor({point->x, point->y});
        desktop_->Click(desktop::MouseButton::Left);
        return;
    }
    const desktop::ScreenPoint cursor = desktop_->CursorPos();
    const desktop::WindowId under = desktop_->WindowAt(cursor);
    if (under != 0 && !IsOwnWindow(under)) {
        desktop_->BringToForeground(under);
        return;
    }
    // Over the floating window or the popup (the cashier opened the window from the float
    // and the pointer stayed there) a click would act on that window: on the float it shows
    // the main window again, and the after-payment steps, which wait for it to be hidden,
    // never run. The window that was active before the main window came up gets the focus.
    auto same = [under](const QWidget* w) {
        return w && under != 0 && static_cast<uint64_t>(w->winId()) == under;
    };
    if (same(float_.get()) || same(popup_.get())) {
        if (previous_foreground_ != 0) desktop_->BringToForeground(previous_foreground_);
        return;
    }
    desktop_->Click(desktop::MouseButton::Left);
}

void CMainDlg::ApplySettings() {
    if (!config_) return;
    const store::Settings& s = config_->settings;
    if (options_ui_[1]) options_ui_[1]->setVisible(s.IsTrue(store::keys::sysIsOpenProAliPay));
    if (options_ui_[2]) options_ui_[2]->setVisible(s.IsTrue(store::keys::sysIsOpenProductVerifi));
    if (options_ui_[3]) options_ui_[3]->setVisible(s.IsTrue(store::keys::sysIsOpenFacePay));
    if (context_.refund_page)
        context_.refund_page->ApplyRefundPermission(
            QString::fromStdString(config_->refund_permission));
    if (s.IsTrue(store::keys::sysIsAutoHideWhenLand) && lab_titles_)
        SetTimer(lab_titles_, kAutoHideTimer, 1000);
    int key_time = IntSetting(s.Get(store::keys::sysPrintKeytime));
    if (desktop_ && !services_->input)
        services_->input = std::make_unique<input::PaymentInput>(
            *desktop_, *this, *this, config_->program_dir + input::KeyMaskHook::kLibraryName);
    if (services_->input) {
        const std::vector<std::string> failures = services_->input->ApplySettings(
            s, [this] { ToggleShowHide(); },
            [this] { TrayMenuCommand(QStringLiteral("重启系统")); });
        for (const std::string& text : failures) ShowTip(QString::fromStdString(text));
        key_time = services_->input->step_interval_ms();
    }
    ApplyAltShortcuts();
    if (key_time > 0 && options_ui_[1]) {
        SetTimer(options_ui_[1], kAfterPaymentTimer, key_time);
    } else if (options_ui_[1]) {
        KillTimer(options_ui_[1], kAfterPaymentTimer);
    }
    voice_on_ = s.Get(store::keys::sysIsOpenVoicePrompt) == "TRUE";
    voice_->Switch(voice_on_, config_->voice_dir);
    if (!options_.start_devices) return;
    receipts_->Configure(*config_, *this);
    if (!services_->capture) {
        services_->capture = std::make_unique<capture::CaptureSources>(*config_, *this, desktop_);
        services_->capture->StartAll();
    } else {
        services_->capture->ApplyPortSettings();
        services_->capture->StartCaptureWorker();
    }
}

void CMainDlg::SelectTab(int tab) {
    if (switch_ && tab >= 0 && tab < switch_->count()) switch_->setCurrentIndex(tab);
    if (tab >= 0 && tab < 6 && options_ui_[tab] && options_ui_[tab]->isCheckable()) {
        const QSignalBlocker block(options_ui_[tab]);
        options_ui_[tab]->setChecked(true);
        last_option_ = tab + 1;
    }
}

int CMainDlg::CurrentTab() const {
    return switch_ ? switch_->currentIndex() : -1;
}

bool CMainDlg::StartBarcodePayment() {
    PayPageView* pay = context_.pay_page;
    PayResultPageView* result = context_.result_page;
    // While an operation awaits its answer the scanned code stays where it is.
    if (!pay || !result || result->Busy()) return false;
    const QString code = pay->PaymentCode();
    const QString amount = pay->Amount();
    if (code.size() < 14 || amount.isEmpty()) return false;
    // Steps of an earlier payment still waiting (the window was never hidden since) belong
    // to a sale the POS program has moved on from.
    if (services_->input) {
        if (const size_t dropped = services_->input->runner().Clear())
            common::diag::Write("afterpay", "a new payment dropped " + std::to_string(dropped) +
                                                " steps of the previous one");
    }
    SelectTab(checkout_tab::kResult);
    result->ClearResult();
    result->SetReturnText(QStringLiteral("返回"));
    result->SetCancelOrRefundText(QStringLiteral("撤销/退款"));
    result->StartPayment(amount, code, QString());
    pay->SetAmount(QString());
    pay->SetPaymentCode(QString());
    return true;
}

void CMainDlg::SubmitCancel() {
    RefundPageView* page = context_.refund_page;
    PayResultPageView* result = context_.result_page;
    if (!page || !result || result->Busy()) return;
    const QString order = page->CancelOrderNo();
    const QString reason = page->CancelReason();
    if (order.size() < 14 || reason.isEmpty()) return;
    SelectTab(checkout_tab::kResult);
    result->ClearResult();
    result->SetReturnText(QStringLiteral("上一步返回"));
    result->SetCancelOrRefundText(QStringLiteral("撤销/退款"));
    result->Cancel(order, reason);
    page->ClearCancelFields();
}

void CMainDlg::SubmitRefund() {
    RefundPageView* page = context_.refund_page;
    PayResultPageView* result = context_.result_page;
    if (!page || !result || result->Busy()) return;
    const QString order = page->RefundOrderNo();
    const QString reason = page->RefundReason();
    if (order.size() < 14 || reason.isEmpty()) return;
    SelectTab(checkout_tab::kResult);
    result->ClearResult();
    result->SetReturnText(QStringLiteral("上一步返回"));
    result->SetCancelOrRefundText(QStringLiteral("撤销/退款"));
    result->Refund(page->RefundAmount(), order, reason);
    page->ClearRefundFields();
}

void CMainDlg::OnOptionSelected(int option) {
    const store::Settings* s = config_ ? &config_->settings : nullptr;
    if (option == 3 && s && !s->IsTrue(store::keys::sysIsOpenProductVerifi)) {
        SelectTab(last_option_ - 1);
        ShowTip(QString::fromUtf8(kProductVerifyOff));
        return;
    }
    if (option == 4 && s && !s->IsTrue(store::keys::sysIsOpenFacePay)) {
        SelectTab(last_option_ - 1);
        ShowTip(QString::fromUtf8(kFacePayOff));
        return;
    }
    last_option_ = option;
    if (switch_) switch_->setCurrentIndex(option - 1);
}

void CMainDlg::OnTick() {
    const int action = pending_tray_action_;
    pending_tray_action_ = kNoAction;
    switch (action) {
        case kOpenSettings:
            Launch("settings");
            break;
        case kWindowCapture:
            Launch("window-capture");
            break;
        case kFocusCapture:
            Launch("focus-capture");
            break;
        default:
            break;
    }
    bool input_ticked = false;
    if (services_->input) {
        services_->input->Tick(hidden_ || ui::CDuiMessageBox::IsOpen());
        input_ticked = true;
    }
    if (desktop_ && !input_ticked) desktop_->ProcessEvents();
    if (services_->capture) services_->capture->OnTimerTick();
    if (pay_now_) {
        pay_now_ = false;
        StartBarcodePayment();
    }
}

void CMainDlg::OnAfterPaymentTick() {
    // One step per tick, only while this window is hidden and the popup is gone.
    const bool hidden = hidden_ && !toggling_;
    if (services_->input) {
        services_->input->StepTimerTick(hidden, popup_ && popup_->isVisible());
        return;
    }
    if (after_payment_.empty() || !hidden || (popup_ && popup_->isVisible())) return;
    const std::string step = after_payment_.front();
    after_payment_.pop_front();
    common::diag::Write("afterpay", step);
}

std::deque<std::string> CMainDlg::AfterPaymentList() const {
    if (services_->input) return services_->input->runner().pending();
    return after_payment_;
}

void CMainDlg::SetPayCode(const std::string& code) {
    if (context_.pay_page) context_.pay_page->SetPaymentCode(QString::fromStdString(code));
}

void CMainDlg::PlayVoice(const std::string& file_name) {
    QueueVoices({file_name});
}

void CMainDlg::Notify(const ui::Notification& msg) {
    const QString name = msg.name();
    if (msg.type == QLatin1String(ui::kTimer)) {
        if (msg.timer_id == kTrayActionTimer && msg.sender == options_ui_[0]) {
            OnTick();
        } else if (msg.timer_id == kAfterPaymentTimer && msg.sender == options_ui_[1]) {
            OnAfterPaymentTick();
        } else if (msg.timer_id == kFocusRetryTimer && msg.sender == options_ui_[2]) {
            KillTimer(options_ui_[2], kFocusRetryTimer);
            GiveFocusBack();
        } else if (msg.timer_id == kAutoHideTimer && msg.sender == lab_titles_) {
            KillTimer(lab_titles_, kAutoHideTimer);
            if (!hidden_) ToggleShowHide();
        }
        return;
    }
    if (msg.type == QLatin1String(ui::kClick)) {
        if (msg.sender == btn_close_) {
            if (!hidden_) ToggleShowHide();
        } else if (name == QLatin1String("minbtn")) {
            showMinimized();
        } else if (name == QLatin1String("btn_return")) {
            auto* b = qobject_cast<QAbstractButton*>(msg.sender);
            if (b) {
                if (auto tab = TabForReturnText(b->text().toStdString())) SelectTab(*tab);
            }
        }
        return;
    }
    if (msg.type == QLatin1String(ui::kSelectChanged)) {
        for (int i = 0; i < 6; ++i)
            if (msg.sender == options_ui_[i]) OnOptionSelected(i + 1);
        return;
    }
    if (msg.type == QLatin1String(ui::kReturn)) {
        if (name == QLatin1String("barcodeinput")) {
            StartBarcodePayment();
        } else if (name == QLatin1String("cancelreason_edit")) {
            SubmitCancel();
        } else if (name == QLatin1String("refundreason_edit")) {
            SubmitRefund();
        }
    }
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lab_titles_ && e->type() == QEvent::Resize) ElideTitle();
    if (e->type() == QEvent::Show && watched->isWidgetType())
        KeepAbove(static_cast<QWidget*>(watched));
    return ui::Window::eventFilter(watched, e);
}

void CMainDlg::KeepAbove(QWidget* w) {
    // This window stays on top: another window of the program opened while it is shown
    // (settings from the tray, the selection windows, message boxes) would open behind it,
    // unreachable. Made transient for this window, the window manager keeps it above; it is
    // raised and takes the focus.
    if (!w->isWindow() || w == this || w == float_.get() || w == popup_.get()) return;
    if (hidden_ || !isVisible()) return;
    const Qt::WindowType type = w->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen ||
        (w->windowFlags() & Qt::WindowDoesNotAcceptFocus))
        return;
    if (QWindow* handle = w->windowHandle(); handle && !handle->transientParent())
        handle->setTransientParent(windowHandle());
    QPointer<QWidget> guard(w);
    QTimer::singleShot(0, w, [guard] {
        if (!guard || !guard->isVisible()) return;
        guard->raise();
        guard->activateWindow();
    });
}

void CMainDlg::ElideTitle() {
    // A title wider than its place loses characters in the middle, so that both the
    // program's name and the version at the end stay readable.
    if (!lab_titles_ || full_title_.isEmpty()) return;
    lab_titles_->ensurePolished();
    const int width = lab_titles_->contentsRect().width();
    const QString shown =
        lab_titles_->fontMetrics().elidedText(full_title_, Qt::ElideMiddle, std::max(width, 40));
    if (shown != lab_titles_->text()) lab_titles_->setText(shown);
}

void CMainDlg::closeEvent(QCloseEvent* e) {
    // A close command from the window manager ends the program.
    e->accept();
    if (float_) float_->SavePosition();
    Quit();
}

void CMainDlg::keyReleaseEvent(QKeyEvent* e) {
    int vk = 0;
    const int k = e->key();
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) vk = 112 + (k - Qt::Key_F1);
    if (k >= Qt::Key_A && k <= Qt::Key_Z) vk = 'A' + (k - Qt::Key_A);
    if (k == Qt::Key_Tab || k == Qt::Key_Backtab) vk = 9;
    if (vk == 0 || !config_ || !HandleMainKey(vk)) ui::Window::keyReleaseEvent(e);
}

bool CMainDlg::HandleMainKey(int vk) {
    const store::Settings& s = config_->settings;
    auto is = [&](const char* key, bool allow_tab = false) {
        if (services_->input) {
            const auto& keys = input::MainKeyTable::SettingKeys();
            const int f = services_->input->key_table().Match(vk);
            return f >= 0 && std::string(keys[static_cast<size_t>(f)]) == key;
        }
        return MainKeyFromSetting(s.Get(key), allow_tab) == vk;
    };
    if (is(store::keys::sysSetOptionHotKey, true))
        return RunMainKey(input::MainKeyTable::SetOption);
    if (is(store::keys::sysPageDownHotKey)) return RunMainKey(input::MainKeyTable::PageDown);
    if (is(store::keys::sysPageUpHotKey)) return RunMainKey(input::MainKeyTable::PageUp);
    if (is(store::keys::sysRefundOrCancelHotKey))
        return RunMainKey(input::MainKeyTable::RefundOrCancel);
    if (is(store::keys::sysCheckHotKey)) return RunMainKey(input::MainKeyTable::Check);
    if (is(store::keys::sysReturnBtnHotKey)) return RunMainKey(input::MainKeyTable::ReturnButton);
    if (is(store::keys::sysPrintBillHotKey)) return RunMainKey(input::MainKeyTable::PrintBill);
    return false;
}

bool CMainDlg::RunMainKey(int function) {
    auto step_option = [this](int step) {
        for (int i = 1; i <= 6; ++i) {
            const int next = ((last_option_ - 1 + step * i) % 6 + 6) % 6;
            if (options_ui_[next] && !options_ui_[next]->isHidden()) {
                options_ui_[next]->setChecked(true);
                return;
            }
        }
    };
    auto click_on_page = [this](const char* control) {
        if (!switch_ || !switch_->currentWidget()) return;
        if (auto* b =
                switch_->currentWidget()->findChild<QAbstractButton*>(QString::fromLatin1(control)))
            b->click();
    };
    switch (function) {
        case input::MainKeyTable::SetOption:
        case input::MainKeyTable::PageDown:
            step_option(1);
            break;
        case input::MainKeyTable::PageUp:
            step_option(-1);
            break;
        case input::MainKeyTable::RefundOrCancel:
            SelectTab(checkout_tab::kRefund);
            break;
        case input::MainKeyTable::Check:
            SelectTab(checkout_tab::kOrderCheck);
            break;
        case input::MainKeyTable::ReturnButton:
            click_on_page("btn_return");
            break;
        case input::MainKeyTable::PrintBill:
            click_on_page("btn_print_bill");
            break;
        default:
            return false;
    }
    // Which key acted, so support can tell a key that never arrived from one that did.
    common::diag::Write("shell", "main window key " + std::to_string(function) + " acted");
    return true;
}

void CMainDlg::ApplyAltShortcuts() {
    // "alt + X" values of the main window keys: Alt+X acts as the button of that function
    // while the main window (or one of its pages) has the focus.
    for (QShortcut* sc : alt_shortcuts_) delete sc;
    alt_shortcuts_.clear();
    if (!services_->input) return;
    const input::MainKeyTable& table = services_->input->key_table();
    for (int f = 0; f < input::MainKeyTable::kCount; ++f) {
        const char c = table.alt_shortcut(static_cast<input::MainKeyTable::Function>(f));
        if (c < 'A' || c > 'Z') continue;
        auto* sc = new QShortcut(
            QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_A + (c - 'A'))), this);
        sc->setContext(Qt::WindowShortcut);
        connect(sc, &QShortcut::activated, this, [this, f] { RunMainKey(f); });
        alt_shortcuts_.push_back(sc);
    }
}

}  // namespace tendrix::checkout
