// Reading amounts from pictures: seven-segment digits drawn here, the regression pictures
// (two per font and colour scheme of the accuracy set) and the command line over files.
#include "capture/amount_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture/image_prep.h"
#include "capture/ocr_plugin.h"
#include "capture/segment_reader.h"
#include "tests/capture/capture_test_support.h"

using namespace tendrix;
using namespace tendrix::desktop;
using namespace tendrix::capture;
using tendrix::test::BinDir;

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// A seven-segment display: each digit in a cell of 24 x 44 pixels, segments as bars of
// `stroke` pixels that stop 2 pixels short of each other, a square point of `stroke`
// pixels on the baseline in the gap after a digit.
ScreenImage DrawSegments(const std::string& text, int stroke, Rgb ink, Rgb ground) {
    constexpr int kW = 24, kH = 44, kGap = 2, kPitch = kW + 10, kMargin = 10;
    int digits = 0;
    for (char c : text) digits += c != '.';
    ScreenImage img;
    img.width = 2 * kMargin + digits * kPitch;
    img.height = 2 * kMargin + kH;
    img.bgra.resize(static_cast<size_t>(img.width) * img.height * 4);
    auto fill = [&](int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                uint8_t* p = &img.bgra[(static_cast<size_t>(y) * img.width + x) * 4];
                p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = 255;
            }
    };
    fill(0, 0, img.width, img.height, ground);
    // Segments a..g of each digit, as bits 0..6.
    static const unsigned kPatterns[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                           0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const int t = stroke, mid = kH / 2;
    int x = kMargin;
    const int top = kMargin;
    for (char c : text) {
        if (c == '.') {
            fill(x - (kPitch - kW) / 2 - t / 2, top + kH - t, x - (kPitch - kW) / 2 - t / 2 + t,
                 top + kH, ink);
            continue;
        }
        const unsigned p = kPatterns[c - '0'];
        const int hx0 = x + t + kGap, hx1 = x + kW - t - kGap;
        if (p & 0x01) fill(hx0, top, hx1, top + t, ink);                                     // a
        if (p & 0x02) fill(x + kW - t, top + t + kGap, x + kW, top + mid - kGap, ink);       // b
        if (p & 0x04) fill(x + kW - t, top + mid + kGap, x + kW, top + kH - t - kGap, ink);  // c
        if (p & 0x08) fill(hx0, top + kH - t, hx1, top + kH, ink);                           // d
        if (p & 0x10) fill(x, top + mid + kGap, x + t, top + kH - t - kGap, ink);            // e
        if (p & 0x20) fill(x, top + t + kGap, x + t, top + mid - kGap, ink);                 // f
        if (p & 0x40) fill(hx0, top + mid - t / 2, hx1, top + mid - t / 2 + t, ink);         // g
        x += kPitch;
    }
    return img;
}

}  // namespace

TEST(SegmentReader, EveryDigitWithAndWithoutPointThinAndBoldLightAndDark) {
    OcrPlugin plugin;  // loaded: a picture not taken for segments would go to the library
    ASSERT_EQ(plugin.Load(BinDir()), OcrPlugin::Status::Ready) << plugin.Error();
    const struct {
        const char* name;
        Rgb ink, ground;
    } grounds[] = {{"dark on light", {30, 30, 30}, {225, 230, 220}},
                   {"green LCD on black", {60, 235, 60}, {0, 10, 0}}};
    std::string misses;
    for (const auto& g : grounds) {
        for (const int stroke : {3, 7}) {
            for (int d = 0; d < 10; ++d) {
                // Every digit once before the point and in other places without one.
                std::string text;
                for (int k = 0; k < 4; ++k) text += static_cast<char>('0' + (d + k) % 10);
                text.insert(2, ".");
                const AmountReading r =
                    ReadAmountPicture(DrawSegments(text, stroke, g.ink, g.ground), &plugin);
                if (r.amount != text || r.path != AmountReading::Path::Segments)
                    misses += "\n  " + std::string(g.name) + ", stroke " + std::to_string(stroke) +
                              ": " + text + " -> " + r.amount;
            }
        }
    }
    EXPECT_TRUE(misses.empty()) << misses;

    // Whole numbers, and a 1 (lit on the right only) first and last.
    EXPECT_EQ(
        ReadAmountPicture(DrawSegments("1081", 5, {0, 0, 0}, {255, 255, 255}), &plugin).amount,
        "1081");
}

