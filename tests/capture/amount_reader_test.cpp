// Reading amounts from pictures: seven-segment digits rendered here, and the regression
// pictures through the command line.
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
#include "tests/capture/amount_pictures.h"
#include "tests/capture/capture_test_support.h"

using namespace tendrix;
using namespace tendrix::desktop;
using namespace tendrix::capture;
using tendrix::test::BinDir;

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
