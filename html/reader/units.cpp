#include "html/reader/units.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/codec.h"

namespace kv {
namespace {

constexpr double kPpi = fonts::kScreenPpi;

struct NamedColor {
    std::string_view name;
    uint32_t rgb;  // as written in CSS: 0xRRGGBB
};

// The named colours with their CSS values; "transparent" is handled apart.
// clang-format off
constexpr NamedColor kNamedColors[] = {
    {"black", 0x000000}, {"maroon", 0x800000}, {"green", 0x008000}, {"olive", 0x808000},
    {"navy", 0x000080}, {"purple", 0x800080}, {"teal", 0x008080}, {"gray", 0x808080},
    {"silver", 0xC0C0C0}, {"red", 0xFF0000}, {"lime", 0x00FF00}, {"yellow", 0xFFFF00},
    {"blue", 0x0000FF}, {"fuchsia", 0xFF00FF}, {"aqua", 0x00FFFF}, {"white", 0xFFFFFF},
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4},
    {"blanchedalmond", 0xFFEBCD}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00},
    {"chocolate", 0xD2691E}, {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED},
    {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C}, {"cyan", 0x00FFFF},
    {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00},
    {"darkorchid", 0x9932CC}, {"darkred", 0x8B0000}, {"darksalmon", 0xE9967A},
    {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B}, {"darkslategray", 0x2F4F4F},
    {"darkturquoise", 0x00CED1}, {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493},
    {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969}, {"dodgerblue", 0x1E90FF},
    {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0}, {"forestgreen", 0x228B22},
    {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF}, {"gold", 0xFFD700},
    {"goldenrod", 0xDAA520}, {"greenyellow", 0xADFF2F}, {"honeydew", 0xF0FFF0},
    {"hotpink", 0xFF69B4}, {"indianred", 0xCD5C5C}, {"indigo", 0x4B0082},
    {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C}, {"lavender", 0xE6E6FA},
    {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00}, {"lemonchiffon", 0xFFFACD},
    {"lightblue", 0xADD8E6}, {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF},
    {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgreen", 0x90EE90}, {"lightgrey", 0xD3D3D3},
    {"lightpink", 0xFFB6C1}, {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA},
    {"lightskyblue", 0x87CEFA}, {"lightslategray", 0x778899}, {"lightsteelblue", 0xB0C4DE},
    {"lightyellow", 0xFFFFE0}, {"limegreen", 0x32CD32}, {"linen", 0xFAF0E6},
    {"magenta", 0xFF00FF}, {"mediumaquamarine", 0x66CDAA}, {"mediumblue", 0x0000CD},
    {"mediumorchid", 0xBA55D3}, {"mediumpurple", 0x9370DB}, {"mediumseagreen", 0x3CB371},
    {"mediumslateblue", 0x7B68EE}, {"mediumspringgreen", 0x00FA9A},
    {"mediumturquoise", 0x48D1CC}, {"mediumvioletred", 0xC71585},
    {"midnightblue", 0x191970}, {"mintcream", 0xF5FFFA}, {"mistyrose", 0xFFE4E1},
    {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD}, {"oldlace", 0xFDF5E6},
    {"olivedrab", 0x6B8E23}, {"orange", 0xFFA500}, {"orangered", 0xFF4500},
    {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA}, {"palegreen", 0x98FB98},
    {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093}, {"papayawhip", 0xFFEFD5},
    {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB}, {"plum", 0xDDA0DD},
    {"powderblue", 0xB0E0E6}, {"rosybrown", 0xBC8F8F}, {"royalblue", 0x4169E1},
    {"saddlebrown", 0x8B4513}, {"salmon", 0xFA8072}, {"sandybrown", 0xF4A460},
    {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE}, {"sienna", 0xA0522D},
    {"skyblue", 0x87CEEB}, {"slateblue", 0x6A5ACD}, {"slategray", 0x708090},
    {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F}, {"steelblue", 0x4682B4},
    {"tan", 0xD2B48C}, {"thistle", 0xD8BFD8}, {"tomato", 0xFF6347}, {"turquoise", 0x40E0D0},
    {"violet", 0xEE82EE}, {"wheat", 0xF5DEB3}, {"whitesmoke", 0xF5F5F5},
    {"yellowgreen", 0x9ACD32},
};
// clang-format on
static_assert(std::size(kNamedColors) + 1 == 141);  // + "transparent"

constexpr TColor SwapRedBlue(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

bool FindNamedColor(std::string_view name, TColor& color) {
    static const auto table = [] {
        std::unordered_map<std::string_view, TColor> map;
        for (const auto& entry : kNamedColors) map.emplace(entry.name, SwapRedBlue(entry.rgb));
        map.emplace("transparent", kNoColor);
        return map;
    }();
    auto it = table.find(name);
    if (it == table.end()) return false;
    color = it->second;
    return true;
}

int ClampRound(double value) {
    if (!std::isfinite(value)) return 0;
    const double rounded = std::round(value);
    if (rounded >= 2147483647.0) return 2147483647;
    if (rounded <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(rounded);
}

bool ReadInteger(std::string_view text, int& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
    value = number > 1000000 ? 1000000 : (number < -1000000 ? -1000000 : static_cast<int>(number));
    return true;
}

bool ReadReal(std::string_view text, double& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

int RgbPart(std::string_view part) {
    part = TrimView(part);
    int value = 0;
    if (part.find('%') != std::string_view::npos) {
        double percent = 0;
        if (ReadReal(TrimView(part.substr(0, part.find('%'))), percent))
            value = ClampRound(percent * 2.55);
    } else if (!ReadInteger(part, value)) {
        value = 0;
    }
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

bool ParseRgb(std::string_view text, TColor& color) {
    text = text.substr(text.find("rgb") + 3);
    const size_t open = text.find('(');
    const size_t close = text.find(')', open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || close == std::string_view::npos) return false;
    std::string_view inside = text.substr(open + 1, close - open - 1);
    int parts[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const size_t comma = i < 2 ? inside.find(',') : std::string_view::npos;
        parts[i] = RgbPart(inside.substr(0, comma));
        inside = comma == std::string_view::npos ? std::string_view() : inside.substr(comma + 1);
    }
    color = static_cast<TColor>(parts[0] | parts[1] << 8 | parts[2] << 16) | kPaletteFlag;
    return true;
}

bool ParseHex(std::string_view text, bool needHash, TColor& color) {
    const size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        text = text.substr(hash + 1);
    } else if (needHash) {
        return false;
    }
    text = TrimView(text);
    std::string digits(text);
    if (text.size() <= 3) {
        digits.clear();
        for (char c : text) digits.append(2, c);
    }
    uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return false;
    // Only the colour bytes count: a stray high byte must not select a system colour.
    color = SwapRedBlue(value & 0xFFFFFF) | kPaletteFlag;
    return true;
}

}  // namespace

TNumberAndUnit SplitNumberAndUnit(std::string_view text) {
    text = TrimView(text);
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    TNumberAndUnit result;
    if (digits == 0) {
        result.unit = text;
        return result;
    }
    result.hasNumber = ReadReal(text.substr(0, i), result.number);
    if (!result.hasNumber) result.number = 0;
    result.unit = TrimView(text.substr(i));
    return result;
}

double ConvertFontSize(std::string_view text, double parentSize, double defaultSize) {
    const TNumberAndUnit split = SplitNumberAndUnit(text);
    const double n = split.number;
    const std::string_view unit = split.unit;
    if (unit.empty()) return n * 72 / kPpi;
    if (unit == "in") return n * 72;
    if (unit == "cm") return n * 72 / 2.54;
    if (unit == "mm") return n * 72 / 25.4;
    if (unit == "pt") return n;
    if (unit == "px") return n * 72 / kPpi;
    if (unit == "pc") return n * 12;
    if (unit == "em") return n * parentSize;
    if (unit == "ex") return n * parentSize / 2;
    if (unit == "%") return n * parentSize / 100;
    if (unit == "smaller") return parentSize * 0.75;
    if (unit == "larger") return parentSize * 1.25;
    if (unit == "xx-small") return defaultSize / 1.5;
    if (unit == "x-small") return defaultSize / 1.2;
    if (unit == "small") return defaultSize;
    if (unit == "medium") return defaultSize * 1.2;
    if (unit == "large") return defaultSize * 1.5;
    if (unit == "x-large") return defaultSize * 2;
    if (unit == "xx-large") return defaultSize * 3;
    return defaultSize;
}

int ConvertLength(std::string_view text, bool relative, int base, int fallback, int emSize,
                  int exSize) {
    const TNumberAndUnit split = SplitNumberAndUnit(text);
    const double n = split.number;
    const std::string_view unit = split.unit;
    double result;
    if (unit.empty()) {
        result = relative ? base * n : n;
    } else if (unit == "in") {
        result = n * kPpi;
    } else if (unit == "cm") {
        result = n * kPpi / 2.54;
    } else if (unit == "mm") {
        result = n * kPpi / 25.4;
    } else if (unit == "pt") {
        result = n * kPpi / 72;
    } else if (unit == "px") {
        result = n;
    } else if (unit == "pc") {
        result = n * kPpi / 6;
    } else if (unit == "em") {
        result = n * emSize;
    } else if (unit == "ex") {
        result = n * exSize;
    } else if (unit == "%") {
        result = base * n / 100;
    } else {
        return fallback;
    }
    return ClampRound(result);
}

bool ParseColor(std::string_view input, bool needHash, TColor& color) {
    thread_local std::string lastText;
    thread_local TColor lastColor = 0;
    thread_local bool haveLast = false;
    thread_local bool lastWasBareHex = false;  // valid only for callers that allow no "#"

    const std::string text = text::lowerText(TrimView(input));
    if (haveLast && text == lastText && !(lastWasBareHex && needHash)) {
        color = lastColor;
        return true;
    }
    bool ok;
    bool bareHex = false;
    if (!text.empty() && text.front() != '#' && text.find("rgb(") == std::string::npos &&
        FindNamedColor(text, color)) {
        ok = true;
    } else if (text.find("rgb") != std::string::npos) {
        ok = ParseRgb(text, color);
    } else {
        ok = ParseHex(text, needHash, color);
        bareHex = text.find('#') == std::string::npos;
    }
    if (ok) {
        lastText = text;
        lastColor = color;
        haveLast = true;
        lastWasBareHex = bareHex;
    }
    return ok;
}

}  // namespace kv
