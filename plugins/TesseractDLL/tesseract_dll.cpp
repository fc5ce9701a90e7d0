// libTesseractDLL.so: recognises the amount in a thresholded screen picture.
//
// Entry: themePictureByMem(pixels, width, height, bytes_per_pixel, bytes_per_line, out)
//  - pixels: grey (1 byte per pixel; 3 or 4 are read as BGR(A)), top row first;
//  - out: receives NUL-terminated GBK text, at most kOutBytes bytes including the NUL
//    (callers pass a 1024-byte buffer; the probe's 100 bytes are enough for its answer).
//  - Probe: pixels == nullptr or width/height <= 0. The answer is the missing-environment
//    text when the engine or its English data cannot be initialised, else the empty text.
//
// One engine is kept initialised for the life of the library (guarded by a mutex). The
// picture is prepared for a single line of digits: light text on a dark background is
// inverted, the text is cropped with a margin and scaled to a height the engine reads best.
#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/text_codec.h"

namespace {

constexpr size_t kOutBytes = 1024;
constexpr size_t kProbeBytes = 100;
constexpr const char* kMissingEnvironment = "运行缺少环境，请安装插件tesseract，3.02.02版本！";
// Heights (pixels of ink, label and amount together) the picture is read at.
// More heights vote (majority of readings); one is the default because each extra reading
// costs a full recognition and three gained only about half a percent on the test set.
constexpr int kTextHeights[] = {34};
constexpr int kBlurHalfWidth = 2;
constexpr int kMargin = 12;

std::mutex g_mutex;
std::unique_ptr<tesseract::TessBaseAPI> g_engine;
bool g_init_tried = false;
bool g_ready = false;

std::string LibraryDir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryDir), &info) && info.dli_fname) {
        std::string path = info.dli_fname;
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos) return path.substr(0, slash + 1);
    }
    return {};
}

bool TryInit(const char* datapath) {
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    if (engine->Init(datapath, "eng", tesseract::OEM_LSTM_ONLY) != 0) return false;
    engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    engine->SetVariable("user_defined_dpi", "300");
    engine->SetVariable("debug_file", "/dev/null");
    g_engine = std::move(engine);
    return true;
}

// Called with g_mutex held.
bool EnsureEngine() {
    if (g_init_tried) return g_ready;
    g_init_tried = true;
    // Data beside the library first (a private installation), then $TESSDATA_PREFIX and the
    // system's default place.
    const std::string local = LibraryDir() + "tessdata/";
    const std::string local_file = local + "eng.traineddata";
    if (FILE* f = std::fopen(local_file.c_str(), "rb")) {
        std::fclose(f);
        if (TryInit(local.c_str())) return g_ready = true;
    }
    return g_ready = TryInit(nullptr);
}

void WriteOut(char* out, size_t capacity, const std::string& text) {
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Grey copy of the caller's picture.
std::vector<uint8_t> ToGrey(const unsigned char* pixels, int width, int height, int bpp, int bpl) {
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * bpl;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + static_cast<size_t>(x) * bpp;
            grey[static_cast<size_t>(y) * width + x] =
                bpp == 1 ? p[0] : static_cast<uint8_t>((p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8);
        }
    }
    return grey;
}

struct Symbol {
    std::string text;
    int left = 0, right = 0;
    bool word_start = false;
    bool IsDigit() const { return text.size() == 1 && text[0] >= '0' && text[0] <= '9'; }
    int Width() const { return right - left; }
};

// The recognised line, symbol by symbol. A "digit" after an amount's two decimals whose box
// is far wider than the line's digits and holds no other digit is the engine's reading of a
// CJK unit glyph (元): it is dropped so that it cannot lengthen the amount.
std::string CollectText(tesseract::TessBaseAPI* engine) {
    std::vector<Symbol> symbols;
    std::unique_ptr<tesseract::ResultIterator> it(engine->GetIterator());
    if (!it) return {};
    do {
        std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_SYMBOL));
        if (!text) continue;
        Symbol s;
        s.text = text.get();
        int top = 0, bottom = 0;
        it->BoundingBox(tesseract::RIL_SYMBOL, &s.left, &top, &s.right, &bottom);
        s.word_start = it->IsAtBeginningOf(tesseract::RIL_WORD);
        symbols.push_back(std::move(s));
    } while (it->Next(tesseract::RIL_SYMBOL));

    std::vector<int> widths;
    for (const auto& s : symbols)
        if (s.IsDigit()) widths.push_back(s.Width());
    int median = 0;
    if (widths.size() >= 2) {
        std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
        median = widths[widths.size() / 2];
    }
    std::string line;
    int decimals = -1;  // digits seen after the number's point; -1 before any point
    for (size_t i = 0; i < symbols.size(); ++i) {
        const Symbol& s = symbols[i];
        if (s.IsDigit() && decimals >= 2 && median > 0 && s.Width() * 10 > median * 14) {
            bool holds_digit = false;
            for (size_t j = 0; j < symbols.size() && !holds_digit; ++j) {
                if (j == i || !symbols[j].IsDigit()) continue;
                const int centre = (symbols[j].left + symbols[j].right) / 2;
                holds_digit = centre > s.left && centre < s.right;
            }
            if (!holds_digit) {
                line += ' ';
                decimals = -1;
                continue;
            }
        }
        if (s.word_start && !line.empty()) line += ' ';
        line += s.text;
        if (s.text == ".")
            decimals = 0;
        else if (s.IsDigit() && decimals >= 0)
            ++decimals;
        else if (!s.IsDigit())
            decimals = -1;
    }
    return line;
}

