// The proxy password is stored enciphered; a value stored plain by an earlier version still
// reads back.
#include <gtest/gtest.h>

#include "accounts/net_settings.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::store;

namespace tendrix::accounts {
namespace {

TEST(ProxyPassword, StoredEncipheredAndAnOldPlainValueStillRead) {
    test::TempDir dir;
    NetSettings s;
    s.use_agent = keys::kHttpProxy;
    s.agent_ip = "10.0.0.2";
    s.agent_port = "3128";
    s.agent_account = "shop";
    s.agent_password = "代理-Pw:1&x";
    ASSERT_EQ(SaveNetSettings(dir.path(), s), "");
    const std::string stored = ReadLoginKey(dir.path(), keys::agentPassword);
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(stored.find("Pw"), std::string::npos) << stored;
    EXPECT_EQ(ReadProxyPassword(dir.path()), s.agent_password);
    EXPECT_EQ(LoadNetSettings(dir.path()).agent_password, s.agent_password);

    for (const char* old :
         {"old-plain-pw", "0123456789abcdef", "ABCDEF0123456789ABCDEF0123456789"}) {
        ASSERT_TRUE(SaveLoginKey(dir.path(), keys::agentPassword, old));
        EXPECT_EQ(ReadProxyPassword(dir.path()), old);
    }
}

}  // namespace
}  // namespace tendrix::accounts
