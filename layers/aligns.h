#pragma once
// Placement of an item of a given size inside a rectangle, shared by masks, pictures and
// captions of the layer controls.

#include <QRect>
#include <cstdint>

namespace kv {

enum TAligns : std::uint8_t {
    aFrame = 0,
    aFrameLeft,
    aFrameTop,
    aFrameRight,
    aFrameBottom,
    aCenter,
    aLeft,
    aUp,
    aRight,
    aDown,
    aLeftUp,
    aLeftDown,
    aRightUp,
    aRightDown,
    aTile,
    aScale,
    aStretch,
};
using TChannelAlign = TAligns;  // aFrame .. aTile
using TImageAlign = TAligns;    // aCenter .. aStretch
using TTextAlign = TAligns;     // aCenter .. aRightDown

// The rectangle an item of `item` size takes inside `area` when placed by `align`.
QRect PlaceRect(TAligns align, QSize item, const QRect& area);

}  // namespace kv
