#include "settings/settings_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstdio>
#include <fstream>

#include "capture/amount_filter.h"
#include "capture/log_tail.h"
#include "capture/selection/selection_geometry.h"
#include "capture/serial_port.h"
#include "common/port_map.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "input/camera_worker.h"
#include "printing/escpos.h"
#include "printing/print_service.h"
#include "printing/print_setup.h"
#include "printing/printer_port.h"
#include "printing/receipt_printer.h"
#include "settings/printer_names.h"
#include "settings/receipt_preview.h"
#include "store/settings.h"
#include "store/settings_keys.h"

namespace tendrix::settings {

using settings::ControlDescription;
using settings::ControlKind;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

std::string PortMapFile(const SettingsContext& ctx) {
    return ctx.config ? ctx.config->PortMapFile() : "";
}

// "\r\n" in the stored text, "\n" in the editor.
QString ToEditor(const std::string& v) {
    QString t = Q(v);
    t.replace("\r\n", "\n");
    return t;
}
std::string FromEditor(const QString& t) {
    QString v = t;
    v.replace("\r\n", "\n");
    v.replace("\n", "\r\n");
    return S(v);
}

std::vector<std::string> ComboTexts(const ControlDescription& description,
                                    const std::string& current, const std::string& port_map_file) {
    std::vector<std::string> offered;
    switch (description.kind) {
        case ControlKind::Port:
            offered = settings::SerialPortChoices(port_map_file);
            break;
        case ControlKind::PortPair:
            offered = settings::PortPairChoices(settings::SerialPortChoices(port_map_file));
            break;
        case ControlKind::Parallel:
            offered = settings::ParallelPortChoices(port_map_file);
            break;
        case ControlKind::Printer:
            offered = settings::PrinterNames();
            offered.insert(offered.begin(), store::keys::kNone);
            break;
        default:
            offered = description.choices;
    }
    ControlDescription tmp;
    tmp.choices = offered;
    return settings::OfferedTexts(tmp, current);
}

}  // namespace

// ---- CSysSettingsPage ----

CSysSettingsPage::CSysSettingsPage(settings::PageId id, QWidget* parent)
    : ui::Page(settings::Page(id).class_name + 1, settings::Page(id).layout, parent), id_(id) {}

CSysSettingsPage::~CSysSettingsPage() = default;

void CSysSettingsPage::Message(const QString& text) const {
    if (ctx_.message) ctx_.message(text);
}

void CSysSettingsPage::LoadValues(const store::Settings& s) {
    for (const ControlDescription* description : settings::ControlsOf(id_))
        ShowValue(description->key, s.Get(description->key));
}

void CSysSettingsPage::ShowValue(const std::string& key, const std::string& value) {
    const ControlDescription* description = settings::FindControl(key);
    if (!description || description->page != id_) return;
    QWidget* w = FindControl<QWidget>(Q(key));
    if (!w) return;
    if (auto* c = qobject_cast<QCheckBox*>(w)) {
        c->setChecked(value == store::keys::kTrue);
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        box->clear();
        for (const auto& t : ComboTexts(*description, value, PortMapFile(ctx_))) {
            box->addItem(Q(t));
            std::string meaning = settings::KeyMeaning(t);
            if (!meaning.empty() && (description->kind == ControlKind::Hotkey ||
                                     description->kind == ControlKind::Step))
                box->setItemData(box->count() - 1, Q(meaning), Qt::ToolTipRole);
        }
        box->setCurrentIndex(box->findText(Q(value)));
        if (box->isEditable()) box->setEditText(Q(value));
    } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
        e->setPlainText(ToEditor(value));
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (description->kind == ControlKind::Rect && description->switchable) {
            // The switch shows on/off; the field only a chosen rectangle.
            if (auto* on = FindControl<QCheckBox>(Q("chk_on_" + key)))
                on->setChecked(value != store::keys::kFalse);
            e->setText(capture::selection::ParseRect(value) ? Q(value) : QString());
            e->setPlaceholderText("未选取");
        } else {
            e->setText(Q(value));
        }
    }
}

