#pragma once
// Small values shared by the layout model.

#include <cstdint>

namespace kv {

// Vertical alignment of inline objects, and the two float sides.
enum : std::uint8_t {
    alTop = 1,
    alMiddle = 2,
    alBottom = 4,
    alLeftFloat = 5,
    alRightFloat = 6,
};

// Horizontal alignment of text lines, a rule or a table. Justified lines are stretched to both
// edges, but for the last of a paragraph and those that end in a forced break.
enum THAlign : std::uint8_t { haLeft = 1, haCenter = 2, haRight = 3, haJustify = 4 };

// Vertical alignment of the content of a table cell.
enum TCellVAlign : std::uint8_t { cvTop = 1, cvMiddle = 2, cvBottom = 3 };

// "Far below everything": the bottom of an open indent record.
constexpr int kOpenEnd = 9999999;

// The widest width and the longest run layout deals with; it stands for "unbounded".
constexpr int kMaxExtent = 32000;

}  // namespace kv

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html/reader/symbols.h"

namespace kv {

// One attribute of a tag as the layout objects read it: the reader's symbol of its name and the
// value as written. The builder converts the reader's attribute list into these.
struct TLayoutAttr {
    TLayoutAttr(TAttrSymbol symbol, std::string value) : Symbol(symbol), Value(std::move(value)) {}
    // By upper-case name, as a tag written by hand names it.
    TLayoutAttr(std::string_view upperName, std::string value)
        : Symbol(LookupAttribute(upperName)), Value(std::move(value)) {}

    TAttrSymbol Symbol;
    std::string Value;
};
using TLayoutAttrs = std::vector<TLayoutAttr>;

// The leading decimal integer of a text (after blanks, with a sign), 0 when there is none;
// clamped to +-99999999 so no caller overflows on hostile values.
int AttrNumber(std::string_view value);

}  // namespace kv
