// tendrix-cli platform commands: login, pay, query, refund, close, precreate, orders, stats.
//
// Exit codes: 0 success; 1 refusal (the platform's message on stderr), a payment that ended
// unpaid, or a usage error; 2 the network failure text.
//
// Secrets (merchant secret, cashier and proxy passwords) are read from the environment or a
// file: the command line of a running program is visible to every user (ps).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/diag_log.h"
#include "context/app_config.h"
#include "context/code_tables.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/link_security.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"
#include "store/settings_keys.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
namespace {

constexpr int kExitOk = 0, kExitRefused = 1, kExitNetwork = 2;

// Options that take a value; everything else starting with "--" is a switch.
const std::set<std::string> kValueOptions = {
    "--api-base", "--proxy", "--proxy-user", "--merchant",    "--client",
    "--secret",   "--user",  "--password",   "--secret-file", "--password-file",
    "--ca-file",  "--type",  "--order",      "--out-order",   "--reason",
    "--start",    "--end",   "--page",       "--state"};
const std::set<std::string> kSwitches = {"--wait", "--show-secret"};

constexpr const char* kSecretEnv = "TENDRIX_SECRET";
constexpr const char* kPasswordEnv = "TENDRIX_PASSWORD";
constexpr const char* kProxyPasswordEnv = "TENDRIX_PROXY_PASSWORD";

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> switches;
    std::string error;

