// Reading amounts from pictures: the threshold step, the recognition library's contract (blank
// and bad pictures), seven-segment digits rendered here, and the regression pictures through
// the command line.
#include "capture/amount_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture/amount_filter.h"
#include "capture/image_prep.h"
#include "capture/ocr_plugin.h"
#include "capture/segment_reader.h"
#include "tests/capture/amount_pictures.h"
#include "tests/capture/capture_test_support.h"

using namespace tendrix;
using namespace tendrix::desktop;
using namespace tendrix::capture;
using tendrix::test::BinDir;

TEST(ImagePrep, ThresholdAt145) {
    // BGRA pixels with grey 144, 145, 146 (equal channels) and 255, read at their own size.
    const uint8_t bgra[] = {144, 144, 144, 255, 145, 145, 145, 255,
                            146, 146, 146, 255, 255, 255, 255, 255};
    const GreyImage g = ThresholdPixels(bgra, sizeof bgra, 4, 1, 4, 1);
    ASSERT_EQ(g.width, 4);
    EXPECT_EQ(g.pixels, (std::vector<uint8_t>{0, 0, 255, 255}));
    // Descriptions that do not match the buffer give nothing instead of reading past it.
    EXPECT_TRUE(ThresholdPixels(bgra, sizeof bgra, 5, 1, 4).empty());
    EXPECT_TRUE(ThresholdPixels(bgra, sizeof bgra, 2, 2, 2).empty());
    EXPECT_TRUE(ThresholdPixels(nullptr, 0, 1, 1, 1).empty());
    EXPECT_TRUE(ThresholdImageFile("/nonexistent.png").empty());
}

TEST(ImagePrep, SmallCopiesAreEnlargedBeforeTheThreshold) {
    // A 200 x 40 rectangle is read 4 times larger; large copies stay within the pixel budget.
    EXPECT_EQ(UpscaleFactor(200, 40), 4);
    EXPECT_EQ(UpscaleFactor(1920, 1080), 1);
    EXPECT_EQ(UpscaleFactor(0, 40), 1);
    for (const auto& [w, h] : {std::pair{300, 100}, {500, 200}, {700, 400}, {4000, 1}})
        EXPECT_LE(static_cast<long long>(w) * h * UpscaleFactor(w, h) * UpscaleFactor(w, h),
                  kUpscaleBudgetPixels)
            << w << "x" << h;

    // Flat areas keep the 145 rule after enlarging: columns of grey 145 and 146, four
    // pixels each, become 16 black and 16 white columns (interpolation ringing only near
    // the edge between them).
    std::vector<uint8_t> grey(8 * 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) grey[static_cast<size_t>(y) * 8 + x] = x < 4 ? 145 : 146;
    const GreyImage g = ThresholdPixels(grey.data(), grey.size(), 8, 3, 1);
    ASSERT_EQ(g.width, 32);
    ASSERT_EQ(g.height, 12);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (x >= 12 && x < 20) continue;
            EXPECT_EQ(g.pixels[static_cast<size_t>(y) * 32 + x], x < 16 ? 0 : 255) << x << "," << y;
        }
    }

    // A one-pixel anti-aliased stroke (grey 120 between 200s) that the threshold keeps at
    // screen size stays one unbroken stroke, about 4 pixels wide, when enlarged.
    std::vector<uint8_t> stroke(9 * 5, 200);
    for (int y = 0; y < 5; ++y) stroke[static_cast<size_t>(y) * 9 + 4] = 120;
    const GreyImage s = ThresholdPixels(stroke.data(), stroke.size(), 9, 5, 1);
    ASSERT_EQ(s.width, 36);
    for (int y = 0; y < s.height; ++y) {
        int ink = 0;
        for (int x = 0; x < s.width; ++x) ink += s.pixels[static_cast<size_t>(y) * 36 + x] == 0;
        EXPECT_GE(ink, 2) << "row " << y;
        EXPECT_LE(ink, 6) << "row " << y;
    }
}

