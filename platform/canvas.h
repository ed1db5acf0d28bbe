#pragma once
// The drawing surface of the engine. All layout and paint code draws through TCanvas only:
// fill and frame rectangles, lines, clip rectangles and regions, text out of Windows-1251 runs
// with an opaque or transparent background, metrics and extents, and stretch blits with raster
// operations.
//
// Two backends: TImageCanvas paints pixels into a QImage (on screen through an off-screen
// picture, or a printer page), TRecordingCanvas writes one text line per drawing call so that
// paint tests compare texts instead of guessing pixels.
//
// Fonts reach layout through one small interface, TTextMeasure (metrics, extent of a run, how
// many characters fit a width). The Qt backend measures real faces at 96 pixels per inch; the
// fixed-metrics test font gives the same numbers on every machine.

#include <QImage>
#include <QRect>
#include <QRegion>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/bitmap.h"

namespace kv {

class TMyFont;

// The colour of a colour reference as Qt sees it (system colours resolved to their usual
// Windows values, palette-relative references taken as plain RGB).
QColor ToQColor(TColor color);
// A system colour reference resolved to its RGB value; any other reference unchanged.
TColor ResolveColor(TColor color);

// Everything that makes a font: name (Windows-1251), size in points, style, character set and
// colour.
struct TFontSpec {
    std::string Name = "MS Sans Serif";
    int Size = 10;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int Charset = 204;  // RUSSIAN_CHARSET
    TColor Color = 0;
    TColor BackColor = kNoColor;  // the run's text background; kNoColor: none

