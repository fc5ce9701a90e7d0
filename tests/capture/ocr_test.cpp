// The threshold step and the recognition library's contract (blank and bad pictures).
#include <gtest/gtest.h>

#include "capture/amount_filter.h"
#include "capture/image_prep.h"
#include "capture/ocr_plugin.h"
#include "tests/capture/capture_test_support.h"

using namespace tendrix;
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
