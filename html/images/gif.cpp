// GIF parsing and LZW decoding.

#include "html/images/gif.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "html/images/display.h"
#include "html/images/dither.h"
#include "html/images/loaders.h"

namespace kv {
namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxFrames = 256;

struct TLZWTables {
    std::uint16_t prefix[kMaxCodes];
    std::uint16_t length[kMaxCodes];
    std::uint8_t suffix[kMaxCodes];
    std::uint8_t first[kMaxCodes];
    std::uint8_t stack[kMaxCodes + 1];
};

// Writes the string of a code ending at Out[Length - 1], or only the part below Room.
inline void WriteString(const TLZWTables& t, int code, int length, std::uint8_t* out,
                        std::size_t room) {
    if (static_cast<std::size_t>(length) <= room) {
        std::uint8_t* p = out + length - 1;
        for (int k = length - 1; k > 0; --k) {
            *p-- = t.suffix[code];
            code = t.prefix[code];
        }
        *p = static_cast<std::uint8_t>(code);
        return;
    }
    for (int k = length - 1; k >= 0; --k) {
        if (static_cast<std::size_t>(k) < room)
            out[k] = k == 0 ? static_cast<std::uint8_t>(code) : t.suffix[code];
        if (k > 0) code = t.prefix[code];
    }
}

// Joins the data sub-blocks from Offset into Scratch; returns the offset after the terminator.
std::size_t GatherSubBlocks(const std::uint8_t* data, std::size_t size, std::size_t offset,
                            std::vector<std::uint8_t>& scratch) {
    scratch.clear();
    for (;;) {
        if (offset >= size) throw EGIFError(kGIFReadError);
        const std::size_t length = data[offset++];
        if (length == 0) return offset;
        if (size - offset < length) throw EGIFError(kGIFReadError);
        scratch.insert(scratch.end(), data + offset, data + offset + length);
        offset += length;
    }
}

// Reads codes of a varying width from the joined sub-blocks, least significant bit first.
class TCodeReader {
public:
    TCodeReader(const std::uint8_t* in, std::size_t size) : in_(in), size_(size) {}

    // False when the data runs out before a whole code.
    bool Next(int width, int mask, int& code) {
        if (bitCount_ < width) {
            // Refill with as many whole bytes as fit.
            while (bitCount_ <= 56 && pos_ < size_) {
                bits_ |= std::uint64_t{in_[pos_++]} << bitCount_;
                bitCount_ += 8;
            }
            if (bitCount_ < width) return false;
        }
        code = static_cast<int>(bits_ & static_cast<std::uint64_t>(mask));
        bits_ >>= width;
        bitCount_ -= width;
        return true;
    }

private:
    const std::uint8_t* in_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
};

// Writes the string of `code` (a known one, or `next`, the one being defined: previous plus its
// own first character) as far as `room` allows; returns its length.
int WriteCode(const TLZWTables& t, int code, int next, int previous, std::uint8_t* out,
              std::size_t room) {
    if (code < next) {
        const int length = t.length[code];
        WriteString(t, code, length, out, room);
        return length;
    }
    if (code > next) throw EGIFError(kCorruptGIF);
    const int length = t.length[previous] + 1;
    WriteString(t, previous, length - 1, out, room);
    if (static_cast<std::size_t>(length) <= room)
        out[static_cast<std::size_t>(length) - 1] = t.first[previous];
    return length;
}

}  // namespace

std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint32_t hash) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 16777619u;
    }
    return hash;
}

