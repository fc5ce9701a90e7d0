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
#include <omp.h>
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
struct Span {
    int left = 0, right = 0;  // [left, right) in pixels
};

std::string CollectText(tesseract::TessBaseAPI* engine, const std::vector<Span>& cjk) {
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
        // A symbol centred on the glyph that does not start well before it (the engine's boxes
        // are loose: the box of the digit before a glyph may run into it, but it starts a
        // digit's width earlier).
        if (std::any_of(cjk.begin(), cjk.end(), [&](const Span& c) {
                const int centre = (s.left + s.right) / 2;
                return centre >= c.left && centre < c.right &&
                       s.left >= c.left - (c.right - c.left) / 3;
            })) {
            line += ' ';  // the engine's reading of a CJK glyph
            decimals = -1;
            continue;
        }
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

// Letters the engine returns for digits inside a number ("S.25", "O.15", "@.65", "S15.43"):
// a look-alike directly before a separator and a digit, between a digit and a digit or
// separator, or starting a word that goes on with a digit, is the digit.
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
        const bool letter_before = i > 0 && ((text[i - 1] >= 'A' && text[i - 1] <= 'Z') ||
                                             (text[i - 1] >= 'a' && text[i - 1] <= 'z'));
        const bool before_fraction = separator(i + 1) && digit(i + 2);
        const bool starts_number = !letter_before && digit(i + 1) && (i == 0 || text[i - 1] == ' ');
        const bool inside = i > 0 && digit(i - 1) && (digit(i + 1) || separator(i + 1));
        if (before_fraction || inside || starts_number) text[i] = d;
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

// Column ranges that hold a CJK glyph (a Chinese label or unit such as 合 or 元): separate
// pieces of ink stacked one above the other (sharing at least half the columns of the
// narrower) that together are at least 0.9 times as wide as the line's typical glyph height.
// Digits are single pieces once dots inside zeros are gone, and stacked marks such as ":" or
// "i" are narrow, so the recognised symbols inside these ranges are dropped without touching
// the amount.
std::vector<Span> FindCjkGlyphs(const std::vector<uint8_t>& grey, int width, int left, int top,
                                int right, int bottom) {
    auto ink = [&](int x, int y) { return grey[static_cast<size_t>(y) * width + x] < 128; };
    struct Piece {
        int left, right, top, bottom;  // inclusive
    };
    std::vector<Piece> pieces;
    const int w = right - left + 1, h = bottom - top + 1;
    std::vector<uint8_t> seen(static_cast<size_t>(w) * h, 0);
    std::vector<std::pair<int, int>> stack;
    for (int y0 = top; y0 <= bottom; ++y0) {
        for (int x0 = left; x0 <= right; ++x0) {
            const size_t i0 = static_cast<size_t>(y0 - top) * w + (x0 - left);
            if (seen[i0] || !ink(x0, y0)) continue;
            seen[i0] = 1;
            stack.push_back({x0, y0});
            Piece p{x0, x0, y0, y0};
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                p.left = std::min(p.left, x);
                p.right = std::max(p.right, x);
                p.top = std::min(p.top, y);
                p.bottom = std::max(p.bottom, y);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < left || nx > right || ny < top || ny > bottom) continue;
                        const size_t j = static_cast<size_t>(ny - top) * w + (nx - left);
                        if (!seen[j] && ink(nx, ny)) {
                            seen[j] = 1;
                            stack.push_back({nx, ny});
                        }
                    }
            }
            pieces.push_back(p);
        }
    }
    if (pieces.size() > 4000) return {};  // noise, not text
    // The typical glyph height: the median of the pieces at least half as tall as the tallest.
    int tallest = 0;
    for (const Piece& p : pieces) tallest = std::max(tallest, p.bottom - p.top + 1);
    std::vector<int> heights;
    for (const Piece& p : pieces)
        if ((p.bottom - p.top + 1) * 2 >= tallest) heights.push_back(p.bottom - p.top + 1);
    if (heights.empty()) return {};
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const int typical = heights[heights.size() / 2];

    // Group stacked pieces (transitively) and keep the wide groups.
    const size_t n = pieces.size();
    std::vector<size_t> group(n);
    for (size_t i = 0; i < n; ++i) group[i] = i;
    auto find = [&](size_t i) {
        while (group[i] != i) i = group[i] = group[group[i]];
        return i;
    };
    std::vector<uint8_t> stacked(n, 0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) {
            const Piece &a = pieces[i], &b = pieces[j];
            const int overlap = std::min(a.right, b.right) - std::max(a.left, b.left) + 1;
            const int narrower = std::min(a.right - a.left, b.right - b.left) + 1;
            if (overlap * 2 >= narrower) {
                group[find(i)] = find(j);
                stacked[i] = stacked[j] = 1;
            }
        }
    std::vector<Span> out;
    std::vector<Span> spans(n, Span{1 << 30, -1});
    for (size_t i = 0; i < n; ++i) {
        if (!stacked[i]) continue;
        Span& g = spans[find(i)];
        g.left = std::min(g.left, pieces[i].left);
        g.right = std::max(g.right, pieces[i].right + 1);
    }
    for (const Span& g : spans)
        if (g.right > g.left && (g.right - g.left) * 10 >= typical * 9) out.push_back(g);
    return out;
}

// One reading of the cropped picture scaled so its ink is `target` pixels high, then
// softened (a 5 x 5 box blur) so the binary edges look like the rendered text the engine
// was trained on.
std::string ReadAtHeight(Pix* canvas, int ink_h, int target, const std::vector<Span>& cjk) {
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
    const float sx =
        static_cast<float>(pixGetWidth(scaled)) / static_cast<float>(pixGetWidth(canvas));
    std::vector<Span> scaled_cjk;
    for (const Span& c : cjk)
        scaled_cjk.push_back(
            {static_cast<int>(c.left * sx), static_cast<int>(c.right * sx + 0.5f)});
    if (g_engine->Recognize(nullptr) == 0) result = CollectText(g_engine.get(), scaled_cjk);
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
    std::vector<Span> cjk = FindCjkGlyphs(grey, width, left, top, right, bottom);
    for (Span& c : cjk) {  // to canvas coordinates
        c.left += kMargin - left;
        c.right += kMargin - left;
    }
    for (const int target : TextHeights())
        readings.push_back(ReadAtHeight(canvas, ink_h, target, cjk));
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
        WriteOut(out, kProbeBytes,
                 ready ? std::string() : tendrix::common::Utf8ToGbk(kMissingEnvironment));
        return ready ? 0 : -1;
    }
    out[0] = '\0';
    if (!ready) return -1;
    // The engine runs its network layers in OpenMP parallel regions; for one short line the
    // extra threads cost more than they save (they spin for the cores: 2-4 times the CPU
    // time of one thread on a busy machine). No nested activity: the regions run on the
    // calling thread.
    omp_set_max_active_levels(0);
    if (bytes_per_pixel != 1 && bytes_per_pixel != 3 && bytes_per_pixel != 4) return -1;
    if (bytes_per_line < width * bytes_per_pixel) return -1;
    const std::vector<uint8_t> grey =
        ToGrey(pixels, width, height, bytes_per_pixel, bytes_per_line);
    WriteOut(out, kOutBytes, tendrix::common::Utf8ToGbk(Recognise(grey, width, height)));
    return 0;
}
