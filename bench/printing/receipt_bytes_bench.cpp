// Turning a 30-line receipt into printer bytes, per code mode.
#include <benchmark/benchmark.h>

#include "bench/printing/bench_receipt.h"
#include "printing/escpos.h"

namespace {

using namespace tendrix;

void BM_ReceiptToBytes(benchmark::State& state) {
    const std::string block = bench::Record(bench::ThirtyLineReceipt("20261206100000000001"));
    printing::ReceiptOptions o;
    o.copies = 1;
    o.blank_lines = 3;
    o.code_mode = int(state.range(0));
    o.sayings[0] = common::Utf8ToGbk("谢谢惠顾，欢迎下次光临！");
    o.sayings[1] = common::Utf8ToGbk("客户存根，请妥善保存，谢谢惠顾，欢迎下次光临！");
    o.title = common::Utf8ToGbk("测试便利店");
    const std::string prefix = "https://invoice.example.com/inv?merchantId=100200300&transCode=";
    size_t bytes = 0;
    for (auto _ : state) {
        printing::MemoryPort port;
        printing::PrintReceipt(port, block, prefix, o);
        bytes = port.bytes().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
    state.counters["serial_9600_s"] = double(bytes) * 10 / 9600;
    state.counters["serial_115200_s"] = double(bytes) * 10 / 115200;
}
BENCHMARK(BM_ReceiptToBytes)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The two halves of a QR receipt's cost: encoding (libqrencode) plus the pixel image, and
// packing the image into ESC * stripes.
const std::string kQrContent =
    "https://invoice.example.com/inv?merchantId=100200300&transCode=20261206100000000001";

void BM_QrEncodeAndRaster(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tendrix::printing::RasterQr(kQrContent).side);
}
BENCHMARK(BM_QrEncodeAndRaster)->Unit(benchmark::kMicrosecond);

void BM_QrStripes(benchmark::State& state) {
    const auto image = tendrix::printing::RasterQr(kQrContent);
    for (auto _ : state) benchmark::DoNotOptimize(tendrix::printing::QrStripeBytes(image).size());
    state.counters["side_px"] = image.side;
}
BENCHMARK(BM_QrStripes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
