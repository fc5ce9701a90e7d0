#include "app/app_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/code_tables.h"
#include "app/skin_colours.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;

TEST(AppConfig, DirectoriesFollowTheProgramDirectory) {
    EXPECT_EQ(LogDirForProgramDir("/opt/root/bin/"), "/opt/root/log/");
    EXPECT_EQ(LogDirForProgramDir("/bin/"), "/log/");
    AppConfig c;
    c.SetProgramDir("/opt/root/bin");
    EXPECT_EQ(c.program_dir, "/opt/root/bin/");
    EXPECT_EQ(c.voice_dir, "/opt/root/bin/Voice/");
    EXPECT_EQ(c.data_dir, "/opt/root/data/");
    EXPECT_EQ(c.company_info_path, "/opt/root/bin/UIskin/compmessage.txt");
}

TEST(AppConfig, CodeTablesHaveEveryRow) {
    EXPECT_EQ(PayTypeNames().size(), 51u);
    EXPECT_EQ(OrderStatusNames().size(), 12u);
    EXPECT_EQ(PayTypeNames().at(50), "校园卡支付（四川）");
    EXPECT_EQ(PayTypeNames().at(109), "微信预付款");
    EXPECT_EQ(OrderStatusNames().at(13), "超时");
    EXPECT_EQ(CodeForName(PayTypeNames(), "支付宝预付款"), 31);
    EXPECT_EQ(CodeForName(PayTypeNames(), "nothing"), -1);
}

TEST(AppConfig, SampleInstallationLoadsCompanyInfoColoursAndFloatPosition) {
    test::TempDir root;
    const std::string bin = root / "bin/";
    std::filesystem::create_directories(bin + "UIskin");
    std::filesystem::copy(std::string(std::getenv("TENDRIX_SOURCE_DIR")) + "/UIskin", bin + "UIskin",
                          std::filesystem::copy_options::recursive);
    AppConfig c;
    c.SetProgramDir(bin);
    ASSERT_TRUE(c.LoadCompanyInfo());
    EXPECT_FALSE(c.soft_name.empty());
    EXPECT_EQ(c.api_base.rfind("http://", 0), 0u);
    LoadSkinColours(c);
    EXPECT_EQ(c.main_colour, 0x1E88E5u);
    EXPECT_EQ(c.theme_colour, c.main_colour);
    EXPECT_EQ(c.background_colour, 0xFFFFFFu);

    int x = -1, y = -1;
    c.LoadFloatPosition(x, y);
    EXPECT_EQ(x, 0);  // empty value
    ASSERT_TRUE(c.SaveFloatPosition(1200, 640));
    c.LoadFloatPosition(x, y);
    EXPECT_EQ(x, 1200);
    EXPECT_EQ(y, 640);
    AppConfig again;
    again.SetProgramDir(bin);
    again.LoadCompanyInfo();
    EXPECT_EQ(again.soft_name, c.soft_name);  // the rest of the file survived the write

    AppConfig empty;
    empty.SetProgramDir(root / "nowhere/bin/");
    EXPECT_FALSE(empty.LoadCompanyInfo());
    EXPECT_EQ(empty.soft_name, "");
    LoadSkinColours(empty);
    EXPECT_EQ(empty.main_colour, 0u);
}
