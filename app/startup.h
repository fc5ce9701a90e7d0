#pragma once
// The start-up sequence up to the main window: font, AppConfig, company information,
// skin colours, code tables, settings and the single-instance check.
#include <QFont>
#include <memory>
#include <optional>
#include <string>

#include "app/single_instance.h"
#include "context/app_config.h"
#include "ui/skin_colours.h"

namespace tendrix::app {

struct Startup {
    std::unique_ptr<context::AppConfig> config;
    std::unique_ptr<SingleInstance> instance;
    ui::SkinColours skin;
    store::Settings::LoadReport settings_report;
    bool font_loaded = false;
    bool company_info_loaded = false;
};

// Registers the private font "Font/文泉驿微米黑.ttf" under the program directory and makes
// it the application font. Needs a QGuiApplication. False when the file is missing.
bool LoadPrivateFont(const std::string& program_dir);

// Runs steps 1 to 10 of start-up for the given program directory.
Startup RunStartup(const std::string& program_dir);

}  // namespace tendrix::app
