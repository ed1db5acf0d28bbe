// Colour reduction: palettes, lookups, the Floyd–Steinberg engine and the DIB helpers.

#include <gtest/gtest.h>

#include <set>

#include "html/images/dib.h"
#include "html/images/display.h"
#include "html/images/dither.h"

namespace {

using kv::RGBColor;
using kv::TBitmap;
using kv::TPixelFormat;

TEST(Palette, ThePaletteHasItsExactEntries) {
    const kv::TPalette& p = kv::ThePalette();
    ASSERT_EQ(256u, p.size());
    EXPECT_EQ(RGBColor(0, 0, 0), p[0].Color());
    EXPECT_EQ(RGBColor(166, 202, 240), p[9].Color());
    EXPECT_EQ(RGBColor(55, 55, 55), p[10].Color());
    EXPECT_EQ(RGBColor(55, 55, 115), p[11].Color());       // blue fastest
    EXPECT_EQ(RGBColor(115, 55, 55), p[10 + 36].Color());  // red slowest
    EXPECT_EQ(RGBColor(255, 255, 235), p[224].Color());    // the cube without white
    EXPECT_EQ(RGBColor(135, 135, 135), p[225].Color());
    EXPECT_EQ(RGBColor(160, 160, 160), p[230].Color());
    EXPECT_EQ(RGBColor(170, 170, 170), p[231].Color());  // 165 is on the cube already
    EXPECT_EQ(RGBColor(250, 250, 250), p[245].Color());
    EXPECT_EQ(RGBColor(255, 251, 240), p[246].Color());
    EXPECT_EQ(kv::kWhite, p[255].Color());
    ASSERT_EQ(20u, kv::DefaultPalette().size());
    EXPECT_EQ(kv::kWhite, kv::DefaultPalette()[19].Color());
    EXPECT_EQ(4, kv::ReduceColorBits(1));
    EXPECT_EQ(8, kv::ReduceColorBits(6));
    EXPECT_EQ(24, kv::ReduceColorBits(16));
}

TEST(ColorLookup, FastLookupCellsFirstEntryAndStrictlyCloser) {
    kv::TPalette palette = {{10, 10, 10, 0}, {200, 0, 0, 0}, {10, 10, 10, 0}, {0, 0, 200, 0}};
    kv::TFastColorLookup lookup(palette);
    int r = 10, g = 10, b = 10;
    EXPECT_EQ(0, lookup.Lookup(r, g, b));  // duplicate entries: the first wins
    // (150, 0, 150) is as far from red as from blue: the earlier entry wins.
    r = 150, g = 0, b = 150;
    EXPECT_EQ(1, lookup.Lookup(r, g, b));
    EXPECT_EQ(RGBColor(200, 0, 0), RGBColor(r, g, b));
    // (144, 0, 151) shares that 15-bit cell, so it shares the answer although blue is closer.
    EXPECT_EQ(kv::TFastColorLookup::CellOf(150, 0, 150), kv::TFastColorLookup::CellOf(144, 0, 151));
    r = 144, g = 0, b = 151;
    EXPECT_EQ(1, lookup.Lookup(r, g, b));
    // A colour of its own cell, asked first, decides that cell.
    r = 110, g = 0, b = 140;
    EXPECT_EQ(3, lookup.Lookup(r, g, b));
    // The shared palette puts grey 250 and white in one cell: white stays white, a near
    // white takes the cell's first entry.
    kv::TFastColorLookup shared(kv::ThePalette());
    r = g = b = 255;
    EXPECT_EQ(255, shared.Lookup(r, g, b));
    r = g = b = 254;
    EXPECT_EQ(245, shared.Lookup(r, g, b));

    kv::TNetscapeColorLookup cube;
    r = 128, g = 48, b = 255;
    EXPECT_EQ(36 * 2 + 6 * 1 + 5, cube.Lookup(r, g, b));
    EXPECT_EQ(RGBColor(102, 51, 255), RGBColor(r, g, b));
}

TEST(Dithering, PaletteColoursPassUnchangedWithoutSpreadingError) {
    TBitmap picture(23, 11, TPixelFormat::pf32bit);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x)
            picture.SetPixel(
                x, y, kv::ThePalette()[static_cast<std::size_t>((x * 7 + y * 13) % 256)].Color());
    const TBitmap reduced =
        kv::ReduceColors(picture, kv::TReducePalette::rpShared, kv::TDitherMode::dmFloydSteinberg);
    ASSERT_EQ(TPixelFormat::pf8bit, reduced.Format());
    EXPECT_EQ(kv::ThePalette(), reduced.Palette());
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x)
            ASSERT_EQ(picture.Pixel(x, y), reduced.Pixel(x, y)) << x << "," << y;
}

