// PostForm over loopback (the real sandbox over HTTP and HTTPS, a real tinyproxy) and the order
// operations whose rules are the client's own. Paying, refunding, cancelling and a refused or
// silent platform are followed in tests/checkout/ and tests/accounts/, where the cashier sees them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/diag_log.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/link_security.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"
#include "tests/platform_api/tls_helpers.h"
#include "tests/support/loopback.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;
using namespace tendrix::platform_api;

namespace tendrix {
namespace {

using test::SandboxProcess;

// Logs the client in as the demo cashier; false when the sandbox refused.
bool LogIn(PlatformClient& client) {
    const TextList list = ParseLoginAnswer(client.Login("demo", "demo")).value;
    if (list.size() < 3) return false;
    client.set_identity({list[0], list[2], list[1], "demo"});
    return true;
}

// A payment made with the merchant order number of this second.
PlatformAnswer Pay(const PlatformClient& client, const std::string& fen, const std::string& code,
                   const std::string& type = "") {
    return client.CreateOrder(MakeOutOrderId(std::time(nullptr), code), fen, code, type);
}

// The text after `label` on its line of an order answer; "" when absent.
std::string Field(const TextList& lines, const std::string& label) {
    for (const std::string& line : lines) {
        if (line.rfind(label, 0) == 0)
            return line.substr(label.size(), line.size() - label.size() - 2);
    }
    return "";
}

std::string OrderId(const PlatformAnswer& answer) {
    return Field(ParseOrderAnswer(answer).value, "订单号：");
}

class PostFormSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        ASSERT_TRUE(LogIn(client_));
    }
    SandboxProcess sandbox_;
    PlatformClient client_{"", "", "", "", sandbox_.base_url()};
};
class Operations : public PostFormSandbox {};

// A body beyond 1024 bytes is sent whole: the sandbox checks the signature over everything it
// received, so a cut body would be refused as a bad signature rather than as a wrong password.
// An answer over 100 KB (0.05) is read whole, and the next call's answer starts empty; an empty
// answer (0.04) is the malformed-answer text. The readers' faults on the sandbox's malformed
// answers (0.01, 0.02): Parsers.OrderAnswerFailures and
// ResultSessionTest.UnreadableCreationAnswerKeepsTheMerchantNumber; a dropped connection (0.03):
// Cli.PayQueryRefundAndExitCodes.
TEST_F(PostFormSandbox, LongBodyAndAnswersPassWholeAndAnEmptyAnswerIsUnreadable) {
    EXPECT_EQ(ParseLoginAnswer(client_.Login("demo", std::string(1500, 'p'))).message,
              "用户名或密码错误");

    const PlatformAnswer answer = Pay(client_, "5", "281234567890123450");
    EXPECT_GT(answer.value.size(), 100u * 1024);
    const std::string id = OrderId(answer);
    ASSERT_NE(id, "");
    const PlatformAnswer queried = client_.QueryOrder(id, "");
    EXPECT_LT(queried.value.size(), 2000u);
    EXPECT_EQ(queried.value.front(), '{');
    EXPECT_EQ(queried.value.back(), '}');
    EXPECT_EQ(OrderId(queried), id);

    const PlatformAnswer empty = Pay(client_, "4", "281234567890123450");
    EXPECT_EQ(empty.error, PlatformError::kEmpty);
    EXPECT_EQ(empty.value, "");
    EXPECT_EQ(ParseOrderAnswer(empty).message, kIllegalFormatText);
}

// The order type travels (a WeChat code with the deposit type), and a query by the merchant
// order number finds the order whatever platform number comes with it.
TEST_F(Operations, OrderTypeSentAndQueryByMerchantNumberWinsOverPlatformNumber) {
    const std::string code = "131000000001000001";
    const std::string out = MakeOutOrderId(std::time(nullptr), code);
    ASSERT_NE(OrderId(client_.CreateOrder(out, "800", code, "109")), "");
    const TextList lines = ParseOrderAnswer(client_.QueryOrder("no-such-order", out)).value;
    EXPECT_EQ(Field(lines, "支付状态："), "已付款（7）");
    EXPECT_EQ(Field(lines, "支付方式："), "微信预付款");
    const PlatformResult<TextList> none = ParseOrderAnswer(client_.QueryOrder("no-such-order", ""));
    EXPECT_EQ(none.error, PlatformError::kNoSuchOrder);
    EXPECT_EQ(none.message, "订单不存在");
}

