#pragma once
// Layout files: Qt Designer XML under the skin directory (UIskin/ beside the executable),
// loaded at run time. Custom class names in a layout are resolved through the page factory
// (the dialog-builder callback) before Qt's own widget classes.
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace tendrix::ui {

// Skin directory, ending in '/'. Set once at start-up (program directory + "UIskin/").
void SetSkinDir(const std::string& dir);
std::string SkinDir();
// Full path of a file in the skin directory, e.g. SkinPath("image/paysuccelab.png").
QString SkinPath(const QString& relative);

// Builds the widget tree of `file` (relative to the skin directory) under `parent`.
// `builder` is asked first for every class name; returning nullptr falls back to the
// page factory, then to Qt's widgets. nullptr when the file is missing or malformed.
using BuilderCallback = std::function<QWidget*(const QString& class_name, QWidget* parent)>;
QWidget* LoadLayout(const QString& file, QWidget* parent, const BuilderCallback& builder = {});

// Theme: the shared stylesheet UIskin/style.qss with @main@, @hot@ and @background@ replaced
// by the skin colours (0x00RRGGBB). Empty when the file is missing.
QString ThemeStyleSheet(uint32_t main_colour, uint32_t hot_colour, uint32_t background_colour);
QString ColourName(uint32_t rgb);  // "#rrggbb"

}  // namespace tendrix::ui
