#include "checkout/pages/unresolved_orders.h"

#include <sqlite3.h>

#include <ctime>
#include <filesystem>

#include "common/private_files.h"

namespace tendrix::checkout {

namespace {

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS tblUnresolvedOrders ("
    " outOrderId TEXT PRIMARY KEY, orderId TEXT NOT NULL DEFAULT '',"
    " amount TEXT NOT NULL DEFAULT '', payCode TEXT NOT NULL DEFAULT '',"
    " createdAt INTEGER NOT NULL DEFAULT 0, confirmed INTEGER NOT NULL DEFAULT 0,"
    " alternateId TEXT NOT NULL DEFAULT '')";

// Every commit reaches the disk before the call returns: a record written before a creation
// request leaves must survive a power cut too, not only a crash of the program.
constexpr const char* kOpenPragmas = "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;";

std::string ColumnText(sqlite3_stmt* st, int col) {
    const unsigned char* text = sqlite3_column_text(st, col);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(st, col)))
                : std::string();
}

}  // namespace

UnresolvedOrderStore::UnresolvedOrderStore(std::string data_dir) {
    if (!data_dir.empty() && data_dir.back() != '/') data_dir += '/';
    std::error_code ec;
    if (!data_dir.empty()) std::filesystem::create_directories(data_dir, ec);
    path_ = data_dir + kFileName;
}

UnresolvedOrderStore::~UnresolvedOrderStore() {
    if (db_) sqlite3_close(db_);
}

bool UnresolvedOrderStore::Exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        last_error_ = err ? err : "sqlite3_exec failed";
        sqlite3_free(err);
        return false;
    }
    return true;
}

// Opens the file once and keeps it open. A failed open is retried next time.
bool UnresolvedOrderStore::EnsureOpen() {
    if (db_) return true;
    MakePrivateFile(path_);  // 0600 before SQLite opens it; its journal gets the same mode
    if (sqlite3_open(path_.c_str(), &db_) != SQLITE_OK) {
        last_error_ = db_ ? sqlite3_errmsg(db_) : "sqlite3_open failed";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    if (!Exec(kOpenPragmas) || !Exec(kCreateTable)) {
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool UnresolvedOrderStore::Add(const UnresolvedOrder& order) {
    if (order.out_order_id.empty()) return false;
    if (!EnsureOpen()) return {};
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "INSERT OR REPLACE INTO tblUnresolvedOrders"
        " (outOrderId, orderId, amount, payCode, createdAt, confirmed, alternateId)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_bind_text(st, 1, order.out_order_id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, order.order_id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, order.amount.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 4, order.pay_code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 5, order.created_at);
    sqlite3_bind_int(st, 6, order.confirmed ? 1 : 0);
    sqlite3_bind_text(st, 7, order.alternate_id.c_str(), -1, SQLITE_TRANSIENT);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok) last_error_ = sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return ok;
}

bool UnresolvedOrderStore::Confirm(const std::string& predicted_id, const std::string& out_order_id,
                                   const std::string& order_id) {
    if (!EnsureOpen()) return {};
    sqlite3_stmt* st = nullptr;
    // OR REPLACE: should the real number already be listed, the confirmed record wins.
    const char* sql =
        "UPDATE OR REPLACE tblUnresolvedOrders SET outOrderId = ?2,"
        " orderId = CASE WHEN ?3 = '' THEN orderId ELSE ?3 END, confirmed = 1, alternateId = ''"
        " WHERE outOrderId = ?1";
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_bind_text(st, 1, predicted_id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, out_order_id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, order_id.c_str(), -1, SQLITE_TRANSIENT);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok) last_error_ = sqlite3_errmsg(db_);
    ok = ok && sqlite3_changes(db_) > 0;
    sqlite3_finalize(st);
    return ok;
}

bool UnresolvedOrderStore::Resolve(const std::string& out_order_id, const std::string& order_id) {
    if (out_order_id.empty() && order_id.empty()) return false;
    if (!EnsureOpen()) return {};
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "DELETE FROM tblUnresolvedOrders WHERE (?1 <> '' AND (outOrderId = ?1 OR alternateId = ?1))"
        " OR (?2 <> '' AND orderId = ?2)";
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_bind_text(st, 1, out_order_id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, order_id.c_str(), -1, SQLITE_TRANSIENT);
    bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok) last_error_ = sqlite3_errmsg(db_);
    ok = ok && sqlite3_changes(db_) > 0;
    sqlite3_finalize(st);
    return ok;
}

std::vector<UnresolvedOrder> UnresolvedOrderStore::List() {
    std::vector<UnresolvedOrder> out;
    if (!EnsureOpen()) return {};
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "SELECT outOrderId, orderId, amount, payCode, createdAt, confirmed, alternateId"
        " FROM tblUnresolvedOrders ORDER BY createdAt, rowid";
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_errmsg(db_);
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        UnresolvedOrder o;
        o.out_order_id = ColumnText(st, 0);
        o.order_id = ColumnText(st, 1);
        o.amount = ColumnText(st, 2);
        o.pay_code = ColumnText(st, 3);
        o.created_at = sqlite3_column_int64(st, 4);
        o.confirmed = sqlite3_column_int(st, 5) != 0;
        o.alternate_id = ColumnText(st, 6);
        out.push_back(std::move(o));
    }
    sqlite3_finalize(st);
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