TEST_F(Operations, CloseAndOverlongDescriptions) {
    // A pending order closed with an empty description (sent as "description=").
    const std::string id = OrderId(Pay(client_, "100", "281000000002000005"));
    const TextList lines = ParseOrderAnswer(client_.CloseOrder(id, "")).value;
    EXPECT_EQ(Field(lines, "支付状态："), "已取消（4）");
    EXPECT_NE(Field(lines, "取消时间："), "");

    // 67 Chinese characters are 201 UTF-8 bytes: nothing is sent, and the cashier sees what
    // an answer without an order shows; 66 characters (198 bytes) go through.
    std::string reason;
    for (int i = 0; i < 67; ++i) reason += "退";
    for (const PlatformAnswer& answer :
         {client_.CloseOrder(id, reason), client_.RefundOrder("00", id, reason)}) {
        EXPECT_EQ(answer.error, PlatformError::kRefusedInput);
        EXPECT_EQ(ParseOrderAnswer(answer).message, kIllegalFormatText);
    }
    reason.resize(198);
    EXPECT_EQ(client_.CloseOrder(id, reason).value.substr(0, 1), "{");
}

// Sends this thread's diagnostic log to a directory of its own while alive.
class LogToDirectory {
  public:
    LogToDirectory() : saved_(diag::Directory()) { diag::SetDirectory(dir_.path()); }
    ~LogToDirectory() { diag::SetDirectory(saved_); }
    // Everything the log files hold, in one text.
    std::string Text() const {
        std::stringstream log;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            log << std::ifstream(entry.path()).rdbuf();
        return log.str();
    }

  private:
    test::TempDir dir_;
    std::string saved_;
};

TEST_F(PostFormSandbox, DiagnosticLogOfASaleHoldsNoSecret) {
    // A whole sale: login, a wrong password, payment by code, query, refund. The log must
    // name every exchange yet hold neither the password, the digest derived from it, the
    // signing key, the payment code nor the buyer's id.
    const std::string code = "281234567890123451", password = "Pw-Not-In-Log-42";
    LogToDirectory log;
    client_.Login("demo", "demo");
    client_.Login("demo", password);
    const std::string order = OrderId(Pay(client_, "100", code));
    ASSERT_NE(order, "");
    const PlatformAnswer queried = client_.QueryOrder(order, "");
    ASSERT_NE(queried.value.find("buyerLoginId"), std::string::npos) << queried.message;
    client_.RefundOrder("00", order, "");
    const std::string text = log.Text();
    for (const char* shown :
         {"/plugOrder/showLogin", "/plugOrder/create", "/plugOrder/query", "/plugOrder/refund",
          "userPwd=***", "payCode=***3451", "\"secret\":\"***\""}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown;
    }
    for (const std::string& secret :
         {password, Md5HexOf("demo" + password), Md5HexOf("demodemo"), client_.identity().secret,
          code, std::string("buyer***@example.com"), std::string("signature=")}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << secret << " in\n" << text;
    }
}

TEST(LinkSecurity, LoginDigestMaskedWhateverThePathPrefixAndPlainHttpWarned) {
    const std::string body =
        "userName=6465&userPwd=pw&merchantId=0123abcd&deviceType=3&signature=S";
    EXPECT_EQ(FormItemsForLog(body, "/api/v2/plugOrder/showLogin"),
              "userName=6465&userPwd=***&merchantId=***&deviceType=3");
    EXPECT_EQ(FormItemsForLog("merchantId=M1&payCode=12&clientId=C", "/x/plugOrder/create"),
              "merchantId=M1&payCode=***&clientId=C");

    for (const char* loud :
         {"http://192.168.1.20:8080/api", "HTTP://pay.example.com", "http://127.evil.example"})
        EXPECT_NE(PlainHttpWarning(loud), "") << loud;
    for (const char* quiet :
         {"https://pay.example.com", "http://127.0.0.1:8600", "http://localhost",
          "http://[::1]:80/x", "http://user@localhost:1", ""})
        EXPECT_EQ(PlainHttpWarning(quiet), "") << quiet;
}

