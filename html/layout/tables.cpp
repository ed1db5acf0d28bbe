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
      SpacingY(look.SpacingY),
      WidthAttr(look.WidthAttr),
      WidthPercent(look.WidthPercent),
      Align(look.Align),
      BorderColor(look.BorderColor),
      Frame(look.Frame),
      Collapse(look.Collapse),
      Floating(look.Floating) {
    Background = box.Background;
    if (!Floating && box.Float) {
        // A float style without ALIGN: a floating block at that side.
        Floating = StyleFloat = true;
        Align = box.Float == alRightFloat ? haRight : haLeft;
    }
}

std::unique_ptr<TSectionBase> TTableBlock::CloneFor(TSectionList* document) const {
    const TTableLook look{Border,   Padding,     Spacing, WidthAttr, WidthPercent, Align,
                          Floating, BorderColor, Frame,   SpacingY,  Collapse};
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
            c->AlignBaseline = cell->AlignBaseline;
            c->Edges = cell->Edges, c->Pad = cell->Pad;
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

namespace {

// The line a side of a cell or of the table offers to a collapsed border: the widest wins (the
// first offered among equals), and a hidden side takes the line away.
struct TLine {
    TEdge Winner;
    bool Hidden = false;
    void Offer(const TEdge& edge) {
        if (edge.Style == esHidden)
            Hidden = true;
        else if (edge.Width > Winner.Width)
            Winner = edge;
    }
    TEdge Drawn() const { return Hidden ? TEdge{} : Winner; }
};

int Sum(const std::vector<int>& values) {
    return std::accumulate(values.begin(), values.end(), 0);
}

}  // namespace

TEdges TTableBlock::OuterFrame() const {
    return Collapse ? TEdges{} : Frame;
}

// Separate borders: every cell draws its own inside its box, with spacing between boxes.
// Collapsed: a cell's box reaches over the lines on its sides, its neighbours' boxes overlap it
// there, and every cell draws the line's winner, so a shared line is drawn once as one.
TTableBlock::TGaps TTableBlock::ResolveBorders(std::size_t columns) {
    const std::size_t n = Rows.size();
    TGaps gaps{std::vector<int>(columns + 1, Spacing), std::vector<int>(n + 1, SpacingY)};
    if (!Collapse) {
        for (TTableRow& row : Rows)
            for (auto& cell : row.Cells) cell->Drawn = cell->Edges;
        return gaps;
    }
    std::vector<TLine> lineX(columns + 1), lineY(n + 1);
    std::size_t first = n, last = 0;  // the grid rows, without the captions
    for (std::size_t r = 0; r < n; ++r) {
        if (Rows[r].Caption) continue;
        first = std::min(first, r), last = r + 1;
        for (const auto& cell : Rows[r].Cells) {
            const std::size_t col = std::min(std::size_t(cell->Col), columns);
            const std::size_t end = std::min(col + std::size_t(cell->ColSpan), columns);
            lineY[r].Offer(cell->Edges[bsTop]);
            lineX[end].Offer(cell->Edges[bsRight]);
            lineY[r + std::size_t(cell->Rows)].Offer(cell->Edges[bsBottom]);
            lineX[col].Offer(cell->Edges[bsLeft]);
        }
    }
    if (first >= last) first = last = 0;
    lineY[first].Offer(Frame[bsTop]);
    lineX[columns].Offer(Frame[bsRight]);
    lineY[last].Offer(Frame[bsBottom]);
    lineX[0].Offer(Frame[bsLeft]);
    for (std::size_t r = 0; r < n; ++r) {
        for (auto& cell : Rows[r].Cells) {
            if (Rows[r].Caption) {
                cell->Drawn = TEdges{};
                continue;
            }
            const std::size_t col = std::min(std::size_t(cell->Col), columns);
            const std::size_t end = std::min(col + std::size_t(cell->ColSpan), columns);
            cell->Drawn = {lineY[r].Drawn(), lineX[end].Drawn(),
                           lineY[r + std::size_t(cell->Rows)].Drawn(), lineX[col].Drawn()};
        }
    }
    for (std::size_t i = 0; i <= columns; ++i)
        gaps.X[i] = i == 0 || i == columns ? 0 : -lineX[i].Drawn().Width;
    for (std::size_t k = 0; k <= n; ++k)
        gaps.Y[k] = k > first && k < last ? -lineY[k].Drawn().Width : 0;
    return gaps;
}

void TTableBlock::ColumnRanges(TCanvas& canvas, int available, TColumnRanges& r, TGaps& gaps) {
    const std::size_t columns = PlaceCells();
    gaps = ResolveBorders(columns);
    r.minW.assign(columns, 0);
    r.maxW.assign(columns, 0);
    std::vector<int> given(columns, 0);
    for (const TTableRow& row : Rows) {
        for (const auto& cell : row.Cells) {
            if (cell->ColSpan == 0) continue;  // a caption: as wide as the table
            int mn = 0, mx = 0;
            cell->Cell.WidthRange(canvas, mn, mx);
            if (cell->NoWrap) mn = mx;
            const int pad = cell->Inset(bsLeft) + cell->Inset(bsRight);
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

// The table's width for these column widths: columns, the room between them and the frame.
int TTableBlock::Extent(const std::vector<int>& widths, const TGaps& gaps) const {
    const TEdges frame = OuterFrame();
    return Sum(widths) + Sum(gaps.X) + frame[bsLeft].Width + frame[bsRight].Width;
}

std::vector<int> TTableBlock::ColumnWidths(const TColumnRanges& r, int available,
                                           const TGaps& gaps) const {
    const std::size_t columns = r.minW.size();
    const int spacing = Extent({}, gaps);
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

int TTableBlock::SpanHeight(const TTableCell& cell, std::size_t row, const TGaps& gaps) const {
    int h = 0;
    for (std::size_t r = row; r < row + std::size_t(cell.Rows) && r < Rows.size(); ++r)
        h += Rows[r].Height + (r > row ? gaps.Y[r] : 0);
    return h;
}

void TTableBlock::DistributeSpans(const TGaps& gaps) {
    // A cell spanning rows taller than those rows together shares its extra height out evenly
    // among them; narrower spans first, so wider ones see the rows already grown.
    std::vector<std::pair<TTableCell*, std::size_t>> spans;
    for (std::size_t r = 0; r < Rows.size(); ++r)
        for (auto& cell : Rows[r].Cells)
            if (cell->Rows > 1) spans.emplace_back(cell.get(), r);
    std::stable_sort(spans.begin(), spans.end(),
                     [](const auto& a, const auto& b) { return a.first->Rows < b.first->Rows; });
    for (const auto& [cell, r] : spans) {
        const int extra = cell->ContentHeight + cell->Inset(bsTop) + cell->Inset(bsBottom) -
                          SpanHeight(*cell, r, gaps);
        if (extra <= 0) continue;
        const int n = cell->Rows;
        for (int k = 0; k < n; ++k) Rows[r + std::size_t(k)].Height += extra / n;
        Rows[r + std::size_t(n) - 1].Height += extra % n;
    }
}

// A cell lays out from its own origin; what it places keeps to document x through the context.
void TTableBlock::LayoutCell(const TLayoutContext& lc, TTableCell& cell, int top, int shift) const {
    const int left = cell.Inset(bsLeft), above = cell.Inset(bsTop);
    int cellMax = 0, baseline = 0;
    cell.ContentTop = top + above;
    const TLayoutContext inner = lc.WithOrigin(lc.OriginX + cell.Left + left);
    // A cell aligned on the baseline measures its own first line.
    cell.ContentHeight = cell.Cell.LayoutCell(
        cell.AlignBaseline ? inner.WithBaseline(&baseline) : inner, top + above + shift,
        std::max(0, cell.Width - left - cell.Inset(bsRight)), cellMax);
    cell.BaselineOffset = baseline > 0 ? baseline - (top + above + shift) : 0;
}

// The lowest first baseline of the row's baseline-aligned cells, from the row's top.
int TTableBlock::RowBaseline(const TTableRow& row) {
    int base = 0;
    for (const auto& cell : row.Cells)
        if (cell->AlignBaseline) base = std::max(base, cell->Inset(bsTop) + cell->BaselineOffset);
    return base;
}

int TTableBlock::BaselineShift(const TTableCell& cell, int rowBaseline) {
    return rowBaseline - cell.Inset(bsTop) - cell.BaselineOffset;
}

void TTableBlock::LayoutCells(const TLayoutContext& lc, const std::vector<int>& widths,
                              const TGaps& gaps) {
    std::vector<int> colX(widths.size() + 1, TableLeft + OuterFrame()[bsLeft].Width + gaps.X[0]);
    for (std::size_t i = 0; i < widths.size(); ++i)
        colX[i + 1] = colX[i] + widths[i] + gaps.X[i + 1];
    const int firstTop = Top + Box.MarginTop + OuterFrame()[bsTop].Width + gaps.Y[0];
    int rowY = firstTop;
    for (std::size_t r = 0; r < Rows.size(); ++r) {
        TTableRow& row = Rows[r];
        row.Top = rowY;
        row.Height = 0;
        for (auto& cell : row.Cells) {
            const std::size_t col = std::min(std::size_t(cell->Col), widths.size());
            const std::size_t end = cell->ColSpan == 0
                                        ? widths.size()
                                        : std::min(col + std::size_t(cell->ColSpan), widths.size());
            cell->Left = colX[col];
            cell->Width = std::max(0, colX[end] - colX[col] - gaps.X[end]);
            cell->CursorStart = lc.Cursor;
            LayoutCell(lc, *cell, rowY, 0);
            if (cell->Rows == 1)
                row.Height = std::max(
                    row.Height, cell->ContentHeight + cell->Inset(bsTop) + cell->Inset(bsBottom));
        }
        const int base = RowBaseline(row);
        for (const auto& cell : row.Cells)
            if (cell->AlignBaseline && cell->Rows == 1)
                row.Height = std::max(row.Height, BaselineShift(*cell, base) + cell->ContentHeight +
                                                      cell->Inset(bsTop) + cell->Inset(bsBottom));
        rowY += row.Height + gaps.Y[r + 1];
    }
    DistributeSpans(gaps);
    // Rows below a grown row moved down: their cells are laid out again at the new place.
    rowY = firstTop;
    // So do cells whose content is aligned to the middle or bottom: layout gives every line
    // and image its final place, which paint and hit tests only read.
    for (std::size_t r = 0; r < Rows.size(); ++r) {
        TTableRow& row = Rows[r];
        const int base = RowBaseline(row);
        for (auto& cell : row.Cells) {
            cell->Height = SpanHeight(*cell, r, gaps);
            const int free =
                cell->Height - cell->Inset(bsTop) - cell->Inset(bsBottom) - cell->ContentHeight;
            const int shift = cell->AlignBaseline        ? BaselineShift(*cell, base)
                              : cell->VAlign == cvTop    ? 0
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
        rowY += row.Height + gaps.Y[r + 1];
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
    TGaps gaps;
    ColumnRanges(lc.Canvas, available, ranges, gaps);
    const std::vector<int> widths = ColumnWidths(ranges, available, gaps);
    TableWidth = Extent(widths, gaps);
    const THAlign align = Centered && !Floating && Align == haLeft ? haCenter : Align;
    TableLeft = align == 2   ? l + std::max(0, (available - TableWidth) / 2)
                : align == 3 ? l + std::max(0, available - TableWidth)
                             : l;
    LayoutCells(lc, widths, gaps);
    const TEdges frame = OuterFrame();
    const std::size_t n = Rows.size();
    const int rowY = Rows.empty() ? y + Box.MarginTop + frame[bsTop].Width + gaps.Y[0]
                                  : Rows.back().Top + Rows.back().Height + gaps.Y[n];
    Length = lc.Cursor - FirstCursor;
    FlowHeight = PaintHeight = rowY - y + frame[bsBottom].Width + Box.MarginBottom;
    BoxBottom = PaintBottom = y + FlowHeight;
    maxWidth = TableWidth;
    // A caption row stands outside the grid's frame and background.
    gridTop_ = Top + Box.MarginTop, gridBottom_ = PaintBottom - Box.MarginBottom;
    if (n > 1 && Rows.front().Caption) gridTop_ = Rows[1].Top - gaps.Y[1] - frame[bsTop].Width;
    if (n > 1 && Rows.back().Caption) {
        const TTableRow& last = Rows[n - 2];
        gridBottom_ = last.Top + last.Height + gaps.Y[n - 1] + frame[bsBottom].Width;
    }
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

// One side of a border in `r`, running across (horizontally) or down.
void PaintSide(TCanvas& canvas, const QRect& r, const TEdge& e, bool across) {
    const int length = across ? r.width() : r.height();
    // Dashes and dots on a side longer than any page are drawn as a line.
    constexpr int kMaxDashedLength = 1 << 15;
    if ((e.Style == esDashed || e.Style == esDotted) && length < kMaxDashedLength) {
        const int dash = e.Style == esDashed ? 3 * e.Width : e.Width;
        for (int at = 0; at < length; at += 2 * dash) {
            const int d = std::min(dash, length - at);
            canvas.FillRect(across ? QRect(r.left() + at, r.top(), d, r.height())
                                   : QRect(r.left(), r.top() + at, r.width(), d),
                            e.Color);
        }
    } else if (e.Style == esDouble && e.Width >= 3) {
        const int line = (e.Width + 1) / 3;
        if (across) {
            canvas.FillRect(QRect(r.left(), r.top(), r.width(), line), e.Color);
            canvas.FillRect(QRect(r.left(), r.bottom() + 1 - line, r.width(), line), e.Color);
        } else {
            canvas.FillRect(QRect(r.left(), r.top(), line, r.height()), e.Color);
            canvas.FillRect(QRect(r.right() + 1 - line, r.top(), line, r.height()), e.Color);
        }
    } else {
        canvas.FillRect(r, e.Color);
    }
}

}  // namespace

void PaintEdges(TCanvas& canvas, const QRect& box, const TEdges& edges) {
    const TEdge& top = edges[bsTop];
    const bool same =
        std::all_of(edges.begin(), edges.end(), [&](const TEdge& side) { return side == top; });
    if (same && top.Style == esSolid) {
        // A plain frame of that many one-pixel rings.
        for (int i = 0; i < top.Width; ++i) canvas.FrameRect(box.adjusted(i, i, -i, -i), top.Color);
        return;
    }
    const TEdge &right = edges[bsRight], &bottom = edges[bsBottom], &left = edges[bsLeft];
    if (top.Width > 0)
        PaintSide(canvas, QRect(box.left(), box.top(), box.width(), top.Width), top, true);
    if (bottom.Width > 0)
        PaintSide(canvas,
                  QRect(box.left(), box.bottom() + 1 - bottom.Width, box.width(), bottom.Width),
                  bottom, true);
    if (left.Width > 0)
        PaintSide(canvas, QRect(box.left(), box.top(), left.Width, box.height()), left, false);
    if (right.Width > 0)
        PaintSide(canvas,
                  QRect(box.right() + 1 - right.Width, box.top(), right.Width, box.height()), right,
                  false);
}

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
    PaintEdges(canvas, outer, OuterFrame());
    for (TTableRow& row : Rows) {
        if (row.Top - s > clip.bottom()) break;
        for (auto& cell : row.Cells) {
            if (row.Top + cell->Height - s <= clip.top()) continue;
            const QRect box(x + cell->Left, row.Top - s, cell->Width, cell->Height);
            PaintCellBack(canvas, row, *cell, box);
            if (!row.Caption) PaintEdges(canvas, box, cell->Drawn);
            PaintCellContent(canvas, pc, x, row, *cell);
        }
    }
    return Top + FlowHeight;
}

TTableBlock::TGrid TTableBlock::Grid() const {
    return {gridTop_, gridBottom_};
}

void TTableBlock::PaintCellBack(TCanvas& canvas, const TTableRow& row, const TTableCell& cell,
                                const QRect& box) {
    const TColor back = cell.Background != kNoColor ? cell.Background : row.Background;
    if (back == kNoColor || row.Caption) return;
    // A collapsed cell's box reaches over the shared lines, which its neighbours draw too.
    const TEdges& e = cell.Drawn;
    canvas.FillRect(Collapse ? box.adjusted(e[bsLeft].Width, e[bsTop].Width, -e[bsRight].Width,
                                            -e[bsBottom].Width)
                             : box,
                    back);
}

void TTableBlock::PaintCellContent(TCanvas& canvas, TPaintContext& pc, int x, const TTableRow& row,
                                   TTableCell& cell) {
    cell.Cell.PaintCell(canvas, pc, x + cell.Left + cell.Inset(bsLeft),
                        row.Top + cell.Inset(bsTop));
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
            PaintEdges(canvas, box, cell->Drawn);
        }
    }
    const QRect outer =
        OnPage(x + TableLeft, TableWidth, grid.Top, grid.Bottom, pageTop, pageBottom, s);
    if (!any || outer.isEmpty()) return;
    PaintEdges(canvas, outer, OuterFrame());
}

void TTableBlock::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    // One pass over the cells for both answers: nested tables would otherwise cost twice per
    // level.
    TColumnRanges ranges;
    TGaps gaps;
    ColumnRanges(canvas, 0, ranges, gaps);
    minWidth = Extent(ColumnWidths(ranges, 0, gaps), gaps);
    maxWidth = std::max(minWidth, Extent(ColumnWidths(ranges, kMaxExtent, gaps), gaps));
    if (WidthAttr > 0 && !WidthPercent) minWidth = maxWidth = std::max(minWidth, WidthAttr);
}

}  // namespace kv
