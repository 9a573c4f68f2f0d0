#include "imaging/png_encoder.h"

#include <png.h>
#include <zlib.h>

#include <QColorSpace>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Measured on drawings (blocks of one colour), on photos turned blocky and on gradients.
// Up turns every row that repeats the one above into zeros; run-length matching packs those
// rows and the runs inside a block's first row at a fraction of the cost of full matching,
// and smaller than libpng's adaptive filters at the default level. Smooth pictures without
// blocks need full matching.
constexpr int kPaletteFilter = PNG_FILTER_UP;
constexpr int kBlockyStrategy = Z_RLE;
constexpr int kSmoothFilter = PNG_FILTER_UP;
constexpr int kSmoothStrategy = Z_DEFAULT_STRATEGY;
constexpr int kLevel = 6;
// Larger IDAT chunks: fewer chunk headers, fewer calls into zlib.
constexpr size_t kCompressionBuffer = size_t(1) << 16;

// The pixels as 32-bit QRgb values, one row at a time.
class Source {
public:
    explicit Source(const QImage& image) {
        const bool direct =
            image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
        image_ = direct ? image
                        : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                        : QImage::Format_RGB32);
        // RGB32 promises 0xff in the alpha byte, but raw writes may leave anything there.
        alphaMask_ = image_.format() == QImage::Format_RGB32 ? 0xff000000u : 0u;
        width_ = image_.width();
        height_ = image_.height();
        // Blocky pictures repeat most rows; a repeated row needs no work of its own.
        repeats_.resize(size_t(std::max(height_, 0)), false);
        for (int y = 1; y < height_; ++y) {
            if (std::memcmp(row(y), row(y - 1), size_t(width_) * sizeof(QRgb)) == 0) {
                repeats_[size_t(y)] = true;
                ++repeatedRows_;
            }
        }
    }

    bool isNull() const { return image_.isNull(); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool knownOpaque() const { return alphaMask_ != 0; }
    QRgb alphaMask() const { return alphaMask_; }

    const QRgb* row(int y) const { return reinterpret_cast<const QRgb*>(image_.constScanLine(y)); }
    bool repeatsRowAbove(int y) const { return repeats_[size_t(y)]; }
    // Mostly blocks of one colour, as drawings and pixelated photos are.
    bool isBlocky() const { return repeatedRows_ * 2 >= height_; }

private:
    QImage image_;
    QRgb alphaMask_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<bool> repeats_;
    int repeatedRows_ = 0;
};

// Up to 256 colours, found by their value with open addressing.
class ColorTable {
public:
    static constexpr int kCapacity = 256;

    ColorTable() { slots_.fill(-1); }

    // The colour's index, adding it when new; -1 when a colour beyond the capacity arrives.
    int indexOf(QRgb color) {
        uint32_t slot = slotOf(color);
        while (slots_[slot] >= 0) {
            if (colors_[size_t(slots_[slot])] == color) {
                return slots_[slot];
            }
            slot = (slot + 1) & (kSlots - 1);
        }
        if (count_ == kCapacity) {
            return -1;
        }
        slots_[slot] = int16_t(count_);
        colors_[size_t(count_)] = color;
        return count_++;
    }

    int count() const { return count_; }
    QRgb color(int index) const { return colors_[size_t(index)]; }

private:
    static constexpr uint32_t kSlots = 1024;
    static uint32_t slotOf(QRgb color) { return (color * 0x9E3779B1u) >> 22; }

    std::array<int16_t, kSlots> slots_;
    std::array<QRgb, kCapacity> colors_{};
    int count_ = 0;
};

// Collects the colours of the picture; false as soon as there are too many for a palette.
bool collectPalette(const Source& source, ColorTable& table) {
    for (int y = 0; y < source.height(); ++y) {
        if (source.repeatsRowAbove(y)) {
            continue;
        }
        const QRgb* pixels = source.row(y);
        QRgb last = pixels[0] | source.alphaMask();
        if (table.indexOf(last) < 0) {
            return false;
        }
        for (int x = 1; x < source.width(); ++x) {
            const QRgb color = pixels[x] | source.alphaMask();
            if (color != last) {
                if (table.indexOf(color) < 0) {
                    return false;
                }
                last = color;
            }
        }
    }
    return true;
}

