#include "capture/selection/capture_dlg.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "capture/capture_config.h"
#include "capture/capture_worker.h"
#include "capture/ocr_plugin.h"
#include "capture/selection/modal_run.h"
#include "desktop/desktop_services.h"
#include "store/settings.h"
#include "ui/background_call.h"
#include "ui/message_box.h"

namespace tendrix::capture::selection {
namespace {

using selection::CaptureSelection;
using selection::HwndPointPicker;

constexpr Qt::WindowFlags kOverlayFlags =
    Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
constexpr double kDimOpacity = 155.0 / 255.0;

QRect ToQt(const desktop::ScreenRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

desktop::ScreenRect ScreenGeometry() {
    QScreen* s = QGuiApplication::primaryScreen();
    QRect g = s ? s->geometry() : QRect(0, 0, 1366, 768);
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

// The screen as it was before the dimmed window covered it, for the recognition preview: the
// capture reads its rectangle from this picture; nothing else is answered.
class FrozenScreen final : public desktop::DesktopServices {
  public:
    explicit FrozenScreen(std::shared_ptr<const desktop::ScreenImage> image)
        : image_(std::move(image)) {}
    desktop::ScreenImage CaptureRect(const desktop::ScreenRect& r) override {
        const desktop::ScreenImage& src = *image_;
        const desktop::ScreenRect c{std::max(r.left, 0), std::max(r.top, 0),
                                    std::min(r.right, src.width), std::min(r.bottom, src.height)};
        desktop::ScreenImage out;
        if (c.empty()) return out;
        out.width = c.width();
        out.height = c.height();
        out.bgra.resize(static_cast<size_t>(out.width) * out.height * 4);
        for (int y = 0; y < out.height; ++y)
            std::copy_n(&src.bgra[(static_cast<size_t>(c.top + y) * src.width + c.left) * 4],
                        static_cast<size_t>(out.width) * 4,
                        &out.bgra[static_cast<size_t>(y) * out.width * 4]);
        return out;
    }
    desktop::ScreenPoint CursorPos() override { return {}; }
    void MoveCursor(desktop::ScreenPoint) override {}
    void MouseDown(desktop::MouseButton) override {}
    void MouseUp(desktop::MouseButton) override {}
    void KeyDown(int) override {}
    void KeyUp(int) override {}
    void TypeText(const std::string&) override {}
    desktop::WindowId WindowAt(desktop::ScreenPoint) override { return 0; }
    std::string WindowText(desktop::WindowId) override { return {}; }
    desktop::ScreenRect WindowRect(desktop::WindowId) override { return {}; }
    desktop::WindowId ForegroundWindow() override { return 0; }
    void BringToForeground(desktop::WindowId) override {}
    bool RegisterHotKey(const std::string&, unsigned, int, std::function<void()>) override {
        return false;
    }
    void UnregisterHotKey(const std::string&) override {}
    void ProcessEvents() override {}
    desktop::ScreenRect ScreenSize() override { return {0, 0, image_->width, image_->height}; }
    desktop::ScreenRect WorkArea() override { return ScreenSize(); }

  private:
    std::shared_ptr<const desktop::ScreenImage> image_;
};

// What the preview shows for a recognised amount text.
QString PreviewText(const std::string& amount, bool plugin_ready) {
    if (!plugin_ready) return "识别预览：识别插件未就绪";
    return amount.empty() ? QString("识别预览：未识别到金额")
                          : QString("识别预览：%1").arg(QString::fromStdString(amount));
}

// Children let presses through, so the window's own hit tests decide.
void PassMouseThrough(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>())
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace

// ---- CCaptureDlg ----

// The rectangle window takes the keyboard focus (Enter and Escape reach it); the pointer
// picker never does, so the program it frames keeps its focus.
CCaptureDlg::CCaptureDlg(store::Settings& settings, desktop::DesktopServices* desktop,
                         QWidget* parent, const std::string& plugin_dir)
    : ui::Window(kWindowName, "CaptureDesktopDlg.xml", parent,
                 kOverlayFlags & ~Qt::WindowDoesNotAcceptFocus),
      settings_(settings),
      desktop_(desktop),
      plugin_dir_(capture::PluginDirectory(plugin_dir)) {
    setWindowTitle(kWindowName);
    setWindowOpacity(kDimOpacity);
    setFocusPolicy(Qt::StrongFocus);
    message_ = [this](const QString& t) { ui::ShowMessage(this, t); };
}

CCaptureDlg::~CCaptureDlg() {
    if (hotkey_ && desktop_) desktop_->UnregisterHotKey(kEscapeAtom);
}

bool CCaptureDlg::Build() {
    if (!ui::Window::Build()) return false;
    desktop::ScreenRect screen = ScreenGeometry();
    setGeometry(ToQt(screen));
    logic_ = std::make_unique<CaptureSelection>(settings_, screen);
    for (int b = 0; b < CaptureSelection::kButtonCount; ++b) {
        auto button = static_cast<CaptureSelection::Button>(b);
        if (auto* w = FindControl<QPushButton>(CaptureSelection::ButtonName(button))) {
            QSize hint = w->sizeHint();
            logic_->SetButtonSize(button, std::max(hint.width() + 24, 80),
                                  std::max(hint.height() + 8, 32));
        }
    }
    PassMouseThrough(Root());
    setMouseTracking(true);
    // The picture the preview reads, taken before this window dims the screen.
    if (desktop_) {
        auto shot = std::make_shared<desktop::ScreenImage>(desktop_->CaptureRect(screen));
        if (!shot->empty()) snapshot_ = std::move(shot);
    }
    if (desktop_) {
        hotkey_ =
            desktop_->RegisterHotKey(kEscapeAtom, 0, desktop::vk::kEscape, [this] { hide(); });
        // Hotkey presses are delivered when the desktop's events are processed.
        auto* pump = new QTimer(this);
        connect(pump, &QTimer::timeout, this, [this] { desktop_->ProcessEvents(); });
        pump->start(50);
    }
    Sync();
    return true;
}

void CCaptureDlg::Apply(const selection::SelectionEffect& e) {
    if (!e.message.empty() && message_) {
        setProperty("waiting", true);
        message_(QString::fromStdString(e.message));
        setProperty("waiting", false);
    }
    if (!e.saved_key.empty())
        if (auto* help = FindControl<QLabel>("lab_help"))
            help->setText(QString("已保存 %1：%2")
                              .arg(QString::fromStdString(e.saved_key),
                                   QString::fromStdString(e.saved_value)));
    if (e.close) hide();
}

void CCaptureDlg::PressLeft(QPoint p) {
    for (const auto& e : logic_->LeftDown({p.x(), p.y()})) Apply(e);
    Sync();
}

void CCaptureDlg::MovePointer(QPoint p) {
    logic_->MouseMove({p.x(), p.y()});
    Sync();
    RequestPreview();
}

void CCaptureDlg::ReleaseLeft(QPoint p) {
    logic_->LeftUp({p.x(), p.y()});
    Sync();
    RequestPreview();
}

void CCaptureDlg::RequestPreview() {
    const desktop::ScreenRect rect = logic_->caption();
    if (!snapshot_ || preview_pending_ || rect == preview_rect_ || rect.width() < 4 ||
        rect.height() < 4)
        return;
    // Recognition takes tens of milliseconds (the engine's first load far more): it runs in the
    // background, one picture at a time; when it ends, the newest rectangle is read next.
    preview_pending_ = true;
    preview_rect_ = rect;
    if (!plugin_) plugin_ = std::make_shared<capture::OcrPlugin>();
    auto plugin = plugin_;
    auto snapshot = snapshot_;
    const std::string plugin_dir = plugin_dir_;
    struct Preview {
        std::string amount;
        bool ready = false;
    };
    ui::RunInBackground<Preview>(
        this,
        [plugin, snapshot, rect, plugin_dir] {
            Preview out;
            if (plugin->status() == capture::OcrPlugin::Status::NotLoaded) plugin->Load(plugin_dir);
            out.ready = plugin->status() == capture::OcrPlugin::Status::Ready;
            if (!out.ready) return out;
            capture::CaptureConfig config;
            config.mode = capture::CaptureConfig::Mode::Rectangle;
            config.rect = rect;
            FrozenScreen screen(snapshot);
            out.amount = capture::CaptureOnce(config, &screen, plugin.get());
            return out;
        },
        [this](Preview p) {
            preview_pending_ = false;
            preview_ = PreviewText(p.amount, p.ready);
            if (auto* help = FindControl<QLabel>("lab_help")) help->setText(preview_);
            if (p.ready) RequestPreview();
        });
}

void CCaptureDlg::Sync() {
    if (!logic_) return;
    if (auto* cap = FindControl<QLabel>("caption_title")) {
        cap->setGeometry(QRect(mapFromGlobal(ToQt(logic_->caption()).topLeft()),
                               ToQt(logic_->caption()).size()));
        cap->setVisible(!logic_->caption().empty());
    }
    for (int b = 0; b < CaptureSelection::kButtonCount; ++b) {
        auto button = static_cast<CaptureSelection::Button>(b);
        if (auto* w = FindControl<QPushButton>(CaptureSelection::ButtonName(button))) {
            QRect r = ToQt(logic_->ButtonRect(button));
            w->setGeometry(QRect(mapFromGlobal(r.topLeft()), r.size()));
            w->setVisible(logic_->buttons_visible());
        }
    }
}

void CCaptureDlg::showEvent(QShowEvent* e) {
    ui::Window::showEvent(e);
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

void CCaptureDlg::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) return hide();
    if (e->button() == Qt::LeftButton) PressLeft(e->globalPosition().toPoint());
}

void CCaptureDlg::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) MovePointer(e->globalPosition().toPoint());
}

void CCaptureDlg::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) ReleaseLeft(e->globalPosition().toPoint());
}

void CCaptureDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) return Apply(logic_->Escape());
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return Apply(logic_->Enter());
    ui::Window::keyPressEvent(e);
}

// ---- CCaptureDlgByHwnd ----

CCaptureDlgByHwnd::CCaptureDlgByHwnd(store::Settings& settings, desktop::DesktopServices& desktop,
                                     QWidget* parent)
    : ui::Window(kWindowName, "CaptureByHwndDlg.xml", parent,
                 kOverlayFlags | Qt::X11BypassWindowManagerHint),
      settings_(settings),
      desktop_(desktop) {
    setWindowTitle(kWindowName);
    setWindowOpacity(kDimOpacity);
    message_ = [this](const QString& t) { ui::ShowMessage(this, t); };
}

CCaptureDlgByHwnd::~CCaptureDlgByHwnd() {
    if (hotkey_) desktop_.UnregisterHotKey(CCaptureDlg::kEscapeAtom);
    // A text read still running uses the desktop, which the caller only keeps alive while this
    // window exists: let it end (a read gives up after its time-out).
    QElapsedTimer waited;
    waited.start();
    while (*text_job_running_ && waited.elapsed() < 2000) QThread::msleep(5);
}

bool CCaptureDlgByHwnd::Build() {
    if (!ui::Window::Build()) return false;
    logic_ = std::make_unique<HwndPointPicker>(settings_, desktop_);
    PassMouseThrough(Root());
    hotkey_ = desktop_.RegisterHotKey(CCaptureDlg::kEscapeAtom, 0, desktop::vk::kEscape, [this] {
        setProperty("waiting", false);
        hide();
    });
    return true;
}

