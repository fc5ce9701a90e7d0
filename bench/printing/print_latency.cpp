// From posting a receipt to the print log writer until its first byte reaches a loopback
// network printer, through the print service and libPOSDLL.so. Prints median and p90.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/printing/bench_receipt.h"
#include "printing/print_setup.h"
#include "tests/printing/printer_peers.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    using namespace tendrix;
    using Clock = std::chrono::steady_clock;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    test::TempDir dir;
    test::LoopbackPrinter lp;
    printing::PrintConfig c;
    c.log_dir = dir.path();
    c.port_way = "网口";
    c.port = std::string("网口").append(lp.address());
    c.copies = "1";
    c.blank_lines = "3";
    c.code_mode = "2";
    c.invoice_url = "https://invoice.example.com/inv?";
    c.merchant_id = "100200300";
    std::unique_ptr<printing::PrintLogWriter> writer;
    std::unique_ptr<printing::CReadTxtSendPrint> service;
    const printing::PrintingOptions options;
    printing::ConfigurePrinting(c, nullptr, writer, service, options);
    if (!test::WaitUntil([&] { return service->following(); })) return 1;

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        lp.ResetFirstByte();
        // Spread the posts over the follower's 30 ms poll period.
        std::this_thread::sleep_for(std::chrono::milliseconds(7 + (i * 13) % 30));
        const auto t0 = Clock::now();
        writer->Post(bench::ThirtyLineReceipt("202612061000000" + std::to_string(10000 + i)));
        if (!test::WaitUntil([&] { return lp.FirstByte().has_value(); }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "receipt %d never arrived\n", i);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(*lp.FirstByte() - t0).count());
        lp.Jobs(size_t(i + 1));
    }
    std::sort(ms.begin(), ms.end());
    const auto jobs = lp.Jobs(size_t(runs));
    std::printf("post to first byte over %d receipts: median %.1f ms, p90 %.1f ms, max %.1f ms\n",
                runs, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
    std::printf(
        "bytes of one QR receipt (mode 2): %zu; serial transfer 9600 baud %.2f s, 115200 baud %.3f "
        "s\n",
        jobs[0].size(), jobs[0].size() * 10.0 / 9600, jobs[0].size() * 10.0 / 115200);
    return 0;
}
