#include "ui/skin_colours.h"

#include <QImage>
#include <QString>

namespace tendrix::ui {
namespace {
SkinColours g_colours;  // written once at start-up, before any window exists
}  // namespace

uint32_t CentrePixelColour(const std::string& image_path) {
    QImage image;
    if (!image.load(QString::fromStdString(image_path)) || image.isNull()) return 0;
    const QRgb px = image.pixel(image.width() / 2, image.height() / 2);
    return static_cast<uint32_t>(qRed(px)) * 65536u + static_cast<uint32_t>(qGreen(px)) * 256u +
           static_cast<uint32_t>(qBlue(px));
}

SkinColours LoadSkinColours(const std::string& skin_dir) {
    SkinColours c;
    const std::string images = skin_dir + "image/";
    c.main_image = images + "maincolor.png";
    c.main = CentrePixelColour(c.main_image);
    c.hot_image = images + "mainhotcolor.png";
    c.hot = CentrePixelColour(c.hot_image);
    c.background_image = images + "background.png";
    c.background = CentrePixelColour(c.background_image);
    c.account_input_image = images + "accountmeginput.png";
    c.theme = c.main;
    return c;
}

void SetSkinColours(const SkinColours& colours) {
    g_colours = colours;
}

const SkinColours& CurrentSkinColours() {
    return g_colours;
}

}  // namespace tendrix::ui
