// Round trips to the sandbox on loopback (target: create + query median under 5 ms) and the
// load check (200 requests per second from 4 concurrent clients, no error).
//   bench_platform_sandbox [round_trips=500] [load_seconds=10]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform_api/answer_parsers.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/support/sandbox_process.h"

using namespace tendrix;
using Clock = std::chrono::steady_clock;

namespace {

std::string Code(int worker, int n) {
    char text[32];
    std::snprintf(text, sizeof text, "28%02d%08d00000%d", worker, n, n % 5);
    return text;
}

// One create + query; false on any failure.
bool RoundTrip(const platform_api::PlatformClient& client, int worker, int n) {
    const std::string code = Code(worker, n);
    const platform_api::PlatformResult<platform_api::TextList> created =
        platform_api::ParseOrderAnswer(client.CreateOrder(
            platform_api::MakeOutOrderId(std::time(nullptr), code), "3600", code, ""));
    if (!created.ok()) return false;
    const std::string order = created.value[2].substr(std::string("订单号：").size());
    return platform_api::ParseOrderAnswer(client.QueryOrder(order.substr(0, order.size() - 2), ""))
        .ok();
}

}  // namespace

int main(int argc, char** argv) {
    const int trips = argc > 1 ? std::atoi(argv[1]) : 500;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    if (!std::getenv("TENDRIX_BIN_DIR")) {
        const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        setenv("TENDRIX_BIN_DIR", dir.c_str(), 1);
    }
    test::SandboxProcess sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "%s\n", sandbox.error().c_str());
        return 1;
    }
    platform_api::PlatformClient client("", "", "", "", sandbox.base_url());
    client.set_identity({"M100001", "C1001", "sandbox-demo-secret", "demo"});

    std::vector<double> ms;
    int failures = 0;
    for (int i = 0; i < trips; ++i) {
        const auto t0 = Clock::now();
        if (!RoundTrip(client, 99, i)) ++failures;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "create+query round trip: n=%d median=%.3f ms p90=%.3f ms max=%.3f ms failures=%d\n", trips,
        ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), failures);

    // 4 clients, each paced at 50 requests per second (create and query alternate).
    std::atomic<int> sent{0}, errors{0};
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            platform_api::PlatformClient c("", "", "", "", sandbox.base_url());
            c.set_identity({"M100002", w % 2 ? "C2001" : "C2002", "sandbox-multi-secret", "multi"});
            const auto period = std::chrono::milliseconds(40);  // one round trip = 2 requests
            for (int n = 0; Clock::now() - start < std::chrono::seconds(seconds); ++n) {
                const auto due = start + period * n;
                std::this_thread::sleep_until(due);
                if (!RoundTrip(c, w, n)) ++errors;
                sent += 2;
            }
        });
    }
    for (auto& t : workers) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("load: 4 clients, %d requests in %.2f s = %.1f req/s, errors=%d\n", sent.load(),
                elapsed, sent.load() / elapsed, errors.load());
    return failures == 0 && errors == 0 ? 0 : 1;
}
