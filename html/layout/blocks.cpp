#include "html/layout/blocks.h"

#include <algorithm>
#include <cmath>

#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "html/reader/properties.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

int Length(const TProperties& p, int index, int base, int autoSpace) {
    const int v = p.LengthOf(index, base, 0);
    if (v == kAutoParagraphSpace) return autoSpace;
    if (v == kUnset) return 0;
    return std::clamp(v, -2000, 2000);
}

bool Overlaps(int top, int bottom, const QRect& clip, int s) {
    return bottom - s > clip.top() && top - s <= clip.bottom();
}

// A height in pixels, or -1 for "auto": a percentage refers to a container whose height
// depends on its content, which CSS reads as "auto" too.
int GivenHeight(const TProperties& p) {
    if (p.TextOf(piHeight).ends_with('%')) return -1;
    const std::optional<int> height = p.GivenLength(piHeight, 0);
    // Bounded well below the extent limit: a long run of tall empty blocks must not overflow
    // the document's y.
    return height ? std::min(*height, 10000) : -1;
}

}  // namespace

TBoxStyle TBoxStyle::From(const TProperties& p, int containerWidth, int autoSpace) {
    TBoxStyle b;
    b.MarginTop = Length(p, piMarginTop, containerWidth, autoSpace);
    b.MarginRight = Length(p, piMarginRight, containerWidth, autoSpace);
    b.MarginBottom = Length(p, piMarginBottom, containerWidth, autoSpace);
    b.MarginLeft = Length(p, piMarginLeft, containerWidth, autoSpace);
    b.PadTop = std::max(0, Length(p, piPaddingTop, containerWidth, 0));
    b.PadRight = std::max(0, Length(p, piPaddingRight, containerWidth, 0));
    b.PadBottom = std::max(0, Length(p, piPaddingBottom, containerWidth, 0));
    b.PadLeft = std::max(0, Length(p, piPaddingLeft, containerWidth, 0));
    if (p.BorderStyleSet()) {
        b.BorderTop = std::clamp(Length(p, piBorderTopWidth, 0, 0), 0, 100);
        b.BorderRight = std::clamp(Length(p, piBorderRightWidth, 0, 0), 0, 100);
        b.BorderBottom = std::clamp(Length(p, piBorderBottomWidth, 0, 0), 0, 100);
        b.BorderLeft = std::clamp(Length(p, piBorderLeftWidth, 0, 0), 0, 100);
        b.BorderColor = TColor(p.IntOf(piBorderColor, int(p.IntOf(piColor, 0))));
    }
    b.Background = p.OwnBackgroundColor();
    const int width = p.LengthOf(piWidth, containerWidth, kUnset);
    if (width != kUnset && width > 0) b.Width = std::min(width, kMaxExtent);
    b.Height = GivenHeight(p);
    const TSide side = p.FloatSide();
    b.Float = side == sdLeft ? alLeftFloat : side == sdRight ? alRightFloat : 0;
    b.Clear = p.ClearSide();
    return b;
}

// ---------------------------------------------------------------- blocks

TBlock::TBlock(TSectionList* document, const TBoxStyle& box, std::string tag)
    : TSectionBase(document), Box(box), Content(document) {
    Content.OwnerTag = std::move(tag);
}

TBlock::TBlock(const TBlock& source, TSectionList* document)
    : TSectionBase(source, document), Box(source.Box), Content(document) {
    Content.OwnerTag = source.Content.OwnerTag;
    for (const auto& section : source.Content.Sections)
        Content.Sections.push_back(section->CloneFor(document));
}

std::unique_ptr<TSectionBase> TBlock::CloneFor(TSectionList* document) const {
    return std::make_unique<TBlock>(*this, document);
}

namespace {

// How far below y a box must start to clear the floats of `side`.
int ClearDistance(const IndentManager& indents, int y, TSide side) {
    if (side == sdNone) return 0;
    int left = 0, right = 0;
    indents.ClearLevels(left, right);
    const int l = std::max(0, left - y - 1), r = std::max(0, right - y - 1);
    return side == sdLeft ? l : side == sdRight ? r : std::max(l, r);
}

}  // namespace

int TBlock::Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    const int gap = ClearDistance(lc.Indents, y, Box.Clear);
    if (Box.Float) {
        LayoutFloat(lc, y + gap, width, maxWidth);
        // In the flow it stays where it was met, so tops keep growing down the list; it
        // paints where it floats (PaintTop).
        Top = BoxTop = y;
        FlowHeight = 0;
        BoxBottom = y;
        return 0;
    }
    LayoutBox(lc, x, y + gap, width, maxWidth);
    // The space cleared belongs to the flow above the box.
    Top = BoxTop = y;
    FlowHeight = gap + BoxHeight;
    BoxBottom = y + FlowHeight;
    return FlowHeight;
}

