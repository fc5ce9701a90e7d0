// tendrix-cli's platform commands against the sandbox: output lines and exit codes
// (0 success, 1 refusal, 2 network failure).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform_api/platform_client.h"
#include "tests/platform_api/net_helpers.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

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
    CliRun WithBase(const std::string& args) {
        return RunCli("--api-base " + sandbox_.base_url() + " " + args);
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
    const std::string login_ = "--user demo --password demo ";
};

TEST_F(Cli, LoginPrintsIdentityAndRefusalExitsOne) {
    CliRun r = WithBase("login demo demo");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "M100001\nsandbox-demo-secret\nC1001\n");
    r = WithBase("login demo nope");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "用户名或密码错误\n");
    // The address may come from the environment instead of --api-base.
    r = RunCli("login demo demo", "TENDRIX_API_BASE=" + sandbox_.base_url());
    EXPECT_EQ(r.code, 0) << r.err;
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
    r = WithBase("--merchant M100001 --client C1001 --secret sandbox-demo-secret refund " + order +
                 " 2.34 --reason '顾客 退货'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Line(r.out, "本次退款金额："), "2.34元");
    EXPECT_EQ(Line(r.out, "支付状态："), "部分退款（11）");
    r = WithBase(login_ + "close " + order);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "订单状态为部分退款，不能撤销\n");

    r = WithBase(login_ + "pay 1.00 281000000002000007");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "余额不足\n");
    r = WithBase(login_ + "pay 0.03 281000000003000001");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, std::string(kNetworkFailureText) + "\n");
    r = RunCli("--api-base http://127.0.0.1:" + std::to_string(test::ClosedPort()) + " login a b");
    EXPECT_EQ(r.code, 2);

    r = WithBase("pay 1.00 281000000004000001");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--merchant ID --client ID --secret KEY"), std::string::npos) << r.err;
    r = WithBase(login_ + "pay 1.234 281000000004000001");
    EXPECT_EQ(r.code, 1);
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