std::string CSysSettingsPage::ValueOf(const std::string& key) const {
    const ControlDescription* description = settings::FindControl(key);
    if (!description || description->page != id_) return "";
    QWidget* w = FindControl<QWidget>(Q(key));
    if (!w) return "";
    if (auto* c = qobject_cast<QCheckBox*>(w))
        return c->isChecked() ? store::keys::kTrue : store::keys::kFalse;
    if (auto* box = qobject_cast<QComboBox*>(w)) return S(box->currentText().trimmed());
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return FromEditor(e->toPlainText());
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        std::string text = S(e->text().trimmed());
        if (description->kind == ControlKind::Rect && description->switchable) {
            auto* on = FindControl<QCheckBox>(Q("chk_on_" + key));
            if (on && !on->isChecked()) return store::keys::kFalse;
            return text.empty() ? store::keys::kTrue : text;
        }
        if (description->kind == ControlKind::Point && text.empty()) return store::keys::kNone;
        return text;
    }
    return "";
}

void CSysSettingsPage::CollectValues(std::map<std::string, std::string>& values) const {
    for (const ControlDescription* description : settings::ControlsOf(id_))
        values[description->key] = ValueOf(description->key);
}

void CSysSettingsPage::Notify(const ui::Notification& msg) {
    if (msg.type != ui::kClick) return;
    const std::string name = S(msg.name());
    auto suffix = [&](const char* prefix) {
        return name.rfind(prefix, 0) == 0 ? name.substr(std::strlen(prefix)) : std::string();
    };
    if (std::string key = suffix("btn_pick_"); !key.empty()) {
        if (!ctx_.pick || !ctx_.config) return Message("选取窗口不可用！");
        // The selection window stores through the settings map: give it the page's switch.
        store::Settings& s = ctx_.config->settings;
        const std::string before = ValueOf(key);
        if (key == store::keys::sysPrintMoneyFocusPos) {
            std::string program = ValueOf(store::keys::sysPrintMoneyProgram);
            if (!program.empty()) s.Set(store::keys::sysPrintMoneyProgram, program);
        } else if (before == store::keys::kFalse) {
            return Message("请先勾选“开启”再选取！");
        } else if (!capture::selection::ParseRect(s.Get(key)) &&
                   !capture::selection::ParsePoint(s.Get(key))) {
            s.Set(key, before);
        }
        ctx_.pick(key);
        ShowValue(key, s.Get(key));
    } else if (std::string key = suffix("btn_clear_"); !key.empty()) {
        ShowValue(key, store::keys::kNone);
    } else if (std::string key = suffix("btn_browse_"); !key.empty()) {
        if (!ctx_.choose_file) return;
        QString path = ctx_.choose_file("选择文件", Q(ValueOf(key)));
        if (!path.isEmpty()) ShowValue(key, S(path));
    }
}

// ---- CSysBasicSetDlg ----

namespace {
// Receives the listening port's chunks on its reader thread and hands copies to the page.
class ListenSink : public common::CommandSink {
  public:
    explicit ListenSink(CSysBasicSetDlg* page) : page_(page) {}
    void SendCommand(common::CheckoutCommand cmd, std::string payload) override {
        PostCommand(cmd, std::move(payload));
    }
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override {
        if (cmd != common::CheckoutCommand::DisplayData) return;
        QPointer<CSysBasicSetDlg> page = page_;
        QMetaObject::invokeMethod(
            page_,
            [page, bytes = std::move(payload)] {
                if (page) page->OnListenBytes(bytes);
            },
            Qt::QueuedConnection);
    }

  private:
    CSysBasicSetDlg* page_;
};
}  // namespace

CSysBasicSetDlg::CSysBasicSetDlg(QWidget* parent)
    : CSysSettingsPage(settings::PageId::Basic, parent) {}

CSysBasicSetDlg::~CSysBasicSetDlg() {
    StopListening();
}

void CSysBasicSetDlg::Notify(const ui::Notification& msg) {
    CSysSettingsPage::Notify(msg);
    if (msg.type != ui::kClick) return;
    if (msg.name() == "btn_listen_test") {
        if (Listening())
            StopListening();
        else
            StartListening();
    } else if (msg.name() == "btn_log_sample") {
        if (!ctx_.choose_file) return;
        QString path = ctx_.choose_file("选择日志样例", Q(ValueOf(store::keys::sysLogFileSet)));
        if (path.isEmpty()) return;
        ShowValue(store::keys::sysLogFileSet, S(path));
        Message(kLogSampleText);
    } else if (msg.name() == "btn_log_test") {
        TestLogFile();
    }
}

