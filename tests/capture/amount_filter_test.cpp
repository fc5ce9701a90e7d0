// Amount rules: the recognised-text filter, the display pattern, the amount of a display
// chunk or log line, the display form, and the capture/port setting texts. Arbitrary bytes
// through the filter and the display stream: the fuzz targets amount_filter, display_stream.
#include "capture/amount_filter.h"

#include <gtest/gtest.h>

#include "capture/capture_config.h"
#include "capture/capture_sources.h"

using namespace tendrix;
using namespace tendrix::desktop;
using namespace tendrix::store;
using namespace tendrix::capture;

TEST(RecognisedFilter, KeepsDigitsAndTheLastPoint) {
    EXPECT_EQ(FilterRecognisedAmount("¥ 1,234.50"), "1234.50");
    EXPECT_EQ(FilterRecognisedAmount("12.5.80"), "125.80");
    EXPECT_EQ(FilterRecognisedAmount("1.234"), "1234");  // a thousands separator
    EXPECT_EQ(FilterRecognisedAmount("no digits here"), "");
    EXPECT_EQ(FilterRecognisedAmount("12."), "12.");
    // The kept point is the last one even when digits come before the others.
    EXPECT_EQ(FilterRecognisedAmount("1.2.3456"), "123456");
}

TEST(FilterPattern, EscapesAndLowBytes) {
    EXPECT_EQ(BuildFilterPattern("无"), std::nullopt);
    EXPECT_EQ(BuildFilterPattern(""), std::nullopt);
    EXPECT_EQ(*BuildFilterPattern("\\X1BQA"), std::string("\x1B"
                                                          "QA"));
    EXPECT_EQ(*BuildFilterPattern("\\X00\\XFF"), std::string("\x00\xFF", 2));
    // Other characters give the low byte of their UTF-16 code: 合 is U+5408.
    EXPECT_EQ(*BuildFilterPattern("合"), std::string("\x08", 1));
    // Malformed escapes stay literal characters.
    EXPECT_EQ(*BuildFilterPattern("\\XG1"), "\\XG1");
    EXPECT_EQ(*BuildFilterPattern("A\\X1"), "A\\X1");
    EXPECT_EQ(*BuildFilterPattern("\\X"), "\\X");
    EXPECT_EQ(BuildFilterPattern(std::string(1000, 'A'))->size(), kMaxPatternBytes);  // cut
}

TEST(DisplayAmount, LargestTwoDecimalNumberWithoutPattern) {
    const std::optional<std::string> none;
    EXPECT_EQ(ExtractDisplayAmount("TOTAL 12.30 CASH 20.00 CHANGE 7.70", none), "20.00");
    EXPECT_EQ(ExtractDisplayAmount("1.234 and 5.5", none), std::nullopt);
    EXPECT_EQ(ExtractDisplayAmount("12.30", none), "12.30");  // at the chunk's first byte
    EXPECT_EQ(ExtractDisplayAmount("a 007.50 b 7.50", none), "007.50");  // first of equals
    EXPECT_EQ(ExtractDisplayAmount("x12345678901234567890.01 y9.99", none),
              "12345678901234567890.01");  // values beyond 64 bits compare correctly
    EXPECT_EQ(ExtractDisplayAmount("", none), std::nullopt);
    EXPECT_EQ(ExtractDisplayAmount("12.3", none), std::nullopt);  // ends before two decimals
}

TEST(DisplayAmount, WithPattern) {
    const auto pattern = BuildFilterPattern("\\X1BQA");
    EXPECT_EQ(ExtractDisplayAmount("\x1BQA36.00\r", pattern), "36.00");
    EXPECT_EQ(ExtractDisplayAmount("junk\x1BQA1234", pattern), "1234");     // digits alone
    EXPECT_EQ(ExtractDisplayAmount("\x1BQA12.\r\n", pattern), "12.\r\n");   // bytes as they are
    EXPECT_EQ(ExtractDisplayAmount("\x1BQA12.5", pattern), "12.5");         // chunk ends
    EXPECT_EQ(ExtractDisplayAmount("TOTAL 12.30", pattern), std::nullopt);  // not found
    EXPECT_EQ(ExtractDisplayAmount("\x1BQA", pattern), std::nullopt);
}

TEST(DisplayAmount, NeverReadsPastOneChunk) {
    const std::optional<std::string> none;
    // A 500-byte chunk whose number would only complete beyond byte 500.
    std::string chunk(497, 'x');
    chunk += "1.2";
    std::string longer = chunk + "3 99999.99";
    EXPECT_EQ(ExtractDisplayAmount(longer, none), std::nullopt);
    // The pattern search stops at the chunk's end too.
    const auto pattern = BuildFilterPattern(std::string(200, 'P'));
    std::string data(350, 'x');
    data += std::string(200, 'P') + "12.34";  // the pattern would end at byte 550
    EXPECT_EQ(ExtractDisplayAmount(data, pattern), std::nullopt);
    // A pattern longer than the chunk is never found.
    EXPECT_EQ(ExtractDisplayAmount("PPP12.34", pattern), std::nullopt);
}

TEST(DisplayForm, PrintableAsIsOthersEscaped) {
    EXPECT_EQ(DisplayForm(std::string("\x1BQA12.30\r\n", 10)), "\\X1BQA12.30\\X0D\\X0A");
    EXPECT_EQ(DisplayForm(std::string("\x00 \xFF", 3)), "\\X00\\X20\\XFF");
    // Round trip: the display form typed as a filter gives the same bytes back.
    const std::string bytes(
        "\x1BQA\x02"
        "z",
        5);
    EXPECT_EQ(*BuildFilterPattern(DisplayForm(bytes)), bytes);
}

// The screen-place texts (one reader for every setting that holds one) and port numbers. Which
// capture the settings choose: CaptureSchedule.WhichWorkerAndHowOften.
TEST(CaptureSettings, RectanglesAndPoints) {
    const ScreenRect r{10, 20, 210, 60};
    EXPECT_EQ(FormatRect(r), "top:20, left:10, right:210, bottom:60");
    auto c = ParseCaptureConfig(FormatRect(r));
    EXPECT_EQ(c.mode, CaptureConfig::Mode::Rectangle);
    EXPECT_EQ(c.rect, r);
    c = ParseCaptureConfig("x:0, y:15");  // a 0 coordinate is read like any other
    EXPECT_EQ(c.mode, CaptureConfig::Mode::Point);
    EXPECT_EQ(c.point, (ScreenPoint{0, 15}));
    EXPECT_EQ(ParseCaptureConfig("TRUE").mode, CaptureConfig::Mode::None);
    // Damaged texts keep their mode with an empty place.
    EXPECT_EQ(ParseCaptureConfig("top:1, left:oops").rect, ScreenRect{});
    EXPECT_EQ(ParseCaptureConfig("x:12").point, ScreenPoint{});

    EXPECT_EQ(ComNumber("COM3->COM4"), 3);
    EXPECT_EQ(ComNumber("无"), std::nullopt);
    EXPECT_EQ(ComNumber("COMx"), -1);
}
