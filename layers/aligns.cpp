#include "layers/aligns.h"

namespace kv {
namespace {

// Centring halves the spare space rounding towards zero (spare space may be negative).
int Centre(int start, int spare) {
    return start + spare / 2;
}

}  // namespace

QRect PlaceRect(TAligns align, QSize item, const QRect& area) {
    const int w = item.width(), h = item.height();
    const int spareX = area.width() - w, spareY = area.height() - h;
    const int cx = Centre(area.left(), spareX), cy = Centre(area.top(), spareY);
    const int right = area.left() + spareX, bottom = area.top() + spareY;
    switch (align) {
    case aFrame:
    case aTile:
    case aStretch: return area;
    case aFrameLeft: return {area.left(), area.top(), w, area.height()};
    case aFrameTop: return {area.left(), area.top(), area.width(), h};
    case aFrameRight: return {right, area.top(), w, area.height()};
    case aFrameBottom: return {area.left(), bottom, area.width(), h};
    case aCenter: return {cx, cy, w, h};
    case aLeft: return {area.left(), cy, w, h};
    case aUp: return {cx, area.top(), w, h};
    case aRight: return {right, cy, w, h};
    case aDown: return {cx, bottom, w, h};
    case aLeftUp: return {area.left(), area.top(), w, h};
    case aLeftDown: return {area.left(), bottom, w, h};
    case aRightUp: return {right, area.top(), w, h};
    case aRightDown: return {right, bottom, w, h};
    case aScale: {
        if (w <= 0 || h <= 0) return {area.topLeft(), QSize(0, 0)};
        // The larger scale that still fits both ways, compared without rounding.
        const bool byWidth =
            static_cast<long long>(area.width()) * h <= static_cast<long long>(area.height()) * w;
        const int sw = byWidth ? area.width()
                               : static_cast<int>(static_cast<long long>(w) * area.height() / h);
        const int sh = byWidth ? static_cast<int>(static_cast<long long>(h) * area.width() / w)
                               : area.height();
        return {Centre(area.left(), area.width() - sw), Centre(area.top(), area.height() - sh), sw,
                sh};
    }
    }
    return area;
}

}  // namespace kv
