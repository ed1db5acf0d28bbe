#pragma once
// Unit conversions of style values and colour parsing.

#include <string_view>

#include "platform/font.h"

namespace kv {

// A font size text ("12pt", "150%", "2em", "larger", "x-small", "16px", ...) in points.
// `parentSize` is the inherited size; `defaultSize` the document's default size that the
// keyword sizes are relative to.
double ConvertFontSize(std::string_view text, double parentSize, double defaultSize);

// A length text in pixels (rounded). "%" is relative to `base`; a bare number is base x n when
// `relative` is set, else n pixels; an unknown unit gives `fallback`.
int ConvertLength(std::string_view text, bool relative, int base, int fallback, int emSize,
                  int exSize);

// A colour: "#rrggbb", "#rgb", "rrggbb"/"rgb" (only without `needHash`), "rgb(r,g,b)" with
// numbers or percentages, or one of the named colours ("transparent" is kNoColor). Hex and
// rgb() colours carry kPaletteFlag. Keeps a one-entry cache of the last success.
bool ParseColor(std::string_view text, bool needHash, TColor& color);

// Splits a value into its leading number and its unit ("1.5em" -> 1.5, "em"). The number ends
// where number conversion stops or at the first "e". `hasNumber` is false when there is none.
struct TNumberAndUnit {
    double number = 0;
    bool hasNumber = false;
    std::string_view unit;
};
TNumberAndUnit SplitNumberAndUnit(std::string_view text);

}  // namespace kv
