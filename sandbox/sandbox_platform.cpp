#include "sandbox/sandbox_platform.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/text_codec.h"
#include "context/code_tables.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"

namespace tendrix::sandbox {

const char kBehaviourTable[] =
    "Scripted behaviour (barcode payments, /plugOrder/create):\n"
    "  payment code ends in  what the platform does\n"
    "  0-4                   paid (state 7) at the first query\n"
    "  5                     pending (1) for three queries, then paid\n"
    "  6                     pending for three queries, then timed out (13)\n"
    "  7                     creation refused: \"result\" false, \"message\" \"余额不足\"\n"
    "  8                     a deposit freeze: pay type \"支付宝预付款\", paid at the first query\n"
    "  9                     the order is created, but the answer to the creation comes after\n"
    "                        the client's time-out (so the client sees a network failure);\n"
    "                        a later query by the merchant order number finds it paid\n"
    "\n"
    "  amount (yuan)  fault injected on creation\n"
    "  0.01           malformed JSON starting with \"{\"\n"
    "  0.02           an answer not starting with \"{\"\n"
    "  0.03           connection dropped without an answer\n"
    "  0.04           an empty body\n"
    "  0.05           a valid answer over 100 KB\n"
    "\n"
    "QR-code orders (/plugOrder/preCreate) are paid at the third query.\n";

namespace {

constexpr int kStatePending = 1, kStateCancelled = 4, kStatePaid = 7, kStateRefunded = 10,
              kStatePartRefund = 11, kStateTimedOut = 13;
constexpr int kAlipay = 1, kWechat = 4, kAlipayDeposit = 31, kWechatDeposit = 109;

std::string StateName(int state) {
    const auto& table = context::OrderStatusNames();
    auto it = table.find(state);
    return it == table.end() ? std::string() : it->second;
}

std::string TypeName(int code) {
    const auto& table = context::PayTypeNames();
    auto it = table.find(code);
    return it == table.end() ? std::string() : it->second;
}

std::string Write(const Json::Value& v) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, v);
}

uint64_t NowMillis() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.size() <= 18 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A small code ("orderType", "orderState"): its value, or -1 when it is not 1-6 digits.
int SmallCode(const std::string& s) {
    if (s.empty() || s.size() > 6 || !AllDigits(s)) return -1;
    return std::stoi(s);
}

// Hex of UTF-8 bytes back to text; false on odd length or a non-hex character.
bool FromHex(const std::string& hex, std::string& out) {
    if (hex.size() % 2 != 0) return false;
    out.clear();
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return common::IsValidUtf8(out);
}

std::string Get(const std::map<std::string, std::string>& items, const std::string& name) {
    auto it = items.find(name);
    return it == items.end() ? std::string() : it->second;
}

Reply Ok(const Json::Value& v) {
    Reply r;
    r.body = Write(v);
    return r;
}

}  // namespace

std::string Refusal(const std::string& message) {
    Json::Value v;
    v["result"] = false;
    v["message"] = message;
    return Write(v);
}

namespace {
Reply Refuse(const std::string& message) {
    Reply r;
    r.body = Refusal(message);
    return r;
}
}  // namespace

SandboxPlatform::SandboxPlatform(Options options) : options_(std::move(options)) {
    if (options_.demo_accounts) {
        AddMerchant(Merchant{"M100001",
                             "sandbox-demo-secret",
                             "Tendrix 演示商户",
                             "S001",
                             "演示一号店",
                             "王店长",
                             "13800000000",
                             {"C1001"}});
        AddCashier(Cashier{"demo", "demo", "M100001", "2"});
        AddCashier(Cashier{"收银员甲", "123456", "M100001", "1"});
        // A merchant with two client ids: its cashier sees the several-devices notice at login.
        AddMerchant(Merchant{"M100002",
                             "sandbox-multi-secret",
                             "Tendrix 连锁商户",
                             "S002",
                             "连锁二号店",
                             "李店长",
                             "13900000000",
                             {"C2001", "C2002"}});
        AddCashier(Cashier{"multi", "multi", "M100002", "2"});
    }
}

