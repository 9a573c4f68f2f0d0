#include "imaging/grid_recovery.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>

namespace GridRecovery {
namespace {

constexpr int kMaxExactColors = 256;

struct Lab {
    double l = 0;
    double a = 0;
    double b = 0;
};

const std::array<double, 256>& linearTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            values[size_t(i)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table;
}

int toSrgbByte(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    const double c =
        linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return std::clamp(int(std::lround(c * 255.0)), 0, 255);
}

Lab labFromLinear(double r, double g, double b) {
    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

Lab labOf(QRgb color) {
    const auto& lin = linearTable();
    return labFromLinear(lin[size_t(qRed(color))], lin[size_t(qGreen(color))],
                         lin[size_t(qBlue(color))]);
}

QRgb rgbOf(const Lab& lab) {
    const double l = std::pow(lab.l + 0.3963377774 * lab.a + 0.2158037573 * lab.b, 3);
    const double m = std::pow(lab.l - 0.1055613458 * lab.a - 0.0638541728 * lab.b, 3);
    const double s = std::pow(lab.l - 0.0894841775 * lab.a - 1.2914855480 * lab.b, 3);
    return qRgb(toSrgbByte(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s),
                toSrgbByte(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s),
                toSrgbByte(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s));
}

double distance2(const Lab& x, const Lab& y) {
    const double dl = x.l - y.l;
    const double da = x.a - y.a;
    const double db = x.b - y.b;
    return dl * dl + da * da + db * db;
}

// The picture as opaque RGB32; transparency shows white, as a blank cell is.
QImage opaquePixels(const QImage& picture) {
    if (!picture.hasAlphaChannel()) {
        return picture.format() == QImage::Format_RGB32
                   ? picture
                   : picture.convertToFormat(QImage::Format_RGB32);
    }
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            if (a == 255) {
                continue;
            }
            const auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            line[x] = qRgb(over(qRed(p)), over(qGreen(p)), over(qBlue(p)));
        }
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

const QRgb* line(const QImage& image, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

// The picture's rows as opaque RGB32, each run of identical rows converted once: enlarged
// pictures repeat most rows, so only their distinct ones cost anything.
class Rows {
public:
    explicit Rows(const QImage& picture)
        : width_(picture.width()), rowOf_(size_t(picture.height())) {
        const size_t bytes = (size_t(picture.width()) * size_t(picture.depth()) + 7) / 8;
        std::vector<int> firsts;
        for (int y = 0; y < picture.height(); ++y) {
            if (y > 0 &&
                std::memcmp(picture.constScanLine(y), picture.constScanLine(y - 1), bytes) == 0) {
                rowOf_[size_t(y)] = rowOf_[size_t(y) - 1];
                continue;
            }
            rowOf_[size_t(y)] = int(firsts.size());
            firsts.push_back(y);
        }
        if (firsts.size() * 2 > size_t(picture.height())) {
            // Few repeats: one conversion of the whole picture is quicker.
            distinct_ = opaquePixels(picture);
            std::iota(rowOf_.begin(), rowOf_.end(), 0);
        } else {
            QImage compact(picture.width(), int(firsts.size()), picture.format());
            if (compact.isNull()) {
                return;
            }
            compact.setColorTable(picture.colorTable());
            for (size_t i = 0; i < firsts.size(); ++i) {
                std::memcpy(compact.scanLine(int(i)), picture.constScanLine(firsts[i]), bytes);
            }
            distinct_ = opaquePixels(compact);
        }
        // Distinct rows may still look the same once opaque.
        for (int y = 1; y < picture.height(); ++y) {
            same_.push_back(rowOf_[size_t(y)] == rowOf_[size_t(y) - 1] ||
                            std::memcmp(at(y), at(y - 1), size_t(width_) * sizeof(QRgb)) == 0);
        }
    }

    bool isNull() const { return distinct_.isNull(); }
    int width() const { return width_; }
    int height() const { return int(rowOf_.size()); }
    const QRgb* at(int y) const { return line(distinct_, rowOf_[size_t(y)]); }
    // Whether row y shows what row y - 1 does.
    bool sameAsAbove(int y) const { return y > 0 && same_[size_t(y) - 1]; }

private:
    int width_;
    std::vector<int> rowOf_;
    std::vector<bool> same_;
    QImage distinct_;
};

// First pixel of each of `cells` cells and the end, as nearest-neighbour enlarging places them.
std::vector<int> nearestStarts(int pixels, int cells) {
    std::vector<int> starts(size_t(cells) + 1);
    for (int j = 0; j <= cells; ++j) {
        // Smallest x with (2x + 1) * cells >= 2 * j * pixels.
        const qint64 numerator = 2 * qint64(j) * pixels - cells;
        starts[size_t(j)] =
            numerator <= 0 ? 0 : int((numerator + 2 * qint64(cells) - 1) / (2 * qint64(cells)));
    }
    starts[size_t(cells)] = pixels;
    return starts;
}

PictureCells sampleCells(const Rows& image, const std::vector<int>& xs,
                         const std::vector<int>& ys) {
    PictureCells result;
    result.width = int(xs.size()) - 1;
    result.height = int(ys.size()) - 1;
    result.cells.reserve(size_t(result.width) * size_t(result.height));
    for (int row = 0; row < result.height; ++row) {
        const QRgb* pixels = image.at(ys[size_t(row)]);
        for (int column = 0; column < result.width; ++column) {
            result.cells.push_back(pixels[xs[size_t(column)]] | 0xff000000u);
        }
    }
    result.exact = true;
    return result;
}

// The grid the picture's text declares, when every pixel agrees with it.
std::optional<PictureCells> declaredGrid(const QImage& source, const Rows& image, int maxCells) {
    const QStringList parts = source.text(QLatin1String(kGridTextKey)).split(QLatin1Char('x'));
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool wideOk = false;
    bool highOk = false;
    const int columns = parts[0].trimmed().toInt(&wideOk);
    const int rows = parts[1].trimmed().toInt(&highOk);
    if (!wideOk || !highOk || columns < 1 || rows < 1 || columns > maxCells || rows > maxCells ||
        columns > image.width() || rows > image.height()) {
        return std::nullopt;
    }
    const std::vector<int> xs = nearestStarts(image.width(), columns);
    const std::vector<int> ys = nearestStarts(image.height(), rows);
    PictureCells cells = sampleCells(image, xs, ys);
    for (int row = 0; row < rows; ++row) {
        for (int y = ys[size_t(row)]; y < ys[size_t(row) + 1]; ++y) {
            if (y > ys[size_t(row)] && image.sameAsAbove(y)) {
                continue;
            }
            const QRgb* pixels = image.at(y);
            for (int column = 0; column < columns; ++column) {
                const QRgb expected = cells.at(column, row);
                for (int x = xs[size_t(column)]; x < xs[size_t(column) + 1]; ++x) {
                    if ((pixels[x] | 0xff000000u) != expected) {
                        return std::nullopt;
                    }
                }
            }
        }
    }
    return cells;
}

// Where colours change along each side: columns has x when pixel x differs from pixel x - 1
// in some row, rows has y when row y differs from row y - 1. False, early, once either side
// has more changes than limit.
bool findEdges(const Rows& image, std::vector<int>& columns, std::vector<int>& rows, size_t limit) {
    std::vector<char> columnEdge(size_t(image.width()), 0);
    size_t columnCount = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (image.sameAsAbove(y)) {
            continue;
        }
        if (y > 0) {
            rows.push_back(y);
            if (rows.size() > limit) {
                return false;
            }
        }
        const QRgb* pixels = image.at(y);
        for (int x = 1; x < image.width(); ++x) {
            if (pixels[x] != pixels[x - 1] && !columnEdge[size_t(x)]) {
                columnEdge[size_t(x)] = 1;
                if (++columnCount > limit) {
                    return false;
                }
            }
        }
    }
    for (int x = 1; x < image.width(); ++x) {
        if (columnEdge[size_t(x)]) {
            columns.push_back(x);
        }
    }
    return true;
}

// Cell starts for `cells` cells over `length` pixels that put a line on every edge, each line
// within a pixel of where equal cells would put it; nothing when no such lines exist.
std::optional<std::vector<int>> linesThrough(const std::vector<int>& edges, int length, int cells) {
    std::vector<int> starts = nearestStarts(length, cells);
    std::vector<char> taken(size_t(cells) + 1, 0);
    const double cell = double(length) / cells;
    for (const int edge : edges) {
        const auto j = qint64(std::llround(double(edge) / cell));
        if (j < 1 || j >= cells || std::abs(edge - double(j) * cell) > 1.0 + 1e-9 ||
            taken[size_t(j)]) {
            return std::nullopt;
        }
        taken[size_t(j)] = 1;
        starts[size_t(j)] = edge;
    }
    for (size_t j = 1; j < starts.size(); ++j) {
        if (starts[j] <= starts[j - 1]) {
            return std::nullopt;
        }
    }
    return starts;
}

// The coarsest lines through every edge, from one cell up to maxCells.
std::optional<std::vector<int>> coarsestLines(const std::vector<int>& edges, int length,
                                              int maxCells) {
    for (int cells = int(edges.size()) + 1; cells <= std::min(length, maxCells); ++cells) {
        if (auto starts = linesThrough(edges, length, cells)) {
            return starts;
        }
    }
    return std::nullopt;
}

int countColors(const std::vector<QRgb>& cells, int stopAbove) {
    std::unordered_map<QRgb, int> seen;
    for (const QRgb c : cells) {
        seen.emplace(c, 0);
        if (int(seen.size()) > stopAbove) {
            break;
        }
    }
    return int(seen.size());
}

}  // namespace

int nearestCell(int pixel, int pixels, int cells) {
    return int(((2 * qint64(pixel) + 1) * cells) / (2 * qint64(pixels)));
}

double perceptualDistance(QRgb a, QRgb b) {
    return 100.0 * std::sqrt(distance2(labOf(a), labOf(b)));
}

std::optional<PictureCells> findBlocks(const QImage& picture, int maxCells) {
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1 || maxCells < 1) {
        return std::nullopt;
    }
    const Rows image(picture);
    if (image.isNull()) {
        return std::nullopt;
    }
    if (auto declared = declaredGrid(picture, image, maxCells)) {
        return declared;
    }
    std::vector<int> columnEdges;
    std::vector<int> rowEdges;
    // maxCells cells have at most maxCells - 1 lines between them.
    if (!findEdges(image, columnEdges, rowEdges, size_t(maxCells - 1))) {
        return std::nullopt;
    }
    const auto xs = coarsestLines(columnEdges, image.width(), maxCells);
    if (!xs) {
        return std::nullopt;
    }
    const auto ys = coarsestLines(rowEdges, image.height(), maxCells);
    if (!ys) {
        return std::nullopt;
    }
    PictureCells cells = sampleCells(image, *xs, *ys);
    // A picture at one pixel a cell is only taken as is when it looks drawn, not photographed.
    if (cells.width == image.width() && cells.height == image.height() &&
        countColors(cells.cells, kMaxExactColors) > kMaxExactColors) {
        return std::nullopt;
    }
    return cells;
}

PictureCells reduce(const QImage& picture, int gridSide, int maxColors) {
    PictureCells result;
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1 || gridSide < 1) {
        return result;
    }
    const QImage image = opaquePixels(picture);
    if (image.isNull()) {
        return result;
    }
    const int w = image.width();
    const int h = image.height();
    int columns = 0;
    int rows = 0;
    if (w >= h) {
        columns = std::min(gridSide, w);
        rows = std::clamp(int(std::lround(double(columns) * h / w)), 1, h);
    } else {
        rows = std::min(gridSide, h);
        columns = std::clamp(int(std::lround(double(rows) * w / h)), 1, w);
    }
    // Box averages in linear light, in whole numbers (16 bits a channel): sums per cell
    // column for one band of rows at a time.
    static const std::array<uint32_t, 256> linear16 = [] {
        std::array<uint32_t, 256> values{};
        for (size_t i = 0; i < 256; ++i) {
            values[i] = uint32_t(std::lround(linearTable()[i] * 65535.0));
        }
        return values;
    }();
    std::vector<int> columnOf(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) {
        columnOf[size_t(x)] = int(qint64(x) * columns / w);
    }
    result.width = columns;
    result.height = rows;
    result.cells.reserve(size_t(columns) * size_t(rows));
    std::vector<uint64_t> sums(static_cast<size_t>(columns) * 3);
    std::vector<qint64> counts(static_cast<size_t>(columns));
    for (int row = 0; row < rows; ++row) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        const int top = int(qint64(row) * h / rows);
        const int bottom = int(qint64(row + 1) * h / rows);
        for (int y = top; y < bottom; ++y) {
            const QRgb* pixels = line(image, y);
            for (int x = 0; x < w; ++x) {
                const auto c = size_t(columnOf[size_t(x)]);
                sums[c * 3] += linear16[size_t(qRed(pixels[x]))];
                sums[c * 3 + 1] += linear16[size_t(qGreen(pixels[x]))];
                sums[c * 3 + 2] += linear16[size_t(qBlue(pixels[x]))];
                ++counts[c];
            }
        }
        for (size_t c = 0; c < size_t(columns); ++c) {
            const double n = double(std::max<qint64>(1, counts[c])) * 65535.0;
            result.cells.push_back(qRgb(toSrgbByte(double(sums[c * 3]) / n),
                                        toSrgbByte(double(sums[c * 3 + 1]) / n),
                                        toSrgbByte(double(sums[c * 3 + 2]) / n)));
        }
    }
    reducePalette(result.cells, maxColors);
    return result;
}

