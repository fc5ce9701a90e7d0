#include "ui/message_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWindow>
#include <atomic>
#include <cmath>

#include "ui/skin.h"
#include "ui/skin_colours.h"

namespace tendrix::ui {
namespace {

const char* const kBoxClass = "DuiMessageBox";
std::atomic<int> g_open_boxes{0};  // nested boxes each count; the flag is "any open"

QFont BoxFont() {
    QFont f(QStringLiteral("黑体"));
    f.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"), QApplication::font().family(),
                   QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(16);
    return f;
}

// The message as rich text: rich text is kept, plain text is escaped with its line breaks.
QString AsHtml(const QString& text) {
    if (Qt::mightBeRichText(text)) return text;
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    return html;
}

QSizeF MeasureText(const QString& text, qreal wrap_width = -1) {
    QTextDocument doc;
    doc.setDocumentMargin(0);
    doc.setDefaultFont(BoxFont());
    doc.setHtml(AsHtml(text));
    if (wrap_width > 0) {
        doc.setTextWidth(wrap_width);
        return doc.size();
    }
    return {doc.idealWidth(), doc.size().height()};
}

QString ButtonStyle() {
    uint32_t main = 0x2f7de1, hot = 0x1b5fb8;
    const SkinColours& skin = CurrentSkinColours();
    if (skin.main) main = skin.main;
    if (skin.hot) hot = skin.hot;
    return QStringLiteral(
               "QPushButton{background:%1;color:white;border:none;border-radius:4px;"
               "min-width:96px;min-height:34px;font-size:15px;}"
               "QPushButton:hover{background:%2;}QPushButton:pressed{background:%2;}"
               "QPushButton#nobtn,QPushButton#cancelbtn{background:#eef1f4;color:#333;}"
               "QPushButton#nobtn:hover,QPushButton#cancelbtn:hover{background:#dde3ea;}")
        .arg(ColourName(main), ColourName(hot));
}

}  // namespace

QSize CDuiMessageBox::SizeForText(const QString& text) {
    const QSizeF t = MeasureText(text);
    int w = static_cast<int>(std::ceil(t.width())) + 50;
    int h = static_cast<int>(std::ceil(t.height())) + 100;
    if (w < 240) w = 400;
    if (h < 130) h = 260;
    return {w, h};
}

CDuiMessageBox::CDuiMessageBox(QWidget* owner, const QString& text, const QString& title, int type)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), text_(text), type_(type) {
    g_open_boxes.fetch_add(1);
    setProperty("windowClass", QString::fromLatin1(kBoxClass));
    setObjectName(QString::fromLatin1(kBoxClass));
    setWindowTitle(QString::fromLatin1(kBoxClass));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("QDialog#DuiMessageBox{background:white;border:2px solid #314e34;"
                                 "border-radius:2px;}") +
                  ButtonStyle());

    QSize size = SizeForText(text);
    // A text wider than the screen would push the buttons off it: wrap it to the screen.
    bool wrap = false;
    if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        if (size.width() > avail.width() - 20) {
            wrap = true;
            const int w = std::max(400, avail.width() - 20);
            const QSizeF t = MeasureText(text, w - 50);
            size = {w, std::max(260, static_cast<int>(std::ceil(t.height())) + 100)};
        }
        if (size.height() > avail.height() - 20) size.setHeight(std::max(260, avail.height() - 20));
    }
    resize(size);

    auto* title_label = new QLabel(title.isEmpty() ? QStringLiteral("提示") : title, this);
    title_label->setObjectName(QStringLiteral("title"));
    title_label->setAlignment(Qt::AlignCenter);
    title_label->setFixedHeight(36);
    title_label->setStyleSheet(
        QStringLiteral("font-size:16px;font-weight:bold;color:#314e34;"
                       "border-bottom:1px solid #e3e7ea;"));

    auto* msg = new QLabel(AsHtml(text), this);
    msg->setObjectName(QStringLiteral("msg_text"));
    msg->setTextFormat(Qt::RichText);
    msg->setAlignment(Qt::AlignCenter);
    msg->setWordWrap(wrap);
    msg->setFont(BoxFont());
    msg->setStyleSheet(QStringLiteral("color:#222;font-size:16px;"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto add_button = [&](const char* name, const QString& label, int result) {
        auto* b = new QPushButton(label, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setCursor(Qt::PointingHandCursor);
        connect(b, &QPushButton::clicked, this, [this, result] { Finish(result); });
        buttons->addWidget(b);
        return b;
    };
    if (type == kYesNo) {
        add_button("yesbtn", QStringLiteral("是(Y)"), kResultYes);
        buttons->addSpacing(24);
        add_button("nobtn", QStringLiteral("否(N)"), kResultNo);
    } else {
        add_button("okbtn", QStringLiteral("确定"), kResultOk);
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 16);
    layout->addWidget(title_label);
    layout->addWidget(msg, 1);
    layout->addLayout(buttons);
}

CDuiMessageBox::~CDuiMessageBox() {
    if (!finished_) {
        finished_ = true;
        g_open_boxes.fetch_sub(1);
    }
}

int CDuiMessageBox::Show(QWidget* owner, const QString& text, const QString& title, int type) {
    CDuiMessageBox box(owner, text, title, type);
    if (owner) {
        box.move(owner->frameGeometry().center() - box.rect().center());
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        box.move(s->availableGeometry().center() - box.rect().center());
    }
    box.exec();
    return box.result_;
}

bool CDuiMessageBox::IsOpen() {
    return g_open_boxes.load() > 0;
}

int CDuiMessageBox::CloseAllByEscape() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->property("windowClass").toString() != QLatin1String(kBoxClass)) continue;
        if (w->windowTitle() != QLatin1String(kBoxClass) || !w->isVisible()) continue;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
        ++n;
    }
    return n;
}

void CDuiMessageBox::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Finish(result_);  // unchanged: 0
            return;
        default:
            QDialog::keyPressEvent(e);
    }
}

void CDuiMessageBox::mousePressEvent(QMouseEvent* e) {
    // The title strip is the caption: dragging it moves the box.
    if (e->button() == Qt::LeftButton && e->position().y() < 38 && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    QDialog::mousePressEvent(e);
}

void CDuiMessageBox::reject() {
    Finish(result_);
}
void CDuiMessageBox::accept() {
    Finish(result_);
}

void CDuiMessageBox::done(int r) {
    if (!finished_) {
        finished_ = true;
        g_open_boxes.fetch_sub(1);
    }
    QDialog::done(r);
}

void CDuiMessageBox::Finish(int result) {
    result_ = result;
    done(result);
}

}  // namespace tendrix::ui