void SandboxPlatform::AddMerchant(Merchant merchant) {
    std::lock_guard<std::mutex> lock(mutex_);
    merchants_[merchant.id] = std::move(merchant);
}

void SandboxPlatform::AddCashier(Cashier cashier) {
    std::lock_guard<std::mutex> lock(mutex_);
    cashiers_[cashier.user] = std::move(cashier);
}

bool SandboxPlatform::LoadAccounts(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "merchant" && w.size() == 7) {
            Merchant m{w[1], w[2], w[3], w[4], w[5], "店长", "13800000000", {}};
            std::istringstream ids(w[6]);
            for (std::string id; std::getline(ids, id, ',');) {
                if (!id.empty()) m.client_ids.push_back(id);
            }
            AddMerchant(std::move(m));
        } else if (w[0] == "cashier" && (w.size() == 4 || w.size() == 5)) {
            AddCashier(Cashier{w[1], w[2], w[3], w.size() == 5 ? w[4] : "2"});
        } else {
            error = path + ":" + std::to_string(number) + ": not a merchant or cashier line";
            return false;
        }
    }
    return true;
}

Reply SandboxPlatform::Handle(const std::string& path, const std::string& raw_body) {
    // The body is GBK form text, not URL-encoded: items split at "&", names at the first "=".
    const std::string body = common::GbkToUtf8(raw_body);
    std::string signed_part, signature;
    const std::string marker = "&signature=";
    const size_t at = body.rfind(marker);
    if (at == std::string::npos) return Refuse("签名验证失败：缺少 signature");
    signed_part = body.substr(0, at);
    signature = body.substr(at + marker.size());

    platform_api::ParamList list;
    Items items;
    size_t start = 0;
    while (start <= signed_part.size()) {
        size_t end = signed_part.find('&', start);
        if (end == std::string::npos) end = signed_part.size();
        std::string item = signed_part.substr(start, end - start);
        const size_t eq = item.find('=');
        if (eq == std::string::npos) return Refuse("参数格式错误：" + item);
        items[item.substr(0, eq)] = item.substr(eq + 1);
        list.push_back(std::move(item));
        start = end + 1;
    }
    if (Get(items, "inputCharset") != "UTF-8" || Get(items, "signType") != "MD5") {
        return Refuse("签名验证失败：inputCharset 或 signType 不正确");
    }

    std::string key;
    const Merchant* merchant = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (path == platform_api::paths::kShowLogin) {
            key = std::string(platform_api::kLoginKey);
        } else {
            auto it = merchants_.find(Get(items, "merchantId"));
            if (it == merchants_.end()) return Refuse("商户不存在");
            merchant = &it->second;  // merchants are never removed
            key = merchant->secret;
        }
    }
    platform_api::SortParamList(list);
    if (platform_api::Md5HexOf(platform_api::JoinParams(list) + key) != signature)
        return Refuse("签名验证失败");

    if (path == platform_api::paths::kShowLogin) return Login(items);
    const Merchant& m = *merchant;
    if (path == platform_api::paths::kReturn) return MerchantInfo(m, items);
    if (path == platform_api::paths::kQueryManager) return ShopManager(m, items);
    if (path == platform_api::paths::kAddJtion) return Permission(m, items);
    // Order calls also need a client id of this merchant.
    const std::string client = Get(items, "clientId");
    if (std::find(m.client_ids.begin(), m.client_ids.end(), client) == m.client_ids.end()) {
        return Refuse("设备号不存在");
    }
    if (path == platform_api::paths::kCreate) return Create(m, items);
    if (path == platform_api::paths::kQuery) return Query(m, items);
    if (path == platform_api::paths::kRefund) return Refund(m, items);
    if (path == platform_api::paths::kClose) return Close(m, items);
    if (path == platform_api::paths::kPreCreate) return PreCreate(m, items);
    if (path == platform_api::paths::kQueryOrderList) return OrderList(m, items);
    if (path == platform_api::paths::kQueryStatistics) return Statistics(m, items);
    Reply r = Refuse("接口不存在");
    r.status = 404;
    return r;
}

