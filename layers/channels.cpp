#include "layers/channels.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

constexpr int kHeaderSize = 40;
constexpr int kCoreHeaderSize = 12;
constexpr int kPaletteBytes = 256 * 4;
// Larger pictures are no window's: refusing them keeps a bad stream from asking for gigabytes.
constexpr long long kMaxPixels = 64LL * 1024 * 1024;

const char* const kOnly256 = "Channels support 256-colors bitmaps only!";
const char* const kBadStream = "Invalid stream format!";
const char* const kNoSection = "Unable to Create DIB Section!";

class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}
    std::uint32_t U32() { return static_cast<std::uint32_t>(Bytes(4)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Bytes(2)); }
    const std::uint8_t* Take(std::size_t count) {
        if (data_.size() - pos_ < count) throw EChannelError(kBadStream);
        const auto* start = reinterpret_cast<const std::uint8_t*>(data_.data() + pos_);
        pos_ += count;
        return start;
    }

private:
    std::uint64_t Bytes(int count) {
        const std::uint8_t* p = Take(static_cast<std::size_t>(count));
        std::uint64_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = (value << 8) | p[i];
        return value;
    }
    std::string_view data_;
    std::size_t pos_ = 0;
};

void PutU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 255));
}
void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 255));
    out.push_back(static_cast<char>(value >> 8));
}

std::uint8_t Mix(int d, int c, long long weight, long long scale) {
    return static_cast<std::uint8_t>((d * (scale - weight) + c * weight) / scale);
}

// d := (d * (65536 - m*s) + c * m*s) / 65536, or c itself where nothing of d remains.
std::uint8_t MixMasked(int d, int c, int m, int s) {
    if (m == 255 && s == 255) return static_cast<std::uint8_t>(c);
    return Mix(d, c, static_cast<long long>(m) * s, 65536);
}

}  // namespace

std::uint8_t Shade(std::uint8_t d, int m) {
    if (m >= 128) return static_cast<std::uint8_t>(d + (255 - d) * (m - 128) / 128);
    if (m == 127) return d;
    return static_cast<std::uint8_t>(d * m / 128);
}

void TProChannel::SetSize(int width, int height) {
    if (width == width_ && height == height_) return;
    const bool was = allocated_;
    Release();
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    if (was) Allocate();
}

void TProChannel::SetAllocated(bool allocated) {
    if (allocated == allocated_) return;
    if (allocated)
        Allocate();
    else
        Release();
}

TChannel::TChannel(const TChannel& other)
    : TProChannel(1), kind_(other.kind_), palette_(other.palette_), pixels_(other.pixels_) {
    allocated_ = other.allocated_;
    width_ = other.width_;
    height_ = other.height_;
}

TChannel& TChannel::operator=(const TChannel& other) {
    if (this != &other) Assign(other);
    return *this;
}

void TChannel::Allocate() {
    pixels_.assign(DataSize(), 0);
    palette_.fill(0);
    allocated_ = true;
}

void TChannel::Release() {
    pixels_.clear();
    pixels_.shrink_to_fit();
    allocated_ = false;
    Notify();
}

void TChannel::SetPaletteEntry(int value, TColor color) {
    std::uint8_t* entry = palette_.data() + value * 4;
    entry[0] = static_cast<std::uint8_t>(BlueOf(color));
    entry[1] = static_cast<std::uint8_t>(GreenOf(color));
    entry[2] = static_cast<std::uint8_t>(RedOf(color));
    entry[3] = 0;
}

void TChannel::SetGreyPalette() {
    for (int i = 0; i < 256; ++i) SetPaletteEntry(i, RGBColor(i, i, i));
}

void TChannel::Assign(const TChannel& source) {
    const auto notify = std::move(OnChange);  // one notification, after the copy
    Release();
    if (!source.Empty()) {
        width_ = source.width_;
        height_ = source.height_;
        Allocate();
        palette_ = source.palette_;
        pixels_ = source.pixels_;
    }
    OnChange = notify;
    Notify();
}

std::string TChannel::Save() const {
    std::string out;
    if (Empty()) {
        PutU32(out, 0);
        return out;
    }
    out.reserve(kHeaderSize + kPaletteBytes + pixels_.size());
    PutU32(out, kHeaderSize);
    PutU32(out, static_cast<std::uint32_t>(width_));
    PutU32(out, static_cast<std::uint32_t>(height_));
    PutU16(out, 0);  // planes
    PutU16(out, 8);
    out.append(16, '\0');
    PutU32(out, 256);
    PutU32(out, 0);
    out.append(reinterpret_cast<const char*>(palette_.data()), palette_.size());
    out.append(reinterpret_cast<const char*>(pixels_.data()), pixels_.size());
    return out;
}

