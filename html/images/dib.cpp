#include "html/images/dib.h"

#include <cstring>
#include <new>

#include "html/images/display.h"

namespace kv {
namespace {

constexpr int kHeaderSize = 40;

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t{in[at + static_cast<std::size_t>(i)]} << (8 * i);
    return value;
}

TDIBFormat OwnFormat(const TBitmap& bitmap) {
    switch (bitmap.Format()) {
    case TPixelFormat::pfMono: return TDIBFormat::pf1bit;
    case TPixelFormat::pf8bit: return TDIBFormat::pf8bit;
    case TPixelFormat::pf32bit: break;
    }
    return TDIBFormat::pf24bit;
}

// The pixels of a bitmap as DIB rows of the given depth.
TDIBBlocks Capture(const TBitmap& bitmap, TDIBFormat format) {
    const int bits = BitsOf(format);
    const bool sameIndexes =
        (format == TDIBFormat::pf8bit && bitmap.Format() == TPixelFormat::pf8bit) ||
        (format == TDIBFormat::pf1bit && bitmap.Format() == TPixelFormat::pfMono);
    if (bits == 0 || (bits <= 8 && !sameIndexes)) throw EDIBError(kInvalidPixelFormat);
    const TPalette palette = bitmap.Format() == TPixelFormat::pfMono
                                 ? TPalette{{0, 0, 0, 0}, {255, 255, 255, 0}}
                                 : bitmap.Palette();
    TDIBBlocks dib;
    try {
        dib.info = MakeDIBInfo(bitmap.Width(), bitmap.Height(), bits, false, palette);
        dib.pixels.assign(
            static_cast<std::size_t>(DIBRowSize(bitmap.Width(), bits)) * bitmap.Height(), 0);
    } catch (const std::bad_alloc&) {
        throw EDIBError(kDIBNoMemory);
    }
    const int bytes = bits / 8;
    if (bitmap.Empty()) return dib;
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = dib.pixels.data() + dib.RowOffset(y);
        if (bits <= 8) {
            std::memcpy(row, bitmap.Row(y),
                        static_cast<std::size_t>(DIBRowSize(bitmap.Width(), bits)));
            continue;
        }
        if (bitmap.Format() == TPixelFormat::pf32bit) {
            const std::uint8_t* in = bitmap.Row(y);
            for (int x = 0; x < bitmap.Width(); ++x, in += 4, row += bytes) {
                row[0] = in[0];
                row[1] = in[1];
                row[2] = in[2];
            }
            continue;
        }
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor color = bitmap.Pixel(x, y);
            std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * bytes;
            pixel[0] = static_cast<std::uint8_t>(BlueOf(color));
            pixel[1] = static_cast<std::uint8_t>(GreenOf(color));
            pixel[2] = static_cast<std::uint8_t>(RedOf(color));
        }
    }
    return dib;
}

}  // namespace

int BitsOf(TDIBFormat format) {
    switch (format) {
    case TDIBFormat::pfDevice: return 0;
    case TDIBFormat::pf1bit: return 1;
    case TDIBFormat::pf4bit: return 4;
    case TDIBFormat::pf8bit: return 8;
    case TDIBFormat::pf24bit: return 24;
    case TDIBFormat::pf32bit: return 32;
    }
    return 0;
}

TDIBFormat FormatOfBits(int bits) {
    switch (bits) {
    case 1: return TDIBFormat::pf1bit;
    case 4: return TDIBFormat::pf4bit;
    case 8: return TDIBFormat::pf8bit;
    case 24: return TDIBFormat::pf24bit;
    case 32: return TDIBFormat::pf32bit;
    default: return TDIBFormat::pfDevice;
    }
}

int DIBRowSize(int width, int bits) {
    return static_cast<int>(((std::int64_t{bits} * width + 31) / 32) * 4);
}

