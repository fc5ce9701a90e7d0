#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "tests/support/qt_app.h"

using tendrix::ui::CDuiMessageBox;
namespace test = tendrix::test;

namespace {

// The shown box with this text (any shown box when `text` is empty).
CDuiMessageBox* OpenBox(const QString& text = {}) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* b = qobject_cast<CDuiMessageBox*>(w);
        if (b && b->isVisible() &&
            (text.isEmpty() || b->findChild<QLabel*>(QStringLiteral("msg_text"))->text() == text))
            return b;
    }
    return nullptr;
}

// Shows a box and, once it is up, runs `act` on it; returns the box's result.
int RunBox(const QString& text, int type, std::function<void(CDuiMessageBox*)> act,
           const QString& title = {}) {
    test::Later([act] {
        test::SpinUntil([] { return OpenBox() != nullptr; });
        if (CDuiMessageBox* b = OpenBox()) act(b);
    });
    return CDuiMessageBox::Show(nullptr, text, title, type);
}

void Key(QWidget* w, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(MessageBox, SizingRule) {
    test::EnsureApp();
    // Many lines: height is the text height + 100, beyond the minimum.
    QString lines;
    for (int i = 0; i < 12; ++i) lines += QStringLiteral("第%1行\n").arg(i);
    const QSize tall = CDuiMessageBox::SizeForText(lines);
    EXPECT_EQ(tall.width(), 400);
    EXPECT_GT(tall.height(), 260);
    // A long line: width is the text width + 50, and grows with the text.
    const QString wide(60, QChar(u'款'));
    const QSize w60 = CDuiMessageBox::SizeForText(wide);
    const QSize w30 = CDuiMessageBox::SizeForText(QString(30, QChar(u'款')));
    EXPECT_GT(w60.width(), 400);
    EXPECT_NEAR(w60.width() - 50, 2 * (w30.width() - 50), 4);
}

// The shown box takes the size of the rule (a short line: both minimums); a text wider than
// the screen is wrapped to it.
TEST(MessageBox, ShownBoxFollowsTheSizingRuleWithinTheScreen) {
    test::EnsureApp();
    QSize seen;
    bool has_yes = true;
    RunBox(QStringLiteral("请用户登录账户！"), CDuiMessageBox::kOk, [&](CDuiMessageBox* b) {
        seen = b->size();
        has_yes = b->findChild<QPushButton*>(QStringLiteral("yesbtn")) != nullptr;
        b->findChild<QPushButton*>(QStringLiteral("okbtn"))->click();
    });
    EXPECT_EQ(seen, QSize(400, 260));
    EXPECT_FALSE(has_yes);
    const int screen_w = QGuiApplication::primaryScreen()->availableGeometry().width();
    RunBox(QString(400, QChar(u'宽')), CDuiMessageBox::kOk, [&](CDuiMessageBox* b) {
        seen = b->size();
        Key(b, Qt::Key_Escape);
    });
    EXPECT_LE(seen.width(), screen_w);
    EXPECT_GT(seen.height(), 260);  // the wrapped lines make it taller
}

TEST(MessageBox, ResultsOfEveryButtonAndKey) {
    test::EnsureApp();
    using Act = std::function<void(CDuiMessageBox*)>;
    auto click = [](const char* name) -> Act {
        return [name](CDuiMessageBox* b) {
            b->findChild<QPushButton*>(QString::fromLatin1(name))->click();
        };
    };
    // Escape and Enter on a yes/no box give 0, not the result of "否(N)", even with a button
    // focused.
    const Act escape = [](CDuiMessageBox* b) {
        b->findChild<QPushButton*>(QStringLiteral("nobtn"))->setFocus();
        Key(b, Qt::Key_Escape);
    };
    const Act enter = [](CDuiMessageBox* b) {
        Key(b->findChild<QPushButton*>(QStringLiteral("nobtn")), Qt::Key_Return);
    };
    for (auto [type, act, result] :
         {std::tuple{CDuiMessageBox::kYesNo, click("yesbtn"), CDuiMessageBox::kResultYes},
          std::tuple{CDuiMessageBox::kYesNo, click("nobtn"), CDuiMessageBox::kResultNo},
          std::tuple{CDuiMessageBox::kOk, click("okbtn"), CDuiMessageBox::kResultOk},
          std::tuple{CDuiMessageBox::kYesNo, escape, 0},
          std::tuple{CDuiMessageBox::kYesNo, enter, 0}}) {
        EXPECT_EQ(RunBox(QStringLiteral("确认？"), type, act), result);
    }
}

TEST(MessageBox, OpenFlagAndClosingByOthers) {
    test::EnsureApp();
    EXPECT_FALSE(CDuiMessageBox::IsOpen());
    bool open_inside = false;
    int closed = -1;
    const int r = RunBox(QStringLiteral("等待"), CDuiMessageBox::kYesNo, [&](CDuiMessageBox*) {
        open_inside = CDuiMessageBox::IsOpen();
        closed = CDuiMessageBox::CloseAllByEscape();
    });
    EXPECT_TRUE(open_inside);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(CDuiMessageBox::IsOpen());
    EXPECT_EQ(CDuiMessageBox::CloseAllByEscape(), 0);

    // A box opened from inside another keeps the flag up until the outer one closes.
    bool still_open = false;
    RunBox(QStringLiteral("外层"), CDuiMessageBox::kOk, [&](CDuiMessageBox* outer) {
        test::Later([] {  // closes the inner box only
            test::SpinUntil([] { return OpenBox(QStringLiteral("内层")) != nullptr; });
            if (CDuiMessageBox* inner = OpenBox(QStringLiteral("内层"))) Key(inner, Qt::Key_Escape);
        });
        CDuiMessageBox::Show(outer, QStringLiteral("内层"));
        still_open = CDuiMessageBox::IsOpen();
        Key(outer, Qt::Key_Escape);
    });
    EXPECT_TRUE(still_open);
    EXPECT_FALSE(CDuiMessageBox::IsOpen());
}
