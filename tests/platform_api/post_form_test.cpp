// PostForm over loopback: the real sandbox (HTTP and HTTPS), a refused port, a server that
// never answers, and a real tinyproxy with and without proxy authentication.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/diag_log.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/link_security.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"
#include "tests/platform_api/net_helpers.h"
#include "tests/platform_api/tls_helpers.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

namespace tendrix {
namespace {

using test::SandboxProcess;

PlatformClient Direct(const std::string& base) {
    return PlatformClient("", "", "", "", base);
}

// Logs the client in as the demo cashier; false when the sandbox refused.
bool LogIn(PlatformClient& client) {
    std::string answer;
    client.Login(answer, "demo", "demo");
    TextList list;
    ParseLoginAnswer(answer, list);
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

TEST_F(PostFormSandbox, LongAnswerInManyChunksThenASecondCallStartsEmpty) {
    std::string answer;
    client_.CreateOrder(answer, "5", "281234567890123450", "");  // 0.05: answer over 100 KB
    EXPECT_GT(answer.size(), 100u * 1024);
    std::string long_answer = answer;
    TextList lines;
    ParseOrderAnswer(answer, lines);
    ASSERT_EQ(answer, "");
    const std::string order_line = lines[2];

    const std::string label = "订单号：";
    client_.QueryOrder(answer,
                       order_line.substr(label.size(), order_line.size() - label.size() - 2), "");
    EXPECT_LT(answer.size(), 2000u);
    EXPECT_EQ(answer.substr(0, 1), "{");
    EXPECT_EQ(answer.back(), '}');
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "");
    EXPECT_EQ(lines[2], order_line);
}

TEST_F(PostFormSandbox, BodyBeyond1024BytesIsSentWhole) {
    // The sandbox checks the signature over everything it received: a cut body would be
    // refused as a bad signature rather than as a wrong password.
    std::string answer;
    client_.Login(answer, "demo", std::string(1500, 'p'));
    TextList list;
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(answer, "用户名或密码错误");
}

TEST_F(PostFormSandbox, FaultAmounts) {
    std::string answer;
    client_.CreateOrder(answer, "1", "281234567890123450", "");
    ASSERT_EQ(answer.substr(0, 1), "{");
    const std::string malformed = answer;
    TextList lines;
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, malformed);
    EXPECT_TRUE(lines.empty());

    client_.CreateOrder(answer, "2", "281234567890123450", "");
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, kIllegalFormatText);

    client_.CreateOrder(answer, "3", "281234567890123450", "");
    EXPECT_EQ(answer, kNetworkFailureText);

    client_.CreateOrder(answer, "4", "281234567890123450", "");
    EXPECT_EQ(answer, "");
}

// Everything the diagnostic log files hold, in one text.
std::string ReadLogs(const std::string& dir) {
    std::stringstream log;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        log << std::ifstream(entry.path()).rdbuf();
    }
    return log.str();
}

// Sends this thread's diagnostic log to a directory of its own while alive.
class LogToDirectory {
  public:
    LogToDirectory() : saved_(diag::Directory()) { diag::SetDirectory(dir_.path()); }
    ~LogToDirectory() { diag::SetDirectory(saved_); }
    std::string Text() const { return ReadLogs(dir_.path()); }

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
    std::string answer;
    client_.Login(answer, "demo", "demo");
    client_.Login(answer, "demo", password);
    client_.CreateOrder(answer, "100", code, "");
    TextList lines;
    ParseOrderAnswer(answer, lines);
    ASSERT_GE(lines.size(), 3u) << answer;
    const std::string label = "订单号：";
    const std::string order = lines[2].substr(label.size(), lines[2].size() - label.size() - 2);
    client_.QueryOrder(answer, order, "");
    ASSERT_NE(answer.find("buyerLoginId"), std::string::npos) << answer;
    client_.RefundOrder(answer, "00", order, "");
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
    std::string answer;
    client.Login(answer, "demo", "demo");
    EXPECT_EQ(answer, kNetworkFailureText);
    EXPECT_NE(LastTransportError().find("certificate"), std::string::npos) << LastTransportError();
    EXPECT_NE(log.Text().find(LastTransportError()), std::string::npos) << log.Text();

    // Trusted through the CA file: a whole order.
    SetPlatformCaFile(certs.ca_file());
    ASSERT_TRUE(LogIn(client));
    client.CreateOrder(answer, "100", "281234567890123450", "");
    TextList lines;
    ParseOrderAnswer(answer, lines);
    EXPECT_GE(lines.size(), 3u) << answer;
    EXPECT_EQ(LastTransportError(), "");

    // The certificate names localhost, not 127.0.0.1.
    PlatformClient other_name = Direct("https://127.0.0.1:" + port);
    other_name.Login(answer, "demo", "demo");
    EXPECT_EQ(answer, kNetworkFailureText);
    EXPECT_NE(LastTransportError().find("127.0.0.1"), std::string::npos) << LastTransportError();

    // A connection verified with the CA file is not reused by an exchange without it.
    SetPlatformCaFile("");
    client.Login(answer, "demo", "demo");
    EXPECT_EQ(answer, kNetworkFailureText);
}

TEST(PostForm, RefusedPortGivesTheFailureText) {
    PlatformClient client = Direct("http://127.0.0.1:" + std::to_string(test::ClosedPort()));
    std::string answer = "clientId=C&signature=x";
    client.PostForm(answer, client.Url(paths::kQuery));
    EXPECT_EQ(answer, kNetworkFailureText);
}

TEST(PostForm, ServerThatNeverAnswersTimesOut) {
    test::SilentServer silent;
    PlatformClient client = Direct(silent.base_url());
    EXPECT_EQ(client.timeout(), PlatformClient::kDefaultTimeout);
    client.set_timeout(std::chrono::milliseconds(300));
    std::string answer = "a=b";
    client.PostForm(answer, client.Url(paths::kCreate));
    EXPECT_EQ(answer, kNetworkFailureText);
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
    std::string answer;
    dead.Login(answer, "demo", "demo");
    EXPECT_EQ(answer, kNetworkFailureText);
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
