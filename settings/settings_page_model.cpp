#include "settings/settings_page_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "capture/selection/selection_geometry.h"
#include "common/port_map.h"
#include "store/settings_keys.h"

namespace tendrix::settings {
namespace {

using K = ControlKind;
using P = PageId;

const std::vector<std::string> kBaudRates = {"1200",  "2400",  "4800",  "9600",
                                             "19200", "38400", "57600", "115200"};

ControlDescription Make(const char* key, P page, K kind, const char* label,
                        std::vector<std::string> choices = {}, const char* tip = "") {
    ControlDescription s;
    s.key = key;
    s.page = page;
    s.kind = kind;
    s.label = label;
    s.choices = std::move(choices);
    s.tooltip = tip;
    return s;
}

ControlDescription Num(const char* key, P page, const char* label, int min, int max,
                       const char* tip = "") {
    ControlDescription s = Make(key, page, K::Number, label, {}, tip);
    s.min = min;
    s.max = max;
    return s;
}

ControlDescription Area(const char* key, P page, K kind, const char* label, bool switchable,
                        const char* tip) {
    ControlDescription s = Make(key, page, kind, label, {}, tip);
    s.switchable = switchable;
    return s;
}

std::vector<ControlDescription> BuildControls() {
    using namespace tendrix::store::keys;
    std::vector<ControlDescription> c;
    // Basic page: where the amount comes from.
    c.push_back(Make(sysCaptureComMoney, P::Basic, K::Switch, "从客显串口获取金额"));
    c.push_back(Make(sysVirtualComdRecvId, P::Basic, K::PortPair, "监听端口(虚拟串口对)", {},
                     "收银软件客显输出所连虚拟串口对，前一个为本软件监听的端口"));
    c.push_back(Make(sysVirtualComSendId, P::Basic, K::Port, "虚拟串口发送端"));
    c.push_back(Make(sysComMachineSendID, P::Basic, K::Port, "真实客显端口", {},
                     "收到的数据原样转发到此端口"));
    c.push_back(Make(sysBaudRateSet, P::Basic, K::EditChoice, "客显波特率", kBaudRates));
    c.push_back(Make(sysFilterMoneyMsg, P::Basic, K::Text, "金额过滤规则", {},
                     "\"无\"表示自动识别；\\X1B 表示一个十六进制字节，可从监听测试结果中复制"));
    c.push_back(Make(sysIsLogFromMoney, P::Basic, K::Switch, "从日志文件获取金额"));
    c.push_back(Make(sysLogFileSet, P::Basic, K::Path, "日志文件路径", {},
                     "路径中的年月日请写成 YYYY、MM、DD"));
    c.push_back(Area(sysCutPicThemeMoney, P::Basic, K::Rect, "屏幕识别金额区域", true,
                     "开启后点击“选取”在屏幕上框选金额所在区域"));
    c.push_back(Area(sysGetMoneyFromHwnd, P::Basic, K::Point, "窗口文字取金额位置", true,
                     "开启后点击“选取”指向收银软件中显示金额的控件"));
    // Device page: scanner, face-pay device, camera, on-screen keyboard.
    c.push_back(Make(sysIsBarcodeCapture, P::Device, K::Switch, "扫码枪捕获付款码"));
    c.push_back(Make(sysCaptureWay, P::Device, K::Choice, "捕获方式",
                     {"模拟键盘", "模拟键盘(增强模式)", "USB串口"}));
    c.push_back(Make(sysCaptureComId, P::Device, K::Port, "USB串口扫码枪端口"));
    c.push_back(Make(sysScannerInputDevice, P::Device, K::Text, "扫码枪输入设备", {},
                     "增强模式独占的输入设备，例如 /dev/input/by-id/...-event-kbd；空为自动"));
    c.push_back(Make(sysIsDragonflyControl, P::Device, K::Switch, "控制刷脸设备"));
    c.push_back(Make(sysDragonflyControlComId, P::Device, K::Port, "刷脸设备端口"));
    c.push_back(Make(sysIsUseCamera, P::Device, K::Switch, "使用摄像头"));
    c.push_back(Make(sysSoftKeyboardCommand, P::Device, K::Text, "屏幕键盘命令"));
    c.push_back(Make(sysPlatformCaFile, P::Device, K::Path, "平台CA证书文件", {},
                     "平台使用私有证书的 https 地址时填写（PEM）；空为系统证书库"));
    // Pay page.
    c.push_back(Make(sysWaitPay, P::Pay, K::Switch, "等待用户支付(轮询)"));
    c.push_back(Num(sysIsOpenPaySuccessClose, P::Pay, "支付成功后返回(秒)", 0, 3600,
                    "大于0时同时开启收款成功后的按键动作"));
    c.push_back(Make(sysAutoPrintBill, P::Pay, K::Switch, "支付成功自动打印小票"));
    c.push_back(Make(sysIsOpenVoicePrompt, P::Pay, K::Switch, "语音提示"));
    c.push_back(Make(sysIsOpenCreateQRBarPay, P::Pay, K::Switch, "二维码收款"));
    c.push_back(Make(sysIsOpenProductVerifi, P::Pay, K::Switch, "单品核销"));
    c.push_back(Make(sysIsOpenFacePay, P::Pay, K::Switch, "刷脸支付"));
    c.push_back(Make(sysIsOpenProAliPay, P::Pay, K::Switch, "预授权"));
    c.push_back(Make(sysIsAutoHideWhenLand, P::Pay, K::Switch, "登录后隐藏主界面"));
    c.push_back(Num(sysFloatTransparency, P::Pay, "悬浮窗不透明度(0-255)", 0, 255));
    c.push_back(Make(sysCancelRefundPayReason, P::Pay, K::MultiLine, "退款/撤销原因(每行一条)"));
    // Printer page.
    c.push_back(Make(sysPrinterPortWay, P::Printer, K::Choice, "打印机连接方式",
                     {"串口", "并口", "驱动打印机", "免驱USB", "无"}));
    c.push_back(Make(sysPrinterPaperWide, P::Printer, K::EditChoice, "纸宽(mm)", {"58", "80"}));
    c.push_back(Make(sysPrinterComId, P::Printer, K::Port, "串口打印机端口"));
    c.push_back(Make(sysPrinterComBaudRate, P::Printer, K::EditChoice, "串口波特率", kBaudRates));
    c.push_back(Make(sysPrinterParallerPortId, P::Printer, K::Parallel, "并口"));
    c.push_back(Make(sysPrinterDriverName, P::Printer, K::Printer, "驱动打印机"));
    c.push_back(Make(sysPrinterNetIp, P::Printer, K::Text, "网络打印机地址", {},
                     "IP地址，打印到端口9100；\"无\"为不使用"));
    c.push_back(Num(sysPinterPapeNum, P::Printer, "打印联数", 1, 9));
    c.push_back(Num(sysPrinterLastLineNum, P::Printer, "末尾走纸行数", 0, 30));
    c.push_back(Make(sysPrintBillPath, P::Printer, K::Path, "小票保存路径"));
    c.push_back(Make(sysIsPrintBarCodeOrderId, P::Printer, K::Switch, "订单号打印条码"));
    c.push_back(
        Make(sysIsPrintQRBarCodeOrderId, P::Printer, K::Switch, "扫码支付订单号打印二维码"));
    c.push_back(Make(sysIsPrQRCodeOrderId, P::Printer, K::Switch, "订单号打印二维码"));
    c.push_back(Make(sysBillFirstMsg, P::Printer, K::Text, "小票抬头"));
    c.push_back(Make(sysOneShopSay, P::Printer, K::Text, "第一联结束语"));
    c.push_back(Make(sysTwoShopSay, P::Printer, K::Text, "第二联结束语"));
    // Hotkey page: global keys, then the after-payment sequence.
    const bool no_tab = false;
    auto hot = [&](const char* key, const char* label, bool tab) {
        c.push_back(Make(key, P::Hotkey, K::Hotkey, label, HotkeyTexts(tab)));
    };
    hot(sysShowHideHotKey, "显示/隐藏主界面", no_tab);
    hot(sysSetOptionHotKey, "切换页面", true);
    hot(sysSysReBootHotKey, "重启软件", no_tab);
    hot(sysHookOpenOff, "开启/关闭扫码捕获", no_tab);
    hot(sysPrintBillHotKey, "打印小票", no_tab);
    hot(sysPageUpHotKey, "上一页", no_tab);
    hot(sysPageDownHotKey, "下一页", no_tab);
    hot(sysRefundOrCancelHotKey, "退款/撤销", no_tab);
    hot(sysCheckHotKey, "订单查询", no_tab);
    hot(sysReturnBtnHotKey, "返回", no_tab);
    hot(OpenCloseCameraHotKey, "开启/关闭摄像头", no_tab);
    c.push_back(
        Make(sysIsPaySuccessHotKeyNext1, P::Hotkey, K::Step, "收款后第一步按键", StepTexts()));
    c.push_back(
        Make(sysIsPaySuccessHotKeyNext2, P::Hotkey, K::Step, "收款后第二步按键", StepTexts()));
    c.push_back(
        Make(sysIsPaySuccessHotKeyNext3, P::Hotkey, K::Step, "收款后第三步按键", StepTexts()));
    c.push_back(Make(sysPrintMoneyProgram, P::Hotkey, K::Choice, "输入金额的时机",
                     {"第一步快捷键之前", "第二步快捷键之前", "第三步快捷键之前", "无"}));
    c.push_back(Area(sysPrintMoneyFocusPos, P::Hotkey, K::Rect, "金额输入框位置", false,
                     "点击“选取”框选收银软件的金额输入框，需先选择输入金额的时机"));
    c.push_back(Num(sysPrintKeytime, P::Hotkey, "按键间隔(毫秒，0为关闭)", 0, 60000));
    c.push_back(Area(sysReductionFoucus, P::Hotkey, K::Rect, "焦点还原位置", true,
                     "收款后点击此区域中心，把焦点还给收银软件"));
    // Fixed QR code page.
    c.push_back(Make(sysQRPayLinkSet, P::QRCode, K::Text, "固定收款码链接"));
    c.push_back(Make(sysQRPayDeviceId, P::QRCode, K::Text, "固定收款码设备号"));
    return c;
}

bool ParseInt(const std::string& text, long& out) {
    if (text.empty() || text.size() > 9) return false;
    for (char ch : text)
        if (ch < '0' || ch > '9') return false;
    out = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return -1;
    long n = 0;
    return ParseInt(name.substr(3), n) ? static_cast<int>(n) : -1;
}

}  // namespace

const std::vector<PageInfo>& Pages() {
    static const std::vector<PageInfo> pages = {
        {P::Basic, "CSysBasicSetDlg", "SysBasicSetDlg.xml", "基本设置"},
        {P::Pay, "CSysPaySetDlg", "SysPaySetDlg.xml", "支付设置"},
        {P::Device, "CSysDeviceSetDlg", "SysDeviceSetDlg.xml", "设备设置"},
        {P::Printer, "CSysPrinterSetDlg", "SysPrinterSetDlg.xml", "打印设置"},
        {P::Camera, "CSysCameraSetDlg", "SysCameraSetDlg.xml", "摄像头"},
        {P::Hotkey, "CSysHotkeySetDlg", "SysHotkeySetDlg.xml", "热键设置"},
        {P::Help, "CSysHelpSetDlg", "SysHelpSetDlg.xml", "帮助"},
        {P::QRCode, "CSysQRBarCodePaySetDlg", "SysQRBarCodePaySetDlg.xml", "固定收款码"},
    };
    return pages;
}

const PageInfo& Page(PageId id) {
    for (const auto& p : Pages())
        if (p.id == id) return p;
    return Pages().front();
}

const std::vector<ControlDescription>& Controls() {
    static const std::vector<ControlDescription> controls = BuildControls();
    return controls;
}

const ControlDescription* FindControl(const std::string& key) {
    for (const auto& c : Controls())
        if (c.key == key) return &c;
    return nullptr;
}

std::vector<const ControlDescription*> ControlsOf(PageId page) {
    std::vector<const ControlDescription*> out;
    for (const auto& c : Controls())
        if (c.page == page) out.push_back(&c);
    return out;
}

std::vector<std::string> OfferedTexts(const ControlDescription& description,
                                      const std::string& current) {
    std::vector<std::string> out = description.choices;
    if (std::find(out.begin(), out.end(), current) == out.end()) out.insert(out.begin(), current);
    return out;
}

std::vector<std::string> HotkeyTexts(bool with_tab) {
    std::vector<std::string> out = {store::keys::kNone};
    if (with_tab) out.push_back("Tab");
    for (int n = 1; n <= 12; ++n) out.push_back("F" + std::to_string(n));
    for (char ch = 'A'; ch <= 'Z'; ++ch) out.push_back(std::string(1, ch));
    for (char ch = 'A'; ch <= 'Z'; ++ch) out.push_back(std::string("alt + ") + ch);
    return out;
}

namespace {
const std::map<int, const char*>& StepKeyNames() {
    static const std::map<int, const char*> names = {
        {0x0D, "回车"},     {0x09, "Tab"},      {0x1B, "Esc"},      {0x20, "空格"},
        {0x08, "退格"},     {0x2E, "Delete"},   {0x21, "PageUp"},   {0x22, "PageDown"},
        {0x23, "End"},      {0x24, "Home"},     {0x25, "左方向键"}, {0x26, "上方向键"},
        {0x27, "右方向键"}, {0x28, "下方向键"}, {0x6A, "小键盘*"},  {0x6B, "小键盘+"},
        {0x6D, "小键盘-"},  {0x6F, "小键盘/"},
    };
    return names;
}
}  // namespace

std::vector<std::string> StepTexts() {
    std::vector<std::string> out = {store::keys::kNone, "reduction_focus"};
    for (const auto& [vk, name] : StepKeyNames()) out.push_back("KeyBody" + std::to_string(vk));
    for (int n = 1; n <= 12; ++n) out.push_back("KeyBody" + std::to_string(111 + n));
    for (char ch = 'A'; ch <= 'Z'; ++ch) out.push_back(std::string("CTRL + ") + ch);
    for (char ch = 'A'; ch <= 'Z'; ++ch) out.push_back(std::string("ALT + ") + ch);
    return out;
}

std::string KeyMeaning(const std::string& text) {
    if (text == store::keys::kNone) return "不使用";
    if (text == "Tab") return "Tab键";
    if (text == "reduction_focus") return "点击焦点还原位置";
    if (text.rfind("KeyBody", 0) == 0) {
        long vk = 0;
        if (!ParseInt(text.substr(7), vk)) return "";
        auto it = StepKeyNames().find(static_cast<int>(vk));
        if (it != StepKeyNames().end()) return it->second;
        if (vk >= 112 && vk <= 123) return "F" + std::to_string(vk - 111);
        if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
            return std::string(1, static_cast<char>(vk));
        return "按键码" + std::to_string(vk);
    }
    if (text.rfind("CTRL + ", 0) == 0 && text.size() == 8) return "Ctrl+" + text.substr(7);
    if ((text.rfind("ALT + ", 0) == 0 || text.rfind("alt + ", 0) == 0) && text.size() == 7)
        return "Alt+" + text.substr(6);
    if (text.size() >= 2 && text[0] == 'F') {
        long n = 0;
        if (ParseInt(text.substr(1), n) && n >= 1 && n <= 24) return "功能键" + text;
    }
    if (text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z') return "字母键" + text;
    return "";
}

std::optional<std::string> CheckValue(const ControlDescription& description,
                                      const std::string& value) {
    auto bad = [&](const std::string& why) { return "“" + description.label + "”" + why; };
    switch (description.kind) {
        case K::Switch:
            if (value != store::keys::kTrue && value != store::keys::kFalse)
                return bad("只能是开启或关闭");
            return std::nullopt;
        case K::Choice:
            if (std::find(description.choices.begin(), description.choices.end(), value) ==
                    description.choices.end() &&
                !value.empty())
                return bad("不是可选的值：" + value);
            return std::nullopt;
        case K::Number: {
            long n = 0;
            if (!ParseInt(value, n) || n < description.min || n > description.max)
                return bad("应为" + std::to_string(description.min) + "到" +
                           std::to_string(description.max) + "之间的整数");
            return std::nullopt;
        }
        case K::EditChoice: {
            // Baud rates and paper widths: positive decimal numbers.
            long n = 0;
            if (!ParseInt(value, n) || n <= 0) return bad("应为正整数");
            return std::nullopt;
        }
        case K::Port:
            if (value != store::keys::kNone && ComNumber(value) <= 0)
                return bad("应为COM加端口号或“无”");
            return std::nullopt;
        case K::PortPair: {
            if (value == store::keys::kNone) return std::nullopt;
            auto arrow = value.find("->");
            if (arrow == std::string::npos || ComNumber(value.substr(0, arrow)) <= 0)
                return bad("应为“COM3->COM4”的形式或“无”");
            return std::nullopt;
        }
        case K::Rect:
            if (value.empty() && !description.switchable) return std::nullopt;
            if (description.switchable &&
                (value == store::keys::kFalse || value == store::keys::kTrue))
                return std::nullopt;
            if (!capture::selection::ParseRect(value)) return bad("不是有效的区域，请重新选取");
            return std::nullopt;
        case K::Point:
            if (value == store::keys::kNone) return std::nullopt;
            if (!capture::selection::ParsePoint(value)) return bad("不是有效的位置，请重新选取");
            return std::nullopt;
        case K::Hotkey: {
            if (std::find(description.choices.begin(), description.choices.end(), value) ==
                description.choices.end())
                return bad("不是可用的热键：" + value);
            return std::nullopt;
        }
        case K::Step:
            if (value == store::keys::kNone || value == "reduction_focus") return std::nullopt;
            if (KeyMeaning(value).empty()) return bad("不是可用的按键：" + value);
            return std::nullopt;
        case K::Parallel:
            if (value.rfind("LPT", 0) != 0) return bad("应为LPT加端口号");
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::vector<std::string> SerialPortChoices(const std::string& port_map_file,
                                           const std::string& dev_root) {
    std::set<int> numbers;
    std::error_code ec;
    for (int n = 1; n <= 64; ++n)
        if (std::filesystem::exists(dev_root + "/ttyS" + std::to_string(n - 1), ec))
            numbers.insert(n);
    const common::PortMap map(port_map_file);
    for (const auto& [name, path] : map.Entries()) {
        int n = ComNumber(name);
        if (n > 0) numbers.insert(n);
    }
    std::vector<std::string> out = {store::keys::kNone};
    for (int n : numbers) out.push_back("COM" + std::to_string(n));
    return out;
}

std::vector<std::string> PortPairChoices(const std::vector<std::string>& ports) {
    // Virtual pairs are made of neighbouring numbers (COM3<->COM4); offering every ordered
    // pair of 32 serial ports would bury them, so only close neighbours are listed. Any other
    // pair can still be typed.
    std::vector<std::string> out = {store::keys::kNone};
    for (const auto& a : ports) {
        const int na = ComNumber(a);
        if (na <= 0) continue;
        for (const auto& b : ports) {
            const int nb = ComNumber(b);
            if (nb > 0 && nb != na && std::abs(nb - na) <= 2) out.push_back(a + "->" + b);
        }
    }
    return out;
}

std::vector<std::string> ParallelPortChoices(const std::string& port_map_file) {
    std::set<std::string> names = {"LPT1", "LPT2", "LPT3"};
    const common::PortMap map(port_map_file);
    for (const auto& [name, path] : map.Entries())
        if (name.rfind("LPT", 0) == 0) names.insert(name);
    return {names.begin(), names.end()};
}

}  // namespace tendrix::settings
