#include "html/images/display.h"

#include <QGuiApplication>
#include <QScreen>

namespace kv {
namespace {

int forcedBits = 0;  // 0: read the screen

const TPaletteEntry kFixedColours[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

int ScreenBits() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return 24;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

TPalette MakeThePalette() {
    TPalette palette(256);
    for (int i = 0; i < 10; ++i) {
        palette[static_cast<std::size_t>(i)] = kFixedColours[i];
        palette[static_cast<std::size_t>(246 + i)] = kFixedColours[10 + i];
    }
    static const std::uint8_t levels[6] = {55, 115, 165, 205, 235, 255};
    std::size_t next = 10;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                if (r != 5 || g != 5 || b != 5)
                    palette[next++] = {levels[r], levels[g], levels[b], 0};
    for (int grey = 135; grey <= 250; grey += 5) {
        if (grey == 165 || grey == 205 || grey == 235) continue;
        const auto level = static_cast<std::uint8_t>(grey);
        palette[next++] = {level, level, level, 0};
    }
    return palette;
}

// A 16 × 16 sheet with a folded corner; the error picture crosses it out in red.
TBitmap DrawSheet(bool crossed) {
    TBitmap bitmap(16, 16, TPixelFormat::pf32bit);
    bitmap.Fill(RGBColor(192, 192, 192));
    const TColor edge = RGBColor(96, 96, 96);
    for (int y = 1; y < 15; ++y) {
        for (int x = 2; x < 14; ++x) {
            const bool inCorner = x - 9 > y - 1;  // the folded top-right corner
            if (inCorner) continue;
            const bool border = x == 2 || x == 13 || y == 1 || y == 14 || x - 9 == y - 1;
            bitmap.SetPixel(x, y, border ? edge : kWhite);
        }
    }
    for (int y = 4; y < 12; y += 2) bitmap.FillRect(4, y, 7, 1, RGBColor(128, 160, 208));
    if (crossed) {
        for (int i = 0; i < 8; ++i) {
            bitmap.FillRect(4 + i, 4 + i, 2, 1, RGBColor(220, 0, 0));
            bitmap.FillRect(10 - i, 4 + i, 2, 1, RGBColor(220, 0, 0));
        }
    }
    return bitmap;
}

TBitmap DrawSheetMask() {
    TBitmap mask(16, 16, TPixelFormat::pfMono);
    mask.Fill(kWhite);
    for (int y = 1; y < 15; ++y)
        for (int x = 2; x < 14; ++x)
            if (x - 9 <= y - 1) mask.SetPixel(x, y, kBlack);
    return mask;
}

}  // namespace

int ReduceColorBits(int bits) {
    if (bits <= 4) return 4;
    if (bits > 8) return 24;
    return 8;
}

int ColorBits() {
    if (forcedBits == 0) forcedBits = ReduceColorBits(ScreenBits());
    return forcedBits;
}

void SetColorBits(int bits) {
    forcedBits = bits == 0 ? 0 : ReduceColorBits(bits);
}

const TPalette& ThePalette() {
    static const TPalette palette = MakeThePalette();
    return palette;
}

const TPalette& DefaultPalette() {
    static const TPalette palette(std::begin(kFixedColours), std::end(kFixedColours));
    return palette;
}

const TBitmap& WaitBitmap() {
    static const TBitmap bitmap = DrawSheet(false);
    return bitmap;
}

const TBitmap& ErrorBitmap() {
    static const TBitmap bitmap = [] {
        TBitmap sheet = DrawSheet(true);
        // Black where the mask is white, so that drawing through the mask keeps the background.
        const TBitmap& mask = ErrorBitmapMask();
        for (int y = 0; y < sheet.Height(); ++y)
            for (int x = 0; x < sheet.Width(); ++x)
                if (mask.Value(x, y)) sheet.SetPixel(x, y, kBlack);
        return sheet;
    }();
    return bitmap;
}

const TBitmap& ErrorBitmapMask() {
    static const TBitmap mask = DrawSheetMask();
    return mask;
}

const std::string* WaitStream() {
    static const std::string stream;
    return &stream;
}

}  // namespace kv
