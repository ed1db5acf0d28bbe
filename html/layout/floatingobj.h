#pragma once
// The part of an inline image or panel that the float and indent manager and the line breaker
// need: where it stands in the text, its size, alignment and spaces.

#include <cstdint>

#include "html/layout/layouttypes.h"

namespace kv {

class TFloatingObj {
public:
    virtual ~TFloatingObj() = default;

    bool Floats() const { return Align == alLeftFloat || Align == alRightFloat; }
    int TotalWidth() const { return ObjWidth + SpaceLeft + SpaceRight; }
    int TotalHeight() const { return ObjHeight + SpaceTop + SpaceBottom; }

    int Pos = 0;  // character position of the placeholder
    int ObjHeight = 0;
    int ObjWidth = 0;
    std::uint8_t Align = alBottom;
    int FloatX = 0;  // x of a placed float, relative to the cell's left edge
    int SpaceLeft = 0, SpaceRight = 0, SpaceTop = 0, SpaceBottom = 0;
    int DrawY = 0;  // top once drawn (document y); during layout the y of its line
};

}  // namespace kv