int TBlock::LayoutFloat(const TLayoutContext& lc, int y, int width, int& maxWidth) {
    IndentManager& indents = lc.Indents;
    const int extra = Box.MarginLeft + Box.BorderLeft + Box.PadLeft + Box.MarginRight +
                      Box.BorderRight + Box.PadRight;
    int wanted = Box.Width;
    if (wanted <= 0) {
        int minWidth = 0, maxContent = 0;
        Content.WidthRange(lc.Canvas, minWidth, maxContent);
        wanted = std::max(minWidth, maxContent);
    }
    wanted = std::max(0, wanted) + extra;
    // Beside the floats already there if it fits, else below them; a block wider than the
    // whole row is narrowed to it.
    y = FloatTop(lc, y, wanted);
    int free = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        free = std::max(0, std::min(width, indents.RightSide(y) - indents.LeftIndent(y)));
        const int next = indents.NextFloatEnd(y);
        if (wanted <= free || next <= y) break;
        y = next;
    }
    const int outer = std::max(0, std::min(wanted, free));
    const int fx = Box.Float == alRightFloat ? indents.RightSide(y) - outer : indents.LeftIndent(y);
    LayoutBox(lc, fx - indents.LeftEdge, y, outer, maxWidth);
    indents.PlaceFloatBlock(y, Box.Float == alRightFloat ? outer : fx + outer, Box.Float,
                            BoxHeight);
    maxWidth = outer;
    return BoxHeight;
}

int TBlock::FloatTop(const TLayoutContext& lc, int y, int wanted) const {
    const TLineBefore* line = lc.LineBefore;
    if (!line || Box.Clear != sdNone) return y;
    const IndentManager& indents = lc.Indents;
    const int room = Box.Float == alRightFloat ? indents.RightSide(line->Top) - line->Right
                                               : line->Left - indents.LeftIndent(line->Top);
    return wanted <= room ? line->Top : y;
}

int TBlock::LayoutBox(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    IndentManager& indents = lc.Indents;
    X = x;
    Top = BoxTop = PaintTop = y;
    FirstCursor = lc.Cursor;
    const int left = Box.MarginLeft + Box.BorderLeft + Box.PadLeft;
    const int right = Box.MarginRight + Box.BorderRight + Box.PadRight;
    int inner = std::max(0, width - left - right);
    if (Box.Width > 0) inner = std::min(inner, Box.Width);
    ContentLeft = x + left;
    ContentWidth = inner;
    const int contentTop = y + Box.MarginTop + Box.BorderTop + Box.PadTop;
    int contentHeight = 0, contentWidth = 0;
    {
        TIndentOwnerScope owner(indents, this);
        const int l = indents.AddLeft(ContentLeft - indents.LeftEdge, contentTop);
        const int r = indents.AddRight(ContentLeft + inner - indents.LeftEdge, contentTop);
        // List items learn their first baseline from the first text line, also when that line
        // lies in a paragraph, heading or nested item inside them; other blocks pass it on.
        firstBaseline_ = 0;
        Content.Indents = &indents;
        contentHeight = Content.LayoutSections(HasMarker() ? lc.WithBaseline(&firstBaseline_) : lc,
                                               ContentLeft, contentTop, inner, contentWidth);
        if (HasMarker() && lc.FirstBaseline && *lc.FirstBaseline == 0)
            *lc.FirstBaseline = firstBaseline_;
        indents.CloseLeft(l, contentTop + contentHeight);
        indents.CloseRight(r, contentTop + contentHeight);
        indents.Release(l, r);
    }
    Length = lc.Cursor - FirstCursor;
    Content.CursorCount = Length;
    // A given height is what the box takes; content beyond it overflows and stays visible.
    const int shownHeight = Box.Height >= 0 ? Box.Height : contentHeight;
    BoxHeight = Box.MarginTop + Box.BorderTop + Box.PadTop + shownHeight + Box.PadBottom +
                Box.BorderBottom + Box.MarginBottom;
    FlowHeight = BoxHeight;
    int paintBottom = std::max(y + BoxHeight, contentTop + contentHeight);
    for (const auto& section : Content.Sections)
        paintBottom = std::max(paintBottom, section->PaintBottom);
    PaintHeight = paintBottom - y;
    BoxBottom = y + BoxHeight;
    PaintBottom = paintBottom;
    Content.MaxBoxBottom = BoxBottom;
    Content.MaxPaintBottom = PaintBottom;
    Content.MinBoxTop = Top;
    // The widest content as it is, wider than the block when a line cannot break: the viewer
    // scrolls sideways to it.
    maxWidth = std::max(0, contentWidth + left + right);
    return BoxHeight;
}

