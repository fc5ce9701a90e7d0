#include "store/store.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::store;

TEST(Store, NamesRoundTripAnyTextAndStayUnique) {
    test::TempDir dir;
    Store store(dir / "a/b/data");  // missing parents are created
    ASSERT_TRUE(store.OpenSettings());
    EXPECT_EQ(store.ReadName("never"), "");
    const std::string tricky[] = {"it's \"quoted\"", "line1\r\nline2", "中文 值；",
                                  std::string(10000, 'x'), "'); drop table tblTest; --"};
    for (const auto& v : tricky) {
        ASSERT_TRUE(store.SaveName("k", v));
        EXPECT_EQ(store.ReadName("k"), v);
    }
    EXPECT_TRUE(store.SaveName("k", "second"));
    store.Close();
    ASSERT_TRUE(store.OpenSettings());
    EXPECT_EQ(store.ReadName("k"), "second");
}

TEST(Store, CashiersListInTableOrderAndMissingLeavesOutputs) {
    test::TempDir dir;
    Store store(dir.path());
    ASSERT_TRUE(store.OpenCashiers());
    std::vector<std::string> n{"stale"}, p, d;
    store.ListCashiers(n, p, d);  // no table yet
    EXPECT_TRUE(n.empty());
    store.SaveCashier("张三", "pw1", "dev1", "当笔可退");
    store.SaveCashier("li'si", "pw2", "dev2", "不可退款");
    store.SaveCashier("张三", "pw3", "dev3", "扫码可退");  // update, no second row
    store.ListCashiers(n, p, d);
    EXPECT_EQ(n, (std::vector<std::string>{"张三", "li'si"}));
    EXPECT_EQ(p, (std::vector<std::string>{"pw3", "pw2"}));
    EXPECT_EQ(d, (std::vector<std::string>{"dev3", "dev2"}));
    CashierRecord rec{"keep", "keep", "keep"};
    EXPECT_FALSE(store.ReadCashier("nobody", rec));
    EXPECT_EQ(rec.password, "keep");
    EXPECT_TRUE(store.ReadCashier("li'si", rec));
    EXPECT_EQ(rec.refund_permission, "不可退款");
    EXPECT_TRUE(store.DeleteAllCashiers());
    store.ListCashiers(n, p, d);
    EXPECT_TRUE(n.empty());
}

TEST(Store, FailsQuietlyWithoutAnOpenDatabase) {
    test::TempDir dir;
    Store store(dir.path());
    EXPECT_EQ(store.ReadName("x"), "");
    EXPECT_FALSE(store.SaveName("x", "y"));
    EXPECT_FALSE(store.LastError().empty());
}
