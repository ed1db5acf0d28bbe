#include "platform/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

namespace kv {
namespace {

// 32-bit pixels are kept as 0xFFRRGGBB words (bytes blue, green, red, 0xFF in memory).
constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uint32_t WordOf(TColor color) {
    return kOpaque | (static_cast<std::uint32_t>(RedOf(color)) << 16) |
           (static_cast<std::uint32_t>(GreenOf(color)) << 8) |
           static_cast<std::uint32_t>(BlueOf(color));
}
TColor ColorOfWord(std::uint32_t word) {
    return RGBColor((word >> 16) & 255, (word >> 8) & 255, word & 255);
}
TColor PaletteColor(const TPalette& palette, std::uint32_t index) {
    return index < palette.size() ? palette[index].Color() : kBlack;
}

// Source value -> destination value, for one pair of formats.
class TValueMap {
public:
    TValueMap(const TBitmap& source, const TBitmap& dest, const TBlitColors& colors)
        : source_(source), dest_(dest), colors_(colors) {
        if (source.Format() == TPixelFormat::pf32bit) return;
        const int count = source.Format() == TPixelFormat::pf8bit ? 256 : 2;
        const bool sameIndexes = source.Format() == TPixelFormat::pf8bit &&
                                 dest.Format() == TPixelFormat::pf8bit &&
                                 source.Palette() == dest.Palette();
        table_.resize(count);
        for (int i = 0; i < count; ++i) {
            if (sameIndexes) {
                table_[i] = static_cast<std::uint32_t>(i);
            } else if (source.Format() == TPixelFormat::pfMono &&
                       dest.Format() == TPixelFormat::pf8bit) {
                table_[i] = i ? 0xFFu : 0u;  // raster tricks on indexes: white is all ones
            } else {
                table_[i] = FromColor(SourceColor(static_cast<std::uint32_t>(i)));
            }
        }
    }
    std::uint32_t operator()(std::uint32_t value) {
        if (!table_.empty()) return table_[value];
        return FromColor(ColorOfWord(value));
    }

private:
    TColor SourceColor(std::uint32_t value) const {
        if (source_.Format() == TPixelFormat::pfMono)
            return value ? colors_.background : colors_.text;
        return PaletteColor(source_.Palette(), value);
    }
    std::uint32_t FromColor(TColor color) {
        switch (dest_.Format()) {
        case TPixelFormat::pf32bit: return WordOf(color);
        case TPixelFormat::pfMono: return color == colors_.background ? 1u : 0u;
        case TPixelFormat::pf8bit: break;
        }
        auto found = nearest_.find(color);
        if (found != nearest_.end()) return found->second;
        const auto index =
            static_cast<std::uint32_t>(TBitmap::NearestIndex(dest_.Palette(), color));
        nearest_.emplace(color, index);
        return index;
    }

    const TBitmap& source_;
    const TBitmap& dest_;
    TBlitColors colors_;
    std::vector<std::uint32_t> table_;
    std::unordered_map<TColor, std::uint32_t> nearest_;
};

std::uint32_t Apply(TRasterOp op, std::uint32_t dest, std::uint32_t source) {
    switch (op) {
    case TRasterOp::ropCopy: return source;
    case TRasterOp::ropAnd: return dest & source;
    case TRasterOp::ropOr: return dest | source;
    case TRasterOp::ropXor: return dest ^ source;
    case TRasterOp::ropInvert: return ~dest;
    }
    return source;
}

// Destination coordinate -> source coordinate for one axis; -1 where the source is outside.
std::vector<int> AxisMap(int destStart, int destSize, int destLimit, int sourceStart,
                         int sourceSize, int sourceLimit, int& first) {
    const int begin = std::max(destStart, 0);
    const int end =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{destStart} + destSize, destLimit));
    first = begin;
    std::vector<int> map;
    if (end <= begin) return map;
    map.resize(static_cast<std::size_t>(end - begin));
    for (int d = begin; d < end; ++d) {
        const std::int64_t s = sourceStart + (std::int64_t{d - destStart} * sourceSize) / destSize;
        map[static_cast<std::size_t>(d - begin)] =
            (s >= 0 && s < sourceLimit) ? static_cast<int>(s) : -1;
    }
    return map;
}

}  // namespace

TBitmap::TBitmap(int width, int height, TPixelFormat format) : format_(format) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (std::int64_t{width} * height > kMaxPixels) throw std::bad_alloc();
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width, format);
    pixels_.assign(static_cast<std::size_t>(stride_) * height, 0);
    if (format == TPixelFormat::pf32bit) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(Row(y));
            std::fill(row, row + width, kOpaque);
        }
    }
}

int TBitmap::BitsPerPixel() const {
    switch (format_) {
    case TPixelFormat::pfMono: return 1;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf32bit: return 32;
    }
    return 32;
}

int TBitmap::StrideFor(int width, TPixelFormat format) {
    const int bits = format == TPixelFormat::pfMono ? 1 : format == TPixelFormat::pf8bit ? 8 : 32;
    return static_cast<int>(((std::int64_t{width} * bits + 31) / 32) * 4);
}

