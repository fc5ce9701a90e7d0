#include "store/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "store/settings_keys.h"
#include "store/store.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::store;

namespace {
int RowCount(const std::string& dir) {
    Store s(dir);
    s.OpenSettings();
    int n = 0;
    for (const auto& d : keys::SettingDefaults()) n += !s.ReadName(d.key).empty();
    return n;
}
}  // namespace

TEST(Settings, FirstStartWritesEveryNonEmptyDefault) {
    test::TempDir dir;
    Settings s;
    const auto report = s.Load(dir.path(), "示范商户");
    EXPECT_TRUE(report.database_ok);
    EXPECT_EQ(s.Values().size(), keys::SettingDefaults().size());
    EXPECT_EQ(s.Get("sysBillFirstMsg"), "示范商户");  // the company's name
    int non_empty = 0;
    for (const auto& d : keys::SettingDefaults()) non_empty += d.value == nullptr || *d.value;
    EXPECT_EQ(RowCount(dir.path()), non_empty);
    Store st(dir.path());
    st.OpenSettings();
    // A multi-line default is stored whole.
    EXPECT_EQ(st.ReadName("sysCancelRefundPayReason"), s.Get("sysCancelRefundPayReason"));
    EXPECT_NE(s.Get("sysCancelRefundPayReason").find("\r\n2："), std::string::npos);
}

TEST(Settings, EmptyOrLineBreakValuesComeBackAsDefaults) {
    test::TempDir dir;
    {
        Store st(dir.path());
        st.OpenSettings();
        st.SaveName("sysBaudRateSet", "");
        st.SaveName("sysOneShopSay", "\r\n");
        st.SaveName("sysPrinterPaperWide", "80");
        st.SaveName("sysLogFileSet", "/var/log/pos-YYYYMMDD.log");
    }
    Settings s;
    s.Load(dir.path(), "c");
    EXPECT_EQ(s.Get("sysBaudRateSet"), "2400");
    EXPECT_EQ(s.Get("sysOneShopSay"), "谢谢惠顾，欢迎下次光临！");
    EXPECT_EQ(s.Get("sysPrinterPaperWide"), "80");
    EXPECT_EQ(s.Get("sysLogFileSet"), "/var/log/pos-YYYYMMDD.log");
    Store st(dir.path());
    st.OpenSettings();
    EXPECT_EQ(st.ReadName("sysBaudRateSet"), "2400");
}

// Makes a file read-only for this process: by its mode, or for root (which ignores modes) by
// the immutable attribute. Undone when the object goes.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        if (geteuid() != 0) {
            ok_ = chmod(path_.c_str(), 0444) == 0;
        } else {
            immutable_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
            ok_ = immutable_;
        }
    }
    ~ReadOnlyFile() {
        if (immutable_) std::system(("chattr -i '" + path_ + "'").c_str());
        chmod(path_.c_str(), 0644);
    }
    bool ok() const { return ok_; }

  private:
    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

// Save one (the capture windows' save) must not report a value as stored when dataset.db
// refused it; the value in memory stays what the database holds.
TEST(Settings, SaveOneFailsWhenTheDatabaseCannotBeWritten) {
    const std::string rect = "top:1, left:2, right:3, bottom:4";
    // A directory where the file should be: it cannot be opened at all.
    test::TempDir blocked;
    std::filesystem::create_directory(blocked / "dataset.db");
    Settings b;
    b.Load(blocked.path(), "c");
    EXPECT_EQ(b.StoreOne("sysPrintMoneyFocusPos", rect), Settings::SaveOneResult::kNotWritten);
    EXPECT_EQ(b.Get("sysPrintMoneyFocusPos"), "");

    test::TempDir dir;
    Settings s;
    ASSERT_TRUE(s.Load(dir.path(), "c").database_ok);
    s.Set("sysCutPicThemeMoney", "TRUE");  // recognition switched on
    {
        ReadOnlyFile read_only(dir / "dataset.db");
        if (!read_only.ok()) GTEST_SKIP() << "cannot make dataset.db read-only here (chattr)";
        EXPECT_EQ(s.StoreOne("sysCutPicThemeMoney", rect), Settings::SaveOneResult::kNotWritten);
        EXPECT_FALSE(s.SaveOne("sysGetMoneyFromHwnd", "x:5, y:6"));
        EXPECT_EQ(s.Get("sysCutPicThemeMoney"), "TRUE");
        EXPECT_EQ(s.Get("sysGetMoneyFromHwnd"), "无");
    }
    EXPECT_EQ(s.StoreOne("sysCutPicThemeMoney", rect), Settings::SaveOneResult::kSaved);
    Settings again;
    again.Load(dir.path(), "c");
    EXPECT_EQ(again.Get("sysCutPicThemeMoney"), rect);
    EXPECT_EQ(again.Get("sysGetMoneyFromHwnd"), "无");
}

TEST(Settings, DamagedOrUnwritableDatabaseGivesDefaultsAndIsLeftAlone) {
    test::TempDir dir;
    const std::string garbage = "this is not a database, but the shop's only copy";
    std::ofstream(dir / "dataset.db") << garbage;
    Settings s;
    const auto report = s.Load(dir.path(), "c");
    EXPECT_FALSE(report.database_ok);
    EXPECT_FALSE(report.problem.empty());
    EXPECT_EQ(s.Get("sysPinterPapeNum"), "1");
    std::ifstream in(dir / "dataset.db");
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, garbage);

    if (geteuid() != 0) {  // root ignores directory permissions
        test::TempDir ro;
        chmod(ro.path().c_str(), 0500);
        Settings r;
        EXPECT_FALSE(r.Load(ro.path(), "c").database_ok);
        EXPECT_EQ(r.Get("sysWaitPay"), "TRUE");
    }
}

TEST(Settings, LoginKeysGetTheirDefaultsWhenMissing) {
    test::TempDir dir;
    EXPECT_EQ(ReadLoginKey(dir.path(), "landType"), "收银员模式");
    EXPECT_EQ(ReadLoginKey(dir.path(), "autoLand"), "");
}
