#include "store/settings_keys.h"

namespace tendrix::store::keys {

const std::vector<SettingDefault>& SettingDefaults() {
    static const std::vector<SettingDefault> table = {
        {sysIsBarcodeCapture, "FALSE"},
        {sysIsDragonflyControl, "FALSE"},
        {sysDragonflyControlComId, "无"},
        {sysCaptureWay, ""},
        {sysIsLogFromMoney, "FALSE"},
        {sysLogFileSet, ""},
        {sysCaptureComId, "无"},
        {sysCaptureComMoney, "FALSE"},
        {sysVirtualComSendId, "无"},
        {sysVirtualComdRecvId, "无"},
        {sysComMachineSendID, "无"},
        {sysBaudRateSet, "2400"},
        {sysFilterMoneyMsg, "无"},
        {sysGetMoneyFromHwnd, "无"},
        {sysBillFirstMsg, nullptr},
        {sysFloatTransparency, "255"},
        {sysPrinterPortWay, "无"},
        {sysPrinterPaperWide, "58"},
        {sysPrinterComId, "无"},
        {sysPrinterComBaudRate, "9600"},
        {sysPrinterParallerPortId, "LPT1"},
        {sysPrinterDriverName, "无"},
        {sysPinterPapeNum, "1"},
        {sysPrinterNetIp, "无"},
        {sysPrinterLastLineNum, "3"},
        {sysPrintBillPath, "无"},
        {sysIsPrintBarCodeOrderId, "FALSE"},
        {sysIsPrintQRBarCodeOrderId, "FALSE"},
        {sysIsPrQRCodeOrderId, "FALSE"},
        {sysOneShopSay, "谢谢惠顾，欢迎下次光临！"},
        {sysTwoShopSay, "客户存根，请妥善保存，谢谢惠顾，欢迎下次光临！"},
        {sysIsUseCamera, "FALSE"},
        {sysWaitPay, "TRUE"},
        {sysCutPicThemeMoney, "FALSE"},
        {sysIsOpenVoicePrompt, "FALSE"},
        {sysIsOpenPaySuccessClose, "5"},
        {sysIsOpenCreateQRBarPay, "TRUE"},
        {sysIsOpenProductVerifi, "FALSE"},
        {sysIsOpenFacePay, "FALSE"},
        {sysIsOpenProAliPay, "FALSE"},
        {sysIsAutoHideWhenLand, "FALSE"},
        {sysReductionFoucus, "FALSE"},
        {sysAutoPrintBill, "FALSE"},
        {sysCancelRefundPayReason,
         "1：金额错误；\r\n2：价格争议；\r\n3：商品问题；\r\n4：退还押金；\r\n5：支付码过期；\r\n"},
        {sysIsPaySuccessHotKeyNext1, "无"},
        {sysIsPaySuccessHotKeyNext2, "无"},
        {sysIsPaySuccessHotKeyNext3, "无"},
        {sysPrintMoneyProgram, "无"},
        {sysPrintMoneyFocusPos, ""},
        {sysPrintKeytime, "0"},
        {sysQRPayLinkSet, "无"},
        {sysQRPayDeviceId, "无"},
        {sysSetOptionHotKey, "Tab"},
        {sysSysReBootHotKey, "无"},
        {sysPrintBillHotKey, "无"},
        {sysPageDownHotKey, "无"},
        {sysRefundOrCancelHotKey, "无"},
        {OpenCloseCameraHotKey, "无"},
        {sysCheckHotKey, "无"},
        {sysPageUpHotKey, "无"},
        {sysReturnBtnHotKey, "无"},
        {sysShowHideHotKey, "F2"},
        {sysHookOpenOff, "无"},
        // Linux additions: the scanner's input device ("" = found by name) and the
        // on-screen keyboard command started by the tray menu.
        {sysScannerInputDevice, ""},
        {sysSoftKeyboardCommand, "onboard"},
        {sysPlatformCaFile, ""},
    };
    return table;
}

std::string LoginKeyDefault(const std::string& key) {
    if (key == landType) return kLandTypeCashier;
    if (key == isUseAgent) return kNoProxy;
    return {};
}

}  // namespace tendrix::store::keys