std::string SandboxPlatform::NewOrderId() {
    char text[64];
    std::snprintf(text, sizeof text, "%s%06llu",
                  platform_api::LocalTimeDigits(std::time(nullptr)).c_str(),
                  static_cast<unsigned long long>(++sequence_));
    return text;
}

std::string SandboxPlatform::OrderJson(const Order& o, int64_t this_refund) const {
    Json::Value v;
    v["result"] = true;
    auto mit = merchants_.find(o.merchant_id);
    v["merchantName"] = mit == merchants_.end() ? std::string() : mit->second.name;
    v["orderId"] = o.order_id;
    v["outOrderId"] = o.out_order_id;
    v["totalFee"] = Json::UInt64(o.total_fee);
    const bool paid = o.pay_time != 0;
    v["actualFee"] = Json::UInt64(paid ? o.total_fee : 0);
    if (this_refund >= 0) v["refundFee"] = Json::UInt64(this_refund);
    v["type"] = TypeName(o.type_code);
    v["orderState"] = o.state;
    v["orderStateDes"] = StateName(o.state);
    if (o.pay_time) v["payTime"] = Json::UInt64(o.pay_time);
    if (o.cancel_time) v["cancelTime"] = Json::UInt64(o.cancel_time);
    if (o.refund_time) v["refundTime"] = Json::UInt64(o.refund_time);
    if (!o.pay_code.empty()) v["payCode"] = o.pay_code;
    if (paid) v["buyerLoginId"] = o.type_code == kWechat ? "wx_buyer_0001" : "buyer***@example.com";
    if (!o.description.empty()) v["description"] = o.description;
    return Write(v);
}

SandboxPlatform::Order* SandboxPlatform::FindOrder(const Merchant& m, const Items& items) {
    const std::string out = Get(items, "outOrderId");
    if (!out.empty()) {
        auto it = by_out_order_id_.find(m.id + "\n" + out);
        return it == by_out_order_id_.end() ? nullptr : &orders_[it->second];
    }
    const std::string id = Get(items, "orderId");
    auto it = by_order_id_.find(id);
    if (it != by_order_id_.end()) {
        return orders_[it->second].merchant_id == m.id ? &orders_[it->second] : nullptr;
    }
    // A deposit is also known by its freeze operation number (the "payCode" beginning "20"
    // of its answers): release and deposit-to-payment name the order by it.
    if (id.size() < 2 || id.compare(0, 2, "20") != 0) return nullptr;
    for (Order& o : orders_) {
        const bool deposit = o.type_code == kAlipayDeposit || o.type_code == kWechatDeposit;
        if (deposit && o.merchant_id == m.id && o.pay_code == id) return &o;
    }
    return nullptr;
}

void SandboxPlatform::Advance(Order& o) {
    ++o.queries;
    if (o.state != kStatePending) return;
    int pay_at = 1;
    switch (o.script) {
        case Script::kPaidAtFirstQuery:
            pay_at = 1;
            break;
        case Script::kPaidAfterThree:
            pay_at = 4;
            break;
        case Script::kQrCode:
            pay_at = 3;
            break;
        case Script::kTimeoutAfterThree:
            if (o.queries >= 4) o.state = kStateTimedOut;
            return;
    }
    if (o.queries >= pay_at) {
        o.state = kStatePaid;
        o.pay_time = NowMillis();
    }
}

