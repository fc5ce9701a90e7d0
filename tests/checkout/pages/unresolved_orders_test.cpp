// The unresolved-order store on a real SQLite file.
#include "checkout/pages/unresolved_orders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace tendrix::checkout {
namespace {

UnresolvedOrder Order(const std::string& out, int64_t at) {
    UnresolvedOrder o;
    o.out_order_id = out;
    o.alternate_id = out + "-next";
    o.amount = "36.00";
    o.pay_code = "284512345678901235";
    o.created_at = at;
    return o;
}

TEST(UnresolvedOrders, SurviveReopenUntilResolvedAndKeepOddTextsExactly) {
    test::TempDir dir;
    {
        UnresolvedOrderStore store(dir.path() + "data/");
        ASSERT_TRUE(store.Add(Order("A", 100))) << store.last_error();
        ASSERT_TRUE(store.Add(Order("B", 50)));
    }
    // Payment records are the till user's alone, whatever the umask.
    struct stat st {};
    ASSERT_EQ(stat((dir.path() + "data/" + UnresolvedOrderStore::kFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    UnresolvedOrderStore again(dir.path() + "data/");  // a restart
    auto list = again.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].out_order_id, "B");  // oldest first
    EXPECT_FALSE(list[0].confirmed);
    EXPECT_EQ(list[1].amount, "36.00");

    // Creation answered with another number than predicted: the record follows it.
    ASSERT_TRUE(again.Confirm("A", "A2", "P-1"));
    list = again.List();
    EXPECT_EQ(list[1].out_order_id, "A2");
    EXPECT_EQ(list[1].order_id, "P-1");
    EXPECT_TRUE(list[1].confirmed);
    EXPECT_FALSE(again.Confirm("missing", "x", ""));

    // Resolved by the platform number alone, or by the second-after number.
    EXPECT_TRUE(again.Resolve("", "P-1"));
    EXPECT_TRUE(again.Resolve("B-next", ""));
    EXPECT_TRUE(again.List().empty());
    EXPECT_FALSE(again.Resolve("", ""));

    // Odd texts are kept exactly.
    UnresolvedOrder o = Order("X'; DROP TABLE tblUnresolvedOrders; --", 1);
    o.pay_code = "line1\r\nline2 中文 '\"";
    ASSERT_TRUE(again.Add(o));
    list = again.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].out_order_id, o.out_order_id);
    EXPECT_EQ(list[0].pay_code, o.pay_code);
    EXPECT_NE(DescribeUnresolved(list).find("设备创建的订单号：X'"), std::string::npos);
}

// A record that cannot be written: ResultSessionTest.NothingIsSentWhenTheRecordCannotBeWritten.

}  // namespace
}  // namespace tendrix::checkout