TEST(OcrPluginTest, BlankAndBadPicturesGiveEmptyText) {
    OcrPlugin plugin;
    ASSERT_EQ(plugin.Load(BinDir()), OcrPlugin::Status::Ready) << plugin.Error();
    std::vector<uint8_t> white(200 * 40, 255), black(200 * 40, 0);
    EXPECT_EQ(FilterRecognisedAmount(plugin.Recognise(white.data(), 200, 40)), "");
    EXPECT_EQ(FilterRecognisedAmount(plugin.Recognise(black.data(), 200, 40)), "");
    std::vector<uint8_t> one(1, 0);
    EXPECT_EQ(FilterRecognisedAmount(plugin.Recognise(one.data(), 1, 1)), "");
    // Noise never crashes and never overflows the result buffer.
    std::vector<uint8_t> noise(640 * 80);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = ((i * 7919) >> 3) & 1 ? 255 : 0;
    EXPECT_LT(plugin.Recognise(noise.data(), 640, 80).size(), OcrPlugin::kResultBufferBytes);
    EXPECT_EQ(plugin.Recognise(nullptr, 10, 10), "");
}

// Missing recognition data is checked where the cashier sees it: the capture worker's message.
TEST(OcrPluginTest, MissingLibrary) {
    OcrPlugin plugin;
    EXPECT_EQ(plugin.Load("/nonexistent/"), OcrPlugin::Status::NotLoadable);
    EXPECT_EQ(plugin.Recognise(nullptr, 0, 0), "");
}

// Seven-segment digits in the DSEG7 font: every digit before a point and elsewhere, light
// strokes on a light ground and bold ones on a green LCD, and a whole number with a 1 (lit on
// the right only) first and last. The benchmark measures many more such pictures.
TEST(SegmentReader, EveryDigitLightAndBoldOnLightAndDark) {
    OcrPlugin plugin;  // loaded: a picture not taken for segments would go to the library
    ASSERT_EQ(plugin.Load(BinDir()), OcrPlugin::Status::Ready) << plugin.Error();
    const struct {
        QFont::Weight weight;
        QColor ink, paper;
        std::vector<std::string> texts;
    } cases[] = {{QFont::Light,
                  QColor(30, 30, 30),
                  QColor(225, 230, 220),
                  {"10.23", "32.45", "54.67", "76.89", "98.01"}},
                 {QFont::Bold,
                  QColor(60, 235, 60),
                  QColor(0, 10, 0),
                  {"01.23", "23.45", "45.67", "67.89", "89.01", "1081"}}};
    for (const auto& c : cases) {
        test::PictureStyle style;
        style.family = "DSEG7 Classic";
        style.pixel_size = 40;
        style.weight = c.weight;
        style.ink = c.ink;
        style.paper = c.paper;
        for (const auto& text : c.texts) {
            const AmountReading r =
                ReadAmountPicture(test::RenderAmountPicture(text, style), &plugin);
            EXPECT_EQ(r.amount, text) << "weight " << c.weight;
            EXPECT_EQ(r.path, AmountReading::Path::Segments) << text;
        }
    }
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

// The command line over the regression pictures (two of every font x colour group of the
// accuracy set, the hard ones: the smallest size and the longest text with labels, "¥", "元",
// thousands separators) and an unreadable file: one line per file, the unreadable one's empty
// so the lines match the files, and exit code 1.
TEST(CliOcr, RegressionPicturesOneLineEachFile) {
    const std::string cli = BinDir() + "tendrix-cli";
    ASSERT_TRUE(std::filesystem::exists(cli)) << cli;
    const std::string dir = TENDRIX_CAPTURE_PICTURES;
    std::ifstream list(dir + "/expected.txt");
    ASSERT_TRUE(list) << dir;
    std::vector<std::pair<std::string, std::string>> files = {{"/nonexistent.png", ""}};
    std::string line, command = cli + " ocr /nonexistent.png";
    while (std::getline(list, line)) {
        std::istringstream in(line);
        std::string name, want;
        if (!(in >> name >> want)) continue;
        files.emplace_back(name, want);
        command += " " + dir + "/" + name;
    }
    ASSERT_EQ(files.size(), 41u);
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string misses;
    char buf[256];
    for (const auto& [name, want] : files) {
        const std::string got = std::fgets(buf, sizeof buf, pipe) ? buf : "(no line)\n";
        if (got != want + "\n")
            misses += "\n  " + name + ": " + got.substr(0, got.find('\n')) + " instead of " + want;
    }
    const int status = pclose(pipe);
    EXPECT_TRUE(misses.empty()) << misses;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