Reply SandboxPlatform::Create(const Merchant& m, const Items& items) {
    const std::string fee_text = Get(items, "totalFee");
    const std::string code = Get(items, "payCode");
    const std::string out = Get(items, "outOrderId");
    if (!AllDigits(fee_text) || std::stoull(fee_text) == 0) return Refuse("金额无效");
    if (code.empty()) return Refuse("支付码不能为空");
    if (out.empty()) return Refuse("商户订单号不能为空");
    const uint64_t fee = std::stoull(fee_text);

    Reply fault;
    switch (fee) {
        case 1:
            fault.body = "{\"result\":true,\"orderId\":\"20260101";
            return fault;
        case 2:
            fault.body = "<html><body>502 Bad Gateway</body></html>";
            return fault;
        case 3:
            fault.mode = Reply::Mode::kDrop;
            return fault;
        case 4:
            return fault;  // empty body
        default:
            break;
    }
    const char last = code.back();
    if (last == '7') return Refuse("余额不足");

    int type = (code.rfind("1", 0) == 0) ? kWechat : kAlipay;
    if (const std::string t = Get(items, "orderType"); !t.empty()) {
        if (SmallCode(t) <= 0 || TypeName(SmallCode(t)).empty()) return Refuse("支付类型无效");
        type = SmallCode(t);
    }
    Order o;
    o.out_order_id = out;
    o.merchant_id = m.id;
    o.client_id = Get(items, "clientId");
    o.pay_code = code;
    o.total_fee = fee;
    o.created = std::time(nullptr);
    if (last == '5') o.script = Script::kPaidAfterThree;
    if (last == '6') o.script = Script::kTimeoutAfterThree;
    if (last == '8') type = kAlipayDeposit;
    o.type_code = type;

    std::lock_guard<std::mutex> lock(mutex_);
    const std::string out_key = m.id + "\n" + out;
    if (by_out_order_id_.count(out_key)) return Refuse("商户订单号重复");
    o.order_id = NewOrderId();
    orders_.push_back(o);
    by_order_id_[o.order_id] = orders_.size() - 1;
    by_out_order_id_[out_key] = orders_.size() - 1;

    Reply r;
    r.body = OrderJson(o, -1);
    if (fee == 5) {
        // A valid answer over 100 KB: the order plus a long member the client ignores.
        Json::Value v;
        Json::CharReaderBuilder builder;
        std::istringstream in(r.body);
        std::string errors;
        Json::parseFromStream(builder, in, &v, &errors);
        v["padding"] = std::string(110 * 1024, 'x');
        r.body = Write(v);
    }
    if (last == '9') {
        r.mode = Reply::Mode::kDelayed;
        r.delay = options_.late_answer_delay;
    }
    return r;
}

Reply SandboxPlatform::Query(const Merchant& m, const Items& items) {
    std::lock_guard<std::mutex> lock(mutex_);
    Order* o = FindOrder(m, items);
    if (!o) return Refuse("订单不存在");
    Advance(*o);
    Reply r;
    r.body = OrderJson(*o, o->refunded > 0 ? static_cast<int64_t>(o->refunded) : -1);
    return r;
}

