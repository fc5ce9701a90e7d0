// PostForm over loopback: the real sandbox (HTTP and HTTPS), a refused port, a server that
// never answers, and a real tinyproxy with and without proxy authentication.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/diag_log.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/link_security.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"
#include "tests/platform_api/net_helpers.h"
#include "tests/platform_api/tls_helpers.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;
using namespace tendrix::platform_api;

namespace tendrix {
namespace {

using test::SandboxProcess;

PlatformClient Direct(const std::string& base) {
    return PlatformClient("", "", "", "", base);
}

// Logs the client in as the demo cashier; false when the sandbox refused.
bool LogIn(PlatformClient& client) {
    const TextList list = ParseLoginAnswer(client.Login("demo", "demo")).value;
    if (list.size() < 3) return false;
    client.set_identity({list[0], list[2], list[1], "demo"});
    return true;
}

class PostFormSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        ASSERT_TRUE(LogIn(client_));
    }
    SandboxProcess sandbox_;
    PlatformClient client_ = Direct(sandbox_.base_url());
};

// A payment made with the merchant order number of this second.
PlatformAnswer Pay(const PlatformClient& client, const std::string& fen, const std::string& code) {
    return client.CreateOrder(MakeOutOrderId(std::time(nullptr), code), fen, code, "");
}

TEST_F(PostFormSandbox, LongAnswerInManyChunksThenASecondCallStartsEmpty) {
    // 0.05: answer over 100 KB.
    const PlatformAnswer answer = Pay(client_, "5", "281234567890123450");
    EXPECT_GT(answer.value.size(), 100u * 1024);
    const PlatformResult<TextList> created = ParseOrderAnswer(answer);
    ASSERT_TRUE(created.ok()) << created.message;
    const std::string order_line = created.value[2];

    const std::string label = "订单号：";
    const PlatformAnswer queried = client_.QueryOrder(
        order_line.substr(label.size(), order_line.size() - label.size() - 2), "");
    EXPECT_LT(queried.value.size(), 2000u);
    EXPECT_EQ(queried.value.substr(0, 1), "{");
    EXPECT_EQ(queried.value.back(), '}');
    const PlatformResult<TextList> lines = ParseOrderAnswer(queried);
    ASSERT_TRUE(lines.ok()) << lines.message;
    EXPECT_EQ(lines.value[2], order_line);
}

TEST_F(PostFormSandbox, BodyBeyond1024BytesIsSentWhole) {
    // The sandbox checks the signature over everything it received: a cut body would be
    // refused as a bad signature rather than as a wrong password.
    EXPECT_EQ(ParseLoginAnswer(client_.Login("demo", std::string(1500, 'p'))).message,
              "用户名或密码错误");
}

