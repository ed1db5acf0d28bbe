#pragma once
// JPEG through libjpeg: the whole stream decoded with the library's default options, into
// 32-bit pixels, or into 8-bit indexes of ThePalette (libjpeg's own Floyd–Steinberg over that
// palette) for displays of 8 bits or fewer. Library errors come back as a failed decode, never
// as an exit of the process.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"

namespace kv {

class TJpegMod {
public:
    // None when the data is not a JPEG libjpeg can read, or the picture exceeds
    // TBitmap::kMaxPixels. Error tells why.
    static std::unique_ptr<TBitmap> Decode(const std::uint8_t* data, std::size_t size,
                                           bool eightBit, std::string* error = nullptr);
    // The picture's size from the headers alone; false when they cannot be read.
    static bool ReadSize(const std::uint8_t* data, std::size_t size, int& width, int& height);
};

}  // namespace kv
