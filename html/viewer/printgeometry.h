#pragma once
// Where a printed page's content goes: margins given in centimetres turned into device pixels
// of the printer's printable area (whose origin lies at the paper's unprintable edge), and the
// same sizes in logical units, which are screen pixels.

#include <QRect>
#include <QSize>

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

}  // namespace kv
