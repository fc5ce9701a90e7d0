#pragma once
// A 30-line receipt as the checkout composes it (GBK), wrapped as a print log record.
#include <string>

#include "common/text_codec.h"
#include "printing/print_log.h"

namespace tendrix::bench {

inline std::string ThirtyLineReceipt(const std::string& order) {
    std::string t =
        "测试便利店\r\n==============================\r\n收银员：张三\r\n时间：2026-12-06 "
        "10:00:00\r\n";
    for (int i = 1; i <= 22; ++i) t += "商品" + std::to_string(i) + "  x1  9.99\r\n";
    t += "合计：219.78\r\n支付方式：微信支付\r\n订单号：" + order + "\r\n-------------\r\n";
    return common::Utf8ToGbk(t);
}

inline std::string Record(const std::string& gbk) {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 10;
    return printing::PrintLogRecord(t, gbk);
}

}  // namespace tendrix::bench
