// Recognition accuracy on the generated amount set: each picture goes the worker's way
// (grey, threshold 145, libTesseractDLL.so, amount filter) and must give the exact amount.
// Usage: bench_capture_accuracy [COUNT] [--verbose] [--unit] [--seed N]
//   --unit: every text ends in the Chinese unit 元 (reported apart: a known weak spot)
//   --seed: another draw of amounts (the default seed is the reported set)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "capture/amount_filter.h"
#include "capture/image_prep.h"
#include "capture/ocr_plugin.h"
#include "tests/capture/amount_pictures.h"

using namespace tendrix;

int main(int argc, char** argv) {
    int count = 240;
    bool verbose = false;
    bool unit = false;
    unsigned seed = 20261206;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--unit") == 0)
            unit = true;
        else if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else
            count = std::atoi(argv[i]);
    }
    capture::OcrPlugin plugin;
    if (plugin.Load(capture::PluginDirectory()) != capture::OcrPlugin::Status::Ready) {
        std::fprintf(stderr, "recognition library not ready: %s\n", plugin.Error().c_str());
        return 1;
    }
    auto set = test::GenerateAmountSet(count, seed);
    if (unit)
        for (auto& s : set) s.text += "元";
    std::map<std::string, std::pair<int, int>> by_font;  // font -> (exact, total)
    // Size bands: 12-14 px (where the threshold costs most detail), 15-22, 23-32.
    const char* const kBands[] = {"12-14 px", "15-22 px", "23-32 px"};
    std::pair<int, int> by_band[3] = {};
    int exact = 0;
    double total_ms = 0;
    for (const auto& s : set) {
        const ScreenImage picture = test::RenderAmountPicture(s.text, s.style);
        const auto t0 = std::chrono::steady_clock::now();
        const capture::GreyImage grey = capture::ThresholdScreenImage(picture);
        const std::string text = plugin.Recognise(grey.pixels.data(), grey.width, grey.height);
        const std::string got = capture::FilterRecognisedAmount(text);
        total_ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count();
        const bool ok = got == s.expected;
        exact += ok;
        auto& f = by_font[s.style.family.toStdString()];
        f.first += ok;
        f.second += 1;
        auto& b = by_band[s.style.pixel_size <= 14 ? 0 : s.style.pixel_size <= 22 ? 1 : 2];
        b.first += ok;
        b.second += 1;
        if (!ok && std::getenv("CAPTURE_DUMP_DIR")) {
            QImage img(grey.pixels.data(), grey.width, grey.height, grey.width,
                       QImage::Format_Grayscale8);
            img.save(
                QString("%1/miss%2.png").arg(std::getenv("CAPTURE_DUMP_DIR")).arg(&s - set.data()));
        }
        if (!ok || verbose)
            std::printf("%3d %s  %-28s %-22s %2dpx  ocr=\"%s\" got=%s want=%s\n",
                        static_cast<int>(&s - set.data()), ok ? "ok  " : "MISS", s.text.c_str(),
                        s.style.family.toStdString().c_str(), s.style.pixel_size, text.c_str(),
                        got.c_str(), s.expected.c_str());
    }
    for (const auto& [font, r] : by_font)
        std::printf("  %-22s %d/%d\n", font.c_str(), r.first, r.second);
    for (int b = 0; b < 3; ++b)
        std::printf("  %-22s %d/%d = %.1f%%\n", kBands[b], by_band[b].first, by_band[b].second,
                    by_band[b].second ? 100.0 * by_band[b].first / by_band[b].second : 0.0);
    std::printf("exact: %d/%zu = %.2f%%  (mean recognition %.1f ms)\n", exact, set.size(),
                set.empty() ? 0.0 : 100.0 * exact / static_cast<double>(set.size()),
                set.empty() ? 0.0 : total_ms / static_cast<double>(set.size()));
    return exact * 100 >= static_cast<int>(set.size()) * 99 ? 0 : 3;
}
