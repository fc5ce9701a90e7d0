#pragma once
// Runs a window modally until it is hidden (or the application quits). A window may keep the
// run going while it hides itself for a moment by setting the boolean property `keep` first.
#include <QEvent>
#include <QEventLoop>
#include <QWidget>

namespace tendrix::capture::selection {

class HideWatcher : public QObject {
  public:
    HideWatcher(QEventLoop& loop, const char* keep) : loop_(loop), keep_(keep) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        const bool kept = keep_ && o->property(keep_).toBool();
        if (e->type() == QEvent::Hide && !kept) loop_.quit();
        // Released while already hidden: nothing else will come, so end here.
        if (e->type() == QEvent::DynamicPropertyChange && keep_ && !kept &&
            !static_cast<QWidget*>(o)->isVisible())
            loop_.quit();
        return false;
    }

  private:
    QEventLoop& loop_;
    const char* keep_;
};

inline void RunModalUntilHidden(QWidget& w, const char* keep = nullptr) {
    w.setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    HideWatcher watcher(loop, keep);
    w.installEventFilter(&watcher);
    w.show();
    if (w.isVisible() || (keep && w.property(keep).toBool())) loop.exec();
    w.removeEventFilter(&watcher);
}

}  // namespace tendrix::capture::selection
