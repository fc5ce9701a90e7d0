#include "platform_api/answer_parsers.h"

#include <json/json.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "platform_api/money_text.h"

namespace tendrix::platform_api {
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

bool IsNoSuchOrderMessage(const std::string& message) {
    for (const char* text : {"订单不存在", "订单号不存在", "不存在该订单", "查无此订单"}) {
        if (message.find(text) != std::string::npos) return true;
    }
    return false;
}

// The failure of an exchange that brought no answer (network, refused input) goes on as it
// is: true when `out` was filled with it.
template <typename T>
bool PassOn(const PlatformAnswer& answer, PlatformResult<T>& out) {
    if (answer.error == PlatformError::kNone || answer.error == PlatformError::kEmpty) return false;
    out.error = answer.error;
    out.message = answer.message;
    out.detail = answer.detail;
    return true;
}

// A reader's failure of `answer`; an empty answer stays kEmpty, with the reader's text.
template <typename T>
void Fail(const PlatformAnswer& answer, PlatformError error, std::string_view message,
          PlatformResult<T>& out) {
    out.error = answer.error == PlatformError::kEmpty ? PlatformError::kEmpty : error;
    out.message = std::string(message);
    out.value = T{};
}

// Envelope shared by the order parsers: kNone when the answer carries an order; otherwise
// the kind of failure and, in message, what the cashier is shown.
PlatformError OrderEnvelope(const std::string& text, Json::Value& root, std::string& message) {
    if (!StartsWithBrace(text)) {
        message = std::string(kIllegalFormatText);
        return PlatformError::kUnreadable;
    }
    // JSON that cannot be read, or no "result": shown as it came.
    if (!ParseObject(text, root)) {
        message = text;
        return PlatformError::kUnreadable;
    }
    const Json::Value* success = Member(root, "success");
    const Json::Value* result = Member(root, "result");
    if ((success && !IsTrue(*success)) || (result && !IsTrue(*result))) {
        message = Text(root, "message");
        const bool no_such_order = IsNoSuchOrderMessage(message);
        if (message.empty()) message = std::string(kIllegalFormatText);
        return no_such_order ? PlatformError::kNoSuchOrder : PlatformError::kRefused;
    }
    if (!result) {
        message = text;
        return PlatformError::kUnreadable;
    }
    return PlatformError::kNone;
}

// Runs the order envelope over `answer`: true when `out` is to be filled with the order.
template <typename T>
bool OrderAnswerCarriesOrder(const PlatformAnswer& answer, Json::Value& root,
                             PlatformResult<T>& out) {
    if (PassOn(answer, out)) return false;
    std::string message;
    const PlatformError error = OrderEnvelope(answer.value, root, message);
    if (error == PlatformError::kNone) return true;
    Fail(answer, error, message, out);
    return false;
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

PlatformResult<TextList> ParseOrderAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    Json::Value root;
    if (!OrderAnswerCarriesOrder(answer, root, out)) return out;
    TextList& lines = out.value;
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
    RelabelDeposit(lines);
    return out;
}

PlatformResult<TextList> ParseOrderRecord(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    Json::Value root;
    if (!OrderAnswerCarriesOrder(answer, root, out)) return out;
    TextList& values = out.value;
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
    return out;
}

PlatformResult<TextList> ParsePreCreateAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    Json::Value root;
    if (!OrderAnswerCarriesOrder(answer, root, out)) return out;
    std::string link;
    if (const Json::Value* data = Member(root, "data")) link = Text(*data, "qrCode");
    const std::string crlf = "\r\n";
    out.value = {crlf,
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
    return out;
}

PlatformResult<TextList> ParseLoginAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    if (PassOn(answer, out)) return out;
    Json::Value root;
    if (!ParseObject(answer.value, root)) {
        Fail(answer, PlatformError::kUnreadable, kNoServerInfoText, out);
        return out;
    }
    const Json::Value* result = Member(root, "result");
    if (!result) {
        // Shown as it came.
        Fail(answer, PlatformError::kUnreadable, answer.value, out);
        return out;
    }
    if (!IsTrue(*result)) {
        const std::string message = Text(root, "message");
        Fail(answer, PlatformError::kRefused, message.empty() ? kNoServerInfoText : message, out);
        return out;
    }
    TextList& list = out.value;
    list.push_back(Text(root, "merchantId"));
    list.push_back(Text(root, "secret"));
    if (const Json::Value* ids = Member(root, "clientId"); ids && ids->isArray()) {
        for (Json::ArrayIndex i = 0; i < ids->size(); ++i) {
            if ((*ids)[i].isNull()) break;
            list.push_back(ValueText((*ids)[i]));
        }
    }
    return out;
}

