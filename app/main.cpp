// Tendrix entry point: start-up, single instance, then the main window until quit.
#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    tendrix::Startup startup = tendrix::RunStartup(tendrix::ExecutableDir());
    if (!startup.instance->Acquired()) return 0;  // same title already running: leave silently
    tendrix::AppConfig& config = *startup.config;

    QWidget main_window;
    main_window.setWindowTitle(QString::fromStdString(config.soft_name));
    main_window.resize(800, 560);
    main_window.show();
    if (!startup.settings_report.database_ok) {
        QMessageBox::warning(&main_window, QString::fromUtf8("提示"),
                             QString::fromUtf8("设置数据库无法使用，本次使用默认设置运行，原文件未改动。\n") +
                                 QString::fromStdString(startup.settings_report.problem));
    }
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    QApplication::setQuitOnLastWindowClosed(true);
    const int rc = app.exec();
    (void)rc;
    return 0;
}
