#pragma once
// The platform's pay type and order status codes with their names (built in).
#include <map>
#include <string>

namespace tendrix::context {

using CodeTable = std::map<int, std::string>;

const CodeTable& PayTypeNames();      // 51 rows: 0 "全部" ... 109 "微信预付款"
const CodeTable& OrderStatusNames();  // 12 rows: 0 "全部" ... 20 "提现中"

// Code of a name in a table, or -1.
int CodeForName(const CodeTable& table, const std::string& name);

}  // namespace tendrix::context
