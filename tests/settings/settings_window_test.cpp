// The settings window driven offscreen: every key's control, save and restart, the port and
// log tests, the printer preview and test print, the camera page on generated frames; the
// tray's windows opened once at a time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <fstream>

#include "capture/log_tail.h"
#include "capture/selection/capture_dlg.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "input/camera_worker.h"
#include "platform_api/link_security.h"
#include "printing/escpos.h"
#include "settings/launch_windows.h"
#include "settings/receipt_preview.h"
#include "settings/settings_page_model.h"
#include "settings/settings_pages.h"
#include "settings/system_set_dlg.h"
#include "store/settings_keys.h"
#include "store/store.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_sink.h"
#include "tests/support/socat_pair.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::capture::selection;
using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::input;
using namespace tendrix::platform_api;
using namespace tendrix::settings;
using namespace tendrix::store;

namespace tendrix {
namespace {

using settings::ControlKind;

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        config.data_dir = dir.path();
        config.company_name = "测试商店";
        config.LoadSettings();
    }
    std::unique_ptr<CSystemSetDlg> Make() {
        SettingsContext ctx;
        ctx.config = &config;
        ctx.sink = &sink;
        ctx.message = [this](const QString& m) { messages.push_back(m.toStdString()); };
        ctx.choose_file = [this](const QString&, const QString&) { return chosen; };
        ctx.pick = [this](const std::string& key) { picked.push_back(key); };
        auto dlg = std::make_unique<CSystemSetDlg>(ctx);
        EXPECT_TRUE(dlg->Build());
        return dlg;
    }
    // The settings a restart loads from the database.
    Settings Restarted() const {
        AppConfig again;
        again.data_dir = dir.path();
        again.company_name = config.company_name;
        again.LoadSettings();
        return again.settings;
    }
    test::TempDir dir;
    AppConfig config;
    test::RecordingSink sink;
    std::vector<std::string> messages;
    std::vector<std::string> picked;
    QString chosen;
};

// A valid value different from the default, per key.
std::string OtherValue(const settings::ControlDescription& c, const std::string& current) {
    static const std::map<ControlKind, std::string> fixed = {
        {ControlKind::Step, "CTRL + V"},
        {ControlKind::EditChoice, "4800"},
        {ControlKind::Port, "COM9"},
        {ControlKind::PortPair, "COM9->COM10"},
        {ControlKind::Parallel, "LPT2"},
        {ControlKind::Rect, "top:10, left:20, right:300, bottom:60"},
        {ControlKind::Point, "x:33, y:44"},
        {ControlKind::MultiLine, "1：错收；\r\n2：重复；\r\n"}};
    if (c.kind == ControlKind::Switch) return current == "TRUE" ? "FALSE" : "TRUE";
    if (c.kind == ControlKind::Number) return std::to_string(c.min + 1);
    for (const auto& t : c.choices)  // choices and hotkeys: another offered text
        if ((c.kind == ControlKind::Choice || c.kind == ControlKind::Hotkey) && t != current &&
            !t.empty())
            return t;
    const auto f = fixed.find(c.kind);
    return f != fixed.end() ? f->second : "值 " + c.key;
}

// Every key has one control named after it on its page; each takes another valid value
// that survives the save and a restart.
TEST_F(SettingsWindowTest, EveryKeyRoundTripsThroughSaveAndARestart) {
    std::map<std::string, std::string> wanted;
    {
        auto dlg = Make();
        for (const auto& c : settings::Controls()) {
            auto found = dlg->findChildren<QWidget*>(QString::fromUtf8(c.key));
            ASSERT_EQ(found.size(), 1) << c.key;
            CSysSettingsPage* page = dlg->PageFor(c.key);
            ASSERT_NE(page, nullptr) << c.key;
            EXPECT_TRUE(page->isAncestorOf(found[0])) << c.key;
            wanted[c.key] = OtherValue(c, config.settings.Get(c.key));
            page->ShowValue(c.key, wanted[c.key]);
        }
        auto out = dlg->Save();
        ASSERT_TRUE(out.saved) << out.message;
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "保存成功,请重启软件生效！");
    }
    config.settings = Restarted();
    for (const auto& [key, value] : wanted) EXPECT_EQ(config.settings.Get(key), value) << key;
    auto dlg = Make();
    auto shown = dlg->CollectValues();
    for (const auto& [key, value] : wanted) EXPECT_EQ(shown[key], value) << key;
}

