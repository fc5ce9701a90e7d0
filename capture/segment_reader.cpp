#include "capture/segment_reader.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace tendrix::capture {
namespace {

// Segment bits: a top, b upper right, c lower right, d bottom, e lower left, f upper left,
// g middle.
enum : unsigned { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

char DigitFor(unsigned pattern) {
    switch (pattern) {
        case A | B | C | D | E | F:
            return '0';
        case B | C:
            return '1';
        case A | B | G | E | D:
            return '2';
        case A | B | G | C | D:
            return '3';
        case F | G | B | C:
            return '4';
        case A | F | G | C | D:
            return '5';
        case A | F | G | E | D | C:
        case F | G | E | D | C:  // 6 without its top bar
            return '6';
        case A | B | C:
        case A | B | C | F:  // 7 with the upper left bar
            return '7';
        case A | B | C | D | E | F | G:
            return '8';
        case A | B | C | D | F | G:
        case A | B | C | F | G:  // 9 without its bottom bar
            return '9';
        default:
            return 0;
    }
}

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // [left, right) x [top, bottom)
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class InkMap {
  public:
    explicit InkMap(cv::Mat ink) : ink_(std::move(ink)) {}
    int width() const { return ink_.cols; }
    int height() const { return ink_.rows; }
    bool At(int x, int y) const { return ink_.at<uint8_t>(y, x) != 0; }
    void Clear(int x, int y) { ink_.at<uint8_t>(y, x) = 0; }

    // Fraction of the columns in [x0, x1) with ink somewhere in rows [y0, y1).
    double ColumnsWithInk(int x0, int x1, int y0, int y1) const {
        Clip(x0, x1, y0, y1);
        if (x1 <= x0 || y1 <= y0) return 0;
        int hit = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (At(x, y)) {
                    ++hit;
                    break;
                }
        return static_cast<double>(hit) / (x1 - x0);
    }
    // Fraction of the rows in [y0, y1) with ink somewhere in columns [x0, x1).
    double RowsWithInk(int x0, int x1, int y0, int y1) const {
        Clip(x0, x1, y0, y1);
        if (x1 <= x0 || y1 <= y0) return 0;
        int hit = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (At(x, y)) {
                    ++hit;
                    break;
                }
        return static_cast<double>(hit) / (y1 - y0);
    }
    double InkFraction(int x0, int x1, int y0, int y1) const {
        Clip(x0, x1, y0, y1);
        if (x1 <= x0 || y1 <= y0) return 0;
        int hit = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) hit += At(x, y);
        return static_cast<double>(hit) / ((x1 - x0) * (y1 - y0));
    }

  private:
    void Clip(int& x0, int& x1, int& y0, int& y1) const {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, ink_.cols);
        y1 = std::min(y1, ink_.rows);
    }
    cv::Mat ink_;
};

// Runs of columns holding ink, each with the rows its ink spans.
std::vector<Box> ColumnRuns(const InkMap& ink) {
    std::vector<Box> runs;
    bool open = false;
    for (int x = 0; x <= ink.width(); ++x) {
        int top = -1, bottom = -1;
        if (x < ink.width())
            for (int y = 0; y < ink.height(); ++y)
                if (ink.At(x, y)) {
                    if (top < 0) top = y;
                    bottom = y + 1;
                }
        if (top >= 0) {
            if (!open) runs.push_back({x, top, x + 1, bottom});
            Box& r = runs.back();
            r.right = x + 1;
            r.top = std::min(r.top, top);
            r.bottom = std::max(r.bottom, bottom);
            open = true;
        } else {
            open = false;
        }
    }
    return runs;
}

