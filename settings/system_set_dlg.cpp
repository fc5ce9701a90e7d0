#include "settings/system_set_dlg.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTabWidget>

#include "capture/selection/capture_dlg.h"
#include "capture/selection/modal_run.h"
#include "context/app_config.h"
#include "platform_api/link_security.h"
#include "settings/settings_page_model.h"
#include "settings/settings_pages.h"
#include "store/settings_keys.h"
#include "ui/message_box.h"

namespace tendrix::settings {

CSystemSetDlg::CSystemSetDlg(SettingsContext context, QWidget* parent)
    : ui::Window(kWindowName, "SystemSetDlg.xml", parent), ctx_(std::move(context)) {
    setWindowTitle("系统设置");
    if (!ctx_.message) ctx_.message = [this](const QString& text) { ui::ShowMessage(this, text); };
    if (!ctx_.choose_file)
        ctx_.choose_file = [this](const QString& title, const QString& start) {
            return QFileDialog::getOpenFileName(this, title, start);
        };
    if (!ctx_.pick) ctx_.pick = [this](const std::string& key) { PickArea(key); };
}

CSystemSetDlg::~CSystemSetDlg() = default;

bool CSystemSetDlg::Build() {
    if (built()) return true;
    bool ok = ui::Window::Build([](const QString& cls, QWidget* parent) -> QWidget* {
        return CreateSettingsPage(cls, parent);
    });
    if (!ok) return false;
    for (CSysSettingsPage* p : Root()->findChildren<CSysSettingsPage*>()) pages_.push_back(p);
    ShowLinkWarning();
    for (CSysSettingsPage* p : pages_) {
        p->Attach(ctx_);
        if (ctx_.config) p->LoadValues(ctx_.config->settings);
    }
    return true;
}

CSysSettingsPage* CSystemSetDlg::PageFor(const std::string& key) const {
    const settings::ControlDescription* description = settings::FindControl(key);
    if (!description) return nullptr;
    for (CSysSettingsPage* p : pages_)
        if (p->id() == description->page) return p;
    return nullptr;
}

std::map<std::string, std::string> CSystemSetDlg::CollectValues() const {
    std::map<std::string, std::string> values;
    for (CSysSettingsPage* p : pages_) p->CollectValues(values);
    return values;
}

settings::SaveOutcome CSystemSetDlg::Save() {
    settings::SaveOutcome out;
    if (!ctx_.config) {
        out.message = settings::kSaveFailedText;
    } else {
        out = settings::SaveSettings(ctx_.config->settings, CollectValues());
        if (!out.bad_key.empty()) {
            // Show the page and the control that holds the refused value.
            if (CSysSettingsPage* p = PageFor(out.bad_key)) {
                if (auto* tabs = FindControl<QTabWidget>("tab_pages"))
                    for (int i = 0; i < tabs->count(); ++i)
                        if (tabs->widget(i)->isAncestorOf(p)) tabs->setCurrentIndex(i);
                if (QWidget* w = p->FindControl<QWidget>(QString::fromStdString(out.bad_key)))
                    w->setFocus();
            }
        }
    }
    ctx_.message(QString::fromStdString(out.message));
    return out;
}

void CSystemSetDlg::Notify(const ui::Notification& msg) {
    if (msg.type != ui::kClick) return;
    if (msg.name() == "btn_save")
        Save();
    else if (msg.name() == "btn_cancel" || msg.name() == "btn_close")
        close();
}

void CSystemSetDlg::closeEvent(QCloseEvent* e) {
    // The camera and the listening test stop with the window.
    for (CSysSettingsPage* p : pages_) {
        if (auto* cam = qobject_cast<CSysCameraSetDlg*>(p)) cam->Stop();
        if (auto* basic = qobject_cast<CSysBasicSetDlg*>(p))
            if (basic->Listening())
                basic->Notify({ui::kClick, basic->FindControl<QWidget>("btn_listen_test")});
    }
    ui::Window::closeEvent(e);
}

void CSystemSetDlg::ShowLinkWarning() {
    // A platform reached over plain http from another machine: whoever shares the shop's
    // network can read the keys or forge a "paid" answer. Said above every page.
    const std::string warning =
        ctx_.config ? platform_api::PlainHttpWarning(ctx_.config->api_base) : "";
    auto* layout = qobject_cast<QBoxLayout*>(Root()->layout());
    if (warning.empty() || !layout) return;
    auto* label = new QLabel(QString::fromStdString(warning), Root());
    label->setObjectName("lab_link_warning");
    label->setWordWrap(true);
    label->setStyleSheet(
        "QLabel { color: #ffffff; background: #c0392b; padding: 6px 16px; font-size: 13px; }");
    layout->insertWidget(1, label);  // below the title bar
}

void CSystemSetDlg::PickArea(const std::string& key) {
    if (!ctx_.config) return;
    // The settings window steps aside so the screen can be marked.
    setProperty("picking", true);
    hide();
    if (key == store::keys::sysGetMoneyFromHwnd) {
        if (ctx_.desktop)
            capture::selection::RunCaptureDlgByHwnd(ctx_.config->settings, *ctx_.desktop, this);
        else
            ctx_.message("无法访问桌面，不能选取窗口！");
    } else {
        capture::selection::RunCaptureDlg(ctx_.config->settings, this, ctx_.desktop,
                                          ctx_.config->environment.plugin_dir);
    }
    show();
    setProperty("picking", false);
    raise();
    activateWindow();
}

bool RunSystemSetDlg(const SettingsContext& context, QWidget* owner) {
    static QPointer<CSystemSetDlg> open;
    if (open) {
        open->show();
        open->raise();
        open->activateWindow();
        return false;
    }
    CSystemSetDlg dlg(context, owner);
    if (!dlg.Build()) return false;
    open = &dlg;
    dlg.setWindowModality(Qt::ApplicationModal);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect area = s->availableGeometry();
        dlg.resize(dlg.size().boundedTo(area.size()));
        dlg.move(area.center() - QPoint(dlg.width() / 2, dlg.height() / 2));
    }
    capture::selection::RunModalUntilHidden(dlg, "picking");
    return true;
}

}  // namespace tendrix::settings