void TChannel::Load(std::string_view data) {
    Reader in(data);
    const std::uint32_t headerSize = in.U32();
    if (headerSize == 0) {
        Release();
        return;
    }
    long long width = 0, height = 0;
    int bits = 0, entries = 256, entryBytes = 4;
    if (headerSize == kHeaderSize) {
        width = static_cast<std::int32_t>(in.U32());
        height = static_cast<std::int32_t>(in.U32());
        in.U16();
        bits = in.U16();
        in.Take(16);
        const std::uint32_t used = in.U32();
        in.U32();
        entries = used == 0 ? 256 : static_cast<int>(std::min<std::uint32_t>(used, 257));
    } else if (headerSize == kCoreHeaderSize) {
        width = in.U16();
        height = in.U16();
        in.U16();
        bits = in.U16();
        entryBytes = 3;
    } else {
        throw EChannelError(kBadStream);
    }
    if (bits != 8) throw EChannelError(kOnly256);
    if (entries > 256 || width < 0 || height < 0 || width * height > kMaxPixels)
        throw EChannelError(kBadStream);
    const std::uint8_t* palette = in.Take(static_cast<std::size_t>(entries * entryBytes));
    TChannel loaded(kind_);
    loaded.width_ = static_cast<int>(width);
    loaded.height_ = static_cast<int>(height);
    loaded.Allocate();
    const std::uint8_t* rows = in.Take(loaded.DataSize());
    std::memcpy(loaded.pixels_.data(), rows, loaded.DataSize());
    // A mask's values are intensities: the palette of the stored picture is not taken over.
    if (kind_ == TChannelKind::ckColor) {
        for (int i = 0; i < entries; ++i) {
            std::memcpy(loaded.palette_.data() + i * 4, palette + i * entryBytes, 3);
        }
    }
    const auto notify = std::move(OnChange);
    Release();
    width_ = loaded.width_;
    height_ = loaded.height_;
    palette_ = loaded.palette_;
    pixels_ = std::move(loaded.pixels_);
    allocated_ = true;
    OnChange = notify;
    Notify();
}

void TChannel::LoadFromBitmapFile(std::string_view file) {
    constexpr std::size_t kFileHeader = 14;
    if (file.size() < kFileHeader || file.substr(0, 2) != "BM") throw EChannelError(kBadStream);
    Load(file.substr(kFileHeader));
}

bool TChannel::DiffersFrom(const TChannel* inherited) const {
    if (!inherited) return true;
    if (Empty() != inherited->Empty()) return true;
    if (Empty()) return false;
    if (width_ != inherited->width_ || height_ != inherited->height_ || kind_ != inherited->kind_)
        return true;
    if (kind_ == TChannelKind::ckColor && palette_ != inherited->palette_) return true;
    return pixels_ != inherited->pixels_;
}

void TRGBChannel::Allocate() {
    if (static_cast<long long>(width_) * height_ > kMaxPixels) throw EChannelError(kNoSection);
    QImage image(std::max(width_, 1), std::max(height_, 1), QImage::Format_BGR888);
    if (image.isNull()) throw EChannelError(kNoSection);
    image.fill(0);
    surface_ = width_ > 0 && height_ > 0 ? image : QImage();
    allocated_ = true;
}

void TRGBChannel::Release() {
    surface_ = QImage();
    allocated_ = false;
}

TColor TRGBChannel::Pixel(int x, int y) const {
    const std::uint8_t* p = Line(y) + x * 3;
    return RGBColor(p[2], p[1], p[0]);
}

void TRGBChannel::Fill(TColor color) {
    if (!surface_.isNull()) surface_.fill(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
}

QRect TRGBChannel::Clip(const QRect& area, const QRect& placed, QSize source) const {
    if (Empty() || source.isEmpty()) return {};
    return QRect(placed.topLeft(), source)
        .intersected(placed)
        .intersected(area)
        .intersected(ChannelRect());
}

void TRGBChannel::DrawGlyph(const QRect& area, const QRect& placed, int strength,
                            const TChannel& glyph) {
    if (glyph.Empty()) return;
    const QRect r = Clip(area, placed, {glyph.Width(), glyph.Height()});
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint8_t* d = Line(y) + r.left() * 3;
        const std::uint8_t* g = glyph.Line(y - placed.top()) + (r.left() - placed.left());
        for (int x = r.left(); x <= r.right(); ++x, d += 3, ++g) {
            const std::uint8_t* c = glyph.PaletteEntry(*g);
            for (int i = 0; i < 3; ++i) d[i] = Mix(d[i], c[i], strength, 256);
        }
    }
}

