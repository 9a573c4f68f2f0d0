#include "imaging/png_encoder.h"

#include <png.h>
#include <zlib.h>

#include <QColorSpace>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
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

// True-colour pictures are also written as libpng writes them by default (and so as Qt's
// writer does): each row filtered the way that minimises the sum of its bytes taken as signed,
// compressed with Z_FILTERED at level 6. That stream is never larger than the default
// writer's, whose file also carries a pixel-density chunk, a colour profile in place of the
// sRGB mark and 8 KB data chunks; it is compressed in pieces on two threads, each piece
// primed with the 32 KB before it, which costs a few bytes at each seam.
constexpr int kDefaultWriterLevel = 6;
constexpr size_t kWindow = size_t(1) << 15;
// Below this many filtered bytes one piece is quicker than starting a thread.
constexpr size_t kMinimumPieceBytes = size_t(1) << 17;

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// The filter whose output sums smallest, applied to one row: cur and up are the row and the
// one above it, out gets the filter byte and the filtered row.
void filterRow(const png_byte* cur, const png_byte* up, size_t stride, size_t left,
               std::array<std::vector<png_byte>, 5>& trial, png_byte* out) {
    constexpr size_t kStep = 1024;
    uint64_t best = UINT64_MAX;
    int chosen = 0;
    // Each filter in steps that the compiler can vectorise, giving up once it cannot beat the
    // best so far.
    const auto tryFilter = [&](int filter, auto predict) {
        png_byte* t = trial[size_t(filter)].data();
        uint64_t sum = 0;
        for (size_t begin = 0; begin < stride; begin += kStep) {
            const size_t end = std::min(stride, begin + kStep);
            uint32_t part = 0;
            for (size_t i = begin; i < end; ++i) {
                t[i] = png_byte(cur[i] - predict(i));
            }
            for (size_t i = begin; i < end; ++i) {
                const int v = int8_t(t[i]);
                part += uint32_t(v < 0 ? -v : v);
            }
            sum += part;
            if (sum >= best) {
                return;
            }
        }
        best = sum;
        chosen = filter;
    };
    tryFilter(0, [](size_t) { return 0; });
    tryFilter(1, [&](size_t i) { return i >= left ? int(cur[i - left]) : 0; });
    tryFilter(2, [&](size_t i) { return int(up[i]); });
    tryFilter(3,
              [&](size_t i) { return ((i >= left ? int(cur[i - left]) : 0) + int(up[i])) >> 1; });
    tryFilter(4, [&](size_t i) {
        return i >= left ? paethPredictor(cur[i - left], up[i], up[i - left]) : int(up[i]);
    });
    out[0] = png_byte(chosen);
    std::memcpy(out + 1, trial[size_t(chosen)].data(), stride);
}

// Rows first to last - 1 of the picture as their raw bytes, one after the other.
std::vector<png_byte> rawRows(RowMaker& rows, int first, int last, size_t stride) {
    std::vector<png_byte> raw(stride * size_t(std::max(0, last - first)));
    for (int y = first; y < last; ++y) {
        std::memcpy(raw.data() + size_t(y - first) * stride, rows.row(y), stride);
    }
    return raw;
}

// Every row behind its filter byte, each with the filter whose output sums smallest, the
// rows shared between two threads.
std::vector<png_byte> adaptivelyFiltered(const Source& source, RowMaker& rows, size_t channels) {
    const size_t stride = size_t(source.width()) * channels;
    const int height = source.height();
    // The raw rows, made once on this thread (the row maker reuses one buffer).
    const std::vector<png_byte> raw = rawRows(rows, 0, height, stride);
    std::vector<png_byte> out((stride + 1) * size_t(height));
    const std::vector<png_byte> zeros(stride, 0);
    const auto filterRows = [&](int first, int last) {
        std::array<std::vector<png_byte>, 5> trial;
        for (auto& t : trial) {
            t.resize(stride);
        }
        for (int y = first; y < last; ++y) {
            png_byte* target = out.data() + size_t(y) * (stride + 1);
            if (y > 0 && source.repeatsRowAbove(y)) {
                // Up leaves only zeros, which no other filter beats.
                target[0] = PNG_FILTER_VALUE_UP;
                std::memset(target + 1, 0, stride);
                continue;
            }
            const png_byte* up = y > 0 ? raw.data() + size_t(y - 1) * stride : zeros.data();
            filterRow(raw.data() + size_t(y) * stride, up, stride, std::min(channels, stride),
                      trial, target);
        }
    };
    if (out.size() >= 2 * kMinimumPieceBytes && std::thread::hardware_concurrency() > 1) {
        std::thread helper(filterRows, height / 2, height);
        filterRows(0, height / 2);
        helper.join();
    } else {
        filterRows(0, height);
    }
    return out;
}