bool isOpaque(const Source& source) {
    if (source.knownOpaque()) {
        return true;
    }
    for (int y = 0; y < source.height(); ++y) {
        if (source.repeatsRowAbove(y)) {
            continue;
        }
        const QRgb* pixels = source.row(y);
        for (int x = 0; x < source.width(); ++x) {
            if (qAlpha(pixels[x]) != 255) {
                return false;
            }
        }
    }
    return true;
}

// What goes into the file besides the rows.
struct Layout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int filter = kSmoothFilter;
    int strategy = kSmoothStrategy;
    // Up for rows that repeat the one above (all zeros), Sub for the others (zeros but
    // where a block starts): the choice libpng's adaptive filters would make, without
    // trying every filter on every row.
    bool upOrSubPerRow = false;
    int level = kLevel;
    std::vector<png_color> palette;
    std::vector<png_byte> transparency;
    bool srgb = false;
    QByteArray iccProfile;
    // The image's text, as Latin-1 key and value pairs that PNG's tEXt chunk can hold.
    std::vector<std::pair<QByteArray, QByteArray>> texts;
    // libpng's view of them; filled before writing, since nothing may be built in the frame
    // that libpng can jump out of.
    std::vector<png_text> textChunks;
};

// Makes the bytes of each row as the file stores them, reusing the last row when the
// picture repeats it.
class RowMaker {
public:
    virtual ~RowMaker() = default;
    png_bytep row(int y) {
        if (!source_.repeatsRowAbove(y)) {
            fill(source_.row(y));
        }
        return buffer_.data();
    }

protected:
    RowMaker(const Source& source, size_t bytesPerPixel)
        : source_(source), buffer_(size_t(source.width()) * bytesPerPixel) {}
    virtual void fill(const QRgb* pixels) = 0;

    const Source& source_;
    std::vector<png_byte> buffer_;
};

class IndexRows final : public RowMaker {
public:
    IndexRows(const Source& source, ColorTable& table, const std::array<png_byte, 256>& order)
        : RowMaker(source, 1), table_(table), order_(order) {}

private:
    void fill(const QRgb* pixels) override {
        const QRgb mask = source_.alphaMask();
        QRgb last = pixels[0] | mask;
        png_byte index = order_[size_t(table_.indexOf(last))];
        for (size_t x = 0; x < buffer_.size(); ++x) {
            const QRgb color = pixels[x] | mask;
            if (color != last) {
                last = color;
                index = order_[size_t(table_.indexOf(color))];
            }
            buffer_[x] = index;
        }
    }

    ColorTable& table_;
    const std::array<png_byte, 256>& order_;
};

class RgbRows final : public RowMaker {
public:
    explicit RgbRows(const Source& source) : RowMaker(source, 3) {}

private:
    void fill(const QRgb* pixels) override {
        png_byte* out = buffer_.data();
        for (int x = 0; x < source_.width(); ++x, out += 3) {
            out[0] = png_byte(qRed(pixels[x]));
            out[1] = png_byte(qGreen(pixels[x]));
            out[2] = png_byte(qBlue(pixels[x]));
        }
    }
};

class RgbaRows final : public RowMaker {
public:
    explicit RgbaRows(const Source& source) : RowMaker(source, 4) {}

private:
    void fill(const QRgb* pixels) override {
        png_byte* out = buffer_.data();
        for (int x = 0; x < source_.width(); ++x, out += 4) {
            out[0] = png_byte(qRed(pixels[x]));
            out[1] = png_byte(qGreen(pixels[x]));
            out[2] = png_byte(qBlue(pixels[x]));
            out[3] = png_byte(qAlpha(pixels[x]));
        }
    }
};

[[noreturn]] void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

void appendBytes(png_structp png, png_bytep data, size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
}
void flushNothing(png_structp) {}

