#pragma once
// Fixed texts of the checkout pages, exactly as the cashier sees them.
#include <string_view>

namespace tendrix::checkout {

// Network failure while creating an order (text A). Continuation lines: eight tabs, two spaces.
inline constexpr std::string_view kCreateNetworkFailureText =
    "  当前网络故障，不能确定该设备创建的订单号是否与服\r\n"
    "\t\t\t\t\t\t\t\t  务器进行交互生成了平台订单号，请等待网络正常后点\r\n"
    "\t\t\t\t\t\t\t\t  击查询或者用其他设备登录后台查询，如果查不到说明\r\n"
    "\t\t\t\t\t\t\t\t  发起交易前网络已经断开\r\n";

// Network failure while refunding (text A'): one space after the tabs.
inline constexpr std::string_view kRefundNetworkFailureText =
    "  当前网络故障，不能确定该设备创建的订单号是否与服\r\n"
    "\t\t\t\t\t\t\t\t 务器进行交互生成了平台订单号，请等待网络正常后点\r\n"
    "\t\t\t\t\t\t\t\t 击查询或者用其他设备登录后台查询，如果查不到说明\r\n"
    "\t\t\t\t\t\t\t\t 发起交易前网络已经断开\r\n";

// Order timed out (text B). Continuation lines: nine tabs, one space; no final line break.
inline constexpr std::string_view kTimedOutText =
    "  当前处于超时状态，在该状态下支付后最少十分钟才出结果，\r\n"
    "\t\t\t\t\t\t\t\t\t 如果撤销订单，请务必添加备注，如果顾客手机支付成功撤销将\r\n"
    "\t\t\t\t\t\t\t\t\t 会退回全部资金！";

inline constexpr std::string_view kQueryNetworkFailureText =
    "当前网络故障, 无法查询和交易，请检查网络，恢复网络之后请手动查询交易！";
inline constexpr std::string_view kPrintBeforeQueryText =
    "打印前请务必先进行查询，获取最新的订单状态！";
inline constexpr std::string_view kAbandonMonitoringText =
    "您放弃监控查看这笔订单的交易结果，请在订单列表查询这笔订单的结果！";
inline constexpr std::string_view kNoCustomerQrText = "无顾客支付的二维码";

// Result-text labels the page reads back.
inline constexpr std::string_view kDeviceOrderLabel = "设备创建的订单号：";
inline constexpr std::string_view kMerchantOrderKey = "创建的订单号：";
inline constexpr std::string_view kOrderNumberKey = "\r\n订单号：";
inline constexpr std::string_view kDepositOrderKey = "\r\n解冻、转支付操作订单号：";
inline constexpr std::string_view kDepositOrderLine = "解冻、转支付操作订单号：\r\n";
inline constexpr std::string_view kStateLabel = "支付状态：";
inline constexpr std::string_view kActualAmountLabel = "实际金额：";
inline constexpr std::string_view kRefundAmountLabel = "本次退款金额：";
inline constexpr std::string_view kThawAmountLabel = "本次解冻金额：";
inline constexpr std::string_view kSignatureBlock =
    "客户签名： \r\n \r\n \r\n--------------------------------";

// User data markers.
inline constexpr std::string_view kTimerReturnMark = "Set Timer Return";
inline constexpr std::string_view kPrintBillMark = "printBill";

// Button labels.
inline constexpr std::string_view kCancelOrRefundLabel = "撤销/退款";
inline constexpr std::string_view kCancelOrThawLabel = "撤销/解冻";
inline constexpr std::string_view kReturnLabel = "返回";
inline constexpr std::string_view kPreviousStepReturnLabel = "上一步返回";
inline constexpr std::string_view kQrReturnLabel = "二维码支付返回";
inline constexpr std::string_view kPreAuthReturnLabel = "预授权返回";

// Popup titles and voice prompts.
inline constexpr std::string_view kPaySuccessTitle = "支付成功！";
inline constexpr std::string_view kFrozenTitle = "预授权冻结成功！";
inline constexpr std::string_view kRefundTitle = "退款成功！";
inline constexpr std::string_view kPartRefundTitle = "部分退款成功！";
inline constexpr std::string_view kThawTitle = "解冻成功！";
inline constexpr std::string_view kPaySuccessVoice = "paysuccess.mp3";
inline constexpr std::string_view kFrozenVoice = "frozensuccess.mp3";
inline constexpr std::string_view kRefundVoice = "refundsuccess.mp3";
inline constexpr std::string_view kPartRefundVoice = "partrefundsuccess.mp3";
inline constexpr std::string_view kThawVoice = "thawsuccess.mp3";

// Pay page and feature pages.
inline constexpr std::string_view kStaticQrClosedText = "该功能暂不对外开放，如有疑问请联系客服！";
inline constexpr std::string_view kProductVerifyOffText = "单品核销功能尚未开通！";
inline constexpr std::string_view kFacePayOffText = "刷脸支付功能尚未开通！";
inline constexpr std::string_view kPreAuthOffText = "预授权功能尚未开通！";
inline constexpr std::string_view kNoRefundPermissionText = "权限不足，不可退款！";
inline constexpr std::string_view kNoRefundPermissionName = "不可退款";
inline constexpr std::string_view kHelpPhoneLabel = "客服电话：";
inline constexpr std::string_view kMessageTitle = "提示";

// Refusals of amounts the platform could not take (never sent).
inline constexpr std::string_view kBadAmountText = "请输入正确的金额（最多两位小数）！";
inline constexpr std::string_view kBadRefundAmountText = "请输入正确的退款金额（最多两位小数）！";

// Shown while an operation awaits the platform's answer.
inline constexpr std::string_view kPayingText = "正在支付，请稍候…";
inline constexpr std::string_view kQueryingText = "正在查询，请稍候…";
inline constexpr std::string_view kRefundingText = "正在退款，请稍候…";
inline constexpr std::string_view kCancellingText = "正在撤销，请稍候…";
inline constexpr std::string_view kPreCreatingText = "正在生成收款二维码，请稍候…";

// Payment codes the platform could take (never sent otherwise).
inline constexpr std::string_view kBadPayCodeText = "支付码只能包含字母和数字，请重新扫码！";
// The record of an order about to be created could not be written: nothing is sent.
inline constexpr std::string_view kRecordWriteFailedText =
    "无法记录本笔订单（为避免重复收款，本次未发起交易），请检查数据目录：";
// Heading of the result text after a refund whose answer was lost.
inline constexpr std::string_view kRefundUnknownHeading = "退款结果未确认，请在网络恢复后查询";

// Timer ids.
inline constexpr int kQueryTimerId = 9;
inline constexpr int kReturnTimerId = 45;
inline constexpr int kStaticQrTimerId = 22;
inline constexpr int kFirstQueryDelayMs = 50;
inline constexpr int kPollPeriodMs = 2000;

}  // namespace tendrix::checkout