// HTTPS against the sandbox with a private certificate authority.
TEST(PostFormTls, VerifiedWithTheCaFileRefusedWithoutItOrUnderAnotherName) {
    test::TestCertificates certs;
    if (!certs.ok()) GTEST_SKIP() << certs.error();
    SandboxProcess::Options options;
    options.extra_args = certs.SandboxArgs();
    SandboxProcess sandbox(options);
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    const std::string port = std::to_string(sandbox.port());
    PlatformClient client("", "", "", "", "https://localhost:" + port);
    LogToDirectory log;
    struct ResetCa {
        ~ResetCa() { SetPlatformCaFile(""); }
    } reset;

    // The system store does not know the private authority: the network failure, with the
    // reason in the diagnostic log.
    SetPlatformCaFile("");
    PlatformAnswer answer = client.Login("demo", "demo");
    EXPECT_EQ(answer.error, PlatformError::kNetwork);
    EXPECT_NE(answer.detail.find("certificate"), std::string::npos) << answer.detail;
    EXPECT_NE(log.Text().find(answer.detail), std::string::npos) << log.Text();

    // Trusted through the CA file: a whole order.
    SetPlatformCaFile(certs.ca_file());
    ASSERT_TRUE(LogIn(client));
    answer = Pay(client, "100", "281234567890123450");
    EXPECT_EQ(answer.detail, "");
    const PlatformResult<TextList> order = ParseOrderAnswer(answer);
    EXPECT_GE(order.value.size(), 3u) << order.message;

    // The certificate names localhost, not 127.0.0.1.
    PlatformClient other_name("", "", "", "", "https://127.0.0.1:" + port);
    answer = other_name.Login("demo", "demo");
    EXPECT_EQ(answer.message, kNetworkFailureText);
    EXPECT_NE(answer.detail.find("127.0.0.1"), std::string::npos) << answer.detail;

    // A connection verified with the CA file is not reused by an exchange without it.
    SetPlatformCaFile("");
    EXPECT_EQ(client.Login("demo", "demo").error, PlatformError::kNetwork);
}

// A real tinyproxy with basic authentication.
class TinyproxyProcess {
  public:
    TinyproxyProcess(const std::string& user, const std::string& password) {
        if (::access("/usr/bin/tinyproxy", X_OK) != 0) {
            error_ = "tinyproxy is not installed";
            return;
        }
        port_ = test::ClosedPort();
        std::ofstream conf(dir_ / "tinyproxy.conf");
        if (::geteuid() == 0) conf << "User nobody\nGroup nogroup\n";
        conf << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
             << "Allow 127.0.0.1\nLogLevel Info\nBasicAuth " << user << " " << password << "\n";
        conf.close();
        const std::string command = "exec /usr/bin/tinyproxy -d -c '" + (dir_ / "tinyproxy.conf") +
                                    "' >'" + (dir_ / "tinyproxy.log") + "' 2>&1";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ))
            pid_ = -1;
        for (int i = 0; pid_ > 0 && i < 500 && !test::AcceptsOnLoopback(port_); ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid_ <= 0 || !test::AcceptsOnLoopback(port_))
            error_ = "tinyproxy did not listen: " + Log();
    }
    ~TinyproxyProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    std::string Log() const {
        std::ifstream in(dir_ / "tinyproxy.log");
        return {std::istreambuf_iterator<char>(in), {}};
    }

  private:
    test::TempDir dir_;
    std::string error_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The proxy's log shows the request went through it; without the proxy's credentials the
// platform is not reached.
TEST(PostFormProxy, ThroughTinyproxyWithBasicAuthentication) {
    SandboxProcess sandbox;
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    TinyproxyProcess proxy("cashier", "s3cret");
    if (!proxy.ok()) GTEST_SKIP() << proxy.error();
    const std::string port = std::to_string(proxy.port());
    PlatformClient good("127.0.0.1", port, "cashier", "s3cret", sandbox.base_url());
    ASSERT_TRUE(LogIn(good));
    EXPECT_NE(proxy.Log().find("/plugOrder/showLogin"), std::string::npos) << proxy.Log();

    // A proxy address that nobody serves is a network failure even though the platform is up.
    PlatformClient dead("127.0.0.1", std::to_string(test::ClosedPort()), "", "",
                        sandbox.base_url());
    EXPECT_EQ(dead.Login("demo", "demo").error, PlatformError::kNetwork);

    // Without credentials (or with a password but no user: ignored) the proxy refuses; the
    // proxy's page is not a platform answer.
    PlatformClient no_user("127.0.0.1", port, "", "s3cret", sandbox.base_url());
    EXPECT_EQ(no_user.proxy_credentials(), "");
    EXPECT_EQ(PlatformClient("", port, "cashier", "s3cret").proxy_address(), "");  // no host
    EXPECT_FALSE(LogIn(no_user));
    PlatformClient wrong("127.0.0.1", port, "cashier", "wrong", sandbox.base_url());
    EXPECT_FALSE(LogIn(wrong));
}

}  // namespace
}  // namespace tendrix