// A stored value that the page does not offer (a hotkey F13, a paper count of 12) is shown,
// kept as it is and does not stop the other values from being saved; changed to another
// value outside the list it is refused: its page is shown and nothing is stored.
TEST_F(SettingsWindowTest, StoredValueOutsideTheListIsKeptAndARefusedValueShowsItsPage) {
    {
        Store st(dir.path());
        ASSERT_TRUE(st.OpenSettings());
        st.SaveName(keys::sysShowHideHotKey, "F13");
        st.SaveName(keys::sysPinterPapeNum, "12");
    }
    config.LoadSettings();
    ASSERT_EQ(config.settings.Get(keys::sysShowHideHotKey), "F13");
    auto dlg = Make();
    auto* hotkey = dlg->findChild<QComboBox*>(keys::sysShowHideHotKey);
    EXPECT_EQ(hotkey->currentText(), "F13");
    dlg->findChild<QCheckBox*>(keys::sysAutoPrintBill)->setChecked(true);
    auto out = dlg->Save();
    ASSERT_TRUE(out.saved) << out.message;
    const Settings again = Restarted();
    EXPECT_EQ(again.Get(keys::sysAutoPrintBill), "TRUE");
    EXPECT_EQ(again.Get(keys::sysShowHideHotKey), "F13");
    EXPECT_EQ(again.Get(keys::sysPinterPapeNum), "12");

    hotkey->insertItem(0, "F14");
    hotkey->setCurrentIndex(0);
    dlg->findChild<QCheckBox*>(keys::sysAutoPrintBill)->setChecked(false);
    out = dlg->Save();
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.bad_key, keys::sysShowHideHotKey);
    EXPECT_TRUE(dlg->findChild<QTabWidget*>("tab_pages")->currentWidget()->isAncestorOf(hotkey));
    EXPECT_EQ(Restarted().Get(keys::sysAutoPrintBill), "TRUE");
}

// A platform address in clear on another machine is pointed out above the pages.
TEST_F(SettingsWindowTest, PlainHttpPlatformIsWarnedAbout) {
    config.api_base = "http://192.0.2.10:8080";
    auto dlg = Make();
    auto* warning = dlg->findChild<QLabel*>("lab_link_warning");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->text().toStdString(), PlainHttpWarning(config.api_base));
    config.api_base = "https://pay.example.com";
    EXPECT_EQ(Make()->findChild<QLabel*>("lab_link_warning"), nullptr);
}

TEST_F(SettingsWindowTest, AreaSwitchesAndPickButtons) {
    auto dlg = Make();
    auto* on = dlg->findChild<QCheckBox*>("chk_on_sysCutPicThemeMoney");
    ASSERT_TRUE(on);
    EXPECT_FALSE(on->isChecked());  // default "FALSE"
    dlg->findChild<QPushButton*>("btn_pick_sysCutPicThemeMoney")->click();
    EXPECT_TRUE(picked.empty());  // switched off: asked to switch on first
    EXPECT_FALSE(messages.empty());
    on->setChecked(true);
    EXPECT_EQ(dlg->CollectValues()[keys::sysCutPicThemeMoney], "TRUE");
    dlg->findChild<QPushButton*>("btn_pick_sysCutPicThemeMoney")->click();
    ASSERT_EQ(picked.size(), 1u);
    // The selection window could store: the map now holds the switch as "TRUE".
    EXPECT_EQ(config.settings.Get(keys::sysCutPicThemeMoney), "TRUE");
    dlg->findChild<QPushButton*>("btn_clear_sysGetMoneyFromHwnd")->click();
    EXPECT_EQ(dlg->CollectValues()[keys::sysGetMoneyFromHwnd], "无");
}

TEST_F(SettingsWindowTest, LogFileSampleAndTest) {
    auto dlg = Make();
    auto today = capture::TodayLocal();
    const std::string real = capture::FillDatePattern(dir / "pos-YYYYMMDD.log", today);
    std::ofstream(real) << "TOTAL 12.30\n";
    chosen = QString::fromStdString(real);
    dlg->findChild<QPushButton*>("btn_log_sample")->click();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), CSysBasicSetDlg::kLogSampleText);
    EXPECT_EQ(dlg->CollectValues()[keys::sysLogFileSet], real);
    dlg->PageFor(keys::sysLogFileSet)->ShowValue(keys::sysLogFileSet, dir / "pos-YYYYMMDD.log");
    dlg->findChild<QPushButton*>("btn_log_test")->click();
    EXPECT_EQ(messages.back(), CSysBasicSetDlg::kLogOpenedText);
    dlg->PageFor(keys::sysLogFileSet)->ShowValue(keys::sysLogFileSet, dir / "other-YYYY.log");
    dlg->findChild<QPushButton*>("btn_log_test")->click();
    EXPECT_NE(messages.back().find("日志文件打开失败"), std::string::npos);
}

