// The sandbox's own contract: signature checks, accounts file, duplicate merchant order
// numbers, and concurrent clients. Its --help is read by help2man for its man page
// (packaging.deb_contents_and_readonly_install).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "platform_api/answer_parsers.h"
#include "platform_api/md5.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"
#include "sandbox/sandbox_platform.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

using sandbox::Refusal;
const std::string kSecret = "sandbox-demo-secret";

std::string QueryItems() {
    return "clientId=C1001&inputCharset=UTF-8&merchantId=M100001&orderId=1&signType=MD5";
}

class SandboxSignature : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
    }
    std::string Post(const std::string& body, std::string_view path = paths::kQuery) {
        return client_.PostForm(body, client_.Url(path)).value;
    }
    test::SandboxProcess sandbox_;
    PlatformClient client_{"", "", "", "", sandbox_.base_url()};
};

TEST_F(SandboxSignature, EveryRequestIsChecked) {
    const std::string items = QueryItems();
    const std::string digest = Md5::HexOf(items + kSecret);
    // Correctly signed: gets past the check (the order does not exist).
    EXPECT_EQ(Post(items + "&signature=" + digest), Refusal("订单不存在"));

    std::string upper = digest;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Post(items + "&signature=" + upper), Refusal("签名验证失败"));
    EXPECT_EQ(Post(items + "&signature=" + Md5::HexOf(items + "&" + kSecret)),
              Refusal("签名验证失败"));
    std::string tampered = items;
    tampered.replace(tampered.find("orderId=1"), 9, "orderId=2");
    EXPECT_EQ(Post(tampered + "&signature=" + digest), Refusal("签名验证失败"));
    EXPECT_NE(Post(items).find("缺少 signature"), std::string::npos);

    const std::string stranger = "clientId=C1&inputCharset=UTF-8&merchantId=NOBODY&signType=MD5";
    EXPECT_EQ(Post(stranger + "&signature=" + Md5::HexOf(stranger + kSecret)),
              Refusal("商户不存在"));
    // The login path takes the fixed key, not a merchant secret.
    ParamList login{"userName=" + HexUtf8("demo"), "userPwd=demo",
                    "merchantId=" + Md5HexOf("demodemo"), "deviceType=3"};
    EXPECT_EQ(Post(BuildSignedBody(login, kSecret), paths::kShowLogin), Refusal("签名验证失败"));
    EXPECT_NE(Post(BuildSignedBody(login, std::string(kLoginKey)), paths::kShowLogin)
                  .find("\"result\":true"),
              std::string::npos);
}

TEST_F(SandboxSignature, HostileBodiesAreRefusedAndTheServerStaysUp) {
    auto signed_body = [](const std::string& items) {
        return items + "&signature=" + Md5::HexOf(items + kSecret);
    };
    const std::string base = "clientId=C1001&inputCharset=UTF-8&merchantId=M100001&";
    for (const std::string& body :
         {std::string(), std::string("&&&"), std::string("=&signature="),
          std::string("\xff\xfe&signature=zz"),
          signed_body(base + "orderType=99999999999999&payCode=1&signType=MD5&totalFee=99"),
          signed_body(base + "outOrderId=x&payCode=1&signType=MD5&totalFee=999999999999999999999"),
          signed_body(base + "endTime=1&orderState=-1&orderType=4294967297&pageNum=0&"
                             "pageSize=999999999999&signType=MD5")}) {
        for (std::string_view path : {paths::kCreate, paths::kQueryOrderList, paths::kPreCreate}) {
            const std::string answer = Post(body, path);
            EXPECT_EQ(answer.substr(0, 1), "{") << path << " " << body;
        }
    }
    EXPECT_EQ(Post(QueryItems() + "&signature=" + Md5::HexOf(QueryItems() + kSecret)),
              Refusal("订单不存在"));
}

TEST_F(SandboxSignature, DuplicateMerchantOrderNumberIsRefused) {
    client_.set_identity({"M100001", "C1001", kSecret, "demo"});
    const std::string code = "281234567890123451";
    const std::string out = MakeOutOrderId(std::time(nullptr), code);
    EXPECT_TRUE(ParseOrderAnswer(client_.CreateOrder(out, "100", code, "")).ok());
    EXPECT_EQ(client_.CreateOrder(out, "100", code, "").value, Refusal("商户订单号重复"));
    client_.set_identity({"M100001", "C9999", kSecret, "demo"});
    EXPECT_EQ(client_.QueryOrder("1", "").value, Refusal("设备号不存在"));
}

TEST_F(SandboxSignature, ConcurrentClientsAllSucceed) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            PlatformClient client("", "", "", "", sandbox_.base_url());
            client.set_identity(
                {"M100002", t % 2 ? "C2001" : "C2002", "sandbox-multi-secret", "multi"});
            for (int i = 0; i < 10; ++i) {
                char code[32];
                std::snprintf(code, sizeof code, "28%02d%08d000000", t, i);
                const PlatformAnswer answer =
                    client.CreateOrder(MakeOutOrderId(std::time(nullptr), code), "100", code, "");
                if (!ParseOrderAnswer(answer).ok()) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(SandboxAccounts, FileAddsMerchantsAndCashiers) {
    test::TempDir dir;
    std::ofstream(dir / "accounts.txt") << "# test accounts\n"
                                        << "merchant M2 key2 二号商户 S2 二号店 X1,X2,X3\n"
                                        << "cashier 李四 pass M2 0\n";
    test::SandboxProcess sandbox({dir / "accounts.txt", {}});
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    PlatformClient client("", "", "", "", sandbox.base_url());
    EXPECT_EQ(ParseLoginAnswer(client.Login("李四", "pass")).value,
              (TextList{"M2", "key2", "X1", "X2", "X3"}));
    // The built-in demo stays.
    EXPECT_EQ(ParseLoginAnswer(client.Login("demo", "demo")).value.size(), 3u);

    std::ofstream(dir / "bad.txt") << "merchant only-two-words\n";
    test::SandboxProcess refused({dir / "bad.txt", {}, std::chrono::milliseconds(5000)});
    EXPECT_FALSE(refused.ok());
}

}  // namespace
}  // namespace tendrix
