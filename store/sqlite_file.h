#pragma once
// One private SQLite database file, kept open while the object lives, for a caller that owns
// its table: the file is made 0600 before SQLite opens it (its journal gets the same mode),
// `setup` (pragmas, CREATE TABLE ...) runs once per open, and a failed open is tried again
// on the next call. Statements take their values as bound parameters, so any text is stored
// exactly. Failures never throw; last_error() says why.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tendrix::store {

class SqliteFile {
  public:
    using Value = std::variant<std::string, int64_t>;

    // One result row: columns by index (0-based).
    class Row {
      public:
        explicit Row(sqlite3_stmt* st) : st_(st) {}
        std::string Text(int col) const;
        int64_t Integer(int col) const;

      private:
        sqlite3_stmt* st_;
    };

    SqliteFile(std::string path, std::string setup);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Runs one statement with ?1, ?2 ... bound to `params`. Returns the number of rows it
    // changed, or -1 when the file cannot be opened or the statement fails.
    int Run(const char* sql, const std::vector<Value>& params = {});
    // Runs a query and calls `row` for every result row. False on failure.
    bool Query(const char* sql, const std::vector<Value>& params,
               const std::function<void(const Row&)>& row);

    const std::string& path() const { return path_; }
    const std::string& last_error() const { return last_error_; }

  private:
    bool EnsureOpen();
    sqlite3_stmt* Prepare(const char* sql, const std::vector<Value>& params);

    std::string path_;
    std::string setup_;
    sqlite3* db_ = nullptr;
    std::string last_error_;
};

}  // namespace tendrix::store
