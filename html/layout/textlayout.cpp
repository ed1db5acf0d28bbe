// Line breaking and layout of a text section: lines fitted between the indents, floating
// images placed at the side, every line's height, baseline and document position.

#include <algorithm>
#include <cmath>

#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "platform/canvas.h"
#include "platform/scopedvalue.h"

namespace kv {

struct TSection::TLayoutState {
    int y = 0;        // running document y
    int y0 = 0;       // the section's top
    int originX = 0;  // document x of the cell's origin
    int floatBottom = 0;
    int indent = 0;                           // the first line's indent, resolved for this width
    bool indentPending = false;               // no line with text finished yet
    std::vector<const TFloatingObj*> placed;  // floats placed during this layout
};

// ---------------------------------------------------------------- line breaking

namespace {

// Characters measured at a time while a line is fitted: a piece of one font may run to the end
// of a long paragraph, and only a line's worth of it is wanted.
constexpr int kFitStretch = 64;

// How many characters of `piece` (at p) fit in `room`, from one pass over them; their width
// goes to `used` when all of them fit.
int FitPiece(TCanvas& canvas, const TFontList& runs, int p, std::u16string_view piece, int room,
             int& used) {
    int overhang = 0;
    const TFontObj* run = runs.FontAt(p, overhang);
    int extent = 0;
    const int fit = canvas.Measure(run->CurrentFont()).FitCount(piece, room + overhang, extent);
    if (fit >= int(piece.size())) used += extent - overhang;
    return fit;
}

}  // namespace

int TSection::FirstLineIndent(int l, int r, const TLayoutState& state) const {
    if (!state.indentPending) return 0;
    // A hanging indent may reach into the margin but not past the document's left edge; a wide
    // one still leaves the first word its line, from the right edge on.
    return std::clamp(state.indent, -(state.originX + l), std::max(0, r - l));
}

int TSection::FitCount(TCanvas& canvas, int start, std::vector<TFloatingObj*>& floatsAfter,
                       int& floatHeight, IndentManager& indents, int y, int max,
                       TLayoutState& state) {
    const int l = indents.LeftEdgeForText(y), r = indents.RightEdgeForText(y);
    const int available = Wraps() ? r - l - FirstLineIndent(l, r, state) : kMaxExtent;
    int used = 0, result = 0;
    bool atStart = true;
    while (result < max) {
        const int p = start + result;
        const char16_t c = Text[p];
        if (IsPlaceholder(c)) {
            TFloatingObj* obj = IsImageChar(c) ? Objects.ObjectAt(p) : nullptr;
            if (obj && obj->Floats()) {
                const bool done =
                    std::find(state.placed.begin(), state.placed.end(), obj) != state.placed.end();
                if (!done && atStart) {
                    obj->DrawY = y;  // where it is placed; its final place follows the line's
                    indents.PlaceFloatImage(y, *obj);
                    state.placed.push_back(obj);
                    floatHeight = std::max(floatHeight, obj->TotalHeight());
                    used += obj->TotalWidth();
                } else if (!done) {
                    floatsAfter.push_back(obj);
                }
                if (used > available) break;
                ++result;
                continue;
            }
            if (obj || !IsImageChar(c)) {
                used += PlaceholderWidth(p);
                if (used > available) break;
            }
            ++result;
            atStart = false;
            continue;
        }
        const int length = CharsInPiece(p, std::min(start + max, p + kFitStretch));
        const std::u16string_view piece = std::u16string_view(Text).substr(p, length);
        const int fit = FitPiece(canvas, FontRuns, p, piece, available - used, used);
        result += fit;
        atStart = false;
        if (fit < length) break;
    }
    result = std::min(result, max);
    // A forced break within what fits ends the line after it (one just past it counts too).
    const std::size_t brk =
        std::u16string_view(Text).substr(start, std::min(result + 1, max)).find(char16_t(chBreak));
    if (brk != std::u16string_view::npos && result >= int(brk)) result = int(brk) + 1;
    return result;
}

int TSection::ClearDistance(const IndentManager& indents, int y) const {
    int cl = 0, cr = 0;
    indents.ClearLevels(cl, cr);
    const int left = std::max(0, cl - y - 1), right = std::max(0, cr - y - 1);
    switch (ClearSide) {
    case sdLeft: return left;
    case sdRight: return right;
    case sdBoth: return std::max(left, right);
    case sdNone: return 0;
    }
    return 0;
}

void TSection::BlankLine(int start, int height, TLayoutState& state) {
    LineRec line;
    line.TextHeight = height;
    line.LinePaintHeight = height;
    line.FirstChar = start;
    line.PaintedX = DocX;
    line.PaintedY = state.y;
    LineList.push_back(line);
    FlowHeight += height;
    state.y += height;
}

// The text's height and descent on the line, and the room above and below it that the minimum
// line height and the line's inline images and controls ask for.
void TSection::LineHeights(LineRec& line, int y) {
    const int start = line.FirstChar, n = line.CharCount;
    bool onlyPlaceholders = true;
    for (int i = start; i < start + n && onlyPlaceholders; ++i)
        onlyPlaceholders = IsPlaceholder(Text[i]);
    if (!onlyPlaceholders) {
        int index = 0;
        FontRuns.RunAt(start, index);
        for (int i = std::max(index, 0); i < FontRuns.Count(); ++i) {
            const TFontObj& run = FontRuns[i];
            if (run.RunStart >= start + n) break;
            line.TextHeight = std::max(line.TextHeight, run.FontHeight);
            line.MaxDescent = std::max(line.MaxDescent, run.Descent);
        }
    }
    int above = 0, below = 0;
    if (LineHeight > 0) {
        // Half the leading above the text, half below; a line height under the font's own
        // draws the lines closer than the text is high.
        int height = LineHeight;
        const int base = FontRuns.Count() > 0 ? FontRuns[0].FontHeight : 0;
        if (LineHeightScales && base > 0 && line.TextHeight > base)
            height =
                int(std::min<long long>(kMaxExtent, 1LL * LineHeight * line.TextHeight / base));
        const int d = height - line.TextHeight;
        above = d / 2;
        below = d - above;
    }
    const int th = line.TextHeight;
    for (int i = 0; i < Objects.Count(); ++i) {
        TFloatingObj& obj = Objects[i];
        if (obj.Pos < start || obj.Pos >= start + n || obj.Floats()) continue;
        obj.DrawY = y;
        const int h = obj.TotalHeight();
        if (obj.Align == alTop) {
            below = std::max(below, h - th);
        } else if (obj.Align == alMiddle) {
            const int k = (h - th) / 2;
            below = std::max(below, k);
            above = std::max(above, h - th - k);
        } else if (obj.Align == alBottom) {
            above = std::max(above, h + line.MaxDescent - th);
        }
    }
    LineControls(start, n, th, line.MaxDescent, y, above, below);
    line.ExtraAbove = above;
    line.ExtraBelow = below;
}

void TSection::FinishLine(TCanvas& canvas, int start, int n, IndentManager& indents, int x,
                          TLayoutState& state, const std::vector<TFloatingObj*>& floatsAfter,
                          int floatHeight) {
    LineRec line;
    line.FirstChar = start;
    line.CharCount = n;
    LineHeights(line, state.y);
    const int r = indents.RightEdgeForText(state.y);
    int l = indents.LeftEdgeForText(state.y);
    line.FirstIndent = FirstLineIndent(l, r, state);
    l += line.FirstIndent;
    if (line.CharCount > 0) state.indentPending = false;
    // The width of the text matters to centred, right-aligned and justified lines and to those
    // that never wrap; a left-aligned line is not measured again.
    const bool leftWrapped = Alignment == haLeft && Wraps();
    const int trimmed = leftWrapped ? 0 : MeasureText(canvas, start, true, n);
    switch (Alignment) {
    case haCenter: line.IndentX = (l + r - trimmed) / 2 - x; break;
    case haRight: line.IndentX = r - x - trimmed; break;
    case haJustify:
        line.IndentX = l - x;
        if (Wraps()) Justify(line, r - l - trimmed);
        break;
    default: line.IndentX = l - x; break;  // haLeft
    }
    line.AvailWidth = r - l;
    if (!Wraps()) {
        // A line that never wraps reaches as far as its text, past the edges if need be.
        line.IndentX = l - x;
        line.AvailWidth = std::max(line.AvailWidth, trimmed);
    }
    line.PaintedX = DocX + line.IndentX;
    line.PaintedY = state.y + line.ExtraAbove;
    const int lineTop = state.y;
    const int height = line.Height();
    FlowHeight += height;
    state.y += height;
    line.LinePaintHeight = std::max(height, floatHeight);
    for (TFloatingObj* obj : floatsAfter) {
        obj->DrawY = state.y;
        indents.PlaceFloatImage(state.y, *obj);
        state.placed.push_back(obj);
        line.LinePaintHeight = std::max(line.LinePaintHeight, height + obj->TotalHeight());
        state.floatBottom = std::max(state.floatBottom, state.y + obj->TotalHeight());
    }
    PlaceLineObjects(canvas, line, lineTop, state.originX);
    LineList.push_back(line);
}

void TSection::Justify(LineRec& line, int stretch) {
    const int end = line.FirstChar + line.CharCount;
    int last = end - 1;  // the line's last character that is not a space
    while (last >= line.FirstChar && Text[last] == ' ') --last;
    // The paragraph's last line and one ended by a forced break keep their natural spacing.
    if (stretch <= 0 || last < line.FirstChar || end >= int(Text.size()) ||
        Text[last] == char16_t(chBreak))
        return;
    line.Spaces = int(std::count(Text.begin() + line.FirstChar, Text.begin() + last, u' '));
    line.Stretch = line.Spaces > 0 ? stretch : 0;
}

void TSection::PlaceLineObjects(TCanvas& canvas, const LineRec& line, int lineTop, int originX) {
    const int baseline = lineTop + line.ExtraAbove + line.TextHeight - line.MaxDescent;
    for (int i = 0; i < Objects.Count(); ++i) {
        auto* image = dynamic_cast<TImageObj*>(&Objects[i]);
        if (!image || image->Pos < line.FirstChar || image->Pos >= line.FirstChar + line.CharCount)
            continue;
        int overhang = 0;
        const TFontObj* run = FontRuns.FontAt(image->Pos, overhang);
        if (image->Floats()) {
            // Floats placed at the line's start stand at its top, those that followed text
            // below it: DrawY holds the y each was placed at.
            image->Place(originX + image->FloatX, run, baseline, image->DrawY);
            continue;
        }
        const int x = line.PaintedX + LineOffset(canvas, line, image->Pos - line.FirstChar);
        image->Place(x + image->SpaceLeft, run, baseline, lineTop);
    }
}

// Controls of a line record its y and widen its spaces by their alignment.
void TSection::LineControls(int start, int n, int th, int maxDescent, int y, int& above,
                            int& below) {
    auto it = std::lower_bound(Controls.begin(), Controls.end(), start,
                               [](const TFormControlObj* c, int pos) { return c->Pos < pos; });
    for (; it != Controls.end() && (*it)->Pos < start + n; ++it) {
        TFormControlObj& control = **it;
        control.Top = y;
        const int h = control.TotalHeight();
        switch (control.VAlign) {
        case caTop: below = std::max(below, h - th); break;
        case caMiddle: {
            // The space above is what the control reaches above the text, as for images.
            const int k = (h - th) / 2;
            below = std::max(below, k);
            above = std::max(above, h - th - k);
            break;
        }
        case caBaseline: above = std::max(above, h - th + maxDescent); break;
        default: above = std::max(above, h - th); break;
        }
    }
}

void TSection::SizeObjects(TCanvas& canvas, int width, int& maxWidth) {
    for (int i = 0; i < Objects.Count(); ++i) {
        TFloatingObj& obj = Objects[i];
        if (auto* image = dynamic_cast<TImageObj*>(&obj)) {
            int overhang = 0;
            image->Size(canvas, width, FontRuns.FontAt(obj.Pos, overhang));
        } else if (auto* panel = dynamic_cast<TPanelObj*>(&obj); panel && panel->Control) {
            panel->ObjWidth = panel->Control->Width();
            panel->ObjHeight = panel->Control->Height();
        }
        maxWidth = std::max(maxWidth, obj.ObjWidth);
    }
    for (const TFormControlObj* control : Controls) maxWidth = std::max(maxWidth, control->Width);
}

// Past the rest of the word from j, with a break that follows it or the spaces after it.
int TSection::WordEnd(int j) const {
    const int n = int(Text.size());
    while (j < n && Text[j] != ' ' && Text[j] != char16_t(chControl) &&
           Text[j] != char16_t(chImage) && Text[j] != char16_t(chBreak))
        ++j;
    if (j < n && Text[j] == char16_t(chBreak))
        return j + 1;  // a break after the word ends its line
    while (j < n && Text[j] == ' ') ++j;
    return j;
}

void TSection::LayoutText(TCanvas& canvas, int x, IndentManager& indents, int& maxWidth,
                          TLayoutState& state) {
    const int n = int(Text.size());
    bool first = true;
    std::vector<TFloatingObj*> floatsAfter;
    for (int p = 0; p < n;) {
        if (first && ClearSide != 0) {
            const int d = ClearDistance(indents, state.y);
            if (d > 0) BlankLine(p, d, state);
        }
        first = false;
        const int max = n - p;
        floatsAfter.clear();
        int floatHeight = 0;
        int count = std::max(
            1, FitCount(canvas, p, floatsAfter, floatHeight, indents, state.y, max, state));
        state.floatBottom = std::max(state.floatBottom, state.y + floatHeight);
        auto finish = [&](int k) {
            FinishLine(canvas, p, k, indents, x, state, floatsAfter, floatHeight);
            p += k;
        };
        if (count >= max) {
            finish(max);
            break;
        }
        const int q = p + count - 1;
        const char16_t cq = Text[q];
        if (cq == char16_t(chBreak) || cq == ' ') {
            while (p + count < n && Text[p + count] == ' ') ++count;
            finish(count);
            continue;
        }
        const char16_t next = Text[q + 1];
        if (next == char16_t(chControl) || next == char16_t(chImage)) {
            finish(count);
            continue;
        }
        int k = q;
        while (k >= p) {
            const char16_t c = Text[k];
            if (c == ' ' || c == char16_t(chControl) || c == char16_t(chImage)) break;
            --k;
        }
        if (k >= p && (k > p || Text[p] != ' ')) {
            finish(k - p + 1);
            continue;
        }
        // One word longer than the line: below the floats if any end lower, else on its own.
        const int m = indents.NextFloatEnd(state.y) - state.y;
        if (m > 0) {
            BlankLine(p, m, state);
            continue;
        }
        const int j = WordEnd(q + 1);
        maxWidth = std::max(maxWidth, MeasureText(canvas, p, true, j - p));
        finish(j - p);
    }
}

int TSection::Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    IndentManager& indents = lc.Indents;
    Top = BoxTop = PaintTop = y;
    FirstCursor = lc.Cursor;
    FlowHeight = 0;
    LayoutX = x;
    DocX = lc.OriginX + x;
    LineList.clear();
    TLayoutState state;
    state.y = state.y0 = y;
    state.originX = lc.OriginX;
    state.indentPending = IndentPixels != 0 || IndentPercent != 0;
    const double indent = IndentPixels + IndentPercent * width / 100;
    state.indent = int(std::lround(std::clamp<double>(indent, -kMaxExtent, kMaxExtent)));
    if (Text.empty()) {
        FlowHeight = PaintHeight = ClearDistance(indents, y);
        BoxBottom = PaintBottom = y + FlowHeight;
        maxWidth = 0;
        return FlowHeight;
    }
    StartRight = indents.RightSide(y) - x;
    maxWidth = std::min(indents.RightSide(y) - indents.LeftIndent(y), width);
    SizeObjects(lc.Canvas, maxWidth, maxWidth);
    LayoutText(lc.Canvas, x, indents, maxWidth, state);
    lc.Cursor = FirstCursor + Length;
    if (lc.FirstBaseline && *lc.FirstBaseline == 0 && !LineList.empty()) {
        const LineRec& first = LineList.front();
        *lc.FirstBaseline = PaintTop + first.TextHeight + first.ExtraAbove - first.MaxDescent;
    }
    PaintHeight = std::max(FlowHeight, state.floatBottom - y);
    BoxBottom = Top + FlowHeight;
    PaintBottom = Top + PaintHeight;
    return FlowHeight;
}

int TPreFormated::Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    if (Text.empty()) {
        Top = BoxTop = PaintTop = y;
        FirstCursor = lc.Cursor;
        LineList.clear();
        FlowHeight = PaintHeight = BaseFont.Size;
        BoxBottom = PaintBottom = y + FlowHeight;
        maxWidth = 0;
        return FlowHeight;
    }
    int height = 0;
    {
        TScopedValue unbounded(lc.Indents.Width, kMaxExtent);
        height = TSection::Layout(lc, x, y, width, maxWidth);
    }
    // The widest line where it stands (beside a float too): the viewer scrolls to its end.
    maxWidth = 0;
    for (const LineRec& line : LineList)
        maxWidth = std::max(
            maxWidth, line.IndentX + MeasureText(lc.Canvas, line.FirstChar, true, line.CharCount));
    return height;
}

}  // namespace kv
