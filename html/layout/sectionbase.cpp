#include "html/layout/sectionbase.h"

#include <algorithm>
#include <optional>

#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"

namespace kv {

TSectionBase::TSectionBase(const TSectionBase& source, TSectionList* document)
    : Document(document), FlowHeight(source.FlowHeight), SectionHeight(source.SectionHeight) {}

std::unique_ptr<TSectionBase> TSectionBase::CloneFor(TSectionList* document) const {
    return std::make_unique<TSectionBase>(*this, document);
}

int TSectionBase::Layout(const TLayoutContext& lc, int, int y, int, int&) {
    FirstCursor = lc.Cursor;
    PaintHeight = FlowHeight;
    Top = BoxTop = PaintTop = y;
    BoxBottom = y + FlowHeight;
    PaintBottom = y + PaintHeight;
    return FlowHeight;
}

int TSectionBase::Paint(TCanvas&, TPaintContext&, IndentManager&, int) {
    return PaintTop + FlowHeight;
}

void TSectionBase::RegisterPosition() {
    if (Document) Document->Positions.push_back(this);
    ForEachChild([](TSectionBase& child) {
        child.RegisterPosition();
        return false;
    });
}

void TSectionBase::CopySelection(int selStart, int selEnd, std::u16string& out) const {
    CopyChildSelection(selStart, selEnd, out);
}

// ---------------------------------------------------------------- queries over the children

bool TSectionNode::LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) {
    return ForEachChild(
        [&](TSectionBase& child) { return child.CoversY(y) && child.LinkAt(canvas, x, y, hit); });
}

bool TSectionNode::ObjectAt(int x, int y, TImageHit& hit) {
    return ForEachChild(
        [&](TSectionBase& child) { return child.CoversY(y) && child.ObjectAt(x, y, hit); });
}

int TSectionNode::CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit) {
    int result = -1;
    ForEachChild([&](TSectionBase& child) {
        if (child.CoversY(y)) result = child.CursorAt(canvas, x, y, hit);
        return result >= 0;
    });
    return result;
}

int TSectionNode::SearchText(int from, std::u16string_view text, bool matchCase) {
    int result = -1;
    ForEachChild([&](TSectionBase& child) {
        result = child.SearchText(from, text, matchCase);
        return result >= 0;
    });
    return result;
}

int TSectionNode::DocToSource(int cursor) const {
    int result = -1;
    ForEachChild([&](TSectionBase& child) {
        result = child.DocToSource(cursor);
        return result >= 0;
    });
    return result;
}

int TSectionNode::SourceToDoc(int sourcePos, bool before) const {
    int result = -1;
    ForEachChild([&](TSectionBase& child) {
        const int c = child.SourceToDoc(sourcePos, before);
        if (c >= 0) result = c;
        return c >= 0 && !before;
    });
    return result;
}

bool TSectionNode::CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) const {
    return ForEachChild(
        [&](TSectionBase& child) { return child.CursorToPoint(canvas, cursor, y, x); });
}

bool TSectionNode::CharAt(int cursor, char16_t& ch, const TFontObj*& font) const {
    return ForEachChild([&](TSectionBase& child) { return child.CharAt(cursor, ch, font); });
}

const TSectionBase* TSectionNode::TextSectionAt(int cursor) const {
    const TSectionBase* found = nullptr;
    ForEachChild([&](TSectionBase& child) {
        found = child.TextSectionAt(cursor);
        return found != nullptr;
    });
    return found;
}

int TSectionNode::LineCount() const {
    int n = 0;
    ForEachChild([&](TSectionBase& child) {
        n += child.LineCount();
        return false;
    });
    return n;
}

void TSectionNode::CopyChildSelection(int selStart, int selEnd, std::u16string& out) const {
    // Cursor positions grow down the tree: nothing after the selection's end is visited.
    ForEachChild([&](TSectionBase& child) {
        if (child.FirstCursor >= selEnd) return true;
        if (child.FirstCursor + child.Length > selStart) child.CopySelection(selStart, selEnd, out);
        return false;
    });
}

// ---------------------------------------------------------------- cells

namespace {

// The link runs of a discarded section die with it. They were registered while the section
// was built, so they sit at the end of the list: search from the back, and only for runs that
// were listed, instead of scanning the whole document's list for every run.
void DropLinkRuns(std::vector<TFontObj*>& linkRuns, const TFontList& runs) {
    for (int i = runs.Count() - 1; i >= 0; --i) {
        TFontObj* run = &runs[i];
        if (!run->Listed) continue;
        const auto found = std::find(linkRuns.rbegin(), linkRuns.rend(), run);
        if (found != linkRuns.rend()) linkRuns.erase(std::next(found).base());
    }
}

// The last line of a text section, unless it ends in a forced break (what follows starts a
// new line) or holds nothing.
std::optional<TLineBefore> LastLineOf(const TSectionBase& section, TCanvas& canvas) {
    const auto* text = dynamic_cast<const TSection*>(&section);
    if (!text || text->LineList.empty()) return std::nullopt;
    const LineRec& line = text->LineList.back();
    if (line.CharCount <= 0 || text->Text[line.FirstChar + line.CharCount - 1] == char16_t(chBreak))
        return std::nullopt;
    TLineBefore before;
    before.Top = line.PaintedY - line.ExtraAbove;
    before.Left = text->LayoutX + line.IndentX;
    before.Right = before.Left + text->MeasureText(canvas, line.FirstChar, true, line.CharCount);
    return before;
}

}  // namespace

