#pragma once
// The main window's rules that need no window: page switching by return-button text, tray
// menu items and the login rule, the paid amount of a receipt, the voice names of a payment,
// screen points from the settings and the face-pay device commands.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tendrix::checkout {

// Face-pay device commands (show: 10 bytes, hide: 11 bytes).
inline constexpr unsigned char kFacePayShow[10] = {0x02, 0x00, 0x06, 0x00, 0xa3,
                                                   0x00, 0x00, 0x01, 0x17, 0x03};
inline constexpr unsigned char kFacePayHide[11] = {0x02, 0x00, 0x06, 0x08, 0xa3, 0x00,
                                                   0x00, 0x01, 0x15, 0x03, 0xba};
std::string FacePayShowCommand();
std::string FacePayHideCommand();

// Texts shown by the main window.
inline constexpr const char* kPleaseLogin = "请用户登录账户！";
inline constexpr const char* kProductVerifyOff = "单品核销功能尚未开通！";
inline constexpr const char* kFacePayOff = "刷脸支付功能尚未开通！";
inline constexpr const char* kNoRefundPermission = "权限不足，不可退款！";
inline constexpr const char* kTipTitle = "提示";
inline constexpr const char* kWelcomeTitle = "欢迎您使用";
inline constexpr const char* kPaySuccess = "支付成功！";
inline constexpr const char* kQrPaySuccessVoice = "qrpaysuccess.mp3";  // then the amount
inline constexpr const char* kLoginSuccessVoice = "landsuccess.mp3";

// Tab of `switch` that a return button's text leads back to; nullopt for any other text.
std::optional<int> TabForReturnText(std::string_view text);

// Tray menu items, in menu order.
enum class TrayItem {
    Settings,
    WindowCapture,
    FocusCapture,
    About,
    Backend,
    SoftKeyboard,
    Quit,
    Restart
};
struct TrayItemInfo {
    TrayItem item;
    const char* text;
    bool needs_login;
};
const std::vector<TrayItemInfo>& TrayItems();
std::optional<TrayItem> TrayItemForText(std::string_view text);

// Pending tray actions carried out by timer 0.
enum PendingTrayAction : int {
    kNoAction = 0,
    kOpenSettings = 1,
    kWindowCapture = 2,
    kFocusCapture = 5
};

// The amount after "实际金额" in a receipt (UTF-8): its digits and points, at most 49.
// Empty when the label is missing or no digit follows it.
std::string PaidAmountFromReceipt(std::string_view receipt_utf8);

// Voice names of a successful payment: "qrpaysuccess.mp3", then one "<c>.mp3" per character
// of the amount.
std::vector<std::string> PaymentSuccessVoices(std::string_view amount);

// Centre of a "top:%d, left:%d, right:%d, bottom:%d" rectangle setting; nullopt when the text
// is not such a rectangle or the centre is (0, 0).
struct Point {
    int x = 0;
    int y = 0;
};
std::optional<Point> RectSettingCentre(std::string_view text);

// A whole number setting ("30" -> 30); `fallback` for anything else.
int IntSetting(std::string_view text, int fallback = 0);

// Main window keys: "F%d" gives VK n + 111, a single letter gives the letter (upper case),
// "Tab" gives 9 when `allow_tab`; 0 for anything else ("无", "alt + x").
int MainKeyFromSetting(std::string_view text, bool allow_tab = false);

// Amount shown check of the show/hide toggle: neither empty nor "0.0".
inline bool IsShowableAmount(std::string_view amount) {
    return !amount.empty() && amount != "0.0";
}

// An amount that can be charged: digits with at most one point and two decimals, above 0.
bool IsPayableAmount(std::string_view amount);

}  // namespace tendrix::checkout