std::size_t DecodeGIFLZW(const std::uint8_t* data, std::size_t size, std::size_t offset,
                         std::uint8_t* out, std::size_t count, std::vector<std::uint8_t>& scratch) {
    if (offset >= size) throw EGIFError(kGIFReadError);
    const int minCodeSize = data[offset++];
    const std::size_t end = GatherSubBlocks(data, size, offset, scratch);
    if (minCodeSize < 1 || minCodeSize > 8) throw EGIFError(kCorruptGIF);

    auto tables = std::make_unique<TLZWTables>();
    TLZWTables& t = *tables;
    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    for (int i = 0; i < clear; ++i) {
        t.length[i] = 1;
        t.first[i] = static_cast<std::uint8_t>(i);
    }
    TCodeReader reader(scratch.data(), scratch.size());
    int codeSize = minCodeSize + 1;
    int codeMask = (1 << codeSize) - 1;
    int next = clear + 2;
    int previous = -1;
    std::size_t pos = 0;

    int code = 0;
    while (pos < count) {
        if (!reader.Next(codeSize, codeMask, code)) break;  // data ran out: the rest stays 0
        if (code == clear) {
            codeSize = minCodeSize + 1;
            codeMask = (1 << codeSize) - 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == endCode) break;
        if (previous < 0) {
            if (code > clear) throw EGIFError(kCorruptGIF);
            out[pos++] = static_cast<std::uint8_t>(code);
            previous = code;
            continue;
        }
        const int length = WriteCode(t, code, next, previous, out + pos, count - pos);
        if (length > kMaxCodes) throw EGIFError(kCorruptGIF);
        if (next < kMaxCodes) {
            t.prefix[next] = static_cast<std::uint16_t>(previous);
            t.suffix[next] = code < next ? t.first[code] : t.first[previous];
            t.length[next] = static_cast<std::uint16_t>(t.length[previous] + 1);
            t.first[next] = t.first[previous];
            ++next;
            if (next > codeMask && codeSize < 12) {
                ++codeSize;
                codeMask = (1 << codeSize) - 1;
            }
        }
        previous = code;
        pos += static_cast<std::size_t>(length);
    }
    if (pos < count) std::memset(out + pos, 0, count - pos);
    return end;
}

// Reads the blocks of a GIF into a TGIFImage.
class TGIFParser {
public:
    TGIFParser(TGIFImage& image, const std::uint8_t* data, std::size_t size)
        : image_(image), data_(data), size_(size) {}

    void Run() {
        if (size_ < 3 || std::memcmp(data_, "GIF", 3) != 0) throw EGIFError(kNotGIF);
        pos_ = 6;
        const int screenWidth = Word();
        const int screenHeight = Word();
        const int packed = Byte();
        Skip(2);  // background colour index, aspect ratio
        image_.globalPalette_.fill({});
        if (packed & 0x80) {
            globalDepth_ = (packed & 7) + 1;
            image_.colorDepth_ = globalDepth_;
            for (int i = 0; i < (1 << globalDepth_); ++i)
                image_.globalPalette_[static_cast<std::size_t>(i)] = Rgb();
        }
        ReadBlocks();
        std::int64_t width = screenWidth, height = screenHeight;
        for (const auto& frame : image_.frames_) {
            width = std::max<std::int64_t>(width, frame->Left + frame->Width);
            height = std::max<std::int64_t>(height, frame->Top + frame->Height);
        }
        // The screen is composed and drawn through a back buffer: two 32-bit pictures and a mask.
        const std::int64_t screenBytes = width * height * 8 + width * height / 8;
        if (width * height > TBitmap::kMaxPixels || bytes_ + screenBytes > kMaxImageBytes)
            throw EGIFError(kImageTooLarge);
        image_.width_ = static_cast<int>(width);
        image_.height_ = static_cast<int>(height);
    }

private:
    int Byte() {
        if (pos_ >= size_) throw EGIFError(kGIFReadError);
        return data_[pos_++];
    }
    int Word() {
        const int low = Byte();
        return low | (Byte() << 8);
    }
    void Skip(std::size_t count) {
        if (size_ - pos_ < count) throw EGIFError(kGIFReadError);
        pos_ += count;
    }
    TPaletteEntry Rgb() {
        const auto red = static_cast<std::uint8_t>(Byte());
        const auto green = static_cast<std::uint8_t>(Byte());
        return {red, green, static_cast<std::uint8_t>(Byte()), 0};
    }
    std::string SubBlocks() {
        std::string joined;
        for (int length = Byte(); length != 0; length = Byte()) {
            Skip(static_cast<std::size_t>(length));
            joined.append(reinterpret_cast<const char*>(data_ + pos_ - length),
                          static_cast<std::size_t>(length));
        }
        return joined;
    }
    void SkipSubBlocks() {
        for (int length = Byte(); length != 0; length = Byte())
            Skip(static_cast<std::size_t>(length));
    }

