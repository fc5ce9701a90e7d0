// Writes the settings pages' layout files (UIskin/Sys*SetDlg.xml) from the page model, so
// every key has exactly one control named after it. Run after changing the model:
//   tendrix-settings-layouts <UIskin dir>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "settings/settings_page_model.h"

using namespace tendrix::settings;

namespace {

std::string Esc(const std::string& s) {
    std::string o;
    for (char c : s) {
        switch (c) {
            case '&':
                o += "&amp;";
                break;
            case '<':
                o += "&lt;";
                break;
            case '>':
                o += "&gt;";
                break;
            case '"':
                o += "&quot;";
                break;
            default:
                o += c;
        }
    }
    return o;
}

std::string Prop(const std::string& name, const std::string& inner) {
    return "<property name=\"" + name + "\">" + inner + "</property>";
}
std::string Str(const std::string& s) {
    return "<string>" + Esc(s) + "</string>";
}

std::string Widget(const std::string& cls, const std::string& name, const std::string& props = "") {
    return "<widget class=\"" + cls + "\" name=\"" + name + "\">" + props + "</widget>";
}

std::string Tip(const ControlDescription& c) {
    return c.tooltip.empty() ? "" : Prop("toolTip", Str(c.tooltip));
}

// The field cell of one key: the control named after the key, with its helpers.
std::string Field(const ControlDescription& c) {
    const std::string& k = c.key;
    switch (c.kind) {
        case ControlKind::Switch:
            return Widget("QCheckBox", k, Prop("text", Str("开启")) + Tip(c));
        case ControlKind::Choice:
        case ControlKind::Hotkey:
            return Widget("QComboBox", k, Prop("maxVisibleItems", "<number>16</number>") + Tip(c));
        case ControlKind::EditChoice:
        case ControlKind::Port:
        case ControlKind::PortPair:
        case ControlKind::Parallel:
        case ControlKind::Printer:
        case ControlKind::Step:
            return Widget("QComboBox", k,
                          Prop("editable", "<bool>true</bool>") +
                              Prop("maxVisibleItems", "<number>16</number>") + Tip(c));
        case ControlKind::MultiLine:
            return Widget(
                "QPlainTextEdit", k,
                Prop("maximumSize", "<size><width>16777215</width><height>132</height></size>") +
                    Tip(c));
        case ControlKind::Rect:
        case ControlKind::Point: {
            std::string row = "<layout class=\"QHBoxLayout\" name=\"row_" + k + "\">";
            if (c.switchable && c.kind == ControlKind::Rect)
                row += "<item>" + Widget("QCheckBox", "chk_on_" + k, Prop("text", Str("开启"))) +
                       "</item>";
            row += "<item>" + Widget("QLineEdit", k, Tip(c)) + "</item>";
            row += "<item>" + Widget("QPushButton", "btn_pick_" + k, Prop("text", Str("选取"))) +
                   "</item>";
            if (c.kind == ControlKind::Point)
                row += "<item>" +
                       Widget("QPushButton", "btn_clear_" + k, Prop("text", Str("清除"))) +
                       "</item>";
            return row + "</layout>";
        }
        case ControlKind::Path: {
            std::string row = "<layout class=\"QHBoxLayout\" name=\"row_" + k + "\">";
            row += "<item>" + Widget("QLineEdit", k, Tip(c)) + "</item>";
            row += "<item>" + Widget("QPushButton", "btn_browse_" + k, Prop("text", Str("浏览"))) +
                   "</item>";
            return row + "</layout>";
        }
        default:
            return Widget("QLineEdit", k, Tip(c));
    }
}

bool IsLayout(const std::string& field) {
    return field.rfind("<layout", 0) == 0;
}

// Extra controls at the bottom of some pages.
std::string Extra(PageId page) {
    auto button = [](const char* name, const char* text, const char* tip = "") {
        std::string p = Prop("text", Str(text));
        if (*tip) p += Prop("toolTip", Str(tip));
        return "<item>" + Widget("QPushButton", name, p) + "</item>";
    };
    std::string spacer =
        "<item><spacer name=\"extra_spacer\"><property "
        "name=\"orientation\"><enum>Qt::Horizontal</enum></property></spacer></item>";
    if (page == PageId::Basic) {
        return "<item><widget class=\"QGroupBox\" name=\"group_tests\">" +
               Prop("title", Str("端口与日志测试")) +
               "<layout class=\"QVBoxLayout\" name=\"tests_layout\"><item><layout "
               "class=\"QHBoxLayout\" name=\"tests_buttons\">" +
               button("btn_listen_test", "开始监听", "暂停取金额，监听“监听端口”收到的数据") +
               button("btn_log_sample", "选择日志样例", "选择一个收银软件的日志文件作为样例") +
               button("btn_log_test", "日志测试", "按今天的日期打开日志文件") + spacer +
               "</layout></item><item>" +
               Widget("QPlainTextEdit", "edit_listen_result",
                      Prop("readOnly", "<bool>true</bool>") +
                          Prop("placeholderText", Str("监听到的数据显示在这里，不可见字节显示为 "
                                                      "\\X1B 的形式，可复制到金额过滤规则")) +
                          Prop("maximumSize",
                               "<size><width>16777215</width><height>90</height></size>")) +
               "</item></layout></widget></item>";
    }
    if (page == PageId::Printer) {
        return "<item><layout class=\"QHBoxLayout\" name=\"printer_buttons\">" + spacer +
               button("btn_preview", "小票预览", "按当前设置显示打印机将打印的样子") +
               button("btn_test_print", "测试打印",
                      "通过打印服务打印一张测试小票（使用已保存的设置）") +
               "</layout></item>";
    }
    return "";
}

std::string PageXml(const PageInfo& p) {
    auto controls = ControlsOf(p.id);
    const size_t n = controls.size();
    const size_t per_column = n > 8 ? (n + 1) / 2 : n;
    std::string root = std::string(p.layout).substr(0, std::string(p.layout).size() - 4) + "_root";
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n<class>" << root
      << "</class>\n<widget class=\"QWidget\" name=\"" << root << "\">\n"
      << Prop("geometry", "<rect><x>0</x><y>0</y><width>880</width><height>460</height></rect>")
      << "\n<layout class=\"QVBoxLayout\" name=\"" << root << "_layout\">"
      << Prop("leftMargin", "<number>16</number>") << Prop("topMargin", "<number>12</number>")
      << Prop("rightMargin", "<number>16</number>") << Prop("bottomMargin", "<number>8</number>")
      << "\n<item><layout class=\"QGridLayout\" name=\"" << root
      << "_grid\" columnstretch=\"0,1,0,1\">" << Prop("horizontalSpacing", "<number>10</number>")
      << Prop("verticalSpacing", "<number>8</number>") << "\n";
    for (size_t i = 0; i < n; ++i) {
        const ControlDescription& c = *controls[i];
        size_t row = i % per_column, col = (i / per_column) * 2;
        x << "<item row=\"" << row << "\" column=\"" << col << "\">"
          << Widget("QLabel", "lab_" + c.key, Prop("text", Str(c.label)) + Tip(c)) << "</item>\n";
        std::string f = Field(c);
        x << "<item row=\"" << row << "\" column=\"" << col + 1 << "\">" << f << "</item>\n";
        (void)IsLayout;
    }
    x << "</layout></item>\n"
      << Extra(p.id) << "<item><spacer name=\"" << root
      << "_stretch\"><property "
         "name=\"orientation\"><enum>Qt::Vertical</enum></property></spacer></item>\n"
      << "</layout>\n</widget>\n</ui>\n";
    return x.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tendrix-settings-layouts <UIskin dir>\n";
        return 2;
    }
    std::string dir = argv[1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    for (const PageInfo& p : Pages()) {
        if (p.id == PageId::Camera || p.id == PageId::Help) continue;  // written by hand
        std::ofstream out(dir + p.layout, std::ios::binary);
        out << PageXml(p);
        if (!out) {
            std::cerr << "cannot write " << dir << p.layout << "\n";
            return 1;
        }
        std::cout << dir << p.layout << "\n";
    }
    return 0;
}
