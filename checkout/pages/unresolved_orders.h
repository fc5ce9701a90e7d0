#pragma once
// Orders whose fate the cashier has not yet seen: kept in the data directory until a query
// brings each to a final state, so that a crash, a network failure or leaving the result page
// never lets a second charge happen without the first being shown.
//
// The record is written before the creation request leaves the program (with the merchant
// order number the request is about to carry), so nothing of an order in flight is lost.
// The database stays open while the object lives; failures never throw.
#include <cstdint>
#include <string>
#include <vector>

#include "store/sqlite_file.h"

namespace tendrix::checkout {

struct UnresolvedOrder {
    std::string out_order_id;  // merchant order number ("outOrderId")
    std::string order_id;      // platform order number, once known
    std::string amount;        // yuan text as charged
    std::string pay_code;
    int64_t created_at = 0;  // seconds since 1970
    // False while the creation request has not been answered: out_order_id is then the
    // number made just before sending, and alternate_id the one of the following second.
    bool confirmed = false;
    std::string alternate_id;
};

class UnresolvedOrderStore {
  public:
    static constexpr const char* kFileName = "unresolvedorders.db";

    // data_dir ends in '/'; created with its parents when missing.
    explicit UnresolvedOrderStore(const std::string& data_dir);

    bool Add(const UnresolvedOrder& order);
    // The creation was answered: the record of `predicted_id` now carries the number the
    // request really sent and, when known, the platform's order number.
    bool Confirm(const std::string& predicted_id, const std::string& out_order_id,
                 const std::string& order_id);
    // Drops the order known by this merchant or platform number (final state reached).
    bool Resolve(const std::string& out_order_id, const std::string& order_id);
    // Oldest first.
    std::vector<UnresolvedOrder> List();
    bool Empty() { return List().empty(); }

    const std::string& path() const { return file_.path(); }
    const std::string& last_error() const { return file_.last_error(); }

  private:
    store::SqliteFile file_;
};

// The cashier's view of the list: one line per order.
std::string DescribeUnresolved(const std::vector<UnresolvedOrder>& orders);

}  // namespace tendrix::checkout