PlatformResult<TextList> ParseMerchantInfoAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    if (PassOn(answer, out)) return out;
    Json::Value root;
    if (!ParseObject(answer.value, root)) {
        Fail(answer, PlatformError::kUnreadable, "", out);
        return out;
    }
    // This answer carries "result" only when the platform refuses.
    if (Has(root, "result")) {
        Fail(answer, PlatformError::kRefused, Text(root, "message"), out);
        return out;
    }
    for (const char* name : {"merchantName", "shopName", "cashierName", "version"}) {
        if (Has(root, name)) out.value.push_back(Text(root, name));
    }
    return out;
}

PlatformResult<std::string> ParsePermissionAnswer(const PlatformAnswer& answer) {
    PlatformResult<std::string> out;
    if (PassOn(answer, out)) return out;
    Json::Value root;
    if (!ParseObject(answer.value, root)) {
        Fail(answer, PlatformError::kUnreadable, "", out);
        return out;
    }
    const Json::Value* result = Member(root, "result");
    if (!result) {
        Fail(answer, PlatformError::kUnreadable, "", out);
    } else if (!IsTrue(*result)) {
        Fail(answer, PlatformError::kRefused, Text(root, "message"), out);
    } else {
        out.value =
            "用户名：" + Text(root, "userName") + "，" + Text(root, "jtionType") + "权限设置成功！";
    }
    return out;
}

PlatformResult<TextList> ParseGenericAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    if (PassOn(answer, out)) return out;
    Json::Value root;
    if (!ParseObject(answer.value, root)) {
        Fail(answer, PlatformError::kUnreadable, answer.value, out);
        return out;
    }
    if (answer.value.find("result") == std::string::npos) {
        for (const std::string& name : root.getMemberNames()) {
            out.value.push_back(name);
            out.value.push_back(ValueText(root[name]));
            out.value.push_back("");
        }
        return out;
    }
    if (const Json::Value* result = Member(root, "result"); result && !IsTrue(*result)) {
        Fail(answer, PlatformError::kRefused, Text(root, "message"), out);
    } else {
        Fail(answer, PlatformError::kUnreadable, answer.value, out);
    }
    return out;
}

PlatformResult<TextList> ParseOrderListAnswer(const PlatformAnswer& answer) {
    PlatformResult<TextList> out;
    if (PassOn(answer, out)) return out;
    if (!StartsWithBrace(answer.value)) {
        Fail(answer, PlatformError::kUnreadable, kIllegalFormatText, out);
        return out;
    }
    Json::Value root;
    PlatformError none = PlatformError::kUnreadable;  // why there are no rows
    if (ParseObject(answer.value, root)) {
        const Json::Value* result = Member(root, "result");
        const Json::Value* list = Member(root, "orderList");
        none = result && !IsTrue(*result) ? PlatformError::kRefused : PlatformError::kNothingFound;
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
                out.value.push_back(std::move(row));
            }
        }
    }
    // A refusal and an empty page are shown alike.
    if (out.value.empty()) Fail(answer, none, kLastPageText, out);
    return out;
}

PlatformResult<StatisticsAnswer> ParseStatisticsAnswer(const PlatformAnswer& answer) {
    PlatformResult<StatisticsAnswer> out;
    if (PassOn(answer, out)) return out;
    if (!StartsWithBrace(answer.value)) {
        Fail(answer, PlatformError::kUnreadable, kIllegalFormatText, out);
        return out;
    }
    Json::Value root;
    PlatformError none = PlatformError::kUnreadable;
    if (ParseObject(answer.value, root)) {
        const Json::Value* result = Member(root, "result");
        none = result && !IsTrue(*result) ? PlatformError::kRefused : PlatformError::kNothingFound;
        if (result && IsTrue(*result)) {
            std::string& period = out.value.period;
            if (Has(root, "startTime")) period += DigitsToDateTimeText(Text(root, "startTime"));
            period += "----";
            if (Has(root, "endTime")) period += DigitsToDateTimeText(Text(root, "endTime"));
            if (const Json::Value* list = Member(root, "orderList"); list && list->isArray()) {
                for (const Json::Value& row : *list) {
                    out.value.rows.push_back(FenToYuanText(Text(row, "totalMoney")) + "\n" +
                                             Text(row, "orderCount") + "\n" + Text(row, "type") +
                                             "\n");
                }
            }
        }
    }
    if (out.value.rows.empty()) Fail(answer, none, kLastPageText, out);
    return out;
}

}  // namespace tendrix::platform_api
