#include "accounts/cashier_jurisdiction_dlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform_api/platform_client.h"
#include "ui/background_call.h"
#include "ui/message_box.h"
#include "ui/skin.h"
#include "ui/skin_colours.h"

namespace tendrix::accounts {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

int RowNumber(const QWidget* w) {
    bool ok = false;
    const int n = w->objectName().mid(4).toInt(&ok);  // "row_N"
    return ok ? n : 1 << 30;
}

}  // namespace

CCahierJurisdictionSetDlg::CCahierJurisdictionSetDlg(const context::AppConfig* config,
                                                     const NetSettings& net,
                                                     const std::vector<std::string>& names,
                                                     const std::vector<std::string>& permissions,
                                                     QWidget* owner)
    : ui::Window(QStringLiteral("CahierJurisdictionSetDlg"),
                 QStringLiteral("CashierJurisdictionSetDlg.xml"), owner),
      config_(config),
      net_(net) {
    setWindowTitle(QStringLiteral("收银员权限设置"));
    if (!Build()) return;
    PaintTheme();
    CollectRows();
    // The layout defines a few rows; more cashiers get rows of the same make, so none is left
    // out of the save.
    while (rows_.size() < names.size()) {
        Row r = AddRow();
        if (!r.row) break;
        rows_.push_back(r);
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& r = rows_[i];
        if (i >= names.size()) {
            r.row->hide();
            continue;
        }
        r.row->show();
        r.lab_id->setText(QString::number(static_cast<int>(i) + 1));
        r.lab_cashier_name->setText(Q(names[i]));
        const std::string current = i < permissions.size() ? permissions[i] : std::string();
        int index = r.sysRefundSet->findText(Q(current));
        if (index < 0) index = r.sysRefundSet->findText(QString::fromUtf8(kPermissionTexts[2]));
        r.sysRefundSet->setCurrentIndex(index);
    }
}

void CCahierJurisdictionSetDlg::CollectRows() {
    QWidget* list = FindControl<QWidget>(QStringLiteral("list_cashier_msg"));
    if (!list) return;
    std::vector<QWidget*> row_widgets;
    for (QWidget* w : list->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->objectName().startsWith(QLatin1String("row_"))) row_widgets.push_back(w);
    }
    std::sort(row_widgets.begin(), row_widgets.end(),
              [](const QWidget* a, const QWidget* b) { return RowNumber(a) < RowNumber(b); });
    for (QWidget* w : row_widgets) {
        Row r;
        r.row = w;
        r.lab_id = w->findChild<QLabel*>(QStringLiteral("lab_id"));
        r.lab_cashier_name = w->findChild<QLabel*>(QStringLiteral("lab_cashier_name"));
        r.sysRefundSet = w->findChild<QComboBox*>(QStringLiteral("sysRefundSet"));
        if (r.lab_id && r.lab_cashier_name && r.sysRefundSet) rows_.push_back(r);
    }
}

CCahierJurisdictionSetDlg::Row CCahierJurisdictionSetDlg::AddRow() {
    Row r;
    QWidget* list = FindControl<QWidget>(QStringLiteral("list_cashier_msg"));
    auto* layout = list ? qobject_cast<QVBoxLayout*>(list->layout()) : nullptr;
    if (!layout) return r;
    r.row = new QWidget(list);
    r.row->setObjectName(QStringLiteral("row_%1").arg(rows_.size()));
    auto* h = new QHBoxLayout(r.row);
    h->setContentsMargins(0, 2, 0, 2);
    r.lab_id = new QLabel(r.row);
    r.lab_id->setObjectName(QStringLiteral("lab_id"));
    r.lab_id->setMinimumWidth(40);
    r.lab_cashier_name = new QLabel(r.row);
    r.lab_cashier_name->setObjectName(QStringLiteral("lab_cashier_name"));
    r.lab_cashier_name->setMinimumWidth(180);
    r.sysRefundSet = new QComboBox(r.row);
    r.sysRefundSet->setObjectName(QStringLiteral("sysRefundSet"));
    for (const char* t : kPermissionTexts) r.sysRefundSet->addItem(QString::fromUtf8(t));
    h->addWidget(r.lab_id);
    h->addWidget(r.lab_cashier_name);
    h->addWidget(r.sysRefundSet);
    // Before the closing spacer.
    layout->insertWidget(std::max(0, layout->count() - 1), r.row);
    Hub().BindControl(r.sysRefundSet);
    return r;
}

