#include "checkout/pages/pay_result_dlg.h"

#include <QAbstractButton>
#include <QPlainTextEdit>

#include "checkout/pages/order_reconciler.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pages/qr_label.h"
#include "checkout/pages/refund_dlg.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "context/app_config.h"
#include "ui/background_call.h"
#include "ui/message_box.h"

namespace tendrix::checkout {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

}  // namespace

CPayResultDlg::CPayResultDlg(QWidget* parent)
    : ui::Page(QStringLiteral("PayResultDlg"), QStringLiteral("PayResultDlg.xml"), parent) {}

CPayResultDlg::~CPayResultDlg() = default;

void CPayResultDlg::DoInit() {
    btn_cancel_ = FindControl<QAbstractButton>(QStringLiteral("btn_cancelorrefund"));
    btn_print_ = FindControl<QAbstractButton>(QStringLiteral("btn_print_bill"));
    btn_check_ = FindControl<QAbstractButton>(QStringLiteral("btn_check"));
    btn_return_ = FindControl<QAbstractButton>(QStringLiteral("btn_return"));
    result_ = FindControl<QPlainTextEdit>(QStringLiteral("tade_result"));
    qr_ = FindControl<QrLabel>(QStringLiteral("qr_code"));
    if (qr_) qr_->hide();
}

void CPayResultDlg::Attach(const CheckoutContext& context) {
    context_ = context;
    EnsureSession();
}

ExchangeRunner CPayResultDlg::Runner() {
    return [this](std::function<platform_api::PlatformAnswer()> job,
                  std::function<void(platform_api::PlatformAnswer)> done) {
        if (inline_exchanges_) {
            done(job());
            return;
        }
        ui::RunInBackground<platform_api::PlatformAnswer>(this, std::move(job), std::move(done));
    };
}

void CPayResultDlg::EnsureSession() {
    context::AppConfig* config = context_.config;
    if (session_ || !config) return;
    store_ = std::make_unique<UnresolvedOrderStore>(config->data_dir);
    session_ = std::make_unique<PayResultSession>(*config, *this, context_.sink, store_.get());
    session_->set_exchange_runner(Runner());

    OrderReconciler::Hooks hooks;
    hooks.runner = Runner();
    hooks.in_hand = [this](const UnresolvedOrder& o) {
        return session_ && session_->Watching(o.out_order_id, o.order_id);
    };
    hooks.popup = [this](const std::string& title, const std::string& amount) {
        ShowPopup(title, amount);
    };
    hooks.finished = [this](const std::string& receipt) { OnOrderFinished(receipt); };
    hooks.changed = [this] {
        if (auto* pay = dynamic_cast<CPayDlg*>(context_.pay_page)) pay->RefreshUnresolved();
    };
    reconciler_ = new OrderReconciler(*config, *store_, context_.sink, std::move(hooks), this);
    session_->set_reach_observer([this](bool reached) {
        if (reconciler_) reconciler_->OnPlatformReach(reached);
    });
    reconciler_->Start();
}

QWidget* CPayResultDlg::Owner() const {
    return context_.main_window ? context_.main_window : window();
}

// ---- main window operations ----

void CPayResultDlg::StartPayment(const QString& amount, const QString& code,
                                 const QString& pay_type) {
    EnsureSession();
    if (!session_) return;
    session_->StartPayment(S(amount), S(code), S(pay_type));
}

void CPayResultDlg::PreCreate(const QString& amount, const QString& pay_type_name) {
    EnsureSession();
    if (!session_) return;
    session_->PreCreate(S(amount), S(pay_type_name));
}

void CPayResultDlg::Refund(const QString& amount, const QString& order_no, const QString& reason) {
    EnsureSession();
    if (!session_) return;
    session_->Refund(S(amount), S(order_no), S(reason));
}

void CPayResultDlg::Cancel(const QString& order_no, const QString& reason) {
    EnsureSession();
    if (!session_) return;
    session_->Cancel(S(order_no), S(reason));
}

void CPayResultDlg::ClearResult() {
    EnsureSession();
    if (Busy()) return;
    if (session_)
        session_->ClearResult();
    else if (result_)
        result_->clear();
}

// While an operation awaits its answer the page keeps its labels: the main window sets them
// before every operation, and one that is refused for being second must not change them.
void CPayResultDlg::SetReturnText(const QString& text) {
    if (btn_return_ && !Busy()) btn_return_->setText(text);
}

void CPayResultDlg::SetCancelOrRefundText(const QString& text) {
    if (btn_cancel_ && !Busy()) btn_cancel_->setText(text);
}

void CPayResultDlg::PressClose() {
    if (btn_return_) btn_return_->click();
}

void CPayResultDlg::CurrentOrder(QString& order_no, int& state) const {
    if (!session_) {
        order_no.clear();
        state = -1;
        return;
    }
    const CurrentOrderInfo info = session_->CurrentOrder();
    order_no = Q(info.order_id);
    state = info.state;
}

