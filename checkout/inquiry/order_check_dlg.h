#pragma once
// COrderCheckDlg: the order inquiry page ("OrderCheckDlg.xml") of the main window. Filters,
// the order flow 15 rows a page, statistics by pay type for the period, and printing both
// as receipts through command 7. Searches run on the background workers on a copy of the
// inquiry, which replaces the page's own when the answer is back; meanwhile the page says
// so and its buttons are disabled.
#include <functional>
#include <memory>

#include "checkout/checkout_pages.h"
#include "checkout/inquiry/order_check_logic.h"
#include "ui/window.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTabWidget;

namespace tendrix::checkout::inquiry {

class COrderCheckDlg : public ui::Page, public CheckoutPageView {
    Q_OBJECT
  public:
    explicit COrderCheckDlg(QWidget* parent = nullptr);
    ~COrderCheckDlg() override;

    void Attach(const CheckoutContext& context) override;
    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // The platform calls; by default a short-lived PlatformClient from the context's config.
    void SetBackend(inquiry::Backend backend);
    // Where messages for the cashier go (a "提示" box by default).
    void SetMessageHandler(std::function<void(const QString&)> handler) {
        show_message_ = std::move(handler);
    }
    const inquiry::OrderInquiry& Inquiry() const { return *inquiry_; }
    // The filter as the controls hold it.
    inquiry::OrderFilter ReadFilter() const;
    // A search, page turn or statistics query awaits its answer.
    bool Busy() const { return busy_; }

  private:
    void FillCodeTables();
    void SetToday();
    void Search();
    void Page(bool next);
    void RunStatistics();
    // Runs `step` on a copy of the inquiry away from the window thread, then takes the copy
    // and calls `then` with the step's result on the window thread.
    void RunStep(std::function<std::string(inquiry::OrderInquiry&)> step,
                 std::function<void(const std::string&)> then);
    void SetBusy(bool busy);
    void ShowRows();
    void ShowStatistics();
    void Print(const std::vector<std::string>& receipts);
    void Message(const std::string& text);
    void Voice();

    CheckoutContext ctx_;
    std::unique_ptr<inquiry::OrderInquiry> inquiry_;
    bool own_backend_ = false;  // the backend came from SetBackend
    bool busy_ = false;
    std::function<void(const QString&)> show_message_;
    QDateTimeEdit* start_ = nullptr;
    QDateTimeEdit* end_ = nullptr;
    QComboBox* pay_type_ = nullptr;
    QComboBox* state_ = nullptr;
    QLineEdit* order_no_ = nullptr;
    QLineEdit* amount_ = nullptr;
    QTableWidget* list_ = nullptr;
    QTableWidget* stats_ = nullptr;
    QLabel* page_label_ = nullptr;
    QLabel* period_ = nullptr;
    QLabel* total_ = nullptr;
    QTabWidget* tabs_ = nullptr;
};

}  // namespace tendrix::checkout::inquiry
