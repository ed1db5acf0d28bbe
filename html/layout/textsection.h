#pragma once
// A run of inline content: one paragraph's characters with their font runs, images and panels.
// Text is broken into lines here, each line's height and baseline found, text painted (link
// fonts, selection, caret) and points turned into character positions and back. TPreFormated
// never wraps.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/formcontrols.h"
#include "html/layout/layouttypes.h"
#include "html/layout/sectionbase.h"
#include "html/reader/properties.h"

namespace kv {

// Characters with a meaning of their own in a section's text.
enum : unsigned char {
    chControl = 2,         // a form control; a break opportunity
    chImage = 4,           // an image or panel; a break opportunity
    chNoBreakSpace5 = 5,   // a space added in no-break mode (never stays in the text)
    chNoBreakControl = 6,  // a form control in a no-break run
    chNoBreakImage = 7,    // an image or panel in a no-break run
    chBreak = 8,           // hard line break
    chNbsp = 160,
};

// A character standing for an inline object (image, panel or form control).
inline bool IsPlaceholder(char16_t c) {
    return c == chControl || c == chImage || c == chNoBreakControl || c == chNoBreakImage;
}
// A character standing for an image or panel.
inline bool IsImageChar(char16_t c) {
    return c == chImage || c == chNoBreakImage;
}

// One laid-out line of a text section. TSection::FinishLine (or BlankLine) writes every field
// during layout; paint and hit tests only read them. Heights and widths are pixels, no frame.
struct LineRec {
    int FirstChar = 0;        // index into the section's Text of the line's first character
    int ExtraAbove = 0;       // pixels above the text: half the leading (negative when the line
                              // height is under the font's) or room for taller inline objects
    int ExtraBelow = 0;       // pixels below the text: the other half, or objects hanging lower
    int TextHeight = 0;       // the tallest run's font height
    int LinePaintHeight = 0;  // pixels the line paints over, floats beside it included
    int CharCount = 0;        // characters on the line
    int MaxDescent = 0;       // the deepest run's descent, pixels below the baseline
    int IndentX = 0;          // x of the line's start relative to the section's LayoutX
    int PaintedX = 0;         // document x of the line's start
    int AvailWidth = 0;       // width between the indents at the line's y
    int PaintedY = 0;         // document y of the line's text top (below ExtraAbove)
    int Spaces = 0;           // a justified line: the spaces that share the stretch
    int Stretch = 0;          // a justified line: pixels added over its spaces
    int FirstIndent = 0;      // the first line's own indent, included in IndentX
    int Height() const { return TextHeight + ExtraAbove + ExtraBelow; }
};

struct IndexObj {
    int Pos;        // character position
    int SourcePos;  // source position of that character
};

// How a section looks, from the style the builder computed for its element.
struct TSectionStyle {
    TFontSpec Font;
    THAlign Alignment = haLeft;
    TSide ClearSide = sdNone;
    int LineHeight = 0;             // line height in pixels; 0: as the fonts give it
    bool LineHeightScales = false;  // given as a factor: taller text on a line scales it
    int IndentPixels = 0;           // the first line's indent ...
    double IndentPercent = 0;       // ... plus this share of the section's width
};

class TSection : public TSectionBase {
public:
    TSection(TSectionList* document, const TSectionStyle& style);
    TSection(const TSection& source, TSectionList* document);

    // ---- building
    void SwitchFont(const TFontSpec& font, std::uint8_t verticalScript = 0);
    // Start (true) or end of a link: link fonts and the target at a start, the plain font at
    // an end.
    void SwitchLinkFont(bool start, const TFontSpec& font, const TFontSpec* visited,
                        const TFontSpec* hover, const TUrlTargetRef& target);
    TImageObj* AppendImage(const TLayoutAttrs& attributes, int sourcePos, bool noBreak = false);
    TPanelObj* AppendPanel(std::unique_ptr<TPanelControl> control, const TLayoutAttrs& attributes,
                           int sourcePos, bool noBreak = false);
    // Makes the control of an INPUT, SELECT or TEXTAREA (`tag` in lower case) for the form and
    // places it: a hidden field gets no character, an image-submit an image object (character
    // 4, or 7 in a no-break run), every other control character 2 (6 in a no-break run).
    TFormControlObj* AppendControl(std::string_view tag, ThtmlForm& form,
                                   const TLayoutAttrs& attributes, int sourcePos,
                                   bool noBreak = false);
    virtual void AppendChar(char16_t ch, int sourcePos);
    // Characters with the source position of each; `noBreak` marks text of a no-break run.
    virtual void AppendToken(std::u16string_view text, std::span<const int> sourcePos,
                             bool noBreak = false);
    void Seal();
    void Reserve(int n);
    void ForceContent(int sourcePos);
    bool Sealed() const { return sealed_; }