    bool operator==(const TFontSpec&) const = default;
    // "Name size [b][i][u][s] #rrggbb": how the recording backend names a font.
    std::string Describe() const;
};

// The text metrics of a font, in pixels.
struct TTextMetrics {
    int Height = 0;  // Ascent + Descent
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0;
    int ExternalLeading = 0;
    int Overhang = 0;  // always 0 on this platform
};

// The three things layout asks of a font.
class TTextMeasure {
public:
    virtual ~TTextMeasure() = default;
    virtual TTextMetrics Metrics() const = 0;
    // Width in pixels of a UTF-8 run.
    virtual int Extent(std::string_view text) const = 0;
    // Width in pixels of a UTF-16 run (a character Windows-1251 has measures as its byte does),
    // and how many leading units of it fit in `width` pixels (0 to text.size()).
    virtual int Extent(std::u16string_view text) const = 0;
    virtual int FitCount(std::u16string_view text, int width) const;
    // The same with the extent of the characters that fit, from one pass where the backend
    // can make it.
    virtual int FitCount(std::u16string_view text, int width, int& extent) const;
};

struct TFontSpecHash {
    std::size_t operator()(const TFontSpec& fontSpec) const;
};

// Distinct font descriptions, each kept once: the text runs of a document point into the pool
// instead of each holding its own copy. References stay valid for the pool's life.
class TFontSpecPool {
public:
    const TFontSpec& Intern(const TFontSpec& fontSpec) { return *specs_.insert(fontSpec).first; }
    std::size_t Count() const { return specs_.size(); }

private:
    std::unordered_set<TFontSpec, TFontSpecHash> specs_;
};

// Makes measures for font descriptions (cached per fontSpec, colours aside). A measure stays
// valid until 256 other fonts have been asked for after it.
class TFontEngine {
public:
    virtual ~TFontEngine() = default;
    const TTextMeasure& Measure(const TFontSpec& fontSpec);

protected:
    virtual std::unique_ptr<TTextMeasure> Make(const TFontSpec& fontSpec) const = 0;

private:
    // Colour does not change a measure: the cache hashes and compares the rest only, so a font
    // is looked up as it is, without a copy.
    struct TShapeHash {
        std::size_t operator()(const TFontSpec& fontSpec) const;
    };
    struct TSameShape {
        bool operator()(const TFontSpec& a, const TFontSpec& b) const;
    };
    // Hashed: building a long article asks for a font at every style change.
    std::unordered_map<TFontSpec, std::unique_ptr<TTextMeasure>, TShapeHash, TSameShape> cache_;
    std::deque<TFontSpec> order_;  // oldest first, for eviction
    // The measures asked for last, newest first, with their keys in the cache: text goes back
    // and forth between a few fonts (plain, bold, a link).
    struct TRecent {
        const TFontSpec* key = nullptr;
        const TTextMeasure* measure = nullptr;
    };
    std::array<TRecent, 4> recent_{};
};

// Real faces (the system's TMyFont: fontconfig aliases, advance tables at 96 ppi). Also builds the
// QFont the image canvas draws with.
class TQtFontEngine : public TFontEngine {
public:
    static QFont MakeQFont(const TFontSpec& fontSpec);
    // The system's font record for a fontSpec, and back.
    static TMyFont MakeFont(const TFontSpec& fontSpec);
    static TFontSpec SpecOf(const TMyFont& font);
    static TQtFontEngine& Shared();  // program-wide, interface thread only

protected:
    std::unique_ptr<TTextMeasure> Make(const TFontSpec& fontSpec) const override;
};

// Fixed metrics: the pixel height h = size * 96 / 72 (rounded); every character is h / 2 wide
// (one pixel more when bold); ascent h - h / 4, descent h / 4, no leading.
class TTestFontEngine : public TFontEngine {
public:
    static TTestFontEngine& Shared();  // program-wide, interface thread only
    static int PixelHeight(int points) { return (points * 96 + 36) / 72; }
    static int CharWidth(const TFontSpec& fontSpec) {
        return PixelHeight(fontSpec.Size) / 2 + (fontSpec.Bold ? 1 : 0);
    }

protected:
    std::unique_ptr<TTextMeasure> Make(const TFontSpec& fontSpec) const override;
};

enum class TRop : std::uint8_t { ropCopy, ropAnd, ropOr, ropXor, ropInvert };

// The abstract canvas. State (font, colours, modes, clip) lives here; backends draw.
class TCanvas {
public:
    explicit TCanvas(TFontEngine& fonts) : fonts_(&fonts) {}
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // --- state
    void SetFont(const TFontSpec& fontSpec) { font_ = fontSpec; }
    const TFontSpec& Font() const { return font_; }
    void SetTextColor(TColor color) { font_.Color = color; }
    // Opaque text fills its box with the background colour first.
    void SetBkOpaque(bool opaque) { bkOpaque_ = opaque; }
    bool BkOpaque() const { return bkOpaque_; }
    void SetBkColor(TColor color) { bkColor_ = color; }
    TColor BkColor() const { return bkColor_; }
    void SetBrushColor(TColor color) { brush_ = color; }
    // A clear brush: Rectangle and Ellipse draw only their outline.
    void SetBrushClear() { brush_ = kNoColor; }
    TColor BrushColor() const { return brush_; }
    void SetPenColor(TColor color) { pen_ = color; }
    TColor PenColor() const { return pen_; }
    // Text y is the baseline (true) or the top of the text cell (false, the default).
    void SetBaselineAlign(bool baseline) { baseline_ = baseline; }
    bool BaselineAlign() const { return baseline_; }
    // A printer reports its colour count (2 for monochrome); screens report 0 = unlimited.
    virtual int ColorCount() const { return 0; }
    virtual bool IsPrinter() const { return false; }
    // A palette device (8 bits per pixel or fewer) shows only the colours of the palette
    // selected into it; on other canvases a selected palette changes nothing.
    void SetPaletteDevice(bool palette) { paletteDevice_ = palette; }
    bool IsPaletteDevice() const { return paletteDevice_; }
    // Selects a palette (nullptr: none, not owned); returns the one selected before.
    const TPalette* SelectPalette(const TPalette* palette) {
        const TPalette* old = palette_;
        palette_ = palette;
        return old;
    }
    const TPalette* SelectedPalette() const { return palette_; }
    // The colour the device shows for a colour reference: system colours resolved, and on a
    // palette device with a palette the nearest entry of it.
    TColor DeviceColor(TColor color) const;

