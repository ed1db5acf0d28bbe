// Painting and the queries of a text section: hit tests, cursor positions, search, source
// mapping and copying.

#include <QChar>
#include <algorithm>

#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

// Printing: light text (red and green both in their top eighth) comes out mid grey unless table
// backgrounds are printed; on a device with fewer than three colours every text is black.
TColor PrintColor(TColor color, const TCanvas& canvas, bool tableBackground) {
    const int colors = canvas.ColorCount();
    if (colors > 0 && colors < 3) return 0;
    if (tableBackground) return color;
    const TColor c = ResolveColor(color);
    if ((c & 0xE0) == 0xE0 && ((c >> 8) & 0xE0) == 0xE0) return 0x02A0A0A0;
    return color;
}

// Printing: a line above the page is not drawn, but a picture floating from it may reach down
// into the page; that picture is drawn with the others (the page clips it).
void QueueFloatsReaching(TPaintContext& pc, TSection& section, const LineRec& line, int dx,
                         int pageTop) {
    const int end = line.FirstChar + line.CharCount;
    for (int p = line.FirstChar; p < end; ++p) {
        if (!IsImageChar(section.Text[p])) continue;
        auto* image = dynamic_cast<TImageObj*>(section.Objects.ObjectAt(p));
        if (!image || !image->Floats() || image->DrawY + image->ObjHeight <= pageTop) continue;
        int overhang = 0;
        pc.DrawList.push_back({image, dx, section.FontRuns.FontAt(p, overhang)});
    }
}

// What the k-th space of a justified line gains, counted from 0: shares of the stretch that add
// up to it exactly, so the line ends on the right edge.
int SpaceShare(const LineRec& line, int k) {
    return int(1LL * line.Stretch * (k + 1) / line.Spaces - 1LL * line.Stretch * k / line.Spaces);
}

// The stretch given to the first k spaces of a line.
int StretchBefore(const LineRec& line, int k) {
    return line.Spaces > 0 ? int(1LL * line.Stretch * std::min(k, line.Spaces) / line.Spaces) : 0;
}

}  // namespace

int TSection::LineOffset(TCanvas& canvas, const LineRec& line, int count) const {
    const int width = MeasureText(canvas, line.FirstChar, false, count);
    if (line.Stretch == 0 || count <= 0) return width;
    const auto from = Text.begin() + line.FirstChar;
    return width + StretchBefore(line, int(std::count(from, from + count, u' ')));
}

// ---------------------------------------------------------------- painting

int TSection::SelectionRun(const TPaintContext& pc, int p, bool& selected) const {
    selected = false;
    if (pc.PrintCopy) return kMaxExtent;
    const int ss = pc.SelStart - FirstCursor, se = pc.SelEnd - FirstCursor;
    if (pc.SelEnd < pc.SelStart) return kMaxExtent;
    if (p >= ss && p < se) {
        selected = true;
        return std::min(kMaxExtent, se - p);
    }
    if (p < ss) return std::min(kMaxExtent, ss - p);
    return p == ss && pc.ShowCaret ? 1 : kMaxExtent;
}