void TBitmap::SetPalette(TPalette palette) {
    if (palette.size() > 256) palette.resize(256);
    palette_ = std::move(palette);
}

std::uint32_t TBitmap::Value(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const std::uint8_t* row = Row(y);
    switch (format_) {
    case TPixelFormat::pfMono: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case TPixelFormat::pf8bit: return row[x];
    case TPixelFormat::pf32bit: break;
    }
    std::uint32_t word;
    std::memcpy(&word, row + 4 * x, 4);
    return word & 0xFFFFFFu;
}

void TBitmap::SetValue(int x, int y, std::uint32_t value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* row = Row(y);
    switch (format_) {
    case TPixelFormat::pfMono: {
        const auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
        row[x >> 3] =
            static_cast<std::uint8_t>((value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
        return;
    }
    case TPixelFormat::pf8bit: row[x] = static_cast<std::uint8_t>(value); return;
    case TPixelFormat::pf32bit: break;
    }
    const std::uint32_t word = value | kOpaque;
    std::memcpy(row + 4 * x, &word, 4);
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kBlack;
    const std::uint32_t value = Value(x, y);
    switch (format_) {
    case TPixelFormat::pfMono: return value ? kWhite : kBlack;
    case TPixelFormat::pf8bit: return PaletteColor(palette_, value);
    case TPixelFormat::pf32bit: break;
    }
    return ColorOfWord(value);
}

int TBitmap::NearestIndex(const TPalette& palette, TColor color) {
    int best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int distance = std::abs(palette[i].red - RedOf(color)) +
                             std::abs(palette[i].green - GreenOf(color)) +
                             std::abs(palette[i].blue - BlueOf(color));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::uint32_t TBitmap::ValueOf(TColor color) const {
    switch (format_) {
    case TPixelFormat::pfMono: return color == kWhite ? 1u : 0u;
    case TPixelFormat::pf8bit: return static_cast<std::uint32_t>(NearestIndex(palette_, color));
    case TPixelFormat::pf32bit: break;
    }
    return WordOf(color) & 0xFFFFFFu;
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    SetValue(x, y, ValueOf(color));
}

void TBitmap::FillRect(int x, int y, int width, int height, TColor color) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + width, width_));
    const int y1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{y} + height, height_));
    const std::uint32_t value = ValueOf(color);
    for (int row = y0; row < y1; ++row) {
        if (format_ == TPixelFormat::pf32bit) {
            auto* words = reinterpret_cast<std::uint32_t*>(Row(row));
            std::fill(words + x0, words + std::max(x0, x1), value | kOpaque);
        } else if (format_ == TPixelFormat::pf8bit) {
            std::fill(Row(row) + x0, Row(row) + std::max(x0, x1), static_cast<std::uint8_t>(value));
        } else {
            for (int col = x0; col < x1; ++col) SetValue(col, row, value);
        }
    }
}

TBitmap TBitmap::ConvertedTo(TPixelFormat format, const TPalette& palette) const {
    TBitmap result(width_, height_, format);
    if (format == TPixelFormat::pf8bit) result.SetPalette(palette.empty() ? palette_ : palette);
    BitBlt(result, 0, 0, width_, height_, *this, 0, 0, TRasterOp::ropCopy);
    return result;
}

QImage TBitmap::Wrap(QImage image) const {
    if (format_ == TPixelFormat::pfMono) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    } else if (format_ == TPixelFormat::pf8bit) {
        QList<QRgb> table;
        for (const auto& entry : palette_)
            table.push_back(qRgb(entry.red, entry.green, entry.blue));
        while (table.size() < 256) table.push_back(qRgb(0, 0, 0));
        image.setColorTable(table);
    }
    return image;
}

QImage::Format TBitmap::QtFormat() const {
    return format_ == TPixelFormat::pfMono   ? QImage::Format_Mono
           : format_ == TPixelFormat::pf8bit ? QImage::Format_Indexed8
                                             : QImage::Format_RGB32;
}

QImage TBitmap::AsQImage() {
    return Wrap(QImage(pixels_.data(), width_, height_, stride_, QtFormat()));
}

QImage TBitmap::AsQImage() const {
    return Wrap(QImage(pixels_.data(), width_, height_, stride_, QtFormat()));
}

QImage TBitmap::ToQImage() const {
    return AsQImage().copy();
}

TBitmap TBitmap::FromQImage(const QImage& image) {
    if (image.isNull()) return {};
    if (image.format() == QImage::Format_Indexed8) {
        TBitmap result(image.width(), image.height(), TPixelFormat::pf8bit);
        TPalette palette;
        for (QRgb rgb : image.colorTable())
            palette.push_back({static_cast<std::uint8_t>(qRed(rgb)),
                               static_cast<std::uint8_t>(qGreen(rgb)),
                               static_cast<std::uint8_t>(qBlue(rgb)), 0});
        result.SetPalette(std::move(palette));
        for (int y = 0; y < result.height_; ++y)
            std::memcpy(result.Row(y), image.constScanLine(y),
                        static_cast<std::size_t>(result.width_));
        return result;
    }
    // Transparent pixels come out black, as they were over a black background.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    TBitmap result(rgb.width(), rgb.height(), TPixelFormat::pf32bit);
    for (int y = 0; y < result.height_; ++y) {
        auto* dest = reinterpret_cast<std::uint32_t*>(result.Row(y));
        const auto* source = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < result.width_; ++x) dest[x] = source[x] | kOpaque;
    }
    return result;
}