void CSysBasicSetDlg::StartListening() {
    const std::string value = ValueOf(store::keys::sysVirtualComdRecvId);
    int number = 0;
    if (value.rfind("COM", 0) != 0 || std::sscanf(value.c_str(), "COM%d", &number) != 1 ||
        number <= 0)
        return Message("请先选择监听端口！");
    // The capture sources hold the ports: release them for the test.
    if (ctx_.sink) ctx_.sink->SendCommand(common::CheckoutCommand::PortControl, "CloseGetMoney");
    auto port = std::make_unique<capture::SerialPort>(capture::SerialPort::Variant::Display,
                                                      common::PortMap(PortMapFile(ctx_)));
    if (!port->Open(number, 9600)) {
        const std::string error = port->Error();
        if (ctx_.sink) ctx_.sink->SendCommand(common::CheckoutCommand::PortControl, "OpenAllSet");
        return Message(Q("监听端口打开失败：COM" + std::to_string(number) + " " + error));
    }
    listen_sink_ = std::make_unique<ListenSink>(this);
    port->SetTarget(listen_sink_.get(), common::CheckoutCommand::DisplayData);
    port->StartReader();
    port_ = std::move(port);
    if (auto* b = FindControl<QPushButton>("btn_listen_test")) b->setText(kStopListenText);
    if (auto* e = FindControl<QPlainTextEdit>("edit_listen_result")) e->clear();
}

void CSysBasicSetDlg::StopListening() {
    if (!port_) return;
    port_->Close();
    port_.reset();
    listen_sink_.reset();
    if (ctx_.sink) ctx_.sink->SendCommand(common::CheckoutCommand::PortControl, "OpenAllSet");
    if (auto* b = FindControl<QPushButton>("btn_listen_test")) b->setText(kStartListenText);
}

void CSysBasicSetDlg::OnListenBytes(const std::string& bytes) {
    auto* e = FindControl<QPlainTextEdit>("edit_listen_result");
    if (!e) return;
    e->moveCursor(QTextCursor::End);
    e->insertPlainText(Q(capture::DisplayForm(bytes)));
    // Keep the box from growing without end while a display keeps sending.
    if (e->document()->characterCount() > 20000) {
        QString t = e->toPlainText();
        e->setPlainText(t.right(10000));
    }
}

void CSysBasicSetDlg::TestLogFile() {
    const std::string pattern = ValueOf(store::keys::sysLogFileSet);
    if (pattern.empty() || pattern == store::keys::kNone) return Message("请先选择日志文件！");
    const std::string path = capture::FillDatePattern(pattern, capture::TodayLocal());
    std::ifstream f(path, std::ios::binary);
    if (!f) return Message(Q("日志文件打开失败，请检查路径：" + path));
    Message(kLogOpenedText);
}

// ---- CSysPrinterSetDlg ----

namespace {
const char* const kPrinterKeys[] = {store::keys::sysPrinterPortWay,
                                    store::keys::sysPrinterComId,
                                    store::keys::sysPrinterComBaudRate,
                                    store::keys::sysPrinterParallerPortId,
                                    store::keys::sysPrinterDriverName,
                                    store::keys::sysPrinterNetIp,
                                    store::keys::sysPinterPapeNum,
                                    store::keys::sysPrinterLastLineNum,
                                    store::keys::sysIsPrintBarCodeOrderId,
                                    store::keys::sysIsPrintQRBarCodeOrderId,
                                    store::keys::sysIsPrQRCodeOrderId,
                                    store::keys::sysBillFirstMsg,
                                    store::keys::sysOneShopSay,
                                    store::keys::sysTwoShopSay,
                                    store::keys::sysPrintBillPath};
}  // namespace

CSysPrinterSetDlg::CSysPrinterSetDlg(QWidget* parent)
    : CSysSettingsPage(settings::PageId::Printer, parent) {}

void CSysPrinterSetDlg::LoadValues(const store::Settings& s) {
    CSysSettingsPage::LoadValues(s);
    saved_.clear();
    for (const char* k : kPrinterKeys) saved_[k] = s.Get(k);
}

void CSysPrinterSetDlg::Notify(const ui::Notification& msg) {
    CSysSettingsPage::Notify(msg);
    if (msg.type != ui::kClick) return;
    if (msg.name() == "btn_test_print") TestPrint();
    if (msg.name() == "btn_preview") ShowPreview();
}

std::string CSysPrinterSetDlg::TestReceipt() const {
    std::string title = ValueOf(store::keys::sysBillFirstMsg);
    std::string r;
    r += title + "\r\n";
    r += "打印测试\r\n";
    r += "收银员：" + std::string(ctx_.config ? ctx_.config->cashier_name : "") + "\r\n";
    r += "订单号：20240101120000000001\r\n";
    r += "支付方式：支付宝\r\n";
    r += "金额：12.50\r\n";
    r += "大写：壹拾贰圆伍角\r\n";
    r += "-------------------------------\r\n";
    return r;
}

