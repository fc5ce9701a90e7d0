#include "checkout/float_dlg.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "context/app_config.h"
#include "desktop/desktop_services.h"

namespace tendrix::checkout {

CFloatDlg::CFloatDlg(context::AppConfig* config, desktop::DesktopServices* desktop,
                     std::function<void()> on_click, std::function<bool()> activate_main)
    : ui::Window(QStringLiteral("MainFloatWindow"), QStringLiteral("floatwnd.xml"), nullptr,
                 Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      config_(config),
      desktop_(desktop),
      on_click_(std::move(on_click)),
      activate_main_(std::move(activate_main)) {
    setWindowTitle(QStringLiteral("MainFloatWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    Build();
    btn_openmain_ = FindControl<QPushButton>(QStringLiteral("btn_openmain"));
    if (btn_openmain_) btn_openmain_->setFocusPolicy(Qt::NoFocus);
}

QPoint CFloatDlg::DefaultPosition() const {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1366, 768);
    return {area.x() + area.width() - width(), area.y() + area.height() / 10};
}

void CFloatDlg::ApplyOpacity(int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    setWindowOpacity(alpha / 255.0);
    int x = 0, y = 0;
    if (config_) config_->LoadFloatPosition(x, y);
    if (x == 0 && y == 0) {
        move(DefaultPosition());
    } else {
        move(x, y);
    }
    raise();
    opacity_ = alpha;
}

void CFloatDlg::ShowAmount(const QString& amount) {
    if (btn_openmain_) btn_openmain_->setText(amount);
}

QString CFloatDlg::Amount() const {
    return btn_openmain_ ? btn_openmain_->text() : QString();
}

bool CFloatDlg::SavePosition() {
    if (!config_) return false;
    return config_->SaveFloatPosition(x(), y());
}

void CFloatDlg::Notify(const ui::Notification& msg) {
    if (msg.type == QLatin1String(ui::kWindowInit)) {
        if (btn_openmain_) SetTimer(btn_openmain_, kReassertTimer, kReassertMs);
    } else if (msg.Is(ui::kClick, "btn_openmain")) {
        if (on_click_) on_click_();
    } else if (msg.type == QLatin1String(ui::kTimer) && msg.timer_id == kReassertTimer) {
        Reassert();
    }
}

void CFloatDlg::Reassert() {
    if (opacity_ == 0) return;  // an opacity of 0 stops the re-assertion
    ApplyOpacity(opacity_);
    if (!desktop_) return;
    const QPoint c = frameGeometry().center();
    const desktop::WindowId under = desktop_->WindowAt({c.x(), c.y()});
    if (under == static_cast<desktop::WindowId>(winId())) return;
    const std::string text = desktop_->WindowText(under).substr(0, 200);
    if (text.find("MenuUIFloat") != std::string::npos) return;
    raise();
    if (activate_main_ && activate_main_()) return;
    const desktop::WindowId behind = desktop_->WindowAt({x() - 2, y() - 2});
    if (behind != 0) desktop_->BringToForeground(behind);
}

}  // namespace tendrix::checkout
