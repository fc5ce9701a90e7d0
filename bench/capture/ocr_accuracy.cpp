// Recognition accuracy on the generated amount set: each picture goes the worker's way and
// must give the exact amount. Reported per font x colour group, per size band and overall.
// Usage: bench_capture_accuracy [--count N] [--seed N] [--verbose] [--plain] [--save DIR]
//   --seed: 20261206 is the tuning set, 77 the held-out set
//   --save: also write every picture as DIR/NNNN.png and the expected amounts to
//           DIR/expected.txt ("NNNN.png AMOUNT" lines), the seven-segment ones also to
//           DIR/segments.txt, for cli_compare.sh
#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "bench/capture/amount_set.h"
#include "capture/amount_filter.h"
#include "capture/amount_reader.h"
#include "capture/image_prep.h"
#include "capture/ocr_plugin.h"
#include "context/run_environment.h"

using namespace tendrix;

namespace {

// --plain: only the first path (threshold 145, library, filter), as a baseline.
bool g_plain = false;

capture::AmountReading ReadPicture(const capture::OcrPlugin& plugin,
                                   const desktop::ScreenImage& picture) {
    if (!g_plain) return capture::ReadAmountPicture(picture, &plugin);
    const capture::GreyImage grey = capture::ThresholdScreenImage(picture);
    capture::AmountReading r;
    r.amount = capture::FilterRecognisedAmount(
        plugin.Recognise(grey.pixels.data(), grey.width, grey.height));
    r.path = capture::AmountReading::Path::Text;
    return r;
}

const char* PathName(const capture::AmountReading& r) {
    switch (r.path) {
        case capture::AmountReading::Path::Text:
            return r.otsu ? "text/otsu" : "text";
        case capture::AmountReading::Path::Segments:
            return r.otsu ? "seg/otsu" : "seg";
        default:
            return "none";
    }
}

QImage ToQImage(const desktop::ScreenImage& s) {
    QImage img(s.bgra.data(), s.width, s.height, s.width * 4, QImage::Format_ARGB32);
    return img.copy();
}

struct Tally {
    int exact = 0, total = 0;
    void Add(bool ok) { exact += ok, total += 1; }
    double Rate() const { return total ? 100.0 * exact / total : 0.0; }
};

}  // namespace

int main(int argc, char** argv) {
    int count = 400;
    bool verbose = false;
    unsigned seed = 20261206;
    std::string save_dir;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--seed") == 0 && has_value)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--count") == 0 && has_value)
            count = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--save") == 0 && has_value)
            save_dir = argv[++i];
        else if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--plain") == 0)
            g_plain = true;
        else
            count = std::atoi(argv[i]);
    }
    capture::OcrPlugin plugin;
    if (plugin.Load(capture::PluginDirectory(context::RunEnvironment::FromProcess().plugin_dir)) !=
        capture::OcrPlugin::Status::Ready) {
        std::fprintf(stderr, "recognition library not ready: %s\n", plugin.Error().c_str());
        return 1;
    }
    const auto fonts = test::AccuracySetFonts();
    if (fonts.size() < 4)
        std::fprintf(stderr,
                     "only %zu of the 4 fonts are installed (fonts-noto-cjk, "
                     "fonts-wqy-microhei, fonts-dejavu-core, fonts-dseg)\n",
                     fonts.size());
    const auto set = test::GenerateAmountSet(count, seed);
    std::ofstream expected_list, segment_list;
    if (!save_dir.empty()) {
        expected_list.open(save_dir + "/expected.txt");
        segment_list.open(save_dir + "/segments.txt");
    }

    std::map<std::string, Tally> by_group, by_font, by_scheme;
    const char* const kBands[] = {"11-14 px", "15-22 px", "23-40 px"};
    Tally by_band[3], all;
    double total_ms = 0;
    for (size_t n = 0; n < set.size(); ++n) {
        const auto& s = set[n];
        const desktop::ScreenImage picture = test::RenderAmountPicture(s.text, s.style);
        if (!save_dir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "%04zu.png", n);
            ToQImage(picture).save(QString::fromStdString(save_dir + "/" + name));
            expected_list << name << ' ' << s.expected << '\n';
            if (test::IsSegmentFont(s.style.family))
                segment_list << name << ' ' << s.expected << '\n';
        }
        const auto t0 = std::chrono::steady_clock::now();
        const capture::AmountReading reading = ReadPicture(plugin, picture);
        const std::string& got = reading.amount;
        total_ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count();
        const bool ok = got == s.expected;
        const std::string font = s.style.family.toStdString();
        all.Add(ok);
        by_group[font + " / " + s.scheme].Add(ok);
        by_font[font].Add(ok);
        by_scheme[s.scheme].Add(ok);
        by_band[s.style.pixel_size <= 14 ? 0 : s.style.pixel_size <= 22 ? 1 : 2].Add(ok);
        if (!ok || verbose)
            std::printf("%4zu %s  %-26s %-20s %-13s %2dpx  %-9s got=%s want=%s\n", n,
                        ok ? "ok  " : "MISS", s.text.c_str(), font.c_str(), s.scheme.c_str(),
                        s.style.pixel_size, PathName(reading), got.c_str(), s.expected.c_str());
    }
    auto print = [](const std::string& name, const Tally& t) {
        std::printf("  %-40s %4d/%-4d %6.1f%%\n", name.c_str(), t.exact, t.total, t.Rate());
    };
    std::printf("seed %u, %zu pictures\n", seed, set.size());
    for (const auto& [name, t] : by_group) print(name, t);
    for (const auto& [name, t] : by_font) print(name, t);
    for (const auto& [name, t] : by_scheme) print(name, t);
    for (int b = 0; b < 3; ++b) print(kBands[b], by_band[b]);
    std::printf("exact: %d/%d = %.2f%%  (mean recognition %.1f ms)\n", all.exact, all.total,
                all.Rate(), all.total ? total_ms / all.total : 0.0);
    return all.exact * 1000 >= all.total * 995 ? 0 : 3;
}