    void ReadBlocks() {
        while (pos_ < size_) {
            const int introducer = Byte();
            if (introducer == 0x21) {
                if (!Extension()) return;
            } else if (introducer == 0x2C) {
                if (image_.frames_.size() >= kMaxFrames) return;
                ReadFrame();
            } else {
                return;  // trailer, or anything we do not know
            }
        }
    }

    bool Extension() {
        const int label = Byte();
        switch (label) {
        case 0x01: SkipSubBlocks(); return true;
        case 0xF9:
            for (auto& byte : control_) byte = static_cast<std::uint8_t>(Byte());
            hasControl_ = true;
            return true;
        case 0xFE: comment_ += SubBlocks(); return true;
        case 0xFF: Application(); return true;
        default: return false;
        }
    }

    void Application() {
        finishedBlocks_ = false;
        const std::string identifier = SubBlocksFirst();
        if (identifier == "NETSCAPE2.0") {
            const std::string loop = SubBlocksFirst();
            if (loop.size() >= 3)
                image_.loopCount_ =
                    static_cast<std::uint8_t>(loop[1]) | (static_cast<std::uint8_t>(loop[2]) << 8);
        }
        if (!finishedBlocks_) SkipSubBlocks();
    }
    // One sub-block's bytes; notes when it was the terminator.
    std::string SubBlocksFirst() {
        if (finishedBlocks_) return {};
        const int length = Byte();
        if (length == 0) {
            finishedBlocks_ = true;
            return {};
        }
        Skip(static_cast<std::size_t>(length));
        return std::string(reinterpret_cast<const char*>(data_ + pos_ - length),
                           static_cast<std::size_t>(length));
    }

    void ReadFrame();
    void DecodeFrame(TgfFrame& frame);
    void ColourFrame(TgfFrame& frame, const TPalette& gifPalette);

    TGIFImage& image_;
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    int globalDepth_ = 0;
    std::uint8_t control_[6] = {};
    bool hasControl_ = false;
    bool finishedBlocks_ = false;
    std::string comment_;
    std::int64_t bytes_ = 0;
    std::vector<std::uint8_t> scratch_;
    std::vector<std::uint8_t> linear_;
};

void TGIFParser::ReadFrame() {
    finishedBlocks_ = false;
    auto frame = std::make_unique<TgfFrame>();
    frame->Owner = &image_;
    frame->Dither = image_.ditherFrames_;
    frame->Left = Word();
    frame->Top = Word();
    frame->Width = Word();
    frame->Height = Word();
    const int packed = Byte();
    const std::int64_t pixels = std::int64_t{frame->Width} * frame->Height;
    if (pixels > TBitmap::kMaxPixels) throw EGIFError(kImageTooLarge);
    if (packed & 0x80) {
        frame->ColorDepth = (packed & 7) + 1;
        frame->HasLocalPalette = true;
        for (int i = 0; i < (1 << frame->ColorDepth); ++i) frame->LocalPalette.push_back(Rgb());
        if (image_.headerOnly_) frame->LocalPalette.clear();
    }
    frame->Interlaced = (packed & 0x40) != 0;
    if (hasControl_) {
        const int disposal = (control_[1] >> 2) & 7;
        frame->Disposal = (disposal == 0 || disposal == 1 || disposal == 3) ? disposal : 2;
        frame->Delay = (control_[2] | (control_[3] << 8)) * 10;
        frame->Transparent = (control_[1] & 1) != 0;
        frame->TransparentIndex = control_[4];
    }
    // Picture and mask, twice for disposal 3, raw indexes for tools.
    const std::int64_t frameBytes = pixels + pixels / 8 + 8 +
                                    (frame->Disposal == 3 ? pixels * 4 + pixels / 8 : 0) +
                                    (image_.keepIndexes_ ? pixels : 0);
    bytes_ += frameBytes;
    if (bytes_ > kMaxImageBytes) throw EGIFError(kImageTooLarge);

    if (image_.headerOnly_) {
        Skip(1);  // minimum code size
        SkipSubBlocks();
    } else {
        DecodeFrame(*frame);
    }
    while (pos_ < size_ && data_[pos_] == 0) ++pos_;
    image_.colorDepth_ = std::max(image_.colorDepth_, frame->ColorDepth);
    image_.transparent_ = image_.transparent_ || frame->Transparent;
    frame->Comment = std::move(comment_);
    comment_.clear();
    hasControl_ = false;
    image_.frames_.push_back(std::move(frame));
}

