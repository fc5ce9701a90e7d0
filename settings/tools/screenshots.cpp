// Renders the settings pages, the order inquiry page and the selection window to PNG files
// for a look at their layout: tendrix-settings-shots <UIskin dir> <output dir>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>

#include "capture/selection/capture_dlg.h"
#include "checkout/inquiry/order_check_dlg.h"
#include "context/app_config.h"
#include "settings/settings_pages.h"
#include "settings/system_set_dlg.h"
#include "store/settings_keys.h"
#include "ui/skin.h"

using namespace tendrix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tendrix-settings-shots <UIskin dir> <output dir>\n");
        return 2;
    }
    ui::SetSkinDir(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(14);
    QApplication::setFont(font);

    context::AppConfig config;
    config.data_dir = QDir::tempPath().toStdString() + "/tendrix-shots/";
    QDir().mkpath(QString::fromStdString(config.data_dir));
    config.company_name = "Tendrix 演示商户";
    config.soft_name = "Tendrix 收银助手";
    config.cmp_add = "上海市浦东新区演示路 1 号";
    config.cmp_net = "www.tendrix.example";
    config.check_net = "admin.tendrix.example";
    config.pone_help = "400-000-0000";
    config.cashier_name = "demo";
    config.LoadCodeTables();
    config.LoadSettings();

    settings::SettingsContext ctx;
    ctx.config = &config;
    ctx.message = [](const QString&) {};
    settings::CSystemSetDlg dlg(ctx);
    if (!dlg.Build()) return 1;
    dlg.show();
    auto* tabs = dlg.FindControl<QTabWidget>("tab_pages");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        app.processEvents();
        dlg.grab().save(
            QString("%1/settings-%2-%3.png").arg(out).arg(i).arg(tabs->widget(i)->objectName()));
    }
    auto* printer = dlg.findChild<settings::CSysPrinterSetDlg*>();
    printer->ShowValue(store::keys::sysIsPrQRCodeOrderId, "TRUE");
    printer->Preview().save(out + "/printer-preview.png");

    checkout::inquiry::COrderCheckDlg page;
    page.Build();
    page.DoInit();
    checkout::CheckoutContext cc;
    cc.config = &config;
    page.Attach(cc);
    page.resize(860, 520);
    auto* list = page.FindControl<QTableWidget>("list_orders");
    list->setRowCount(3);
    const char* rows[3][10] = {
        {"20261206120000000001", "36.00", "36.00", "", "支付宝", "已付款", "2026-12-06 12:00:01",
         "buyer***@example.com", "286012345678901234", ""},
        {"20261206120500000002", "12.50", "12.50", "", "微信", "已付款", "2026-12-06 12:05:09", "",
         "134512345678901234", ""},
        {"20261206121000000003", "8.00", "0.00", "", "支付宝", "待付款", "", "",
         "286012345678900005", ""}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 10; ++c)
            list->setItem(r, c, new QTableWidgetItem(QString::fromUtf8(rows[r][c])));
    list->resizeColumnsToContents();
    page.show();
    app.processEvents();
    page.grab().save(out + "/order-check.png");

    capture::selection::CCaptureDlg cap(config.settings, nullptr);
    cap.Build();
    cap.show();
    const QPoint o = cap.mapToGlobal(QPoint(0, 0));
    cap.PressLeft(o + QPoint(420, 300));
    cap.MovePointer(o + QPoint(760, 360));
    cap.ReleaseLeft(o + QPoint(760, 360));
    app.processEvents();
    cap.grab().save(out + "/capture-desktop.png");
    std::printf("%s\n", argv[2]);
    return 0;
}
