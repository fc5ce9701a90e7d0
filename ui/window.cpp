#include "ui/window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace tendrix::ui {
namespace {

// Lays `root` out to fill `host` without margins.
void Embed(QWidget* host, QWidget* root) {
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(root);
}

// Pages below `root` send their notifications to `listener` as well.
void ListenToPages(QWidget* root, NotificationTarget* listener) {
    for (Page* page : root->findChildren<Page*>()) page->Hub().AddNotifier(listener);
}

}  // namespace

Window::Window(const QString& window_class, const QString& layout_file, QWidget* parent,
               Qt::WindowFlags extra_flags)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | extra_flags),
      layout_file_(layout_file) {
    setProperty("windowClass", window_class);
    setObjectName(window_class);
}

Window::~Window() = default;

bool Window::Build(const BuilderCallback& builder) {
    if (root_) return true;
    root_ = LoadLayout(layout_file_, this, builder);
    if (!root_) return false;
    // The layout's top-level size is the window's initial size.
    const QSize size = root_->size();
    Embed(this, root_);
    if (size.isValid() && !size.isEmpty()) resize(size);
    if (caption_height_ == 0) {
        bool ok = false;
        const int h = root_->property("captionHeight").toInt(&ok);
        caption_height_ = ok ? h : 0;
    }
    hub_.Bind(root_);
    hub_.AddNotifier(this);
    for (Page* page : root_->findChildren<Page*>()) page->Build();
    ListenToPages(root_, this);
    for (Page* page : root_->findChildren<Page*>()) page->DoInit();
    return true;
}

void Window::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!init_sent_) {
        init_sent_ = true;
        hub_.Send(kWindowInit, this);
    }
}

void Window::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && caption_height_ > 0 &&
        e->position().y() < caption_height_) {
        QWidget* under = childAt(e->position().toPoint());
        if (!qobject_cast<QAbstractButton*>(under) && windowHandle()) {
            windowHandle()->startSystemMove();
            return;
        }
    }
    QWidget::mousePressEvent(e);
}

QList<QWidget*> Window::FindWindows(const QString& window_class, const QString& title) {
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->property("windowClass").toString() == window_class && w->windowTitle() == title)
            found << w;
    }
    return found;
}

Page::Page(const QString& page_name, const QString& layout_file, QWidget* parent)
    : QWidget(parent), page_name_(page_name), layout_file_(layout_file) {
    setProperty("tendrixPage", true);
    setObjectName(page_name);
}

Page::~Page() = default;

bool Page::Build(const BuilderCallback& builder) {
    if (root_) return true;
    root_ = LoadLayout(layout_file_, this, builder);
    if (!root_) return false;
    Embed(this, root_);
    hub_.Bind(root_);
    hub_.AddNotifier(this);
    return true;
}

}  // namespace tendrix::ui
