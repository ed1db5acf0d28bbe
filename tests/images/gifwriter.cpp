#include "tests/images/gifwriter.h"

#include <algorithm>

namespace kvtest {
namespace {

void PutWord(std::string& out, int value) {
    out += static_cast<char>(value & 255);
    out += static_cast<char>((value >> 8) & 255);
}

class BitWriter {
public:
    void Put(int code, int size) {
        buffer_ |= static_cast<std::uint64_t>(code) << count_;
        count_ += size;
        while (count_ >= 8) {
            bytes_ += static_cast<char>(buffer_ & 255);
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    std::string Blocks(int minCodeSize) {
        if (count_ > 0) bytes_ += static_cast<char>(buffer_ & 255);
        std::string out(1, static_cast<char>(minCodeSize));
        for (std::size_t at = 0; at < bytes_.size(); at += 255) {
            const std::size_t length = std::min<std::size_t>(255, bytes_.size() - at);
            out += static_cast<char>(length);
            out.append(bytes_, at, length);
        }
        out += '\0';
        return out;
    }

private:
    std::uint64_t buffer_ = 0;
    int count_ = 0;
    std::string bytes_;
};

int DepthFor(const GifFrame& frame, const GifFile& file) {
    return frame.localDepth > 0 ? frame.localDepth : std::max(file.globalDepth, 1);
}

}  // namespace

std::vector<std::uint8_t> MakeTable(int depth, int seed) {
    std::vector<std::uint8_t> table;
    for (int i = 0; i < (1 << depth); ++i) {
        table.push_back(static_cast<std::uint8_t>((i * 37 + seed * 11) & 255));
        table.push_back(static_cast<std::uint8_t>((i * 91 + 17 + seed * 5) & 255));
        table.push_back(static_cast<std::uint8_t>((i * 53 + 101 + seed) & 255));
    }
    return table;
}

std::vector<std::uint8_t> MakePixels(int width, int height, int depth, int seed) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed);
    const int colours = 1 << depth;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            // Bands of flat colour with noisy stripes between them.
            const bool noisy = ((y + seed) / 4) % 3 == 0;
            const int value = noisy ? static_cast<int>(state % static_cast<std::uint32_t>(colours))
                                    : ((x / 7 + y / 5 + seed) % colours);
            pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(value);
        }
    }
    return pixels;
}

std::string EncodeLZW(const std::vector<std::uint8_t>& pixels, int minCodeSize,
                      bool clearWhenFull) {
    BitWriter writer;
    const int clear = 1 << minCodeSize;
    // dictionary[prefix * 256 + c] = generation << 16 | code
    std::vector<std::uint32_t> dictionary(4096 * 256, 0);
    std::uint32_t generation = 1;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    writer.Put(clear, codeSize);
    if (pixels.empty()) {
        writer.Put(clear + 1, codeSize);
        return writer.Blocks(minCodeSize);
    }
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const int c = pixels[i];
        const std::uint32_t entry = dictionary[static_cast<std::size_t>(prefix) * 256 + c];
        if ((entry >> 16) == generation) {
            prefix = static_cast<int>(entry & 0xFFFF);
            continue;
        }
        writer.Put(prefix, codeSize);
        if (next < 4096) {
            dictionary[static_cast<std::size_t>(prefix) * 256 + c] =
                (generation << 16) | static_cast<std::uint32_t>(next);
            ++next;
            if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
            if (next == 4096 && clearWhenFull) {
                writer.Put(clear, codeSize);
                ++generation;
                codeSize = minCodeSize + 1;
                next = clear + 2;
            }
        }
        prefix = c;
    }
    writer.Put(prefix, codeSize);
    // The decoder grows its code size one entry later than we add ours.
    ++next;
    if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
    writer.Put(clear + 1, codeSize);
    return writer.Blocks(minCodeSize);
}

std::string RawLZW(int minCodeSize, const std::vector<std::pair<int, int>>& codes) {
    BitWriter writer;
    for (const auto& [code, size] : codes) writer.Put(code, size);
    return writer.Blocks(minCodeSize);
}

std::string EncodeGif(const GifFile& file) {
    std::string out = file.gif89 ? "GIF89a" : "GIF87a";
    PutWord(out, file.width);
    PutWord(out, file.height);
    int packed = 0;
    if (file.globalDepth > 0)
        packed = 0x80 | ((file.globalDepth - 1) << 4) | (file.globalDepth - 1);
    out += static_cast<char>(packed);
    out += '\0';
    out += '\0';
    if (file.globalDepth > 0) {
        std::vector<std::uint8_t> table = file.globalTable;
        table.resize(static_cast<std::size_t>(3 << file.globalDepth), 0);
        out.append(table.begin(), table.end());
    }
    if (file.loopCount >= 0) {
        out += "\x21\xFF\x0BNETSCAPE2.0";
        out += "\x03\x01";
        PutWord(out, file.loopCount);
        out += '\0';
    }
    for (const GifFrame& frame : file.frames) {
        if (!frame.comment.empty()) {
            out += "\x21\xFE";
            out += static_cast<char>(frame.comment.size());
            out += frame.comment;
            out += '\0';
        }
        if (frame.control) {
            out += "\x21\xF9\x04";
            out += static_cast<char>(((frame.disposal & 7) << 2) |
                                     (frame.transparentIndex >= 0 ? 1 : 0));
            PutWord(out, frame.delayCs);
            out += static_cast<char>(frame.transparentIndex >= 0 ? frame.transparentIndex : 0);
            out += '\0';
        }
        out += '\x2C';
        PutWord(out, frame.left);
        PutWord(out, frame.top);
        PutWord(out, frame.width);
        PutWord(out, frame.height);
        int framePacked = frame.interlaced ? 0x40 : 0;
        if (frame.localDepth > 0) framePacked |= 0x80 | (frame.localDepth - 1);
        out += static_cast<char>(framePacked);
        if (frame.localDepth > 0) {
            std::vector<std::uint8_t> table = frame.localTable;
            table.resize(static_cast<std::size_t>(3 << frame.localDepth), 0);
            out.append(table.begin(), table.end());
        }
        std::vector<std::uint8_t> stream = frame.pixels;
        if (frame.interlaced) {
            stream.clear();
            static const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = starts[pass]; y < frame.height; y += steps[pass])
                    stream.insert(
                        stream.end(),
                        frame.pixels.begin() + static_cast<std::ptrdiff_t>(y) * frame.width,
                        frame.pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * frame.width);
        }
        const int minCodeSize =
            frame.minCodeSize > 0 ? frame.minCodeSize : std::max(2, DepthFor(frame, file));
        out += EncodeLZW(stream, minCodeSize, frame.clearWhenFull);
    }
    if (file.trailer) out += '\x3B';
    return out;
}

}  // namespace kvtest
