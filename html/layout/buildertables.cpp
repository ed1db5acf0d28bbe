// The document builder's table reader: rows, cells with their alignment and spans, the
// caption above or below the grid, and what stands between cells, read as content before the
// table as browsers show it.

#include <algorithm>

#include "html/layout/builder.h"
#include "html/reader/units.h"
#include "platform/codec.h"

namespace kv {

namespace {

// VALIGN of a row or cell; the first lines of cells aligned on their baselines start at the
// top; an unknown value keeps `current`.
TCellVAlign CellVAlign(const std::string& value, TCellVAlign current) {
    const std::string v = cp1251::lowerText(value);
    if (v == "top" || v == "baseline") return cvTop;
    if (v == "middle" || v == "center") return cvMiddle;
    if (v == "bottom") return cvBottom;
    return current;
}

}  // namespace

void THtmlBuilder::ReadTable(const TSet& terminators) {
    CloseLink();
    FinishSection();
    PushTag("table");
    TLayoutAttrs attrs = Attributes();
    for (TLayoutAttr& a : attrs) {
        TColor color = 0;
        if (a.Name == "BGCOLOR" && ParseColor(a.Value, false, color))
            stack_.Top().SetIfUnset(piBackgroundColor, int(color));
    }
    auto table = std::make_unique<TTableBlock>(&doc_, attrs, TBoxStyle::From(stack_.Top(), 0, 0));
    TTableBlock& ref = *table;
    // The document owns the table from the start: a parse error inside a cell leaves every
    // cell the builder points to alive.
    target_->AppendSection(std::move(table));
    ref.Centered = centerDepth_ > 0;
    for (const TLayoutAttr& a : attrs) {
        TColor color = 0;
        if (a.Name == "BORDERCOLOR" && ParseColor(a.Value, false, color)) ref.BorderColor = color;
        // The table itself answers for its id, not the first text inside it.
        if (a.Name == "ID" && !a.Value.empty())
            doc_.IDNames.AddObject(cp1251::upperText(a.Value), &ref);
    }
    const int level = stack_.Count();
    TCellBasic* saved = target_;
    TSet cellEnd =
        Set({syTD, syTH, syTR, syTREnd, syTDEnd, syTHEnd, syCAPTION, syCAPTIONEnd, syTABLEEnd});
    cellEnd |= terminators;
    // Items of an enclosing list do not end a cell: a list item inside a cell is the cell's.
    cellEnd.reset(syEof).reset(syLI).reset(syDD).reset(syDT);
    TBlock* foster = nullptr;  // content found between cells
    std::size_t captionRow = std::size_t(-1);
    bool captionBelow = false;
    TCellVAlign rowAlign = cvMiddle;
    std::string rowTextAlign;
    auto finishCell = [&] {
        FinishSection();
        while (stack_.Count() > level + 1) stack_.Pop(stack_.Top().ElemTag);
    };
    reader_.NextToken();
    while (reader_.Symbol != syTABLEEnd && reader_.Symbol != syEof) {
        const TSymbol s = reader_.Symbol;
        if (s == syTR) {
            finishCell();
            ref.Rows.emplace_back();
            rowAlign = cvMiddle;
            rowTextAlign.clear();
            for (const TLayoutAttr& a : Attributes()) {
                const std::string v = cp1251::lowerText(a.Value);
                if (a.Name == "ALIGN" && (v == "left" || v == "center" || v == "right"))
                    rowTextAlign = v;
                TColor color = 0;
                if (a.Name == "BGCOLOR" && ParseColor(a.Value, false, color))
                    ref.Rows.back().Background = color;
                if (a.Name == "VALIGN") rowAlign = CellVAlign(a.Value, rowAlign);
            }
            PushTag("tr");
            reader_.NextToken();
        } else if (s == syTD || s == syTH) {
            CloseLink();
            finishCell();
            if (ref.Rows.empty()) ref.Rows.emplace_back(), PushTag("tr");
            if (stack_.Count() <= level) PushTag("tr");
            PushTag(s == syTD ? "td" : "th");
            auto cell = std::make_unique<TTableCell>(&doc_);
            cell->VAlign = rowAlign;
            for (const TLayoutAttr& a : Attributes()) {
                const std::string v = cp1251::lowerText(a.Value);
                TColor color = 0;
                if (a.Name == "ALIGN")
                    TakeAlignment(a.Value);
                else if (a.Name == "VALIGN")
                    cell->VAlign = CellVAlign(v, cell->VAlign);
                else if (a.Name == "COLSPAN")
                    cell->ColSpan = std::clamp(AttrNumber(a.Value), 1, 100);
                // Layout clamps the span to the rows the table has; 0 is 1, as browsers had it.
                else if (a.Name == "ROWSPAN")
                    cell->RowSpan = std::clamp(AttrNumber(a.Value), 1, 65534);
                else if (a.Name == "BORDERCOLOR" && ParseColor(a.Value, false, color))
                    cell->BorderColor = color;
                else if (a.Name == "NOWRAP")
                    cell->NoWrap = true;
                else if (a.Name == "BGCOLOR" && ParseColor(a.Value, false, color))
                    cell->Background = color;
                else if (a.Name == "WIDTH") {
                    cell->WidthPercent = a.Value.find('%') != std::string::npos;
                    cell->WidthAttr = std::clamp(AttrNumber(a.Value), 0, kMaxExtent);
                }
            }
            if (!rowTextAlign.empty()) stack_.Top().SetIfUnset(piTextAlign, rowTextAlign);
            if (stack_.Top().TextOf(piTextAlign) == "none")
                stack_.Top().SetIfUnset(piTextAlign, std::string(s == syTD ? "left" : "center"));
            target_ = &cell->Cell;
            ref.Rows.back().Cells.push_back(std::move(cell));
            NewSection();
            reader_.NextToken();
            ReadBody(cellEnd);
            FinishSection();
            target_ = saved;
        } else if (s == syTREnd || s == syTDEnd || s == syTHEnd || s == syCAPTIONEnd) {
            finishCell();
            reader_.NextToken();
        } else if (s == syFORM && !terminators[syFORM]) {
            // A form around rows: its controls stand in the cells.
            CloseForm();
            doc_.Forms.push_back(std::make_unique<ThtmlForm>(&doc_, Attributes()));
            openForm_ = doc_.Forms.back().get();
            reader_.NextToken();
        } else if (s == syFORMEnd && !terminators[syFORMEnd]) {
            CloseForm();
            reader_.NextToken();
        } else if (s == syCAPTION) {
            CloseLink();
            finishCell();
            for (const TLayoutAttr& a : Attributes())
                if (a.Name == "ALIGN") captionBelow = cp1251::lowerText(a.Value) == "bottom";
            PushTag("caption");
            reader_.NextToken();
            // The caption is a row of its own spanning every column, drawn outside the grid.
            captionRow = ref.Rows.size();
            ref.Rows.emplace_back();
            ref.Rows.back().Caption = true;
            auto cell = std::make_unique<TTableCell>(&doc_);
            cell->ColSpan = 0;
            target_ = &cell->Cell;
            ref.Rows.back().Cells.push_back(std::move(cell));
            NewSection();
            ReadBody(cellEnd);
            FinishSection();
            stack_.Pop("caption");
            target_ = saved;
            if (reader_.Symbol == syCAPTIONEnd) reader_.NextToken();
        } else if (terminators[s] && s != syTD && s != syTR) {
            break;
        } else if (s == syText && reader_.Token.Text.find_first_not_of(' ') == std::string::npos) {
            reader_.NextToken();  // blanks between cells
        } else {
            ReadBetweenCells(ref, foster, cellEnd);
        }
    }
    if (captionBelow && captionRow < ref.Rows.size()) {
        TTableRow caption = std::move(ref.Rows[captionRow]);
        ref.Rows.erase(ref.Rows.begin() + std::ptrdiff_t(captionRow));
        ref.Rows.push_back(std::move(caption));
    }
    finishCell();
    target_ = saved;
    stack_.Pop("table");
    NewSection();
    if (reader_.Symbol == syTABLEEnd) reader_.NextToken();
}

}  // namespace kv

namespace kv {

// Text and tags between cells are read as a body into a block that stands before the table.
void THtmlBuilder::ReadBetweenCells(TTableBlock& table, TBlock*& foster, const TSet& cellEnd) {
    TCellBasic* saved = target_;
    if (!foster) {
        auto block = std::make_unique<TBlock>(&doc_, TBoxStyle{}, "div");
        block->Document = &doc_;
        foster = block.get();
        auto& list = saved->Sections;
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const auto& section) { return section.get() == &table; });
        list.insert(at, std::move(block));
    }
    target_ = &foster->Content;
    const int before = reader_.SourceIndex;
    const TSymbol symbol = reader_.Symbol;
    NewSection();
    ReadBody(cellEnd);
    FinishSection();
    target_ = saved;
    if (reader_.SourceIndex == before && reader_.Symbol == symbol) reader_.NextToken();
}

}  // namespace kv