// The transport's faults; the readers' on the sandbox's malformed answers (0.01, 0.02) are
// Parsers.OrderAnswerFailures and, where the cashier sees them,
// ResultSessionTest.UnreadableCreationAnswerKeepsTheMerchantNumber.
TEST_F(PostFormSandbox, FaultAmounts) {
    const std::string code = "281234567890123450";
    PlatformAnswer answer = Pay(client_, "3", code);
    EXPECT_EQ(answer.error, PlatformError::kNetwork);
    EXPECT_EQ(answer.message, kNetworkFailureText);

    answer = Pay(client_, "4", code);
    EXPECT_EQ(answer.error, PlatformError::kEmpty);
    EXPECT_EQ(answer.value, "");
    EXPECT_EQ(ParseOrderAnswer(answer).message, kIllegalFormatText);
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
    const TextList lines = ParseOrderAnswer(Pay(client_, "100", code)).value;
    ASSERT_GE(lines.size(), 3u);
    const std::string label = "订单号：";
    const std::string order = lines[2].substr(label.size(), lines[2].size() - label.size() - 2);
    const PlatformAnswer queried = client_.QueryOrder(order, "");
    ASSERT_NE(queried.value.find("buyerLoginId"), std::string::npos) << queried.message;
    client_.RefundOrder("00", order, "");
    const std::string text = log.Text();
    for (const char* path : {"showLogin", "create", "query", "refund"}) {
        EXPECT_NE(text.find(std::string("/plugOrder/") + path), std::string::npos) << path;
    }
    EXPECT_NE(text.find("userPwd=***"), std::string::npos);
    EXPECT_NE(text.find("payCode=***3451"), std::string::npos);
    EXPECT_NE(text.find("\"secret\":\"***\""), std::string::npos);
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

    EXPECT_FALSE(PlainHttpWarning("http://192.168.1.20:8080/api").empty());
    EXPECT_FALSE(PlainHttpWarning("HTTP://pay.example.com").empty());
    EXPECT_FALSE(PlainHttpWarning("http://127.evil.example").empty());
    for (const char* quiet :
         {"https://pay.example.com", "http://127.0.0.1:8600", "http://localhost",
          "http://[::1]:80/x", "http://user@localhost:1", ""}) {
        EXPECT_EQ(PlainHttpWarning(quiet), "") << quiet;
    }
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
    PlatformClient client = Direct("https://localhost:" + port);
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
    PlatformClient other_name = Direct("https://127.0.0.1:" + port);
    answer = other_name.Login("demo", "demo");
    EXPECT_EQ(answer.message, kNetworkFailureText);
    EXPECT_NE(answer.detail.find("127.0.0.1"), std::string::npos) << answer.detail;

    // A connection verified with the CA file is not reused by an exchange without it.
    SetPlatformCaFile("");
    EXPECT_EQ(client.Login("demo", "demo").error, PlatformError::kNetwork);
}

TEST(PostForm, RefusedPortGivesTheFailureTextAndASilentServerTimesOut) {
    PlatformClient client = Direct("http://127.0.0.1:" + std::to_string(test::ClosedPort()));
    const PlatformAnswer answer =
        client.PostForm("clientId=C&signature=x", client.Url(paths::kQuery));
    EXPECT_EQ(answer.error, PlatformError::kNetwork);
    EXPECT_EQ(answer.message, kNetworkFailureText);

    test::SilentServer silent;
    PlatformClient waiting = Direct(silent.base_url());
    EXPECT_EQ(waiting.timeout(), PlatformClient::kDefaultTimeout);
    waiting.set_timeout(std::chrono::milliseconds(300));
    EXPECT_EQ(waiting.PostForm("a=b", waiting.Url(paths::kCreate)).error, PlatformError::kNetwork);
}

TEST(PostFormProxy, ThroughTinyproxyWithoutAuthentication) {
    SandboxProcess sandbox;
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    test::TinyproxyProcess proxy("", "");
    if (!proxy.ok()) GTEST_SKIP() << proxy.error();
    PlatformClient client("127.0.0.1", std::to_string(proxy.port()), "", "", sandbox.base_url());
    ASSERT_TRUE(LogIn(client));
    EXPECT_NE(proxy.Log().find("/plugOrder/showLogin"), std::string::npos) << proxy.Log();

    // A proxy address that nobody serves is a network failure even though the platform is up.
    PlatformClient dead("127.0.0.1", std::to_string(test::ClosedPort()), "", "",
                        sandbox.base_url());
    EXPECT_EQ(dead.Login("demo", "demo").error, PlatformError::kNetwork);
}

TEST(PostFormProxy, ThroughTinyproxyWithBasicAuthentication) {
    SandboxProcess sandbox;
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    test::TinyproxyProcess proxy("cashier", "s3cret");
    if (!proxy.ok()) GTEST_SKIP() << proxy.error();
    const std::string port = std::to_string(proxy.port());
    PlatformClient good("127.0.0.1", port, "cashier", "s3cret", sandbox.base_url());
    EXPECT_TRUE(LogIn(good));

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
