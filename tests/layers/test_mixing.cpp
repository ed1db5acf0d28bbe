// The mixing operations of the off-screen buffer, byte by byte.

#include <gtest/gtest.h>

#include "layers/channels.h"

using kv::RGBColor;
using kv::TChannel;
using kv::TChannelKind;
using kv::TRGBChannel;

namespace {

TRGBChannel Buffer(int w, int h, kv::TColor fill) {
    TRGBChannel b;
    b.SetSize(w, h);
    b.Allocate();
    b.Fill(fill);
    return b;
}

TChannel Flat(TChannelKind kind, int w, int h, std::uint8_t value) {
    TChannel c(kind);
    c.SetSize(w, h);
    c.Allocate();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.SetValue(x, y, value);
    return c;
}

// A glyph whose every pixel shows one colour.
TChannel Glyph(int w, int h, kv::TColor color) {
    TChannel g = Flat(TChannelKind::ckColor, w, h, 9);
    g.SetPaletteEntry(9, color);
    return g;
}

const QRect kAll(0, 0, 1000, 1000);
const kv::TColor kBase = RGBColor(100, 150, 200);
const kv::TColor kInk = RGBColor(10, 250, 40);

}  // namespace

TEST(Mixing, DrawGlyphFollowsItsFormula) {
    const TChannel glyph = Glyph(2, 2, kInk);
    for (int s : {0, 1, 128, 255}) {
        TRGBChannel b = Buffer(3, 3, kBase);
        b.DrawGlyph(kAll, QRect(1, 1, 2, 2), s, glyph);
        const auto mix = [s](int d, int c) { return (d * (256 - s) + c * s) / 256; };
        EXPECT_EQ(b.Pixel(2, 2), RGBColor(mix(100, 10), mix(150, 250), mix(200, 40))) << s;
        EXPECT_EQ(b.Pixel(0, 0), kBase);  // outside the placed rectangle
    }
    TRGBChannel b = Buffer(3, 3, kBase);
    b.DrawGlyph(kAll, QRect(0, 0, 2, 2), 0, glyph);
    EXPECT_EQ(b.Pixel(1, 1), kBase);  // strength 0 leaves the buffer as it was
}

TEST(Mixing, MaskedGlyphAtTheEnds) {
    const TChannel glyph = Glyph(2, 1, kInk);
    struct Case {
        int m, s;
        kv::TColor expected;
    };
    const auto mix = [](int d, int c, int m, int s) {
        return (d * (65536 - m * s) + c * m * s) / 65536;
    };
    const Case cases[] = {
        {255, 255, kInk},  // copied exactly
        {0, 255, kBase},
        {255, 0, kBase},
        {128, 255,
         RGBColor(mix(100, 10, 128, 255), mix(150, 250, 128, 255), mix(200, 40, 128, 255))},
        // Mask 255 at strength 254 is not quite the glyph colour.
        {255, 254,
         RGBColor(mix(100, 10, 255, 254), mix(150, 250, 255, 254), mix(200, 40, 255, 254))},
    };
    for (const Case& c : cases) {
        TRGBChannel b = Buffer(2, 1, kBase);
        b.DrawGlyphMasked(kAll, QRect(0, 0, 2, 1), c.s, Flat(TChannelKind::ckMask, 2, 1, c.m),
                          glyph);
        EXPECT_EQ(b.Pixel(1, 0), c.expected) << c.m << " " << c.s;
    }
    // A mask of another size than the glyph draws nothing.
    TRGBChannel b = Buffer(2, 1, kBase);
    b.DrawGlyphMasked(kAll, QRect(0, 0, 2, 1), 255, Flat(TChannelKind::ckMask, 1, 1, 255), glyph);
    EXPECT_EQ(b.Pixel(0, 0), kBase);
}

TEST(Mixing, FillMaskedTakesTheColourWhereTheMaskIsFull) {
    for (int s : {0, 100, 255}) {
        TRGBChannel b = Buffer(1, 1, kBase);
        b.FillMasked(kAll, QRect(0, 0, 1, 1), s, Flat(TChannelKind::ckMask, 1, 1, 255), kInk);
        EXPECT_EQ(b.Pixel(0, 0), kInk) << s;
        TRGBChannel none = Buffer(1, 1, kBase);
        none.FillMasked(kAll, QRect(0, 0, 1, 1), s, Flat(TChannelKind::ckMask, 1, 1, 0), kInk);
        EXPECT_EQ(none.Pixel(0, 0), kBase) << s;
    }
}

TEST(Mixing, LightMapBrightensDarkensAndLeaves127) {
    EXPECT_EQ(kv::Shade(100, 127), 100);
    EXPECT_EQ(kv::Shade(100, 128), 100);
    EXPECT_EQ(kv::Shade(100, 255), 100 + 155 * 127 / 128);
    EXPECT_EQ(kv::Shade(100, 192), 100 + 155 * 64 / 128);
    EXPECT_EQ(kv::Shade(100, 126), 100 * 126 / 128);
    EXPECT_EQ(kv::Shade(255, 0), 0);
    TRGBChannel b = Buffer(2, 2, RGBColor(0, 128, 255));
    TChannel mask = Flat(TChannelKind::ckMask, 2, 2, 64);
    b.ShadeMasked(kAll, QRect(0, 0, 2, 2), mask);
    EXPECT_EQ(b.Pixel(1, 1), RGBColor(0, 64, 127));
}

