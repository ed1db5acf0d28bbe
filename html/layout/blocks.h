#pragma once
// Blocks: a section that lays its content cell out inside its own margins, borders and padding
// (paragraphs, headings, divisions, lists, list items with their markers, the body), the
// horizontal rule and the page break. Tables are in tables.h.

#include <memory>
#include <string>
#include <vector>

#include "html/layout/layouttypes.h"
#include "html/layout/sectionbase.h"
#include "html/reader/properties.h"

namespace kv {

class TProperties;

// Margins, borders, padding and colours of a block, in pixels, read from its style.
struct TBoxStyle {
    int MarginTop = 0, MarginRight = 0, MarginBottom = 0, MarginLeft = 0;
    int PadTop = 0, PadRight = 0, PadBottom = 0, PadLeft = 0;
    int BorderTop = 0, BorderRight = 0, BorderBottom = 0, BorderLeft = 0;
    TColor Background = kNoColor;
    TColor BorderColor = 0x808080;
    int Width = -1;          // given width in pixels, or -1
    int Height = -1;         // given content height in pixels, or -1; content may overflow it
    std::uint8_t Float = 0;  // 0, alLeftFloat or alRightFloat
    TSide Clear = sdNone;    // starts below the floats of that side

    // `autoSpace` is what the automatic paragraph space marker stands for.
    static TBoxStyle From(const TProperties& props, int containerWidth, int autoSpace);
};

class TBlock : public TSectionBase {
public:
    TBlock(TSectionList* document, const TBoxStyle& box, std::string tag);
    TBlock(const TBlock& source, TSectionList* document);

    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) override;
    int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) override;
    bool ForEachChild(const TChildVisit& visit) const override {
        return Content.ForEachChild(visit);
    }
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    const char* Kind() const override { return "block"; }
    int MarginTopValue() const override { return Box.MarginTop; }
    int MarginBottomValue() const override { return Box.MarginBottom; }
    bool Floats() const override { return Box.Float != 0; }
    // Where the box begins: below the floats it had to clear, or where it floats.
    int TopY() const override { return PaintTop; }
    // An anchor on the block shows its frame at the top, not the margin above it.
    int AnchorY() const override { return PaintTop + Box.MarginTop; }

    TBoxStyle Box;
    TBlockCell Content;
    int X = 0;  // x given to the last layout (relative to the cell)
    int ContentLeft = 0, ContentWidth = 0;
    int BoxHeight = 0;  // margins to margins; FlowHeight is 0 for a floating block

protected:
    // Lays out the box at (x, y) for width; returns its height.
    int LayoutBox(const TLayoutContext& lc, int x, int y, int width, int& maxWidth);
    // A floating block: its width from the style or its content, placed at the left or right
    // edge of the free row at y (below other floats when it does not fit beside them), with a
    // float record for the text that follows. Takes no height in the flow.
    int LayoutFloat(const TLayoutContext& lc, int y, int width, int& maxWidth);
    // Where a float of outer width `wanted` starts: at the top of the line of inline content
    // just before it when it fits beside that line, else at y (below the line).
    int FloatTop(const TLayoutContext& lc, int y, int wanted) const;

    // Marker drawing of list items, which take the first baseline of their content.
    virtual bool HasMarker() const { return false; }
    virtual void PaintMarker(TCanvas&, int, int) {}
    int firstBaseline_ = 0;  // document y of the first text line's baseline, 0 for none
};

// A list item: a block with a bullet or a number left of its first line.
class TBlockLI : public TBlock {
public:
    // kind: 0 none, 1 disc, 2 circle, 3 square, 4 numbered; type: '1', 'a', 'A', 'i', 'I'.
    TBlockLI(TSectionList* document, const TBoxStyle& box, int kind, int number, char type,
             const TFontSpec& font);
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    const char* Kind() const override { return "li"; }

    int ListKind;
    int Number;
    char NumberType;
    TFontSpec MarkerFont;

protected:
    bool HasMarker() const override { return true; }
    void PaintMarker(TCanvas& canvas, int contentX, int s) override;

private:
    void PaintRound(TCanvas& canvas, const QRect& box, bool filled) const;
};

// What a rule's attributes say: thickness, width, alignment, shading and colour.
struct TRuleLook {
    int Size = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haCenter;
    bool NoShade = false;
    TColor Color = kNoColor;
};

// A horizontal rule.
class THRBlock : public TSectionBase {
public:
    THRBlock(TSectionList* document, const TBoxStyle& box, const TRuleLook& look);
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) override;
    int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) override;
    const char* Kind() const override { return "hr"; }

    TBoxStyle Box;
    TRuleLook Look;
    int X = 0, LineLeft = 0, LineWidth = 0;
};

// A page break: takes no room on the screen; in a print copy its paint ends the page at its
// top, so that the next page begins with what follows it.
class TPage : public TSectionBase {
public:
    using TSectionBase::TSectionBase;
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) override;
    const char* Kind() const override { return "page"; }
};

}  // namespace kv