Reply SandboxPlatform::Refund(const Merchant& m, const Items& items) {
    std::string description;
    if (const std::string hex = Get(items, "description"); !FromHex(hex, description)) {
        return Refuse("备注格式错误");
    }
    const std::string fee_text = Get(items, "refundFee");
    if (items.count("refundFee") && (!AllDigits(fee_text) || std::stoull(fee_text) == 0)) {
        return Refuse("退款金额无效");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Items by_id{{"orderId", Get(items, "orderId")}};
    Order* o = FindOrder(m, by_id);
    if (!o) return Refuse("订单不存在");
    if (o->state != kStatePaid && o->state != kStatePartRefund) {
        return Refuse("订单状态为" + StateName(o->state) + "，不能退款");
    }
    const uint64_t left = o->total_fee - o->refunded;
    const uint64_t amount = fee_text.empty() ? left : std::stoull(fee_text);
    if (amount > left) return Refuse("退款金额超过可退金额");
    o->refunded += amount;
    o->state = o->refunded == o->total_fee ? kStateRefunded : kStatePartRefund;
    o->refund_time = NowMillis();
    if (!description.empty()) o->description = description;
    Reply r;
    r.body = OrderJson(*o, static_cast<int64_t>(amount));
    return r;
}

Reply SandboxPlatform::Close(const Merchant& m, const Items& items) {
    std::string description;
    if (!items.count("description")) return Refuse("缺少 description");
    if (!FromHex(Get(items, "description"), description)) return Refuse("备注格式错误");
    std::lock_guard<std::mutex> lock(mutex_);
    Order* o = FindOrder(m, Items{{"orderId", Get(items, "orderId")}});
    if (!o) return Refuse("订单不存在");
    if (o->state != kStatePending && o->state != kStateTimedOut) {
        return Refuse("订单状态为" + StateName(o->state) + "，不能撤销");
    }
    o->state = kStateCancelled;
    o->cancel_time = NowMillis();
    if (!description.empty()) o->description = description;
    Reply r;
    r.body = OrderJson(*o, -1);
    return r;
}

Reply SandboxPlatform::PreCreate(const Merchant& m, const Items& items) {
    const std::string fee_text = Get(items, "totalFee");
    const std::string type_text = Get(items, "orderType");
    const std::string out = Get(items, "outOrderId");
    if (!AllDigits(fee_text) || std::stoull(fee_text) == 0) return Refuse("金额无效");
    if (SmallCode(type_text) <= 0 || TypeName(SmallCode(type_text)).empty()) {
        return Refuse("支付类型无效");
    }
    if (Get(items, "tradeType") != "NATIVE") return Refuse("tradeType 必须为 NATIVE");
    if (out.empty()) return Refuse("商户订单号不能为空");
    Order o;
    o.out_order_id = out;
    o.merchant_id = m.id;
    o.client_id = Get(items, "clientId");
    o.total_fee = std::stoull(fee_text);
    o.type_code = SmallCode(type_text);
    o.script = Script::kQrCode;
    o.created = std::time(nullptr);

    std::lock_guard<std::mutex> lock(mutex_);
    const std::string out_key = m.id + "\n" + out;
    if (by_out_order_id_.count(out_key)) return Refuse("商户订单号重复");
    o.order_id = NewOrderId();
    orders_.push_back(o);
    by_order_id_[o.order_id] = orders_.size() - 1;
    by_out_order_id_[out_key] = orders_.size() - 1;
    Json::Value v;
    v["result"] = true;
    v["orderId"] = o.order_id;
    v["totalFee"] = Json::UInt64(o.total_fee);
    v["type"] = TypeName(o.type_code);
    v["orderState"] = o.state;
    v["orderStateDes"] = StateName(o.state);
    v["data"]["qrCode"] = options_.base_url + "/qr/" + o.order_id;
    return Ok(v);
}

Reply SandboxPlatform::OrderList(const Merchant& m, const Items& items) {
    const std::string start = Get(items, "startTime"), end = Get(items, "endTime");
    const int type = std::max(0, SmallCode(Get(items, "orderType")));
    const int state = std::max(0, SmallCode(Get(items, "orderState")));
    long page = AllDigits(Get(items, "pageNum")) ? std::stol(Get(items, "pageNum")) : 1;
    long size = AllDigits(Get(items, "pageSize")) ? std::stol(Get(items, "pageSize")) : 15;
    page = std::max(1L, page);
    size = std::clamp(size, 1L, 100L);
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value list(Json::arrayValue);
    long matched = 0;
    for (const Order& o : orders_) {
        if (o.merchant_id != m.id) continue;
        const std::string created = platform_api::LocalTimeDigits(o.created);
        if ((!start.empty() && created < start) || (!end.empty() && created > end)) continue;
        if (type != 0 && o.type_code != type) continue;
        if (state != 0 && o.state != state) continue;
        if (matched++ / size != page - 1) continue;
        Json::Value row;
        row["orderId"] = o.order_id;
        row["totalFee"] = Json::UInt64(o.total_fee);
        row["actualFee"] = Json::UInt64(o.pay_time ? o.total_fee : 0);
        row["refundFee"] = Json::UInt64(o.refunded);
        row["type"] = TypeName(o.type_code);
        row["orderState"] = o.state;
        row["orderStateDes"] = StateName(o.state);
        if (o.pay_time) row["payTime"] = platform_api::PlatformTimeText(o.pay_time);
        if (o.pay_time) row["buyerLoginId"] = "buyer***@example.com";
        if (!o.pay_code.empty()) row["payCode"] = o.pay_code;
        if (!o.description.empty()) row["description"] = o.description;
        list.append(row);
    }
    Json::Value v;
    v["result"] = true;
    v["total"] = Json::Int64(matched);
    v["orderList"] = list;
    return Ok(v);
}

Reply SandboxPlatform::Statistics(const Merchant& m, const Items& items) {
    const std::string start = Get(items, "startTime"), end = Get(items, "endTime");
    const int type = std::max(0, SmallCode(Get(items, "orderType")));
    std::map<int, std::pair<uint64_t, uint64_t>> by_type;  // code -> (fen, count)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Order& o : orders_) {
            if (o.merchant_id != m.id || o.pay_time == 0) continue;
            const std::string created = platform_api::LocalTimeDigits(o.created);
            if ((!start.empty() && created < start) || (!end.empty() && created > end)) continue;
            if (type != 0 && o.type_code != type) continue;
            auto& [fen, count] = by_type[o.type_code];
            fen += o.total_fee - o.refunded;
            ++count;
        }
    }
    Json::Value v;
    v["result"] = true;
    v["startTime"] = start;
    v["endTime"] = end;
    v["orderList"] = Json::Value(Json::arrayValue);
    for (const auto& [code, sums] : by_type) {
        Json::Value row;
        row["type"] = TypeName(code);
        row["totalMoney"] = Json::UInt64(sums.first);
        row["orderCount"] = Json::UInt64(sums.second);
        v["orderList"].append(row);
    }
    return Ok(v);
}

