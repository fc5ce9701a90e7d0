#pragma once
// The two local databases: dataset.db (tblTest: settings and login keys) and
// cashierdata.db (tblCashiersMsg: cashiers fetched from the platform), both in the
// data directory beside the program directory. Only one file is open at a time.
//
// Values are bound as statement parameters, so any text (quotes, line breaks, very long
// texts) is stored exactly; the stored texts are those the plain statements would store.
// Failures never throw: reads yield empty values, writes change nothing, LastError() says why.
#include <sqlite3.h>

#include <string>
#include <vector>

namespace tendrix::store {

struct CashierRecord {
    std::string password;
    std::string device_id;
    std::string refund_permission;
};

class Store {
  public:
    // data_dir: the directory holding both files; created with its parents if missing.
    explicit Store(const std::string& data_dir);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    static std::string DataDirForProgramDir(const std::string& program_dir);

    bool OpenSettings();
    bool OpenCashiers();
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // True when the open file is a readable, unlocked SQLite database.
    bool CheckUsable();

    // tblTest
    std::string ReadName(const std::string& name);
    bool SaveName(const std::string& name, const std::string& value);

    // tblCashiersMsg
    bool SaveCashier(const std::string& name, const std::string& password,
                     const std::string& device_id, const std::string& refund_permission);
    // Fills `out` when the cashier exists; otherwise leaves it unchanged and returns false.
    bool ReadCashier(const std::string& name, CashierRecord& out);
    // Names, passwords and device ids in table order.
    void ListCashiers(std::vector<std::string>& names, std::vector<std::string>& passwords,
                      std::vector<std::string>& device_ids);
    bool DeleteAllCashiers();

    std::string LastError() const { return last_error_; }
    const std::string& DatasetPath() const { return dataset_path_; }
    const std::string& CashierPath() const { return cashier_path_; }

  private:
    bool Open(const std::string& path);
    bool Execute(const std::string& sql, const std::vector<std::string>& params = {});
    void Fail(const char* what);

    std::string dataset_path_;
    std::string cashier_path_;
    sqlite3* db_ = nullptr;
    std::string last_error_;
};

}  // namespace tendrix::store
