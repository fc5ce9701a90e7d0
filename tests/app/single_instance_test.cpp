// Two real processes of the program: the same title refuses the second, another runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Starts the program from an installation of its own, `root`/`name`, whose company file
// names the shop `title`; every instance shares the runtime folder `root`/run.
pid_t Launch(const tendrix::test::TempDir& root, const std::string& name,
             const std::string& title) {
    const std::string exe = root / (name + "/bin/tendrix");
    fs::create_directories(root / (name + "/bin/UIskin"));
    fs::copy_file(TENDRIX_EXE, exe);
    std::ofstream(root / (name + "/bin/UIskin/compmessage.txt"))
        << "[config]\nsoft_name=" << title << "\n";
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
        execl(exe.c_str(), exe.c_str(), nullptr);
        _exit(127);
    }
    return pid;
}

// Exit code if the process ends within `limit`, else -1 (still running).
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

TEST(SingleInstance, SameTitleLeavesSilentlyAnotherTitleRuns) {
    tendrix::test::TempDir root;
    const std::string runtime = root / "run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const pid_t first = Launch(root, "a", "店铺甲");
    const auto locked = [&] {
        return std::ranges::any_of(fs::directory_iterator(runtime),
                                   [](const auto& e) { return e.path().extension() == ".lock"; });
    };
    for (int i = 0; i < 200 && !locked(); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_EQ(WaitExit(first, 200ms), -1) << "first instance should keep running";

    const pid_t second = Launch(root, "a2", "店铺甲");
    EXPECT_EQ(WaitExit(second, 20s), 0);

    const pid_t other = Launch(root, "b", "店铺乙");
    EXPECT_EQ(WaitExit(other, 1500ms), -1) << "another title must run beside the first";
    Stop(other);
    Stop(first);
}