void TCellBasic::AppendSection(std::unique_ptr<TSectionBase> section) {
    if (!section) return;
    if (auto* text = dynamic_cast<TSection*>(section.get())) {
        text->Seal();
        const bool pre = dynamic_cast<TPreFormated*>(text) != nullptr;
        if (!pre && text->Text.empty() && !text->KeepWhenEmpty) {
            if (Owner) DropLinkRuns(Owner->LinkRuns, text->FontRuns);
            return;
        }
    }
    section->Document = Owner;
    Sections.push_back(std::move(section));
}

int TCellBasic::LayoutCell(const TLayoutContext& lc, int y, int width, int& maxWidth) {
    CellTop = y;
    FirstCursor = lc.Cursor;
    const int height =
        Indents ? LayoutSections(lc.WithIndents(*Indents), 0, y, width, maxWidth) : 0;
    CursorCount = lc.Cursor - FirstCursor;
    return height;
}

int TCellBasic::LayoutSections(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    maxWidth = 0;
    int height = 0, previousBottom = 0;
    for (std::size_t i = 0; i < Sections.size();) {
        TSectionBase& section = *Sections[i];
        const int collapse =
            section.Floats() ? 0 : std::min(previousBottom, std::max(0, section.MarginTopValue()));
        int sectionWidth = 0;
        // A float may rise beside the line of inline content just before it.
        const std::optional<TLineBefore> line =
            section.Floats() && i > 0 ? LastLineOf(*Sections[i - 1], lc.Canvas) : std::nullopt;
        try {
            height += section.Layout(lc.WithLineBefore(line ? &*line : nullptr), x,
                                     y + height - collapse, width, sectionWidth) -
                      collapse;
        } catch (const EProcessError& failure) {
            // Reported and dropped; the rest of the document lays out normally.
            Owner->Host().ReportFailure(failure.what());
            Sections.erase(Sections.begin() + std::ptrdiff_t(i));
            continue;
        }
        if (!section.Floats()) previousBottom = std::max(0, section.MarginBottomValue());
        maxWidth = std::max(maxWidth, sectionWidth);
        ++i;
    }
    return height;
}

void TCellBasic::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    minWidth = maxWidth = 0;
    for (const auto& section : Sections) {
        int mn = 0, mx = 0;
        section->WidthRange(canvas, mn, mx);
        minWidth = std::max(minWidth, mn);
        maxWidth = std::max(maxWidth, mx);
    }
}

int TCellBasic::PaintSections(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x,
                              int y) {
    int bottom = y;
    for (const auto& section : Sections) {
        // Tops only grow down the list (a float rises no higher than the line before it):
        // nothing below the clip is visited.
        const int top = std::min(section->Top, section->PaintTop);
        if (top - pc.ScrollTop > pc.Clip.bottom() && !canvas.IsPrinter()) break;
        bottom = section->Paint(canvas, pc, indents, x);
    }
    return bottom;
}

int TCellBasic::PaintCell(TCanvas& canvas, TPaintContext& pc, int x, int y) {
    return Indents ? PaintSections(canvas, pc, *Indents, x, y) : y;
}

bool TCellBasic::ForEachChild(const TChildVisit& visit) const {
    for (const auto& section : Sections)
        if (visit(*section)) return true;
    return false;
}

int TCell::LayoutCell(const TLayoutContext& lc, int y, int width, int& maxWidth) {
    IndentManager& indents = *Indents;
    indents.ClearAll();
    indents.SetEdges(0, width);
    indents.Width = width;
    TIndentOwnerScope owner(indents, this);
    const int left = indents.AddLeft(0, y), right = indents.AddRight(width, y);
    const int height = TCellBasic::LayoutCell(lc, y, width, maxWidth);
    indents.CloseLeft(left, y + height);
    indents.CloseRight(right, y + height);
    return std::max(height, indents.LowestFloat() - y);
}

int TCell::PaintCell(TCanvas& canvas, TPaintContext& pc, int x, int y) {
    Indents->SetEdges(x, x + Indents->Width);
    return PaintSections(canvas, pc, *Indents, x, y);
}

}  // namespace kv