// A comma followed by exactly two digits that end the number, with no point after it, is a
// decimal point misread (the engine confuses the two at small sizes): "73404,46".
std::string FixDecimalComma(std::string text) {
    auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ',' || !digit(i + 1) || !digit(i + 2) || digit(i + 3)) continue;
        if (i == 0 || !digit(i - 1)) continue;
        if (text.find('.', i) != std::string::npos) continue;
        text[i] = '.';
    }
    return text;
}

// Letters the engine returns for digits inside a number ("S.25", "O.15", "@.65"): a
// look-alike directly before a separator and a digit, or between a digit and a digit or
// separator, is the digit.
std::string FixDigitLookalikes(std::string text) {
    auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    auto separator = [&](size_t i) {
        return i < text.size() && (text[i] == '.' || text[i] == ',');
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char d = 0;
        switch (text[i]) {
            case 'O':
            case 'o':
            case 'D':
            case 'Q':
            case '@':
                d = '0';
                break;
            case 'S':
            case 's':
                d = '5';
                break;
            case 'l':
            case 'I':
            case '|':
                d = '1';
                break;
            case 'B':
                d = '8';
                break;
            case 'Z':
                d = '2';
                break;
            default:
                continue;
        }
        const bool before_fraction = separator(i + 1) && digit(i + 2);
        const bool inside = i > 0 && digit(i - 1) && (digit(i + 1) || separator(i + 1));
        if (before_fraction || inside) text[i] = d;
    }
    return text;
}

// Clears ink that lies entirely inside a hole of other ink: the dot or bar of a dotted or
// slashed zero, which the engine otherwise reads as 6, 8 or 9. Digits have no other ink in
// their holes, so nothing else changes.
void RemoveEnclosedInk(std::vector<uint8_t>& grey, int width, int height) {
    const size_t n = grey.size();
    auto ink = [&](size_t i) { return grey[i] < 128; };
    // Background reachable from the border (4-connected).
    std::vector<uint8_t> outside(n, 0);
    std::vector<size_t> stack;
    auto push = [&](int x, int y) {
        const size_t i = static_cast<size_t>(y) * width + x;
        if (!outside[i] && !ink(i)) {
            outside[i] = 1;
            stack.push_back(i);
        }
    };
    for (int x = 0; x < width; ++x) push(x, 0), push(x, height - 1);
    for (int y = 0; y < height; ++y) push(0, y), push(width - 1, y);
    while (!stack.empty()) {
        const size_t i = stack.back();
        stack.pop_back();
        const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
        if (x > 0) push(x - 1, y);
        if (x + 1 < width) push(x + 1, y);
        if (y > 0) push(x, y - 1);
        if (y + 1 < height) push(x, y + 1);
    }
    // Ink components (8-connected) that touch no outside background are enclosed.
    std::vector<uint8_t> seen(n, 0);
    std::vector<size_t> component;
    for (size_t start = 0; start < n; ++start) {
        if (seen[start] || !ink(start)) continue;
        component.clear();
        bool touches_outside = false;
        seen[start] = 1;
        stack.push_back(start);
        while (!stack.empty()) {
            const size_t i = stack.back();
            stack.pop_back();
            component.push_back(i);
            const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= width || ny >= height)
                        continue;
                    const size_t j = static_cast<size_t>(ny) * width + nx;
                    if (ink(j)) {
                        if (!seen[j]) {
                            seen[j] = 1;
                            stack.push_back(j);
                        }
                    } else if (outside[j] && (dx == 0 || dy == 0)) {
                        touches_outside = true;
                    }
                }
            }
        }
        if (!touches_outside)
            for (const size_t i : component) grey[i] = 255;
    }
}