    // --- measuring (current font)
    const TTextMeasure& Measure() { return fonts_->Measure(font_); }
    const TTextMeasure& Measure(const TFontSpec& fontSpec) { return fonts_->Measure(fontSpec); }
    TTextMetrics Metrics() { return Measure().Metrics(); }
    int TextExtent(std::string_view text) { return Measure().Extent(text); }
    int TextExtent(std::u16string_view text) { return Measure().Extent(text); }
    int TextFit(std::u16string_view text, int width) { return Measure().FitCount(text, width); }
    TFontEngine& Fonts() { return *fonts_; }

    // --- clipping (device coordinates). An empty region clips everything away.
    void SetClipRect(const QRect& rect) { SetClipRegion(QRegion(rect)); }
    void IntersectClipRect(const QRect& rect);
    void SetClipRegion(const QRegion& region);
    void ClearClip();
    bool HasClip() const { return clipped_; }
    const QRegion& ClipRegion() const { return clip_; }
    // The bounding box of what may be painted.
    QRect ClipBox() const;
    // Saves and restores font, colours, modes and clip.
    void Save();
    void Restore();

    // --- drawing
    virtual void FillRect(const QRect& rect, TColor color) = 0;
    // A one-pixel frame inside the rectangle in the given colour.
    virtual void FrameRect(const QRect& rect, TColor color) = 0;
    // Outline in the pen colour, filled with the brush unless it is clear.
    virtual void Rectangle(const QRect& rect) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    // Text of the current font at (x, y); with `clip` the output is cut to that box.
    // Windows-1251 text (the shell's own texts) or UTF-16 text (the documents').
    void TextOut(int x, int y, std::string_view text, const QRect* clip = nullptr);
    void TextOut(int x, int y, std::u16string_view text, const QRect* clip = nullptr) {
        DoTextOut(x, y, text, clip);
    }
    // Stretches the source rectangle of an image onto the destination rectangle.
    virtual void StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                             TRop rop) = 0;
    // Draws the image where its 1-bit mask is black (white = transparent), stretched to dest.
    virtual void MaskedBlit(const QRect& dest, const QImage& source, const QImage& mask) = 0;

    virtual void Flush() {}

protected:
    virtual void ApplyClip() {}
    virtual void DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) = 0;

    TFontEngine* fonts_;
    TFontSpec font_;
    bool bkOpaque_ = false;
    TColor bkColor_ = 0xFFFFFF;
    TColor brush_ = 0xFFFFFF;
    TColor pen_ = 0;
    bool baseline_ = false;
    bool clipped_ = false;
    QRegion clip_;
    bool paletteDevice_ = false;
    const TPalette* palette_ = nullptr;

private:
    struct State {
        TFontSpec font;
        bool bkOpaque;
        TColor bkColor, brush, pen;
        bool baseline, clipped;
        QRegion clip;
    };
    std::vector<State> saved_;
};

// Drawing through a QPainter on a paint device: what the pixel and the printer canvases share.
// Text is drawn as one glyph run per call, every character at the advance the layout measured.
class TPainterCanvas : public TCanvas {
public:
    explicit TPainterCanvas(TFontEngine& fonts);
    ~TPainterCanvas() override;

    void FillRect(const QRect& rect, TColor color) override;
    void FrameRect(const QRect& rect, TColor color) override;
    void Rectangle(const QRect& rect) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                     TRop rop) override;
    void MaskedBlit(const QRect& dest, const QImage& source, const QImage& mask) override;

protected:
    // The device to paint on; nullptr when there is none (nothing is drawn then).
    virtual QPaintDevice* Device() = 0;
    // Called when the painter begins on the device (the printer sets its scale here).
    virtual void Prepare(QPainter&) {}
    // The painter, begun on the device with the current clip; nullptr without a device.
    QPainter* ActivePainter();
    void EndPainter();
    void ApplyClip() override;
    void DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) override;

