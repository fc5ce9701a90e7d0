#include "accounts/cashier_permissions.h"

#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"

namespace tendrix::accounts {

std::string PermissionWireValue(const std::string& text) {
    for (int i = 0; i < 3; ++i) {
        if (text == kPermissionTexts[i]) return std::to_string(i);
    }
    return "0";
}

std::string SavePermission(const platform_api::PlatformClient& client, const PermissionRow& row,
                           const std::string& merchant_id, const std::string& key) {
    const platform_api::PlatformResult<std::string> r =
        platform_api::ParsePermissionAnswer(client.GrantPermission(
            row.cashier_name, merchant_id, PermissionWireValue(row.choice), key));
    return r.ok() ? r.value : r.message;
}

std::vector<std::string> SavePermissions(const platform_api::PlatformClient& client,
                                         const std::vector<PermissionRow>& rows,
                                         const std::string& merchant_id, const std::string& key) {
    std::vector<std::string> messages;
    for (const PermissionRow& row : rows) {
        if (!row.visible) break;
        messages.push_back(SavePermission(client, row, merchant_id, key));
    }
    return messages;
}

RefundPageRule RefundRuleFor(const std::string& permission) {
    RefundPageRule r;
    if (permission == kPermissionTexts[1]) {  // 当笔可退
        r.applies = true;
        r.order_field_read_only = true;
    } else if (permission == kPermissionTexts[0]) {  // 不可退款
        r.applies = true;
        r.order_field_read_only = true;
        r.order_field_enabled = false;
        r.notice_enabled = false;
        r.set_notice = true;
        r.notice = kPermissionDeniedNotice;
    } else if (permission == kPermissionTexts[2]) {  // 扫码可退
        r.applies = true;
        r.set_notice = true;  // cleared
    }
    return r;
}

}  // namespace tendrix::accounts
