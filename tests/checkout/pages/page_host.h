#pragma once
// A stand-in for the main window in the page tests: it hosts the checkout pages as tabs of
// `switch` in the order the main window uses, routes Enter in `barcodeinput` and the reason
// fields and the return buttons the way the main window does, records every command and
// popup, and answers the modal message boxes as a cashier would.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <string>
#include <vector>

#include "checkout/checkout_pages.h"
#include "checkout/pages/register_pages.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "ui/message_box.h"
#include "ui/page_factory.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace tendrix::test {

inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout_ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline void PressKey(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}
inline void Enter(QLineEdit* e) {
    PressKey(e, Qt::Key_Return, QStringLiteral("\r"));
}

// Closes every message box that opens, remembering its text; yes/no boxes get `answer_yes`.
class BoxAnswerer : public QObject {
  public:
    BoxAnswerer() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] { Scan(); });
        timer_.start();
    }
    std::vector<QString> texts;
    bool answer_yes = true;
    bool Saw(const QString& part) const {
        for (const auto& t : texts)
            if (t.contains(part)) return true;
        return false;
    }

  private:
    void Scan() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<ui::CDuiMessageBox*>(w);
            if (!box || !box->isVisible() || box->property("answered").toBool()) continue;
            box->setProperty("answered", true);
            QString text;
            if (auto* label = box->findChild<QWidget*>(QStringLiteral("msg_text"))) {
                QTextDocument doc;
                doc.setHtml(label->property("text").toString());
                text = doc.toPlainText();
            }
            texts.push_back(text);
            const char* name = box->findChild<QAbstractButton*>(QStringLiteral("yesbtn"))
                                   ? (answer_yes ? "yesbtn" : "nobtn")
                                   : "okbtn";
            if (auto* b = box->findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
        }
    }
    QTimer timer_;
};

class PageHost : public QWidget, public ui::INotify, public CommandSink, public IPaymentPopup {
  public:
    explicit PageHost(AppConfig* config) : config_(config) {
        setProperty("windowClass", QStringLiteral("DUIMainFram"));
        setWindowTitle(QString::fromStdString(config->soft_name));
        resize(900, 600);
        auto* layout = new QVBoxLayout(this);
        switch_ = new QStackedWidget(this);
        switch_->setObjectName(QStringLiteral("switch"));
        layout->addWidget(switch_);
        const char* names[] = {
            "PayDlg",      "PrePayAuthorizationDlg", "SingleProductVerificationDlg",
            "FacePayDlg",  "RefundOrCloseDlg",       nullptr,
            "PayResultDlg"};
        for (const char* name : names) {
            QWidget* w = name ? ui::PageFactory::Create(QString::fromLatin1(name), switch_)
                              : new QWidget(switch_);
            switch_->addWidget(w);
            if (auto* page = dynamic_cast<ui::Page*>(w)) {
                page->Build();
                page->Hub().AddNotifier(this);
                pages_.push_back(page);
            }
        }
        for (ui::Page* p : pages_) p->DoInit();
        context_.config = config;
        context_.sink = this;
        context_.main_window = this;
        context_.popup = this;
        context_.select_tab = [this](int tab) { switch_->setCurrentIndex(tab); };
        context_.write_face_pay_port = [this](const std::string& bytes) {
            face_pay += bytes;
            return true;
        };
        for (ui::Page* p : pages_) {
            if (auto* x = dynamic_cast<IPayPage*>(p)) context_.pay_page = x;
            if (auto* x = dynamic_cast<IPayResultPage*>(p)) context_.result_page = x;
            if (auto* x = dynamic_cast<IRefundPage*>(p)) context_.refund_page = x;
        }
        for (ui::Page* p : pages_)
            if (auto* c = dynamic_cast<ICheckoutPage*>(p)) c->Attach(context_);
        context_.result_page->SetPopup(this);
        show();
    }

    template <typename T = QWidget>
    T* Find(const char* name) const {
        return findChild<T*>(QString::fromLatin1(name));
    }
    int Tab() const { return switch_->currentIndex(); }
    void SelectTab(int tab) { switch_->setCurrentIndex(tab); }
    IPayPage* Pay() const { return context_.pay_page; }
    IPayResultPage* Result() const { return context_.result_page; }
    IRefundPage* Refund() const { return context_.refund_page; }
    std::vector<std::string> Payloads(CheckoutCommand cmd) const {
        std::vector<std::string> out;
        for (const auto& [c, p] : commands)
            if (c == cmd) out.push_back(p);
        return out;
    }

    // CommandSink
    void SendCommand(CheckoutCommand cmd, std::string payload) override {
        commands.emplace_back(cmd, std::move(payload));
    }
    void PostCommand(CheckoutCommand cmd, std::string payload) override {
        SendCommand(cmd, std::move(payload));
    }
    // IPaymentPopup
    void ShowResult(const QString& result, const QString& amount) override {
        popups.emplace_back(result, amount);
    }
    void ShowText(const QString&) override {}
    bool IsPopupVisible() const override { return false; }

    // The main window's part: Enter in the code and reason fields, the return buttons.
    void Notify(const ui::Notification& msg) override {
        const QString name = msg.name();
        if (msg.type == QLatin1String(ui::kReturn)) {
            if (name == QLatin1String("barcodeinput")) StartBarcodePayment();
            if (name == QLatin1String("cancelreason_edit")) Submit(true);
            if (name == QLatin1String("refundreason_edit")) Submit(false);
        } else if (msg.type == QLatin1String(ui::kClick) && name == QLatin1String("btn_return")) {
            const QString text = static_cast<QAbstractButton*>(msg.sender)->text();
            if (text == QStringLiteral("返回") || text == QStringLiteral("二维码支付返回"))
                SelectTab(0);
            if (text == QStringLiteral("预授权返回")) SelectTab(1);
            if (text == QStringLiteral("上一步返回")) SelectTab(4);
        }
    }
    void StartBarcodePayment() {
        const QString code = Pay()->PaymentCode(), amount = Pay()->Amount();
        if (code.size() < 14 || amount.isEmpty()) return;
        SelectTab(checkout_tab::kResult);
        Result()->ClearResult();
        Result()->SetReturnText(QStringLiteral("返回"));
        Result()->SetCancelOrRefundText(QStringLiteral("撤销/退款"));
        Result()->StartPayment(amount, code, QString());
        Pay()->SetAmount(QString());
        Pay()->SetPaymentCode(QString());
    }
    void Submit(bool cancel) {
        const QString order = cancel ? Refund()->CancelOrderNo() : Refund()->RefundOrderNo();
        const QString reason = cancel ? Refund()->CancelReason() : Refund()->RefundReason();
        if (order.size() < 14 || reason.isEmpty()) return;
        SelectTab(checkout_tab::kResult);
        Result()->ClearResult();
        Result()->SetReturnText(QStringLiteral("上一步返回"));
        Result()->SetCancelOrRefundText(QStringLiteral("撤销/退款"));
        if (cancel) {
            Result()->Cancel(order, reason);
            Refund()->ClearCancelFields();
        } else {
            Result()->Refund(Refund()->RefundAmount(), order, reason);
            Refund()->ClearRefundFields();
        }
    }

    std::vector<std::pair<CheckoutCommand, std::string>> commands;
    std::vector<std::pair<QString, QString>> popups;
    std::string face_pay;

  private:
    AppConfig* config_;
    CheckoutContext context_;
    QStackedWidget* switch_ = nullptr;
    std::vector<ui::Page*> pages_;
};

}  // namespace tendrix::test