void TSection::PaintText(TCanvas& canvas, const TPaintContext& pc, int p, int n,
                         const TFontObj& run, bool selected, int& x, int baseline, bool lineEnd) {
    const int s = pc.ScrollTop;
    TFontSpec font = run.CurrentFont();
    if (canvas.IsPrinter())
        font.Color = PrintColor(font.Color, canvas, Document->PrintTableBackground());
    const TColor back = font.BackColor;
    if (selected) {
        canvas.SetBkOpaque(true);
        canvas.SetBkColor(font.Color);
        font.Color = back != kNoColor ? back : Document->BackgroundColor;
    } else {
        canvas.SetBkOpaque(back != kNoColor);
        if (back != kNoColor) canvas.SetBkColor(back);
    }
    canvas.SetFont(font);
    const std::u16string_view piece = std::u16string_view(Text).substr(p, n);
    std::u16string out(piece);
    if (lineEnd && !out.empty() && (out.back() == ' ' || out.back() == char16_t(chBreak)))
        out.pop_back();
    std::erase(out, char16_t(chBreak));
    std::replace(out.begin(), out.end(), char16_t(chNbsp), u' ');
    int offset = 0;
    if (run.VerticalScript == 1)
        offset = run.Descent / 2 + 1;
    else if (run.VerticalScript == 2)
        offset = -(run.FontHeight / 3);
    if (!out.empty()) {
        if (Wraps()) {
            canvas.TextOut(x - run.Overhang / 2, baseline + offset - s, out);
        } else {
            const LineRec* line = nullptr;
            for (const LineRec& l : LineList)
                if (p >= l.FirstChar && p < l.FirstChar + l.CharCount) line = &l;
            // Only the line's height bounds it: across, the paint clip is the limit.
            const QRect box(PaintX, line ? line->PaintedY - line->ExtraAbove - s : 0,
                            line ? kMaxExtent : 0, line ? line->Height() : 0);
            canvas.TextOut(x - run.Overhang / 2, baseline + offset - s, out, line ? &box : nullptr);
        }
    }
    if (pc.ShowCaret && !selected && p == pc.SelStart - FirstCursor)
        canvas.FillRect(
            QRect(x - run.Overhang, baseline + run.Descent + offset - run.FontHeight - s, 1,
                  run.FontHeight),
            font.Color);
    x += canvas.Measure(font).Extent(piece) - run.Overhang;
}

// An image or panel standing at character p of the line (y is the bottom of the line's text);
// cx moves past what takes room in the line.
void TSection::PaintPlaceholder(TCanvas& canvas, TPaintContext& pc, const LineRec& line, int p,
                                int y, int& cx, int dx, const IndentManager& indents) {
    const int s = pc.ScrollTop;
    int overhang = 0;
    const TFontObj* run = FontRuns.FontAt(p, overhang);
    const char16_t c = Text[p];
    TFloatingObj* obj = IsImageChar(c) ? Objects.ObjectAt(p) : nullptr;
    auto* image = dynamic_cast<TImageObj*>(obj);
    auto* panel = dynamic_cast<TPanelObj*>(obj);
    if (image && image->Floats()) {
        pc.DrawList.push_back({image, dx, run});
    } else if (image) {
        image->Paint(canvas, dx, s, run);
        cx += image->TotalWidth();
    } else if (panel) {
        int top = y - panel->ObjHeight - line.MaxDescent;
        int px = cx + panel->SpaceLeft;
        if (panel->Align == alTop)
            top = y - line.TextHeight;
        else if (panel->Align == alMiddle)
            top = y - run->CellHeight / 2 - panel->ObjHeight / 2;
        else if (panel->Floats())
            top = y + panel->SpaceTop, px = indents.LeftEdge + panel->FloatX;
        if (canvas.IsPrinter()) {
            panel->Print(canvas, px, top - s);
        } else if (panel->Control) {
            if (panel->Control->Visible())
                panel->Control->Place(px, top - s);
            else
                panel->Control->Hide();
            panel->ShowIt = true;
        }
        if (!panel->Floats()) cx += panel->TotalWidth();
    }
}

void TSection::PaintLine(TCanvas& canvas, TPaintContext& pc, const LineRec& line, int& y, int x,
                         const IndentManager& indents) {
    y += line.ExtraAbove + line.TextHeight;
    const int baseline = y - line.MaxDescent;
    const int dx = x - DocX;  // layout placed everything in document coordinates
    int cx = x + line.IndentX;
    const int end = line.FirstChar + line.CharCount;
    int space = 0;  // spaces of a justified line passed so far
    for (int p = line.FirstChar; p < end;) {
        const char16_t c = Text[p];
        if (c == chControl || c == chNoBreakControl) {
            if (TFormControlObj* control = ControlAt(p)) {
                PaintControl(canvas, *control, line, y, cx, pc.ScrollTop);
                cx += control->TotalWidth();
            }
            ++p;
            continue;
        }
        if (IsPlaceholder(c)) {
            PaintPlaceholder(canvas, pc, line, p, y, cx, dx, indents);
            ++p;
            continue;
        }
        int overhang = 0;
        const TFontObj* run = FontRuns.FontAt(p, overhang);
        bool selected = false;
        const int selectionRun = SelectionRun(pc, p, selected);
        int n = std::max(1, std::min(CharsInPiece(p, end), selectionRun));
        const int gapAt = space < line.Spaces ? int(Text.find(u' ', p)) : -1;
        if (gapAt >= 0 && gapAt < p + n) n = gapAt - p + 1;  // a widened space ends the piece
        PaintText(canvas, pc, p, n, *run, selected, cx, baseline, p + n == end);
        p += n;
        if (gapAt == p - 1) {
            const int gap = SpaceShare(line, space++);
            const TFontSpec& font = run->CurrentFont();
            const TColor back = selected ? font.Color : font.BackColor;
            if (back != kNoColor)
                canvas.FillRect(QRect(cx, line.PaintedY - pc.ScrollTop, gap, line.TextHeight),
                                back);
            cx += gap;
        }
    }
    y += line.ExtraBelow;
}

