#pragma once
// Every settings key with its default, in load order, and the login keys kept directly in
// tblTest. This is the one place where key names and defaults are written down.
#include <string>
#include <vector>

namespace tendrix::store::keys {

// Switches and fixed values used across the program.
inline constexpr const char* kTrue = "TRUE";
inline constexpr const char* kFalse = "FALSE";
inline constexpr const char* kNone = "无";

// Settings keys (stored in tblTest through the settings map).
inline constexpr const char* sysIsBarcodeCapture = "sysIsBarcodeCapture";
inline constexpr const char* sysIsDragonflyControl = "sysIsDragonflyControl";
inline constexpr const char* sysDragonflyControlComId = "sysDragonflyControlComId";
inline constexpr const char* sysCaptureWay = "sysCaptureWay";
inline constexpr const char* sysIsLogFromMoney = "sysIsLogFromMoney";
inline constexpr const char* sysLogFileSet = "sysLogFileSet";
inline constexpr const char* sysCaptureComId = "sysCaptureComId";
inline constexpr const char* sysCaptureComMoney = "sysCaptureComMoney";
inline constexpr const char* sysVirtualComSendId = "sysVirtualComSendId";
inline constexpr const char* sysVirtualComdRecvId = "sysVirtualComdRecvId";
inline constexpr const char* sysComMachineSendID = "sysComMachineSendID";
inline constexpr const char* sysBaudRateSet = "sysBaudRateSet";
inline constexpr const char* sysFilterMoneyMsg = "sysFilterMoneyMsg";
inline constexpr const char* sysGetMoneyFromHwnd = "sysGetMoneyFromHwnd";
inline constexpr const char* sysBillFirstMsg = "sysBillFirstMsg";
inline constexpr const char* sysFloatTransparency = "sysFloatTransparency";
inline constexpr const char* sysPrinterPortWay = "sysPrinterPortWay";
inline constexpr const char* sysPrinterPaperWide = "sysPrinterPaperWide";
inline constexpr const char* sysPrinterComId = "sysPrinterComId";
inline constexpr const char* sysPrinterComBaudRate = "sysPrinterComBaudRate";
inline constexpr const char* sysPrinterParallerPortId = "sysPrinterParallerPortId";
inline constexpr const char* sysPrinterDriverName = "sysPrinterDriverName";
inline constexpr const char* sysPinterPapeNum = "sysPinterPapeNum";
inline constexpr const char* sysPrinterNetIp = "sysPrinterNetIp";
inline constexpr const char* sysPrinterLastLineNum = "sysPrinterLastLineNum";
inline constexpr const char* sysPrintBillPath = "sysPrintBillPath";
inline constexpr const char* sysIsPrintBarCodeOrderId = "sysIsPrintBarCodeOrderId";
inline constexpr const char* sysIsPrintQRBarCodeOrderId = "sysIsPrintQRBarCodeOrderId";
inline constexpr const char* sysIsPrQRCodeOrderId = "sysIsPrQRCodeOrderId";
inline constexpr const char* sysOneShopSay = "sysOneShopSay";
inline constexpr const char* sysTwoShopSay = "sysTwoShopSay";
inline constexpr const char* sysIsUseCamera = "sysIsUseCamera";
inline constexpr const char* sysWaitPay = "sysWaitPay";
inline constexpr const char* sysCutPicThemeMoney = "sysCutPicThemeMoney";
inline constexpr const char* sysIsOpenVoicePrompt = "sysIsOpenVoicePrompt";
inline constexpr const char* sysIsOpenPaySuccessClose = "sysIsOpenPaySuccessClose";
inline constexpr const char* sysIsOpenCreateQRBarPay = "sysIsOpenCreateQRBarPay";
inline constexpr const char* sysIsOpenProductVerifi = "sysIsOpenProductVerifi";
inline constexpr const char* sysIsOpenFacePay = "sysIsOpenFacePay";
inline constexpr const char* sysIsOpenProAliPay = "sysIsOpenProAliPay";
inline constexpr const char* sysIsAutoHideWhenLand = "sysIsAutoHideWhenLand";
inline constexpr const char* sysReductionFoucus = "sysReductionFoucus";
inline constexpr const char* sysAutoPrintBill = "sysAutoPrintBill";
inline constexpr const char* sysCancelRefundPayReason = "sysCancelRefundPayReason";
inline constexpr const char* sysIsPaySuccessHotKeyNext1 = "sysIsPaySuccessHotKeyNext1";
inline constexpr const char* sysIsPaySuccessHotKeyNext2 = "sysIsPaySuccessHotKeyNext2";
inline constexpr const char* sysIsPaySuccessHotKeyNext3 = "sysIsPaySuccessHotKeyNext3";
inline constexpr const char* sysPrintMoneyProgram = "sysPrintMoneyProgram";
inline constexpr const char* sysPrintMoneyFocusPos = "sysPrintMoneyFocusPos";
inline constexpr const char* sysPrintKeytime = "sysPrintKeytime";
inline constexpr const char* sysQRPayLinkSet = "sysQRPayLinkSet";
inline constexpr const char* sysQRPayDeviceId = "sysQRPayDeviceId";
inline constexpr const char* sysSetOptionHotKey = "sysSetOptionHotKey";
inline constexpr const char* sysSysReBootHotKey = "sysSysReBootHotKey";
inline constexpr const char* sysPrintBillHotKey = "sysPrintBillHotKey";
inline constexpr const char* sysPageDownHotKey = "sysPageDownHotKey";
inline constexpr const char* sysRefundOrCancelHotKey = "sysRefundOrCancelHotKey";
inline constexpr const char* OpenCloseCameraHotKey = "OpenCloseCameraHotKey";
inline constexpr const char* sysCheckHotKey = "sysCheckHotKey";
inline constexpr const char* sysPageUpHotKey = "sysPageUpHotKey";
inline constexpr const char* sysReturnBtnHotKey = "sysReturnBtnHotKey";
inline constexpr const char* sysShowHideHotKey = "sysShowHideHotKey";
inline constexpr const char* sysHookOpenOff = "sysHookOpenOff";

// Keys this Linux build adds (not in the original table; stored the same way).
inline constexpr const char* sysScannerInputDevice = "sysScannerInputDevice";  // evdev path or ""
inline constexpr const char* sysSoftKeyboardCommand = "sysSoftKeyboardCommand";
// A CA certificate file (PEM) trusted for an https platform besides the system's store.
inline constexpr const char* sysPlatformCaFile = "sysPlatformCaFile";

// Login keys kept directly in tblTest (not part of the settings map).
inline constexpr const char* landType = "landType";
inline constexpr const char* isUseAgent = "isUseAgent";
inline constexpr const char* autoLand = "autoLand";
inline constexpr const char* remberPassword = "remberPassword";
inline constexpr const char* autoBoot = "autoBoot";
inline constexpr const char* choicedCashier = "choicedCashier";
inline constexpr const char* merchantId = "merchantId";
inline constexpr const char* shopId = "shopId";
inline constexpr const char* merchantAPI = "merchantAPI";
inline constexpr const char* agentIp = "agentIp";
inline constexpr const char* agentPort = "agentPort";
inline constexpr const char* agentAccout = "agentAccout";
inline constexpr const char* agentPassword = "agentPassword";

inline constexpr const char* kLandTypeCashier = "收银员模式";
inline constexpr const char* kLandTypeAdmin = "管理员模式";
inline constexpr const char* kNoProxy = "不使用代理";
inline constexpr const char* kHttpProxy = "使用HTTP代理";

struct SettingDefault {
    const char* key;
    const char* value;  // nullptr: the default is the company name (sysBillFirstMsg)
};

// The settings table in load order.
const std::vector<SettingDefault>& SettingDefaults();

// Default of a login key written when it is missing (landType, isUseAgent); "" for the rest.
std::string LoginKeyDefault(const std::string& key);

}  // namespace tendrix::store::keys
