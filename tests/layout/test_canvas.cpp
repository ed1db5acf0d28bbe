// The canvas backends: the recording lines paint tests rely on, the fixed test font, and the
// pixel backend's fills, clips, text and raster-operation blits.

#include <gtest/gtest.h>

#include "platform/canvas.h"

namespace kv {
namespace {

TEST(Canvas, TestFontHasFixedMetrics) {
    TRecordingCanvas canvas;
    TFontSpec font;
    font.Size = 10;
    canvas.SetFont(font);
    const TTextMetrics m = canvas.Metrics();
    EXPECT_EQ(m.Height, 13);
    EXPECT_EQ(m.Ascent + m.Descent, m.Height);
    EXPECT_EQ(canvas.TextExtent("abcd"), 24);
    EXPECT_EQ(canvas.TextFit(u"abcdefgh", 25), 4);
    EXPECT_EQ(canvas.TextFit(u"abcdefgh", -5), 0);
    EXPECT_EQ(canvas.TextFit(u"ab", 1000), 2);
    font.Bold = true;
    canvas.SetFont(font);
    EXPECT_EQ(canvas.TextExtent("abcd"), 28);
}

TEST(Canvas, RecordsOneLinePerCall) {
    TRecordingCanvas canvas;
    canvas.FillRect(QRect(0, 0, 10, 5), 0x0000FF);
    canvas.SetPenColor(0);
    canvas.SetBrushClear();
    canvas.Rectangle(QRect(1, 2, 3, 4));
    canvas.SetBkOpaque(true);
    canvas.SetBkColor(0xFFFFFF);
    canvas.SetBaselineAlign(true);
    canvas.TextOut(5, 20, "Hi");
    canvas.SetClipRect(QRect(0, 0, 50, 50));
    canvas.StretchBlit(QRect(0, 0, 20, 20), QImage(), QRect(0, 0, 10, 10), TRop::ropAnd);
    EXPECT_EQ(canvas.Text(),
              "FILL 0 0 10 5 #ff0000\n"
              "RECT 1 2 4 6 pen #000000 brush clear\n"
              "TEXT 5 10 MS Sans Serif 10 #000000 \"Hi\" opaque #ffffff\n"
              "CLIP 0 0 50 50\n"
              "BLIT 0 0 20 20 from 10 10 and null\n");
}

TEST(Canvas, SaveRestoreBringsBackClipAndFont) {
    TRecordingCanvas canvas;
    canvas.Save();
    canvas.SetClipRect(QRect(0, 0, 5, 5));
    TFontSpec font;
    font.Name = "Arial";
    canvas.SetFont(font);
    canvas.Restore();
    EXPECT_FALSE(canvas.HasClip());
    EXPECT_EQ(canvas.Font().Name, "MS Sans Serif");
    canvas.Restore();  // nothing saved: no effect
}

TEST(Canvas, ColorsAndSystemColors) {
    EXPECT_EQ(ColorName(0x00FF8040), "#4080ff");
    EXPECT_EQ(ColorName(0x80000005), "#ffffff");  // window colour
    EXPECT_EQ(ColorName(kNoColor), "none");
}

TEST(ImageCanvas, FillClipAndRasterOps) {
    TImageCanvas canvas(20, 20);
    canvas.FillRect(QRect(0, 0, 20, 20), 0x000000);
    canvas.SetClipRect(QRect(0, 0, 10, 20));
    canvas.FillRect(QRect(0, 0, 20, 20), 0x0000FF);  // red, left half only
    canvas.ClearClip();
    QImage source(2, 2, QImage::Format_RGB32);
    source.fill(QColor(0, 255, 0));
    canvas.StretchBlit(QRect(0, 10, 20, 10), source, QRect(0, 0, 2, 2), TRop::ropOr);
    canvas.StretchBlit(QRect(18, 0, 2, 2), source, QRect(0, 0, 2, 2), TRop::ropInvert);
    canvas.Flush();
    const QImage& image = canvas.Image();
    EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(15, 2), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(2, 15), QColor(255, 255, 0));    // red OR green
    EXPECT_EQ(image.pixelColor(15, 15), QColor(0, 255, 0));     // black OR green
    EXPECT_EQ(image.pixelColor(19, 0), QColor(255, 255, 255));  // inverted black
}

TEST(ImageCanvas, BlitsOnTheCallersBitmapRespectTheClip) {
    TBitmap bitmap(10, 10, TPixelFormat::pf32bit);  // black
    TImageCanvas canvas(bitmap);
    QImage white(1, 1, QImage::Format_RGB32);
    white.fill(Qt::white);
    canvas.SetClipRect(QRect(0, 0, 5, 10));
    canvas.StretchBlit(QRect(0, 0, 10, 10), white, QRect(0, 0, 1, 1), TRop::ropXor);
    canvas.Flush();
    EXPECT_EQ(bitmap.Pixel(4, 4), 0xFFFFFFu);
    EXPECT_EQ(bitmap.Pixel(5, 4), 0u);
    canvas.ClearClip();
    canvas.FillRect(QRect(8, 8, 2, 2), 0x0000FF);
    canvas.Flush();
    EXPECT_EQ(bitmap.Pixel(9, 9), 0x0000FFu);
}

TEST(ImageCanvas, OpaqueTextFillsItsBoxAndTextInks) {
    TImageCanvas canvas(200, 40);
    canvas.SetBkOpaque(true);
    canvas.SetBkColor(0x00FFFF);  // yellow
    canvas.TextOut(2, 2, "WWW");
    canvas.Flush();
    const int width = canvas.TextExtent("WWW");
    ASSERT_GT(width, 6);
    EXPECT_EQ(canvas.Image().pixelColor(2, 2), QColor(255, 255, 0));
    int dark = 0;
    for (int x = 2; x < 2 + width; ++x)
        for (int y = 2; y < 2 + canvas.Metrics().Height; ++y)
            if (canvas.Image().pixelColor(x, y).lightness() < 100) ++dark;
    EXPECT_GT(dark, 5);
    EXPECT_EQ(canvas.Image().pixelColor(150, 30), QColor(255, 255, 255));
}

}  // namespace
}  // namespace kv
