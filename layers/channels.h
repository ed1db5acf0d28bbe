#pragma once
// Pixel stores behind the layer controls: 8-bit pictures used as shape masks or palette glyphs,
// the 24-bit off-screen buffer a layer paints into, and the mixing operations between them.
// Every store keeps its rows bottom-up with a stride padded to four bytes, the layout the
// stored form of a window's pictures has on disk.

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "layers/aligns.h"
#include "platform/bitmap.h"
#include "platform/font.h"  // kNoColor: no fill, a see-through layer

namespace kv {

class EChannelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TProChannel {
public:
    virtual ~TProChannel() = default;
    virtual void Allocate() = 0;
    virtual void Release() = 0;

    bool Allocated() const { return allocated_; }
    bool Empty() const { return !allocated_ || width_ <= 0 || height_ <= 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BytesPerPixel() const { return bytesPerPixel_; }
    int Stride() const { return (width_ * bytesPerPixel_ + 3) & ~3; }
    std::size_t DataSize() const {
        return static_cast<std::size_t>(Stride()) * std::max(height_, 0);
    }
    QRect ChannelRect() const { return {0, 0, width_, height_}; }

    void SetSize(int width, int height);
    void SetAllocated(bool allocated);
    // The address of pixel x on the line just above y (line y - 1 from the top): row loops
    // start from the exclusive bottom of a rectangle with it.
    std::uint8_t* PixelAddress(int x, int y) { return Line(y - 1) + x * bytesPerPixel_; }
    const std::uint8_t* PixelAddress(int x, int y) const {
        return Line(y - 1) + x * bytesPerPixel_;
    }
    // Line y counted from the top.
    virtual std::uint8_t* Line(int y) = 0;
    virtual const std::uint8_t* Line(int y) const = 0;

protected:
    explicit TProChannel(int bytesPerPixel) : bytesPerPixel_(bytesPerPixel) {}
    bool allocated_ = false;
    int width_ = 0;
    int height_ = 0;

private:
    int bytesPerPixel_;
};

enum class TChannelKind : std::uint8_t { ckMask, ckColor };

class TChannel : public TProChannel {
public:
    using Palette = std::array<std::uint8_t, 256 * 4>;  // blue, green, red, 0 per entry

    explicit TChannel(TChannelKind kind) : TProChannel(1), kind_(kind) {}
    TChannel(const TChannel& other);
    TChannel& operator=(const TChannel& other);

    void Allocate() override;
    void Release() override;
    std::uint8_t* Line(int y) override { return pixels_.data() + RowOffset(y); }
    const std::uint8_t* Line(int y) const override { return pixels_.data() + RowOffset(y); }

    TChannelKind Kind() const { return kind_; }
    std::uint8_t Value(int x, int y) const { return Line(y)[x]; }
    void SetValue(int x, int y, std::uint8_t value) { Line(y)[x] = value; }
    // The palette colour of a value (blue, green, red bytes).
    const std::uint8_t* PaletteEntry(int value) const { return palette_.data() + value * 4; }
    void SetPaletteEntry(int value, TColor color);
    // A palette of 256 greys.
    void SetGreyPalette();

    // Takes a copy of the source's size, palette and pixels; an empty source leaves this empty.
    void Assign(const TChannel& source);
    // The stored form: header size, header, palette and rows; four zero bytes when empty.
    std::string Save() const;
    // Reads the stored form (40- or 12-byte header); throws EChannelError.
    void Load(std::string_view data);
    // Reads a bitmap file holding an 8-bit picture whose rows follow its palette.
    void LoadFromBitmapFile(std::string_view file);
    // Whether storing must write this channel, given the one it inherits (none: always).
    bool DiffersFrom(const TChannel* inherited) const;

    // Called after every load, assignment and release.
    std::function<void()> OnChange;

private:
    std::size_t RowOffset(int y) const {
        return static_cast<std::size_t>(height_ - 1 - y) * static_cast<std::size_t>(Stride());
    }
    void Notify() const {
        if (OnChange) OnChange();
    }

    TChannelKind kind_;
    Palette palette_{};
    std::vector<std::uint8_t> pixels_;
};

// The 24-bit off-screen buffer (blue, green, red) with a drawing surface over the same pixels.
class TRGBChannel : public TProChannel {
public:
    TRGBChannel() : TProChannel(3) {}
    void Allocate() override;
    void Release() override;
    std::uint8_t* Line(int y) override { return surface_.scanLine(y); }
    const std::uint8_t* Line(int y) const override { return surface_.constScanLine(y); }

    // What the platform's drawing calls paint into; shares the pixels.
    QImage& Surface() { return surface_; }
    const QImage& Surface() const { return surface_; }
    TColor Pixel(int x, int y) const;
    void Fill(TColor color);

    // Each clips the placed rectangle to the buffer and to `area`, and does nothing when the
    // buffer or the source is empty. Strength s runs from 0 (nothing) to 255.
    void DrawGlyph(const QRect& area, const QRect& placed, int strength, const TChannel& glyph);
    void DrawGlyphMasked(const QRect& area, const QRect& placed, int strength, const TChannel& mask,
                         const TChannel& glyph);
    void FillMasked(const QRect& area, const QRect& placed, int strength, const TChannel& mask,
                    TColor color);
    // The mask as a light map: above 128 towards white, below 127 towards black.
    void ShadeMasked(const QRect& area, const QRect& placed, const TChannel& mask);
    // The light map stretched as a frame over a rectangle at least as large as the mask.
    void ShadeFrame(const QRect& area, const QRect& rect, const TChannel& mask);
    // A layer's mask step: frame, tiles or one copy, shaded (colour none) or filled.
    void PaintMask(const QRect& area, const QRect& rect, TChannelAlign placement,
                   const TChannel& mask, TColor color);

private:
    // The part of `placed` (limited to `source` size) that lies in the buffer and in `area`.
    QRect Clip(const QRect& area, const QRect& placed, QSize source) const;

    QImage surface_;
};

// The light map on one byte.
std::uint8_t Shade(std::uint8_t d, int m);

}  // namespace kv
