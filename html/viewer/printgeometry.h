#pragma once
// Where a printed page's content goes: margins given in centimetres turned into device pixels
// of the printer's printable area (whose origin lies at the paper's unprintable edge), and the
// same sizes in logical units, which are screen pixels; and a canvas that only notes where ink
// would land, for deciding pages without drawing them.

#include <QRect>
#include <QSize>

#include "platform/canvas.h"

namespace kv {

struct TPrintMargins {
    double Left = 2.0, Right = 2.0, Top = 2.0, Bottom = 2.0;  // centimetres
};

struct TPrintDevice {
    int PpiX = 600, PpiY = 600;
    QSize Page;     // the printable area, device pixels
    QPoint Offset;  // the unprintable edge at the left and top, device pixels
    QSize Paper;    // the whole paper, device pixels
};

struct TPrintGeometry {
    // Device pixels, from the printable area's origin.
    int L = 0, R = 0, T = 0, B = 0;  // margins (L and T already less the unprintable edge)
    int W = 0, H = 0;                // the printed strip
    int TopOffset = 0;               // T'
    // Logical units (screen pixels).
    int ML = 0, WL = 0, MT = 0, HL = 0, PH = 0, PW = 0;
    // The region drawing is clipped to, device pixels.
    QRect Clip;
    bool Valid() const { return WL > 0 && HL > 0; }
};

TPrintGeometry PageGeometry(const TPrintMargins& margins, const TPrintDevice& device,
                            int screenPpi = 96);

// a × b ÷ c rounded to the nearest whole number (halves away from zero); 0 when c is 0.
int MulDiv(int a, int b, int c);

// A printer that draws nothing and remembers the box of everything that would leave ink on white
// paper (white fills and blank text leave none). Logical units, as drawn.
class TInkCanvas : public TCanvas {
public:
    TInkCanvas(TFontEngine& fonts, int colors) : TCanvas(fonts), colors_(colors) {}
    bool IsPrinter() const override { return true; }
    int ColorCount() const override { return colors_; }
    // The box of the ink so far (empty when none).
    const QRect& Ink() const { return ink_; }
    void ClearInk() { ink_ = QRect(); }

    void FillRect(const QRect& rect, TColor color) override { Mark(rect, color); }
    void FrameRect(const QRect& rect, TColor color) override { Mark(rect, color); }
    void Rectangle(const QRect& rect) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void StretchBlit(const QRect& dest, const QImage&, const QRect&, TRop) override {
        Mark(dest, 0);
    }
    void MaskedBlit(const QRect& dest, const QImage&, const QImage&) override { Mark(dest, 0); }

protected:
    void DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) override;

private:
    void Mark(const QRect& rect, TColor color);
    int colors_;
    QRect ink_;
};

}  // namespace kv
