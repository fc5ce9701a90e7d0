#pragma once
// Notifications by type name and per-control timers: the contract windows and pages are
// written against. A NotifyHub connects the Qt signals of a widget tree to notifications
// ("click", "selectchanged", "return", "itemselect", "itemclick", "textchanged") and
// delivers them, together with "timer" and "windowinit", to its listeners in order.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <utility>
#include <vector>

class QTimer;

namespace tendrix::ui {

// Notification type names.
inline constexpr const char* kClick = "click";
inline constexpr const char* kSelectChanged = "selectchanged";
inline constexpr const char* kReturn = "return";
inline constexpr const char* kItemSelect = "itemselect";
inline constexpr const char* kItemClick = "itemclick";
inline constexpr const char* kTimer = "timer";
inline constexpr const char* kWindowInit = "windowinit";
inline constexpr const char* kTextChanged = "textchanged";

struct Notification {
    QString type;
    QWidget* sender = nullptr;  // the control (never dangling during delivery)
    int timer_id = 0;           // "timer": the id given to SetTimer
    int index = -1;             // "itemselect"/"itemclick": the row or item index

    QString name() const { return sender ? sender->objectName() : QString(); }
    bool Is(const char* t, const char* control) const {
        return type == QLatin1String(t) && name() == QLatin1String(control);
    }
};

class NotificationTarget {
  public:
    virtual ~NotificationTarget() = default;
    virtual void Notify(const Notification& msg) = 0;
};

class NotifyHub : public QObject {
    Q_OBJECT
  public:
    explicit NotifyHub(QObject* parent = nullptr) : QObject(parent) {}
    ~NotifyHub() override;

    void AddNotifier(NotificationTarget* listener);
    void RemoveNotifier(NotificationTarget* listener);

    // Connects every control below `root` (root included). Subtrees whose widget carries the
    // property "tendrixPage" are left to that page's own hub.
    void Bind(QWidget* root);
    // Connects one control (its signals by its class).
    void BindControl(QWidget* control);

    // Delivers a notification to every listener, in the order they were added. A listener
    // removed or a sender destroyed during delivery stops the delivery.
    void Send(const Notification& msg);
    void Send(const char* type, QWidget* sender, int index = -1);

    // Per-control timers: "timer" with the id, every `ms` milliseconds, until killed or the
    // control is destroyed. Setting an existing (control, id) restarts it with the new period.
    void SetTimer(QWidget* control, int id, int ms);
    void KillTimer(QWidget* control, int id);
    void KillTimers(QWidget* control);
    bool HasTimer(QWidget* control, int id) const;
    int TimerInterval(QWidget* control, int id) const;  // -1 when not running

  private:
    using Key = std::pair<QWidget*, int>;
    std::vector<NotificationTarget*> listeners_;
    std::map<Key, QTimer*> timers_;
    int delivery_generation_ = 0;
};

}  // namespace tendrix::ui
