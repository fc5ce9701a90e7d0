#include "ui/notify.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>

namespace tendrix::ui {

NotifyHub::~NotifyHub() {
    for (auto& [key, timer] : timers_) delete timer;
}

void NotifyHub::AddNotifier(NotificationTarget* listener) {
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void NotifyHub::RemoveNotifier(NotificationTarget* listener) {
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it != listeners_.end()) {
        listeners_.erase(it);
        ++delivery_generation_;
    }
}

void NotifyHub::Send(const Notification& msg) {
    QPointer<QWidget> guard(msg.sender);
    const bool had_sender = msg.sender != nullptr;
    const int generation = delivery_generation_;
    const std::vector<NotificationTarget*> listeners = listeners_;
    for (NotificationTarget* l : listeners) {
        if (generation != delivery_generation_) return;  // a listener went away
        if (had_sender && guard.isNull()) return;        // the control was destroyed
        l->Notify(msg);
    }
}

void NotifyHub::Send(const char* type, QWidget* sender, int index) {
    Notification n;
    n.type = QString::fromLatin1(type);
    n.sender = sender;
    n.index = index;
    Send(n);
}

void NotifyHub::BindControl(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        // A click that checks a button gives "click" and then "selectchanged"; Qt emits
        // toggled before clicked, so the selection waits for the click (or, when the button
        // was checked without a click, for the next turn of the event loop).
        connect(b, &QAbstractButton::clicked, this, [this, b] {
            Send(kClick, b);
            if (b->property("tendrixPendingSelect").toBool()) {
                b->setProperty("tendrixPendingSelect", false);
                Send(kSelectChanged, b);
            }
        });
        connect(b, &QAbstractButton::toggled, this, [this, b](bool on) {
            if (!on) return;
            b->setProperty("tendrixPendingSelect", true);
            QPointer<QAbstractButton> guard(b);
            QTimer::singleShot(0, this, [this, guard] {
                if (guard && guard->property("tendrixPendingSelect").toBool()) {
                    guard->setProperty("tendrixPendingSelect", false);
                    Send(kSelectChanged, guard.data());
                }
            });
        });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        connect(e, &QLineEdit::returnPressed, this, [this, e] { Send(kReturn, e); });
        connect(e, &QLineEdit::textEdited, this, [this, e] { Send(kTextChanged, e); });
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        connect(c, &QComboBox::currentIndexChanged, this,
                [this, c](int i) { Send(kItemSelect, c, i); });
    } else if (auto* tw = qobject_cast<QTableWidget*>(w)) {
        connect(tw, &QTableWidget::cellClicked, this,
                [this, tw](int row, int) { Send(kItemClick, tw, row); });
        connect(tw, &QTableWidget::currentCellChanged, this,
                [this, tw](int row, int, int, int) { Send(kItemSelect, tw, row); });
    } else if (auto* lw = qobject_cast<QListWidget*>(w)) {
        connect(lw, &QListWidget::itemClicked, this,
                [this, lw](QListWidgetItem* it) { Send(kItemClick, lw, lw->row(it)); });
        connect(lw, &QListWidget::currentRowChanged, this,
                [this, lw](int row) { Send(kItemSelect, lw, row); });
    }
}

void NotifyHub::Bind(QWidget* root) {
    if (!root) return;
    BindControl(root);
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w) continue;
        if (w->property("tendrixPage").toBool()) continue;  // a page binds its own controls
        if (w->isWindow()) continue;                        // other windows have their own hub
        Bind(w);
    }
}

void NotifyHub::SetTimer(QWidget* control, int id, int ms) {
    if (!control) return;
    const Key key{control, id};
    auto it = timers_.find(key);
    QTimer* t = nullptr;
    if (it != timers_.end()) {
        t = it->second;
    } else {
        t = new QTimer;
        timers_[key] = t;
        QPointer<QWidget> guard(control);
        connect(t, &QTimer::timeout, this, [this, guard, id] {
            if (guard.isNull()) return;
            Notification n;
            n.type = QString::fromLatin1(kTimer);
            n.sender = guard.data();
            n.timer_id = id;
            Send(n);
        });
        // A destroyed control takes its timers with it.
        connect(control, &QObject::destroyed, this, [this, control] { KillTimers(control); });
    }
    t->start(std::max(ms, 0));
}

void NotifyHub::KillTimer(QWidget* control, int id) {
    auto it = timers_.find({control, id});
    if (it == timers_.end()) return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

void NotifyHub::KillTimers(QWidget* control) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == control) {
            it->second->stop();
            it->second->deleteLater();
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool NotifyHub::HasTimer(QWidget* control, int id) const {
    auto it = timers_.find({control, id});
    return it != timers_.end() && it->second->isActive();
}

int NotifyHub::TimerInterval(QWidget* control, int id) const {
    auto it = timers_.find({control, id});
    return (it != timers_.end() && it->second->isActive()) ? it->second->interval() : -1;
}

}  // namespace tendrix::ui