void TRGBChannel::DrawGlyphMasked(const QRect& area, const QRect& placed, int strength,
                                  const TChannel& mask, const TChannel& glyph) {
    if (glyph.Empty() || mask.Empty() || mask.Width() != glyph.Width() ||
        mask.Height() != glyph.Height())
        return;
    const QRect r = Clip(area, placed, {glyph.Width(), glyph.Height()});
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint8_t* d = Line(y) + r.left() * 3;
        const int sx = r.left() - placed.left(), sy = y - placed.top();
        const std::uint8_t* g = glyph.Line(sy) + sx;
        const std::uint8_t* m = mask.Line(sy) + sx;
        for (int x = r.left(); x <= r.right(); ++x, d += 3, ++g, ++m) {
            const std::uint8_t* c = glyph.PaletteEntry(*g);
            for (int i = 0; i < 3; ++i) d[i] = MixMasked(d[i], c[i], *m, strength);
        }
    }
}

void TRGBChannel::FillMasked(const QRect& area, const QRect& placed, int strength,
                             const TChannel& mask, TColor color) {
    if (mask.Empty()) return;
    const QRect r = Clip(area, placed, {mask.Width(), mask.Height()});
    const int c[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint8_t* d = Line(y) + r.left() * 3;
        const std::uint8_t* m = mask.Line(y - placed.top()) + (r.left() - placed.left());
        for (int x = r.left(); x <= r.right(); ++x, d += 3, ++m) {
            for (int i = 0; i < 3; ++i)
                d[i] = *m == 255 ? static_cast<std::uint8_t>(c[i])
                                 : MixMasked(d[i], c[i], *m, strength);
        }
    }
}

void TRGBChannel::ShadeMasked(const QRect& area, const QRect& placed, const TChannel& mask) {
    if (mask.Empty()) return;
    const QRect r = Clip(area, placed, {mask.Width(), mask.Height()});
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint8_t* d = Line(y) + r.left() * 3;
        const std::uint8_t* m = mask.Line(y - placed.top()) + (r.left() - placed.left());
        for (int x = r.left(); x <= r.right(); ++x, d += 3, ++m) {
            for (int i = 0; i < 3; ++i) d[i] = Shade(d[i], *m);
        }
    }
}

void TRGBChannel::ShadeFrame(const QRect& area, const QRect& rect, const TChannel& mask) {
    if (Empty() || mask.Empty() || rect.width() < mask.Width() || rect.height() < mask.Height())
        return;
    const int mw = mask.Width(), h = mask.Height(), w = mw / 2;
    const int rw = rect.width(), rh = rect.height();
    const QRect r = rect.intersected(area).intersected(ChannelRect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const int i = y - rect.top();
        const int row = i < h / 2 ? i : i >= rh - h / 2 ? h - (rh - i) : h / 2;
        const std::uint8_t* m = mask.Line(row);
        std::uint8_t* d = Line(y) + r.left() * 3;
        for (int x = r.left(); x <= r.right(); ++x, d += 3) {
            const int j = x - rect.left();
            const bool middle = j >= w && j < rw - w;
            const int value = j < w ? m[j] : !middle ? m[mw - (rw - j)] : m[w];
            if (middle && value == 127) continue;
            for (int k = 0; k < 3; ++k) d[k] = Shade(d[k], value);
        }
    }
}

void TRGBChannel::PaintMask(const QRect& area, const QRect& rect, TChannelAlign placement,
                            const TChannel& mask, TColor color) {
    if (mask.Empty() || mask.Kind() != TChannelKind::ckMask) return;
    const QRect placed = PlaceRect(placement, {mask.Width(), mask.Height()}, rect);
    const auto copy = [&](const QRect& at, const QRect& within) {
        if (color == kNoColor)
            ShadeMasked(within, at, mask);
        else
            FillMasked(within, at, 255, mask, color);
    };
    if (placement <= aFrameBottom) {
        ShadeFrame(area, placed, mask);
    } else if (placement == aTile) {
        const QRect within = placed.intersected(area);
        for (int y = placed.top(); y <= placed.bottom(); y += mask.Height()) {
            for (int x = placed.left(); x <= placed.right(); x += mask.Width())
                copy(QRect(QPoint(x, y), QSize(mask.Width(), mask.Height())), within);
        }
    } else {
        copy(placed, area);
    }
}

}  // namespace kv
