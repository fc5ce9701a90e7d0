#pragma once
// The real main window (CMainDlg) offscreen for the checkout page tests and benchmarks: logged
// in, a recording desktop, recording receipts, voice and face-pay port, no capture devices;
// plus the cashier's hands (Enter, waiting with events) and a message-box answerer.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextDocument>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "checkout/main_dlg.h"
#include "context/app_config.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/recording_outputs.h"
#include "ui/message_box.h"

namespace tendrix::test {

using namespace tendrix::checkout;
using namespace tendrix::context;
using namespace tendrix::desktop;

// SpinUntil and a plain wait, with the longer default the platform exchanges need.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    return SpinUntil(done, timeout_ms);
}
inline void Wait(int ms) {
    SpinUntil([] { return false; }, ms);
}

inline void Enter(QLineEdit* e) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(e, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(e, &release);
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

// Opens the main window over `config` (whose cashier is logged in already), with recording
// outputs and no capture devices. `outputs` and `desktop` outlive the window.
inline std::unique_ptr<CMainDlg> OpenMainWindow(AppConfig& config, RecordingOutputs& outputs,
                                                DesktopServices* desktop) {
    CMainDlg::Options o;
    o.login = [](CMainDlg&) { return true; };
    o.desktop = desktop;
    o.use_x11_desktop = false;
    outputs.Inject(o);
    o.start_devices = false;
    o.launcher = [](const std::string&) { return true; };
    auto main = std::make_unique<CMainDlg>(&config, std::move(o));
    main->Initialise();
    return main;
}

}  // namespace tendrix::test
