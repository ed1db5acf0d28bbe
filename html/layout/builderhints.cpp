#include "html/layout/builderhints.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "html/reader/units.h"
#include "platform/codec.h"

namespace kv {

namespace {

constexpr int kFontPoints[] = {8, 10, 12, 14, 18, 24, 36};
constexpr int kPreFontPoints[] = {7, 8, 10, 12, 15, 20, 30};

// VALIGN of a row or cell; the first lines of cells aligned on their baselines start at the
// top; an unknown value keeps `current`.
TCellVAlign CellVAlign(const std::string& value, TCellVAlign current) {
    const std::string v = text::lowerText(value);
    if (v == "top" || v == "baseline") return cvTop;
    if (v == "middle" || v == "center") return cvMiddle;
    if (v == "bottom") return cvBottom;
    return current;
}

void SetColor(TProperties& style, int index, const std::string& value) {
    TColor color = 0;
    if (AttrColor(value, color)) style.SetIfUnset(index, int(color));
}

void SetMargins(TProperties& style, int first, int second, const std::string& value) {
    const int m = std::clamp(AttrNumber(value), 0, 200);
    style.SetIfUnset(first, m), style.SetIfUnset(second, m);
}

// "+n" and "-n" are relative to the base step; the result is a step from 1 to 7.
int FontStep(const std::string& value, int baseFontStep) {
    int size = AttrNumber(value);
    if (value.size() >= 2 && (value[0] == '+' || value[0] == '-')) size = baseFontStep + size;
    return std::clamp(size, 1, 7);
}

// WIDTH of a table or a rule: pixels, or a percentage of the room when it has a '%'.
void WidthHint(const std::string& value, int& width, bool& percent) {
    percent = value.find('%') != std::string::npos;
    width = std::clamp(AttrNumber(value), 0, percent ? 100 : kMaxExtent);
}

// An ALIGN value of an image or a panel; an unknown one keeps `current`.
std::uint8_t ObjectAlign(const std::string& value, std::uint8_t current) {
    const std::string a = text::upperText(value);
    if (a == "TOP") return alTop;
    if (a == "MIDDLE" || a == "ABSMIDDLE") return alMiddle;
    if (a == "LEFT") return alLeftFloat;
    if (a == "RIGHT") return alRightFloat;
    return current;
}

int ObjectSize(int value) {
    return std::clamp(value, 0, kMaxObjectSize);
}

int ObjectSpace(int value) {
    return value < 0 ? std::min(40, -value) : std::min(40, value);
}

std::uint8_t ControlAlign(const std::string& value) {
    const std::string v = text::lowerText(value);
    if (v == "top" || v == "texttop") return caTop;
    if (v == "middle" || v == "absmiddle" || v == "center") return caMiddle;
    if (v == "bottom" || v == "absbottom") return caBottom;
    return caBaseline;
}

// HSPACE and VSPACE of a control: 0 when below 0, at most 200.
int ControlSpace(const std::string& value) {
    const int n = AttrNumber(value);
    return n < 0 ? 0 : std::min(n, 200);
}

}  // namespace

bool AttrColor(std::string_view value, TColor& color) {
    return ParseColor(value, false, color);
}

void AlignHint(std::string_view value, TProperties& style) {
    const std::string align = text::lowerText(value);
    if (align == "left" || align == "center" || align == "right")
        style.SetIfUnset(piTextAlign, align);
}

void AlignHints(const TLayoutAttrs& attributes, TProperties& style) {
    for (const TLayoutAttr& a : attributes)
        if (a.Symbol == atALIGN) AlignHint(a.Value, style);
}

void BodyHints(const TLayoutAttrs& attributes, TProperties& style) {
    for (const TLayoutAttr& a : attributes) {
        switch (a.Symbol) {
        case atTEXT: SetColor(style, piColor, a.Value); break;
        case atLINK: SetColor(style, piLinkColor, a.Value); break;
        case atVLINK: SetColor(style, piVisitedColor, a.Value); break;
        case atOLINK: SetColor(style, piHoverColor, a.Value); break;
        case atBGCOLOR: SetColor(style, piBackgroundColor, a.Value); break;
        case atBACKGROUND: style.SetIfUnset(piBackgroundImage, "url(" + a.Value + ")"); break;
        case atMARGINWIDTH: SetMargins(style, piMarginLeft, piMarginRight, a.Value); break;
        case atMARGINHEIGHT: SetMargins(style, piMarginTop, piMarginBottom, a.Value); break;
        default: break;
        }
    }
}

void FontHints(const TLayoutAttrs& attributes, TProperties& style, bool baseFont, bool pre,
               int& baseFontStep) {
    for (const TLayoutAttr& a : attributes) {
        TColor color = 0;
        if (a.Symbol == atSIZE) {
            const int size = FontStep(a.Value, baseFontStep);
            if (baseFont) baseFontStep = size;
            style.SetIfUnset(piFontSize,
                             double(pre ? kPreFontPoints[size - 1] : kFontPoints[size - 1]));
        } else if (a.Symbol == atCOLOR && AttrColor(a.Value, color)) {
            style.SetIfUnset(piColor, int(color | kPaletteFlag));
        } else if (a.Symbol == atFACE && !baseFont) {
            style.SetIfUnset(piFontFamily, a.Value.substr(0, 50));
        }
    }
}

bool HasClear(const TLayoutAttrs& attributes) {
    return std::any_of(attributes.begin(), attributes.end(),
                       [](const TLayoutAttr& a) { return a.Symbol == atCLEAR; });
}

void ClearHints(const TLayoutAttrs& attributes, TProperties& style) {
    for (const TLayoutAttr& a : attributes)
        if (a.Symbol == atCLEAR) {
            const std::string v = text::lowerText(a.Value);
            style.SetIfUnset(piClear, std::string(v == "left" || v == "right" ? v : "both"));
        }
}

TRuleLook RuleHints(const TLayoutAttrs& attributes) {
    TRuleLook rule;
    for (const TLayoutAttr& a : attributes) {
        switch (a.Symbol) {
        case atSIZE: rule.Size = std::clamp(AttrNumber(a.Value), 1, 100); break;
        case atWIDTH: WidthHint(a.Value, rule.WidthAttr, rule.WidthPercent); break;
        case atALIGN: {
            const std::string v = text::lowerText(a.Value);
            rule.Align = v == "left" ? haLeft : v == "right" ? haRight : haCenter;
            break;
        }
        case atNOSHADE: rule.NoShade = true; break;
        // A value that names no colour reads as a number, as rules have always taken it.
        case atCOLOR:
            if (!AttrColor(a.Value, rule.Color)) rule.Color = TColor(AttrNumber(a.Value));
            break;
        default: break;
        }
    }
    return rule;
}

TObjectLook ObjectHints(const TLayoutAttrs& attributes) {
    TObjectLook look;
    for (const TLayoutAttr& a : attributes) {
        const int v = AttrNumber(a.Value);
        switch (a.Symbol) {
        case atALIGN: look.Align = ObjectAlign(a.Value, look.Align); break;
        case atBORDER: look.NoBorder = v == 0 && !a.Value.empty(); break;
        case atWIDTH:
            look.WidthPercent = a.Value.find('%') != std::string::npos && v >= 1 && v <= 100;
            look.Width = ObjectSize(v);
            break;
        case atHEIGHT: look.Height = ObjectSize(v); break;
        case atHSPACE: look.HSpace = ObjectSpace(v); break;
        case atVSPACE: look.VSpace = ObjectSpace(v); break;
        default: break;
        }
    }
    return look;
}

namespace {

// A CSS width or height of a picture: false when the style gives none or "auto". A percentage
// is kept as one (the column is known only at layout); pixels and em are turned into pixels.
bool StyleObjectSize(const TProperties& style, int index, int& size, bool& percent) {
    const std::string_view text = style.TextOf(index);
    if (text.ends_with('%')) {
        const TNumberAndUnit split = SplitNumberAndUnit(text);
        if (!split.hasNumber || split.number < 0) return false;
        size = ObjectSize(int(std::lround(std::min(split.number, 1000.0)))), percent = true;
        return true;
    }
    const std::optional<int> pixels = style.GivenLength(index, 0);
    if (!pixels) return false;
    size = ObjectSize(*pixels), percent = false;
    return true;
}

// CSS vertical-align of a picture as the ALIGN value that places it the same; `current` when
// the value names none of them.
std::uint8_t StyleObjectAlign(std::string_view value, std::uint8_t current) {
    if (value == "top" || value == "text-top") return alTop;
    if (value == "middle") return alMiddle;
    if (value == "bottom" || value == "baseline" || value == "text-bottom") return alBottom;
    return current;
}

}  // namespace

void ObjectStyleHints(const TProperties& style, TObjectLook& look) {
    bool percent = false;
    int size = 0;
    if (StyleObjectSize(style, piWidth, size, percent))
        look.Width = size, look.WidthPercent = percent && size > 0;
    // A percentage height against a column of no fixed height means "auto".
    if (StyleObjectSize(style, piHeight, size, percent) && !percent) look.Height = size;
    const TSide side = style.FloatSide();
    const bool floated = look.Align == alLeftFloat || look.Align == alRightFloat;
    if (side == sdLeft)
        look.Align = alLeftFloat;
    else if (side == sdRight)
        look.Align = alRightFloat;
    else if (floated && style.TextOf(piFloat) == "none")
        look.Align = alBottom;
    // A floating picture stands beside the lines, not on one.
    if (look.Align != alLeftFloat && look.Align != alRightFloat)
        look.Align = StyleObjectAlign(style.TextOf(piVerticalAlign), look.Align);
}

TControlLook ControlHints(const TLayoutAttrs& attributes) {
    TControlLook look;
    bool align = false, hspace = false, vspace = false;
    for (const TLayoutAttr& a : attributes) {
        if (a.Symbol == atALIGN && !std::exchange(align, true))
            look.VAlign = ControlAlign(a.Value);
        else if (a.Symbol == atHSPACE && !std::exchange(hspace, true))
            look.HSpace = ControlSpace(a.Value);
        else if (a.Symbol == atVSPACE && !std::exchange(vspace, true))
            look.VSpace = ControlSpace(a.Value);
    }
    return look;
}

void TableBackgroundHint(const TLayoutAttrs& attributes, TProperties& style) {
    for (const TLayoutAttr& a : attributes)
        if (a.Symbol == atBGCOLOR) SetColor(style, piBackgroundColor, a.Value);
}

TTableLook TableHints(const TLayoutAttrs& attributes) {
    TTableLook table;
    for (const TLayoutAttr& a : attributes) {
        const int v = AttrNumber(a.Value);
        TColor color = 0;
        switch (a.Symbol) {
        case atBORDER: table.Border = a.Value.empty() ? 1 : std::clamp(v, 0, 20); break;
        case atCELLPADDING: table.Padding = std::clamp(v, 0, 100); break;
        case atCELLSPACING: table.Spacing = std::clamp(v, 0, 100); break;
        case atWIDTH: WidthHint(a.Value, table.WidthAttr, table.WidthPercent); break;
        case atALIGN: {
            const std::string al = text::lowerText(a.Value);
            table.Align = al == "center" ? haCenter : al == "right" ? haRight : haLeft;
            table.Floating = al == "left" || al == "right";
            break;
        }
        case atBORDERCOLOR:
            if (AttrColor(a.Value, color)) table.BorderColor = color;
            break;
        default: break;
        }
    }
    return table;
}

TRowHints RowHints(const TLayoutAttrs& attributes) {
    TRowHints row;
    for (const TLayoutAttr& a : attributes) {
        TColor color = 0;
        if (a.Symbol == atALIGN) {
            const std::string v = text::lowerText(a.Value);
            if (v == "left" || v == "center" || v == "right") row.TextAlign = v;
        } else if (a.Symbol == atBGCOLOR && AttrColor(a.Value, color)) {
            row.Background = color;
        } else if (a.Symbol == atVALIGN) {
            row.VAlign = CellVAlign(a.Value, row.VAlign);
        }
    }
    return row;
}

void CellHints(const TLayoutAttrs& attributes, TTableCell& cell, TProperties& style) {
    for (const TLayoutAttr& a : attributes) {
        TColor color = 0;
        switch (a.Symbol) {
        case atALIGN: AlignHint(a.Value, style); break;
        case atVALIGN:
            // The cell's own VALIGN over the row's baseline style.
            cell.VAlign = CellVAlign(a.Value, cell.VAlign);
            cell.AlignBaseline = false;
            break;
        case atCOLSPAN: cell.ColSpan = std::clamp(AttrNumber(a.Value), 1, 100); break;
        // Layout clamps the span to the rows the table has; 0 is 1, as browsers had it.
        case atROWSPAN: cell.RowSpan = std::clamp(AttrNumber(a.Value), 1, 65534); break;
        case atBORDERCOLOR:
            if (AttrColor(a.Value, color)) cell.BorderColor = color;
            break;
        case atBGCOLOR:
            if (AttrColor(a.Value, color)) cell.Background = color;
            break;
        case atNOWRAP: cell.NoWrap = true; break;
        case atWIDTH:
            cell.WidthPercent = a.Value.find('%') != std::string::npos;
            cell.WidthAttr = std::clamp(AttrNumber(a.Value), 0, kMaxExtent);
            break;
        default: break;
        }
    }
}

namespace {

// A border style word; `current` when it names none.
TEdgeStyle EdgeStyle(std::string_view value, TEdgeStyle current) {
    if (value == "none") return esNone;
    if (value == "hidden") return esHidden;
    if (value == "dashed") return esDashed;
    if (value == "dotted") return esDotted;
    if (value == "double") return esDouble;
    // The shaded styles are drawn flat.
    for (std::string_view solid : {"solid", "groove", "ridge", "inset", "outset"})
        if (value == solid) return esSolid;
    return current;
}

// A border width: a keyword or a length; `current` when the style gives none.
int EdgeWidth(const TProperties& style, int index, int current) {
    const std::string_view text = style.TextOf(index);
    if (text == "thin") return 1;
    if (text == "medium") return 3;
    if (text == "thick") return 5;
    const std::optional<int> width = style.GivenLength(index, 0);
    return width ? std::min(*width, 100) : current;
}

// A side's colour: its own, else the border's, else the attribute's, else the text colour.
TColor EdgeColor(const TProperties& style, int side, TColor current) {
    for (int index : {piBorderTopColor + side, int(piBorderColor)}) {
        const int color = style.IntOf(index, int(kNoColor));
        if (color != int(kNoColor)) return TColor(color);
    }
    return current != kNoColor ? current : TColor(style.IntOf(piColor, 0));
}

// The border the style gives each side, over what the attributes gave (`hint`).
TEdges StyleEdges(const TProperties& style, const TEdge& hint) {
    TEdges edges;
    for (int side = bsTop; side <= bsLeft; ++side) {
        TEdge& e = edges[std::size_t(side)];
        e.Style = EdgeStyle(style.TextOf(piBorderTopStyle + side), hint.Style);
        // A style without a width is a medium border.
        const int width =
            EdgeWidth(style, piBorderTopWidth + side, hint.Width > 0 ? hint.Width : 3);
        e.Width = e.Style == esNone || e.Style == esHidden ? 0 : width;
        e.Color = e.Width > 0 ? EdgeColor(style, side, hint.Color) : hint.Color;
    }
    return edges;
}

// The style's vertical alignment over `align`; `baseline` tells whether it is "baseline".
void StyleVAlign(const TProperties& style, TCellVAlign& align, bool& baseline) {
    TVAlign value = vaTop;
    if (!style.VerticalAlign(value)) return;
    baseline = value == vaBaseline;
    align = value == vaMiddle ? cvMiddle : value == vaBottom ? cvBottom : cvTop;
}

// A background colour the element's own style gives ("transparent" too); false when none.
bool StyleBackground(const TProperties& style, TColor& color) {
    if (!style.SetHere[piBackgroundColor]) return false;
    const int value = style.IntOf(piBackgroundColor, kUnset);
    if (value == kUnset) return false;
    color = TColor(value);
    return true;
}

// "2px" or "2px 4px": the horizontal and the vertical spacing.
void Spacings(std::string_view text, int emPixels, int& x, int& y) {
    const std::size_t space = text.find(' ');
    const int h = ConvertLength(text.substr(0, space), false, 0, kUnset, emPixels, emPixels / 2);
    const int v =
        space == std::string_view::npos
            ? h
            : ConvertLength(TrimView(text.substr(space)), false, 0, kUnset, emPixels, emPixels / 2);
    if (h == kUnset || v == kUnset || h < 0 || v < 0) return;
    x = std::min(h, 100), y = std::min(v, 100);
}

}  // namespace

void TableStyleHints(const TProperties& style, TTableLook& table) {
    table.SpacingY = table.Spacing;
    const TEdge hint = table.Border > 0 ? TEdge{table.Border, esSolid, table.BorderColor} : TEdge{};
    table.Frame = StyleEdges(style, hint);
    // The attribute table starts over with its own spacing and separate borders.
    if (style.SetHere[piBorderSpacing])
        Spacings(style.TextOf(piBorderSpacing), style.EmPixels, table.Spacing, table.SpacingY);
    if (style.SetHere[piBorderCollapse])
        table.Collapse = style.TextOf(piBorderCollapse) == "collapse";
}

void RowStyleHints(const TProperties& style, TRowHints& row) {
    StyleBackground(style, row.Background);
    StyleVAlign(style, row.VAlign, row.Baseline);
    // The row's own text alignment reaches its cells by inheritance, over its ALIGN.
    if (style.SetHere[piTextAlign]) row.TextAlign.clear();
}

void CellStyleHints(const TProperties& style, const TTableBlock& table, TTableCell& cell) {
    StyleBackground(style, cell.Background);
    StyleVAlign(style, cell.VAlign, cell.AlignBaseline);
    const TColor color = cell.BorderColor != kNoColor ? cell.BorderColor : table.BorderColor;
    cell.Edges = StyleEdges(style, table.Border > 0 ? TEdge{1, esSolid, color} : TEdge{});
    for (int side = bsTop; side <= bsLeft; ++side) {
        const std::optional<int> pad = style.GivenLength(piPaddingTop + side, 0);
        cell.Pad[std::size_t(side)] = pad ? std::min(*pad, 1000) : table.Padding;
    }
}

bool CaptionBelow(const TLayoutAttrs& attributes, bool current) {
    for (const TLayoutAttr& a : attributes)
        if (a.Symbol == atALIGN) current = text::lowerText(a.Value) == "bottom";
    return current;
}

}  // namespace kv
