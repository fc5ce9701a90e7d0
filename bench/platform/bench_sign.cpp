// Building and signing a create request (target: under 20 microseconds).
#include <benchmark/benchmark.h>

#include <ctime>

#include "platform_api/money_text.h"
#include "platform_api/signing.h"

namespace {

void BM_BuildAndSignCreate(benchmark::State& state) {
    const std::string merchant = "M100001", client = "C1001", secret = "sandbox-demo-secret";
    const std::string code = "281234567890123451";
    for (auto _ : state) {
        const std::string fen = tendrix::platform_api::YuanToFenText("36.00");
        const std::string out = tendrix::platform_api::MakeOutOrderId(std::time(nullptr), code);
        tendrix::platform_api::ParamList items{"merchantId=" + merchant, "clientId=" + client,
                                               "payCode=" + code, "totalFee=" + fen,
                                               "outOrderId=" + out};
        std::string body = tendrix::platform_api::BuildSignedBody(std::move(items), secret);
        benchmark::DoNotOptimize(body);
    }
}
BENCHMARK(BM_BuildAndSignCreate);

void BM_Md5Hex256(benchmark::State& state) {
    const std::string text(256, 'a');
    for (auto _ : state) benchmark::DoNotOptimize(tendrix::platform_api::Md5HexOf(text));
}
BENCHMARK(BM_Md5Hex256);

}  // namespace

BENCHMARK_MAIN();
