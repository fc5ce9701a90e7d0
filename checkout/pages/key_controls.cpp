#include "checkout/pages/key_controls.h"

#include <QAbstractButton>
#include <QApplication>

#include "checkout/pages/key_input.h"
#include "checkout/pages/pay_logic.h"
#include "common/checkout_command.h"
#include "context/app_config.h"

namespace tendrix::checkout {
namespace {

// Keypad buttons never take the focus: the strokes go to the field the cashier is in.
void KeepFocusAway(QWidget* root) {
    for (auto* b : root->findChildren<QAbstractButton*>()) b->setFocusPolicy(Qt::NoFocus);
}

void Press(const ui::Notification& msg, KeypadKind kind, desktop::DesktopServices* desktop) {
    if (msg.type != QLatin1String(ui::kClick)) return;
    const QString name = msg.name();
    if (!name.startsWith(QLatin1String("btnnum"))) return;
    auto* button = qobject_cast<QAbstractButton*>(msg.sender);
    const std::string text = button ? button->text().trimmed().toStdString() : std::string();
    InjectKeyStrokes(KeypadStrokes(name.toStdString(), text, kind), desktop);
}

}  // namespace

CKeyControls::CKeyControls(QWidget* parent)
    : ui::Page(QStringLiteral("KeyControls"), QStringLiteral("keycontrol.xml"), parent) {}

void CKeyControls::DoInit() {
    KeepFocusAway(this);
}

void CKeyControls::Notify(const ui::Notification& msg) {
    Press(msg, KeypadKind::Controls, desktop_);
}

CKeyWindow::CKeyWindow(context::AppConfig* config, QWidget* main_window,
                       desktop::DesktopServices* desktop)
    : ui::Window(QStringLiteral("KeyWindow"), QStringLiteral("keycontrol.xml"), main_window,
                 Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      config_(config),
      main_window_(main_window),
      desktop_(desktop) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("KeyWindow"));
    Build();
    KeepFocusAway(this);
    resize(kSize, kSize);
    const QPoint origin = main_window ? main_window->geometry().topLeft() : QPoint();
    move(origin + QPoint(kX, kY));
}

void CKeyWindow::Notify(const ui::Notification& msg) {
    if (msg.type == QLatin1String(ui::kWindowInit)) {
        // Tell the main window who we are (command 14), found as FindWindow would find it.
        QWidget* main = main_window_;
        if (config_) {
            const auto found = ui::Window::FindWindows(QStringLiteral("DUIMainFram"),
                                                       QString::fromStdString(config_->soft_name));
            if (!found.isEmpty()) main = found.first();
        }
        if (auto* sink = dynamic_cast<common::CommandSink*>(main))
            sink->SendCommand(common::CheckoutCommand::KeypadWindow, std::to_string(winId()));
        return;
    }
    Press(msg, KeypadKind::Window, desktop_);
}

void BuildNestedPages(QWidget* root, desktop::DesktopServices* desktop) {
    for (auto* keypad : root->findChildren<CKeyControls*>()) {
        if (!keypad->property("tendrixBuilt").toBool()) {
            keypad->setProperty("tendrixBuilt", true);
            keypad->Build();
            keypad->DoInit();
        }
        if (desktop) keypad->SetDesktop(desktop);
    }
}

}  // namespace tendrix::checkout
