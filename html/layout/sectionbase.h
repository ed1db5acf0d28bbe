#pragma once
// The base of every part of a laid-out document, and the cells that hold them: a cell is an
// ordered, owning list of sections with a top, a cursor range and a height; TCell adds its own
// float and indent manager.

#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/errors.h"
#include "html/layout/idobject.h"
#include "html/layout/indentmanager.h"
#include "html/layout/inlineobjects.h"

namespace kv {

class TCanvas;
class TFormControlObj;
class TSectionList;

// What a link hit test finds.
struct TLinkHit {
    TUrlTargetRef Target;
    TFormControlObj* FormControl = nullptr;  // an image-submit control, not owned
    int X = 0, Y = 0;                        // the point relative to an image, for controls
    // What lights up under the point (not owned): the link run and the image, also when the
    // point is on no link.
    TFontObj* Run = nullptr;
    TImageObj* Image = nullptr;
};

// What a cursor hit test finds besides the position.
struct TCursorHit {
    bool InText = false;
    int LineX = 0, LineTop = 0, LineHeight = 0;
};

class TSectionBase;
class TImageObj;

// The last line of the inline content met just before a float in the same list: the float may
// start at the line's top on the side the line leaves free. Cell-relative x, document y.
struct TLineBefore {
    int Top = 0;
    int Left = 0, Right = 0;  // where the line's content begins and ends
};

// What one layout carries down the section tree besides the geometry of the call. A cell with
// other indents, origin, cursor or baseline target lays its content out with a changed copy.
struct TLayoutContext {
    TCanvas& Canvas;         // measures the text
    IndentManager& Indents;  // margins and floats of the cell being laid out
    int& Cursor;             // the next text position
    int ViewHeight = 0;      // height of the view the document is laid out for
    // Document x of the cell being laid out: text and images inside table cells are placed in
    // document coordinates although cells lay out from their own origin.
    int OriginX = 0;
    // Receives the first text line's baseline while it holds 0 (a list item's marker); nullptr
    // when nobody asks.
    int* FirstBaseline = nullptr;
    // Set for a floating section that follows a line of inline content; nested layouts drop it.
    const TLineBefore* LineBefore = nullptr;

    TLayoutContext WithIndents(IndentManager& indents) const {
        return {Canvas, indents, Cursor, ViewHeight, OriginX, FirstBaseline};
    }
    TLayoutContext WithCursor(int& cursor) const {
        return {Canvas, Indents, cursor, ViewHeight, OriginX, FirstBaseline};
    }
    TLayoutContext WithOrigin(int originX) const {
        return {Canvas, Indents, Cursor, ViewHeight, originX, FirstBaseline};
    }
    TLayoutContext WithBaseline(int* baseline) const {
        return {Canvas, Indents, Cursor, ViewHeight, OriginX, baseline};
    }
    TLayoutContext WithLineBefore(const TLineBefore* line) const {
        return {Canvas, Indents, Cursor, ViewHeight, OriginX, FirstBaseline, line};
    }
};

// A floating image drawn after all text, where layout placed it.
struct TImageRec {
    TImageObj* Image;
    int Dx;  // the paint origin's offset from the document's
    const TFontObj* Run;
};

// What one paint carries down the section tree; the document keeps none of it.
struct TPaintContext {
    QRect Clip;                    // window coordinates
    int ScrollTop = 0;             // document y drawn at the canvas's row 0
    int SelStart = 0, SelEnd = 0;  // the selection shown (none when SelEnd < SelStart)
    bool ShowCaret = false;        // a one-pixel caret at an empty selection
    bool PrintCopy = false;        // a print copy: page breaks end the page
    // The first document row below the page; painting raises the end where a line or a row
    // must go whole to the next page.
    int PageLimitY = 0;
    std::vector<TImageRec> DrawList;  // floating images, drawn after all text
};

// A node of the section tree (a section or a cell of sections). The queries below walk the
// children in document order and return the first answer; a section that answers for itself
// (text) overrides them. Point queries visit only children that cover the point's y.
class TSectionNode {
public:
    // Returns true to stop the walk.
    using TChildVisit = std::function<bool(TSectionBase& child)>;

    virtual ~TSectionNode() = default;
    // Visits the children in document order until `visit` returns true; returns whether it did.
    virtual bool ForEachChild(const TChildVisit&) const { return false; }

    virtual bool LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit);
    virtual bool ObjectAt(int x, int y, TImageHit& hit);
    virtual int CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit);
    virtual int SearchText(int from, std::u16string_view text, bool matchCase);
    virtual int DocToSource(int cursor) const;
    // The first child that knows the position, or for `before` the last one.
    virtual int SourceToDoc(int sourcePos, bool before) const;
    virtual bool CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) const;
    virtual bool CharAt(int cursor, char16_t& ch, const TFontObj*& font) const;
    // The text section holding a text position, or nullptr.
    virtual const TSectionBase* TextSectionAt(int cursor) const;
    virtual int LineCount() const;

