#include "platform_api/answer_parsers.h"

#include <json/json.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "platform_api/money_text.h"

namespace tendrix {
namespace {

// Parses one JSON object (comments allowed). Anything else, or a parse error, is false.
bool ParseObject(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return false;
    } catch (const std::exception&) {
        return false;
    }
    return root.isObject();
}

const Json::Value* Member(const Json::Value& object, const char* name) {
    if (!object.isObject()) return nullptr;
    return object.find(name, name + std::char_traits<char>::length(name));
}

bool Has(const Json::Value& object, const char* name) {
    return Member(object, name) != nullptr;
}

// A value as text whatever its JSON type; numbers in decimal, null as "".
std::string ValueText(const Json::Value& v) {
    switch (v.type()) {
        case Json::stringValue:
            return StripControlBytes(v.asString());
        case Json::intValue:
            return std::to_string(v.asLargestInt());
        case Json::uintValue:
            return std::to_string(v.asLargestUInt());
        case Json::realValue: {
            const double d = v.asDouble();
            if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9e15) {
                return std::to_string(static_cast<long long>(d));
            }
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", d);
            return text;
        }
        case Json::booleanValue:
            return v.asBool() ? "true" : "false";
        case Json::nullValue:
            return {};
        default: {
            Json::StreamWriterBuilder writer;
            writer["indentation"] = "";
            try {
                return StripControlBytes(Json::writeString(writer, v));
            } catch (const std::exception&) {
                return {};
            }
        }
    }
}

std::string Text(const Json::Value& object, const char* name) {
    const Json::Value* v = Member(object, name);
    return v ? ValueText(*v) : std::string();
}

bool IsTrue(const Json::Value& v) {
    if (v.isBool()) return v.asBool();
    if (v.isNumeric()) return v.asDouble() != 0;
    if (v.isString()) return v.asString() == "true";
    return false;
}

// A platform time in milliseconds as local date-time text; text that is not a number of
// milliseconds is shown as it came.
std::string TimeText(const Json::Value& v) {
    const std::string text = ValueText(v);
    uint64_t millis = 0;
    if (!ParseUnsigned(text, millis)) return text;
    // Beyond the year 9999 a time is not a time: shown as it came.
    if (millis > 253402300799999ULL) return text;
    const std::string shown = PlatformTimeText(millis);
    return shown.empty() ? text : shown;
}

std::string YuanOrZero(const std::string& fen) {
    std::string yuan = FenToYuanText(fen);
    return yuan.empty() ? "0.00" : yuan;
}

bool StartsWithBrace(const std::string& answer) {
    return !answer.empty() && answer[0] == '{';
}

// Envelope shared by the order parsers. Returns true when the answer carries an order;
// otherwise answer holds what the caller shows (or is left as it was).
bool OrderEnvelope(std::string& answer, Json::Value& root, bool honour_success) {
    if (!StartsWithBrace(answer)) {
        answer = std::string(kIllegalFormatText);
        return false;
    }
    if (!ParseObject(answer, root)) return false;
    if (honour_success) {
        if (const Json::Value* success = Member(root, "success"); success && !IsTrue(*success)) {
            answer = Text(root, "message");
        }
    }
    const Json::Value* result = Member(root, "result");
    if (!result) return false;
    if (!IsTrue(*result)) {
        answer = Text(root, "message");
        return false;
    }
    return true;
}

bool BeginsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void RelabelDeposit(TextList& lines) {
    constexpr std::string_view kRefundLabel = "本次退款金额";
    constexpr std::string_view kUnfreezeLabel = "本次解冻金额";
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t a = lines[i].find(kAlipayDepositName);
        const size_t w = lines[i].find(kWechatDepositName);
        const bool found = (a != std::string::npos && a > 0) || (w != std::string::npos && w > 0);
        if (!found) continue;
        for (size_t j = i; j > 0; --j) {
            if (BeginsWith(lines[j], kRefundLabel)) {
                lines[j].replace(0, kRefundLabel.size(), kUnfreezeLabel);
                break;
            }
        }
        return;
    }
}

