#include "checkout/pages/pay_logic.h"

#include "checkout/pages/result_texts.h"
#include "common/text_codec.h"

namespace tendrix::checkout {

bool IsValidAmount(std::string_view amount) {
    if (amount.empty()) return false;
    size_t point = amount.find('.');
    if (point == std::string_view::npos) return true;
    return amount.size() - point - 1 <= 2;
}

size_t CharCount(std::string_view utf8) {
    return common::Utf8ToUtf16(utf8).size();
}

bool IsSubmittableOrder(std::string_view order_number, std::string_view reason) {
    return CharCount(order_number) >= kMinOrderNumberChars && !reason.empty();
}

bool IsKeypadDigitButton(std::string_view name) {
    return name.size() == 7 && name.substr(0, 6) == "btnnum";
}

std::vector<KeyStroke> KeypadStrokes(std::string_view name, std::string_view text,
                                     KeypadKind kind) {
    const bool pad = kind == KeypadKind::Window;
    if (IsKeypadDigitButton(name)) {
        if (text.size() != 1 || text[0] < '0' || text[0] > '9') return {};
        int vk = text[0];
        return {{pad ? vk + 48 : vk, false}};
    }
    if (name == "btnnum00") {
        int zero = pad ? 96 : 48;
        return {{zero, false}, {zero, false}};
    }
    if (name == "btnnumdot") return {{kVkDecimal, false}};
    if (name == "btnnumbackspace") return {{kVkBack, false}};
    if (name == "btnnumnull") return {{kVkA, true}, {kVkBack, false}};
    if (name == "btnnumenter") return {{kVkReturn, false}};
    return {};
}

std::vector<std::string> ParseReasonList(std::string_view setting) {
    std::vector<std::string> out;
    const std::string_view sep = "；";
    const std::string_view colon = "：";
    size_t pos = 0;
    while (pos <= setting.size()) {
        size_t end = setting.find(sep, pos);
        std::string_view item =
            setting.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        std::string text;
        for (char c : item)
            if (c != '\r' && c != '\n') text += c;
        size_t c = text.find(colon);
        if (c != std::string::npos) text = text.substr(c + colon.size());
        while (!text.empty() && text.front() == ' ') text.erase(0, 1);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (!text.empty()) out.push_back(text);
        if (end == std::string_view::npos) break;
        pos = end + sep.size();
    }
    return out;
}

RefundFieldState RefundFieldFor(std::string_view permission) {
    RefundFieldState s;
    if (permission == "当笔可退") {
        s.applies = true;
        s.read_only = true;
    } else if (permission == "不可退款") {
        s.applies = true;
        s.read_only = true;
        s.enabled = false;
        s.notice_applies = true;
        s.notice = std::string(kNoRefundPermissionText);
        s.notice_enabled = false;
    } else if (permission == "扫码可退") {
        s.applies = true;
        s.notice_applies = true;
    }
    return s;
}

}  // namespace tendrix::checkout
