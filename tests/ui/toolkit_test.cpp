#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <fstream>
#include <vector>

#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "ui/notify.h"
#include "ui/page_factory.h"
#include "ui/skin.h"
#include "ui/window.h"

using namespace tendrix;
namespace test = tendrix::test;

namespace {

struct Recorder : ui::NotificationTarget {
    Recorder(std::string w, std::vector<std::string>* l) : who(std::move(w)), log(l) {}
    std::string who;
    std::vector<std::string>* log;
    void Notify(const ui::Notification& m) override {
        std::string line = who + ":" + m.type.toStdString() + ":" + m.name().toStdString();
        if (m.timer_id) line += ":" + std::to_string(m.timer_id);
        if (m.index >= 0) line += "@" + std::to_string(m.index);
        log->push_back(line);
    }
};

const char* kWindowXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>T</class>
 <widget class="QWidget" name="TRoot">
  <property name="geometry"><rect><x>0</x><y>0</y><width>320</width><height>200</height></rect></property>
  <layout class="QVBoxLayout" name="l">
   <item><widget class="QPushButton" name="btn_ok"><property name="text"><string>确定</string></property></widget></item>
   <item><widget class="QPushButton" name="opt_a"><property name="checkable"><bool>true</bool></property></widget></item>
   <item><widget class="QLineEdit" name="edit_code"/></item>
   <item><widget class="QComboBox" name="comb_way"/></item>
   <item><widget class="QStackedWidget" name="switch">
     <widget class="TestPage" name="TestPage"/>
     <widget class="UnknownPage" name="UnknownPage"/>
   </widget></item>
  </layout>
 </widget></ui>)";

const char* kPageXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>P</class>
 <widget class="QWidget" name="PRoot">
  <layout class="QVBoxLayout" name="pl">
   <item><widget class="QPushButton" name="btn_return"><property name="text"><string>返回</string></property></widget></item>
  </layout>
 </widget></ui>)";

class TestPage : public ui::Page {
  public:
    explicit TestPage(QWidget* parent, std::vector<std::string>* log)
        : ui::Page(QStringLiteral("TestPage"), QStringLiteral("testpage.xml"), parent),
          rec_("page", log) {}
    void DoInit() override { rec_.log->push_back("page:doinit"); }
    void Notify(const ui::Notification& m) override { rec_.Notify(m); }

  private:
    Recorder rec_;
};

class TestWindow : public ui::Window {
  public:
    explicit TestWindow(std::vector<std::string>* log)
        : ui::Window(QStringLiteral("TestClass"), QStringLiteral("testwnd.xml")),
          rec_("wnd", log) {}
    void Notify(const ui::Notification& m) override { rec_.Notify(m); }

  private:
    Recorder rec_;
};

class Toolkit : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        saved_ = ui::SkinDir();
        std::ofstream(dir_ / "testwnd.xml") << kWindowXml;
        std::ofstream(dir_ / "testpage.xml") << kPageXml;
        ui::SetSkinDir(dir_.path());
        ui::PageFactory::Register(QStringLiteral("TestPage"),
                                  [this](QWidget* parent) { return new TestPage(parent, &log_); });
    }
    void TearDown() override { ui::SetSkinDir(saved_); }

    test::TempDir dir_;
    std::string saved_;
    std::vector<std::string> log_;
};

}  // namespace