bool IsNoSuchOrderMessage(const std::string& message) {
    for (const char* text : {"订单不存在", "订单号不存在", "不存在该订单", "查无此订单"}) {
        if (message.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

bool ParseUnsigned(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

std::string StripControlBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\r' && b != '\n' && b != '\t') || b == 0x7F) continue;
        out += c;
    }
    return out;
}

AnswerKind ClassifyOrderAnswer(const std::string& answer) {
    if (!StartsWithBrace(answer)) return AnswerKind::kUnreadable;
    Json::Value root;
    if (!ParseObject(answer, root)) return AnswerKind::kUnreadable;
    const Json::Value* success = Member(root, "success");
    const Json::Value* result = Member(root, "result");
    const bool refused = (success && !IsTrue(*success)) || (result && !IsTrue(*result));
    if (refused) {
        return IsNoSuchOrderMessage(Text(root, "message")) ? AnswerKind::kNoSuchOrder
                                                           : AnswerKind::kRefusal;
    }
    return result ? AnswerKind::kOrder : AnswerKind::kUnreadable;
}

void ParseOrderAnswer(std::string& answer, TextList& lines) {
    lines.clear();
    Json::Value root;
    if (!OrderEnvelope(answer, root, true)) return;
    const std::string crlf = "\r\n";
    lines.push_back("商户名称：" + crlf);
    lines.push_back(Text(root, "merchantName") + crlf);
    lines.push_back("订单号：" + Text(root, "orderId") + crlf);
    lines.push_back("交易金额：" + FenToYuanText(Text(root, "totalFee")) + "元" + crlf);
    if (Has(root, "actualFee")) {
        lines.push_back("实际金额：" + YuanOrZero(Text(root, "actualFee")) + "元" + crlf);
    }
    if (Has(root, "refundFee")) {
        lines.push_back("本次退款金额：" + FenToYuanText(Text(root, "refundFee")) + "元" + crlf);
    }
    if (Has(root, "type")) lines.push_back("支付方式：" + Text(root, "type") + crlf);
    const bool refund_state = Has(root, "refundState");
    if (refund_state || Has(root, "orderState")) {
        std::string line = "支付状态：";
        if (Has(root, "refundStateDes")) {
            line += Text(root, "refundStateDes");
        } else if (Has(root, "orderStateDes")) {
            line += Text(root, "orderStateDes");
        }
        line += "（" + Text(root, refund_state ? "refundState" : "orderState") + "）";
        lines.push_back(line + crlf);
    }
    if (const Json::Value* v = Member(root, "payTime")) {
        lines.push_back("支付时间：" + TimeText(*v) + crlf);
    }
    if (const Json::Value* v = Member(root, "cancelTime")) {
        lines.push_back("取消时间：" + TimeText(*v) + crlf);
    }
    if (const Json::Value* v = Member(root, "refundTime")) {
        lines.push_back("退款时间：" + TimeText(*v) + crlf);
    }
    if (Has(root, "payCode")) {
        const std::string code = Text(root, "payCode");
        lines.push_back(BeginsWith(code, "20") ? "解冻、转支付操作订单号：" + crlf
                                               : "支付码：" + crlf);
        lines.push_back(code + crlf);
    }
    if (Has(root, "buyerLoginId")) {
        lines.push_back("第三方用户名：" + crlf);
        lines.push_back(Text(root, "buyerLoginId") + crlf);
    } else if (Has(root, "thirdLoginId")) {
        lines.push_back("第三方用户名：" + crlf);
        lines.push_back(Text(root, "thirdLoginId") + crlf);
    }
    if (Has(root, "description")) {
        lines.push_back("备注：" + crlf);
        lines.push_back(Text(root, "description") + crlf);
    }
    answer.clear();
    RelabelDeposit(lines);
}

void ParseOrderRecord(std::string& answer, TextList& values) {
    values.clear();
    Json::Value root;
    if (!OrderEnvelope(answer, root, true)) return;
    values.push_back(Text(root, "orderId"));
    values.push_back(FenToYuanText(Text(root, "totalFee")));
    values.push_back(Has(root, "actualFee") ? YuanOrZero(Text(root, "actualFee")) : "");
    values.push_back("");
    values.push_back(Text(root, "type"));
    values.push_back(Has(root, "refundStateDes") ? Text(root, "refundStateDes")
                                                 : Text(root, "orderStateDes"));
    std::string time;
    for (const char* name : {"payTime", "cancelTime", "refundTime"}) {
        if (const Json::Value* v = Member(root, name)) {
            time = TimeText(*v);
            break;
        }
    }
    values.push_back(time);
    values.push_back(Has(root, "buyerLoginId") ? Text(root, "buyerLoginId")
                                               : Text(root, "thirdLoginId"));
    values.push_back(Text(root, "payCode"));
    values.push_back(Text(root, "description"));
    answer.clear();
}

void ParsePreCreateAnswer(std::string& answer, TextList& items) {
    items.clear();
    Json::Value root;
    if (!OrderEnvelope(answer, root, false)) return;
    std::string link;
    if (const Json::Value* data = Member(root, "data")) link = Text(*data, "qrCode");
    const std::string crlf = "\r\n";
    items = {crlf,
             "订单号：",
             Text(root, "orderId"),
             crlf,
             "交易金额：",
             FenToYuanText(Text(root, "totalFee")),
             crlf,
             "订单类型：",
             Text(root, "type"),
             crlf,
             "订单状态：",
             Text(root, "orderStateDes") + "（" + Text(root, "orderState") + "）",
             crlf,
             std::string(kPaymentLinkLabel),
             link,
             crlf};
    answer.clear();
}

void ParseLoginAnswer(std::string& answer, TextList& list) {
    list.clear();
    const std::string received = std::move(answer);
    answer.clear();
    Json::Value root;
    if (!ParseObject(received, root)) return;
    const Json::Value* result = Member(root, "result");
    if (!result) {
        answer = received;
        return;
    }
    if (!IsTrue(*result)) {
        answer = Has(root, "message") ? Text(root, "message") : std::string(kNoServerInfoText);
        return;
    }
    list.push_back(Text(root, "merchantId"));
    list.push_back(Text(root, "secret"));
    if (const Json::Value* ids = Member(root, "clientId"); ids && ids->isArray()) {
        for (Json::ArrayIndex i = 0; i < ids->size(); ++i) {
            if ((*ids)[i].isNull()) break;
            list.push_back(ValueText((*ids)[i]));
        }
    }
}

void ParseMerchantInfoAnswer(std::string& answer, TextList& list) {
    list.clear();
    const std::string received = std::move(answer);
    answer.clear();
    Json::Value root;
    if (!ParseObject(received, root)) return;
    if (Has(root, "result")) {
        answer = Text(root, "message");
        return;
    }
    for (const char* name : {"merchantName", "shopName", "cashierName", "version"}) {
        if (Has(root, name)) list.push_back(Text(root, name));
    }
}

void ParsePermissionAnswer(std::string& answer) {
    const std::string received = std::move(answer);
    answer.clear();
    Json::Value root;
    if (!ParseObject(received, root)) return;
    const Json::Value* result = Member(root, "result");
    if (result && IsTrue(*result)) {
        answer =
            "用户名：" + Text(root, "userName") + "，" + Text(root, "jtionType") + "权限设置成功！";
    } else if (result && Has(root, "message")) {
        answer = Text(root, "message");
    }
}

void ParseGenericAnswer(std::string& answer, TextList& list) {
    list.clear();
    Json::Value root;
    if (!ParseObject(answer, root)) return;
    if (answer.find("result") == std::string::npos) {
        for (const std::string& name : root.getMemberNames()) {
            list.push_back(name);
            list.push_back(ValueText(root[name]));
            list.push_back("");
        }
        answer.clear();
        return;
    }
    if (const Json::Value* result = Member(root, "result"); result && !IsTrue(*result)) {
        answer = Text(root, "message");
    }
}

void ParseOrderListAnswer(std::string& answer, TextList& rows) {
    rows.clear();
    if (!StartsWithBrace(answer)) {
        answer = std::string(kIllegalFormatText);
        return;
    }
    Json::Value root;
    if (ParseObject(answer, root)) {
        const Json::Value* result = Member(root, "result");
        const Json::Value* list = Member(root, "orderList");
        if (result && IsTrue(*result) && list && list->isArray()) {
            for (const Json::Value& order : *list) {
                std::string row;
                row += Text(order, "orderId") + "\n";
                row += FenToYuanText(Text(order, "totalFee")) + "\n";
                row += (Has(order, "actualFee") ? YuanOrZero(Text(order, "actualFee")) : "") + "\n";
                row += "\n";  // refund amount: always empty in the list
                row += Text(order, "type") + "\n";
                row += Text(order, "orderStateDes") + "\n";
                row += Text(order, "payTime") + "\n";
                row += Text(order, "buyerLoginId") + "\n";
                row += Text(order, "payCode") + "\n";
                row += Text(order, "description") + "\n";
                rows.push_back(std::move(row));
            }
        }
    }
    if (rows.empty()) {
        answer = std::string(kLastPageText);
    } else {
        answer.clear();
    }
}

void ParseStatisticsAnswer(std::string& answer, TextList& rows, std::string& period) {
    rows.clear();
    period.clear();
    if (!StartsWithBrace(answer)) {
        answer = std::string(kIllegalFormatText);
        return;
    }
    Json::Value root;
    if (ParseObject(answer, root)) {
        const Json::Value* result = Member(root, "result");
        if (result && IsTrue(*result)) {
            if (Has(root, "startTime")) period += DigitsToDateTimeText(Text(root, "startTime"));
            period += "----";
            if (Has(root, "endTime")) period += DigitsToDateTimeText(Text(root, "endTime"));
            if (const Json::Value* list = Member(root, "orderList"); list && list->isArray()) {
                for (const Json::Value& row : *list) {
                    rows.push_back(FenToYuanText(Text(row, "totalMoney")) + "\n" +
                                   Text(row, "orderCount") + "\n" + Text(row, "type") + "\n");
                }
            }
        }
    }
    if (rows.empty()) {
        answer = std::string(kLastPageText);
    } else {
        answer.clear();
    }
}

}  // namespace tendrix
