#pragma once
// Blocks: a section that lays its content cell out inside its own margins, borders and padding
// (paragraphs, headings, divisions, lists, list items with their markers, the body), the
// horizontal rule, and simple tables whose cells are cells with their own float and indent
// managers.

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
    void CopySelection() override;
    int Layout(TCanvas& canvas, int x, int y, int width, int viewHeight, IndentManager& indents,
               int& maxWidth, int& cursor) override;
    int Paint(TCanvas& canvas, const QRect& clip, IndentManager& indents, int x, int xRef,
              int yRef) override;
    bool LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) override;
    bool ObjectAt(int x, int y, TImageHit& hit) override;
    int CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit) override;
    int SearchText(int from, std::string_view text, bool matchCase) override;
    int DocToSource(int cursor) const override;
    int SourceToDoc(int sourcePos, bool before) const override;
    bool CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) override;
    bool CharAt(int cursor, char& ch, const TFontObj*& font) const override;
    const TSectionBase* TextSectionAt(int cursor) const override;
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    void RegisterPosition() override;
    const char* Kind() const override { return "block"; }
    int LineCount() const override;
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
    int LayoutBox(TCanvas& canvas, int x, int y, int width, int viewHeight, IndentManager& indents,
                  int& maxWidth, int& cursor);
    // A floating block: its width from the style or its content, placed at the left or right
    // edge of the free row at y (below other floats when it does not fit beside them), with a
    // float record for the text that follows. Takes no height in the flow.
    int LayoutFloat(TCanvas& canvas, int y, int width, int viewHeight, IndentManager& indents,
                    int& maxWidth, int& cursor);

    // Marker drawing of list items, which take the first baseline of their content.
    virtual bool HasMarker() const { return false; }
    virtual void PaintMarker(TCanvas&, int, int) {}
    int firstBaseline_ = 0;
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

// A horizontal rule.
class THRBlock : public TSectionBase {
public:
    THRBlock(TSectionList* document, const TBoxStyle& box, const TLayoutAttrs& attributes);
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Layout(TCanvas& canvas, int x, int y, int width, int viewHeight, IndentManager& indents,
               int& maxWidth, int& cursor) override;
    int Paint(TCanvas& canvas, const QRect& clip, IndentManager& indents, int x, int xRef,
              int yRef) override;
    const char* Kind() const override { return "hr"; }

    TBoxStyle Box;
    int Size = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haCenter;
    bool NoShade = false;
    TColor Color = kNoColor;
    int X = 0, LineLeft = 0, LineWidth = 0;
};

// A page break: takes no room on the screen; in a print copy its paint ends the page at its
// top, so that the next page begins with what follows it.
class TPage : public TSectionBase {
public:
    using TSectionBase::TSectionBase;
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Paint(TCanvas& canvas, const QRect& clip, IndentManager& indents, int x, int xRef,
              int yRef) override;
    const char* Kind() const override { return "page"; }
};

// A table cell: its own cell of sections with its own indent manager.
class TTableCell {
public:
    explicit TTableCell(TSectionList* document) : Cell(document) {}
    TCell Cell;
    int ColSpan = 1;  // 0: spans every column (a caption)
    int RowSpan = 1;
    TColor Background = kNoColor;
    TColor BorderColor = kNoColor;
    int WidthAttr = 0;
    bool WidthPercent = false;
    TCellVAlign VAlign = cvMiddle;
    bool NoWrap = false;
    // Layout results: the first column, the rows spanned (clamped to the table), the box height.
    int Col = 0, Rows = 1, Height = 0, CursorStart = 0;
    int Left = 0, Width = 0, ContentHeight = 0, ContentTop = 0;
};

struct TTableRow {
    std::vector<std::unique_ptr<TTableCell>> Cells;
    TColor Background = kNoColor;
    bool Caption = false;  // the table's caption: above or below the grid, without frame
    int Top = 0, Height = 0;
};

class TTableBlock : public TSectionBase {
public:
    TTableBlock(TSectionList* document, const TLayoutAttrs& attributes, const TBoxStyle& box);
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Layout(TCanvas& canvas, int x, int y, int width, int viewHeight, IndentManager& indents,
               int& maxWidth, int& cursor) override;
    int Paint(TCanvas& canvas, const QRect& clip, IndentManager& indents, int x, int xRef,
              int yRef) override;
    bool LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) override;
    int CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit) override;
    bool ObjectAt(int x, int y, TImageHit& hit) override;
    int SearchText(int from, std::string_view text, bool matchCase) override;
    int DocToSource(int cursor) const override;
    int SourceToDoc(int sourcePos, bool before) const override;
    bool CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) override;
    bool CharAt(int cursor, char& ch, const TFontObj*& font) const override;
    const TSectionBase* TextSectionAt(int cursor) const override;
    void CopySelection() override;
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    void RegisterPosition() override;
    const char* Kind() const override { return "table"; }
    int LineCount() const override;
    // An anchor on the table shows the top of its frame (or caption).
    int AnchorY() const override { return Top + Box.MarginTop; }

    std::vector<TTableRow> Rows;
    TBoxStyle Box;
    int Border = 0, Padding = 1, Spacing = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haLeft;
    TColor Background = kNoColor;
    TColor BorderColor = 0x808080;
    bool Centered = false;
    bool Floating = false;    // ALIGN=left or right: text flows beside the table
    bool StyleFloat = false;  // floating by a float style: a floating block
    int X = 0, TableLeft = 0, TableWidth = 0;

private:
    struct TColumnRanges {
        std::vector<int> minW, maxW;
    };
    std::size_t PlaceCells();  // grid columns and clamped row spans; returns the column count
    void ColumnRanges(TCanvas& canvas, int available, TColumnRanges& ranges);
    void LayoutCells(TCanvas& canvas, const std::vector<int>& widths, int viewHeight, int& cursor);
    void DistributeSpans();
    int SpanHeight(const TTableCell& cell, std::size_t row) const;
    // The framed grid's top and bottom (captions stand outside it).
    struct TGrid {
        int Top, Bottom;
    };
    TGrid Grid() const;
    void PaintCellBack(TCanvas& canvas, const TTableRow& row, const TTableCell& cell,
                       const QRect& box);
    void PaintCellContent(TCanvas& canvas, const QRect& clip, int x, const TTableRow& row,
                          TTableCell& cell);
    TColor CellBorderColor(const TTableCell& cell) const;
    void PaintPage(TCanvas& canvas, const QRect& clip, int x, const TGrid& grid);
    void PaintPageFrames(TCanvas& canvas, int x, const TGrid& grid, int pageTop, int pageBottom);
    static bool ContentBelow(const TTableRow& row, int y);
    std::vector<int> ColumnWidths(const TColumnRanges& ranges, int available) const;
    template <class F>
    void ForEachSection(F f) const;
};

}  // namespace kv