TEST(Mixing, OperationsClipToBufferAndArea) {
    TRGBChannel b = Buffer(4, 4, kBase);
    const TChannel glyph = Glyph(4, 4, kInk);
    // Placed partly outside the buffer, and painted only in the area's right column.
    b.DrawGlyph(QRect(3, 0, 1, 4), QRect(-2, 2, 4, 4), 255, glyph);
    EXPECT_EQ(b.Pixel(1, 3), kBase);  // outside the area
    b.DrawGlyph(kAll, QRect(2, 2, 4, 4), 255, glyph);
    EXPECT_NE(b.Pixel(3, 3), kBase);
    EXPECT_EQ(b.Pixel(1, 1), kBase);
    // Empty sources and buffers do nothing.
    TRGBChannel empty;
    empty.DrawGlyph(kAll, QRect(0, 0, 4, 4), 255, glyph);
    b.DrawGlyph(kAll, QRect(0, 0, 4, 4), 255, TChannel(TChannelKind::ckColor));
    EXPECT_EQ(b.Pixel(0, 0), kBase);
}

TEST(Mixing, ShadeFrameStretchesTheMaskAsAFrame) {
    // A 5 x 5 mask: border values 0 (black), centre value per row.
    TChannel mask = Flat(TChannelKind::ckMask, 5, 5, 0);
    mask.SetValue(2, 2, 127);  // middle of the middle row: skipped
    mask.SetValue(2, 0, 255);  // middle of the top row: brightens the top edge's middle run
    TRGBChannel b = Buffer(9, 8, RGBColor(100, 100, 100));
    b.ShadeFrame(kAll, QRect(0, 0, 9, 8), mask);
    EXPECT_EQ(b.Pixel(0, 0), kv::kBlack);               // corner
    EXPECT_EQ(b.Pixel(4, 0), RGBColor(253, 253, 253));  // top middle run from column 2
    EXPECT_EQ(b.Pixel(4, 4), RGBColor(100, 100, 100));  // inside: middle row, 127
    EXPECT_EQ(b.Pixel(0, 4), kv::kBlack);               // left edge repeats the middle row's left
    EXPECT_EQ(b.Pixel(8, 7), kv::kBlack);
    // A rectangle smaller than the mask is left alone.
    TRGBChannel small = Buffer(4, 4, kBase);
    small.ShadeFrame(kAll, QRect(0, 0, 4, 4), mask);
    EXPECT_EQ(small.Pixel(0, 0), kBase);
}

TEST(Mixing, PaintMaskPlacesShadesOrFills) {
    const TChannel mask = Flat(TChannelKind::ckMask, 2, 2, 255);
    TRGBChannel shaded = Buffer(6, 6, RGBColor(0, 0, 0));
    shaded.PaintMask(kAll, QRect(0, 0, 6, 6), kv::aRightDown, mask, kv::kNoColor);
    EXPECT_EQ(shaded.Pixel(5, 5), RGBColor(253, 253, 253));
    EXPECT_EQ(shaded.Pixel(3, 3), kv::kBlack);
    TRGBChannel filled = Buffer(6, 6, kBase);
    filled.PaintMask(kAll, QRect(0, 0, 6, 6), kv::aCenter, mask, kInk);
    EXPECT_EQ(filled.Pixel(2, 2), kInk);
    EXPECT_EQ(filled.Pixel(1, 1), kBase);
    TRGBChannel tiled = Buffer(5, 5, kBase);
    tiled.PaintMask(kAll, QRect(0, 0, 5, 5), kv::aTile, mask, kInk);
    EXPECT_EQ(tiled.Pixel(4, 4), kInk);  // the last copy is cut to the rectangle
    EXPECT_EQ(tiled.Pixel(0, 3), kInk);
    // A colour-kind picture is no mask.
    TRGBChannel glyph = Buffer(2, 2, kBase);
    glyph.PaintMask(kAll, QRect(0, 0, 2, 2), kv::aCenter, Flat(TChannelKind::ckColor, 2, 2, 255),
                    kInk);
    EXPECT_EQ(glyph.Pixel(0, 0), kBase);
}

TEST(Placement, ItemsLandWhereTheirValuesSay) {
    const QRect area(10, 20, 100, 50);
    const QSize item(31, 11);
    EXPECT_EQ(kv::PlaceRect(kv::aCenter, item, area), QRect(44, 39, 31, 11));  // 69/2, 39/2
    EXPECT_EQ(kv::PlaceRect(kv::aLeft, item, area), QRect(10, 39, 31, 11));
    EXPECT_EQ(kv::PlaceRect(kv::aRightDown, item, area), QRect(79, 59, 31, 11));
    EXPECT_EQ(kv::PlaceRect(kv::aFrameTop, item, area), QRect(10, 20, 100, 11));
    EXPECT_EQ(kv::PlaceRect(kv::aFrameRight, item, area), QRect(79, 20, 31, 50));
    EXPECT_EQ(kv::PlaceRect(kv::aStretch, item, area), area);
    // Scale: 200 x 50 into 100 x 50 gives 100 x 25, centred vertically.
    EXPECT_EQ(kv::PlaceRect(kv::aScale, QSize(200, 50), area), QRect(10, 32, 100, 25));
    // An item larger than the area is centred with negative spare space towards zero.
    EXPECT_EQ(kv::PlaceRect(kv::aCenter, QSize(103, 50), area).left(), 9);
}
