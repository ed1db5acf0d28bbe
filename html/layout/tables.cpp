// Simple tables: rows of cells, column widths from the cells' width ranges and width attributes,
// border, padding and spacing from the table's attributes.

#include "html/layout/tables.h"

#include <algorithm>
#include <numeric>

#include "html/layout/sectionlist.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

TTableBlock::TTableBlock(TSectionList* document, const TTableLook& look, const TBoxStyle& box)
    : TSectionBase(document),
      Box(box),
      Border(look.Border),
      Padding(look.Padding),
      Spacing(look.Spacing),
      WidthAttr(look.WidthAttr),
      WidthPercent(look.WidthPercent),
      Align(look.Align),
      BorderColor(look.BorderColor),
      Floating(look.Floating) {
    Background = box.Background;
    if (!Floating && box.Float) {
        // A float style without ALIGN: a floating block at that side.
        Floating = StyleFloat = true;
        Align = box.Float == alRightFloat ? haRight : haLeft;
    }
}

std::unique_ptr<TSectionBase> TTableBlock::CloneFor(TSectionList* document) const {
    const TTableLook look{Border,       Padding, Spacing,  WidthAttr,
                          WidthPercent, Align,   Floating, BorderColor};
    auto copy = std::make_unique<TTableBlock>(document, look, Box);
    copy->Centered = Centered, copy->Floating = Floating, copy->StyleFloat = StyleFloat;
    copy->Align = Align;
    for (const TTableRow& row : Rows) {
        TTableRow& r = copy->Rows.emplace_back();
        r.Background = row.Background, r.Caption = row.Caption;
        for (const auto& cell : row.Cells) {
            auto c = std::make_unique<TTableCell>(document);
            c->ColSpan = cell->ColSpan, c->RowSpan = cell->RowSpan,
            c->Background = cell->Background;
            c->BorderColor = cell->BorderColor;
            c->WidthAttr = cell->WidthAttr, c->WidthPercent = cell->WidthPercent;
            c->VAlign = cell->VAlign, c->NoWrap = cell->NoWrap;
            for (const auto& section : cell->Cell.Sections)
                c->Cell.Sections.push_back(section->CloneFor(document));
            r.Cells.push_back(std::move(c));
        }
    }
    return copy;
}

bool TTableBlock::ForEachChild(const TChildVisit& visit) const {
    for (const TTableRow& row : Rows)
        for (const auto& cell : row.Cells)
            if (cell->Cell.ForEachChild(visit)) return true;
    return false;
}

std::size_t TTableBlock::PlaceCells() {
    // Columns a cell from a row above still covers, counted in rows; the vector grows only with
    // the column count, so a hostile ROWSPAN costs nothing.
    std::vector<int> busy;
    const std::size_t n = Rows.size();
    for (std::size_t r = 0; r < n; ++r) {
        std::size_t col = 0;
        const int left = int(n - r);
        for (auto& cell : Rows[r].Cells) {
            cell->Col = 0;
            cell->Rows = 1;
            if (cell->ColSpan == 0) continue;  // a caption
            while (col < busy.size() && busy[col] > 0) ++col;
            cell->Col = int(col);
            cell->Rows = std::clamp(cell->RowSpan, 1, left);
            const std::size_t end = col + std::size_t(cell->ColSpan);
            if (busy.size() < end) busy.resize(end, 0);
            std::fill(busy.begin() + std::ptrdiff_t(col), busy.begin() + std::ptrdiff_t(end),
                      cell->Rows);
            col = end;
        }
        for (int& b : busy)
            if (b > 0) --b;
    }
    std::size_t columns = 0;
    for (const TTableRow& row : Rows)
        for (const auto& cell : row.Cells)
            columns = std::max(columns, std::size_t(cell->Col + std::max(cell->ColSpan, 0)));
    return columns;
}

