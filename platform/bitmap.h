#pragma once
// Our own pixel buffers: 32-bit BGRX for everything the screen shows, 8-bit indexed with a
// palette for the 256-colour (and 16-colour) display path, and 1-bit masks where a set bit is
// white, which means "transparent" for every mask of the system. Raster operations (copy, AND,
// OR, XOR, invert) are plain loops over these pixels, clipped to both bitmaps, so drawing does
// not depend on what a paint engine does with odd formats.
//
// Rows are addressed top-down: Row(0) is the top row. Every row starts on a 4-byte boundary.
// A later canvas draws text and lines through QPainter over AsQImage(), which wraps the pixels
// of a 32-bit bitmap without copying them.

#include <QImage>
#include <cstdint>
#include <vector>

#include "platform/color.h"

namespace kv {

struct TPaletteEntry {
    std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
    TColor Color() const { return RGBColor(red, green, blue); }
    static TPaletteEntry Of(TColor color) {
        return {static_cast<std::uint8_t>(RedOf(color)), static_cast<std::uint8_t>(GreenOf(color)),
                static_cast<std::uint8_t>(BlueOf(color)), 0};
    }
    bool operator==(const TPaletteEntry&) const = default;
};
// At most 256 entries.
using TPalette = std::vector<TPaletteEntry>;

enum class TPixelFormat : std::uint8_t {
    pfMono,   // 1 bit per pixel, most significant bit first; 1 = white
    pf8bit,   // one palette index per pixel
    pf32bit,  // blue, green, red, 0xFF per pixel (QImage::Format_RGB32 on little-endian)
};

enum class TRasterOp : std::uint8_t {
    ropCopy,    // dest = source
    ropAnd,     // dest = dest AND source
    ropOr,      // dest = dest OR source
    ropXor,     // dest = dest XOR source
    ropInvert,  // dest = NOT dest (the source only gives the shape)
};

// How colours cross between mono and colour bitmaps, as a device context does it: a colour
// pixel equal to Background becomes a white (1) mask bit, any other a black (0) one; a white
// mask bit drawn onto colour becomes Background, a black one Text.
struct TBlitColors {
    TColor background = kWhite;
    TColor text = kBlack;
};

class TBitmap {
public:
    // The largest picture any loader accepts: 64 megapixels.
    static constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

    TBitmap() = default;
    // A black bitmap (mono: all bits 0). Sizes below 0 count as 0; throws std::bad_alloc for
    // more than kMaxPixels.
    TBitmap(int width, int height, TPixelFormat format);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    TPixelFormat Format() const { return format_; }
    int BitsPerPixel() const;
    // Bytes per row, a multiple of 4.
    int Stride() const { return stride_; }
    static int StrideFor(int width, TPixelFormat format);
    std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * stride_;
    }
    std::uint8_t* Bits() { return pixels_.data(); }
    const std::uint8_t* Bits() const { return pixels_.data(); }
    std::size_t ByteCount() const { return pixels_.size(); }

    // The palette of an 8-bit bitmap (indexes beyond it read as black). Mono bitmaps are
    // always black (0) and white (1); 32-bit bitmaps ignore it.
    const TPalette& Palette() const { return palette_; }
    void SetPalette(TPalette palette);

    // Colour of a pixel (black outside the bitmap).
    TColor Pixel(int x, int y) const;
    // Sets a pixel to a colour (8-bit: the nearest palette entry; mono: white or not).
    void SetPixel(int x, int y, TColor color);
    // Raw pixel value: the index of an 8-bit pixel, 0/1 of a mono one, 0xRRGGBB of a 32-bit one.
    std::uint32_t Value(int x, int y) const;
    void SetValue(int x, int y, std::uint32_t value);
    // Fills the rectangle (clipped) with a colour, converted as SetPixel does.
    void FillRect(int x, int y, int width, int height, TColor color);
    void Fill(TColor color) { FillRect(0, 0, width_, height_, color); }

    // The value a colour has in this bitmap's format (see SetPixel).
    std::uint32_t ValueOf(TColor color) const;
    // Index of the palette entry nearest to a colour (smallest sum of channel differences,
    // the first of equals).
    static int NearestIndex(const TPalette& palette, TColor color);

    // A copy converted to another format (to 8 bits: nearest colours of the palette given).
    TBitmap ConvertedTo(TPixelFormat format, const TPalette& palette = {}) const;

    // A QImage over these very pixels (no copy): valid while this bitmap lives unchanged in
    // size. 32-bit gives Format_RGB32, 8-bit Format_Indexed8, mono Format_Mono.
    QImage AsQImage();
    QImage AsQImage() const;
    // An independent copy as QImage, and a bitmap from any QImage (indexed images stay 8-bit
    // with their palette; everything else becomes 32-bit, alpha dropped over black).
    QImage ToQImage() const;
    static TBitmap FromQImage(const QImage& image);

    bool operator==(const TBitmap& other) const;

private:
    QImage Wrap(QImage image) const;
    QImage::Format QtFormat() const;

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    TPixelFormat format_ = TPixelFormat::pf32bit;
    TPalette palette_;
    std::vector<std::uint8_t> pixels_;
};

// Stretches the source rectangle onto the destination rectangle with a raster operation
// (nearest pixel). Both rectangles are clipped to their bitmaps; negative or empty sizes draw
// nothing. The source is first brought into the destination's format: colours through the
// palette, mono through Colors, colour to 8-bit through the nearest destination entry (an
// 8-bit source with the same palette keeps its indexes). On 8-bit destinations the raster
// operations work on the indexes, white mono bits counting as index 0xFF.
void StretchBlt(TBitmap& dest, int dx, int dy, int dw, int dh, const TBitmap& source, int sx,
                int sy, int sw, int sh, TRasterOp op, const TBlitColors& colors = {});
// Same size, no stretching.
inline void BitBlt(TBitmap& dest, int dx, int dy, int width, int height, const TBitmap& source,
                   int sx, int sy, TRasterOp op, const TBlitColors& colors = {}) {
    StretchBlt(dest, dx, dy, width, height, source, sx, sy, width, height, op, colors);
}
// dest = NOT dest over a rectangle (clipped).
void InvertRect(TBitmap& dest, int x, int y, int width, int height);

}  // namespace kv
