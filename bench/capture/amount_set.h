#pragma once
// The generated accuracy set of the recognition benchmark: amount texts in the forms POS
// screens use, spread over fonts and colour schemes, rendered as screen copies.
#include <QFontDatabase>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/capture/amount_pictures.h"

namespace tendrix::test {

// One picture of the generated set: the text shown, the amount the filter must yield and
// the group it is counted in (font and colour scheme).
struct AmountSample {
    std::string text;
    std::string expected;
    PictureStyle style;
    std::string scheme;
};

// The families of the accuracy set: two CJK UI fonts, a monospace font and a seven-segment
// LCD font. Missing ones are left out (the benchmark reports which).
inline std::vector<QString> AccuracySetFonts() {
    EnsureGuiApp();
    const QStringList all = QFontDatabase::families();
    std::vector<QString> out;
    for (const char* f :
         {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "DejaVu Sans Mono", "DSEG7 Classic"})
        if (all.contains(QString::fromUtf8(f))) out.push_back(QString::fromUtf8(f));
    return out;
}

inline bool IsSegmentFont(const QString& family) {
    return family.startsWith("DSEG");
}

struct ColourScheme {
    const char* name;
    QColor ink, paper;
};
// The grounds POS programs show amounts on.
inline const std::vector<ColourScheme>& AmountColourSchemes() {
    static const std::vector<ColourScheme> schemes = {
        {"dark-on-light", QColor(0, 0, 0), QColor(255, 255, 255)},
        {"white-on-blue", QColor(255, 255, 255), QColor(0, 40, 120)},
        {"green-lcd", QColor(50, 230, 50), QColor(0, 0, 0)},
        {"red-on-yellow", QColor(200, 20, 20), QColor(255, 250, 200)},
        {"grey-on-grey", QColor(80, 80, 80), QColor(200, 200, 200)},
    };
    return schemes;
}

// The accuracy set: `count` pictures spread evenly over every font x colour scheme group,
// pixel sizes 11..40 (a third of them 11..14), amounts 0.00 to 99999.99 and the text forms
// POS screens use: plain, "¥", "¥" with thousands separators, a Chinese or English label
// before the amount, the unit 元 after it. Seven-segment pictures show the digits and
// the point, alone or after a label in the UI font.
inline std::vector<AmountSample> GenerateAmountSet(int count, unsigned seed) {
    const std::vector<QString> fonts = AccuracySetFonts();
    const auto& schemes = AmountColourSchemes();
    std::mt19937 rng(seed);
    std::vector<AmountSample> set;
    const size_t groups = fonts.size() * schemes.size();
    for (int i = 0; i < count && groups > 0; ++i) {
        const int digits = 1 + static_cast<int>(rng() % 5);
        long long whole = 0;
        for (int d = 0; d < digits; ++d) whole = whole * 10 + (d == 0 ? 1 + rng() % 9 : rng() % 10);
        if (rng() % 8 == 0) whole = 0;
        const int cents = static_cast<int>(rng() % 100);
        char plain[48];
        std::snprintf(plain, sizeof plain, "%lld.%02d", whole, cents);
        std::string grouped = std::to_string(whole);
        for (int at = static_cast<int>(grouped.size()) - 3; at > 0; at -= 3)
            grouped.insert(static_cast<size_t>(at), ",");
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%02d", cents);
        grouped += frac;

        AmountSample s;
        const size_t g = static_cast<size_t>(i) % groups;
        s.style.family = fonts[g % fonts.size()];
        const ColourScheme& scheme = schemes[g / fonts.size()];
        s.scheme = scheme.name;
        s.style.ink = scheme.ink;
        s.style.paper = scheme.paper;
        s.style.pixel_size =
            rng() % 3 == 0 ? 11 + static_cast<int>(rng() % 4) : 15 + static_cast<int>(rng() % 26);
        s.style.pad_x = 3 + static_cast<int>(rng() % 10);
        s.style.pad_y = 2 + static_cast<int>(rng() % 8);
        const unsigned form = rng() % 8;
        if (IsSegmentFont(s.style.family)) {
            s.text = form < 5   ? plain
                     : form < 7 ? "合计 " + std::string(plain)
                                : "¥" + std::string(plain);
        } else {
            switch (form) {
                case 0:
                    s.text = plain;
                    break;
                case 1:
                    s.text = "¥" + std::string(plain);
                    break;
                case 2:
                    s.text = "¥ " + grouped;
                    break;
                case 3:
                    s.text = "合计: " + grouped;
                    break;
                case 4:
                    s.text = "应收金额 ¥" + std::string(plain);
                    break;
                case 5:
                    s.text = "TOTAL " + grouped;
                    break;
                case 6:
                    s.text = std::string(plain) + "元";
                    break;
                default:
                    s.text = "实收 " + grouped + " 元";
                    break;
            }
        }
        s.expected = plain;
        set.push_back(s);
    }
    return set;
}

}  // namespace tendrix::test
