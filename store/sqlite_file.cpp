#include "store/sqlite_file.h"

#include <sqlite3.h>

#include "common/private_files.h"

namespace tendrix::store {

std::string SqliteFile::Row::Text(int col) const {
    const unsigned char* text = sqlite3_column_text(st_, col);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(st_, col)))
                : std::string();
}

int64_t SqliteFile::Row::Integer(int col) const {
    return sqlite3_column_int64(st_, col);
}

SqliteFile::SqliteFile(std::string path, std::string setup)
    : path_(std::move(path)), setup_(std::move(setup)) {}

SqliteFile::~SqliteFile() {
    if (db_) sqlite3_close(db_);
}

bool SqliteFile::EnsureOpen() {
    if (db_) return true;
    common::MakePrivateFile(path_);  // 0600 before SQLite opens it; its journal gets the same mode
    if (sqlite3_open(path_.c_str(), &db_) != SQLITE_OK) {
        last_error_ = db_ ? sqlite3_errmsg(db_) : "sqlite3_open failed";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    char* err = nullptr;
    if (sqlite3_exec(db_, setup_.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        last_error_ = err ? err : "sqlite3_exec failed";
        sqlite3_free(err);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

sqlite3_stmt* SqliteFile::Prepare(const char* sql, const std::vector<Value>& params) {
    if (!EnsureOpen()) return nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        last_error_ = sqlite3_errmsg(db_);
        return nullptr;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        if (const auto* text = std::get_if<std::string>(&params[i]))
            sqlite3_bind_text(st, index, text->c_str(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_int64(st, index, std::get<int64_t>(params[i]));
    }
    return st;
}

int SqliteFile::Run(const char* sql, const std::vector<Value>& params) {
    sqlite3_stmt* st = Prepare(sql, params);
    if (!st) return -1;
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok) last_error_ = sqlite3_errmsg(db_);
    const int changed = ok ? sqlite3_changes(db_) : -1;
    sqlite3_finalize(st);
    return changed;
}

bool SqliteFile::Query(const char* sql, const std::vector<Value>& params,
                       const std::function<void(const Row&)>& row) {
    sqlite3_stmt* st = Prepare(sql, params);
    if (!st) return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(Row(st));
    const bool ok = rc == SQLITE_DONE;
    if (!ok) last_error_ = sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return ok;
}

}  // namespace tendrix::store