void CCaptureDlgByHwnd::Notify(const ui::Notification& msg) {
    if (msg.type == ui::kWindowInit) {
        logic_->SetSelfWindow(static_cast<desktop::WindowId>(winId()));
        if (auto* b = FindControl<QWidget>("btn_save_catch"))
            SetTimer(b, HwndPointPicker::kTimerId, HwndPointPicker::kTimerMs);
        if (auto* l = FindControl<QWidget>("lab_capture")) l->hide();
        // Hidden until the first tick has found a window (kept "waiting" so the run loop stays).
        setProperty("waiting", true);
        QTimer::singleShot(0, this, [this] { hide(); });
    } else if (msg.type == ui::kTimer && msg.timer_id == HwndPointPicker::kTimerId) {
        Tick();
    } else if (msg.Is(ui::kClick, "btn_cancel")) {
        setProperty("waiting", false);
        hide();
    }
}

void CCaptureDlgByHwnd::Tick() {
    desktop_.ProcessEvents();
    if (!property("waiting").toBool() && !isVisible()) return;  // closed
    if (logic_->Tick()) Sync();
    RequestText();
}

void CCaptureDlgByHwnd::RequestText() {
    if (!logic_->visible() || text_pending_) return;
    const desktop::ScreenPoint point = logic_->ChosenPoint();
    const desktop::WindowId window = logic_->target_window();
    if (point == text_point_ && window == text_window_) return;
    // The program under the point may take up to the read's time-out to answer: ask away from
    // the window thread, one question at a time; the next tick asks for the newest place.
    text_pending_ = true;
    text_point_ = point;
    text_window_ = window;
    desktop::DesktopServices* desktop = &desktop_;
    auto running = text_job_running_;
    *running = true;
    ui::RunInBackground<desktop::PointText>(
        this,
        [desktop, window, point, running] {
            desktop::PointText text = desktop->TextIn(window, point);
            *running = false;
            return text;
        },
        [this](desktop::PointText text) {
            text_pending_ = false;
            point_text_ = QString::fromStdString(
                selection::DescribePointText(text, capture::AmountFromPointText(text)));
            ShowText();
        });
}

