#include "checkout/pages/key_input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include "desktop/desktop_services.h"

namespace tendrix::checkout {
namespace {

constexpr int kVkControl = 17;

struct QtKey {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

QtKey ToQt(const KeyStroke& s) {
    QtKey k;
    if (s.vk >= 48 && s.vk <= 57) {
        k.key = Qt::Key_0 + (s.vk - 48);
        k.text = QString(QChar('0' + (s.vk - 48)));
    } else if (s.vk >= 96 && s.vk <= 105) {
        k.key = Qt::Key_0 + (s.vk - 96);
        k.modifiers = Qt::KeypadModifier;
        k.text = QString(QChar('0' + (s.vk - 96)));
    } else if (s.vk == kVkDecimal) {
        k.key = Qt::Key_Period;
        k.modifiers = Qt::KeypadModifier;
        k.text = QStringLiteral(".");
    } else if (s.vk == kVkBack) {
        k.key = Qt::Key_Backspace;
    } else if (s.vk == kVkReturn) {
        k.key = Qt::Key_Return;
        k.text = QStringLiteral("\r");
    } else if (s.vk >= 65 && s.vk <= 90) {
        k.key = Qt::Key_A + (s.vk - 65);
        if (!s.ctrl) k.text = QString(QChar('a' + (s.vk - 65)));
    }
    if (s.ctrl) k.modifiers |= Qt::ControlModifier;
    return k;
}

}  // namespace

QWidget* InjectKeyStrokes(const std::vector<KeyStroke>& strokes,
                          desktop::DesktopServices* desktop) {
    QPointer<QWidget> target = QApplication::focusWidget();
    if (!target) {
        if (!desktop) return nullptr;
        for (const KeyStroke& s : strokes) {
            if (s.ctrl) desktop->KeyDown(kVkControl);
            desktop->KeyDown(s.vk);
            desktop->KeyUp(s.vk);
            if (s.ctrl) desktop->KeyUp(kVkControl);
        }
        return nullptr;
    }
    for (const KeyStroke& s : strokes) {
        if (!target) break;  // a stroke (Enter) may close or destroy the control
        const QtKey k = ToQt(s);
        if (k.key == 0) continue;
        QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers, k.text);
        QApplication::sendEvent(target, &press);
        if (!target) break;
        QKeyEvent release(QEvent::KeyRelease, k.key, k.modifiers, k.text);
        QApplication::sendEvent(target, &release);
    }
    return target;
}

}  // namespace tendrix::checkout
