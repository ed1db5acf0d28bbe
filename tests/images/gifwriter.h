#pragma once
// A small GIF encoder for tests and benchmarks: every field the decoder reads can be set,
// including the odd ones (frames beyond the screen, interlacing, local tables, no clear code
// when the table fills up), and raw LZW codes can be written to make corrupt data.

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // width × height indexes, rows from the top
    bool interlaced = false;
    int localDepth = 0;                    // 0: global table
    std::vector<std::uint8_t> localTable;  // 3 bytes per entry, 2^localDepth entries
    bool control = false;                  // graphic control extension
    int disposal = 0;                      // raw 3-bit value
    int delayCs = 0;                       // hundredths of a second
    int transparentIndex = -1;
    std::string comment;        // a comment extension before the frame
    int minCodeSize = 0;        // 0: from the depth
    bool clearWhenFull = true;  // false: keep going with a full table
};

struct GifFile {
    bool gif89 = true;
    int width = 0, height = 0;
    int globalDepth = 0;                    // 0: no global table
    std::vector<std::uint8_t> globalTable;  // 3 bytes per entry
    int loopCount = -1;                     // -1: no NETSCAPE2.0 extension
    std::vector<GifFrame> frames;
    bool trailer = true;
};

// A table of 2^depth entries: a spread of distinct colours.
std::vector<std::uint8_t> MakeTable(int depth, int seed = 0);
// Pixels with values below 2^depth, in a pattern that compresses poorly and well in turns.
std::vector<std::uint8_t> MakePixels(int width, int height, int depth, int seed = 0);

std::string EncodeGif(const GifFile& file);
// LZW data (minimum code size byte, sub-blocks, terminator) for the indexes.
std::string EncodeLZW(const std::vector<std::uint8_t>& pixels, int minCodeSize,
                      bool clearWhenFull = true);
// Sub-blocks of raw codes given with their bit sizes.
std::string RawLZW(int minCodeSize, const std::vector<std::pair<int, int>>& codes);

}  // namespace kvtest