QImage CSysPrinterSetDlg::Preview() const {
    printing::MemoryPort port;
    printing::ReceiptOptions options;
    options.copies = 1;  // one copy is enough to see the layout
    options.blank_lines = printing::DecimalByte(ValueOf(store::keys::sysPrinterLastLineNum));
    // Same order as the print setup: a later switch overrides an earlier one.
    store::Settings probe;
    for (const char* k :
         {store::keys::sysIsPrintBarCodeOrderId, store::keys::sysIsPrintQRBarCodeOrderId,
          store::keys::sysIsPrQRCodeOrderId})
        probe.Set(k, ValueOf(k));
    options.code_mode = std::atoi(printing::CodeModeFromSettings(probe).c_str());
    options.sayings[0] = common::Utf8ToGbk(ValueOf(store::keys::sysOneShopSay));
    options.sayings[1] = common::Utf8ToGbk(ValueOf(store::keys::sysTwoShopSay));
    options.title = common::Utf8ToGbk(ValueOf(store::keys::sysBillFirstMsg));
    const std::string prefix =
        ctx_.config ? printing::MakeQrPrefix(ctx_.config->invoice_url, ctx_.config->merchant_id)
                    : "";
    printing::PrintReceipt(port, common::Utf8ToGbk(TestReceipt()), prefix, options);
    int paper = std::atoi(ValueOf(store::keys::sysPrinterPaperWide).c_str());
    return settings::RenderEscPos(port.bytes(), paper > 0 ? paper : 58);
}

