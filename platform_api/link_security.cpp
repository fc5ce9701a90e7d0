#include "platform_api/link_security.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "common/text_codec.h"
#include "platform_api/signing.h"

namespace tendrix::platform_api {
namespace {

constexpr std::string_view kLoginPathEnd = "/plugOrder/showLogin";
// Identifiers of the buyer's account or payment method: kept only as their last four.
constexpr std::array<std::string_view, 5> kPartlyHidden = {"payCode", "buyerLoginId", "buyerId",
                                                           "buyerLogonId", "buyerUserId"};

bool IsPartlyHidden(std::string_view name) {
    return std::find(kPartlyHidden.begin(), kPartlyHidden.end(), name) != kPartlyHidden.end();
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The host of "scheme://[user@]host[:port][/path]", without brackets, lower case.
std::string HostOf(std::string_view url) {
    const size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = rest.rfind('@'); at != std::string_view::npos) rest = rest.substr(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        return Lower(rest.substr(1, close == std::string_view::npos ? rest.npos : close - 1));
    }
    return Lower(rest.substr(0, rest.find(':')));
}

// Replaces the value of every member `name` of a JSON text by mask(value).
template <typename Mask>
void MaskJsonMember(std::string& json, std::string_view name, Mask mask) {
    const std::string quoted = "\"" + std::string(name) + "\"";
    size_t at = 0;
    while ((at = json.find(quoted, at)) != std::string::npos) {
        size_t value = json.find_first_not_of(" \t\r\n", at + quoted.size());
        if (value == std::string::npos || json[value] != ':') {
            at += quoted.size();
            continue;
        }
        value = json.find_first_not_of(" \t\r\n", value + 1);
        if (value == std::string::npos) break;
        size_t end = value;
        if (json[value] == '"') {
            ++value;
            end = value;
            while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
        } else {
            // A value of another type: up to the next separator.
            end = json.find_first_of(",}]", value);
        }
        end = std::min(end, json.size());
        const std::string masked = mask(std::string_view(json).substr(value, end - value));
        json.replace(value, end - value, masked);
        at = value + masked.size();
    }
}

}  // namespace

bool IsLoopbackUrl(std::string_view url) {
    const std::string host = HostOf(url);
    if (host == "localhost" || host == "localhost." || host == "::1") return true;
    // 127.0.0.0/8 written as a dotted address.
    return host.rfind("127.", 0) == 0 && host.find_first_not_of("0123456789.") == std::string::npos;
}

std::string PlainHttpWarning(std::string_view api_base) {
    if (Lower(api_base.substr(0, 7)) != "http://" || IsLoopbackUrl(api_base)) return {};
    return "平台地址 " + std::string(api_base) +
           " 未加密（http）：同一网络中的他人可读取登录密码和签名密钥、伪造支付结果。"
           "请改用 https 地址。";
}

std::string MaskKeepLastFour(std::string_view text) {
    // Characters, not bytes: a code is never cut inside a UTF-8 sequence.
    const std::u16string units = common::Utf8ToUtf16(text);
    if (units.size() <= 4) return "***";
    return "***" + common::Utf16ToUtf8(units.substr(units.size() - 4));
}

std::string FormItemsForLog(std::string_view body, std::string_view path) {
    const bool login = path.size() >= kLoginPathEnd.size() &&
                       path.substr(path.size() - kLoginPathEnd.size()) == kLoginPathEnd;
    std::string out;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos) end = body.size();
        const std::string_view item = body.substr(start, end - start);
        const size_t eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
        start = end + 1;
        if (name == kSignatureItemName) continue;
        if (!out.empty()) out += '&';
        if (name == "userPwd" || (login && name == "merchantId")) {
            out += std::string(name) + "=***";
        } else if (IsPartlyHidden(name)) {
            out += std::string(name) + "=" + MaskKeepLastFour(value);
        } else {
            out += item;
        }
    }
    return out;
}

std::string AnswerForLog(std::string answer) {
    MaskJsonMember(answer, "secret", [](std::string_view) { return std::string("***"); });
    for (std::string_view name : kPartlyHidden) MaskJsonMember(answer, name, MaskKeepLastFour);
    constexpr size_t kMaxLogged = 4096;
    if (answer.size() > kMaxLogged) {
        const size_t total = answer.size();
        answer.resize(kMaxLogged);
        // Do not leave half a UTF-8 character at the cut.
        while (!answer.empty() && (static_cast<unsigned char>(answer.back()) & 0xC0) == 0x80) {
            answer.pop_back();
        }
        if (!answer.empty() && static_cast<unsigned char>(answer.back()) >= 0xC0) answer.pop_back();
        answer += "...(" + std::to_string(total) + " bytes)";
    }
    return answer;
}

}  // namespace tendrix::platform_api