TEST(Dithering, MidGreyOnTheCubeAlternatesInASerpentine) {
    TBitmap grey(32, 32, TPixelFormat::pf32bit);
    grey.Fill(RGBColor(128, 128, 128));
    const TBitmap reduced =
        kv::ReduceColors(grey, kv::TReducePalette::rpNetscape, kv::TDitherMode::dmFloydSteinberg);
    const int low = 36 * 2 + 6 * 2 + 2, high = 36 * 3 + 6 * 3 + 3;  // 102 and 153 greys
    std::set<std::uint32_t> seen;
    long sum = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            seen.insert(reduced.Value(x, y));
            sum += kv::RedOf(reduced.Pixel(x, y));
        }
    EXPECT_EQ((std::set<std::uint32_t>{low, high}), seen);
    EXPECT_NEAR(128.0, sum / 1024.0, 4.0);
    // The first row (left to right) never gathers enough error to reach 153; the second runs
    // right to left, so its first pixel is the rightmost, which sees only the error stored
    // below the row's last pixel, and the second one tips over.
    for (int x = 0; x < 32; ++x) EXPECT_EQ(static_cast<std::uint32_t>(low), reduced.Value(x, 0));
    EXPECT_EQ(static_cast<std::uint32_t>(low), reduced.Value(31, 1));
    EXPECT_EQ(static_cast<std::uint32_t>(high), reduced.Value(30, 1));
    EXPECT_EQ(static_cast<std::uint32_t>(high), reduced.Value(0, 1));
    // Nearest colour alone gives one flat level.
    const TBitmap flat =
        kv::ReduceColors(grey, kv::TReducePalette::rpNetscape, kv::TDitherMode::dmNearest);
    for (int x = 0; x < 32; ++x) EXPECT_EQ(static_cast<std::uint32_t>(low), flat.Value(x, 31));
}

TEST(Dithering, DitherToDisplayFollowsTheDepth) {
    TBitmap picture(5, 5, TPixelFormat::pf32bit);
    picture.Fill(RGBColor(250, 10, 10));
    EXPECT_EQ(nullptr, kv::DitherToDisplay(nullptr));
    TBitmap empty;
    EXPECT_EQ(nullptr, kv::DitherToDisplay(&empty));
    kv::SetColorBits(4);
    auto four = kv::DitherToDisplay(&picture);
    EXPECT_EQ(kv::DefaultPalette(), four->Palette());
    EXPECT_EQ(RGBColor(255, 0, 0), four->Pixel(2, 2));
    kv::SetColorBits(8);
    EXPECT_EQ(kv::ThePalette(), kv::DitherToDisplay(&picture)->Palette());
    kv::SetColorBits(24);
}

