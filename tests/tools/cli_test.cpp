// tendrix-cli's platform commands against the sandbox: output lines, exit codes (0 success,
// 1 refusal or usage error, 2 network failure), argument orders and where secrets come from.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform_api/platform_client.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct CliRun {
    int code = -1;
    std::string out, err;
};

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        if (::access(cli_.c_str(), X_OK) != 0) GTEST_SKIP() << "tendrix-cli not built";
    }
    // Runs tendrix-cli with the arguments (already quoted for the shell).
    CliRun RunCli(const std::string& args, const std::string& env = "") {
        const std::string command = env + " '" + cli_ + "' " + args + " >'" + (dir_ / "out") +
                                    "' 2>'" + (dir_ / "err") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(dir_ / "out"),
                ReadText(dir_ / "err")};
    }
    // Secrets from the environment, as an installer's script gives them.
    CliRun WithBase(const std::string& args) {
        return RunCli("--api-base " + sandbox_.base_url() + " " + args,
                      "TENDRIX_PASSWORD=demo TENDRIX_SECRET=sandbox-demo-secret");
    }
    static std::string Line(const std::string& text, const std::string& label) {
        const size_t at = text.find(label);
        if (at == std::string::npos) return {};
        const size_t start = at + label.size();
        return text.substr(start, text.find('\n', start) - start);
    }
    // The exit code, and `text` in what the program wrote to stderr.
    static void ExpectExit(const CliRun& r, int code, const std::string& text = "") {
        EXPECT_EQ(r.code, code) << r.err;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }

    // Payment codes ending in 9 have their creation answer held for 1.5 s.
    test::SandboxProcess sandbox_{{"", {"--late-answer-ms", "1500"}}};
    test::TempDir dir_;
    const char* bin_ = std::getenv("TENDRIX_BIN_DIR");
    const std::string cli_ = std::string(bin_ ? bin_ : ".") + "/tendrix-cli";
    const std::string login_ = "--user demo ";
};
class CliSecrets : public Cli {};

TEST_F(Cli, LoginLabelsItsLinesAndHidesTheKeyUnlessAsked) {
    const std::string labelled =
        "商户号：M100001\n密钥：（已隐藏，加 --show-secret 显示）\n设备号：C1001\n";
    CliRun r = RunCli("--api-base " + sandbox_.base_url() + " login demo", "TENDRIX_PASSWORD=demo");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind(labelled, 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("sandbox-demo-secret"), std::string::npos);
    EXPECT_EQ(r.err, "");
    // The password as an argument still works, with a warning.
    r = WithBase("login demo demo --show-secret");
    ExpectExit(r, 0, "warning");
    EXPECT_NE(r.out.find("\n密钥：sandbox-demo-secret\n"), std::string::npos) << r.out;
    ExpectExit(WithBase("login demo nope"), 1, "用户名或密码错误\n");
    // The address may come from the environment instead of --api-base.
    ExpectExit(
        RunCli("login demo", "TENDRIX_PASSWORD=demo TENDRIX_API_BASE=" + sandbox_.base_url()), 0);
}

