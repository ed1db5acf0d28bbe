#pragma once
// Colour reduction for displays of 256 colours or fewer: a picture is read as 24-bit rows, each
// pixel mapped to a palette entry through a colour lookup while a serpentine Floyd–Steinberg
// engine spreads the rounding error, and the indexes are written into an 8-bit bitmap.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/bitmap.h"

namespace kv {

// Maps a colour to a palette entry.
class TColorLookup {
public:
    explicit TColorLookup(int colors) : colors_(colors) {}
    virtual ~TColorLookup() = default;
    int Colors() const { return colors_; }
    // Index of the entry for (red, green, blue); the entry's own colour goes back through the
    // three channels.
    virtual int Lookup(int& red, int& green, int& blue) = 0;

protected:
    int colors_;
};

// Any palette of up to 256 entries, with a 15-bit inverse table: each cell (5 bits per
// channel) remembers the first answer found for it, so repeated colours cost one read. Every
// palette colour maps to its own entry, even in a cell an earlier entry owns.
class TFastColorLookup : public TColorLookup {
public:
    explicit TFastColorLookup(const TPalette& palette);
    int Lookup(int& red, int& green, int& blue) override;
    static int CellOf(int red, int green, int blue) {
        return (blue >> 3) * 1024 + (green >> 3) * 32 + (red >> 3);
    }

private:
    TPalette palette_;
    std::vector<std::int16_t> cells_;         // 32768 cells, -1 until asked
    std::vector<std::uint8_t> crowdedCells_;  // 1 where crowded_ has entries
    std::multimap<int, int> crowded_;         // cell -> later palette entries of another colour
};

// The 6×6×6 cube of 0, 51, 102, 153, 204, 255 (index 36·red + 6·green + blue level).
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    int Lookup(int& red, int& green, int& blue) override;
};
// The cube as a palette, red slowest.
TPalette NetscapePalette();

// Walks the pixels of a row in the engine's direction and turns each into a palette index.
class TDitherEngine {
public:
    TDitherEngine(TColorLookup& lookup, int width) : lookup_(lookup), width_(width) {}
    virtual ~TDitherEngine() = default;
    int Direction() const { return direction_; }
    int Column() const { return column_; }
    // Index for the pixel at the current column; steps the column.
    virtual int Dither(int red, int green, int blue);
    // Moves to the start of the next row.
    virtual void NextLine();

protected:
    TColorLookup& lookup_;
    int width_;
    int direction_ = 1;
    int column_ = 0;
};

// Floyd–Steinberg error diffusion, serpentine: 7/16 ahead, 3/16 below behind, 5/16 below,
// 1/16 below ahead, one error row per channel.
class TFloydSteinbergEngine : public TDitherEngine {
public:
    TFloydSteinbergEngine(TColorLookup& lookup, int width);
    int Dither(int red, int green, int blue) override;
    void NextLine() override;

private:
    struct Channel {
        std::vector<int> row;  // width + 2 entries
        int running = 0;       // error to the right
        int below = 0;
        int belowBehind = 0;
    };
    int Step(Channel& channel, int value, int ahead);
    std::array<Channel, 3> channels_;  // red, green, blue
    int pointer_ = 0;                  // index into the error rows
};

enum class TReducePalette : std::uint8_t {
    rpDefault,   // the system's 20-colour palette (4-bit displays)
    rpShared,    // a copy of ThePalette (8-bit displays)
    rpNetscape,  // the 216-colour cube
};
enum class TDitherMode : std::uint8_t { dmNearest, dmFloydSteinberg };

// A new 8-bit bitmap of the source's size and the chosen palette holding the source reduced
// to it. Throws EDIBError when the picture cannot be read or written.
TBitmap ReduceColors(const TBitmap& source, TReducePalette palette, TDitherMode mode);
// ReduceColors with Floyd–Steinberg to the palette of the display: the default palette with
// fewer than 8 bits, else ThePalette. None for an empty bitmap.
std::unique_ptr<TBitmap> DitherToDisplay(const TBitmap* bitmap);

// An octree colour quantizer that builds an optimised palette of up to a given number of
// colours. Nothing in the reader selects it; it stays for tools that want one.
struct TOctreeNode {
    bool leaf = false;
    std::uint64_t pixels = 0;
    std::uint64_t red = 0, green = 0, blue = 0;
    std::array<std::unique_ptr<TOctreeNode>, 8> children;
};
class TColorQuantizer {
public:
    explicit TColorQuantizer(int maxColors, int colorBits = 8);
    void AddColor(TColor color);
    void ProcessImage(const TBitmap& bitmap);
    TPalette Palette() const;
    int LeafCount() const { return leaves_; }

private:
    void Reduce();
    TOctreeNode root_;
    int maxColors_;
    int colorBits_;
    int leaves_ = 0;
};

}  // namespace kv