std::vector<int> TextHeights() {
    return {kTextHeights, kTextHeights + sizeof kTextHeights / sizeof kTextHeights[0]};
}

// One reading of the cropped picture scaled so its ink is `target` pixels high, then
// softened (a 5 x 5 box blur) so the binary edges look like the rendered text the engine
// was trained on.
std::string ReadAtHeight(Pix* canvas, int ink_h, int target) {
    const float scale =
        std::clamp(static_cast<float>(target) / static_cast<float>(ink_h), 0.5f, 8.0f);
    Pix* scaled =
        scale > 1.05f || scale < 0.95f ? pixScale(canvas, scale, scale) : pixClone(canvas);
    if (!scaled) return {};
    if (Pix* blurred = pixBlockconvGray(scaled, nullptr, kBlurHalfWidth, kBlurHalfWidth)) {
        pixDestroy(&scaled);
        scaled = blurred;
    }
    g_engine->SetImage(scaled);
    std::string result;
    if (g_engine->Recognize(nullptr) == 0) result = CollectText(g_engine.get());
    g_engine->Clear();
    pixDestroy(&scaled);
    return FixDigitLookalikes(FixDecimalComma(result));
}

std::string Recognise(const std::vector<uint8_t>& grey_in, int width, int height) {
    std::vector<uint8_t> grey = grey_in;
    // Polarity: the background is what the border mostly shows.
    size_t border_dark = 0, border_total = 0;
    auto at = [&](int x, int y) -> uint8_t& { return grey[static_cast<size_t>(y) * width + x]; };
    for (int x = 0; x < width; ++x) {
        border_dark += (at(x, 0) < 128) + (at(x, height - 1) < 128);
        border_total += 2;
    }
    for (int y = 0; y < height; ++y) {
        border_dark += (at(0, y) < 128) + (at(width - 1, y) < 128);
        border_total += 2;
    }
    if (border_dark * 2 > border_total)
        for (auto& v : grey) v = static_cast<uint8_t>(255 - v);

    RemoveEnclosedInk(grey, width, height);

    // Bounding box of the ink.
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (at(x, y) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) return {};
    const int ink_w = right - left + 1;
    const int ink_h = bottom - top + 1;

    // Cropped copy on a white canvas with a margin.
    const int cw = ink_w + 2 * kMargin;
    const int ch = ink_h + 2 * kMargin;
    Pix* canvas = pixCreate(cw, ch, 8);
    if (!canvas) return {};
    pixSetAllArbitrary(canvas, 255);
    for (int y = 0; y < ink_h; ++y)
        for (int x = 0; x < ink_w; ++x)
            pixSetPixel(canvas, x + kMargin, y + kMargin, at(x + left, y + top));

    // Read at several text heights and keep the reading most of them agree on (compared by
    // their digits and separators); a misread at one scale is rarely repeated at another.
    std::vector<std::string> readings;
    for (const int target : TextHeights()) readings.push_back(ReadAtHeight(canvas, ink_h, target));
    pixDestroy(&canvas);
    auto key = [](const std::string& text) {
        std::string k;
        for (char c : text)
            if ((c >= '0' && c <= '9') || c == '.' || c == ',') k += c;
        return k;
    };
    size_t best = 0;
    int best_votes = 0;
    for (size_t i = 0; i < readings.size(); ++i) {
        int votes = 0;
        for (const auto& r : readings) votes += key(r) == key(readings[i]);
        if (votes > best_votes) {
            best = i;
            best_votes = votes;
        }
    }
    return readings.empty() ? std::string() : readings[best];
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int themePictureByMem(const unsigned char* pixels,
                                                                        int width, int height,
                                                                        int bytes_per_pixel,
                                                                        int bytes_per_line,
                                                                        char* out) {
    if (!out) return -1;
    std::lock_guard<std::mutex> lock(g_mutex);
    const bool ready = EnsureEngine();
    if (!pixels || width <= 0 || height <= 0) {  // the probe call
        WriteOut(out, kProbeBytes, ready ? std::string() : tendrix::Utf8ToGbk(kMissingEnvironment));
        return ready ? 0 : -1;
    }
    out[0] = '\0';
    if (!ready) return -1;
    if (bytes_per_pixel != 1 && bytes_per_pixel != 3 && bytes_per_pixel != 4) return -1;
    if (bytes_per_line < width * bytes_per_pixel) return -1;
    const std::vector<uint8_t> grey =
        ToGrey(pixels, width, height, bytes_per_pixel, bytes_per_line);
    WriteOut(out, kOutBytes, tendrix::Utf8ToGbk(Recognise(grey, width, height)));
    return 0;
}