TEST_F(Toolkit, LayoutPagesAndNotificationsByTypeName) {
    TestWindow w(&log_);
    ASSERT_TRUE(w.Build());
    EXPECT_EQ(w.size(), QSize(320, 200));  // the layout's size is the window's
    auto* sw = w.FindControl<QStackedWidget>(QStringLiteral("switch"));
    ASSERT_NE(sw, nullptr);
    // The registered page is built from its own layout; the unknown class is left out.
    ASSERT_EQ(sw->count(), 1);
    auto* page = dynamic_cast<TestPage*>(sw->widget(0));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(log_, std::vector<std::string>{"page:doinit"});
    log_.clear();

    w.show();  // first show: windowinit, once
    w.hide();
    w.show();
    w.FindControl<QPushButton>(QStringLiteral("btn_ok"))->click();
    w.FindControl<QPushButton>(QStringLiteral("opt_a"))->click();  // checked: click + select
    w.FindControl<QPushButton>(QStringLiteral("opt_a"))->click();  // unchecked: click only
    auto* edit = w.FindControl<QLineEdit>(QStringLiteral("edit_code"));
    edit->setText(QStringLiteral("1234"));
    emit edit->returnPressed();
    auto* comb = w.FindControl<QComboBox>(QStringLiteral("comb_way"));
    comb->addItems({QStringLiteral("a"), QStringLiteral("b")});  // first item: itemselect@0
    comb->setCurrentIndex(1);
    // A page control notifies the page first, then the window.
    page->FindControl<QPushButton>(QStringLiteral("btn_return"))->click();
    const std::vector<std::string> expected = {
        "wnd:windowinit:TestClass",  "wnd:click:btn_ok",          "wnd:click:opt_a",
        "wnd:selectchanged:opt_a",   "wnd:click:opt_a",           "wnd:return:edit_code",
        "wnd:itemselect:comb_way@0", "wnd:itemselect:comb_way@1", "page:click:btn_return",
        "wnd:click:btn_return"};
    EXPECT_EQ(log_, expected);
}

TEST_F(Toolkit, ControlTimersRepeatRestartAndDieWithTheirControl) {
    TestWindow w(&log_);
    ASSERT_TRUE(w.Build());
    auto* btn = w.FindControl<QPushButton>(QStringLiteral("btn_ok"));
    w.SetTimer(btn, 17, 5);
    w.SetTimer(btn, 45, 5);
    EXPECT_TRUE(test::SpinUntil([&] {
        return std::count(log_.begin(), log_.end(), "wnd:timer:btn_ok:17") >= 3 &&
               std::count(log_.begin(), log_.end(), "wnd:timer:btn_ok:45") >= 1;
    }));
    // Setting the same (control, id) again restarts it with the new period; no second timer.
    w.SetTimer(btn, 17, 60000);
    EXPECT_EQ(w.Hub().TimerInterval(btn, 17), 60000);
    w.KillTimer(btn, 45);
    EXPECT_FALSE(w.Hub().HasTimer(btn, 45));
    log_.clear();
    test::SpinUntil([] { return false; }, 60);
    EXPECT_TRUE(log_.empty());
    // A destroyed control takes its timers with it.
    w.SetTimer(btn, 9, 5);
    delete btn;
    test::SpinUntil([] { return false; }, 40);
    EXPECT_TRUE(log_.empty());
    w.KillTimer(nullptr, 1);  // unknown timers are ignored
}

TEST_F(Toolkit, ListenerRemovedDuringDeliveryIsNotCalled) {
    ui::NotifyHub hub;
    std::vector<std::string> log;
    Recorder second("second", &log);
    struct Remover : ui::NotificationTarget {
        ui::NotifyHub* hub;
        ui::NotificationTarget* other;
        void Notify(const ui::Notification&) override { hub->RemoveNotifier(other); }
    } first;
    first.hub = &hub;
    first.other = &second;
    hub.AddNotifier(&first);
    hub.AddNotifier(&second);
    hub.AddNotifier(&second);  // added once only
    QPushButton b;
    hub.Send(ui::kClick, &b);
    EXPECT_TRUE(log.empty());
}

TEST_F(Toolkit, MissingOrBrokenLayoutFailsWithoutCrashing) {
    ui::Window nofile(QStringLiteral("X"), QStringLiteral("nosuchfile.xml"));
    EXPECT_FALSE(nofile.Build());
    std::ofstream(dir_ / "broken.xml") << "<ui version=\"4.0\"><widget class=\"QWidget\"";
    ui::Window broken(QStringLiteral("X"), QStringLiteral("broken.xml"));
    EXPECT_FALSE(broken.Build());
    EXPECT_EQ(ui::PageFactory::Create(QStringLiteral("NoSuchPage"), nullptr), nullptr);
}

TEST_F(Toolkit, ThemeStyleSheetFillsTheSkinColours) {
    ui::SetSkinDir(saved_);
    const QString qss = ui::ThemeStyleSheet(0x1e88e5, 0x000102, 0xffffff);  // leading zeros kept
    ASSERT_FALSE(qss.isEmpty());
    EXPECT_TRUE(qss.contains(QStringLiteral("#1e88e5")));
    EXPECT_TRUE(qss.contains(QStringLiteral("#000102")));
    EXPECT_FALSE(qss.contains(QLatin1Char('@')));
}
