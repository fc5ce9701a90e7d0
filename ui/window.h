#pragma once
// Base classes for the system's windows and pages.
//
// Window: a frameless top-level window built from a layout file, with a notification hub,
// controls found by name, per-control timers and a caption area for dragging. It receives
// "windowinit" once, when it is first shown. Its window class name is kept in the
// property "windowClass" (the main window is "DUIMainFram"), its title in windowTitle().
//
// Page: a container built from its own layout file and registered in the page factory
// under its page name ("PayDlg"). It handles its controls' notifications in Notify; the
// window that hosts it receives them too (after the page), as every listener of a DuiLib
// paint manager does.
#include <QString>
#include <QWidget>

#include "ui/notify.h"
#include "ui/skin.h"

namespace tendrix::ui {

class Page;

class Window : public QWidget, public NotificationTarget {
    Q_OBJECT
  public:
    Window(const QString& window_class, const QString& layout_file, QWidget* parent = nullptr,
           Qt::WindowFlags extra_flags = {});
    ~Window() override;

    // Loads the layout (once) and binds its controls; false when the layout is missing.
    // Called by the constructor of the derived class or its creator.
    bool Build(const BuilderCallback& builder = {});
    bool built() const { return root_ != nullptr; }

    QString WindowClass() const { return property("windowClass").toString(); }
    NotifyHub& Hub() { return hub_; }
    QWidget* Root() const { return root_; }

    template <typename T = QWidget>
    T* FindControl(const QString& name) const {
        return findChild<T*>(name);
    }

    void SetTimer(QWidget* control, int id, int ms) { hub_.SetTimer(control, id, ms); }
    void KillTimer(QWidget* control, int id) { hub_.KillTimer(control, id); }

    // Height of the caption area (drag to move); controls of class button are excluded.
    void SetCaptionHeight(int h) { caption_height_ = h; }

    void Notify(const Notification&) override {}

    // Top-level windows whose window class and title both match, as FindWindow does.
    static QList<QWidget*> FindWindows(const QString& window_class, const QString& title);

  protected:
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    NotifyHub hub_;
    QString layout_file_;
    QWidget* root_ = nullptr;
    bool init_sent_ = false;
    int caption_height_ = 0;
};

class Page : public QWidget, public NotificationTarget {
    Q_OBJECT
  public:
    Page(const QString& page_name, const QString& layout_file, QWidget* parent = nullptr);
    ~Page() override;

    // The page name given at construction ("PayDlg"), as GetClass returns it.
    QString GetClass() const { return page_name_; }
    // Loads the layout (once) and binds its controls; false when the layout is missing.
    bool Build(const BuilderCallback& builder = {});
    // Called by the host after Build, like DuiLib's DoInit: find controls, start timers.
    virtual void DoInit() {}

    NotifyHub& Hub() { return hub_; }
    template <typename T = QWidget>
    T* FindControl(const QString& name) const {
        return findChild<T*>(name);
    }
    void SetTimer(QWidget* control, int id, int ms) { hub_.SetTimer(control, id, ms); }
    void KillTimer(QWidget* control, int id) { hub_.KillTimer(control, id); }

    void Notify(const Notification&) override {}

  private:
    NotifyHub hub_;
    QString page_name_;
    QString layout_file_;
    QWidget* root_ = nullptr;
};

}  // namespace tendrix::ui