PictureCells recover(const QImage& picture, int gridSide, int maxColors) {
    if (auto blocks = findBlocks(picture)) {
        return *blocks;
    }
    return reduce(picture, gridSide, maxColors);
}

void reducePalette(std::vector<QRgb>& cells, int maxColors) {
    maxColors = std::max(1, maxColors);
    std::unordered_map<QRgb, int> indexOf;
    std::vector<QRgb> colors;
    std::vector<double> weights;
    for (QRgb& c : cells) {
        c |= 0xff000000u;
        const auto [it, added] = indexOf.emplace(c, int(colors.size()));
        if (added) {
            colors.push_back(c);
            weights.push_back(0);
        }
        weights[size_t(it->second)] += 1;
    }
    if (int(colors.size()) <= maxColors) {
        return;
    }
    std::vector<Lab> labs(colors.size());
    for (size_t i = 0; i < colors.size(); ++i) {
        labs[i] = labOf(colors[i]);
    }
    const auto component = [&labs](size_t i, int axis) {
        return axis == 0 ? labs[i].l : axis == 1 ? labs[i].a : labs[i].b;
    };

    // Median cut: split the box with the most weighted spread at its weighted median.
    struct Box {
        std::vector<size_t> members;
        int axis = 0;
        double score = 0;
    };
    const auto measure = [&](Box& box) {
        double best = -1;
        for (int axis = 0; axis < 3; ++axis) {
            double lo = 1e9;
            double hi = -1e9;
            for (const size_t i : box.members) {
                lo = std::min(lo, component(i, axis));
                hi = std::max(hi, component(i, axis));
            }
            if (hi - lo > best) {
                best = hi - lo;
                box.axis = axis;
            }
        }
        double weight = 0;
        for (const size_t i : box.members) {
            weight += weights[i];
        }
        box.score = box.members.size() < 2 ? -1 : best * best * weight;
    };
    std::vector<Box> boxes(1);
    boxes[0].members.resize(colors.size());
    std::iota(boxes[0].members.begin(), boxes[0].members.end(), size_t(0));
    measure(boxes[0]);
    while (int(boxes.size()) < maxColors) {
        const auto widest =
            std::max_element(boxes.begin(), boxes.end(),
                             [](const Box& x, const Box& y) { return x.score < y.score; });
        if (widest->score <= 0) {
            break;
        }
        Box box = std::move(*widest);
        boxes.erase(widest);
        const int axis = box.axis;
        std::sort(box.members.begin(), box.members.end(),
                  [&](size_t x, size_t y) { return component(x, axis) < component(y, axis); });
        double total = 0;
        for (const size_t i : box.members) {
            total += weights[i];
        }
        double running = 0;
        size_t split = 1;
        for (; split < box.members.size() - 1; ++split) {
            running += weights[box.members[split - 1]];
            if (running >= total / 2) {
                break;
            }
        }
        Box lower;
        Box upper;
        lower.members.assign(box.members.begin(), box.members.begin() + qsizetype(split));
        upper.members.assign(box.members.begin() + qsizetype(split), box.members.end());
        measure(lower);
        measure(upper);
        boxes.push_back(std::move(lower));
        boxes.push_back(std::move(upper));
    }
    std::vector<Lab> centres(boxes.size());
    std::vector<int> owner(colors.size(), 0);
    for (size_t b = 0; b < boxes.size(); ++b) {
        for (const size_t i : boxes[b].members) {
            owner[i] = int(b);
        }
    }
    // k-means refines the boxes' centres (weighted by how many cells have each colour).
    const auto recentre = [&] {
        std::vector<Lab> sums(centres.size());
        std::vector<double> total(centres.size(), 0);
        for (size_t i = 0; i < colors.size(); ++i) {
            const auto k = size_t(owner[i]);
            sums[k].l += labs[i].l * weights[i];
            sums[k].a += labs[i].a * weights[i];
            sums[k].b += labs[i].b * weights[i];
            total[k] += weights[i];
        }
        for (size_t k = 0; k < centres.size(); ++k) {
            if (total[k] > 0) {
                centres[k] = {sums[k].l / total[k], sums[k].a / total[k], sums[k].b / total[k]};
            }
        }
    };
    const auto nearest = [](const Lab& lab, const std::vector<Lab>& palette) {
        size_t best = 0;
        double bestDistance = distance2(lab, palette[0]);
        for (size_t k = 1; k < palette.size(); ++k) {
            const double d = distance2(lab, palette[k]);
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
            }
        }
        return int(best);
    };
    recentre();
    for (int iteration = 0; iteration < 16; ++iteration) {
        bool moved = false;
        for (size_t i = 0; i < colors.size(); ++i) {
            const int k = nearest(labs[i], centres);
            if (k != owner[i]) {
                owner[i] = k;
                moved = true;
            }
        }
        if (!moved) {
            break;
        }
        recentre();
    }
    // The palette as bytes; each colour takes the nearest of them, so rounding cannot make a
    // cell take a worse colour than its cluster's.
    std::vector<QRgb> palette(centres.size());
    std::vector<Lab> paletteLabs(centres.size());
    for (size_t k = 0; k < centres.size(); ++k) {
        palette[k] = rgbOf(centres[k]);
        paletteLabs[k] = labOf(palette[k]);
    }
    std::vector<QRgb> replacement(colors.size());
    for (size_t i = 0; i < colors.size(); ++i) {
        replacement[i] = palette[size_t(nearest(labs[i], paletteLabs))];
    }
    for (QRgb& c : cells) {
        c = replacement[size_t(indexOf[c])];
    }
}

}  // namespace GridRecovery