int Median(std::vector<int> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

struct Cell {
    Box box;
    char digit = 0;  // 0: not a digit
    bool clean = false;
};

// Probes the seven segment places of a cell spanning the line's height.
Cell Decode(const InkMap& ink, const Box& box) {
    const int w = box.Width(), h = box.Height();
    auto X = [&](double u) { return box.left + static_cast<int>(u * w + 0.5); };
    auto Y = [&](double v) { return box.top + static_cast<int>(v * h + 0.5); };
    const double lit[7] = {
        ink.ColumnsWithInk(X(0.3), X(0.7), Y(0), Y(0.25)),     // a
        ink.RowsWithInk(X(0.7), X(1), Y(0.15), Y(0.38)),       // b
        ink.RowsWithInk(X(0.7), X(1), Y(0.62), Y(0.85)),       // c
        ink.ColumnsWithInk(X(0.3), X(0.7), Y(0.75), Y(1)),     // d
        ink.RowsWithInk(X(0), X(0.3), Y(0.62), Y(0.85)),       // e
        ink.RowsWithInk(X(0), X(0.3), Y(0.15), Y(0.38)),       // f
        ink.ColumnsWithInk(X(0.3), X(0.7), Y(0.38), Y(0.62)),  // g
    };
    unsigned pattern = 0;
    bool clean = true;
    for (int i = 0; i < 7; ++i) {
        if (lit[i] >= 0.5) pattern |= 1u << i;
        if (lit[i] > 0.15 && lit[i] < 0.6) clean = false;
    }
    // Between the segments (the two window panes of an 8) a segment digit has no ink.
    const double panes = std::max(ink.InkFraction(X(0.35), X(0.65), Y(0.22), Y(0.36)),
                                  ink.InkFraction(X(0.35), X(0.65), Y(0.64), Y(0.78)));
    if (panes > 0.03) clean = false;
    Cell cell{box, DigitFor(pattern), false};
    cell.clean = clean && cell.digit != 0;
    return cell;
}

}  // namespace

