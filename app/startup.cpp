#include "app/startup.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include "common/diag_log.h"
#include "common/private_files.h"
#include "platform_api/link_security.h"
#include "store/settings_keys.h"
#include "ui/skin_colours.h"

namespace tendrix {

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
    s.config = std::make_unique<AppConfig>();
    AppConfig& c = *s.config;
    c.environment = RunEnvironment::FromProcess();
    c.SetProgramDir(program_dir);
    s.company_info_loaded = c.LoadCompanyInfo();
    MakeDataAndLogPrivate(c.data_dir, c.log_dir);
    diag::SetDirectory(c.log_dir);
    if (!s.company_info_loaded)
        diag::Write("startup", "company information missing: " + c.company_info_path);
    if (!s.font_loaded) diag::Write("startup", "private font missing, using system fonts");
    s.skin = ui::LoadSkinColours(c.skin_dir);
    c.message_buffer.clear();
    c.LoadCodeTables();
    s.settings_report = c.LoadSettings();
    SetPlatformCaFile(c.Setting(keys::sysPlatformCaFile));
    if (const std::string warning = PlainHttpWarning(c.api_base); !warning.empty()) {
        diag::Write("security", warning);
    }
    s.instance = std::make_unique<SingleInstance>(c.soft_name);
    return s;
}

}  // namespace tendrix