// A control's top follows its alignment (y is the bottom of the line's text). It is drawn into
// the canvas, which is all a print copy or an off-screen picture gets; on screen its live
// widget, if the viewer made one, is moved over the drawing.
void TSection::PaintControl(TCanvas& canvas, TFormControlObj& control, const LineRec& line, int y,
                            int x, int s) {
    const int h = control.TotalHeight();
    int top = y - h;
    switch (control.VAlign) {
    case caTop: top = y - line.TextHeight; break;
    case caMiddle: top = y - (line.TextHeight + h + 1) / 2; break;  // as the line's spaces
    case caBaseline: top = y - h - line.MaxDescent; break;
    default: break;
    }
    top += control.VSpace;
    control.Left = x + control.HSpace;
    control.Top = top;
    control.PaintedY = top - s;
    control.Draw(canvas, control.Left, control.PaintedY);
    if (!canvas.IsPrinter() && control.Window)
        control.Window->Place(control.Left, control.PaintedY);
    control.ShownFlag = true;
}

int TSection::Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) {
    x += LayoutX;  // sections of a cell are laid out in the cell's coordinates
    PaintX = x;
    const QRect& clip = pc.Clip;
    const int s = pc.ScrollTop;
    const int result = PaintTop + FlowHeight;
    if (Length == 0 || PaintTop + PaintHeight - s <= clip.top() || PaintTop - s > clip.bottom())
        return result;
    canvas.Save();
    canvas.SetBaselineAlign(true);
    int y = PaintTop;
    const bool printing = canvas.IsPrinter();
    for (const LineRec& line : LineList) {
        const int height = line.Height();
        if (printing) {
            if (y + height > pc.PageLimitY && height < clip.height()) {
                pc.PageLimitY = std::min(pc.PageLimitY, y);
                break;
            }
            if (y + height > pc.PageLimitY || y + height - s > clip.top()) {
                PaintLine(canvas, pc, line, y, x, indents);
                continue;
            }
            QueueFloatsReaching(pc, *this, line, x - DocX, s + clip.top());
            y += height;
            continue;
        }
        if (y - s > clip.bottom()) break;
        if (y + line.LinePaintHeight - s <= clip.top()) {
            y += height;
            continue;
        }
        PaintLine(canvas, pc, line, y, x, indents);
    }
    canvas.Restore();
    return result;
}

// ---------------------------------------------------------------- hit tests

int TSection::FitRun(TCanvas& canvas, int p, int n, int room, int& used) const {
    int overhang = 0;
    const TFontObj* run = FontRuns.FontAt(p, overhang);
    const TTextMeasure& measure = canvas.Measure(run->CurrentFont());
    const std::u16string_view piece = std::u16string_view(Text).substr(p, n);
    const int fit = measure.FitCount(piece, room + overhang);
    if (fit >= n) used += measure.Extent(piece) - overhang;
    return fit;
}