int TDIBBlocks::Width() const {
    return static_cast<int>(Get32(info, 4));
}
int TDIBBlocks::Height() const {
    const auto height = static_cast<std::int32_t>(Get32(info, 8));
    return height < 0 ? -height : height;
}
bool TDIBBlocks::TopDown() const {
    return static_cast<std::int32_t>(Get32(info, 8)) < 0;
}
int TDIBBlocks::Bits() const {
    return info[14] | (info[15] << 8);
}
int TDIBBlocks::ColorCount() const {
    return static_cast<int>((info.size() - kHeaderSize) / 4);
}
std::size_t TDIBBlocks::RowOffset(int r) const {
    const auto rowSize = static_cast<std::size_t>(DIBRowSize(Width(), Bits()));
    return TopDown() ? static_cast<std::size_t>(r) * rowSize
                     : static_cast<std::size_t>(Height() - r - 1) * rowSize;
}

std::vector<std::uint8_t> MakeDIBInfo(int width, int height, int bits, bool topDown,
                                      const TPalette& palette) {
    const int colours = bits <= 8 ? 1 << bits : 0;
    std::vector<std::uint8_t> info(static_cast<std::size_t>(kHeaderSize + 4 * colours), 0);
    Put32(info, 0, kHeaderSize);
    Put32(info, 4, static_cast<std::uint32_t>(width));
    Put32(info, 8, static_cast<std::uint32_t>(topDown ? -height : height));
    info[12] = 1;  // planes
    info[14] = static_cast<std::uint8_t>(bits);
    for (int i = 0; i < colours && i < static_cast<int>(palette.size()); ++i) {
        const std::size_t at = kHeaderSize + 4 * static_cast<std::size_t>(i);
        info[at] = palette[static_cast<std::size_t>(i)].blue;
        info[at + 1] = palette[static_cast<std::size_t>(i)].green;
        info[at + 2] = palette[static_cast<std::size_t>(i)].red;
    }
    return info;
}

TBitmap BitmapFromDIB(const TDIBBlocks& dib) {
    if (dib.info.size() < kHeaderSize) throw EDIBError(kImageHasNoDIB);
    const int width = dib.Width(), height = dib.Height(), bits = dib.Bits();
    if (FormatOfBits(bits) == TDIBFormat::pfDevice) throw EDIBError(kInvalidPixelFormat);
    if (dib.pixels.size() < static_cast<std::size_t>(DIBRowSize(width, bits)) * height)
        throw EDIBError(kImageHasNoDIB);
    TPalette table;
    for (int i = 0; i < dib.ColorCount() && i < 256; ++i) {
        const std::size_t at = kHeaderSize + 4 * static_cast<std::size_t>(i);
        table.push_back({dib.info[at + 2], dib.info[at + 1], dib.info[at], 0});
    }
    const bool mask =
        bits == 1 && table.size() == 2 && table[0].Color() == kBlack && table[1].Color() == kWhite;
    const TPixelFormat format = mask        ? TPixelFormat::pfMono
                                : bits <= 8 ? TPixelFormat::pf8bit
                                            : TPixelFormat::pf32bit;
    TBitmap bitmap(width, height, format);
    if (format == TPixelFormat::pf8bit) bitmap.SetPalette(table);
    if (bitmap.Empty()) return bitmap;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = dib.pixels.data() + dib.RowOffset(y);
        if (mask) {
            std::memcpy(bitmap.Row(y), row, static_cast<std::size_t>(bitmap.Stride()));
            continue;
        }
        if (bits == 8) {
            std::memcpy(bitmap.Row(y), row, static_cast<std::size_t>(width));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                bitmap.Row(y)[x] =
                    static_cast<std::uint8_t>((row[x / perByte] >> shift) & ((1 << bits) - 1));
            } else {
                const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * (bits / 8);
                bitmap.SetValue(
                    x, y,
                    (std::uint32_t{pixel[2]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[0]);
            }
        }
    }
    return bitmap;
}

