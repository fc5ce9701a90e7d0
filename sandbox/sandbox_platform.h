#pragma once
// The simulated payment platform behind tendrix-sandbox: merchants and cashiers, signature
// checks, orders moving through their states, and the scripted behaviour and faults that
// tests and demos rely on. Plain logic; sandbox_main.cpp puts it behind HTTP.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tendrix::sandbox {

// Printed by --help and documented for users: what a payment code's last digit and a few
// fault amounts make the platform do.
extern const char kBehaviourTable[];

struct Merchant {
    std::string id;
    std::string secret;
    std::string name;
    std::string shop_id;
    std::string shop_name;
    std::string manager_name;
    std::string manager_phone;
    std::vector<std::string> client_ids;
};

struct Cashier {
    std::string user;
    std::string password;
    std::string merchant_id;
    std::string permission = "2";
};

// How the HTTP side delivers a reply.
struct Reply {
    enum class Mode { kNormal, kDrop, kDelayed };
    Mode mode = Mode::kNormal;
    int status = 200;
    std::string body;  // UTF-8 JSON (or deliberately broken text)
    std::chrono::milliseconds delay{0};
};

class SandboxPlatform {
  public:
    struct Options {
        // Delay of the creation answer for payment codes ending in 9; longer than the
        // client's time-out so that the client sees a network failure.
        std::chrono::milliseconds late_answer_delay{125000};
        std::string base_url;  // "http://host:port", used in payment links
        bool demo_accounts = true;
    };

    explicit SandboxPlatform(Options options);

    // Adds the accounts of a file; lines:
    //   merchant ID SECRET NAME SHOP_ID SHOP_NAME CLIENT_ID[,CLIENT_ID...]
    //   cashier USER PASSWORD MERCHANT_ID [PERMISSION]
    // "#" starts a comment. False with a reason on the first bad line.
    bool LoadAccounts(const std::string& path, std::string& error);
    void AddMerchant(Merchant merchant);
    void AddCashier(Cashier cashier);

    // Handles one POST: path and raw body bytes (GBK form text).
    Reply Handle(const std::string& path, const std::string& body);

  private:
    enum class Script { kPaidAtFirstQuery, kPaidAfterThree, kTimeoutAfterThree, kQrCode };
    struct Order {
        std::string order_id;
        std::string out_order_id;
        std::string merchant_id;
        std::string client_id;
        std::string pay_code;
        uint64_t total_fee = 0;
        uint64_t refunded = 0;
        int type_code = 1;
        int state = 1;
        int queries = 0;
        Script script = Script::kPaidAtFirstQuery;
        std::time_t created = 0;
        uint64_t pay_time = 0, cancel_time = 0, refund_time = 0;
        std::string description;
    };
    using Items = std::map<std::string, std::string>;

    Reply Create(const Merchant& m, const Items& items);
    Reply Query(const Merchant& m, const Items& items);
    Reply Refund(const Merchant& m, const Items& items);
    Reply Close(const Merchant& m, const Items& items);
    Reply PreCreate(const Merchant& m, const Items& items);
    Reply OrderList(const Merchant& m, const Items& items);
    Reply Statistics(const Merchant& m, const Items& items);
    Reply Login(const Items& items);
    Reply MerchantInfo(const Merchant& m, const Items& items);
    Reply ShopManager(const Merchant& m, const Items& items);
    Reply Permission(const Merchant& m, const Items& items);

    std::string OrderJson(const Order& order, int64_t this_refund) const;
    Order* FindOrder(const Merchant& m, const Items& items);
    void Advance(Order& order);
    std::string NewOrderId();

    Options options_;
    std::mutex mutex_;
    std::map<std::string, Merchant> merchants_;
    std::map<std::string, Cashier> cashiers_;
    std::map<std::string, std::string> last_cashier_;  // merchant id -> user
    std::vector<Order> orders_;
    std::map<std::string, size_t> by_order_id_;
    std::map<std::string, size_t> by_out_order_id_;  // merchant id + "\n" + out order id
    uint64_t sequence_ = 0;
};

// Refusal body: {"result":false,"message":...}.
std::string Refusal(const std::string& message);

}  // namespace tendrix::sandbox