// Every libpng call that may jump back on an error lives here, in a frame that owns nothing
// that would need destroying when the jump skips it.
bool writePng(png_structp png, png_infop info, const Layout& layout, const Source& source,
              RowMaker& rows, QByteArray* out) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, appendBytes, flushNothing);
    png_set_compression_buffer_size(png, kCompressionBuffer);
    png_set_compression_level(png, layout.level);
    png_set_compression_strategy(png, layout.strategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, layout.filter);
    png_set_IHDR(png, info, png_uint_32(source.width()), png_uint_32(source.height()), 8,
                 layout.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    }
    if (!layout.transparency.empty()) {
        png_set_tRNS(png, info, layout.transparency.data(), int(layout.transparency.size()),
                     nullptr);
    }
    if (layout.srgb) {
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    } else if (!layout.iccProfile.isEmpty()) {
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(layout.iccProfile.constData()),
                     png_uint_32(layout.iccProfile.size()));
    }
    if (!layout.textChunks.empty()) {
        png_set_text(png, info, layout.textChunks.data(), int(layout.textChunks.size()));
    }
    png_write_info(png, info);
    for (int y = 0; y < source.height(); ++y) {
        // libpng sets its row buffers up at the first row from the filters chosen then, so
        // that row goes with both allowed and the choice per row starts with the second.
        if (layout.upOrSubPerRow && y > 0) {
            png_set_filter(png, PNG_FILTER_TYPE_BASE,
                           source.repeatsRowAbove(y) ? PNG_FILTER_UP : PNG_FILTER_SUB);
        }
        png_write_row(png, rows.row(y));
    }
    png_write_end(png, info);
    return true;
}

QByteArray written(const Layout& layout, const Source& source, RowMaker& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    QByteArray out;
    const bool done = info && writePng(png, info, layout, source, rows, &out);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return done ? out : QByteArray();
}

}  // namespace

QByteArray PngEncoder::encode(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return {};
    }
    const Source source(image);
    if (source.isNull()) {
        return {};
    }

    Layout layout;
    const QColorSpace colorSpace = image.colorSpace();
    layout.srgb = colorSpace == QColorSpace(QColorSpace::SRgb);
    if (colorSpace.isValid() && !layout.srgb) {
        layout.iccProfile = colorSpace.iccProfile();
    }

    for (const QString& key : image.textKeys()) {
        const QString value = image.text(key);
        const bool latin1 =
            std::all_of(key.begin(), key.end(),
                        [](QChar c) { return c.unicode() >= 32 && c.unicode() <= 255; }) &&
            std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() <= 255; });
        if (latin1 && !key.isEmpty() && key.size() <= 79) {
            layout.texts.emplace_back(key.toLatin1(), value.toLatin1());
        }
    }
    for (const auto& [key, value] : layout.texts) {
        png_text chunk{};
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = const_cast<char*>(key.constData());
        chunk.text = const_cast<char*>(value.constData());
        chunk.text_length = size_t(value.size());
        layout.textChunks.push_back(chunk);
    }

    ColorTable table;
    std::array<png_byte, 256> order{};
    std::unique_ptr<RowMaker> rows;
    if (collectPalette(source, table)) {
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        layout.filter = kPaletteFilter;
        // Colours that are not opaque go first so that the transparency list stops early.
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < table.count(); ++i) {
                const QRgb color = table.color(i);
                if ((qAlpha(color) != 255) == (pass == 0)) {
                    order[size_t(i)] = png_byte(layout.palette.size());
                    layout.palette.push_back(png_color{
                        png_byte(qRed(color)), png_byte(qGreen(color)), png_byte(qBlue(color))});
                    if (pass == 0) {
                        layout.transparency.push_back(png_byte(qAlpha(color)));
                    }
                }
            }
        }
        rows = std::make_unique<IndexRows>(source, table, order);
    } else {
        if (isOpaque(source)) {
            layout.colorType = PNG_COLOR_TYPE_RGB;
            rows = std::make_unique<RgbRows>(source);
        } else {
            layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            rows = std::make_unique<RgbaRows>(source);
        }
        if (source.isBlocky()) {
            layout.upOrSubPerRow = true;
            layout.filter = PNG_FILTER_UP | PNG_FILTER_SUB;
        }
    }
    if (source.isBlocky()) {
        layout.strategy = kBlockyStrategy;
    }

    return written(layout, source, *rows);
}