void TTableBlock::ColumnRanges(TCanvas& canvas, int available, TColumnRanges& r) {
    const std::size_t columns = PlaceCells();
    r.minW.assign(columns, 0);
    r.maxW.assign(columns, 0);
    std::vector<int> given(columns, 0);
    const int pad = 2 * Padding + (Border ? 2 : 0);
    for (const TTableRow& row : Rows) {
        for (const auto& cell : row.Cells) {
            if (cell->ColSpan == 0) continue;  // a caption: as wide as the table
            int mn = 0, mx = 0;
            cell->Cell.WidthRange(canvas, mn, mx);
            if (cell->NoWrap) mn = mx;
            const int span = cell->ColSpan;
            const std::size_t col = std::size_t(cell->Col);
            for (int k = 0; k < span && col + std::size_t(k) < columns; ++k) {
                r.minW[col + k] = std::max(r.minW[col + k], (mn + pad) / span);
                r.maxW[col + k] = std::max(r.maxW[col + k], (mx + pad) / span);
                if (cell->WidthAttr > 0) {
                    const int w =
                        cell->WidthPercent ? available * cell->WidthAttr / 100 : cell->WidthAttr;
                    given[col + k] = std::max(given[col + k], w / span);
                }
            }
        }
    }
    for (std::size_t i = 0; i < columns; ++i) {
        if (given[i] > 0) {
            r.maxW[i] = std::max(r.minW[i], given[i]);
            r.minW[i] = std::max(r.minW[i], std::min(given[i], r.maxW[i]));
        }
        r.maxW[i] = std::max(r.maxW[i], r.minW[i]);
    }
}

std::vector<int> TTableBlock::ColumnWidths(const TColumnRanges& r, int available) const {
    const std::size_t columns = r.minW.size();
    const int spacing = Spacing * int(columns + 1) + 2 * Border;
    const long long sumMin = std::accumulate(r.minW.begin(), r.minW.end(), 0LL);
    const long long sumMax = std::accumulate(r.maxW.begin(), r.maxW.end(), 0LL);
    long long target = WidthAttr > 0
                           ? (WidthPercent ? 1LL * available * WidthAttr / 100 : WidthAttr)
                           : std::min<long long>(available, sumMax + spacing);
    target = std::max(target - spacing, sumMin);
    std::vector<int> widths(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        if (sumMax <= target) {
            // Room for everything: the extra goes to the columns in proportion to their widths.
            widths[i] = sumMax > 0 ? int(r.maxW[i] + (target - sumMax) * r.maxW[i] / sumMax)
                                   : int(target / std::max<std::size_t>(columns, 1));
        } else {
            widths[i] = sumMax == sumMin
                            ? r.minW[i]
                            : int(r.minW[i] +
                                  (target - sumMin) * (r.maxW[i] - r.minW[i]) / (sumMax - sumMin));
        }
    }
    return widths;
}

int TTableBlock::SpanHeight(const TTableCell& cell, std::size_t row) const {
    int h = Spacing * (cell.Rows - 1);
    for (std::size_t r = row; r < row + std::size_t(cell.Rows) && r < Rows.size(); ++r)
        h += Rows[r].Height;
    return h;
}

void TTableBlock::DistributeSpans() {
    // A cell spanning rows taller than those rows together shares its extra height out evenly
    // among them; narrower spans first, so wider ones see the rows already grown.
    std::vector<std::pair<TTableCell*, std::size_t>> spans;
    for (std::size_t r = 0; r < Rows.size(); ++r)
        for (auto& cell : Rows[r].Cells)
            if (cell->Rows > 1) spans.emplace_back(cell.get(), r);
    std::stable_sort(spans.begin(), spans.end(),
                     [](const auto& a, const auto& b) { return a.first->Rows < b.first->Rows; });
    const int inset = Padding + (Border ? 1 : 0);
    for (const auto& [cell, r] : spans) {
        const int extra = cell->ContentHeight + 2 * inset - SpanHeight(*cell, r);
        if (extra <= 0) continue;
        const int n = cell->Rows;
        for (int k = 0; k < n; ++k) Rows[r + std::size_t(k)].Height += extra / n;
        Rows[r + std::size_t(n) - 1].Height += extra % n;
    }
}