std::string DIBFileBytes(const TDIBBlocks& dib) {
    std::vector<std::uint8_t> header(14, 0);
    header[0] = 'B';
    header[1] = 'M';
    Put32(header, 2, static_cast<std::uint32_t>(14 + dib.info.size() + dib.pixels.size()));
    Put32(header, 10, static_cast<std::uint32_t>(14 + dib.info.size()));
    std::string bytes(header.begin(), header.end());
    bytes.append(dib.info.begin(), dib.info.end());
    bytes.append(dib.pixels.begin(), dib.pixels.end());
    return bytes;
}

TDIB::TDIB(const TBitmap* bitmap, TDIBFormat format) : bitmap_(bitmap), format_(format) {}

TDIBReader::TDIBReader(const TBitmap* bitmap, TDIBFormat format) : TDIB(bitmap, format) {
    if (bitmap == nullptr) throw EDIBError(kBitmapNotValid);
    if (format == TDIBFormat::pfDevice) throw EDIBError(kInvalidPixelFormat);
    try {
        blocks_ = Capture(*bitmap, format);
    } catch (const std::bad_alloc&) {
        throw EDIBError(kDIBCreateFailed);
    }
}

const std::uint8_t* TDIBReader::ScanLine(int row) const {
    if (row < 0 || row >= blocks_.Height()) throw EDIBError(kScanLineOutOfRange);
    return blocks_.pixels.data() + blocks_.RowOffset(row);
}

TDIBWriter::TDIBWriter(TBitmap* target, TDIBFormat format, int width, int height, TPalette palette,
                       bool topDown)
    : TDIB(target, format),
      target_(target),
      width_(width),
      height_(height),
      palette_(std::move(palette)),
      topDown_(topDown) {
    if (target == nullptr) throw EDIBError(kBitmapNotValid);
    if (format == TDIBFormat::pfDevice) throw EDIBError(kInvalidPixelFormat);
}

TDIBWriter::~TDIBWriter() {
    if (finished_) return;
    try {
        Finish();
    } catch (const std::exception&) {
        // The target keeps what it had; the caller already owns the failure path.
    }
}

void TDIBWriter::Prepare() {
    if (prepared_) return;
    const int bits = BitsOf(format_);
    const int maxColours = bits <= 8 ? 1 << bits : 0;
    TPalette table = palette_;
    if (static_cast<int>(table.size()) > maxColours)
        table.resize(static_cast<std::size_t>(maxColours));
    try {
        blocks_.info = MakeDIBInfo(width_, height_, bits, topDown_, table);
        blocks_.pixels.assign(static_cast<std::size_t>(DIBRowSize(width_, bits)) * height_, 0);
    } catch (const std::bad_alloc&) {
        throw EDIBError(kDIBNoMemory);
    }
    prepared_ = true;
}

std::uint8_t* TDIBWriter::ScanLine(int row) {
    Prepare();
    if (row < 0 || row >= height_) throw EDIBError(kScanLineOutOfRange);
    return blocks_.pixels.data() + blocks_.RowOffset(row);
}

const TDIBBlocks& TDIBWriter::Blocks() {
    Prepare();
    return blocks_;
}

void TDIBWriter::Finish() {
    finished_ = true;
    Prepare();
    *target_ = BitmapFromDIB(blocks_);
}

TDib::TDib(const TBitmap& bitmap) {
    if (bitmap.Empty()) throw EDIBError(kBitmapNotValid);
    blocks_ = Capture(bitmap, OwnFormat(bitmap));
}

void TDib::DrawDIB(TBitmap& canvas, int x, int y, int width, int height, TRasterOp op) const {
    const TBitmap picture = BitmapFromDIB(blocks_);
    StretchBlt(canvas, x, y, width, height, picture, 0, 0, picture.Width(), picture.Height(), op);
}

TBitmap TDib::CreateDeviceBitmap() const {
    const TBitmap picture = BitmapFromDIB(blocks_);
    if (ColorBits() <= 8) return picture.ConvertedTo(TPixelFormat::pf8bit, ThePalette());
    return picture.ConvertedTo(TPixelFormat::pf32bit);
}

}  // namespace kv