int TSection::CharsBeforeX(TCanvas& canvas, const LineRec& line, int dx) const {
    int used = 0, count = 0, space = 0;
    const int end = line.FirstChar + line.CharCount;
    for (int p = line.FirstChar; p < end;) {
        const char16_t c = Text[p];
        if (IsPlaceholder(c)) {
            const int w = PlaceholderWidth(p);
            if (used + w > dx) return count;
            used += w, ++count, ++p;
            continue;
        }
        int n = std::max(1, CharsInPiece(p, end));
        const int gapAt = space < line.Spaces ? int(Text.find(u' ', p)) : -1;
        if (gapAt >= 0 && gapAt < p + n) n = gapAt - p + 1;
        const int fit = FitRun(canvas, p, n, dx - used, used);
        count += fit;
        if (fit < n) return count;
        p += n;
        if (gapAt == p - 1) {
            // A widened space is under x as long as x is within its widening.
            used += SpaceShare(line, space++);
            if (used > dx) return count - 1;
        }
    }
    return count;
}

bool TSection::LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) {
    TImageHit image;
    if (Objects.ImageAt(x, y, image, Document)) {
        hit.Image = image.Image;
        int overhang = 0;
        TFontObj* run = FontRuns.FontAt(image.Pos, overhang);
        if (image.Image->SubmitControl) {
            hit.FormControl = image.Image->SubmitControl;
            hit.X = image.X, hit.Y = image.Y;
            return true;
        }
        if (!image.Image->HasMap) {
            if (!run || !run->HasUrl()) return false;
            hit.Target = run->Target();
            if (image.ServerMap)
                hit.Target.Url += "?" + std::to_string(image.X) + "," + std::to_string(image.Y);
            hit.Run = run;
            return true;
        }
        std::string url, frame;
        if (image.Map && image.Map->AreaAt(image.X, image.Y, url, frame)) {
            hit.Target = {url, frame, 0};
            return true;
        }
        return false;
    }
    for (const LineRec& line : LineList) {
        // The line's box as layout stacked it, from its top row down, as cursor hit tests see it.
        const int top = line.PaintedY - line.ExtraAbove;
        if (y < top || y >= top + line.Height()) continue;
        if (x < line.PaintedX) return false;
        const int c = CharsBeforeX(canvas, line, x - line.PaintedX);
        if (c >= line.CharCount) return false;
        const int p = line.FirstChar + c;
        if (IsImageChar(Text[p])) return false;
        int overhang = 0;
        TFontObj* run = FontRuns.FontAt(p, overhang);
        if (!run || !run->HasUrl()) return false;
        hit.Target = run->Target();
        hit.Run = run;
        return true;
    }
    return false;
}

bool TSection::ObjectAt(int x, int y, TImageHit& hit) {
    return Objects.PointInImage(x, y, hit);
}

int TSection::CursorAt(TCanvas& canvas, int x, int y, TCursorHit& hit) {
    // A hanging first line starts left of the section.
    if (LineList.empty() || x < std::min(DocX, LineList.front().PaintedX)) return -1;
    int top = Top;
    const LineRec* found = nullptr;
    for (const LineRec& line : LineList) {
        if (y < top + line.Height()) {
            found = &line;
            break;
        }
        top += line.Height();
    }
    if (!found || x > found->PaintedX + found->AvailWidth) return -1;
    hit.LineTop = top;
    hit.LineHeight = found->TextHeight;
    if (x < found->PaintedX) {
        hit.InText = false;
        hit.LineX = found->PaintedX;
        return FirstCursor + found->FirstChar;
    }
    int c = CharsBeforeX(canvas, *found, x - found->PaintedX);
    int caret = found->PaintedX + LineOffset(canvas, *found, c);
    if (c < found->CharCount) {
        const int w = LineOffset(canvas, *found, c + 1) - (caret - found->PaintedX);
        if (caret + w / 2 < x) ++c, caret += w;
    }
    hit.InText = c < found->CharCount;
    hit.LineX = caret;
    return FirstCursor + found->FirstChar + c;
}

bool TSection::CursorToPoint(TCanvas* canvas, int cursor, int& y, int& x) const {
    const int c = cursor - FirstCursor;
    if (Length == 0 || c < 0 || c >= Length) return false;
    int top = Top;
    for (const LineRec& line : LineList) {
        if (c >= line.FirstChar && c < line.FirstChar + line.CharCount) {
            y = top;
            x = line.PaintedX + (canvas ? LineOffset(*canvas, line, c - line.FirstChar) : 0);
            return true;
        }
        top += line.Height();
    }
    return false;
}

