#include "checkout/main_logic.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "desktop/screen_place_text.h"

namespace tendrix::checkout {

std::string FacePayShowCommand() {
    return std::string(reinterpret_cast<const char*>(kFacePayShow), sizeof kFacePayShow);
}

std::string FacePayHideCommand() {
    return std::string(reinterpret_cast<const char*>(kFacePayHide), sizeof kFacePayHide);
}

std::optional<int> TabForReturnText(std::string_view text) {
    if (text == "返回" || text == "二维码支付返回") return 0;
    if (text == "预授权返回") return 1;
    if (text == "上一步返回") return 4;
    return std::nullopt;
}

const std::vector<TrayItemInfo>& TrayItems() {
    static const std::vector<TrayItemInfo> items = {
        {TrayItem::Settings, "设置", true},
        {TrayItem::WindowCapture, "窗口截取", true},
        {TrayItem::FocusCapture, "焦点截屏", false},
        {TrayItem::About, "关于我们", false},
        {TrayItem::Backend, "后台查询", false},
        {TrayItem::SoftKeyboard, "调用软键盘", false},
        {TrayItem::Quit, "退出", false},
        {TrayItem::Restart, "重启系统", false},
    };
    return items;
}

std::optional<TrayItem> TrayItemForText(std::string_view text) {
    for (const TrayItemInfo& i : TrayItems())
        if (text == i.text) return i.item;
    return std::nullopt;
}

std::string PaidAmountFromReceipt(std::string_view receipt) {
    static constexpr std::string_view kLabel = "实际金额";
    const size_t at = receipt.find(kLabel);
    if (at == std::string_view::npos) return {};
    size_t i = at + kLabel.size();
    // Skip the separator ("：", ":" or spaces) up to the first digit of this line.
    while (i < receipt.size() && !std::isdigit(static_cast<unsigned char>(receipt[i]))) {
        if (receipt[i] == '\n' || receipt[i] == '\r') return {};
        ++i;
    }
    std::string amount;
    while (i < receipt.size() && amount.size() < 49) {
        const char c = receipt[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') break;
        amount += c;
        ++i;
    }
    return amount;
}

std::vector<std::string> PaymentSuccessVoices(std::string_view amount) {
    std::vector<std::string> names{kQrPaySuccessVoice};
    for (char c : amount) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.')
            names.push_back(std::string(1, c) + ".mp3");
    }
    return names;
}

std::optional<Point> RectSettingCentre(std::string_view text) {
    const auto r = desktop::ParseRect(text);
    if (!r) return std::nullopt;
    const Point p{(r->left + r->right) / 2, (r->top + r->bottom) / 2};
    if (p.x == 0 && p.y == 0) return std::nullopt;
    return p;
}

int MainKeyFromSetting(std::string_view text, bool allow_tab) {
    if (allow_tab && text == "Tab") return 9;
    if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0])))
        return std::toupper(static_cast<unsigned char>(text[0]));
    if (text.size() >= 2 && text.size() <= 3 && text[0] == 'F') {
        int n = 0;
        for (size_t i = 1; i < text.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
            n = n * 10 + (text[i] - '0');
        }
        if (n >= 1 && n <= 24) return n + 111;
    }
    return 0;
}

int IntSetting(std::string_view text, int fallback) {
    const std::string s(text);
    if (s.empty()) return fallback;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str()) return fallback;
    if (v > 1000000000L) return 1000000000;
    if (v < -1000000000L) return -1000000000;
    return static_cast<int>(v);
}

bool IsPayableAmount(std::string_view amount) {
    int points = 0, decimals = 0, digits = 0;
    bool non_zero = false;
    for (char c : amount) {
        if (c == '.') {
            if (++points > 1) return false;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            if (points) ++decimals;
            if (c != '0') non_zero = true;
        } else {
            return false;
        }
    }
    return digits > 0 && decimals <= 2 && digits <= 12 && non_zero;
}

}  // namespace tendrix::checkout
