// The selection windows driven offscreen: the drawn rectangle and the buttons follow the
// logic, a save stores through the settings, Escape closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "capture/selection/capture_dlg.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/temp_dir.h"
#include "ui/skin.h"

namespace tendrix {
namespace {

TEST(CaptureWindows, DrawSaveAndClose) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    ui::SetSkinDir(std::string(std::getenv("TENDRIX_SOURCE_DIR")) + "/UIskin/");
    test::TempDir dir;
    Settings settings;
    settings.Load(dir.path(), "Shop");
    settings.Set(keys::sysCutPicThemeMoney, "TRUE");
    std::vector<QString> messages;

    CCaptureDlg dlg(settings, nullptr);
    ASSERT_TRUE(dlg.Build());
    dlg.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    dlg.show();
    const QPoint origin = dlg.mapToGlobal(QPoint(0, 0));
    auto* caption = dlg.FindControl<QLabel>("caption_title");
    auto* save = dlg.FindControl<QPushButton>("btn_save_distinguish");
    ASSERT_TRUE(caption && save);
    EXPECT_FALSE(save->isVisible());

    dlg.PressLeft(origin + QPoint(100, 100));
    dlg.MovePointer(origin + QPoint(300, 160));
    dlg.ReleaseLeft(origin + QPoint(300, 160));
    EXPECT_EQ(caption->geometry(), QRect(100, 100, 200, 60));
    ASSERT_TRUE(save->isVisible());
    EXPECT_GE(save->geometry().top(), 160);

    dlg.PressLeft(save->mapToGlobal(save->rect().center()));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(settings.Get(keys::sysCutPicThemeMoney),
              "top:" + std::to_string(origin.y() + 100) + ", left:" +
                  std::to_string(origin.x() + 100) + ", right:" + std::to_string(origin.x() + 300) +
                  ", bottom:" + std::to_string(origin.y() + 160));
    EXPECT_FALSE(save->isVisible());

    // Switched off: the message, nothing stored.
    settings.Set(keys::sysReductionFoucus, "FALSE");
    dlg.PressLeft(origin + QPoint(10, 10));
    dlg.ReleaseLeft(origin + QPoint(50, 50));
    auto* reduction = dlg.FindControl<QPushButton>("btn_reduction");
    dlg.PressLeft(reduction->mapToGlobal(reduction->rect().center()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("焦点还原未开启"));
    EXPECT_EQ(settings.Get(keys::sysReductionFoucus), "FALSE");

    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
}  // namespace tendrix
