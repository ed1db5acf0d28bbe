#pragma once
// The one colour type of the system and its constants.

#include <cstdint>

namespace kv {

// Colour reference: red in the low byte, then green, then blue. A high byte with its top bit
// set selects a system colour; kPaletteFlag marks a palette-relative colour.
using TColor = std::uint32_t;

inline constexpr TColor kNoColor = 0x1FFFFFFF;      // no colour (see-through)
inline constexpr TColor kPaletteFlag = 0x02000000;  // palette-relative colour

constexpr TColor RGBColor(int red, int green, int blue) {
    return static_cast<TColor>((red & 255) | ((green & 255) << 8) | ((blue & 255) << 16));
}
constexpr int RedOf(TColor color) {
    return static_cast<int>(color & 255);
}
constexpr int GreenOf(TColor color) {
    return static_cast<int>((color >> 8) & 255);
}
constexpr int BlueOf(TColor color) {
    return static_cast<int>((color >> 16) & 255);
}
inline constexpr TColor kBlack = RGBColor(0, 0, 0);
inline constexpr TColor kWhite = RGBColor(255, 255, 255);

}  // namespace kv