void CCaptureDlgByHwnd::ShowText() {
    auto* label = FindControl<QLabel>("lab_text");
    if (!label) return;
    label->setText(saved_note_.isEmpty() ? point_text_ : point_text_ + "\n" + saved_note_);
    label->setToolTip(label->text());
}

void CCaptureDlgByHwnd::Sync() {
    if (!logic_->visible()) return;
    const QRect win = ToQt(logic_->window());
    setGeometry(win);
    auto local = [&](const desktop::ScreenRect& r) { return ToQt(r).translated(-win.topLeft()); };
    if (auto* f = FindControl<QWidget>("frame_target")) f->setGeometry(local(logic_->target()));
    if (auto* l = FindControl<QWidget>("lab_capture")) {
        l->setGeometry(
            local(logic_->marker()).adjusted(-2, -2, 2, 2));  // a little larger to be seen
        l->show();
        l->raise();
    }
    desktop::ScreenRect bar = logic_->ButtonRect(HwndPointPicker::SaveCatch);
    bar.left -= 4, bar.top -= 4, bar.bottom += 4;
    bar.right = logic_->ButtonRect(HwndPointPicker::Cancel).right + 4;
    bar.bottom = logic_->TextRect().bottom + 2;
    if (auto* b = FindControl<QWidget>("bar_buttons")) b->setGeometry(local(bar));
    if (auto* t = FindControl<QWidget>("lab_text")) {
        t->setGeometry(local(logic_->TextRect()));
        t->raise();
    }
    for (int i = 0; i < HwndPointPicker::kButtonCount; ++i) {
        auto button = static_cast<HwndPointPicker::Button>(i);
        if (auto* w = FindControl<QWidget>(HwndPointPicker::ButtonName(button))) {
            w->setGeometry(local(logic_->ButtonRect(button)));
            w->raise();
        }
    }
    if (!isVisible()) show();
    setProperty("waiting", false);
}

void CCaptureDlgByHwnd::PressLeft(QPoint p) {
    auto e = logic_->LeftDown({p.x(), p.y()});
    if (!e.message.empty() && message_) message_(QString::fromStdString(e.message));
    // A save keeps the window open (the cashier checks the text shown or picks again); only
    // btn_cancel, the right button and Escape close it.
    if (!e.saved_key.empty()) {
        saved_note_ = QString("已保存：%1").arg(QString::fromStdString(e.saved_value));
        ShowText();
    }
    if (e.close) {
        setProperty("waiting", false);
        hide();
    }
}

void CCaptureDlgByHwnd::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        setProperty("waiting", false);
        return hide();
    }
    if (e->button() == Qt::LeftButton) PressLeft(e->globalPosition().toPoint());
}

void CCaptureDlgByHwnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        setProperty("waiting", false);
        return hide();
    }
    ui::Window::keyPressEvent(e);
}

// ---- running ----

bool RunCaptureDlg(store::Settings& settings, QWidget* owner, desktop::DesktopServices* desktop,
                   const std::string& plugin_dir) {
    static QPointer<QWidget> open;
    if (open) {
        open->raise();
        return false;
    }
    CCaptureDlg dlg(settings, desktop, owner, plugin_dir);
    if (!dlg.Build()) return false;
    open = &dlg;
    RunModalUntilHidden(dlg, "waiting");
    return true;
}

bool RunCaptureDlgByHwnd(store::Settings& settings, desktop::DesktopServices& desktop,
                         QWidget* owner) {
    static QPointer<QWidget> open;
    if (open) {
        open->raise();
        return false;
    }
    CCaptureDlgByHwnd dlg(settings, desktop, owner);
    if (!dlg.Build()) return false;
    open = &dlg;
    RunModalUntilHidden(dlg, "waiting");
    return true;
}

}  // namespace tendrix::capture::selection
