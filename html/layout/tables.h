#pragma once
// Simple tables: rows of cells, each cell a list of sections with its own float and indent
// manager; a caption is a row of one cell as wide as the table.

#include <array>
#include <memory>
#include <vector>

#include "html/layout/blocks.h"

namespace kv {

// How one side of a border is drawn; the widths of none and hidden sides are 0.
enum TEdgeStyle : std::uint8_t { esNone, esHidden, esSolid, esDashed, esDotted, esDouble };

struct TEdge {
    int Width = 0;
    TEdgeStyle Style = esNone;
    TColor Color = kNoColor;
    bool operator==(const TEdge&) const = default;
};

// The sides of a box in CSS order: top, right, bottom, left.
enum TBoxSide : std::uint8_t { bsTop, bsRight, bsBottom, bsLeft };
using TEdges = std::array<TEdge, 4>;

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
    bool AlignBaseline = false;  // its first line on the row's baseline (from the style)
    bool NoWrap = false;
    TEdges Edges{};            // its own border: the style's, else the table's BORDER rule
    std::array<int, 4> Pad{};  // padding: the style's, else CELLPADDING
    // Layout results: the first column, the rows spanned (clamped to the table), the box height,
    // the border drawn (with collapsed borders, the winner of each shared line).
    int Col = 0, Rows = 1, Height = 0, CursorStart = 0;
    int Left = 0, Width = 0, ContentHeight = 0, ContentTop = 0;
    TEdges Drawn{};
    int BaselineOffset = 0;  // the first baseline below the content's top, 0 for none
    int Inset(TBoxSide side) const { return Drawn[side].Width + Pad[side]; }
};

struct TTableRow {
    std::vector<std::unique_ptr<TTableCell>> Cells;
    TColor Background = kNoColor;
    bool Caption = false;  // the table's caption: above or below the grid, without frame
    int Top = 0, Height = 0;
};

// What a table's attributes and style say: frame, spacing, width, alignment and frame colour.
struct TTableLook {
    int Border = 0, Padding = 1, Spacing = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haLeft;
    bool Floating = false;  // ALIGN=left or right
    TColor BorderColor = 0x808080;
    TEdges Frame{};         // the table's own border (BORDER, or the style's)
    int SpacingY = 2;       // vertical spacing; Spacing is the horizontal one
    bool Collapse = false;  // adjacent borders share one line
};

// Paints a box's border inside `box`.
void PaintEdges(TCanvas& canvas, const QRect& box, const TEdges& edges);

class TTableBlock : public TSectionBase {
public:
    TTableBlock(TSectionList* document, const TTableLook& look, const TBoxStyle& box);
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) override;
    int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) override;
    // The sections of every cell, row by row.
    bool ForEachChild(const TChildVisit& visit) const override;
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    const char* Kind() const override { return "table"; }
    // An anchor on the table shows the top of its frame (or caption).
    int AnchorY() const override { return Top + Box.MarginTop; }

    std::vector<TTableRow> Rows;
    TBoxStyle Box;
    int Border = 0, Padding = 1, Spacing = 2, SpacingY = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haLeft;
    TColor Background = kNoColor;
    TColor BorderColor = 0x808080;
    TEdges Frame{};
    bool Collapse = false;
    bool Centered = false;
    bool Floating = false;    // ALIGN=left or right: text flows beside the table
    bool StyleFloat = false;  // floating by a float style: a floating block
    int X = 0, TableLeft = 0, TableWidth = 0;

private:
    struct TColumnRanges {
        std::vector<int> minW, maxW;
    };
    // The room between columns and between rows: the spacing, or with collapsed borders minus
    // the shared line that adjacent cells overlap on.
    struct TGaps {
        std::vector<int> X, Y;  // before each column / row, and after the last
    };
    std::size_t PlaceCells();  // grid columns and clamped row spans; returns the column count
    void ColumnRanges(TCanvas& canvas, int available, TColumnRanges& ranges, TGaps& gaps);
    TGaps ResolveBorders(std::size_t columns);
    TEdges OuterFrame() const;  // the frame drawn around the grid (none when collapsed)
    int Extent(const std::vector<int>& widths, const TGaps& gaps) const;
    void LayoutCells(const TLayoutContext& lc, const std::vector<int>& widths, const TGaps& gaps);
    void LayoutCell(const TLayoutContext& lc, TTableCell& cell, int top, int shift) const;
    void DistributeSpans(const TGaps& gaps);
    int SpanHeight(const TTableCell& cell, std::size_t row, const TGaps& gaps) const;
    static int RowBaseline(const TTableRow& row);
    static int BaselineShift(const TTableCell& cell, int rowBaseline);
    // The framed grid's top and bottom (captions stand outside it).
    struct TGrid {
        int Top, Bottom;
    };
    TGrid Grid() const;
    void PaintCellBack(TCanvas& canvas, const TTableRow& row, const TTableCell& cell,
                       const QRect& box);
    void PaintCellContent(TCanvas& canvas, TPaintContext& pc, int x, const TTableRow& row,
                          TTableCell& cell);
    void PaintPage(TCanvas& canvas, TPaintContext& pc, int x, const TGrid& grid);
    void PaintPageFrames(TCanvas& canvas, int x, int s, const TGrid& grid, int pageTop,
                         int pageBottom);
    static bool ContentBelow(const TTableRow& row, int y);
    std::vector<int> ColumnWidths(const TColumnRanges& ranges, int available,
                                  const TGaps& gaps) const;
    int gridTop_ = 0, gridBottom_ = 0;  // layout results: the framed grid
};

}  // namespace kv
