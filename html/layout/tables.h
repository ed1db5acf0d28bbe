#pragma once
// Simple tables: rows of cells, each cell a list of sections with its own float and indent
// manager; a caption is a row of one cell as wide as the table.

#include <memory>
#include <vector>

#include "html/layout/blocks.h"

namespace kv {

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

// What a table's attributes say: frame, spacing, width, alignment and frame colour.
struct TTableLook {
    int Border = 0, Padding = 1, Spacing = 2;
    int WidthAttr = 0;
    bool WidthPercent = false;
    THAlign Align = haLeft;
    bool Floating = false;  // ALIGN=left or right
    TColor BorderColor = 0x808080;
};

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
    void LayoutCells(const TLayoutContext& lc, const std::vector<int>& widths);
    void LayoutCell(const TLayoutContext& lc, TTableCell& cell, int top, int shift) const;
    void DistributeSpans();
    int SpanHeight(const TTableCell& cell, std::size_t row) const;
    // The framed grid's top and bottom (captions stand outside it).
    struct TGrid {
        int Top, Bottom;
    };
    TGrid Grid() const;
    void PaintCellBack(TCanvas& canvas, const TTableRow& row, const TTableCell& cell,
                       const QRect& box);
    void PaintCellContent(TCanvas& canvas, TPaintContext& pc, int x, const TTableRow& row,
                          TTableCell& cell);
    TColor CellBorderColor(const TTableCell& cell) const;
    void PaintPage(TCanvas& canvas, TPaintContext& pc, int x, const TGrid& grid);
    void PaintPageFrames(TCanvas& canvas, int x, int s, const TGrid& grid, int pageTop,
                         int pageBottom);
    static bool ContentBelow(const TTableRow& row, int y);
    std::vector<int> ColumnWidths(const TColumnRanges& ranges, int available) const;
};

}  // namespace kv