void TGIFParser::DecodeFrame(TgfFrame& frame) {
    const int width = frame.Width, height = frame.Height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    linear_.resize(count);
    pos_ = DecodeGIFLZW(data_, size_, pos_, linear_.data(), count, scratch_);

    frame.Image = TBitmap(width, height, TPixelFormat::pf8bit);
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    static const int starts[4] = {0, 4, 2, 1};
    static const int steps[4] = {8, 8, 4, 2};
    int source = 0;
    for (int pass = 0; width > 0 && pass < (frame.Interlaced ? 4 : 1); ++pass) {
        const int start = frame.Interlaced ? starts[pass] : 0;
        const int step = frame.Interlaced ? steps[pass] : 1;
        for (int y = start; y < height; y += step, ++source)
            std::memcpy(frame.Image.Row(y),
                        linear_.data() + static_cast<std::size_t>(source) * width,
                        static_cast<std::size_t>(width));
    }
    if (image_.keepIndexes_) {
        frame.Indexes.reserve(count);
        for (int y = 0; y < height; ++y)
            frame.Indexes.insert(frame.Indexes.end(), frame.Image.Row(y),
                                 frame.Image.Row(y) + width);
    }
    if (frame.Transparent) {
        frame.Mask = TBitmap(width, height, TPixelFormat::pfMono);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = frame.Image.Row(y);
            std::uint8_t* bits = frame.Mask.Row(y);
            for (int x = 0; x < width; ++x)
                if (row[x] == frame.TransparentIndex)
                    bits[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
    }
    TPalette gifPalette;
    if (frame.HasLocalPalette) {
        gifPalette = frame.LocalPalette;
    } else {
        const int depth = globalDepth_ > 0 ? globalDepth_ : 8;
        gifPalette.assign(image_.globalPalette_.begin(),
                          image_.globalPalette_.begin() + (1 << depth));
    }
    ColourFrame(frame, gifPalette);
    if (frame.Disposal == 3) {
        frame.SavedImage = TBitmap(width, height, TPixelFormat::pf32bit);
        frame.SavedMask = TBitmap(width, height, TPixelFormat::pfMono);
    }
}

void TGIFParser::ColourFrame(TgfFrame& frame, const TPalette& gifPalette) {
    if (frame.Transparent)
        frame.TransparentColor =
            static_cast<std::size_t>(frame.TransparentIndex) < gifPalette.size()
                ? gifPalette[static_cast<std::size_t>(frame.TransparentIndex)].Color()
                : kBlack;
    TBitmap& image = frame.Image;
    if (ColorBits() == 8 && !frame.Dither) {
        // Every GIF colour becomes its nearest entry of the shared palette.
        std::uint8_t map[256] = {};
        for (std::size_t i = 0; i < gifPalette.size(); ++i)
            map[i] = static_cast<std::uint8_t>(
                TBitmap::NearestIndex(ThePalette(), gifPalette[i].Color()));
        for (int y = 0; y < image.Height(); ++y) {
            std::uint8_t* row = image.Row(y);
            for (int x = 0; x < image.Width(); ++x) row[x] = map[row[x]];
        }
        image.SetPalette(ThePalette());
    } else {
        TPalette palette = gifPalette;
        // Transparent pixels show black: their table entry is black (the colour is kept in
        // TransparentColor).
        if (frame.Transparent && static_cast<std::size_t>(frame.TransparentIndex) < palette.size())
            palette[static_cast<std::size_t>(frame.TransparentIndex)] = {};
        image.SetPalette(std::move(palette));
    }
    if (frame.Dither)
        image = ReduceColors(image, TReducePalette::rpShared, TDitherMode::dmFloydSteinberg);
    if (frame.Transparent && image.Palette() == ThePalette()) {
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                if (frame.Mask.Value(x, y)) image.Row(y)[x] = 0;  // ThePalette's black
    }
}

TMilliClock SystemClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

TGIFImage::TGIFImage() : clock_(SystemClock()) {}

void TGIFImage::Reset() {
    frames_.clear();
    currentFrame_ = 1;
    loopCount_ = 1;
    iteration_ = 1;
    skipNextStep_ = true;
    colorDepth_ = 0;
    transparent_ = false;
    width_ = height_ = 0;
    empty_ = true;
    composed_ = TBitmap();
    composedMask_ = TBitmap();
    backBuffer_ = TBitmap();
    backBufferValid_ = false;
}

void TGIFImage::Parse(const std::uint8_t* data, std::size_t size) {
    Reset();
    TGIFParser(*this, data, size).Run();
    if (frames_.empty()) throw EGIFError(kNoFrames);
    if (!headerOnly_) {
        composed_ = TBitmap(width_, height_, TPixelFormat::pf32bit);
        if (transparent_) {
            composedMask_ = TBitmap(width_, height_, TPixelFormat::pfMono);
            composedMask_.Fill(kWhite);
        }
    }
    empty_ = false;
    if (!headerOnly_ && !frames_.empty()) Compose(1);
}

bool TGIFImage::LoadFromStream(const std::uint8_t* data, std::size_t size) {
    lastError_.clear();
    try {
        if (!headerOnly_) {
            // Sizes are checked on the headers before any pixel memory is taken.
            headerOnly_ = true;
            struct Restore {
                bool& flag;
                ~Restore() { flag = false; }
            } restore{headerOnly_};
            Parse(data, size);
        }
        Parse(data, size);
        return true;
    } catch (const std::bad_alloc&) {
        lastError_ = kImageTooLarge;
    } catch (const std::exception& failure) {
        lastError_ = failure.what();
    }
    Reset();
    return false;
}

bool TGIFImage::LoadFromFile(const std::string& fileName) {
    std::string bytes;
    if (!ReadImageFile(fileName, bytes)) {
        lastError_ = "Cannot open file";
        Reset();
        return false;
    }
    return LoadFromStream(bytes);
}

std::unique_ptr<TGIFImage> TGIFImage::CreateFromStream(const std::string& bytes,
                                                       bool& notAnimated) {
    auto image = std::make_unique<TGIFImage>();
    image->SetAnimate(false);
    image->visible_ = false;
    image->headerOnly_ = true;
    if (!image->LoadFromStream(bytes)) return nullptr;
    notAnimated = !image->Animated();
    if (ColorBits() == 8 && image->colorDepth_ > 1) image->ditherFrames_ = !image->Animated();
    image->headerOnly_ = false;
    if (!image->LoadFromStream(bytes)) return nullptr;
    return image;
}

std::unique_ptr<TGIFImage> TGIFImage::CreateFromFile(const std::string& fileName,
                                                     bool& notAnimated) {
    std::string bytes;
    if (!ReadImageFile(fileName, bytes)) return nullptr;
    return CreateFromStream(bytes, notAnimated);
}

}  // namespace kv