void CCahierJurisdictionSetDlg::PaintTheme() {
    const ui::SkinColours& skin = ui::CurrentSkinColours();
    if (!config_ || skin.theme == 0) return;
    const QString main = ui::ColourName(skin.theme);
    const QString hot = ui::ColourName(skin.hot ? skin.hot : skin.theme);
    if (auto* title = FindControl<QLabel>(QStringLiteral("cap_title"))) {
        title->setStyleSheet(QStringLiteral("background:%1;color:#ffffff;").arg(main));
    }
    if (auto* close = FindControl<QPushButton>(QStringLiteral("btn_close"))) {
        close->setStyleSheet(
            QStringLiteral("QPushButton{background:%1;color:#ffffff;border:none;}").arg(main));
    }
    for (int i = 1; i <= 5; ++i) {
        if (auto* deco = FindControl<QLabel>(QStringLiteral("no_use%1").arg(i))) {
            deco->setStyleSheet(QStringLiteral("background:%1;").arg(hot));
        }
    }
    if (auto* save = FindControl<QPushButton>(QStringLiteral("btn_save_jurisdiction"))) {
        save->setStyleSheet(QStringLiteral("QPushButton{background:%1;color:#ffffff;"
                                           "border-radius:4px;min-height:36px;}"
                                           "QPushButton:hover{background:%2;}")
                                .arg(main, hot));
    }
}

void CCahierJurisdictionSetDlg::Save(std::function<void(std::vector<std::string>)> done) {
    if (saving_) return;
    // The rows as they are now: a choice changed while the requests run is not sent.
    sending_.clear();
    for (const Row& r : rows_) {
        if (r.row->isHidden()) break;
        sending_.push_back({r.lab_cashier_name->text().toStdString(),
                            r.sysRefundSet->currentText().toStdString(), true});
    }
    shown_.clear();
    saved_ = std::move(done);
    SetSaving(true);
    SendRow(0);
}

void CCahierJurisdictionSetDlg::SetSaving(bool saving) {
    saving_ = saving;
    auto* save = FindControl<QPushButton>(QStringLiteral("btn_save_jurisdiction"));
    if (!save) return;
    if (save_text_.isEmpty()) save_text_ = save->text();
    save->setEnabled(!saving);
    if (!saving) save->setText(save_text_);
}

void CCahierJurisdictionSetDlg::SendRow(size_t index) {
    if (index >= sending_.size()) {
        SetSaving(false);
        if (auto done = std::move(saved_)) done(shown_);
        return;
    }
    if (auto* save = FindControl<QPushButton>(QStringLiteral("btn_save_jurisdiction"))) {
        save->setText(QStringLiteral("正在保存（%1/%2）…").arg(index + 1).arg(sending_.size()));
    }
    const std::string api_base = config_ ? config_->api_base : std::string();
    const auto timeout =
        config_ ? config_->environment.platform_timeout : std::chrono::milliseconds(0);
    platform_api::PlatformClient client =
        net_.UsesProxy()
            ? platform_api::PlatformClient(net_.agent_ip, net_.agent_port, net_.agent_account,
                                           net_.agent_password, api_base, timeout)
            : platform_api::PlatformClient("", "", "", "", api_base, timeout);
    ui::RunInBackground<std::string>(
        this,
        [client, row = sending_[index], merchant_id = net_.merchant_id, key = net_.merchant_api] {
            return SavePermission(client, row, merchant_id, key);
        },
        [this, index](std::string text) {
            // Each answer gets its box before the next row is sent.
            ui::CDuiMessageBox::Show(this, Q(text), QString::fromUtf8(kPermissionMessageTitle));
            shown_.push_back(std::move(text));
            SendRow(index + 1);
        });
}

void CCahierJurisdictionSetDlg::Notify(const ui::Notification& msg) {
    if (msg.Is(ui::kClick, "btn_save_jurisdiction")) {
        Save();
    } else if (msg.Is(ui::kClick, "btn_close")) {
        CloseWindow();
    }
}

void CCahierJurisdictionSetDlg::CloseWindow() {
    closed_ = true;
    hide();
    if (quit_loop_) quit_loop_();
}

void CCahierJurisdictionSetDlg::closeEvent(QCloseEvent* e) {
    CloseWindow();
    e->accept();
}

int CCahierJurisdictionSetDlg::RunModal() {
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    QEventLoop loop;
    quit_loop_ = [&loop] { loop.quit(); };
    if (!closed_) loop.exec();
    quit_loop_ = nullptr;
    return 0;
}

}  // namespace tendrix::accounts
