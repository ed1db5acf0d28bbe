#pragma once
// Device-independent bitmaps: an information block (the 40-byte header and a colour table)
// and a pixel block of rows padded to 32 bits, bottom-up unless marked top-down. The colour
// reduction reads and writes pictures in this form; TDib captures a bitmap in it, stretches it
// to a canvas and turns it back into a display bitmap.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/errors.h"

namespace kv {

// Failures of the bitmap conversions, with the messages below.
class EDIBError : public kv::Exception {
public:
    using kv::Exception::Exception;
};
inline constexpr const char* kBitmapNotValid = "Bitmap image is not valid";
inline constexpr const char* kDIBNoMemory = "Failed to allocate memory for GIF DIB";
inline constexpr const char* kDIBCreateFailed = "Failed to create DIB from Bitmap";
inline constexpr const char* kImageHasNoDIB = "Image has no DIB";
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
inline constexpr const char* kInvalidPixelFormat = "Invalid pixel format";

// Pixel formats a DIB can have; pfDevice is a bitmap without a concrete format.
enum class TDIBFormat : std::uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };
int BitsOf(TDIBFormat format);
TDIBFormat FormatOfBits(int bits);  // pfDevice for anything but 1, 4, 8, 24, 32
// Bytes per row of a DIB: the bits of a row rounded up to 32.
int DIBRowSize(int width, int bits);

// Header and colour table, then pixels: the parts of a DIB.
struct TDIBBlocks {
    std::vector<std::uint8_t> info;    // BITMAPINFOHEADER (40 bytes) + colour table (4 bytes each)
    std::vector<std::uint8_t> pixels;  // rows of DIBRowSize bytes
    int Width() const;
    int Height() const;  // always positive
    bool TopDown() const;
    int Bits() const;
    int ColorCount() const;  // entries of the colour table
    // Row r counted from the top.
    std::size_t RowOffset(int r) const;
};

// Makes the information block: header (width, height, one plane, bits, no compression,
// resolution and colour counts 0) and a colour table of 2^bits entries when bits <= 8, filled
// from the palette (blue, green, red order) and zeroed beyond it.
std::vector<std::uint8_t> MakeDIBInfo(int width, int height, int bits, bool topDown,
                                      const TPalette& palette);
// The bitmap a DIB stands for: 24 and 32 bits give 32-bit pixels, 1 bit with a black-white
// table a mask, other depths 8-bit pixels with the colour table as palette.
TBitmap BitmapFromDIB(const TDIBBlocks& dib);
// The 14-byte file header "BM" in front of the blocks: the picture as a bitmap file.
std::string DIBFileBytes(const TDIBBlocks& dib);

// The bitmap worked on and its pixel format.
class TDIB {
public:
    TDIB(const TBitmap* bitmap, TDIBFormat format);
    virtual ~TDIB() = default;
    const TBitmap* Bitmap() const { return bitmap_; }
    TDIBFormat PixelFormat() const { return format_; }

protected:
    const TBitmap* bitmap_;
    TDIBFormat format_;
};

// Reads a bitmap's rows in a given pixel format (24 bits for colour reduction: blue, green,
// red bytes).
class TDIBReader : public TDIB {
public:
    TDIBReader(const TBitmap* bitmap, TDIBFormat format);
    const std::uint8_t* ScanLine(int row) const;
    int Width() const { return blocks_.Width(); }
    int Height() const { return blocks_.Height(); }

private:
    TDIBBlocks blocks_;
};

// Writes the rows of a new picture for a target bitmap; the information and pixel blocks are
// made on first use and put back into the target by Finish (or, quietly, on destruction).
class TDIBWriter : public TDIB {
public:
    TDIBWriter(TBitmap* target, TDIBFormat format, int width, int height, TPalette palette,
               bool topDown = false);
    ~TDIBWriter() override;
    std::uint8_t* ScanLine(int row);
    const TDIBBlocks& Blocks();
    // Puts the picture into the target bitmap.
    void Finish();

private:
    void Prepare();

    TBitmap* target_;
    int width_, height_;
    TPalette palette_;
    bool topDown_;
    bool prepared_ = false;
    bool finished_ = false;
    TDIBBlocks blocks_;
};

// A bitmap captured as a DIB: bits = those of the bitmap (32 becomes 24), colour table of
// 2^bits entries for 8 bits or fewer.
class TDib {
public:
    explicit TDib(const TBitmap& bitmap);
    const TDIBBlocks& Blocks() const { return blocks_; }
    int Width() const { return blocks_.Width(); }
    int Height() const { return blocks_.Height(); }
    // Stretches the whole picture to a rectangle of the canvas with a raster operation.
    void DrawDIB(TBitmap& canvas, int x, int y, int width, int height, TRasterOp op) const;
    // The picture as a display bitmap: 32-bit, or 8-bit with ThePalette when ColorBits <= 8.
    TBitmap CreateDeviceBitmap() const;

private:
    TDIBBlocks blocks_;
};

}  // namespace kv
