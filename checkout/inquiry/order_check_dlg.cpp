#include "checkout/inquiry/order_check_dlg.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>

#include "checkout/inquiry/order_check_backend.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "platform_api/platform_client.h"
#include "ui/background_call.h"
#include "ui/message_box.h"

namespace tendrix::checkout::inquiry {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

inquiry::DateTime FromQt(const QDateTime& t) {
    return {t.date().year(), t.date().month(),  t.date().day(),
            t.time().hour(), t.time().minute(), t.time().second()};
}

// A backend over its own copy of a client made on the window thread from the configuration
// of the moment (a login in between is seen), so the worker never reads the configuration.
inquiry::Backend ClientBackend(const platform_api::PlatformClient& made) {
    auto client = std::make_shared<const platform_api::PlatformClient>(made);
    inquiry::Backend b;
    b.order_list = [client](const inquiry::QueryFields& f) {
        return inquiry::PlatformBackend(*client).order_list(f);
    };
    b.statistics = [client](const inquiry::QueryFields& f) {
        return inquiry::PlatformBackend(*client).statistics(f);
    };
    return b;
}

}  // namespace

COrderCheckDlg::COrderCheckDlg(QWidget* parent)
    : ui::Page("OrderCheckDlg", "OrderCheckDlg.xml", parent),
      inquiry_(std::make_unique<inquiry::OrderInquiry>(inquiry::Backend{})) {
    show_message_ = [this](const QString& text) { ui::ShowMessage(window(), text); };
}

COrderCheckDlg::~COrderCheckDlg() = default;

void COrderCheckDlg::Attach(const CheckoutContext& context) {
    ctx_ = context;
    FillCodeTables();
}

void COrderCheckDlg::SetBackend(inquiry::Backend backend) {
    own_backend_ = true;
    inquiry_ = std::make_unique<inquiry::OrderInquiry>(std::move(backend));
    ShowRows();
}

void COrderCheckDlg::DoInit() {
    start_ = FindControl<QDateTimeEdit>("datetime_start");
    end_ = FindControl<QDateTimeEdit>("datetime_end");
    pay_type_ = FindControl<QComboBox>("combo_pay_type");
    state_ = FindControl<QComboBox>("combo_order_state");
    order_no_ = FindControl<QLineEdit>("edit_order_no");
    amount_ = FindControl<QLineEdit>("edit_amount");
    list_ = FindControl<QTableWidget>("list_orders");
    stats_ = FindControl<QTableWidget>("list_statistics");
    page_label_ = FindControl<QLabel>("lab_page");
    period_ = FindControl<QLabel>("lab_period");
    total_ = FindControl<QLabel>("lab_total");
    tabs_ = FindControl<QTabWidget>("tab_result");
    if (list_) {
        list_->setColumnCount(static_cast<int>(inquiry::kOrderColumns.size()));
        QStringList heads;
        for (const char* c : inquiry::kOrderColumns) heads << QString::fromUtf8(c);
        list_->setHorizontalHeaderLabels(heads);
        list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list_->setSelectionBehavior(QAbstractItemView::SelectRows);
        list_->verticalHeader()->setVisible(false);
    }
    if (stats_) {
        stats_->setColumnCount(3);
        stats_->setHorizontalHeaderLabels({"支付方式", "笔数", "金额"});
        stats_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        stats_->verticalHeader()->setVisible(false);
        stats_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    }
    FillCodeTables();
    SetToday();
}

void COrderCheckDlg::FillCodeTables() {
    auto fill = [](QComboBox* box, const context::CodeTable& table) {
        if (!box) return;
        box->clear();
        for (const auto& [code, name] : table) box->addItem(Q(name), code);
        box->setCurrentIndex(box->findData(0));
    };
    const context::AppConfig* c = ctx_.config;
    fill(pay_type_, c && !c->pay_type_names.empty() ? c->pay_type_names : context::PayTypeNames());
    fill(state_,
         c && !c->order_status_names.empty() ? c->order_status_names : context::OrderStatusNames());
}

void COrderCheckDlg::SetToday() {
    const QDate today = QDate::currentDate();
    if (start_) start_->setDateTime(QDateTime(today, QTime(0, 0, 0)));
    if (end_) end_->setDateTime(QDateTime(today, QTime(23, 59, 59)));
}

inquiry::OrderFilter COrderCheckDlg::ReadFilter() const {
    inquiry::OrderFilter f;
    if (start_) f.start = FromQt(start_->dateTime());
    if (end_) f.end = FromQt(end_->dateTime());
    if (pay_type_ && pay_type_->currentIndex() >= 0) f.pay_type = pay_type_->currentData().toInt();
    if (state_ && state_->currentIndex() >= 0) f.order_state = state_->currentData().toInt();
    if (order_no_) f.order_no = order_no_->text().trimmed().toStdString();
    if (amount_) f.amount = amount_->text().trimmed().toStdString();
    return f;
}

