// Bitmaps: formats, raster operations, stretching, clipping, and the QImage borders.

#include <gtest/gtest.h>

#include <QPainter>

#include "platform/bitmap.h"

namespace {

using kv::RGBColor;
using kv::TBitmap;
using kv::TPixelFormat;
using kv::TRasterOp;

TBitmap Solid(int w, int h, kv::TColor colour) {
    TBitmap bitmap(w, h, TPixelFormat::pf32bit);
    bitmap.Fill(colour);
    return bitmap;
}

TEST(Bitmap, FormatsRowsAndStride) {
    TBitmap colour(5, 3, TPixelFormat::pf32bit), indexed(5, 3, TPixelFormat::pf8bit),
        mask(33, 2, TPixelFormat::pfMono);
    EXPECT_EQ(20, colour.Stride());
    EXPECT_EQ(8, indexed.Stride());
    EXPECT_EQ(8, mask.Stride());
    EXPECT_EQ(kv::kBlack, colour.Pixel(4, 2));
    EXPECT_EQ(kv::kBlack, mask.Pixel(32, 1));
    mask.SetPixel(32, 1, kv::kWhite);
    EXPECT_EQ(0x80, mask.Row(1)[4]);
    indexed.SetPalette({{0, 0, 0, 0}, {10, 20, 30, 0}});
    indexed.SetPixel(1, 1, RGBColor(11, 21, 29));  // nearest entry
    EXPECT_EQ(1u, indexed.Value(1, 1));
    indexed.SetValue(2, 1, 200);  // beyond the palette: reads black
    EXPECT_EQ(kv::kBlack, indexed.Pixel(2, 1));
    EXPECT_EQ(kv::kBlack, colour.Pixel(-1, 99));  // outside
    EXPECT_THROW(TBitmap(70000, 70000, TPixelFormat::pf8bit), std::bad_alloc);
}

TEST(Bitmap, RasterOperationsOnColourPixels) {
    const kv::TColor a = RGBColor(0xF0, 0x0F, 0x55), b = RGBColor(0x3C, 0x3C, 0xFF);
    auto run = [&](TRasterOp op) {
        TBitmap dest = Solid(2, 2, a);
        kv::BitBlt(dest, 0, 0, 2, 2, Solid(2, 2, b), 0, 0, op);
        return dest.Pixel(1, 1);
    };
    EXPECT_EQ(b, run(TRasterOp::ropCopy));
    EXPECT_EQ(RGBColor(0x30, 0x0C, 0x55), run(TRasterOp::ropAnd));
    EXPECT_EQ(RGBColor(0xFC, 0x3F, 0xFF), run(TRasterOp::ropOr));
    EXPECT_EQ(RGBColor(0xCC, 0x33, 0xAA), run(TRasterOp::ropXor));
    EXPECT_EQ(RGBColor(0x0F, 0xF0, 0xAA), run(TRasterOp::ropInvert));
    // The unused byte stays 0xFF whatever the operation, as Format_RGB32 wants.
    TBitmap dest = Solid(1, 1, a);
    kv::BitBlt(dest, 0, 0, 1, 1, Solid(1, 1, b), 0, 0, TRasterOp::ropXor);
    EXPECT_EQ(0xFF, dest.Row(0)[3]);
}

TEST(Bitmap, StretchesAndClipsBothRectangles) {
    TBitmap source(2, 2, TPixelFormat::pf32bit);
    source.SetPixel(0, 0, RGBColor(255, 0, 0));
    source.SetPixel(1, 0, RGBColor(0, 255, 0));
    source.SetPixel(0, 1, RGBColor(0, 0, 255));
    source.SetPixel(1, 1, kv::kWhite);
    TBitmap dest = Solid(4, 4, RGBColor(7, 7, 7));
    kv::StretchBlt(dest, 0, 0, 4, 4, source, 0, 0, 2, 2, TRasterOp::ropCopy);
    EXPECT_EQ(RGBColor(255, 0, 0), dest.Pixel(1, 1));
    EXPECT_EQ(RGBColor(0, 255, 0), dest.Pixel(2, 0));
    EXPECT_EQ(kv::kWhite, dest.Pixel(3, 3));
    // Partly outside the destination and the source: only the overlap is drawn.
    TBitmap clipped = Solid(3, 3, RGBColor(7, 7, 7));
    kv::BitBlt(clipped, -1, -1, 3, 3, source, 0, 0, TRasterOp::ropCopy);
    EXPECT_EQ(kv::kWhite, clipped.Pixel(0, 0));
    EXPECT_EQ(RGBColor(7, 7, 7), clipped.Pixel(1, 1));  // the source has no pixel (2, 2)
    kv::BitBlt(clipped, 2, 2, 100000, 100000, source, 1, 1, TRasterOp::ropCopy);
    EXPECT_EQ(kv::kWhite, clipped.Pixel(2, 2));
    kv::StretchBlt(clipped, 0, 0, -3, 3, source, 0, 0, 2, 2, TRasterOp::ropCopy);  // nothing
    kv::StretchBlt(clipped, 0, 0, 3, 3, TBitmap(), 0, 0, 2, 2, TRasterOp::ropCopy);
    EXPECT_EQ(kv::kWhite, clipped.Pixel(2, 2));
}

TEST(Bitmap, MonoAndColourCrossAsADeviceContextDoes) {
    TBitmap picture = Solid(3, 1, RGBColor(1, 2, 3));
    picture.SetPixel(1, 0, RGBColor(200, 0, 0));
    TBitmap mask(3, 1, TPixelFormat::pfMono);
    kv::TBlitColors colors;
    colors.background = RGBColor(1, 2, 3);
    kv::BitBlt(mask, 0, 0, 3, 1, picture, 0, 0, TRasterOp::ropCopy, colors);
    EXPECT_EQ(1u, mask.Value(0, 0));
    EXPECT_EQ(0u, mask.Value(1, 0));
    // White mask bits draw as the background colour, black ones as the text colour.
    TBitmap out = Solid(3, 1, kv::kWhite);
    kv::BitBlt(out, 0, 0, 3, 1, mask, 0, 0, TRasterOp::ropCopy);
    EXPECT_EQ(kv::kWhite, out.Pixel(0, 0));
    EXPECT_EQ(kv::kBlack, out.Pixel(1, 0));
    // Mono onto 8-bit works on indexes: white is all ones.
    TBitmap indexed(3, 1, TPixelFormat::pf8bit);
    indexed.SetPalette(kv::TPalette(256));
    indexed.SetValue(0, 0, 0x5A);
    indexed.SetValue(1, 0, 0x5A);
    kv::BitBlt(indexed, 0, 0, 3, 1, mask, 0, 0, TRasterOp::ropAnd);
    EXPECT_EQ(0x5Au, indexed.Value(0, 0));
    EXPECT_EQ(0u, indexed.Value(1, 0));
}

TEST(Bitmap, EightBitBlitsKeepOrMapIndexes) {
    kv::TPalette palette = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}};
    TBitmap source(2, 1, TPixelFormat::pf8bit);
    source.SetPalette(palette);
    source.SetValue(0, 0, 2);
    TBitmap same(2, 1, TPixelFormat::pf8bit);
    same.SetPalette(palette);
    kv::BitBlt(same, 0, 0, 2, 1, source, 0, 0, TRasterOp::ropCopy);
    EXPECT_EQ(2u, same.Value(0, 0));
    TBitmap other(2, 1, TPixelFormat::pf8bit);
    other.SetPalette({{0, 0, 250, 0}, {0, 0, 0, 0}});
    kv::BitBlt(other, 0, 0, 2, 1, source, 0, 0, TRasterOp::ropCopy);
    EXPECT_EQ(0u, other.Value(0, 0));  // nearest to blue
    EXPECT_EQ(1u, other.Value(1, 0));
}

