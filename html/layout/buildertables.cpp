// The document builder's table reader: rows, cells with their alignment and spans, the
// caption above or below the grid, and what stands between cells, read as content before the
// table as browsers show it.

#include <algorithm>

#include "html/layout/builder.h"
#include "html/layout/builderhints.h"
#include "platform/codec.h"

namespace kv {

void THtmlBuilder::ReadTable(const TSet& terminators) {
    CloseLink();
    FinishSection();
    PushTag("table");
    const TLayoutAttrs attrs = Attributes();
    TableBackgroundHint(attrs, stack_.Top());
    TTableLook look = TableHints(attrs);
    TableStyleHints(stack_.Top(), look);
    auto block = std::make_unique<TTableBlock>(&doc_, look, TBoxStyle::From(stack_.Top(), 0, 0));
    TTableBlock& ref = *block;
    // The document owns the table from the start: a parse error inside a cell leaves every
    // cell the builder points to alive.
    target_->AppendSection(std::move(block));
    ref.Centered = centerDepth_ > 0;
    // The table itself answers for its id, not the first text inside it.
    for (const TLayoutAttr& a : attrs)
        if (a.Symbol == atID && !a.Value.empty())
            doc_.IDNames.AddObject(text::upperText(a.Value), &ref);
    TSet cellEnd =
        Set({syTD, syTH, syTR, syTREnd, syTDEnd, syTHEnd, syCAPTION, syCAPTIONEnd, syTABLEEnd});
    cellEnd |= terminators;
    // Items of an enclosing list do not end a cell: a list item inside a cell is the cell's.
    cellEnd.reset(syEof).reset(syLI).reset(syDD).reset(syDT);
    TTableRead table(ref, terminators, cellEnd, stack_.Count(), target_);
    for (reader_.NextToken(); reader_.Symbol != syTABLEEnd && reader_.Symbol != syEof;)
        if (!ReadTablePart(table)) break;
    if (table.CaptionBelow && table.CaptionRow < ref.Rows.size()) {
        TTableRow caption = std::move(ref.Rows[table.CaptionRow]);
        ref.Rows.erase(ref.Rows.begin() + std::ptrdiff_t(table.CaptionRow));
        ref.Rows.push_back(std::move(caption));
    }
    FinishCell(table);
    target_ = table.Outside;
    stack_.Pop("table");
    NewSection();
    if (reader_.Symbol == syTABLEEnd) reader_.NextToken();
}

// One token of a table's content; false for a terminator of the caller, which ends the table.
bool THtmlBuilder::ReadTablePart(TTableRead& table) {
    const TSymbol s = reader_.Symbol;
    if (s == syTR) {
        ReadTableRow(table);
    } else if (s == syTD || s == syTH) {
        ReadTableCell(table);
    } else if (s == syTREnd || s == syTDEnd || s == syTHEnd || s == syCAPTIONEnd) {
        FinishCell(table);
        reader_.NextToken();
    } else if (s == syFORM && !table.Terminators[syFORM]) {
        // A form around rows: its controls stand in the cells.
        CloseForm();
        doc_.Forms.push_back(std::make_unique<ThtmlForm>(&doc_, Attributes()));
        openForm_ = doc_.Forms.back().get();
        reader_.NextToken();
    } else if (s == syFORMEnd && !table.Terminators[syFORMEnd]) {
        CloseForm();
        reader_.NextToken();
    } else if (s == syCAPTION) {
        ReadCaption(table);
    } else if (table.Terminators[s]) {
        return false;
    } else if (s == syText && reader_.Token.Text.find_first_not_of(' ') == std::string::npos) {
        reader_.NextToken();  // blanks between cells
    } else {
        ReadBetweenCells(table);
    }
    return true;
}

void THtmlBuilder::FinishCell(const TTableRead& table) {
    FinishSection();
    while (stack_.Count() > table.Level + 1) stack_.Pop(stack_.Top().ElemTag);
}

void THtmlBuilder::ReadTableRow(TTableRead& table) {
    FinishCell(table);
    table.Table.Rows.emplace_back();
    table.Row = RowHints(Attributes());
    PushTag("tr");
    RowStyleHints(stack_.Top(), table.Row);
    table.Table.Rows.back().Background = table.Row.Background;
    reader_.NextToken();
}

void THtmlBuilder::ReadTableCell(TTableRead& table) {
    const bool header = reader_.Symbol == syTH;
    CloseLink();
    FinishCell(table);
    TTableBlock& ref = table.Table;
    if (ref.Rows.empty()) ref.Rows.emplace_back(), PushTag("tr");
    if (stack_.Count() <= table.Level) PushTag("tr");
    PushTag(header ? "th" : "td");
    auto cell = std::make_unique<TTableCell>(&doc_);
    cell->VAlign = table.Row.VAlign;
    cell->AlignBaseline = table.Row.Baseline;
    TProperties& style = stack_.Top();
    CellHints(Attributes(), *cell, style);
    CellStyleHints(style, ref, *cell);
    if (!table.Row.TextAlign.empty()) style.SetIfUnset(piTextAlign, table.Row.TextAlign);
    if (style.TextOf(piTextAlign) == "none")
        style.SetIfUnset(piTextAlign, std::string(header ? "center" : "left"));
    target_ = &cell->Cell;
    ref.Rows.back().Cells.push_back(std::move(cell));
    NewSection();
    reader_.NextToken();
    ReadBody(table.CellEnd);
    FinishSection();
    target_ = table.Outside;
}

// The caption is a row of its own spanning every column, drawn outside the grid.
void THtmlBuilder::ReadCaption(TTableRead& table) {
    CloseLink();
    FinishCell(table);
    table.CaptionBelow = CaptionBelow(Attributes(), table.CaptionBelow);
    PushTag("caption");
    reader_.NextToken();
    TTableBlock& ref = table.Table;
    table.CaptionRow = ref.Rows.size();
    ref.Rows.emplace_back();
    ref.Rows.back().Caption = true;
    auto cell = std::make_unique<TTableCell>(&doc_);
    cell->ColSpan = 0;
    CellStyleHints(stack_.Top(), ref, *cell);
    target_ = &cell->Cell;
    ref.Rows.back().Cells.push_back(std::move(cell));
    NewSection();
    ReadBody(table.CellEnd);
    FinishSection();
    stack_.Pop("caption");
    target_ = table.Outside;
    if (reader_.Symbol == syCAPTIONEnd) reader_.NextToken();
}

// Text and tags between cells are read as a body into a block that stands before the table.
void THtmlBuilder::ReadBetweenCells(TTableRead& table) {
    TCellBasic* saved = target_;
    if (!table.Foster) {
        auto block = std::make_unique<TBlock>(&doc_, TBoxStyle{}, "div");
        block->Document = &doc_;
        table.Foster = block.get();
        auto& list = saved->Sections;
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const auto& section) { return section.get() == &table.Table; });
        list.insert(at, std::move(block));
    }
    target_ = &table.Foster->Content;
    const int before = reader_.SourceIndex;
    const TSymbol symbol = reader_.Symbol;
    NewSection();
    ReadBody(table.CellEnd);
    FinishSection();
    target_ = saved;
    if (reader_.SourceIndex == before && reader_.Symbol == symbol) reader_.NextToken();
}

}  // namespace kv