// A cell lays out from its own origin; what it places keeps to document x through the context.
void TTableBlock::LayoutCell(const TLayoutContext& lc, TTableCell& cell, int top, int shift) const {
    const int inset = Padding + (Border ? 1 : 0);
    int cellMax = 0;
    cell.ContentTop = top + inset;
    cell.ContentHeight =
        cell.Cell.LayoutCell(lc.WithOrigin(lc.OriginX + cell.Left + inset), top + inset + shift,
                             std::max(0, cell.Width - 2 * inset), cellMax);
}

void TTableBlock::LayoutCells(const TLayoutContext& lc, const std::vector<int>& widths) {
    std::vector<int> colX(widths.size() + 1, TableLeft + Border + Spacing);
    for (std::size_t i = 0; i < widths.size(); ++i) colX[i + 1] = colX[i] + widths[i] + Spacing;
    const int inset = Padding + (Border ? 1 : 0);
    const int firstTop = Top + Box.MarginTop + Border + Spacing;
    int rowY = firstTop;
    for (TTableRow& row : Rows) {
        row.Top = rowY;
        row.Height = 0;
        for (auto& cell : row.Cells) {
            const std::size_t col = std::min(std::size_t(cell->Col), widths.size());
            const std::size_t end = cell->ColSpan == 0
                                        ? widths.size()
                                        : std::min(col + std::size_t(cell->ColSpan), widths.size());
            cell->Left = colX[col];
            cell->Width = std::max(0, colX[end] - colX[col] - Spacing);
            cell->CursorStart = lc.Cursor;
            LayoutCell(lc, *cell, rowY, 0);
            if (cell->Rows == 1) row.Height = std::max(row.Height, cell->ContentHeight + 2 * inset);
        }
        rowY += row.Height + Spacing;
    }
    DistributeSpans();
    // Rows below a grown row moved down: their cells are laid out again at the new place.
    rowY = firstTop;
    // So do cells whose content is aligned to the middle or bottom: layout gives every line
    // and image its final place, which paint and hit tests only read.
    for (std::size_t r = 0; r < Rows.size(); ++r) {
        TTableRow& row = Rows[r];
        for (auto& cell : row.Cells) {
            cell->Height = SpanHeight(*cell, r);
            const int free = cell->Height - 2 * inset - cell->ContentHeight;
            const int shift = cell->VAlign == cvTop      ? 0
                              : cell->VAlign == cvBottom ? free
                                                         : free / 2;
            if (row.Top != rowY || shift != 0) {
                int cur = cell->CursorStart;
                const int height = cell->ContentHeight;
                LayoutCell(lc.WithCursor(cur), *cell, rowY, std::max(0, shift));
                cell->ContentHeight = height;
            }
        }
        row.Top = rowY;
        rowY += row.Height + Spacing;
    }
}

int TTableBlock::Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    IndentManager& indents = lc.Indents;
    X = x;
    Top = BoxTop = PaintTop = y;
    FirstCursor = lc.Cursor;
    const int l = indents.LeftEdgeForText(y) - indents.LeftEdge;
    const int r = indents.RightEdgeForText(y) - indents.LeftEdge;
    const int available = std::max(0, std::min(width, r - l));
    TColumnRanges ranges;
    ColumnRanges(lc.Canvas, available, ranges);
    const std::vector<int> widths = ColumnWidths(ranges, available);
    TableWidth = std::accumulate(widths.begin(), widths.end(), 0) +
                 Spacing * int(widths.size() + 1) + 2 * Border;
    const THAlign align = Centered && !Floating && Align == haLeft ? haCenter : Align;
    TableLeft = align == 2   ? l + std::max(0, (available - TableWidth) / 2)
                : align == 3 ? l + std::max(0, available - TableWidth)
                             : l;
    LayoutCells(lc, widths);
    const int rowY = Rows.empty() ? y + Box.MarginTop + Border + Spacing
                                  : Rows.back().Top + Rows.back().Height + Spacing;
    Length = lc.Cursor - FirstCursor;
    FlowHeight = PaintHeight = rowY - y + Border + Box.MarginBottom;
    BoxBottom = PaintBottom = y + FlowHeight;
    maxWidth = TableWidth;
    if (Floating) {
        // The table takes no room in the flow; the text beside it keeps clear of its edge.
        if (StyleFloat)
            indents.PlaceFloatBlock(y,
                                    Align == haRight
                                        ? indents.RightSide(y) - indents.LeftEdge - TableLeft
                                        : TableLeft + TableWidth + indents.LeftEdge,
                                    Align == haRight ? alRightFloat : alLeftFloat, PaintBottom - y);
        else if (Align == haRight)
            indents.RightList.push_back({TableLeft, y, PaintBottom, nullptr, false});
        else
            indents.LeftList.push_back({TableLeft + TableWidth, y, PaintBottom, nullptr, false});
        FlowHeight = 0;
        BoxBottom = y;
    }
    return FlowHeight;
}