int TBlock::Paint(TCanvas& canvas, TPaintContext& pc, IndentManager& indents, int x) {
    const QRect& clip = pc.Clip;
    const int s = pc.ScrollTop;
    if (!Overlaps(PaintTop, PaintBottom, clip, s)) return Top + FlowHeight;
    const QRect border(x + X + Box.MarginLeft, PaintTop + Box.MarginTop - s,
                       ContentWidth + Box.BorderLeft + Box.PadLeft + Box.PadRight + Box.BorderRight,
                       BoxHeight - Box.MarginTop - Box.MarginBottom);
    if (Box.Background != kNoColor && !canvas.IsPrinter())
        canvas.FillRect(
            border.adjusted(Box.BorderLeft, Box.BorderTop, -Box.BorderRight, -Box.BorderBottom),
            Box.Background);
    if (Box.BorderTop + Box.BorderBottom + Box.BorderLeft + Box.BorderRight > 0) {
        const TColor c = Box.BorderColor;
        canvas.FillRect(QRect(border.left(), border.top(), border.width(), Box.BorderTop), c);
        canvas.FillRect(QRect(border.left(), border.bottom() + 1 - Box.BorderBottom, border.width(),
                              Box.BorderBottom),
                        c);
        canvas.FillRect(QRect(border.left(), border.top(), Box.BorderLeft, border.height()), c);
        canvas.FillRect(QRect(border.right() + 1 - Box.BorderRight, border.top(), Box.BorderRight,
                              border.height()),
                        c);
    }
    PaintMarker(canvas, x + ContentLeft, s);
    for (const auto& section : Content.Sections) {
        // A float may paint above where it was met: it rises beside the line before it.
        if (std::min(section->Top, section->PaintTop) - s > clip.bottom() && !canvas.IsPrinter())
            break;
        section->Paint(canvas, pc, indents, x);
    }
    return Top + FlowHeight;
}

void TBlock::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    Content.WidthRange(canvas, minWidth, maxWidth);
    const int extra = Box.MarginLeft + Box.BorderLeft + Box.PadLeft + Box.MarginRight +
                      Box.BorderRight + Box.PadRight;
    minWidth += extra;
    maxWidth += extra;
    if (Box.Width > 0)
        minWidth = std::max(minWidth, Box.Width),
        maxWidth = std::max(minWidth, std::min(maxWidth, Box.Width + extra));
}

// ---------------------------------------------------------------- list items

TBlockLI::TBlockLI(TSectionList* document, const TBoxStyle& box, int kind, int number, char type,
                   const TFontSpec& font)
    : TBlock(document, box, "li"),
      ListKind(kind),
      Number(number),
      NumberType(type),
      MarkerFont(font) {}

std::unique_ptr<TSectionBase> TBlockLI::CloneFor(TSectionList* document) const {
    auto copy = std::make_unique<TBlockLI>(document, Box, ListKind, Number, NumberType, MarkerFont);
    for (const auto& section : Content.Sections)
        copy->Content.Sections.push_back(section->CloneFor(document));
    return copy;
}

