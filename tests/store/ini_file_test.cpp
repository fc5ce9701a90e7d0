#include "store/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::store;

namespace {
std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void WriteBytes(const std::string& path, const std::string& b) {
    std::ofstream(path, std::ios::binary) << b;
}
std::string Utf16Le(const std::u16string& s) {
    std::string out = "\xFF\xFE";
    for (char16_t c : s) out += static_cast<char>(c & 0xFF), out += static_cast<char>(c >> 8);
    return out;
}
}  // namespace

TEST(IniFile, ReadsAndWritesBackUtf16LeWithBom) {
    test::TempDir dir;
    const std::string path = dir / "compmessage.txt";
    WriteBytes(path, Utf16Le(u"; comment\r\n[config]\r\nsoft_name = "
                             u"收银助手\r\nPOS_X=12\r\n[other]\r\npos_y=9\r\n"));
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf16LeBom);
    EXPECT_EQ(ini.Get("config", "soft_name"), "收银助手");
    EXPECT_EQ(ini.Get("CONFIG", "pos_x"), "12");
    EXPECT_EQ(ini.Get("config", "pos_y", "none"), "none");  // other section
    ini.Set("config", "pos_x", "300");
    ini.Set("config", "pos_y", "40");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadBytes(path),
              Utf16Le(u"; comment\r\n[config]\r\nsoft_name = "
                      u"收银助手\r\npos_x=300\r\npos_y=40\r\n[other]\r\npos_y=9\r\n"));
}

TEST(IniFile, ReadsAndWritesBackUtf8AndCreatesSections) {
    test::TempDir dir;
    const std::string path = dir / "c.ini";
    WriteBytes(path, "[config]\ncompany_name=\"示范 商户\"\n");
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf8);
    EXPECT_EQ(ini.Get("config", "company_name"), "示范 商户");
    ini.Set("new", "k", "v");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadBytes(path), "[config]\ncompany_name=\"示范 商户\"\n[new]\nk=v\n");

    IniFile missing;
    EXPECT_FALSE(missing.Load(dir / "none.ini"));
    EXPECT_EQ(missing.Get("config", "soft_name"), "");
}