TEST_F(SettingsWindowTest, ListeningTestReleasesThePortsAndShowsTheDisplayForm) {
    if (!test::SocatPair::Available()) GTEST_SKIP() << "socat missing";
    test::SocatPair pty(dir.path(), "pty");
    ASSERT_TRUE(pty.Ready());
    std::ofstream(dir / "ports.ini") << "COM5=" << pty.a() << "\n";
    config.environment.port_map = dir / "ports.ini";

    auto dlg = Make();
    dlg->PageFor(keys::sysVirtualComdRecvId)->ShowValue(keys::sysVirtualComdRecvId, "COM5->COM6");
    auto* button = dlg->findChild<QPushButton*>("btn_listen_test");
    button->click();
    ASSERT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(sink.Payloads(CheckoutCommand::PortControl),
              std::vector<std::string>{"CloseGetMoney"});
    EXPECT_EQ(button->text(), CSysBasicSetDlg::kStopListenText);
    std::ofstream(pty.b(), std::ios::binary) << "\x1bQA12.50\r";
    auto* out = dlg->findChild<QPlainTextEdit*>("edit_listen_result");
    EXPECT_TRUE(test::SpinUntil([&] { return out->toPlainText().contains("\\X0D"); }, 5000));
    EXPECT_EQ(out->toPlainText(), "\\X1BQA12.50\\X0D");
    button->click();
    EXPECT_EQ(sink.Payloads(CheckoutCommand::PortControl).back(), "OpenAllSet");
    EXPECT_EQ(button->text(), CSysBasicSetDlg::kStartListenText);

    // A port that does not exist: the message, and the sources are set up again.
    sink.Clear();
    dlg->PageFor(keys::sysVirtualComdRecvId)->ShowValue(keys::sysVirtualComdRecvId, "COM5->COM6");
    pty.Stop();
    button->click();
    EXPECT_FALSE(messages.empty());
    EXPECT_EQ(sink.Payloads(CheckoutCommand::PortControl),
              (std::vector<std::string>{"CloseGetMoney", "OpenAllSet"}));
}

TEST_F(SettingsWindowTest, PrinterPreviewAndTestPrint) {
    auto dlg = Make();
    auto* printer = qobject_cast<CSysPrinterSetDlg*>(dlg->PageFor(keys::sysPrinterPortWay));
    ASSERT_TRUE(printer);
    QImage plain = printer->Preview();
    EXPECT_EQ(plain.width(), 384);  // 58 mm paper
    printer->ShowValue(keys::sysPrinterPaperWide, "80");
    EXPECT_EQ(printer->Preview().width(), 576);
    // The order number as a barcode makes the printed receipt longer.
    printer->ShowValue(keys::sysIsPrintBarCodeOrderId, "TRUE");
    EXPECT_GT(printer->Preview().height(), plain.height());

    // Test print goes to the print service (command 7) only for saved settings.
    dlg->findChild<QPushButton*>("btn_test_print")->click();
    EXPECT_TRUE(sink.Payloads(CheckoutCommand::Print).empty());  // unsaved changes
    config.settings.Set(keys::sysPrinterPortWay, "串口");
    config.settings.Set(keys::sysPrinterComId, "COM3");
    config.settings.SaveAll();
    auto fresh = Make();
    fresh->findChild<QPushButton*>("btn_test_print")->click();
    const auto printed = sink.Payloads(CheckoutCommand::Print);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_NE(GbkToUtf8(printed[0]).find("打印测试"), std::string::npos);
    EXPECT_NE(printed[0].find("-------------"), std::string::npos);
}