namespace {

// The part of [top, bottom) on the page [pageTop, pageBottom), as a box at x..x+width shifted
// up by s; empty when none of it is there.
QRect OnPage(int x, int width, int top, int bottom, int pageTop, int pageBottom, int s) {
    top = std::max(top, pageTop), bottom = std::min(bottom, pageBottom);
    return bottom > top ? QRect(x, top - s, width, bottom - top) : QRect();
}

}  // namespace

int TTableBlock::Paint(TCanvas& canvas, TPaintContext& pc, IndentManager&, int x) {
    const QRect& clip = pc.Clip;
    const int s = pc.ScrollTop;
    if (PaintBottom - s <= clip.top() || Top - s > clip.bottom()) return Top + FlowHeight;
    const TGrid grid = Grid();
    if (canvas.IsPrinter()) {
        PaintPage(canvas, pc, x, grid);
        return Top + FlowHeight;
    }
    const QRect outer(x + TableLeft, grid.Top - s, TableWidth, grid.Bottom - grid.Top);
    if (Background != kNoColor) canvas.FillRect(outer, Background);
    for (int i = 0; i < Border; ++i) canvas.FrameRect(outer.adjusted(i, i, -i, -i), BorderColor);
    for (TTableRow& row : Rows) {
        if (row.Top - s > clip.bottom()) break;
        for (auto& cell : row.Cells) {
            if (row.Top + cell->Height - s <= clip.top()) continue;
            const QRect box(x + cell->Left, row.Top - s, cell->Width, cell->Height);
            PaintCellBack(canvas, row, *cell, box);
            if (Border && !row.Caption) canvas.FrameRect(box, CellBorderColor(*cell));
            PaintCellContent(canvas, pc, x, row, *cell);
        }
    }
    return Top + FlowHeight;
}

TTableBlock::TGrid TTableBlock::Grid() const {
    // A caption row stands outside the grid's frame and background.
    TGrid grid{Top + Box.MarginTop, PaintBottom - Box.MarginBottom};
    if (Rows.size() > 1 && Rows.front().Caption) grid.Top = Rows[1].Top - Spacing - Border;
    if (Rows.size() > 1 && Rows.back().Caption) {
        const TTableRow& last = Rows[Rows.size() - 2];
        grid.Bottom = last.Top + last.Height + Spacing + Border;
    }
    return grid;
}

void TTableBlock::PaintCellBack(TCanvas& canvas, const TTableRow& row, const TTableCell& cell,
                                const QRect& box) {
    const TColor back = cell.Background != kNoColor ? cell.Background : row.Background;
    if (back != kNoColor && !row.Caption) canvas.FillRect(box, back);
}

void TTableBlock::PaintCellContent(TCanvas& canvas, TPaintContext& pc, int x, const TTableRow& row,
                                   TTableCell& cell) {
    const int inset = Padding + (Border ? 1 : 0);
    cell.Cell.PaintCell(canvas, pc, x + cell.Left + inset, row.Top + inset);
}

TColor TTableBlock::CellBorderColor(const TTableCell& cell) const {
    return cell.BorderColor != kNoColor ? cell.BorderColor : BorderColor;
}