SegmentReading ReadSegments(const GreyImage& binary) {
    if (binary.empty() || binary.pixels.size() < static_cast<size_t>(binary.width) *
                                                     static_cast<size_t>(binary.height))
        return {};
    cv::Mat src(binary.height, binary.width, CV_8UC1, const_cast<uint8_t*>(binary.pixels.data()));
    cv::Mat mask = src < 128;  // 255 where there is ink
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
    if (count <= 1) return {};
    mask /= 255;
    InkMap ink(mask);

    // The line: height and baseline of the tall ink columns.
    const std::vector<Box> runs = ColumnRuns(ink);
    int tallest = 0;
    for (const Box& r : runs) tallest = std::max(tallest, r.Height());
    // Measured on the last three tall runs: the amount ends the line, and a label before it
    // may be taller (CJK glyphs stand higher than LCD digits).
    std::vector<int> tops, bottoms;
    for (auto r = runs.rbegin(); r != runs.rend() && tops.size() < 3; ++r)
        if (r->Height() * 10 >= tallest * 6) {
            tops.push_back(r->top);
            bottoms.push_back(r->bottom);
        }
    const int line_top = *std::min_element(tops.begin(), tops.end());
    const int baseline = *std::max_element(bottoms.begin(), bottoms.end());
    const int line_h = baseline - line_top;
    if (line_h < 5) return {};

    // Small marks low on the line with no ink above them (the bottom bar of a digit has its
    // middle or top bar above): square ones sitting on the baseline are points, the others
    // (commas, specks) are dropped. Both are cleared before the cells are cut.
    struct Point {
        int centre;
    };
    std::vector<Point> points;
    for (int i = 1; i < count; ++i) {
        const int x = stats.at<int>(i, cv::CC_STAT_LEFT), y = stats.at<int>(i, cv::CC_STAT_TOP);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (w * 10 > line_h * 3 || h * 10 > line_h * 4 || y < baseline - line_h * 35 / 100)
            continue;
        if (ink.ColumnsWithInk(x, x + w, line_top, y) * 3 > 1) continue;
        const bool on_baseline = y + h >= baseline - line_h * 12 / 100 &&
                                 y + h <= baseline + line_h / 10 && h * 10 <= line_h * 3;
        const bool square = w * 5 >= h * 2 && w * 2 <= h * 5;
        const bool visible = w * 25 >= line_h && h * 25 >= line_h;
        if (on_baseline && square && visible) points.push_back({x + w / 2});
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx)
                if (labels.at<int>(yy, xx) == i) ink.Clear(xx, yy);
    }

    // Digit cells: the ink columns spanning most of the line. A point drawn against a digit
    // (small sizes) shows as columns holding ink only low on the line.
    auto low_only = [&](int x) {
        int top = -1;
        for (int y = 0; y < ink.height() && top < 0; ++y)
            if (ink.At(x, y)) top = y;
        return top >= 0 && top >= baseline - line_h * 3 / 10;
    };
    // Parts of the runs between such points. Parts of one digit whose segments leave a
    // column or two free between them (horizontal bars that stop short of the vertical ones)
    // are joined again; a point between two parts keeps them apart.
    std::vector<Box> cells;
    bool after_point = false;
    auto add_part = [&](Box part) {
        const int gap = part.left - (cells.empty() ? 0 : cells.back().right);
        if (!cells.empty() && !after_point && gap <= std::max(1, line_h * 6 / 100)) {
            Box& j = cells.back();
            j.right = part.right;
            j.top = std::min(j.top, part.top);
            j.bottom = std::max(j.bottom, part.bottom);
        } else {
            cells.push_back(part);
        }
        after_point = false;
    };
    for (const Box& r : ColumnRuns(ink)) {
        int x = r.left;
        while (x < r.right) {
            const int from = x;
            const bool low = low_only(x);
            while (x < r.right && low_only(x) == low) ++x;
            if (low) {
                if ((x - from) * 25 >= line_h && (x - from) * 10 <= line_h * 3) {
                    points.push_back({(from + x) / 2});
                    after_point = true;
                }
                continue;
            }
            Box part{from, ink.height(), x, 0};
            for (int cx = from; cx < x; ++cx)
                for (int y = 0; y < ink.height(); ++y)
                    if (ink.At(cx, y)) {
                        part.top = std::min(part.top, y);
                        part.bottom = std::max(part.bottom, y + 1);
                    }
            add_part(part);
        }
    }
    cells.erase(std::remove_if(cells.begin(), cells.end(),
                               [&](const Box& c) { return c.Height() * 100 < line_h * 55; }),
                cells.end());
    if (cells.empty()) return {};

    // Every digit is lit on its right (b or c), not always on its left (1, 3, 7): a narrow
    // cell stands for a full-width cell ending where it ends. A cell far wider than a digit is
    // digits run together and is split evenly.
    std::vector<int> widths;
    for (const Box& c : cells)
        if (c.Width() * 10 >= line_h * 3 && c.Width() * 10 <= line_h * 8)
            widths.push_back(c.Width());
    const int digit_w = widths.empty() ? line_h * 55 / 100 : Median(widths);
    std::vector<Cell> decoded;
    for (const Box& c : cells) {
        Box box{c.left, line_top, c.right, baseline};
        if (c.Width() * 10 < digit_w * 9) {
            box.left = c.right - digit_w;
            decoded.push_back(Decode(ink, box));
            continue;
        }
        const int parts = std::max(1, (c.Width() + digit_w / 2) / digit_w);
        for (int p = 0; p < parts; ++p) {
            Box part = box;
            part.left = c.left + c.Width() * p / parts;
            part.right = c.left + c.Width() * (p + 1) / parts;
            decoded.push_back(Decode(ink, part));
        }
    }
    // Groups: digits closer than most of a digit's width to each other, with the points
    // between or just after them. The amount is the last group holding a digit.
    struct Group {
        std::string text;
        bool clean = true;
        int right = 0;
        bool mark_before = false;
    };
    std::vector<Group> groups;
    size_t next_point = 0;
    std::sort(points.begin(), points.end(),
              [](const Point& a, const Point& b) { return a.centre < b.centre; });
    const int max_gap = digit_w * 8 / 10;
    for (const Cell& cell : decoded) {
        // Points before this cell join the open group when close to its last digit.
        while (next_point < points.size() && points[next_point].centre < cell.box.left) {
            if (!groups.empty() && !groups.back().text.empty() &&
                points[next_point].centre - groups.back().right <= max_gap)
                groups.back().text += '.';
            ++next_point;
        }
        const bool joins = !groups.empty() && cell.digit &&
                           cell.box.left - groups.back().right <= max_gap &&
                           !groups.back().text.empty();
        if (!cell.digit) {
            groups.push_back({});  // a mark that is not a digit ends the group
            groups.back().right = cell.box.right;
            continue;
        }
        if (!joins) {
            const bool mark_close = !groups.empty() && groups.back().text.empty() &&
                                    cell.box.left - groups.back().right <= max_gap;
            groups.push_back({});
            groups.back().mark_before = mark_close;
        }
        Group& g = groups.back();
        g.text += cell.digit;
        g.clean = g.clean && cell.clean;
        g.right = cell.box.right;
    }
    for (; next_point < points.size(); ++next_point)
        if (!groups.empty() && !groups.back().text.empty() &&
            points[next_point].centre - groups.back().right <= max_gap)
            groups.back().text += '.';
    // Clean means: the last thing on the line and at least three digits (an amount with its
    // decimals).
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
        if (g->text.empty()) continue;
        int digits = 0;
        for (char ch : g->text) digits += ch != '.';
        const bool last = g == groups.rbegin();
        return {g->text, g->clean && last && digits >= 3, g->mark_before};
    }
    return {};
}

}  // namespace tendrix::capture