TEST(ReceiptPreview, DrawsCentredTextAndRasterFromTheByteStream) {
    test::EnsureApp();
    // ESC a 1, "AB", LF: the ink sits around the middle of the paper.
    QImage img = settings::RenderEscPos(std::string("\x1b\x61\x01") + "ABCD\n", 58);
    int min_x = img.width(), max_x = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                min_x = std::min(min_x, x), max_x = std::max(max_x, x);
    ASSERT_GE(max_x, 0);
    EXPECT_NEAR((min_x + max_x) / 2, 192, 20);
    // ESC * 33: one stripe 24 dots high, 8 columns all black.
    std::string raster = std::string("\x1b\x2a\x21\x08\x00", 5) + std::string(24, '\xff') + "\n";
    QImage r = settings::RenderEscPos(raster, 58);
    EXPECT_LT(qGray(r.pixel(3, 12 + 10)), 128);
    // Garbage never crashes and stays bounded.
    std::string noise;
    for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>((i * 7919) & 0xFF));
    QImage n = settings::RenderEscPos(noise, 80);
    EXPECT_EQ(n.width(), 576);
    EXPECT_LE(n.height(), 20000);
}

// Frames for the camera page: a QR code of `text` (the receipt's raster) in a quiet zone.
class QrFrames : public FrameSource {
  public:
    QrFrames(std::string text, bool opens) : text_(std::move(text)), opens_(opens) {}
    bool Open() override { return opens_; }
    bool Read(CameraFrame& f) override {
        const printing::QrImage qr = printing::RasterQr(text_);
        const int side = qr.side + 48;
        f.width = f.height = side;
        f.channels = 1;
        f.pixels.assign(size_t(side) * side, 255);
        for (int i = 0; i < side * side; ++i)
            if (qr.Black(i % side - 24, i / side - 24)) f.pixels[i] = 0;
        return qr.side > 0;
    }

  private:
    std::string text_;
    bool opens_;
};

TEST_F(SettingsWindowTest, CameraPageToggleShowsDecodedCodes) {
    auto dlg = Make();
    auto* cam = dlg->findChild<CSysCameraSetDlg*>();
    ASSERT_TRUE(cam);
    cam->SetSourceFactory([] { return std::make_unique<QrFrames>("286012345678901234", true); });
    auto* button = dlg->findChild<QPushButton*>("btn_camera_test");
    button->click();
    EXPECT_EQ(button->text(), "关闭摄像头");
    auto* code = dlg->findChild<QLineEdit*>("edit_bar");
    EXPECT_TRUE(test::SpinUntil([&] { return code->text() == "286012345678901234"; }, 5000));
    auto* picture = dlg->findChild<QLabel*>("label_voide");
    EXPECT_TRUE(test::SpinUntil([&] { return !picture->pixmap().isNull(); }, 5000));
    button->click();
    EXPECT_EQ(button->text(), "测试摄像头");

    // A camera that cannot be opened: the message; the button keeps its text until pressed.
    cam->SetSourceFactory([] { return std::make_unique<QrFrames>("x", false); });
    button->click();
    EXPECT_TRUE(test::SpinUntil([&] { return !messages.empty(); }, 5000));
    EXPECT_EQ(messages.back(), "该摄像头可能被占用或者被禁用！");
    EXPECT_EQ(button->text(), "关闭摄像头");
    button->click();
    EXPECT_EQ(button->text(), "测试摄像头");
}

// Tray actions open each window once at a time: a second request while it runs only raises
// it, and the window can be opened again after it closed.
void HideAll(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name) w->hide();
}

TEST_F(SettingsWindowTest, LaunchedWindowsOpenOnlyOnceAtATime) {
    SettingsContext ctx;
    ctx.config = &config;
    ctx.message = [](const QString&) {};

    bool second = true;
    int windows_seen = 0;
    QTimer::singleShot(50, [&] {
        second = RunCaptureDlg(config.settings);  // returns at once
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == CCaptureDlg::kWindowName) ++windows_seen;
        HideAll(CCaptureDlg::kWindowName);
    });
    EXPECT_TRUE(LaunchSettingsWindow("focus-capture", ctx));
    EXPECT_FALSE(second);
    EXPECT_EQ(windows_seen, 1);

    // Closed: it opens again; the settings window likewise.
    QTimer::singleShot(50, [] { HideAll(CCaptureDlg::kWindowName); });
    EXPECT_TRUE(RunCaptureDlg(config.settings));
    bool settings_second = true;
    QTimer::singleShot(50, [&] {
        settings_second = RunSystemSetDlg(ctx);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "SystemSetDlg") w->close();
    });
    EXPECT_TRUE(LaunchSettingsWindow("settings", ctx));
    EXPECT_FALSE(settings_second);
    EXPECT_FALSE(LaunchSettingsWindow("about", ctx));
}

}  // namespace
}  // namespace tendrix