    std::optional<std::string> Get(const std::string& name) const {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::string Or(const std::string& name, const std::string& fallback) const {
        return Get(name).value_or(fallback);
    }
};

Args Parse(const std::vector<std::string>& raw) {
    Args a;
    for (size_t i = 0; i < raw.size(); ++i) {
        const std::string& s = raw[i];
        if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            if (kValueOptions.count(s)) {
                if (i + 1 >= raw.size()) {
                    a.error = s + " needs a value";
                    return a;
                }
                a.values[s] = raw[++i];
            } else if (kSwitches.count(s)) {
                a.switches.insert(s);
            } else {
                a.error = "unknown option " + s;
                return a;
            }
        } else if (a.command.empty()) {
            a.command = s;
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "tendrix-cli: %s (see tendrix-cli --help)\n", message.c_str());
    return kExitRefused;
}

void WarnVisible(const std::string& what, const std::string& instead) {
    std::fprintf(stderr,
                 "tendrix-cli: warning: %s on the command line can be read by every user of this "
                 "computer (ps); use %s instead\n",
                 what.c_str(), instead.c_str());
}

// A secret from, in this order: the command-line option (with a warning), the file option
// (its first line), the environment variable. nullopt when none is given; error is set when
// the file cannot be read.
std::optional<std::string> SecretValue(const Args& a, const std::string& option,
                                       const std::string& file_option, const char* env,
                                       std::string& error) {
    if (auto value = a.Get(option)) {
        WarnVisible(option, std::string(env) + " or " + file_option + " FILE");
        return value;
    }
    if (auto file = a.Get(file_option)) {
        std::ifstream in(*file, std::ios::binary);
        std::string line;
        if (!in || !std::getline(in, line)) {
            error = "cannot read " + *file + " (" + file_option + ")";
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
    if (const char* value = std::getenv(env); value && *value) return std::string(value);
    return std::nullopt;
}

// Base address: --api-base, else api_base of the installation next to this executable
// (UIskin/compmessage.txt; TENDRIX_API_BASE overrides it). CA file: --ca-file, else the
// installation's setting. Also sends the diagnostic log of the exchanges to the
// installation's log directory, and warns when the address travels in clear.
std::string ApiBase(const Args& a) {
    context::AppConfig config = InstallationConfig();
    if (common::diag::Directory().empty()) common::diag::SetDirectory(config.log_dir);
    if (auto ca = a.Get("--ca-file")) {
        platform_api::SetPlatformCaFile(*ca);
    } else {
        config.LoadSettings();
        platform_api::SetPlatformCaFile(config.Setting(store::keys::sysPlatformCaFile));
    }
    std::string base;
    if (auto given = a.Get("--api-base")) {
        base = *given;
    } else {
        config.LoadCompanyInfo();
        base = config.api_base;
    }
    if (const std::string warning = platform_api::PlainHttpWarning(base); !warning.empty()) {
        std::fprintf(stderr, "tendrix-cli: warning: %s\n", warning.c_str());
    }
    return base;
}

platform_api::PlatformClient MakeClient(const Args& a) {
    std::string host, port, user, password;
    if (auto proxy = a.Get("--proxy")) {
        const size_t colon = proxy->rfind(':');
        host = colon == std::string::npos ? *proxy : proxy->substr(0, colon);
        port = colon == std::string::npos ? "" : proxy->substr(colon + 1);
    }
    if (auto cred = a.Get("--proxy-user")) {
        const size_t colon = cred->find(':');
        user = cred->substr(0, colon);
        if (colon != std::string::npos) {
            password = cred->substr(colon + 1);
            WarnVisible("a proxy password in --proxy-user", kProxyPasswordEnv);
        } else if (const char* env = std::getenv(kProxyPasswordEnv)) {
            password = env;
        }
    }
    return platform_api::PlatformClient(host, port, user, password, ApiBase(a),
                                        StartEnvironment().platform_timeout);
}

// Reports a failed exchange or refusal (shown as `message`); returns the exit code.
template <typename T>
int Fail(const platform_api::PlatformResult<T>& failure, const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    if (failure.error != platform_api::PlatformError::kNetwork) return kExitRefused;
    // What an installer needs to mend it: a refused port, an unverified certificate, ...
    if (!failure.detail.empty()) std::fprintf(stderr, "tendrix-cli: %s\n", failure.detail.c_str());
    return kExitNetwork;
}

template <typename T>
int Fail(const platform_api::PlatformResult<T>& failure) {
    return Fail(failure, failure.message);
}

void PrintLines(const platform_api::TextList& lines) {
    std::string out;
    for (const std::string& line : lines) out += line;
    std::string clean;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
        clean += out[i];
    }
    std::fputs(clean.c_str(), stdout);
    if (!clean.empty() && clean.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Logs in; fills list with merchant id, secret, client ids. Returns an exit code.
int DoLogin(const platform_api::PlatformClient& client, const std::string& user,
            const std::string& password, platform_api::TextList& list) {
    const platform_api::PlatformAnswer answer = client.Login(user, password);
    const platform_api::PlatformResult<platform_api::TextList> login =
        platform_api::ParseLoginAnswer(answer);
    // An answer that cannot be read is shown as it came: it tells an installer most.
    if (login.error == platform_api::PlatformError::kUnreadable) return Fail(login, answer.value);
    if (!login.ok()) return Fail(login);
    list = login.value;
    return kExitOk;
}

// Sets the client's identity from --merchant/--client and the secret, or by logging in with
// --user and the password. Returns an exit code.
int Identify(platform_api::PlatformClient& client, const Args& a) {
    std::string error;
    auto merchant = a.Get("--merchant"), id = a.Get("--client");
    if (merchant && id) {
        auto secret = SecretValue(a, "--secret", "--secret-file", kSecretEnv, error);
        if (!error.empty()) return Usage(error);
        if (secret) {
            client.set_identity({*merchant, *id, *secret, a.Or("--user", "")});
            return kExitOk;
        }
    }
    auto user = a.Get("--user");
    auto password = SecretValue(a, "--password", "--password-file", kPasswordEnv, error);
    if (!error.empty()) return Usage(error);
    if (!user || !password) {
        return Usage(
            "no merchant identity: give --merchant ID --client ID --secret KEY, or --user USER "
            "--password PASS to log in (secrets from TENDRIX_SECRET / TENDRIX_PASSWORD or "
            "--secret-file / --password-file)");
    }
    platform_api::TextList list;
    if (int rc = DoLogin(client, *user, *password, list); rc != kExitOk) return rc;
    if (list.size() < 3) return Usage("the login answer names no client id");
    client.set_identity({list[0], list[2], list[1], *user});
    return kExitOk;
}

// Prepares the client (base address, identity) for an order command.
int Prepare(platform_api::PlatformClient& client, const Args& a) {
    if (client.api_base().empty()) {
        return Usage(
            "no platform address: give --api-base URL or set api_base in "
            "UIskin/compmessage.txt (or TENDRIX_API_BASE)");
    }
    return Identify(client, a);
}

// The number in the state line "支付状态：...（N）", or -1.
int StateOf(const platform_api::TextList& lines) {
    for (const std::string& line : lines) {
        if (line.rfind("支付状态：", 0) != 0) continue;
        const size_t open = line.rfind("（");
        if (open == std::string::npos) return -1;
        return std::atoi(line.c_str() + open + std::string("（").size());
    }
    return -1;
}

std::string OrderIdOf(const platform_api::TextList& lines) {
    const std::string label = "订单号：";
    for (const std::string& line : lines) {
        if (line.rfind(label, 0) == 0) {
            std::string id = line.substr(label.size());
            while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
            return id;
        }
    }
    return {};
}

int OrderAnswer(const platform_api::PlatformAnswer& answer, platform_api::TextList& lines) {
    const platform_api::PlatformResult<platform_api::TextList> order =
        platform_api::ParseOrderAnswer(answer);
    if (!order.ok()) return Fail(order);
    lines = order.value;
    return kExitOk;
}

bool IsStamp(const std::string& s) {
    return s.size() == 14 && s.find_first_not_of("0123456789") == std::string::npos;
}

int RunLogin(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    if (a.positional.empty() || a.positional.size() > 2) return Usage("login USER [PASSWORD]");
    std::string password;
    if (a.positional.size() == 2) {
        WarnVisible("the password", std::string(kPasswordEnv) + " or --password-file FILE");
        password = a.positional[1];
    } else {
        std::string error;
        auto value = SecretValue(a, "--password", "--password-file", kPasswordEnv, error);
        if (!error.empty()) return Usage(error);
        if (!value) return Usage("login USER: no password (TENDRIX_PASSWORD or --password-file)");
        password = *value;
    }
    platform_api::PlatformClient client = MakeClient(a);
    if (client.api_base().empty()) return Usage("no platform address: give --api-base URL");
    platform_api::TextList list;
    if (int rc = DoLogin(client, a.positional[0], password, list); rc != kExitOk) return rc;
    // The signing key is printed only on request: terminals are logged and looked over.
    std::printf("商户号：%s\n", list[0].c_str());
    if (a.switches.count("--show-secret")) {
        std::printf("密钥：%s\n", list.size() > 1 ? list[1].c_str() : "");
    } else {
        std::printf("密钥：（已隐藏，加 --show-secret 显示）\n");
    }
    for (size_t i = 2; i < list.size(); ++i) std::printf("设备号：%s\n", list[i].c_str());
    return kExitOk;
}

int RunPay(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    if (a.positional.size() != 2) return Usage("pay AMOUNT_YUAN PAYCODE [--type CODE] [--wait]");
    if (!platform_api::IsPaymentCodeText(a.positional[1])) {
        return Usage("payment code " + a.positional[1] + " may hold letters and digits only");
    }
    const std::string fen = platform_api::YuanToFenText(a.positional[0]);
    if (fen.empty() || fen.find_first_not_of('0') == std::string::npos) {
        return Usage("amount " + a.positional[0] + " is not a yuan amount above zero");
    }
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    const std::string out_order_id =
        platform_api::MakeOutOrderId(std::time(nullptr), a.positional[1]);
    std::printf("%s\n", out_order_id.c_str());
    std::fflush(stdout);
    platform_api::TextList lines;
    if (int rc = OrderAnswer(
            client.CreateOrder(out_order_id, fen, a.positional[1], a.Or("--type", "")), lines);
        rc != kExitOk)
        return rc;
    if (!a.switches.count("--wait")) {
        PrintLines(lines);
        return kExitOk;
    }
    // Poll every 2 seconds, as the result page does, until the order leaves "pending".
    constexpr int kPending = 1, kPaid = 7, kMaxPolls = 90;
    const std::string order_id = OrderIdOf(lines);
    int state = StateOf(lines);
    for (int poll = 0; state == kPending || state < 0; ++poll) {
        if (poll >= kMaxPolls) {
            PrintLines(lines);
            std::fprintf(stderr, "订单仍在等待付款，请稍后用 query --out-order %s 查询\n",
                         out_order_id.c_str());
            return kExitRefused;
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const platform_api::PlatformAnswer answer =
            client.QueryOrder(order_id, order_id.empty() ? out_order_id : "");
        if (int rc = OrderAnswer(answer, lines); rc != kExitOk) return rc;
        state = StateOf(lines);
    }
    PrintLines(lines);
    return state == kPaid ? kExitOk : kExitRefused;
}

int RunQuery(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    auto order = a.Get("--order"), out = a.Get("--out-order");
    if (!a.positional.empty() || (!order && !out) || (order && out)) {
        return Usage("query (--order ID | --out-order ID)");
    }
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    platform_api::TextList lines;
    if (int rc = OrderAnswer(client.QueryOrder(order.value_or(""), out.value_or("")), lines);
        rc != kExitOk)
        return rc;
    PrintLines(lines);
    return kExitOk;
}

int RunRefund(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    if (a.positional.size() != 2) return Usage("refund ORDER_ID AMOUNT_YUAN [--reason TEXT]");
    // An amount of zero ("0", "0.0", "0.00") refunds the whole remaining amount ("00").
    std::string fen = platform_api::YuanToFenText(a.positional[1]);
    if (fen.empty()) return Usage("amount " + a.positional[1] + " is not a yuan amount");
    if (fen.find_first_not_of('0') == std::string::npos) fen = "00";
    const std::string reason = a.Or("--reason", "");
    if (reason.size() > platform_api::kHexUtf8MaxBytes)
        return Usage("--reason is longer than 199 bytes");
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    platform_api::TextList lines;
    if (int rc = OrderAnswer(client.RefundOrder(fen, a.positional[0], reason), lines);
        rc != kExitOk)
        return rc;
    PrintLines(lines);
    return kExitOk;
}

int RunClose(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    if (a.positional.size() != 1) return Usage("close ORDER_ID [--reason TEXT]");
    const std::string reason = a.Or("--reason", "");
    if (reason.size() > platform_api::kHexUtf8MaxBytes)
        return Usage("--reason is longer than 199 bytes");
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    platform_api::TextList lines;
    if (int rc = OrderAnswer(client.CloseOrder(a.positional[0], reason), lines); rc != kExitOk)
        return rc;
    PrintLines(lines);
    return kExitOk;
}

int RunPreCreate(const std::vector<std::string>& raw) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    if (a.positional.size() != 2) return Usage("precreate AMOUNT_YUAN PAY_TYPE_NAME");
    const std::string fen = platform_api::YuanToFenText(a.positional[0]);
    if (fen.empty() || fen.find_first_not_of('0') == std::string::npos) {
        return Usage("amount " + a.positional[0] + " is not a yuan amount above zero");
    }
    const int code = context::CodeForName(context::PayTypeNames(), a.positional[1]);
    if (code <= 0) return Usage("unknown pay type name " + a.positional[1]);
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    platform_api::QueryFields fields{
        {"outOrderId", client.MakePreCreateOrderNumber(std::time(nullptr))},
        {"orderType", std::to_string(code)},
        {"totalFee", fen},
        {"tradeType", "NATIVE"}};
    const platform_api::PlatformResult<platform_api::TextList> items =
        platform_api::ParsePreCreateAnswer(client.PreCreateOrder(fields));
    if (!items.ok()) return Fail(items);
    PrintLines(items.value);
    return kExitOk;
}

void PrintRows(const platform_api::TextList& rows) {
    for (const std::string& row : rows) {
        std::string line = row;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        for (char& c : line) {
            if (c == '\n') c = '\t';
        }
        std::printf("%s\n", line.c_str());
    }
}

int RunListQuery(const std::vector<std::string>& raw, bool statistics) {
    Args a = Parse(raw);
    if (!a.error.empty()) return Usage(a.error);
    auto start = a.Get("--start"), end = a.Get("--end");
    if (!a.positional.empty() || !start || !end) {
        return Usage(statistics ? "stats --start YYYYMMDDhhmmss --end YYYYMMDDhhmmss [--type CODE]"
                                : "orders --start YYYYMMDDhhmmss --end YYYYMMDDhhmmss [--page N] "
                                  "[--type CODE] [--state CODE]");
    }
    if (!IsStamp(*start) || !IsStamp(*end)) return Usage("--start and --end take 14 digits");
    platform_api::QueryFields fields{
        {"startTime", *start}, {"endTime", *end}, {"orderType", a.Or("--type", "0")}};
    if (!statistics) {
        fields["pageNum"] = a.Or("--page", "1");
        fields["pageSize"] = "15";
        fields["orderState"] = a.Or("--state", "0");
    }
    platform_api::PlatformClient client = MakeClient(a);
    if (int rc = Prepare(client, a); rc != kExitOk) return rc;
    if (statistics) {
        const platform_api::PlatformResult<platform_api::StatisticsAnswer> stats =
            platform_api::ParseStatisticsAnswer(client.QueryStatistics(fields));
        if (!stats.ok()) return Fail(stats);
        std::printf("%s\n", stats.value.period.c_str());
        PrintRows(stats.value.rows);
    } else {
        const platform_api::PlatformResult<platform_api::TextList> rows =
            platform_api::ParseOrderListAnswer(client.QueryOrderList(fields));
        if (!rows.ok()) return Fail(rows);
        PrintRows(rows.value);
    }
    return kExitOk;
}

const CliRegistrar kLogin(
    "login",
    "  [--api-base URL] [--ca-file PEM] [--proxy HOST:PORT] [--proxy-user USER]\n"
    "  [--merchant ID --client ID] [--user USER]\n"
    "      secrets: TENDRIX_SECRET, TENDRIX_PASSWORD, TENDRIX_PROXY_PASSWORD, or\n"
    "      --secret-file FILE, --password-file FILE (--secret KEY, --password PASS and\n"
    "      USER:PASS still work, with a warning: other users can see them in ps)\n"
    "  login USER [PASSWORD] [--show-secret]\n"
    "      prints 商户号：, 密钥： (hidden unless --show-secret) and each 设备号：",
    RunLogin, {"--show-secret"});
const CliRegistrar kPay("pay", "  pay AMOUNT_YUAN PAYCODE [--type CODE] [--wait]", RunPay,
                        {"--wait"});
const CliRegistrar kQuery("query", "  query (--order ID | --out-order ID)", RunQuery);
const CliRegistrar kRefund("refund",
                           "  refund ORDER_ID AMOUNT_YUAN [--reason TEXT]   (amount 0: all that "
                           "is left)",
                           RunRefund);
const CliRegistrar kClose("close", "  close ORDER_ID [--reason TEXT]", RunClose);
const CliRegistrar kPreCreate("precreate", "  precreate AMOUNT_YUAN PAY_TYPE_NAME", RunPreCreate);
const CliRegistrar kOrders("orders",
                           "  orders --start YYYYMMDDhhmmss --end YYYYMMDDhhmmss [--page N] "
                           "[--type CODE] [--state CODE]",
                           [](const std::vector<std::string>& a) {
                               return RunListQuery(a, false);
                           });
const CliRegistrar kStats("stats",
                          "  stats  --start YYYYMMDDhhmmss --end YYYYMMDDhhmmss [--type CODE]",
                          [](const std::vector<std::string>& a) { return RunListQuery(a, true); });

}  // namespace
}  // namespace tendrix::tools
