#include "checkout/pages/unresolved_orders.h"

#include <ctime>
#include <filesystem>

namespace tendrix::checkout {

namespace {

// Every commit reaches the disk before the call returns: a record written before a creation
// request leaves must survive a power cut too, not only a crash of the program.
constexpr const char* kSetup =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
    "CREATE TABLE IF NOT EXISTS tblUnresolvedOrders ("
    " outOrderId TEXT PRIMARY KEY, orderId TEXT NOT NULL DEFAULT '',"
    " amount TEXT NOT NULL DEFAULT '', payCode TEXT NOT NULL DEFAULT '',"
    " createdAt INTEGER NOT NULL DEFAULT 0, confirmed INTEGER NOT NULL DEFAULT 0,"
    " alternateId TEXT NOT NULL DEFAULT '')";

std::string FilePath(std::string data_dir) {
    if (!data_dir.empty() && data_dir.back() != '/') data_dir += '/';
    std::error_code ec;
    if (!data_dir.empty()) std::filesystem::create_directories(data_dir, ec);
    return data_dir + UnresolvedOrderStore::kFileName;
}

}  // namespace

UnresolvedOrderStore::UnresolvedOrderStore(const std::string& data_dir)
    : file_(FilePath(data_dir), kSetup) {}

bool UnresolvedOrderStore::Add(const UnresolvedOrder& order) {
    if (order.out_order_id.empty()) return false;
    return file_.Run(
               "INSERT OR REPLACE INTO tblUnresolvedOrders"
               " (outOrderId, orderId, amount, payCode, createdAt, confirmed, alternateId)"
               " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
               {order.out_order_id, order.order_id, order.amount, order.pay_code, order.created_at,
                int64_t{order.confirmed ? 1 : 0}, order.alternate_id}) >= 0;
}

bool UnresolvedOrderStore::Confirm(const std::string& predicted_id, const std::string& out_order_id,
                                   const std::string& order_id) {
    // OR REPLACE: should the real number already be listed, the confirmed record wins.
    return file_.Run(
               "UPDATE OR REPLACE tblUnresolvedOrders SET outOrderId = ?2,"
               " orderId = CASE WHEN ?3 = '' THEN orderId ELSE ?3 END, confirmed = 1,"
               " alternateId = '' WHERE outOrderId = ?1",
               {predicted_id, out_order_id, order_id}) > 0;
}

bool UnresolvedOrderStore::Resolve(const std::string& out_order_id, const std::string& order_id) {
    if (out_order_id.empty() && order_id.empty()) return false;
    return file_.Run(
               "DELETE FROM tblUnresolvedOrders WHERE"
               " (?1 <> '' AND (outOrderId = ?1 OR alternateId = ?1))"
               " OR (?2 <> '' AND orderId = ?2)",
               {out_order_id, order_id}) > 0;
}

std::vector<UnresolvedOrder> UnresolvedOrderStore::List() {
    std::vector<UnresolvedOrder> out;
    file_.Query(
        "SELECT outOrderId, orderId, amount, payCode, createdAt, confirmed, alternateId"
        " FROM tblUnresolvedOrders ORDER BY createdAt, rowid",
        {}, [&](const store::SqliteFile::Row& row) {
            UnresolvedOrder o;
            o.out_order_id = row.Text(0);
            o.order_id = row.Text(1);
            o.amount = row.Text(2);
            o.pay_code = row.Text(3);
            o.created_at = row.Integer(4);
            o.confirmed = row.Integer(5) != 0;
            o.alternate_id = row.Text(6);
            out.push_back(std::move(o));
        });
    return out;
}

std::string DescribeUnresolved(const std::vector<UnresolvedOrder>& orders) {
    std::string text;
    for (const auto& o : orders) {
        char when[32] = "";
        std::time_t t = static_cast<std::time_t>(o.created_at);
        std::tm tm{};
        if (localtime_r(&t, &tm)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
        text += "设备创建的订单号：" + o.out_order_id + "  金额：" + o.amount + "元  时间：" + when;
        if (!o.order_id.empty()) text += "  平台订单号：" + o.order_id;
        text += "\r\n";
    }
    return text;
}

}  // namespace tendrix::checkout
