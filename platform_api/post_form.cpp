// The transport of every platform exchange: one HTTP(S) POST through libcurl, certificates
// verified, connections reused, logged with its secrets masked.
#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "common/diag_log.h"
#include "common/text_codec.h"
#include "platform_api/link_security.h"
#include "platform_api/platform_client.h"
#include "platform_api/signing.h"

namespace tendrix::platform_api {
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

// One connection cache, TLS session cache and DNS cache for every exchange of the process:
// consecutive calls reuse the open (and already verified) connection instead of a new TCP
// and TLS handshake each. libcurl matches a cached connection only to a request with the
// same address, proxy and TLS settings.
class SharedCaches {
  public:
    SharedCaches() {
        share_ = curl_share_init();
        if (!share_) return;
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    CURLSH* handle() const { return share_; }

  private:
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedCaches*>(self)->Mutex(data).lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedCaches*>(self)->Mutex(data).unlock();
    }
    std::mutex& Mutex(curl_lock_data data) {
        return mutexes_[static_cast<size_t>(data) % mutexes_.size()];
    }

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

// Lives as long as the process: cached connections may be in use on any thread until exit.
CURLSH* Shared() {
    static SharedCaches* caches = new SharedCaches;
    return caches->handle();
}

std::mutex g_ca_mutex;
std::string g_ca_file;

}  // namespace

void SetPlatformCaFile(std::string file) {
    std::lock_guard<std::mutex> lock(g_ca_mutex);
    g_ca_file = std::move(file);
}

std::string PlatformCaFile() {
    std::lock_guard<std::mutex> lock(g_ca_mutex);
    return g_ca_file;
}

PlatformAnswer PlatformClient::PostForm(const std::string& form, const std::string& url) const {
    GlobalCurlInit();
    const auto started = std::chrono::steady_clock::now();
    // The body leaves the program in the ANSI code page, whole whatever its length.
    const std::string body = IsAscii(form) ? form : common::Utf8ToGbk(form);
    std::string received;  // this exchange's own receive buffer
    CURLcode result = CURLE_FAILED_INIT;
    char error[CURL_ERROR_SIZE] = {};
    const std::string ca_file = PlatformCaFile();
    if (CURL* curl = curl_easy_init()) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        // Only the platform's own schemes: a base address such as file:// or ftp:// fails.
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_SHARE, Shared());
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
        // The peer's certificate chain and its host name are checked on every https exchange.
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.c_str());
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
        // An unreachable platform is reported after the connect time-out, not the total one.
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(std::min(timeout_, kConnectTimeout).count()));
        // Time-outs without signals: clients may run on several threads.
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    const std::string items = FormItemsForLog(form, PathOf(url));
    PlatformAnswer answer;
    if (result != CURLE_OK) {
        answer.error = PlatformError::kNetwork;
        answer.message = std::string(kNetworkFailureText);
        answer.detail = error[0] ? error : curl_easy_strerror(result);
    } else if (received.empty()) {
        answer.error = PlatformError::kEmpty;
        answer.message = std::string(kNoServerInfoText);
    } else if (common::IsValidUtf8(received)) {
        answer.value = std::move(received);
    } else {
        answer.value =
            common::Utf16ToUtf8(common::Utf8ToUtf16(received));  // bad bytes become U+FFFD
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    std::string line = "POST " + PathOf(url) + " items=" + items + " ms=" + std::to_string(ms);
    if (result != CURLE_OK) {
        line += " curl=" + std::to_string(static_cast<int>(result)) + " (" + answer.detail + ")";
    }
    line += " answer=" +
            AnswerForLog(answer.error == PlatformError::kNetwork ? answer.message : answer.value);
    common::diag::Write(kLogCategory, line);
    return answer;
}

}  // namespace tendrix::platform_api
