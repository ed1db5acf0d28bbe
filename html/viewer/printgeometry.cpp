#include "html/viewer/printgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kv {

int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t half = std::abs(std::int64_t(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::abs(product) + half) / std::abs(std::int64_t(c));
    return int(negative ? -magnitude : magnitude);
}

TPrintGeometry PageGeometry(const TPrintMargins& margins, const TPrintDevice& device,
                            int screenPpi) {
    const auto pixels = [](double cm, int ppi) { return int(std::lround(cm / 2.54 * ppi)); };
    const int offX = std::max(device.Offset.x(), 0), offY = std::max(device.Offset.y(), 0);
    const int right = std::max(device.Paper.width() - device.Page.width() - offX, 0);
    const int bottom = std::max(device.Paper.height() - device.Page.height() - offY, 0);
    TPrintGeometry g;
    g.L = pixels(margins.Left, device.PpiX) - offX;
    g.R = pixels(margins.Right, device.PpiX);
    g.T = pixels(margins.Top, device.PpiY);
    g.B = pixels(margins.Bottom, device.PpiY) - bottom;
    g.W = device.Page.width() + right - g.R - g.L;
    g.H = device.Page.height() + offY - g.T - g.B;
    g.TopOffset = g.T - offY;
    g.ML = MulDiv(g.L, screenPpi, device.PpiX);
    g.WL = MulDiv(g.W, screenPpi, device.PpiX);
    g.MT = MulDiv(g.TopOffset, screenPpi, device.PpiY);
    g.HL = MulDiv(g.H, screenPpi, device.PpiY);
    g.PH = MulDiv(device.Page.height(), screenPpi, device.PpiY);
    g.PW = MulDiv(device.Page.width(), screenPpi, device.PpiX);
    // (0, T' - 1) to (W + L + 2, T' + H + 2), right and bottom exclusive.
    g.Clip = QRect(QPoint(0, g.TopOffset - 1), QPoint(g.W + g.L + 1, g.TopOffset + g.H + 1));
    return g;
}

void TInkCanvas::Mark(const QRect& rect, TColor color) {
    if (color == kNoColor || ResolveColor(color) == 0xFFFFFF || rect.isEmpty()) return;
    ink_ = ink_.united(rect);
}

void TInkCanvas::Rectangle(const QRect& rect) {
    Mark(rect, PenColor());
    Mark(rect, BrushColor());
}

void TInkCanvas::Line(int x1, int y1, int x2, int y2) {
    Mark(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
               QPoint(std::max(x1, x2), std::max(y1, y2))),
         PenColor());
}

void TInkCanvas::DoTextOut(int x, int y, std::u16string_view text, const QRect* clip) {
    const bool blank = std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= u' '; });
    if (blank) return;
    const TTextMetrics m = Metrics();
    QRect box(x, BaselineAlign() ? y - m.Ascent : y, TextExtent(text), m.Height);
    if (clip) box &= *clip;
    Mark(box, Font().Color);
}

}  // namespace kv