protected:
    // Appends the text of the children inside [selStart, selEnd) to `out`.
    void CopyChildSelection(int selStart, int selEnd, std::u16string& out) const;
};

class TSectionBase : public TIDObject, public TSectionNode {
public:
    explicit TSectionBase(TSectionList* document) : Document(document) {}
    // The clone constructor used for print copies.
    TSectionBase(const TSectionBase& source, TSectionList* document);
    ~TSectionBase() override = default;

    int TopY() const override { return Top; }
    virtual std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const;
    // Appends the text inside [selStart, selEnd) to `out`.
    virtual void CopySelection(int selStart, int selEnd, std::u16string& out) const;
    // Lays out at (x, y) for `width`; returns the section height.
    virtual int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth);
    // Paints what overlaps the context's clip; returns the y below the section.
    virtual int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x);
    // Whether the section paints anything at document y: hit tests look only where it paints,
    // so a float answers below its (empty) flow box and nothing answers where it is not seen.
    bool CoversY(int y) const { return PaintTop <= y && y < PaintBottom; }
    virtual void WidthRange(TCanvas&, int& minWidth, int& maxWidth) { minWidth = maxWidth = 0; }
    virtual void RegisterPosition();
    // A short name of the kind for diagnostics ("text", "pre", "block", ...).
    virtual const char* Kind() const { return "section"; }
    // Vertical margins of blocks; neighbouring margins collapse to the larger one.
    virtual int MarginTopValue() const { return 0; }
    virtual int MarginBottomValue() const { return 0; }
    // Placed beside the flow (a floating block): takes no height, collapses no margins.
    virtual bool Floats() const { return false; }

    // Layout writes every geometry field below (in Layout, or LayoutBox of blocks); paint and
    // hit tests read them. All y values are document y: y = 0 is the top of the document,
    // inside table cells too (only x is cell-relative there, see TLayoutContext::OriginX).
    TSectionList* Document;  // not owned
    int FlowHeight = 0;      // pixels the section takes in the flow (0 for a float)
    int PaintHeight = 0;     // pixels from PaintTop it may paint over, floats inside included
    int FirstCursor = 0;     // cursor position of the section's first character
    int Length = 0;          // cursor positions the section holds
    int SectionHeight = 0;   // copied by the clone constructor; kept for blocks
    int Top = 0;             // document y where the section was met in the flow
    int BoxBottom = 0;       // document y below the section in the flow: Top + FlowHeight
    int BoxTop = 0;          // document y of the section's box in the flow (equals Top)
    int PaintBottom = 0;     // document y below everything the section paints
    int PaintTop = 0;        // document y where it paints from: a float's own top, else Top
};

// An ordered, owning list of sections.
class TCellBasic : public TSectionNode {
public:
    explicit TCellBasic(TSectionList* owner) : Owner(owner) {}
    TCellBasic(const TCellBasic&) = delete;
    TCellBasic& operator=(const TCellBasic&) = delete;

    // Finishes a text section and appends it, or discards an empty one.
    void AppendSection(std::unique_ptr<TSectionBase> section);
    // Lays the cell out with its own indents; returns its height.
    virtual int LayoutCell(const TLayoutContext& lc, int y, int width, int& maxWidth);
    virtual void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth);
    virtual int PaintCell(TCanvas& canvas, TPaintContext& pc, int x, int y);
    bool ForEachChild(const TChildVisit& visit) const override;

    int Count() const { return int(Sections.size()); }
    TSectionBase& operator[](int i) const { return *Sections[i]; }
    void ClearSections() { Sections.clear(); }

    TSectionList* Owner;  // not owned
    int CellTop = 0;
    IndentManager* Indents = nullptr;  // owned by TCell
    int FirstCursor = 0;
    int CursorCount = 0;
    bool BkGnd = false;
    int MaxBoxBottom = 0, MinBoxTop = 0, MaxPaintBottom = 0;
    std::string OwnerTag;
    std::vector<std::unique_ptr<TSectionBase>> Sections;

    // Lays the sections out one below the other at x for width; collapses block margins.
    int LayoutSections(const TLayoutContext& lc, int x, int y, int width, int& maxWidth);
    int PaintSections(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x, int y);
};

class TCell : public TCellBasic {
public:
    explicit TCell(TSectionList* owner) : TCellBasic(owner) { Indents = &ownIndents_; }
    int LayoutCell(const TLayoutContext& lc, int y, int width, int& maxWidth) override;
    int PaintCell(TCanvas& canvas, TPaintContext& pc, int x, int y) override;

private:
    IndentManager ownIndents_;
};

// The content list of a block; the block lays it out through the enclosing cell's indents.
class TBlockCell : public TCellBasic {
public:
    using TCellBasic::TCellBasic;
};

}  // namespace kv
