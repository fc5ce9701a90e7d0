#include "app/startup.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include "common/diag_log.h"
#include "common/private_files.h"
#include "platform_api/link_security.h"
#include "store/settings_keys.h"
#include "ui/skin_colours.h"

namespace tendrix::app {

bool LoadPrivateFont(const std::string& program_dir) {
    const QString path = QString::fromStdString(program_dir + "Font/文泉驿微米黑.ttf");
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0) return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) return false;
    QFont font(families.first());
    font.setPixelSize(14);
    QGuiApplication::setFont(font);
    return true;
}

Startup RunStartup(const std::string& program_dir) {
    Startup s;
    s.font_loaded = LoadPrivateFont(program_dir);
    s.config = std::make_unique<context::AppConfig>();
    context::AppConfig& c = *s.config;
    c.environment = context::RunEnvironment::FromProcess();
    c.SetProgramDir(program_dir);
    s.company_info_loaded = c.LoadCompanyInfo();
    common::MakeDataAndLogPrivate(c.data_dir, c.log_dir);
    common::diag::SetDirectory(c.log_dir);
    if (!s.company_info_loaded)
        common::diag::Write("startup", "company information missing: " + c.company_info_path);
    if (!s.font_loaded) common::diag::Write("startup", "private font missing, using system fonts");
    s.skin = ui::LoadSkinColours(c.skin_dir);
    c.message_buffer.clear();
    c.LoadCodeTables();
    s.settings_report = c.LoadSettings();
    platform_api::SetPlatformCaFile(c.Setting(store::keys::sysPlatformCaFile));
    if (const std::string warning = platform_api::PlainHttpWarning(c.api_base); !warning.empty()) {
        common::diag::Write("security", warning);
    }
    s.instance = std::make_unique<SingleInstance>(c.soft_name);
    return s;
}

}  // namespace tendrix::app
