#pragma once
// The order inquiry page's logic without widgets: the filters, the query fields it sends,
// paging through the order flow 15 rows at a time, statistics by pay type, and the receipts
// it prints (command 7).
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform_api/answer_parsers.h"

namespace tendrix::checkout::inquiry {

using QueryFields = std::map<std::string, std::string>;

inline constexpr int kPageSize = 15;
inline constexpr const char* kFirstPageText = "已经是第一页！";
inline constexpr const char* kStatisticsTitle = "订单统计";
inline constexpr const char* kSeparator = "-------------";
inline constexpr const char* kCheckSuccessVoice = "checksuccess.mp3";
// A receipt handed to the print service holds at most this many GBK bytes.
inline constexpr size_t kMaxReceiptBytes = 1023;

struct DateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct OrderFilter {
    DateTime start;
    DateTime end;
    int pay_type = 0;      // pay type code, 0 = "全部"
    int order_state = 0;   // order state code, 0 = "全部"
    std::string order_no;  // shown rows whose order number contains this text
    std::string amount;    // shown rows whose amount equals this yuan text
};

// "%4d%02d%02d" and "%02d%02d%02d": the 14-digit time text the platform reads.
std::string TimeText(const DateTime& t);
// Problems with the filter for the cashier; nullopt when it can be sent.
std::optional<std::string> CheckFilter(const OrderFilter& f);
QueryFields ListQuery(const OrderFilter& f, int page);
QueryFields StatisticsQuery(const OrderFilter& f);

// One row of the order list: order number, amount, actual amount, refund amount, pay type,
// state, pay time, buyer, payment code, remark.
using OrderRow = std::array<std::string, 10>;
OrderRow SplitOrderRow(const std::string& row);
extern const std::array<const char*, 10> kOrderColumns;

struct StatisticsRow {
    std::string takings;  // yuan text
    std::string count;
    std::string pay_type;
};
StatisticsRow SplitStatisticsRow(const std::string& row);

// Whether a row passes the order number and amount filters (empty filter passes).
bool RowMatches(const OrderRow& row, const OrderFilter& f);

// The platform calls the page makes: they take the query fields and return the parsed rows,
// or the failure with the text to show.
struct Backend {
    std::function<platform_api::PlatformResult<platform_api::TextList>(const QueryFields&)>
        order_list;
    std::function<platform_api::PlatformResult<platform_api::StatisticsAnswer>(const QueryFields&)>
        statistics;
};

class OrderInquiry {
  public:
    explicit OrderInquiry(Backend backend) : backend_(std::move(backend)) {}
    void set_backend(Backend backend) { backend_ = std::move(backend); }

    // Each returns "" on success, otherwise the text to show; on failure the rows shown so
    // far and the page number stay as they were.
    std::string Search(const OrderFilter& f);  // page 1
    std::string NextPage();
    std::string PreviousPage();
    std::string Statistics(const OrderFilter& f);

    int page() const { return page_; }
    bool searched() const { return searched_; }
    // Rows of the current page that pass the local filters.
    const std::vector<OrderRow>& rows() const { return rows_; }
    int fetched_rows() const { return fetched_; }  // before the local filters
    const std::vector<StatisticsRow>& statistics() const { return stats_; }
    const std::string& period() const { return period_; }

    // Receipts (UTF-8, lines "\r\n"); each at most kMaxReceiptBytes once in GBK and ending
    // in a separator line. Empty when there is nothing to print.
    std::vector<std::string> ListReceipts(const std::string& title,
                                          const std::string& cashier) const;
    std::vector<std::string> StatisticsReceipts(const std::string& title,
                                                const std::string& cashier) const;
    // Total of the statistics in yuan text and the number of payments.
    std::string TotalTakings() const;
    long long TotalCount() const;

  private:
    std::string Fetch(int page);

    Backend backend_;
    OrderFilter filter_;
    bool searched_ = false;
    int page_ = 0;
    int fetched_ = 0;
    std::vector<OrderRow> rows_;
    std::vector<StatisticsRow> stats_;
    std::string period_;
};

// Cuts receipt lines into receipts of at most kMaxReceiptBytes GBK bytes; each receipt ends
// with `separator_line`; `header` lines start every receipt. A line longer than a receipt is
// shortened.
std::vector<std::string> PackReceipts(const std::vector<std::string>& header,
                                      const std::vector<std::string>& lines,
                                      const std::string& separator_line);

}  // namespace tendrix::checkout::inquiry