namespace {

std::string Roman(int n, bool upper) {
    static const std::pair<int, const char*> digits[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    std::string out;
    n = std::clamp(n, 1, 3999);
    for (auto [value, text] : digits)
        while (n >= value) out += text, n -= value;
    if (upper) std::transform(out.begin(), out.end(), out.begin(), ::toupper);
    return out;
}

std::string Letters(int n, bool upper) {
    std::string out;
    for (n = std::max(1, n); n > 0; n = (n - 1) / 26)
        out.insert(out.begin(), char('a' + (n - 1) % 26));
    if (upper) std::transform(out.begin(), out.end(), out.begin(), ::toupper);
    return out;
}

}  // namespace

// A disc (filled) or circle (hollow) in the box, one row of pixels at a time, so that every
// canvas draws it alike.
void TBlockLI::PaintRound(TCanvas& canvas, const QRect& box, bool filled) const {
    const double r = box.width() / 2.0;
    const double cx = box.left() + r, cy = box.top() + r;
    for (int row = 0; row < box.height(); ++row) {
        const double dy = box.top() + row + 0.5 - cy;
        const double outer = std::sqrt(std::max(0.0, r * r - dy * dy));
        const int left = int(std::lround(cx - outer)), right = int(std::lround(cx + outer));
        if (right <= left) continue;
        const int y = box.top() + row;
        const double ri = r - 1.0;
        const double inner = std::abs(dy) < ri ? std::sqrt(ri * ri - dy * dy) : -1.0;
        if (filled || inner < 0) {
            canvas.FillRect(QRect(left, y, right - left, 1), MarkerFont.Color);
            continue;
        }
        const int innerLeft = std::max(left + 1, int(std::lround(cx - inner)));
        const int innerRight = std::min(right - 1, int(std::lround(cx + inner)));
        canvas.FillRect(QRect(left, y, innerLeft - left, 1), MarkerFont.Color);
        canvas.FillRect(QRect(innerRight, y, right - innerRight, 1), MarkerFont.Color);
    }
}

void TBlockLI::PaintMarker(TCanvas& canvas, int contentX, int s) {
    if (ListKind == 0 || firstBaseline_ == 0) return;
    canvas.Save();
    canvas.SetFont(MarkerFont);
    const TTextMetrics m = canvas.Metrics();
    const int baseline = firstBaseline_ - s;
    if (ListKind == 4) {
        std::string label;
        switch (NumberType) {
        case 'a': label = Letters(Number, false); break;
        case 'A': label = Letters(Number, true); break;
        case 'i': label = Roman(Number, false); break;
        case 'I': label = Roman(Number, true); break;
        default: label = std::to_string(Number);
        }
        label += ".";
        canvas.SetBkOpaque(false);
        canvas.SetBaselineAlign(true);
        canvas.TextOut(contentX - 5 - canvas.TextExtent(label), baseline, label);
    } else {
        const int size = std::max(3, m.Ascent / 3);
        const QRect box(contentX - 8 - size, baseline - m.Ascent / 2 - size / 2, size, size);
        if (ListKind == 3)
            canvas.FillRect(box, MarkerFont.Color);
        else
            PaintRound(canvas, box, ListKind == 1);
    }
    canvas.Restore();
}

// ---------------------------------------------------------------- page breaks

std::unique_ptr<TSectionBase> TPage::CloneFor(TSectionList* document) const {
    return std::make_unique<TPage>(*this, document);
}

int TPage::Paint(TCanvas&, TPaintContext& pc, IndentManager&, int) {
    // A break at the very top of the page (where the page began) ends nothing: the page would
    // be empty and printing would never get past it.
    if (pc.PrintCopy && Top > pc.ScrollTop + pc.Clip.top() && Top < pc.PageLimitY)
        pc.PageLimitY = Top;
    return Top;
}

// ---------------------------------------------------------------- rules

THRBlock::THRBlock(TSectionList* document, const TBoxStyle& box, const TRuleLook& look)
    : TSectionBase(document), Box(box), Look(look) {}

std::unique_ptr<TSectionBase> THRBlock::CloneFor(TSectionList* document) const {
    return std::make_unique<THRBlock>(document, Box, Look);
}

int THRBlock::Layout(const TLayoutContext& lc, int x, int y, int width, int& maxWidth) {
    const IndentManager& indents = lc.Indents;
    X = x;
    FirstCursor = lc.Cursor;
    Top = BoxTop = PaintTop = y;
    const int l = indents.LeftIndent(y), r = indents.RightSide(y);
    const int avail = std::max(0, std::min(width, r - l) - Box.MarginLeft - Box.MarginRight);
    LineWidth = Look.WidthAttr == 0 ? avail
                : Look.WidthPercent ? avail * Look.WidthAttr / 100
                                    : std::min(avail, Look.WidthAttr);
    const int start = l + Box.MarginLeft;
    LineLeft = Look.Align == haLeft    ? start
               : Look.Align == haRight ? start + avail - LineWidth
                                       : start + (avail - LineWidth) / 2;
    FlowHeight = PaintHeight = Box.MarginTop + Look.Size + Box.MarginBottom;
    BoxBottom = PaintBottom = y + FlowHeight;
    maxWidth = std::min(width, LineWidth);
    return FlowHeight;
}

int THRBlock::Paint(TCanvas& canvas, TPaintContext& pc, IndentManager&, int x) {
    const int s = pc.ScrollTop;
    if (!Overlaps(Top, BoxBottom, pc.Clip, s)) return Top + FlowHeight;
    const QRect line(x + LineLeft, Top + Box.MarginTop - s, LineWidth, Look.Size);
    if (Look.NoShade || Look.Color != kNoColor) {
        canvas.FillRect(line, Look.Color != kNoColor ? Look.Color : 0x808080);
    } else {
        // A sunken line: dark above and left, light below and right.
        canvas.FillRect(line, 0xC0C0C0);
        canvas.FillRect(QRect(line.left(), line.top(), line.width(), 1), 0x808080);
        canvas.FillRect(QRect(line.left(), line.top(), 1, line.height()), 0x808080);
        if (Look.Size > 1)
            canvas.FillRect(QRect(line.left(), line.bottom(), line.width(), 1), 0xFFFFFF);
    }
    return Top + FlowHeight;
}

}  // namespace kv
