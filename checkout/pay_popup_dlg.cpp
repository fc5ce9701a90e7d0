#include "checkout/pay_popup_dlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace tendrix::checkout {
namespace {

int g_ticks = 0;  // one process-wide tick counter for the display timer

struct ResultLook {
    const char* result;
    const char* caption;
    const char* picture;
};

constexpr ResultLook kLooks[] = {
    {"预授权冻结成功！", "冻结金额：", "image/frozenlab.png"},
    {"支付成功！", "支付金额：", "image/paysuccelab.png"},
    {"退款成功！", "退款金额：", "image/refundlab.png"},
    {"解冻成功！", "解冻金额：", "image/thrawlabel.png"},
    {"撤销成功！", "撤销金额：", "image/payfaillab.png"},
};

constexpr const char* kBlankPicture = "image/paynulllab.png";

}  // namespace

CPayPopupDlg::CPayPopupDlg()
    : ui::Window(QStringLiteral("MainPopupWindow"), QStringLiteral("PayPopupWindow.xml"), nullptr,
                 Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setWindowTitle(QStringLiteral("MainPopupWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    Build();
    result_ = FindControl<QLabel>(QStringLiteral("label_pay_result"));
    money_ = FindControl<QLabel>(QStringLiteral("pay_money"));
    image_ = FindControl<QLabel>(QStringLiteral("pay_image"));
    PlaceBottomRight();
}

void CPayPopupDlg::PlaceBottomRight() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1366, 768);
    move(area.x() + area.width() - width(), area.y() + area.height() - height());
}

void CPayPopupDlg::ShowResult(const QString& result, const QString& amount) {
    if (result_) result_->setText(result);
    for (const ResultLook& look : kLooks) {
        if (result == QString::fromUtf8(look.result)) {
            caption_ = QString::fromUtf8(look.caption);
            SetPicture(QString::fromUtf8(look.picture));
            break;
        }
    }
    if (money_) money_->setText(caption_ + amount);
    show();
    // A second result while shown starts the full display time again.
    g_ticks = 0;
    SetTimer(this, kDisplayTimer, kDisplayMs);
}

void CPayPopupDlg::ShowText(const QString& text) {
    if (result_) result_->setText(text);
}

QString CPayPopupDlg::ResultText() const {
    return result_ ? result_->text() : QString();
}
QString CPayPopupDlg::MoneyText() const {
    return money_ ? money_->text() : QString();
}
int CPayPopupDlg::TickCounter() {
    return g_ticks;
}

void CPayPopupDlg::SetPicture(const QString& relative) {
    picture_ = relative;
    if (image_) image_->setPixmap(QPixmap(ui::SkinPath(relative)));
}

void CPayPopupDlg::Tick() {
    if (g_ticks == 4) {
        hide();
        KillTimer(this, kDisplayTimer);
        g_ticks = 0;
        return;
    }
    if (g_ticks == 3) SetPicture(QString::fromLatin1(kBlankPicture));
    ++g_ticks;
}

void CPayPopupDlg::Notify(const ui::Notification& msg) {
    if (msg.type == QLatin1String(ui::kTimer) && msg.timer_id == kDisplayTimer) {
        Tick();
    } else if (msg.Is(ui::kClick, "btn_close")) {
        SetPicture(QString::fromLatin1(kBlankPicture));
        KillTimer(this, kDisplayTimer);
        g_ticks = 0;
        hide();
    }
}

}  // namespace tendrix::checkout
