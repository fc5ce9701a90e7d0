#pragma once
// Cashier refund permissions: the three texts, their wire digits, the administrator's save
// (one addJtion request and one message per visible row) and the rule the refund page applies.
#include <string>
#include <vector>

namespace tendrix::platform_api {
class PlatformClient;
}  // namespace tendrix::platform_api

namespace tendrix::accounts {}

namespace tendrix::accounts {

inline constexpr const char* kPermissionTexts[3] = {"不可退款", "当笔可退", "扫码可退"};
inline constexpr const char* kPermissionDeniedNotice = "权限不足，不可退款！";
inline constexpr const char* kPermissionMessageTitle = "提示";

// "不可退款" -> "0", "当笔可退" -> "1", "扫码可退" -> "2"; any other text (also "") -> "0".
std::string PermissionWireValue(const std::string& text);

struct PermissionRow {
    std::string cashier_name;  // lab_cashier_name
    std::string choice;        // sysRefundSet
    bool visible = true;
};

// Sends one row's request; the message to show for it.
std::string SavePermission(const platform_api::PlatformClient& client, const PermissionRow& row,
                           const std::string& merchant_id, const std::string& key);

// Sends one request per row in order, stopping at the first row that is not visible, and
// returns one message per request: the permission sentence on success, the platform's or the
// transport's message on failure (a failed row does not stop the others).
std::vector<std::string> SavePermissions(const platform_api::PlatformClient& client,
                                         const std::vector<PermissionRow>& rows,
                                         const std::string& merchant_id, const std::string& key);

// How the refund page's order-number field and notice look for a cashier's permission.
struct RefundPageRule {
    bool applies = false;  // false: leave the page as it is (unknown permission text)
    bool order_field_read_only = false;
    bool order_field_enabled = true;
    bool notice_enabled = true;
    bool set_notice = false;  // true: the notice's text becomes `notice`
    std::string notice;
};
RefundPageRule RefundRuleFor(const std::string& permission);

}  // namespace tendrix::accounts
