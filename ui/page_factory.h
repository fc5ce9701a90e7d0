#pragma once
// The dialog-builder callback: the system's own pages and controls are created by name
// ("PayDlg", "PayResultDlg", ...) from a registry, so a window that hosts them does not
// need to know their classes. Registration happens once at start-up.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace tendrix::ui {

class PageFactory {
  public:
    using Creator = std::function<QWidget*(QWidget* parent)>;

    // Registers (or replaces) the creator for `name`.
    static void Register(const QString& name, Creator creator);
    static bool Has(const QString& name);
    // A new page or control for `name`, or nullptr when none is registered.
    static QWidget* Create(const QString& name, QWidget* parent);
    static QStringList Names();
};

}  // namespace tendrix::ui
