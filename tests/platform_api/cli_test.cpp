// tendrix-cli's platform commands against the sandbox: output lines, exit codes (0 success,
// 1 refusal or usage error, 2 network failure), argument orders and where secrets come from.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform_api/platform_client.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

struct CliRun {
    int code = -1;
    std::string out, err;
};

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        cli_ = std::string(std::getenv("TENDRIX_BIN_DIR") ? std::getenv("TENDRIX_BIN_DIR") : ".") +
               "/tendrix-cli";
        if (::access(cli_.c_str(), X_OK) != 0) GTEST_SKIP() << "tendrix-cli not built";
    }
    // Runs tendrix-cli with the arguments (already quoted for the shell).
    CliRun RunCli(const std::string& args, const std::string& env = "") {
        const std::string command = env + " '" + cli_ + "' " + args + " >'" + (dir_ / "out") +
                                    "' 2>'" + (dir_ / "err") + "'";
        const int status = std::system(command.c_str());
        CliRun r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Read("out");
        r.err = Read("err");
        return r;
    }
    // Secrets from the environment, as an installer's script gives them.
    CliRun WithBase(const std::string& args) {
        return RunCli("--api-base " + sandbox_.base_url() + " " + args,
                      "TENDRIX_PASSWORD=demo TENDRIX_SECRET=sandbox-demo-secret");
    }
    std::string Read(const std::string& name) {
        std::stringstream s;
        s << std::ifstream(dir_ / name).rdbuf();
        return s.str();
    }
    static std::string Line(const std::string& text, const std::string& label) {
        const size_t at = text.find(label);
        if (at == std::string::npos) return {};
        const size_t start = at + label.size();
        return text.substr(start, text.find('\n', start) - start);
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    std::string cli_;
    const std::string login_ = "--user demo ";
};

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
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\n密钥：sandbox-demo-secret\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("warning"), std::string::npos);
    r = WithBase("login demo nope");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("用户名或密码错误\n"), std::string::npos) << r.err;
    // The address may come from the environment instead of --api-base.
    r = RunCli("login demo", "TENDRIX_PASSWORD=demo TENDRIX_API_BASE=" + sandbox_.base_url());
    EXPECT_EQ(r.code, 0) << r.err;
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
    r = RunCli("frobnicate");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("unknown command frobnicate"), std::string::npos) << r.err;
    EXPECT_EQ(RunCli("--api-base " + sandbox_.base_url()).code, 1);
    EXPECT_EQ(WithBase(login_ + "pay 1.00 281000000006000002 --type").code, 1);
    r = WithBase(login_ + "pay 1.00 '2810000000&totalFee=1'");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("letters and digits only"), std::string::npos) << r.err;
    r = RunCli("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("refund ORDER_ID"), std::string::npos);
}

TEST(CliSecrets, SecretFromTheEnvironmentIsNotInTheProcessList) {
    // The creation answer is held for 1.5 s: long enough to look at the process list.
    test::SandboxProcess::Options options;
    options.extra_args = {"--late-answer-ms", "1500"};
    test::SandboxProcess sandbox(options);
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    const std::string cli = test::SandboxProcess::BinaryPath().replace(
        test::SandboxProcess::BinaryPath().rfind("tendrix-sandbox"), 15, "tendrix-cli");
    if (::access(cli.c_str(), X_OK) != 0) GTEST_SKIP() << "tendrix-cli not built";
    if (::access("/bin/ps", X_OK) != 0) GTEST_SKIP() << "ps is not installed (package procps)";
    test::TempDir dir;
    const std::string secret = "sandbox-demo-secret";
    // The secret travels only in the environment; the shell execs the program under its pid.
    const std::string command =
        "exec '" + cli + "' --api-base " + sandbox.base_url() +
        " --merchant M100001 --client C1001 pay 1.00 281000000007000009 >'" + (dir / "out") +
        "' 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    setenv("TENDRIX_SECRET", secret.c_str(), 1);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ);
    unsetenv("TENDRIX_SECRET");
    ASSERT_EQ(spawned, 0);
    // What any user sees: the process's arguments, untruncated.
    const std::string ps = "ps -ww -o args= -p " + std::to_string(pid);
    std::string own;
    bool seen = false, ended = false;
    int status = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!seen && !ended && std::chrono::steady_clock::now() < give_up) {
        own.clear();
        if (FILE* listing = ::popen(ps.c_str(), "r")) {
            char buf[4096];
            while (std::fgets(buf, sizeof buf, listing)) own += buf;
            ::pclose(listing);
        }
        seen = own.rfind(cli + " --api-base", 0) == 0;
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) ::waitpid(pid, &status, 0);
    EXPECT_TRUE(seen) << own;
    EXPECT_EQ(own.find(secret), std::string::npos) << own;
    std::stringstream out;
    out << std::ifstream(dir / "out").rdbuf();
    // The secret from the environment signed the order: the platform accepted it.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out.str();
    EXPECT_NE(out.str().find("订单号："), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("warning"), std::string::npos) << out.str();
}

TEST_F(Cli, PayQueryRefundAndExitCodes) {
    CliRun r = WithBase(login_ + "pay 12.34 281000000001000001 --wait");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string out_order = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(out_order.size(), 24u);
    EXPECT_EQ(Line(r.out, "支付状态："), "已付款（7）");
    const std::string order = Line(r.out, "订单号：");

    r = WithBase(login_ + "query --out-order " + out_order);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Line(r.out, "订单号："), order);
    r = WithBase("--merchant M100001 --client C1001 refund " + order +
                 " 2.34 --reason '顾客 退货'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Line(r.out, "本次退款金额："), "2.34元");

    r = WithBase(login_ + "pay 1.00 281000000002000007");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "余额不足\n");
    r = WithBase(login_ + "pay 0.03 281000000003000001");
    EXPECT_EQ(r.code, 2);
    // The failure text, then libcurl's reason for the installer.
    EXPECT_EQ(r.err.rfind(std::string(kNetworkFailureText) + "\ntendrix-cli: ", 0), 0u) << r.err;

    r = WithBase("pay 1.00 281000000004000001");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--merchant ID --client ID --secret KEY"), std::string::npos) << r.err;
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
    r = WithBase(login_ + "stats " + period);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "2000-01-01 00:00:00----2099-12-31 23:59:59\n5.00\t1\t支付宝\n");
    r = WithBase(login_ + "orders " + period + " --page 9");
    EXPECT_EQ(r.code, 1);
    r = WithBase(login_ + "orders --start 2000 --end 20991231235959");
    EXPECT_EQ(r.code, 1);
}

}  // namespace
}  // namespace tendrix