TEST(DIB, RowAddressingColourTableAndErrors) {
    TBitmap target;
    kv::TDIBWriter writer(&target, kv::TDIBFormat::pf8bit, 3, 4, {{1, 2, 3, 0}, {4, 5, 6, 0}});
    writer.ScanLine(0)[0] = 1;
    const kv::TDIBBlocks& blocks = writer.Blocks();
    const int rowSize = kv::DIBRowSize(3, 8);
    EXPECT_EQ(4, rowSize);
    EXPECT_EQ(std::size_t{3} * rowSize, blocks.RowOffset(0));  // bottom-up
    EXPECT_EQ(1, blocks.pixels[3 * rowSize]);
    ASSERT_EQ(40u + 256 * 4, blocks.info.size());
    EXPECT_EQ(3, blocks.info[40]);  // blue first
    EXPECT_EQ(1, blocks.info[42]);
    EXPECT_EQ(0, blocks.info[40 + 2 * 4 + 2]);  // missing entries zeroed
    writer.Finish();
    EXPECT_EQ(RGBColor(4, 5, 6), target.Pixel(0, 0));
    EXPECT_EQ(RGBColor(1, 2, 3), target.Pixel(0, 3));
    const std::string file = kv::DIBFileBytes(blocks);
    EXPECT_EQ("BM", file.substr(0, 2));

    TBitmap top;
    kv::TDIBWriter topDown(&top, kv::TDIBFormat::pf24bit, 5, 2, {}, true);
    EXPECT_EQ(topDown.ScanLine(1) - topDown.ScanLine(0), kv::DIBRowSize(5, 24));
    EXPECT_EQ(16, kv::DIBRowSize(5, 24));

    auto message = [](auto&& action) {
        try {
            action();
        } catch (const kv::EDIBError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ("Scan line index out of range", message([&] { topDown.ScanLine(2); }));
    EXPECT_EQ("Scan line index out of range", message([&] { topDown.ScanLine(-1); }));
    EXPECT_EQ("Bitmap image is not valid",
              message([] { kv::TDIBReader(nullptr, kv::TDIBFormat::pf24bit); }));
    TBitmap picture(2, 2, TPixelFormat::pf32bit);
    EXPECT_EQ("Invalid pixel format",
              message([&] { kv::TDIBReader(&picture, kv::TDIBFormat::pfDevice); }));
    kv::TDIBReader reader(&picture, kv::TDIBFormat::pf24bit);
    EXPECT_EQ("Scan line index out of range", message([&] { reader.ScanLine(2); }));
}

TEST(DIB, TDibCapturesDrawsAndConvertsBack) {
    TBitmap indexed(3, 2, TPixelFormat::pf8bit);
    indexed.SetPalette({{0, 0, 0, 0}, {9, 8, 7, 0}});
    indexed.SetValue(2, 1, 1);
    kv::TDib dib(indexed);
    EXPECT_EQ(8, dib.Blocks().Bits());
    EXPECT_EQ(256, dib.Blocks().ColorCount());
    const TBitmap device = dib.CreateDeviceBitmap();
    EXPECT_EQ(TPixelFormat::pf32bit, device.Format());
    EXPECT_EQ(RGBColor(9, 8, 7), device.Pixel(2, 1));
    TBitmap canvas(6, 4, TPixelFormat::pf32bit);
    canvas.Fill(kv::kWhite);
    dib.DrawDIB(canvas, 0, 0, 6, 4, kv::TRasterOp::ropAnd);
    EXPECT_EQ(RGBColor(9, 8, 7), canvas.Pixel(5, 3));
    EXPECT_EQ(kv::kBlack, canvas.Pixel(0, 0));
    EXPECT_EQ(24, kv::TDib(TBitmap(2, 2, TPixelFormat::pf32bit)).Blocks().Bits());
    const TBitmap none;
    EXPECT_THROW(kv::TDib{none}, kv::EDIBError);
}

TEST(Octree, QuantizerStaysWithinItsColours) {
    TBitmap picture(16, 16, TPixelFormat::pf32bit);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) picture.SetPixel(x, y, RGBColor(x * 16, y * 16, (x ^ y) * 16));
    kv::TColorQuantizer quantizer(8);
    quantizer.ProcessImage(picture);
    EXPECT_LE(quantizer.Palette().size(), 8u);
    EXPECT_GE(quantizer.Palette().size(), 2u);
}

}  // namespace
