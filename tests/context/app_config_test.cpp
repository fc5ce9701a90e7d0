#include "context/app_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "tests/support/temp_dir.h"
#include "ui/skin_colours.h"

using namespace tendrix;
using namespace tendrix::context;

TEST(AppConfig, DirectoriesFollowTheProgramDirectory) {
    EXPECT_EQ(LogDirForProgramDir("/opt/root/bin/"), "/opt/root/log/");
    EXPECT_EQ(LogDirForProgramDir("/bin/"), "/log/");
    AppConfig c;
    c.SetProgramDir("/opt/root/bin");
    EXPECT_EQ(c.program_dir, "/opt/root/bin/");
    EXPECT_EQ(c.data_dir, "/opt/root/data/");
}

TEST(AppConfig, SampleInstallationLoadsCompanyInfoColoursAndFloatPosition) {
    test::TempDir root;
    const std::string bin = root / "bin/";
    std::filesystem::create_directories(bin + "UIskin");
    std::filesystem::copy(std::string(std::getenv("TENDRIX_SOURCE_DIR")) + "/UIskin",
                          bin + "UIskin", std::filesystem::copy_options::recursive);
    AppConfig c;
    c.SetProgramDir(bin);
    ASSERT_TRUE(c.LoadCompanyInfo());
    EXPECT_FALSE(c.soft_name.empty());
    EXPECT_EQ(c.api_base.rfind("http://", 0), 0u);
    const ui::SkinColours skin = ui::LoadSkinColours(c.skin_dir);
    EXPECT_EQ(skin.main, 0x1E88E5u);
    EXPECT_EQ(skin.theme, skin.main);
    EXPECT_EQ(skin.background, 0xFFFFFFu);

    // (Saved in place: MainDlgTest.TrayMenuActionsRunOnTheNextTick; in the user's copy of a
    // read-only installation: ReadOnlyInstallationKeepsDataAndFloatPositionInUserFolders.)
    int x = -1, y = -1;
    c.LoadFloatPosition(x, y);
    EXPECT_EQ(x, 0);  // empty value

    AppConfig empty;
    empty.SetProgramDir(root / "nowhere/bin/");
    EXPECT_FALSE(empty.LoadCompanyInfo());
    EXPECT_EQ(empty.soft_name, "");
    EXPECT_EQ(ui::LoadSkinColours(empty.skin_dir).main, 0u);
}

namespace {

// Runs `check` as an ordinary user: as nobody in a child process when the test runs as root
// (root may write anywhere), in this process otherwise. Returns check's result.
int AsOrdinaryUser(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
        _exit(check());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

struct EnvVar {
    EnvVar(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(AppConfig, UserFolderOverridesCompanyFileAndSkin) {
    test::TempDir root;
    const std::string bin = root / "inst/bin/";
    std::filesystem::create_directories(bin + "UIskin");
    std::ofstream(bin + "UIskin/compmessage.txt") << "[config]\nsoft_name=shop\n";
    EnvVar config_home("XDG_CONFIG_HOME", root / "config");
    EnvVar relative("XDG_DATA_HOME", "relative/ignored");
    EnvVar home("HOME", root / "home");
    EXPECT_EQ(XdgDir("XDG_DATA_HOME", ".local/share"), root / "home/.local/share/");

    AppConfig plain;
    plain.SetProgramDir(bin);
    EXPECT_FALSE(plain.per_user_dirs);  // a writable program folder keeps data beside it
    EXPECT_EQ(plain.data_dir, root / "inst/data/");
    EXPECT_EQ(plain.company_info_path, bin + "UIskin/compmessage.txt");

    std::filesystem::create_directories(root / "config/tendrix/UIskin");
    std::ofstream(root / "config/tendrix/compmessage.txt") << "[config]\nsoft_name=mine\n";
    AppConfig c;
    c.SetProgramDir(bin);
    EXPECT_EQ(c.skin_dir, root / "config/tendrix/UIskin/");
    ASSERT_TRUE(c.LoadCompanyInfo());
    EXPECT_EQ(c.soft_name, "mine");
}

TEST(AppConfig, ReadOnlyInstallationKeepsDataAndFloatPositionInUserFolders) {
    test::TempDir root;
    namespace fs = std::filesystem;
    fs::permissions(root.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string bin = root / "opt/tendrix/bin/";
    fs::create_directories(bin + "UIskin");
    std::ofstream(bin + "UIskin/compmessage.txt") << "[config]\nsoft_name=shop\npos_x=5\n";
    const std::string home = root / "home/";
    fs::create_directories(home);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
    } else {
        fs::permissions(root / "opt/tendrix", fs::perms::owner_write, fs::perm_options::remove);
        fs::permissions(bin + "UIskin", fs::perms::owner_write, fs::perm_options::remove);
    }
    EnvVar h("HOME", home), d("XDG_DATA_HOME", home + "data"), s("XDG_STATE_HOME", home + "state"),
        cfg("XDG_CONFIG_HOME", home + "config");

    // Exit codes name the first broken rule.
    const int rc = AsOrdinaryUser([&] {
        AppConfig c;
        c.SetProgramDir(bin);
        if (!c.per_user_dirs) return 1;
        if (c.data_dir != home + "data/tendrix/data/") return 2;
        if (c.log_dir != home + "state/tendrix/log/") return 3;
        struct stat st {};
        if (stat(c.data_dir.c_str(), &st) != 0 || (st.st_mode & 0777) != 0700) return 4;
        if (stat(c.log_dir.c_str(), &st) != 0 || (st.st_mode & 0777) != 0700) return 5;
        if (!c.LoadCompanyInfo() || c.soft_name != "shop") return 6;
        if (!c.SaveFloatPosition(120, 64)) return 7;  // the program folder refuses the write
        if (c.company_info_path != home + "config/tendrix/compmessage.txt") return 8;
        AppConfig next;  // the next start reads the user's copy, company texts included
        next.SetProgramDir(bin);
        int x = 0, y = 0;
        next.LoadFloatPosition(x, y);
        if (x != 120 || y != 64) return 9;
        if (!next.LoadCompanyInfo() || next.soft_name != "shop") return 10;
        return 0;
    });
    EXPECT_EQ(rc, 0) << "see the numbered rules in the test";
    std::ifstream original(bin + "UIskin/compmessage.txt");
    std::string text((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[config]\nsoft_name=shop\npos_x=5\n");  // the installed file is untouched
    fs::permissions(root / "opt/tendrix", fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(bin + "UIskin", fs::perms::owner_write, fs::perm_options::add);
}