private:
    struct GlyphFace;
    const GlyphFace& Face();
    // The advance of unit `i` as the layout measured it; `byte` is its Windows-1251 byte when
    // `inPage`.
    int UnitAdvance(const GlyphFace& face, std::u16string_view text, size_t i, bool& inPage,
                    unsigned char& byte);
    void DrawUnits(QPainter& p, const GlyphFace& face, std::u16string_view text, int x, int base);
    std::unique_ptr<QPainter> painter_;
    // Glyphs and advances of the fonts drawn so far (colours and lines aside).
    std::unordered_map<TFontSpec, std::unique_ptr<GlyphFace>, TFontSpecHash> faces_;
};

// Pixels: text, lines and fills through QPainter; blits with raster operations as loops over our
// own TBitmap pixels. The picture is an owned 32-bit bitmap (off-screen painting,
// `TImageCanvas(width, height)`), the caller's 32-bit bitmap, or the caller's QImage (then blits
// go through QPainter's raster operations too).
class TImageCanvas : public TPainterCanvas {
public:
    TImageCanvas(int width, int height, TFontEngine& fonts = TQtFontEngine::Shared());
    explicit TImageCanvas(TBitmap& target, TFontEngine& fonts = TQtFontEngine::Shared());
    explicit TImageCanvas(QImage* target, TFontEngine& fonts = TQtFontEngine::Shared());
    ~TImageCanvas() override;

    // The picture (after the pending drawing is finished).
    QImage& Image() {
        Flush();
        return *image_;
    }
    TBitmap* Bitmap() { return bitmap_; }
    void Flush() override { EndPainter(); }
    void StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                     TRop rop) override;

protected:
    QPaintDevice* Device() override { return image_; }

private:
    bool BlitPixels(const QRect& dest, const QImage& source, const QRect& sourceRect, TRop rop);
    std::unique_ptr<TBitmap> own_;
    TBitmap* bitmap_ = nullptr;
    QImage wrapped_;
    QImage* image_;
};

// One text line per drawing call:
//   FILL l t r b #rrggbb
//   FRAME l t r b #rrggbb
//   RECT l t r b pen #rrggbb brush #rrggbb|clear
//   LINE x1 y1 x2 y2 #rrggbb
//   TEXT x y font "text" [opaque #rrggbb] [clip l t r b]      (y is the top of the text cell)
//        (text in Windows-1251; a character the code page lacks as \u{hex})
//   BLIT l t r b from w h rop | BLIT l t r b from w h masked
//   CLIP l t r b | CLIP none                                (when the clip changes)
// Coordinates are device pixels; r and b are exclusive. Measures come from the test font
// unless another engine is given.
class TRecordingCanvas : public TCanvas {
public:
    TRecordingCanvas();
    explicit TRecordingCanvas(TFontEngine& fonts) : TCanvas(fonts) {}

    const std::vector<std::string>& Lines() const { return lines_; }
    std::string Text() const;  // all lines, each ending in '\n'
    void ClearLines() { lines_.clear(); }
    // Lets a test play a printer.
    void SetPrinter(bool printer, int colors) { printer_ = printer, colors_ = colors; }
    bool IsPrinter() const override { return printer_; }
    int ColorCount() const override { return colors_; }

    void FillRect(const QRect& rect, TColor color) override;
    void FrameRect(const QRect& rect, TColor color) override;
    void Rectangle(const QRect& rect) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void StretchBlit(const QRect& dest, const QImage& source, const QRect& sourceRect,
                     TRop rop) override;
    void MaskedBlit(const QRect& dest, const QImage& source, const QImage& mask) override;

protected:
    void ApplyClip() override;
    void DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) override;

private:
    std::vector<std::string> lines_;
    bool printer_ = false;
    int colors_ = 0;
};

// "#rrggbb" of a colour reference.
std::string ColorName(TColor color);

}  // namespace kv
