#include "checkout/inquiry/order_check_logic.h"

#include <cstdio>
#include <ctime>

#include "common/text_codec.h"
#include "platform_api/money_text.h"

namespace tendrix::checkout::inquiry {

const std::array<const char*, 10> kOrderColumns = {"订单号",   "金额", "实收金额", "退款金额",
                                                   "支付方式", "状态", "支付时间", "买家",
                                                   "付款码",   "备注"};

namespace {

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool ValidDateTime(const DateTime& t) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1970 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
    int dim = days[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
    return t.day >= 1 && t.day <= dim && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
           t.minute < 60 && t.second >= 0 && t.second < 60;
}

std::string Shown(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::vector<std::string> SplitFields(const std::string& row) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < row.size()) {
        size_t nl = row.find('\n', start);
        if (nl == std::string::npos) {
            out.push_back(row.substr(start));
            break;
        }
        out.push_back(row.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

// Fen as a number; -1 when the text is not an amount or too large to add safely.
long long Fen(const std::string& yuan) {
    std::string fen = platform_api::YuanToFenText(yuan);
    if (fen.empty() || fen.size() > 15) return -1;
    long long v = 0;
    for (char c : fen) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The longest prefix of a UTF-8 text whose GBK form has at most `limit` bytes.
std::string FitGbk(const std::string& line, size_t limit) {
    if (common::Utf8ToGbk(line).size() <= limit) return line;
    std::string out;
    size_t bytes = 0;
    for (size_t i = 0; i < line.size();) {
        size_t len = 1;
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        std::string ch = line.substr(i, len);
        size_t w = common::Utf8ToGbk(ch).size();
        if (w == 0) w = 2;  // not representable: counted as a replacement
        if (bytes + w > limit) break;
        out += ch;
        bytes += w;
        i += len;
    }
    return out;
}

std::string PadRight(const std::string& text, size_t columns) {
    size_t w = common::Utf8ToGbk(text).size();  // GBK bytes = printed columns
    return w >= columns ? text + " " : text + std::string(columns - w, ' ');
}

std::string NowText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

}  // namespace

std::string TimeText(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%4d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::optional<std::string> CheckFilter(const OrderFilter& f) {
    if (!ValidDateTime(f.start)) return "开始时间不正确！";
    if (!ValidDateTime(f.end)) return "结束时间不正确！";
    if (TimeText(f.start) > TimeText(f.end)) return "开始时间不能晚于结束时间！";
    if (!f.amount.empty() && Fen(f.amount) < 0) return "金额格式不正确，请输入如 12.50 的金额！";
    if (f.order_no.size() > 64) return "订单号过长！";
    return std::nullopt;
}

QueryFields ListQuery(const OrderFilter& f, int page) {
    return {
        {"startTime", TimeText(f.start)},          {"endTime", TimeText(f.end)},
        {"pageNum", std::to_string(page)},         {"pageSize", std::to_string(kPageSize)},
        {"orderType", std::to_string(f.pay_type)}, {"orderState", std::to_string(f.order_state)}};
}

QueryFields StatisticsQuery(const OrderFilter& f) {
    return {{"startTime", TimeText(f.start)},
            {"endTime", TimeText(f.end)},
            {"orderType", std::to_string(f.pay_type)}};
}

OrderRow SplitOrderRow(const std::string& row) {
    OrderRow out;
    auto fields = SplitFields(row);
    for (size_t i = 0; i < out.size() && i < fields.size(); ++i) out[i] = fields[i];
    return out;
}

StatisticsRow SplitStatisticsRow(const std::string& row) {
    auto fields = SplitFields(row);
    fields.resize(3);
    return {fields[0], fields[1], fields[2]};
}

bool RowMatches(const OrderRow& row, const OrderFilter& f) {
    if (!f.order_no.empty() && row[0].find(f.order_no) == std::string::npos) return false;
    if (!f.amount.empty()) {
        long long want = Fen(f.amount);
        if (want < 0 || Fen(row[1]) != want) return false;
    }
    return true;
}

std::string OrderInquiry::Fetch(int page) {
    if (!backend_.order_list) return std::string(platform_api::kLastPageText);
    const platform_api::PlatformResult<platform_api::TextList> raw =
        backend_.order_list(ListQuery(filter_, page));
    if (!raw.ok()) return raw.message;
    std::vector<OrderRow> rows;
    for (const auto& r : raw.value) {
        OrderRow row = SplitOrderRow(r);
        if (RowMatches(row, filter_)) rows.push_back(std::move(row));
    }
    rows_ = std::move(rows);
    fetched_ = static_cast<int>(raw.value.size());
    page_ = page;
    return "";
}

std::string OrderInquiry::Search(const OrderFilter& f) {
    if (auto bad = CheckFilter(f)) return *bad;
    filter_ = f;
    searched_ = true;
    std::string result = Fetch(1);
    if (!result.empty()) {
        // A new search that finds nothing must not leave the old period's rows on view.
        rows_.clear();
        fetched_ = 0;
        page_ = 0;
    }
    return result;
}

std::string OrderInquiry::NextPage() {
    if (!searched_) return std::string(platform_api::kLastPageText);
    return Fetch(page_ + 1);
}

std::string OrderInquiry::PreviousPage() {
    if (!searched_ || page_ <= 1) return kFirstPageText;
    return Fetch(page_ - 1);
}

std::string OrderInquiry::Statistics(const OrderFilter& f) {
    if (auto bad = CheckFilter(f)) return *bad;
    if (!backend_.statistics) return std::string(platform_api::kLastPageText);
    const platform_api::PlatformResult<platform_api::StatisticsAnswer> raw =
        backend_.statistics(StatisticsQuery(f));
    if (!raw.ok()) {
        stats_.clear();
        period_.clear();
        return raw.message;
    }
    stats_.clear();
    for (const auto& r : raw.value.rows) stats_.push_back(SplitStatisticsRow(r));
    const std::string& period = raw.value.period;
    period_ = period.empty() ? Shown(f.start) + "----" + Shown(f.end) : period;
    return "";
}

std::string OrderInquiry::TotalTakings() const {
    long long sum = 0;
    for (const auto& s : stats_) {
        long long v = Fen(s.takings);
        if (v > 0) sum += v;
    }
    return platform_api::FenToYuanText(std::to_string(sum));
}

long long OrderInquiry::TotalCount() const {
    long long n = 0;
    for (const auto& s : stats_) {
        char* end = nullptr;
        long long v = std::strtoll(s.count.c_str(), &end, 10);
        if (end && *end == '\0' && v > 0 && v < (1LL << 40)) n += v;
    }
    return n;
}

std::vector<std::string> PackReceipts(const std::vector<std::string>& header,
                                      const std::vector<std::string>& lines,
                                      const std::string& separator_line) {
    const size_t sep = common::Utf8ToGbk(separator_line).size() + 2;
    size_t head = 0;
    for (const auto& h : header) head += common::Utf8ToGbk(h).size() + 2;
    // A header too long for any row to fit is dropped rather than looping forever.
    const bool use_header = head + sep + 64 <= kMaxReceiptBytes;
    std::vector<std::string> out;
    std::string cur;
    size_t used = 0;
    auto start = [&] {
        cur.clear();
        used = 0;
        if (use_header)
            for (const auto& h : header) {
                cur += h + "\r\n";
                used += common::Utf8ToGbk(h).size() + 2;
            }
    };
    auto finish = [&] {
        cur += separator_line;
        out.push_back(cur);
    };
    start();
    bool has_lines = false;
    for (const auto& raw : lines) {
        std::string line = FitGbk(raw, kMaxReceiptBytes - sep - 2 - (use_header ? head : 0));
        size_t w = common::Utf8ToGbk(line).size() + 2;
        if (used + w + sep > kMaxReceiptBytes && has_lines) {
            finish();
            start();
            has_lines = false;
        }
        cur += line + "\r\n";
        used += w;
        has_lines = true;
    }
    if (has_lines) finish();
    return out;
}

std::vector<std::string> OrderInquiry::ListReceipts(const std::string& title,
                                                    const std::string& cashier) const {
    if (rows_.empty()) return {};
    std::vector<std::string> header = {title, "订单流水 第" + std::to_string(page_) + "页"};
    if (!cashier.empty()) header.push_back("收银员：" + cashier);
    header.push_back("起：" + Shown(filter_.start));
    header.push_back("止：" + Shown(filter_.end));
    std::vector<std::string> lines;
    for (const auto& r : rows_) {
        lines.push_back("订单号：" + r[0]);
        lines.push_back("金额：" + r[1] + "  实收：" + r[2]);
        lines.push_back(r[4] + "  " + r[5]);
        if (!r[6].empty()) lines.push_back("时间：" + r[6]);
        lines.push_back("- - - - - - - - - - - -");
    }
    lines.push_back("打印时间：" + NowText());
    return PackReceipts(header, lines, std::string(kSeparator) + "-------------");
}

std::vector<std::string> OrderInquiry::StatisticsReceipts(const std::string& title,
                                                          const std::string& cashier) const {
    if (period_.empty()) return {};
    std::vector<std::string> header = {title, kStatisticsTitle};
    std::string from = period_, to;
    if (auto dash = period_.find("----"); dash != std::string::npos) {
        from = period_.substr(0, dash);
        to = period_.substr(dash + 4);
    }
    std::vector<std::string> lines = {"起：" + from, "止：" + to};
    if (!cashier.empty()) lines.push_back("收银员：" + cashier);
    lines.push_back(PadRight("支付方式", 14) + PadRight("笔数", 6) + "金额");
    for (const auto& s : stats_)
        lines.push_back(PadRight(s.pay_type, 14) + PadRight(s.count, 6) + s.takings);
    lines.push_back(PadRight("合计", 14) + PadRight(std::to_string(TotalCount()), 6) +
                    TotalTakings());
    lines.push_back("打印时间：" + NowText());
    // The separator line names the statistics, so the printer prints it as a line.
    return PackReceipts(header, lines, std::string(kSeparator) + kStatisticsTitle + "------");
}

}  // namespace tendrix::checkout::inquiry