void CSysPrinterSetDlg::ShowPreview() {
    QImage img = Preview();
    auto* dlg = new QDialog(window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle("小票预览");
    auto* layout = new QVBoxLayout(dlg);
    auto* scroll = new QScrollArea(dlg);
    auto* label = new QLabel;
    label->setObjectName("lab_preview");
    label->setPixmap(QPixmap::fromImage(img));
    scroll->setWidget(label);
    scroll->setAlignment(Qt::AlignHCenter);
    layout->addWidget(scroll);
    dlg->resize(img.width() + 60, std::min(img.height() + 60, 640));
    dlg->show();
}

void CSysPrinterSetDlg::TestPrint() {
    for (const char* k : kPrinterKeys)
        if (ValueOf(k) != saved_[k] && !(ValueOf(k).empty()))
            return Message("打印设置已修改，请先保存并重启软件后再测试打印！");
    if (ValueOf(store::keys::sysPrinterPortWay) == store::keys::kNone)
        return Message("未设置打印机连接方式！");
    if (!ctx_.sink) return Message("打印服务不可用！");
    ctx_.sink->SendCommand(common::CheckoutCommand::Print, common::Utf8ToGbk(TestReceipt()));
    Message("测试小票已交给打印服务！");
}

// ---- CSysHelpSetDlg ----

CSysHelpSetDlg::CSysHelpSetDlg(QWidget* parent)
    : CSysSettingsPage(settings::PageId::Help, parent) {}

void CSysHelpSetDlg::LoadValues(const store::Settings&) {
    if (!ctx_.config) return;
    const context::AppConfig& c = *ctx_.config;
    auto set = [this](const char* name, const std::string& text) {
        if (auto* l = FindControl<QLabel>(name)) l->setText(Q(text.empty() ? "—" : text));
    };
    auto link = [this](const char* name, const std::string& host) {
        auto* l = FindControl<QLabel>(name);
        if (!l) return;
        if (host.empty()) return l->setText("—");
        const QString url = Q(host.find("://") == std::string::npos ? "http://" + host : host);
        l->setText(
            QString("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), Q(host).toHtmlEscaped()));
    };
    set("lab_soft_name", c.soft_name);
    set("lab_company_name", c.company_name);
    set("lab_cmp_add", c.cmp_add);
    set("lab_pone_help", c.pone_help);
    link("lab_cmp_net", c.cmp_net);
    link("lab_check_net", c.check_net);
    set("lab_data_dir", c.data_dir);
}

// ---- CSysCameraSetDlg ----

class CSysCameraSetDlg::Sink : public input::CameraSink {
  public:
    explicit Sink(CSysCameraSetDlg* page) : page_(page) {}
    // Worker thread: hand copies to the page's thread.
    void OnCameraMessage(unsigned message, const std::string& code, int lparam) override {
        if (message != input::kCameraCodeMessage || lparam != input::kCameraCodeToCameraPage)
            return;
        QPointer<CSysCameraSetDlg> page = page_;
        QMetaObject::invokeMethod(
            page_,
            [page, code] {
                if (page) page->OnCameraCode(code);
            },
            Qt::QueuedConnection);
    }
    void OnPreviewFrame(input::CameraFrame frame) override {
        if (frame.width <= 0 || frame.height <= 0) return;
        const size_t need = size_t(frame.width) * frame.height * frame.channels;
        if (frame.pixels.size() < need) return;
        QImage img;
        if (frame.channels == 1)
            img = QImage(frame.pixels.data(), frame.width, frame.height, frame.width,
                         QImage::Format_Grayscale8)
                      .copy();
        else if (frame.channels == 3)
            img = QImage(frame.pixels.data(), frame.width, frame.height, frame.width * 3,
                         QImage::Format_BGR888)
                      .copy();
        else if (frame.channels == 4)
            img = QImage(frame.pixels.data(), frame.width, frame.height, frame.width * 4,
                         QImage::Format_ARGB32)
                      .copy();
        else
            return;
        QPointer<CSysCameraSetDlg> page = page_;
        QMetaObject::invokeMethod(
            page_,
            [page, img] {
                if (page) page->OnFrame(img);
            },
            Qt::QueuedConnection);
    }
    void OnCameraFailed(const std::string& text) override {
        QPointer<CSysCameraSetDlg> page = page_;
        QMetaObject::invokeMethod(
            page_,
            [page, text] {
                if (page) page->Message(QString::fromStdString(text));
            },
            Qt::QueuedConnection);
    }

  private:
    CSysCameraSetDlg* page_;
};

CSysCameraSetDlg::CSysCameraSetDlg(QWidget* parent)
    : CSysSettingsPage(settings::PageId::Camera, parent), sink_(std::make_unique<Sink>(this)) {
    factory_ = [] { return input::CreateCameraSource(0); };
}

CSysCameraSetDlg::~CSysCameraSetDlg() {
    // Workers end (and are joined) before the page they post to goes away.
    toggle_.reset();
}

void CSysCameraSetDlg::SetSourceFactory(SourceFactory factory) {
    factory_ = std::move(factory);
    toggle_.reset();
}

bool CSysCameraSetDlg::Running() const {
    return toggle_ && toggle_->Running();
}

void CSysCameraSetDlg::Notify(const ui::Notification& msg) {
    if (!msg.Is(ui::kClick, "btn_camera_test")) return;
    auto* b = FindControl<QPushButton>("btn_camera_test");
    if (!b) return;
    if (!toggle_) toggle_ = std::make_unique<input::CameraToggle>(sink_.get(), factory_);
    b->setText(Q(toggle_->Press(S(b->text()))));
}

void CSysCameraSetDlg::Stop() {
    if (!toggle_ || !toggle_->Running()) return;
    if (auto* b = FindControl<QPushButton>("btn_camera_test"))
        b->setText(Q(toggle_->Press(input::kCameraStopText)));
}

void CSysCameraSetDlg::OnCameraCode(const std::string& code) {
    if (auto* e = FindControl<QLineEdit>("edit_bar"))
        e->setText(QString::fromUtf8(code.data(), int(code.size())));
}

void CSysCameraSetDlg::OnFrame(const QImage& frame) {
    auto* l = FindControl<QLabel>("label_voide");
    if (!l || !Running()) return;
    l->setPixmap(
        QPixmap::fromImage(frame.scaled(l->size(), Qt::KeepAspectRatio, Qt::FastTransformation)));
}

// ---- factory ----

CSysSettingsPage* CreateSettingsPage(const QString& class_name, QWidget* parent) {
    using settings::PageId;
    if (class_name == "SysBasicSetDlg") return new CSysBasicSetDlg(parent);
    if (class_name == "SysPrinterSetDlg") return new CSysPrinterSetDlg(parent);
    if (class_name == "SysHelpSetDlg") return new CSysHelpSetDlg(parent);
    if (class_name == "SysCameraSetDlg") return new CSysCameraSetDlg(parent);
    for (const auto& p : settings::Pages())
        if (class_name == p.class_name + 1) return new CSysSettingsPage(p.id, parent);
    return nullptr;
}

}  // namespace tendrix::settings
