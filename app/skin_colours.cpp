#include "app/skin_colours.h"

#include <QImage>
#include <QString>

#include "app/app_config.h"

namespace tendrix {

uint32_t CentrePixelColour(const std::string& image_path) {
    QImage image;
    if (!image.load(QString::fromStdString(image_path)) || image.isNull()) return 0;
    const QRgb px = image.pixel(image.width() / 2, image.height() / 2);
    return static_cast<uint32_t>(qRed(px)) * 65536u + static_cast<uint32_t>(qGreen(px)) * 256u +
           static_cast<uint32_t>(qBlue(px));
}

void LoadSkinColours(AppConfig& config) {
    const std::string images = config.skin_dir + "image/";
    config.main_colour_image = images + "maincolor.png";
    config.main_colour = CentrePixelColour(config.main_colour_image);
    config.hot_colour_image = images + "mainhotcolor.png";
    config.hot_colour = CentrePixelColour(config.hot_colour_image);
    config.background_image = images + "background.png";
    config.background_colour = CentrePixelColour(config.background_image);
    config.account_input_image = images + "accountmeginput.png";
    config.theme_colour = config.main_colour;
    config.message_buffer.clear();
}

}  // namespace tendrix
