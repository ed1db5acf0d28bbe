#pragma once
// Fonts: a font is a face name, a size in points, a style set, a character set and a colour.
// Metrics and text extents are those of the face at 96 pixels per inch, independent of the
// screen; extents are sums of per-character advance widths (no kerning): a per-font table of 256
// for the characters of Windows-1251, so measuring a run costs one table lookup per character,
// and a cache filled on demand for the other characters.

#include <QFont>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/color.h"

namespace kv {

namespace fonts {

inline constexpr int kScreenPpi = 96;  // pixels per inch of every canvas of the system

// Loads the font aliases of the system ("MS Sans Serif" and "System" to a sans-serif face with
// Cyrillic glyphs, "Times New Roman", "Arial", "Courier New" to the Liberation faces) into the
// process's fontconfig configuration and Qt's substitution table. Idempotent; called by the
// font code itself before the first font is made.
void Install();
// The face the system selects for a requested name (QFontInfo::family()).
std::string SelectedFace(std::string_view name);
// True when asking for `name` gives that face: the face the system selects is the name
// (case-insensitively), or the name is one of the aliased Windows faces above.
bool FaceAvailable(std::string_view name);
// The face to draw a generic family with ("serif", "sans-serif", "monospace", "cursive",
// "fantasy"; lower case): the first installed face fontconfig ranks for the family and Russian
// text that has Cyrillic glyphs (and, for "monospace", a fixed pitch). Without font services, the
// Windows face the family stood for. Empty for any other name. Each family is asked once a run.
std::string_view GenericFace(std::string_view family);
// Pixel size of a size in points at 96 ppi (rounded, at least 1).
int PointsToPixels(int points);

}  // namespace fonts

enum TFontStyle : uint8_t {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};

struct TFontMetrics {
    int Height = 0;  // ascent + descent
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0;  // Height - the em size in pixels
    int ExternalLeading = 0;
    int Overhang = 0;                    // always 0 on this platform
    std::array<uint16_t, 256> Widths{};  // advance of each Windows-1251 byte
    // The same advances by UTF-16 unit below U+0460 (ASCII to Cyrillic), kNoWidth for a unit
    // Windows-1251 lacks.
    static constexpr uint16_t kNoWidth = 0xFFFF;
    std::array<uint16_t, 0x460> UnitWidths{};
    // Advances of the other characters met so far (measured with the toolkit's font fallback,
    // as they are drawn), filled on demand.
    mutable std::unordered_map<char32_t, uint16_t> OtherWidths;
};

class TMyFont {
public:
    TMyFont();
    TMyFont(std::string name, int points, uint8_t style = 0, TColor color = 0);

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    int Size() const { return size_; }  // points
    void SetSize(int points);
    uint8_t Style() const { return style_; }
    void SetStyle(uint8_t style);
    bool Bold() const { return style_ & fsBold; }
    bool Italic() const { return style_ & fsItalic; }
    bool Underline() const { return style_ & fsUnderline; }
    bool StrikeOut() const { return style_ & fsStrikeOut; }

    TColor Color = 0;
    uint8_t CharSet = 1;  // the system's default character set
    TColor BackColor = kNoColor;

    // Copies everything but BackColor, as assigning from a plain font does.
    void AssignFont(const TMyFont& other);

    const TFontMetrics& Metrics() const;
    int Height() const { return Metrics().Height; }
    int Ascent() const { return Metrics().Ascent; }
    int Descent() const { return Metrics().Descent; }
    int InternalLeading() const { return Metrics().InternalLeading; }
    int ExternalLeading() const { return Metrics().ExternalLeading; }
    int Overhang() const { return 0; }
    int CharWidth(unsigned char ch) const { return Metrics().Widths[ch]; }
    // Width in pixels of UTF-8 text.
    int TextExtent(std::string_view text) const;

    // The width, and the number of leading units whose extent is at most `width`, of UTF-16
    // text. A character Windows-1251 has measures as its byte does; a
    // surrogate pair's width goes to its first unit (the second measures 0).
    int TextExtent(std::u16string_view text) const;
    int FitCount(std::u16string_view text, int width) const;
    // The same with the extent of the characters that fit in `extent`.
    int FitCount(std::u16string_view text, int width, int& extent) const;
    // The advance of the code unit at `i` of `text` as the two forms above count it.
    int UnitWidth(std::u16string_view text, size_t i) const;
    int PixelSize() const { return fonts::PointsToPixels(size_); }
    // The Qt font to draw with (pixel size at 96 ppi, no kerning).
    QFont ToQFont() const;
    // The face the system selects for this font.
    std::string SelectedFace() const;

    bool operator==(const TMyFont& other) const;

private:
    std::string name_;
    int size_ = 10;
    uint8_t style_ = 0;
    mutable std::shared_ptr<const TFontMetrics> metrics_;
};

}  // namespace kv