Reply SandboxPlatform::Login(const Items& items) {
    std::string user;
    if (!FromHex(Get(items, "userName"), user) || user.empty()) return Refuse("用户名格式错误");
    const std::string password = Get(items, "userPwd");
    if (Get(items, "deviceType") != "3") return Refuse("设备类型错误");
    if (Get(items, "merchantId") != platform_api::Md5HexOf(user + password))
        return Refuse("登录参数校验失败");
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cashiers_.find(user);
    if (it == cashiers_.end() || it->second.password != password) return Refuse("用户名或密码错误");
    auto mit = merchants_.find(it->second.merchant_id);
    if (mit == merchants_.end()) return Refuse("商户不存在");
    last_cashier_[mit->first] = user;
    Json::Value v;
    v["result"] = true;
    v["merchantId"] = mit->second.id;
    v["secret"] = mit->second.secret;
    v["clientId"] = Json::Value(Json::arrayValue);
    for (const auto& id : mit->second.client_ids) v["clientId"].append(id);
    return Ok(v);
}

Reply SandboxPlatform::MerchantInfo(const Merchant& m, const Items& items) {
    const std::string client = Get(items, "clientId");
    if (std::find(m.client_ids.begin(), m.client_ids.end(), client) == m.client_ids.end()) {
        return Refuse("设备号不存在");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value v;  // success carries no "result"
    v["merchantName"] = m.name;
    v["shopName"] = m.shop_name;
    auto it = last_cashier_.find(m.id);
    v["cashierName"] = it == last_cashier_.end() ? std::string() : it->second;
    v["version"] = "sandbox 1.0";
    return Ok(v);
}

Reply SandboxPlatform::ShopManager(const Merchant& m, const Items& items) {
    if (Get(items, "shopId") != m.shop_id) return Refuse("门店不存在");
    Json::Value v;  // success carries no "result"
    v["shopId"] = m.shop_id;
    v["shopName"] = m.shop_name;
    v["managerName"] = m.manager_name;
    v["managerPhone"] = m.manager_phone;
    return Ok(v);
}

Reply SandboxPlatform::Permission(const Merchant& m, const Items& items) {
    std::string user;
    if (!FromHex(Get(items, "userName"), user) || user.empty()) return Refuse("用户名格式错误");
    static const std::map<std::string, std::string> kTexts = {
        {"0", "不可退款"}, {"1", "当笔可退"}, {"2", "扫码可退"}};
    auto text = kTexts.find(Get(items, "jtion"));
    if (text == kTexts.end()) return Refuse("权限值无效");
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cashiers_.find(user);
    if (it == cashiers_.end() || it->second.merchant_id != m.id) return Refuse("收银员不存在");
    it->second.permission = text->first;
    Json::Value v;
    v["result"] = true;
    v["userName"] = user;
    v["jtionType"] = text->second;
    return Ok(v);
}

}  // namespace tendrix::sandbox