void COrderCheckDlg::Notify(const ui::Notification& msg) {
    if (msg.type != ui::kClick && msg.type != ui::kReturn) return;
    const QString name = msg.name();
    if (name == "btn_search" ||
        (msg.type == ui::kReturn && (name == "edit_order_no" || name == "edit_amount")))
        Search();
    else if (name == "btn_next_page")
        Page(true);
    else if (name == "btn_prev_page")
        Page(false);
    else if (name == "btn_statistics")
        RunStatistics();
    else if (name == "btn_today")
        SetToday();
    else if (name == "btn_print_list")
        Print(inquiry_->ListReceipts(ctx_.config ? ctx_.config->Setting("sysBillFirstMsg") : "",
                                     ctx_.config ? ctx_.config->cashier_name : ""));
    else if (name == "btn_print_statistics")
        Print(
            inquiry_->StatisticsReceipts(ctx_.config ? ctx_.config->Setting("sysBillFirstMsg") : "",
                                         ctx_.config ? ctx_.config->cashier_name : ""));
}

void COrderCheckDlg::RunStep(std::function<std::string(inquiry::OrderInquiry&)> step,
                             std::function<void(const std::string&)> then) {
    if (busy_) return;  // one search at a time
    auto copy = std::make_shared<inquiry::OrderInquiry>(*inquiry_);
    if (!own_backend_ && ctx_.config)
        copy->set_backend(ClientBackend(platform_api::PlatformClient(*ctx_.config)));
    SetBusy(true);
    ui::RunInBackground<std::string>(
        this, [copy, step = std::move(step)] { return step(*copy); },
        [this, copy, then = std::move(then)](std::string result) {
            *inquiry_ = std::move(*copy);
            SetBusy(false);
            then(result);
        });
}

void COrderCheckDlg::SetBusy(bool busy) {
    busy_ = busy;
    for (const char* name : {"btn_search", "btn_next_page", "btn_prev_page", "btn_statistics",
                             "btn_print_list", "btn_print_statistics"})
        if (auto* b = FindControl<QWidget>(name)) b->setEnabled(!busy);
    if (busy && page_label_) page_label_->setText(QStringLiteral("正在查询，请稍候…"));
}

void COrderCheckDlg::Search() {
    const inquiry::OrderFilter filter = ReadFilter();
    RunStep([filter](inquiry::OrderInquiry& q) { return q.Search(filter); },
            [this](const std::string& result) {
                ShowRows();
                if (!result.empty()) return Message(result);
                if (tabs_) tabs_->setCurrentIndex(0);
                Voice();
            });
}

void COrderCheckDlg::Page(bool next) {
    RunStep([next](inquiry::OrderInquiry& q) { return next ? q.NextPage() : q.PreviousPage(); },
            [this](const std::string& result) {
                ShowRows();
                if (!result.empty()) return Message(result);
                Voice();
            });
}

void COrderCheckDlg::RunStatistics() {
    const inquiry::OrderFilter filter = ReadFilter();
    RunStep([filter](inquiry::OrderInquiry& q) { return q.Statistics(filter); },
            [this](const std::string& result) {
                ShowStatistics();
                if (tabs_) tabs_->setCurrentIndex(1);
                if (!result.empty()) return Message(result);
                Voice();
            });
}

void COrderCheckDlg::ShowRows() {
    if (!list_) return;
    const auto& rows = inquiry_->rows();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(rows[r].size()); ++c)
            list_->setItem(r, c, new QTableWidgetItem(Q(rows[r][c])));
    list_->resizeColumnsToContents();
    if (page_label_)
        page_label_->setText(inquiry_->page() > 0 ? QString("第%1页").arg(inquiry_->page())
                                                  : QString());
}

void COrderCheckDlg::ShowStatistics() {
    if (!stats_) return;
    const auto& rows = inquiry_->statistics();
    stats_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        stats_->setItem(r, 0, new QTableWidgetItem(Q(rows[r].pay_type)));
        stats_->setItem(r, 1, new QTableWidgetItem(Q(rows[r].count)));
        stats_->setItem(r, 2, new QTableWidgetItem(Q(rows[r].takings)));
    }
    if (period_)
        period_->setText(inquiry_->period().empty() ? QString()
                                                    : "统计时间：" + Q(inquiry_->period()));
    if (total_)
        total_->setText(inquiry_->period().empty() ? QString()
                                                   : QString("合计：%1笔  %2元")
                                                         .arg(inquiry_->TotalCount())
                                                         .arg(Q(inquiry_->TotalTakings())));
}

void COrderCheckDlg::Print(const std::vector<std::string>& receipts) {
    if (receipts.empty()) return Message("没有可打印的内容，请先查询！");
    if (!ctx_.sink) return Message("打印服务不可用！");
    for (const auto& r : receipts)
        ctx_.sink->SendCommand(common::CheckoutCommand::Print, common::Utf8ToGbk(r));
}

void COrderCheckDlg::Message(const std::string& text) {
    if (show_message_) show_message_(Q(text));
}

void COrderCheckDlg::Voice() {
    if (ctx_.sink)
        ctx_.sink->SendCommand(common::CheckoutCommand::Voice, inquiry::kCheckSuccessVoice);
}

}  // namespace tendrix::checkout::inquiry