bool TBitmap::operator==(const TBitmap& other) const {
    if (width_ != other.width_ || height_ != other.height_ || format_ != other.format_)
        return false;
    if (format_ == TPixelFormat::pf8bit && palette_ != other.palette_) return false;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Value(x, y) != other.Value(x, y)) return false;
    return true;
}

namespace {

// The row of source pixels for one destination row, already in the destination's values.
void FetchRow(const TBitmap& source, int sy, const std::vector<int>& xs, TValueMap& map,
              const TBitmap& dest, const TBlitColors& colors, std::vector<std::uint32_t>& line) {
    const std::uint8_t* in = source.Row(sy);
    const std::size_t count = xs.size();
    switch (source.Format()) {
    case TPixelFormat::pf32bit: {
        const auto* words = reinterpret_cast<const std::uint32_t*>(in);
        if (dest.Format() == TPixelFormat::pf32bit) {
            for (std::size_t i = 0; i < count; ++i)
                line[i] = xs[i] >= 0 ? words[xs[i]] & 0xFFFFFFu : 0;
        } else if (dest.Format() == TPixelFormat::pfMono) {
            const std::uint32_t background = WordOf(colors.background) & 0xFFFFFFu;
            for (std::size_t i = 0; i < count; ++i)
                line[i] = xs[i] >= 0 && (words[xs[i]] & 0xFFFFFFu) == background ? 1u : 0u;
        } else {
            for (std::size_t i = 0; i < count; ++i)
                line[i] = xs[i] >= 0 ? map(words[xs[i]] & 0xFFFFFFu) : 0;
        }
        return;
    }
    case TPixelFormat::pf8bit:
        for (std::size_t i = 0; i < count; ++i) line[i] = xs[i] >= 0 ? map(in[xs[i]]) : 0;
        return;
    case TPixelFormat::pfMono:
        for (std::size_t i = 0; i < count; ++i)
            line[i] = xs[i] >= 0 ? map((in[xs[i] >> 3] >> (7 - (xs[i] & 7))) & 1u) : 0;
        return;
    }
}

// Applies the operation along one destination row.
void StoreRow(TBitmap& dest, int y, int firstX, const std::vector<int>& xs,
              const std::vector<std::uint32_t>& line, TRasterOp op) {
    std::uint8_t* out = dest.Row(y);
    const std::size_t count = xs.size();
    switch (dest.Format()) {
    case TPixelFormat::pf32bit: {
        auto* words = reinterpret_cast<std::uint32_t*>(out) + firstX;
        for (std::size_t i = 0; i < count; ++i)
            if (xs[i] >= 0) words[i] = Apply(op, words[i], line[i]) | kOpaque;
        return;
    }
    case TPixelFormat::pf8bit:
        for (std::size_t i = 0; i < count; ++i)
            if (xs[i] >= 0)
                out[firstX + static_cast<int>(i)] = static_cast<std::uint8_t>(
                    Apply(op, out[firstX + static_cast<int>(i)], line[i]));
        return;
    case TPixelFormat::pfMono:
        for (std::size_t i = 0; i < count; ++i) {
            if (xs[i] < 0) continue;
            const int x = firstX + static_cast<int>(i);
            const auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
            const std::uint32_t old = (out[x >> 3] & bit) ? 1u : 0u;
            if (Apply(op, old, line[i]) & 1u)
                out[x >> 3] |= bit;
            else
                out[x >> 3] = static_cast<std::uint8_t>(out[x >> 3] & ~bit);
        }
        return;
    }
}

}  // namespace

void StretchBlt(TBitmap& dest, int dx, int dy, int dw, int dh, const TBitmap& source, int sx,
                int sy, int sw, int sh, TRasterOp op, const TBlitColors& colors) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || dest.Empty() || source.Empty()) return;
    int firstX = 0, firstY = 0;
    const auto xs = AxisMap(dx, dw, dest.Width(), sx, sw, source.Width(), firstX);
    const auto ys = AxisMap(dy, dh, dest.Height(), sy, sh, source.Height(), firstY);
    if (xs.empty() || ys.empty()) return;
    TValueMap map(source, dest, colors);
    std::vector<std::uint32_t> line(xs.size());
    for (std::size_t row = 0; row < ys.size(); ++row) {
        if (ys[row] < 0) continue;
        if (op != TRasterOp::ropInvert) FetchRow(source, ys[row], xs, map, dest, colors, line);
        StoreRow(dest, firstY + static_cast<int>(row), firstX, xs, line, op);
    }
}

void InvertRect(TBitmap& dest, int x, int y, int width, int height) {
    StretchBlt(dest, x, y, width, height, dest, x, y, width, height, TRasterOp::ropInvert);
}

}  // namespace kv