TEST(SegmentReader, NothingToReadGivesNothing) {
    GreyImage blank;
    blank.width = 40, blank.height = 20;
    blank.pixels.assign(800, 255);
    EXPECT_EQ(ReadSegments(blank).text, "");
    EXPECT_EQ(ReadSegments(GreyImage{}).text, "");
    // A picture of one colour (the threshold lost everything) reads as nothing.
    ScreenImage flat;
    flat.width = 60, flat.height = 20;
    flat.bgra.assign(60 * 20 * 4, 90);
    EXPECT_EQ(ReadAmountPicture(flat, nullptr).amount, "");
    EXPECT_EQ(ReadAmountPicture(ScreenImage{}, nullptr).amount, "");
}

TEST(ImagePrep, ThresholdFollowsTheToneOfFaintLcdDigits) {
    auto grey_of = [](uint8_t ground, uint8_t ink) {
        GreyImage g;
        g.width = 50, g.height = 20;
        g.pixels.assign(1000, ground);
        for (int y = 8; y < 12; ++y)
            for (int x = 10; x < 40; ++x) g.pixels[static_cast<size_t>(y) * 50 + x] = ink;
        return g;
    };
    EXPECT_EQ(ChooseThreshold(grey_of(255, 0)), kThreshold);    // black on white
    EXPECT_EQ(ChooseThreshold(grey_of(37, 255)), kThreshold);   // white on dark blue
    EXPECT_EQ(ChooseThreshold(grey_of(200, 80)), kThreshold);   // grey on grey
    EXPECT_EQ(ChooseThreshold(grey_of(0, 155)), 77.5);          // green LCD: 145 cuts its strokes
    EXPECT_EQ(ChooseThreshold(grey_of(0, 130)), 65.0);          // darker green: 145 loses them
    EXPECT_EQ(ChooseThreshold(grey_of(120, 125)), kThreshold);  // no contrast: nothing to read

    GreyImage dark = grey_of(0, 255);
    EXPECT_TRUE(MakeInkDark(dark));
    EXPECT_EQ(dark.pixels[0], 255);
    EXPECT_EQ(dark.pixels[9 * 50 + 20], 0);
    EXPECT_FALSE(MakeInkDark(dark));
}

// Two pictures of every font x colour group of the accuracy set, the hard ones: the
// smallest size and the longest text (labels, "¥", "元", thousands separators).
TEST(AmountReader, RegressionPictures) {
    OcrPlugin plugin;
    ASSERT_EQ(plugin.Load(BinDir()), OcrPlugin::Status::Ready) << plugin.Error();
    const std::string dir = TENDRIX_CAPTURE_PICTURES;
    std::ifstream list(dir + "/expected.txt");
    ASSERT_TRUE(list) << dir;
    std::string line, misses;
    int count = 0;
    while (std::getline(list, line)) {
        std::istringstream in(line);
        std::string name, want;
        if (!(in >> name >> want)) continue;
        const ScreenImage picture = LoadImageFile(dir + "/" + name);
        ASSERT_FALSE(picture.empty()) << name;
        const std::string got = ReadAmountPicture(picture, &plugin).amount;
        ++count;
        if (got != want) misses += "\n  " + name + ": " + got + " instead of " + want;
    }
    EXPECT_EQ(count, 40);
    EXPECT_TRUE(misses.empty()) << misses;
}

TEST(CliOcr, SeveralFilesOneLineEach) {
    const std::string cli = BinDir() + "tendrix-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "tendrix-cli is not built";
    const std::string dir = TENDRIX_CAPTURE_PICTURES;
    const std::string command = cli + " ocr " + dir + "/dseg7-green-lcd-1.png /nonexistent.png " +
                                dir + "/noto-dark-on-light-2.png 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    const int status = pclose(pipe);
    // The unreadable file keeps its (empty) line so the lines match the files; exit code 1.
    EXPECT_EQ(out, "81.54\n\n7143.28\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