TEST(Bitmap, QImageWrapsWithoutCopyingAndConvertsBothWays) {
    TBitmap bitmap = Solid(4, 3, kv::kWhite);
    QImage view = bitmap.AsQImage();
    EXPECT_EQ(view.constBits(), bitmap.Bits());
    {
        QPainter painter(&view);
        painter.fillRect(0, 0, 2, 1, QColor(10, 20, 30));
    }
    EXPECT_EQ(RGBColor(10, 20, 30), bitmap.Pixel(1, 0));
    EXPECT_EQ(kv::kWhite, bitmap.Pixel(2, 0));

    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6)});
    indexed.fill(1);
    const TBitmap fromIndexed = TBitmap::FromQImage(indexed);
    EXPECT_EQ(TPixelFormat::pf8bit, fromIndexed.Format());
    EXPECT_EQ(RGBColor(4, 5, 6), fromIndexed.Pixel(2, 1));
    const QImage back = fromIndexed.ToQImage();
    EXPECT_EQ(qRgb(4, 5, 6), back.pixel(2, 1));
    TBitmap mask(9, 1, TPixelFormat::pfMono);
    mask.SetPixel(8, 0, kv::kWhite);
    EXPECT_EQ(qRgb(255, 255, 255), mask.ToQImage().pixel(8, 0));
    EXPECT_EQ(qRgb(0, 0, 0), mask.ToQImage().pixel(7, 0));
}

}  // namespace