bool CPayResultDlg::ShowOldestUnresolved() {
    EnsureSession();
    if (!session_ || Busy()) return false;
    if (context_.select_tab) context_.select_tab(checkout_tab::kResult);
    SetReturnText(Q(std::string(kReturnLabel)));
    SetCancelOrRefundText(Q(std::string(kCancelOrRefundLabel)));
    return session_->ShowOldestUnresolved();
}

int CPayResultDlg::UnresolvedCount() {
    EnsureSession();
    return store_ ? static_cast<int>(store_->List().size()) : 0;
}

// ---- notifications ----

void CPayResultDlg::Notify(const ui::Notification& msg) {
    if (!session_) return;
    if (msg.type == QLatin1String(ui::kTimer)) {
        if (msg.timer_id == kQueryTimerId && msg.sender == result_) {
            session_->OnTimer(kQueryTimerId);
        } else if (msg.timer_id == kReturnTimerId && msg.sender == btn_return_) {
            // Acts as a click, so that the main window switches the page as well.
            ui::Page::KillTimer(btn_return_, kReturnTimerId);
            if (btn_return_) btn_return_->click();
        }
        return;
    }
    if (msg.type != QLatin1String(ui::kClick)) return;
    if (msg.sender == btn_check_) {
        session_->OnCheckClick();
    } else if (msg.sender == btn_print_) {
        session_->OnPrintClick();
    } else if (msg.sender == btn_return_) {
        session_->OnReturnClick();
    } else if (msg.sender == btn_cancel_) {
        OpenRefundPage();
    }
}

// The cancel/refund button takes the order in hand to the refund and cancel page: a
// waiting or timed-out order to the cancel panel, a paid one to the refund panel.
void CPayResultDlg::OpenRefundPage() {
    const CurrentOrderInfo info = session_->CurrentOrder();
    if (info.order_id.empty()) {
        ShowMessage("请先查询，获取要撤销或退款的订单！");
        return;
    }
    auto* page = dynamic_cast<CRefundOrCloseOrderDlg*>(context_.refund_page);
    if (!page) return;
    const bool cancel = info.state == 1 || info.state == 12 || info.state == 13;
    const context::AppConfig* config = context_.config;
    if (!cancel && config && config->refund_permission == kNoRefundPermissionName) {
        ShowMessage(std::string(kNoRefundPermissionText));
        return;
    }
    page->PrefillOrder(Q(info.order_id), cancel);
    if (context_.select_tab) context_.select_tab(checkout_tab::kRefund);
}

// ---- ResultPageView ----

void CPayResultDlg::ShowMessage(const std::string& text) {
    ui::ShowMessage(Owner(), Q(text));
}

bool CPayResultDlg::AskYesNo(const std::string& text) {
    return ui::CDuiMessageBox::Show(Owner(), Q(text), QString(), ui::CDuiMessageBox::kYesNo) ==
           ui::CDuiMessageBox::kResultYes;
}

void CPayResultDlg::ShowResultText(const std::string& text) {
    if (!result_) return;
    QString shown = Q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result_->setPlainText(shown);
}

void CPayResultDlg::SetTimer(int id, int ms) {
    if (id == kQueryTimerId) ui::Page::SetTimer(result_, id, ms);
    if (id == kReturnTimerId) ui::Page::SetTimer(btn_return_, id, ms);
}

void CPayResultDlg::KillTimer(int id) {
    if (id == kQueryTimerId) ui::Page::KillTimer(result_, id);
    if (id == kReturnTimerId) ui::Page::KillTimer(btn_return_, id);
}

void CPayResultDlg::SetCancelButtonText(const std::string& text) {
    SetCancelOrRefundText(Q(text));
}

void CPayResultDlg::ShowQrCode(const std::string& link, int number) {
    if (!qr_) return;
    qr_->SetLink(Q(link), number);
    qr_->show();
}

void CPayResultDlg::HideQrCode() {
    if (qr_) qr_->hide();
}

void CPayResultDlg::SetQrText(const std::string& text) {
    if (qr_) qr_->SetText(Q(text));
}

void CPayResultDlg::ShowPopup(const std::string& title, const std::string& amount) {
    if (popup_) popup_->ShowResult(Q(title), Q(amount));
}

void CPayResultDlg::OnOrderFinished(const std::string& receipt) {
    if (auto* pay = dynamic_cast<CPayDlg*>(context_.pay_page)) pay->ShowLastReceipt(Q(receipt));
}

void CPayResultDlg::OnUnresolvedChanged() {
    if (auto* pay = dynamic_cast<CPayDlg*>(context_.pay_page)) pay->RefreshUnresolved();
    if (reconciler_) reconciler_->OnStoreChanged();
}

void CPayResultDlg::SetBusy(const std::string& text) {
    const bool busy = !text.empty();
    for (QAbstractButton* b : {btn_check_, btn_cancel_, btn_print_})
        if (b) b->setEnabled(!busy);
    if (busy)
        ShowResultText(text);
    else if (session_)
        ShowResultText(session_->result_text());
    if (auto* pay = dynamic_cast<CPayDlg*>(context_.pay_page)) pay->SetPaymentInFlight(busy);
}

}  // namespace tendrix::checkout
