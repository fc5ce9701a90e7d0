// The transport of every platform exchange: one HTTP POST through libcurl, logged with its
// secrets masked.
#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "common/diag_log.h"
#include "common/text_codec.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"

namespace tendrix {
namespace {

constexpr std::string_view kLogCategory = "platform";

void GlobalCurlInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Receive routine: appends each chunk to the buffer of this one exchange.
size_t Receive(char* data, size_t size, size_t count, void* user) {
    auto* buffer = static_cast<std::string*>(user);
    buffer->append(data, size * count);
    return size * count;
}

std::string PathOf(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? url : url.substr(slash);
}

// Items of a body for the log: the signature left out, the password and what derives
// from it (the login "merchantId" digest) masked.
std::string ItemsForLog(const std::string& body, const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string item = body.substr(start, end - start);
        const std::string name = item.substr(0, item.find('='));
        if (name != kSignatureItemName) {
            if (name == "userPwd" || (name == "merchantId" && path == paths::kShowLogin)) {
                item = name + "=***";
            }
            if (!out.empty()) out += '&';
            out += item;
        }
        start = end + 1;
    }
    return out;
}

// The answer for the log: the value of any "secret" member masked.
std::string AnswerForLog(std::string answer) {
    size_t at = 0;
    while ((at = answer.find("\"secret\"", at)) != std::string::npos) {
        size_t value = answer.find_first_not_of(" \t\r\n", at + 8);
        if (value == std::string::npos || answer[value] != ':') {
            at += 8;
            continue;
        }
        value = answer.find_first_not_of(" \t\r\n", value + 1);
        if (value == std::string::npos) break;
        size_t end = value;
        if (answer[value] == '"') {
            ++value;
            end = value;
            while (end < answer.size() && answer[end] != '"') end += answer[end] == '\\' ? 2 : 1;
        } else {
            // A value of another type: up to the next separator.
            end = answer.find_first_of(",}]", value);
        }
        end = std::min(end, answer.size());
        answer.replace(value, end - value, "***");
        at = value + 3;
    }
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

}  // namespace

void PlatformClient::PostForm(std::string& answer, const std::string& url) const {
    GlobalCurlInit();
    const auto started = std::chrono::steady_clock::now();
    // The body leaves the program in the ANSI code page, whole whatever its length.
    const std::string body = IsAscii(answer) ? answer : Utf8ToGbk(answer);
    std::string received;  // this exchange's own receive buffer
    CURLcode result = CURLE_FAILED_INIT;
    if (CURL* curl = curl_easy_init()) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        // An empty proxy text also keeps libcurl from taking one from the environment.
        curl_easy_setopt(curl, CURLOPT_PROXY, proxy_address_.c_str());
        if (!proxy_address_.empty() && !proxy_credentials_.empty()) {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, proxy_credentials_.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Receive);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_.count()));
        // Time-outs without signals: clients may run on several threads.
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    const std::string items = ItemsForLog(answer, PathOf(url));
    if (result != CURLE_OK) {
        answer = std::string(kNetworkFailureText);
    } else if (received.empty()) {
        answer.clear();
    } else if (IsValidUtf8(received)) {
        answer = std::move(received);
    } else {
        answer = Utf16ToUtf8(Utf8ToUtf16(received));  // bad bytes become U+FFFD
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    std::string line = "POST " + PathOf(url) + " items=" + items + " ms=" + std::to_string(ms);
    if (result != CURLE_OK) {
        line += " curl=" + std::to_string(static_cast<int>(result)) + " (" +
                curl_easy_strerror(result) + ")";
    }
    line += " answer=" + AnswerForLog(answer);
    diag::Write(kLogCategory, line);
}

}  // namespace tendrix
