#include "store/store.h"

#include <filesystem>

#include "common/diag_log.h"
#include "common/private_files.h"

namespace tendrix::store {
namespace {

constexpr const char* kCreateSettings =
    "create table if not exists tblTest(name varchar(50), message varchar(200))";
constexpr const char* kCreateCashiers =
    "create table if not exists tblCashiersMsg(cashierName varchar(50), cashierPassword "
    "varchar(500), cashierDeviceId varchar(50), refundJurisdiction varchar(50))";

// A prepared statement that finalises itself.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql, const std::vector<std::string>& params) {
        if (!db || sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_,
                                      nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
            return;
        }
        for (size_t i = 0; i < params.size(); ++i) {
            sqlite3_bind_text(stmt_, static_cast<int>(i + 1), params[i].data(),
                              static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    bool ok() const { return stmt_ != nullptr; }
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool NextRow() { return Step() == SQLITE_ROW; }
    std::string Column(int i) const {
        const auto* text = sqlite3_column_text(stmt_, i);
        if (!text) return {};
        return std::string(reinterpret_cast<const char*>(text),
                           static_cast<size_t>(sqlite3_column_bytes(stmt_, i)));
    }
    // Finalises now and reports whether the statement ran without error.
    bool Finish() {
        const int rc = sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return rc == SQLITE_OK;
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

std::string Store::DataDirForProgramDir(const std::string& program_dir) {
    // program_dir ends in '/': cut after the last separator, then once more.
    std::string dir = program_dir;
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    const auto pos = dir.rfind('/');
    dir = pos == std::string::npos ? std::string("./") : dir.substr(0, pos + 1);
    return dir + "data/";
}

Store::Store(const std::string& data_dir) {
    std::string dir = data_dir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    dataset_path_ = dir + "dataset.db";
    cashier_path_ = dir + "cashierdata.db";
    // Private to this user: the files hold login keys and cashiers' passwords.
    std::string error;
    if (!common::MakePrivateDirectory(dir, &error) && !std::filesystem::is_directory(dir)) {
        last_error_ = error;
    }
}

Store::~Store() {
    Close();
}

bool Store::Open(const std::string& path) {
    Close();
    // Created 0600 before SQLite opens it; SQLite gives its journal the same mode.
    common::MakePrivateFile(path);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        Fail("open");
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    // New files keep the UTF-16 text encoding the Windows installation's files use, so the
    // files stay interchangeable. (Takes effect only on an empty database.)
    sqlite3_exec(db_, "PRAGMA encoding = \"UTF-16le\"", nullptr, nullptr, nullptr);
    return true;
}

bool Store::OpenSettings() {
    return Open(dataset_path_);
}
bool Store::OpenCashiers() {
    return Open(cashier_path_);
}

bool Store::CheckUsable() {
    if (!db_) return false;
    if (sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        Fail("check");
        return false;
    }
    return true;
}

void Store::Close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Store::Fail(const char* what) {
    last_error_ = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_) : "no database open");
    common::diag::Write("store", last_error_);
}

bool Store::Execute(const std::string& sql, const std::vector<std::string>& params) {
    Statement st(db_, sql, params);
    if (!st.ok()) {
        Fail("prepare");
        return false;
    }
    const int rc = st.Step();
    if ((rc != SQLITE_DONE && rc != SQLITE_ROW) || !st.Finish()) {
        Fail("execute");
        return false;
    }
    return true;
}

std::string Store::ReadName(const std::string& name) {
    Statement st(db_, "select * from tblTest where name = ?", {name});
    if (!st.ok()) return {};  // no database or no table yet: no row
    return st.NextRow() ? st.Column(1) : std::string();
}

bool Store::SaveName(const std::string& name, const std::string& value) {
    if (!Execute(kCreateSettings)) return false;
    bool exists = false;
    {
        Statement st(db_, "select * from tblTest where name = ?", {name});
        exists = st.ok() && st.NextRow();
    }
    if (!exists) return Execute("replace into tblTest(name, message) VALUES (?, ?)", {name, value});
    return Execute("update tblTest set message=? where name=?", {value, name});
}

bool Store::SaveCashier(const std::string& name, const std::string& password,
                        const std::string& device_id, const std::string& refund_permission) {
    if (!Execute(kCreateCashiers)) return false;
    bool exists = false;
    {
        Statement st(db_, "select * from tblCashiersMsg where cashierName = ?", {name});
        exists = st.ok() && st.NextRow();
    }
    if (exists) {
        return Execute(
            "update tblCashiersMsg set cashierPassword=?, cashierDeviceId=?, "
            "refundJurisdiction=? where cashierName=?",
            {password, device_id, refund_permission, name});
    }
    return Execute(
        "replace into tblCashiersMsg(cashierName, cashierPassword, cashierDeviceId, "
        "refundJurisdiction) VALUES (?, ?, ?, ?)",
        {name, password, device_id, refund_permission});
}

bool Store::ReadCashier(const std::string& name, CashierRecord& out) {
    Statement st(db_, "select * from tblCashiersMsg where cashierName = ?", {name});
    if (!st.ok() || !st.NextRow()) return false;
    out.password = st.Column(1);
    out.device_id = st.Column(2);
    out.refund_permission = st.Column(3);
    return true;
}

void Store::ListCashiers(std::vector<std::string>& names, std::vector<std::string>& passwords,
                         std::vector<std::string>& device_ids) {
    names.clear();
    passwords.clear();
    device_ids.clear();
    // One pass in table order (the same rows, in the same order, as reading row i alone
    // for i = 0, 1, 2, ...).
    Statement st(db_, "select * from tblCashiersMsg", {});
    if (!st.ok()) return;
    while (st.NextRow()) {
        names.push_back(st.Column(0));
        passwords.push_back(st.Column(1));
        device_ids.push_back(st.Column(2));
    }
}

bool Store::DeleteAllCashiers() {
    return Execute("delete from tblCashiersMsg");
}

}  // namespace tendrix::store