TEST_F(Cli, CommandIsTheFirstArgumentThatIsNoOptionValue) {
    CliRun r = WithBase(login_ + "pay 3.00 281000000006000001 --wait");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string order = Line(r.out, "订单号：");
    std::ofstream(dir_ / "secret") << "sandbox-demo-secret\n";
    // Option values that name commands ("pay", "query") and the options on both sides.
    r = RunCli("--user pay --reason query --merchant M100001 refund " + order +
               " 0.00 --client C1001 --secret-file '" + (dir_ / "secret") + "' --api-base " +
               sandbox_.base_url());
    EXPECT_EQ(r.code, 0) << r.err;
    // "0.00" refunds all, as "0" does.
    EXPECT_EQ(Line(r.out, "本次退款金额："), "3.00元") << r.out;
    EXPECT_EQ(r.err, "");

    // Usage errors exit 1: unknown command, no command, an option without its value.
    ExpectExit(RunCli("frobnicate"), 1, "unknown command frobnicate");
    ExpectExit(RunCli("--api-base " + sandbox_.base_url()), 1);
    ExpectExit(WithBase(login_ + "pay 1.00 281000000006000002 --type"), 1);
    ExpectExit(WithBase(login_ + "pay 1.00 '2810000000&totalFee=1'"), 1, "letters and digits only");
    r = RunCli("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("refund ORDER_ID"), std::string::npos);
}

// The held creation answer leaves time to look at the process's arguments.
TEST_F(CliSecrets, SecretFromTheEnvironmentIsNotInTheProcessList) {
    const std::string secret = "sandbox-demo-secret";
    // The secret travels only in the environment; the shell execs the program under its pid.
    const std::string command =
        "exec '" + cli_ + "' --api-base " + sandbox_.base_url() +
        " --merchant M100001 --client C1001 pay 1.00 281000000007000009 >'" + (dir_ / "out") +
        "' 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    setenv("TENDRIX_SECRET", secret.c_str(), 1);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ);
    unsetenv("TENDRIX_SECRET");
    ASSERT_EQ(spawned, 0);
    // What any user sees (ps reads the same file): the process's arguments, untruncated.
    const std::string args = "/proc/" + std::to_string(pid) + "/cmdline";
    std::string own;
    bool seen = false, ended = false;
    int status = 0;
    for (int tries = 0; !seen && !ended && tries < 2000; ++tries) {
        own = ReadText(args);
        std::replace(own.begin(), own.end(), '\0', ' ');
        seen = own.rfind(cli_ + " --api-base", 0) == 0;
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) ::waitpid(pid, &status, 0);
    EXPECT_TRUE(seen) << own;
    EXPECT_EQ(own.find(secret), std::string::npos) << own;
    const std::string out = ReadText(dir_ / "out");
    // The secret from the environment signed the order: the platform accepted it.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_NE(out.find("订单号："), std::string::npos) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
}

TEST_F(Cli, PayQueryRefundAndExitCodes) {
    CliRun r = WithBase(login_ + "pay 12.34 281000000001000001 --wait");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string out_order = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(out_order.size(), 24u);
    EXPECT_EQ(Line(r.out, "支付状态："), "已付款（7）");
    const std::string order = Line(r.out, "订单号：");

    r = WithBase(login_ + "query --out-order " + out_order);
    ExpectExit(r, 0);
    EXPECT_EQ(Line(r.out, "订单号："), order);
    r = WithBase("--merchant M100001 --client C1001 refund " + order +
                 " 2.34 --reason '顾客 退货'");
    ExpectExit(r, 0);
    EXPECT_EQ(Line(r.out, "本次退款金额："), "2.34元");
    EXPECT_NE(r.out.find("顾客 退货"), std::string::npos) << r.out;

    r = WithBase(login_ + "pay 1.00 281000000002000007");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "余额不足\n");
    r = WithBase(login_ + "pay 0.03 281000000003000001");
    EXPECT_EQ(r.code, 2);
    // The failure text, then libcurl's reason for the installer.
    EXPECT_EQ(r.err.rfind(std::string(kNetworkFailureText) + "\ntendrix-cli: ", 0), 0u) << r.err;

    ExpectExit(WithBase("pay 1.00 281000000004000001"), 1,
               "--merchant ID --client ID --secret KEY");
}

TEST_F(Cli, PreCreateOrdersAndStatistics) {
    CliRun r = WithBase(login_ + "precreate 8.88 微信");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Line(r.out, "支付链接：").rfind(sandbox_.base_url() + "/qr/", 0), 0u) << r.out;
    ASSERT_EQ(WithBase(login_ + "pay 5 281000000005000000 --wait").code, 0);

    const std::string period = "--start 20000101000000 --end 20991231235959";
    r = WithBase(login_ + "orders " + period + " --state 7");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\t5.00\t5.00\t\t支付宝\t已付款\t"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("8.88"), std::string::npos) << r.out;  // pending: not listed
    r = WithBase(login_ + "stats " + period);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "2000-01-01 00:00:00----2099-12-31 23:59:59\n5.00\t1\t支付宝\n");
    ExpectExit(WithBase(login_ + "orders " + period + " --page 9"), 1);
    ExpectExit(WithBase(login_ + "orders --start 2000 --end 20991231235959"), 1);
}

}  // namespace
}  // namespace tendrix