bool TSection::CharAt(int cursor, char16_t& ch, const TFontObj*& font) const {
    const int c = cursor - FirstCursor;
    if (c < 0 || c >= Length) return false;
    ch = Text[c];
    int overhang = 0;
    font = FontRuns.FontAt(c, overhang);
    return true;
}

const TSectionBase* TSection::TextSectionAt(int cursor) const {
    const int c = cursor - FirstCursor;
    return c >= 0 && c < Length ? this : nullptr;
}

// ---------------------------------------------------------------- search, source, copy

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (!text::isAscii(a) || !text::isAscii(b)) return text::lowerText(a) == text::lowerText(b);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return cp1251::upperLatin(static_cast<unsigned char>(x)) ==
               cp1251::upperLatin(static_cast<unsigned char>(y));
    });
}

namespace {

// The folded case of a code unit for the search without case.
char16_t Fold(char16_t ch) {
    if (ch < 0x80) return ch >= 'A' && ch <= 'Z' ? char16_t(ch + 32) : ch;
    unsigned char byte = 0;
    if (cp1251::byteOf(ch, byte)) return cp1251::toUnicode(cp1251::lower(byte));
    return QChar::isSurrogate(ch) ? ch : QChar(ch).toCaseFolded().unicode();
}

}  // namespace

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

int TSection::SearchText(int from, std::u16string_view text, bool matchCase) {
    if (Length == 0 || text.empty() || from >= FirstCursor + Length) return -1;
    const std::size_t start = std::size_t(std::max(0, from - FirstCursor));
    if (matchCase) {
        const std::size_t pos = Text.find(text, start);
        return pos == std::string::npos ? -1 : FirstCursor + int(pos);
    }
    const std::u16string_view key = text;  // the whole phrase, however long
    const char16_t first = Fold(key[0]);
    for (std::size_t i = start; i + key.size() <= Text.size(); ++i) {
        if (Fold(Text[i]) != first) continue;
        if (EqualNoCase(std::u16string_view(Text).substr(i, key.size()), key))
            return FirstCursor + int(i);
    }
    return -1;
}

int TSection::DocToSource(int cursor) const {
    const int c = cursor - FirstCursor;
    if (Length == 0 || c < 0 || c >= Length || SourceIndex.empty()) return -1;
    auto it = std::upper_bound(SourceIndex.begin(), SourceIndex.end(), c,
                               [](int pos, const IndexObj& e) { return pos < e.Pos; });
    const IndexObj& entry = *std::prev(it);
    return c - entry.Pos + entry.SourcePos;
}

int TSection::SourceToDoc(int sourcePos, bool before) const {
    if (Length == 0 || SourceIndex.empty()) return -1;
    for (std::size_t k = 0; k < SourceIndex.size(); ++k) {
        const IndexObj& e = SourceIndex[k];
        const int runEnd = k + 1 < SourceIndex.size() ? SourceIndex[k + 1].Pos : Length;
        const int first = e.SourcePos, last = e.SourcePos + (runEnd - e.Pos) - 1;
        if (sourcePos >= first && sourcePos <= last) return FirstCursor + e.Pos + sourcePos - first;
        if (sourcePos < first) {
            // In the gap before this run.
            if (before) return k == 0 ? -1 : FirstCursor + e.Pos - 1;
            return FirstCursor + e.Pos;
        }
    }
    return before ? FirstCursor + Length - 1 : -1;
}

void TSection::CopySelection(int selStart, int selEnd, std::u16string& out) const {
    const int ss = selStart - FirstCursor, se = selEnd - FirstCursor;
    for (const LineRec& line : LineList) {
        const int ls = line.FirstChar, le = line.FirstChar + line.CharCount;
        if (line.CharCount == 0 || le <= ss || ls >= se) continue;
        if (ss <= ls)
            for (int i = 0; i < (line.IndentX - line.FirstIndent) / 35; ++i) out += u"   ";
        for (int p = std::max(ss, ls); p < std::min(se, le); ++p) {
            const char16_t c = Text[p];
            if (IsPlaceholder(c) || c == chBreak) continue;
            out += c == chNbsp ? u' ' : c;
        }
        if (se >= le) out += u'\n';
    }
}

}  // namespace kv
