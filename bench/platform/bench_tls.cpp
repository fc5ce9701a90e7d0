// Create + query round trip on loopback over HTTPS (certificate verified, connection reused)
// against plain HTTP, interleaved in one run so both see the same machine load.
//   bench_platform_tls [round_trips=300]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "common/diag_log.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/link_security.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/platform_api/tls_helpers.h"
#include "tests/support/sandbox_process.h"

using namespace tendrix;
using Clock = std::chrono::steady_clock;

namespace {

// One create + query in milliseconds; negative on failure.
double RoundTrip(const platform_api::PlatformClient& client, int n) {
    char code[32];
    // Characters 4 to 13 make the merchant order number: unique per trip.
    std::snprintf(code, sizeof code, "289%010d0000%d", n, n % 5);
    const auto t0 = Clock::now();
    const platform_api::PlatformResult<platform_api::TextList> created =
        platform_api::ParseOrderAnswer(client.CreateOrder(
            platform_api::MakeOutOrderId(std::time(nullptr), code), "3600", code, ""));
    if (!created.ok()) return -1;
    const std::string order = created.value[2].substr(std::string("订单号：").size());
    if (!platform_api::ParseOrderAnswer(client.QueryOrder(order.substr(0, order.size() - 2), ""))
             .ok())
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void Report(const char* name, std::vector<double> ms, int failures) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s n=%zu median=%.3f ms p90=%.3f ms max=%.3f ms failures=%d\n", name, ms.size(),
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), failures);
}

}  // namespace

int main(int argc, char** argv) {
    const int trips = argc > 1 ? std::atoi(argv[1]) : 300;
    if (!std::getenv("TENDRIX_BIN_DIR")) {
        const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        setenv("TENDRIX_BIN_DIR", dir.c_str(), 1);
    }
    test::TestCertificates certs;
    if (!certs.ok()) {
        std::fprintf(stderr, "%s\n", certs.error().c_str());
        return 1;
    }
    test::SandboxProcess plain;
    test::SandboxProcess::Options options;
    options.extra_args = certs.SandboxArgs();
    test::SandboxProcess tls(options);
    if (!plain.ok() || !tls.ok()) {
        std::fprintf(stderr, "%s %s\n", plain.error().c_str(), tls.error().c_str());
        return 1;
    }
    test::TempDir log_dir;
    common::diag::SetDirectory(log_dir.path());
    platform_api::SetPlatformCaFile(certs.ca_file());
    const platform_api::PlatformIdentity demo{"M100001", "C1001", "sandbox-demo-secret", "demo"};
    platform_api::PlatformClient http("", "", "", "", plain.base_url());
    platform_api::PlatformClient https("", "", "", "",
                                       "https://localhost:" + std::to_string(tls.port()));
    http.set_identity(demo);
    https.set_identity(demo);

    // The first HTTPS trip pays for the TCP and TLS handshakes and the certificate check.
    const double first_tls = RoundTrip(https, 1000000);
    RoundTrip(http, 1000001);
    std::vector<double> http_ms, https_ms;
    int http_failures = 0, https_failures = 0;
    for (int i = 1; i <= trips; ++i) {
        const double a = RoundTrip(http, i);
        const double b = RoundTrip(https, i);
        a < 0 ? ++http_failures : (http_ms.push_back(a), 0);
        b < 0 ? ++https_failures : (https_ms.push_back(b), 0);
    }
    std::printf("first https round trip (handshake + verification): %.3f ms\n", first_tls);
    Report("http  create+query:", http_ms, http_failures);
    Report("https create+query (reused):", https_ms, https_failures);
    return http_failures + https_failures == 0 ? 0 : 1;
}
