#pragma once
// Presentational attributes: what the attributes of an element say about its look, read in one
// place. A hint that becomes a style property is set only where the element's style left it
// unset, so a style sheet wins over the attribute; the others become typed values of the
// section the builder makes. Colour attributes are parsed here alone.

#include <string>
#include <string_view>

#include "html/layout/formcontrols.h"
#include "html/layout/inlineobjects.h"
#include "html/layout/layouttypes.h"
#include "html/layout/tables.h"
#include "html/reader/properties.h"

namespace kv {

// The colour an attribute value names; false when it names none.
bool AttrColor(std::string_view value, TColor& color);

// ALIGN=left|center|right becomes the element's text alignment.
void AlignHint(std::string_view value, TProperties& style);
void AlignHints(const TLayoutAttrs& attributes, TProperties& style);

// BODY: text, link and background colours, the background image, the margins.
void BodyHints(const TLayoutAttrs& attributes, TProperties& style);

// FONT and BASEFONT: size (a signed value is relative to the base step, which BASEFONT sets),
// colour and face (not for BASEFONT). Inside preformatted text the point sizes are smaller.
void FontHints(const TLayoutAttrs& attributes, TProperties& style, bool baseFont, bool pre,
               int& baseFontStep);

// BR CLEAR: whether the tag has one, and the side it clears (left, right, else both).
bool HasClear(const TLayoutAttrs& attributes);
void ClearHints(const TLayoutAttrs& attributes, TProperties& style);

// HR: SIZE, WIDTH, ALIGN, NOSHADE and COLOR.
TRuleLook RuleHints(const TLayoutAttrs& attributes);

// IMG and PANEL: ALIGN, WIDTH, HEIGHT, BORDER, HSPACE and VSPACE.
TObjectLook ObjectHints(const TLayoutAttrs& attributes);
// IMG: what the element's style says over the attributes: CSS width and height (pixels, em, a
// percentage of the column for the width), float left or right and vertical-align as the ALIGN
// they equal.
void ObjectStyleHints(const TProperties& style, TObjectLook& look);

// INPUT, SELECT and TEXTAREA: ALIGN, HSPACE and VSPACE; of a repeated one the first counts.
TControlLook ControlHints(const TLayoutAttrs& attributes);

// TABLE: BGCOLOR is the table's background (before its box is made); BORDER, CELLPADDING,
// CELLSPACING, WIDTH, ALIGN and BORDERCOLOR its frame, spacing and placement.
void TableBackgroundHint(const TLayoutAttrs& attributes, TProperties& style);
TTableLook TableHints(const TLayoutAttrs& attributes);

// TABLE: what the style says over the attributes: its border, border-spacing and
// border-collapse.
void TableStyleHints(const TProperties& style, TTableLook& table);

// TR: what the row gives its cells and its own background.
struct TRowHints {
    TCellVAlign VAlign = cvMiddle;
    bool Baseline = false;  // the style aligns the cells on their first baselines
    std::string TextAlign;  // "left", "center", "right" or "" (none given)
    TColor Background = kNoColor;
};
TRowHints RowHints(const TLayoutAttrs& attributes);

// TD and TH: alignment, spans, colours, no-wrap and width.
void CellHints(const TLayoutAttrs& attributes, TTableCell& cell, TProperties& style);

// TR, TD and TH: what the style says over the attributes: background, vertical alignment, and
// for cells border (over the table's BORDER rule) and padding (over CELLPADDING).
void RowStyleHints(const TProperties& style, TRowHints& row);
void CellStyleHints(const TProperties& style, const TTableBlock& table, TTableCell& cell);

// CAPTION ALIGN: whether the caption stands below the grid (`current` when not given).
bool CaptionBelow(const TLayoutAttrs& attributes, bool current);

}  // namespace kv