    // ---- TSectionBase
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    void CopySelection(int selStart, int selEnd, std::u16string& out) const override;
    int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) override;
    int Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) override;
    bool LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) override;
    bool ObjectAt(int x, int y, TImageHit& hit) override;
    int CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit) override;
    int SearchText(int from, std::u16string_view text, bool matchCase) override;
    int DocToSource(int cursor) const override;
    int SourceToDoc(int sourcePos, bool before) const override;
    bool CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) const override;
    bool CharAt(int cursor, char16_t& ch, const TFontObj*& font) const override;
    const TSectionBase* TextSectionAt(int cursor) const override;
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    const char* Kind() const override { return "text"; }
    int LineCount() const override { return int(LineList.size()); }

    // Width of `count` characters from `start`; with trim, trailing breaks and spaces are not
    // counted (at least one character is).
    int MeasureText(TCanvas& canvas, int start, bool trim, int count) const;
    // x of the character `count` places into the line, from the line's start: the width of
    // what precedes it and the stretch a justified line gave the spaces among that.
    int LineOffset(TCanvas& canvas, const LineRec& line, int count) const;
    // The control standing at character p, or nullptr.
    TFormControlObj* ControlAt(int p) const;

    std::u16string Text;  // UTF-16; the characters above keep their codes
    std::vector<int> SourcePos;
    int Capacity = 0;
    TFontList FontRuns;
    TImageObjList Objects;
    std::vector<TFormControlObj*> Controls;  // in placeholder order; owned by their forms
    std::vector<IndexObj> SourceIndex;
    std::vector<LineRec> LineList;
    TFontSpec BaseFont;
    THAlign Alignment = haLeft;
    TSide ClearSide = sdNone;
    int LineHeight = 0;
    bool LineHeightScales = false;
    int IndentPixels = 0;
    double IndentPercent = 0;
    int PaintX = 0;      // screen x of the section during a paint
    int DocX = 0;        // document x of the section's origin, set by layout
    int LayoutX = 0;     // x given to the last layout, relative to the cell
    int StartRight = 0;  // right side at the top minus x
    bool KeepWhenEmpty = false;

protected:
    struct TLayoutState;
    virtual bool Wraps() const { return true; }
    int FitCount(TCanvas& canvas, int start, std::vector<TFloatingObj*>& floatsAfter,
                 int& floatHeight, IndentManager& indents, int y, int max, TLayoutState& state);
    void FinishLine(TCanvas& canvas, int start, int n, IndentManager& indents, int x,
                    TLayoutState& state, const std::vector<TFloatingObj*>& floatsAfter,
                    int floatHeight);
    void BlankLine(int start, int height, TLayoutState& state);
    // The indent of the line about to be fitted between the edges l and r.
    int FirstLineIndent(int l, int r, const TLayoutState& state) const;
    // Spreads `stretch` pixels over the spaces of a line that is not its paragraph's last.
    void Justify(LineRec& line, int stretch);
    void LineHeights(LineRec& line, int y);
    int WordEnd(int j) const;
    int ClearDistance(const IndentManager& indents, int y) const;
    void LayoutText(TCanvas& canvas, int x, IndentManager& indents, int& maxWidth,
                    TLayoutState& state);
    void SizeObjects(TCanvas& canvas, int width, int& maxWidth);
    void AppendRaw(std::u16string_view text, std::span<const int> sourcePos);
    bool OnlyFloatingImages() const;
    TFontObj& NewRun(const TFontSpec& font);
    // Adds a run to the document's LinkRuns (once).
    void ListLinkRun(TFontObj* run);
    int CharsInPiece(int p, int end) const;
    // How many of the n characters of one font run from p fit `room` pixels; when all fit,
    // their width is added to `used`.
    int FitRun(TCanvas& canvas, int p, int n, int room, int& used) const;
    // Width a placeholder takes in a line (floating images take none).
    int PlaceholderWidth(int p) const;
    // Final document positions of the line's images once its spaces are known.
    void PlaceLineObjects(TCanvas& canvas, const LineRec& line, int lineTop, int originX);
    void LineControls(int start, int n, int textHeight, int maxDescent, int y, int& above,
                      int& below);
    void PaintControl(TCanvas& canvas, TFormControlObj& control, const LineRec& line, int y, int x,
                      int s);
    void PaintLine(TCanvas& canvas, TPaintContext& pc, const LineRec& line, int& y, int x,
                   const IndentManager& indents);
    void PaintPlaceholder(TCanvas& canvas, TPaintContext& pc, const LineRec& line, int p, int y,
                          int& cx, int dx, const IndentManager& indents);
    void PaintText(TCanvas& canvas, const TPaintContext& pc, int p, int n, const TFontObj& run,
                   bool selected, int& x, int baseline, bool lineEnd);
    int SelectionRun(const TPaintContext& pc, int p, bool& selected) const;
    int CharsBeforeX(TCanvas& canvas, const LineRec& line, int dx) const;

    bool sealed_ = false;
};

class TPreFormated : public TSection {
public:
    using TSection::TSection;
    void AppendToken(std::u16string_view text, std::span<const int> sourcePos,
                     bool noBreak = false) override;
    int Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) override;
    void WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) override;
    std::unique_ptr<TSectionBase> CloneFor(TSectionList* document) const override;
    const char* Kind() const override { return "pre"; }

protected:
    bool Wraps() const override { return false; }
};

// Case folding for the text search (the Windows-1251 rules for the characters the code page has,
// Unicode's for the rest).
bool EqualNoCase(std::string_view a, std::string_view b);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace kv