// Raw deflate of one piece; the last piece finishes the stream, the others end on a byte
// boundary so that the next can follow.
bool deflatePiece(const png_byte* data, size_t size, const png_byte* dictionary,
                  size_t dictionarySize, bool last, QByteArray* out) {
    z_stream stream{};
    if (deflateInit2(&stream, kDefaultWriterLevel, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) {
        return false;
    }
    if (dictionarySize > 0) {
        deflateSetDictionary(&stream, dictionary, uInt(dictionarySize));
    }
    out->resize(qsizetype(deflateBound(&stream, uLong(size)) + 16));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef*>(out->data());
    stream.avail_out = uInt(out->size());
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool ok = last ? result == Z_STREAM_END : result == Z_OK;
    out->truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return ok && stream.avail_in == 0;
}

// The zlib stream of the filtered rows, in pieces compressed side by side.
QByteArray zlibStream(const std::vector<png_byte>& filtered) {
    const size_t size = filtered.size();
    const size_t pieces =
        size >= 2 * kMinimumPieceBytes && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::vector<QByteArray> outputs(pieces);
    std::vector<char> ok(pieces, 0);
    const auto run = [&](size_t k) {
        const size_t begin = size * k / pieces;
        const size_t end = size * (k + 1) / pieces;
        const size_t window = std::min(begin, kWindow);
        ok[k] = deflatePiece(filtered.data() + begin, end - begin, filtered.data() + begin - window,
                             window, k + 1 == pieces, &outputs[k]);
    };
    std::vector<std::thread> helpers;
    for (size_t k = 1; k < pieces; ++k) {
        helpers.emplace_back(run, k);
    }
    run(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (std::find(ok.begin(), ok.end(), 0) != ok.end()) {
        return {};
    }
    QByteArray stream("\x78\x9c", 2);  // deflate, 32 KB window, default level
    for (const QByteArray& piece : outputs) {
        stream += piece;
    }
    const uLong checksum = adler32(adler32(0, nullptr, 0), filtered.data(), uInt(size));
    char trailer[4] = {char(checksum >> 24), char(checksum >> 16), char(checksum >> 8),
                       char(checksum)};
    return stream + QByteArray(trailer, 4);
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data) {
    const auto length = quint32(data.size());
    const char header[8] = {char(length >> 24),
                            char(length >> 16),
                            char(length >> 8),
                            char(length),
                            type[0],
                            type[1],
                            type[2],
                            type[3]};
    png.append(header, 8);
    png.append(data);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()));
    const char tail[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.append(tail, 4);
}

// The whole file around a finished zlib stream of true-colour rows.
QByteArray assembled(const Layout& layout, const Source& source, const QByteArray& stream) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    const auto w = quint32(source.width());
    const auto h = quint32(source.height());
    const char size[8] = {char(w >> 24), char(w >> 16), char(w >> 8), char(w),
                          char(h >> 24), char(h >> 16), char(h >> 8), char(h)};
    header.replace(0, 8, QByteArray(size, 8));
    header[8] = 8;
    header[9] = char(layout.colorType);
    appendChunk(png, "IHDR", header);
    if (layout.srgb) {
        appendChunk(png, "sRGB", QByteArray(1, char(PNG_sRGB_INTENT_PERCEPTUAL)));
    } else if (!layout.iccProfile.isEmpty()) {
        uLongf bound = compressBound(uLong(layout.iccProfile.size()));
        QByteArray profile(qsizetype(bound), '\0');
        if (compress2(reinterpret_cast<Bytef*>(profile.data()), &bound,
                      reinterpret_cast<const Bytef*>(layout.iccProfile.constData()),
                      uLong(layout.iccProfile.size()), Z_BEST_COMPRESSION) != Z_OK) {
            return {};
        }
        profile.truncate(qsizetype(bound));
        appendChunk(png, "iCCP", QByteArray("ICC profile\0\0", 13) + profile);
    }
    for (const auto& [key, value] : layout.texts) {
        appendChunk(png, "tEXt", key + QByteArray(1, '\0') + value);
    }
    for (qsizetype at = 0; at < stream.size(); at += qsizetype(kCompressionBuffer)) {
        appendChunk(png, "IDAT", stream.mid(at, qsizetype(kCompressionBuffer)));
    }
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray defaultWriterCandidate(const Layout& layout, const Source& source, RowMaker& rows) {
    const size_t channels = layout.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
    const QByteArray stream = zlibStream(adaptivelyFiltered(source, rows, channels));
    return stream.isEmpty() ? QByteArray() : assembled(layout, source, stream);
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

    if (layout.colorType == PNG_COLOR_TYPE_PALETTE) {
        return written(layout, source, *rows);
    }
    // More colours than a palette holds: the default writer's way, and for blocky pictures
    // the quick run-length way too; the smaller file wins.
    QByteArray best = defaultWriterCandidate(layout, source, *rows);
    if (source.isBlocky()) {
        const QByteArray runs = written(layout, source, *rows);
        if (best.isEmpty() || (!runs.isEmpty() && runs.size() <= best.size())) {
            best = runs;
        }
    }
    return best;
}