// A printed page may end inside the table. The cells' content is drawn first: its lines decide
// where the page ends, as text does, and a row no taller than the page that the end falls in
// goes whole to the next page. The frames come last, cut at the page's top and bottom and
// closed there, so a table split over pages is framed on each; a row that only continues from
// the page before without content gets no frame of its own.
void TTableBlock::PaintPage(TCanvas& canvas, TPaintContext& pc, int x, const TGrid& grid) {
    const QRect& clip = pc.Clip;
    const int s = pc.ScrollTop, pageTop = s + clip.top();
    int& limit = pc.PageLimitY;
    if (Background != kNoColor)
        canvas.FillRect(QRect(x + TableLeft, grid.Top - s, TableWidth, grid.Bottom - grid.Top),
                        Background);
    int spanBottom = 0;  // the lowest cell of the rows so far
    for (TTableRow& row : Rows) {
        if (row.Top >= limit) break;
        int rowBottom = row.Top + row.Height;
        for (auto& cell : row.Cells) {
            rowBottom = std::max(rowBottom, row.Top + cell->Height);
            if (row.Top + cell->Height <= pageTop) continue;
            PaintCellBack(canvas, row, *cell,
                          QRect(x + cell->Left, row.Top - s, cell->Width, cell->Height));
            PaintCellContent(canvas, pc, x, row, *cell);
        }
        if (row.Top > pageTop && row.Top < limit && limit < rowBottom &&
            rowBottom - row.Top < clip.height() && spanBottom <= row.Top)
            limit = row.Top;
        spanBottom = std::max(spanBottom, rowBottom);
    }
    // The page ends above the first row: the table starts on the next one.
    const bool rowsHere = !Rows.empty() && Rows.front().Top < limit;
    if (!rowsHere && Top > pageTop && Top < limit && limit < PaintBottom) limit = Top;
    PaintPageFrames(canvas, x, s, grid, pageTop, limit);
}

// A row continued from the page before whose content all stayed there is not framed again.
bool TTableBlock::ContentBelow(const TTableRow& row, int y) {
    return std::any_of(row.Cells.begin(), row.Cells.end(), [y](const auto& cell) {
        return cell->Cell.CellTop + cell->ContentHeight > y;
    });
}

void TTableBlock::PaintPageFrames(TCanvas& canvas, int x, int s, const TGrid& grid, int pageTop,
                                  int pageBottom) {
    bool any = grid.Top >= pageTop;  // rows with something on this page
    for (const TTableRow& row : Rows) {
        if (row.Caption || (row.Top < pageTop && !ContentBelow(row, pageTop))) continue;
        for (const auto& cell : row.Cells) {
            const QRect box = OnPage(x + cell->Left, cell->Width, row.Top, row.Top + cell->Height,
                                     pageTop, pageBottom, s);
            if (box.isEmpty()) continue;
            any = true;
            if (Border) canvas.FrameRect(box, CellBorderColor(*cell));
        }
    }
    const QRect outer =
        OnPage(x + TableLeft, TableWidth, grid.Top, grid.Bottom, pageTop, pageBottom, s);
    if (!any || outer.isEmpty()) return;
    for (int i = 0; i < Border; ++i) canvas.FrameRect(outer.adjusted(i, i, -i, -i), BorderColor);
}

void TTableBlock::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    // One pass over the cells for both answers: nested tables would otherwise cost twice per
    // level.
    TColumnRanges ranges;
    ColumnRanges(canvas, 0, ranges);
    const std::vector<int> min = ColumnWidths(ranges, 0);
    minWidth =
        std::accumulate(min.begin(), min.end(), 0) + Spacing * int(min.size() + 1) + 2 * Border;
    const std::vector<int> max = ColumnWidths(ranges, kMaxExtent);
    maxWidth = std::max(minWidth, std::accumulate(max.begin(), max.end(), 0) +
                                      Spacing * int(max.size() + 1) + 2 * Border);
    if (WidthAttr > 0 && !WidthPercent) minWidth = maxWidth = std::max(minWidth, WidthAttr);
}

}  // namespace kv
