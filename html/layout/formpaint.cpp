// Sizing form controls for a canvas and drawing them into it: sunken 3-D boxes with their text,
// check marks, radio dots, raised button faces and the drop arrow of a drop-down list. The
// live widgets of the viewer cover these drawings on screen; printing and off-screen rendering
// show them as they are.

#include <algorithm>
#include <cmath>

#include "html/layout/formcontrols.h"

namespace kv {

namespace {

constexpr TColor kFace = 0xC0C0C0;
constexpr TColor kShadow = 0x808080;
constexpr TColor kDarkShadow = 0x404040;
constexpr TColor kLight = 0xFFFFFF;
constexpr TColor kWindow = 0xFFFFFF;
constexpr TColor kHighlight = 0x800000;  // navy
constexpr TColor kInk = 0;
constexpr int kEdge = 4;       // border and padding of a box, each side
constexpr int kBarWidth = 16;  // scroll bar and drop button
constexpr int kCheckSize = 13;
constexpr int kMaxControlExtent = 20000;  // no control grows beyond this, whatever its attributes

struct TBoxMetrics {
    int Height;     // of one text line
    int CharWidth;  // an average character
};

TBoxMetrics MetricsOf(TCanvas& canvas, const TFontSpec& font) {
    const TTextMeasure& measure = canvas.Measure(font);
    const int average = measure.Extent("abcdefghijklmnopqrstuvwxyz") / 26;
    return {std::max(1, measure.Metrics().Height), std::max(1, average)};
}

int Clamp(int value) {
    return std::clamp(value, 0, kMaxControlExtent);
}

void Edge(TCanvas& canvas, const QRect& r, TColor topLeft, TColor bottomRight) {
    canvas.FillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    canvas.FillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    canvas.FillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    canvas.FillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

void Sunken(TCanvas& canvas, const QRect& r, TColor fill) {
    canvas.FillRect(r, fill);
    Edge(canvas, r, kShadow, kLight);
    if (r.width() > 2 && r.height() > 2) Edge(canvas, r.adjusted(1, 1, -1, -1), kDarkShadow, kFace);
}

void Raised(TCanvas& canvas, const QRect& r) {
    canvas.FillRect(r, kFace);
    Edge(canvas, r, kLight, kDarkShadow);
    if (r.width() > 2 && r.height() > 2) Edge(canvas, r.adjusted(1, 1, -1, -1), kFace, kShadow);
}

void DrawText(TCanvas& canvas, const TFontSpec& font, TColor color, int x, int y,
              std::string_view text, const QRect& clip) {
    if (text.empty() || clip.isEmpty()) return;
    TFontSpec f = font;
    f.Color = color;
    f.BackColor = kNoColor;
    canvas.SetFont(f);
    canvas.SetBkOpaque(false);
    canvas.TextOut(x, y, text, &clip);
}

// A filled disc of diameter d with its bounding box at (x, y), row by row.
void Disc(TCanvas& canvas, int x, int y, int d, TColor color) {
    const double r = d / 2.0;
    for (int row = 0; row < d; ++row) {
        const double dy = row + 0.5 - r;
        const int half = int(std::lround(std::sqrt(std::max(0.0, r * r - dy * dy))));
        if (half > 0) canvas.FillRect(QRect(x + int(r) - half, y + row, 2 * half, 1), color);
    }
}

// A downward triangle centred in the box.
void DropArrow(TCanvas& canvas, const QRect& box) {
    const int cx = box.left() + box.width() / 2, cy = box.top() + box.height() / 2 - 2;
    for (int k = 0; k < 4; ++k) canvas.FillRect(QRect(cx - 3 + k, cy + k, 7 - 2 * k, 1), kInk);
}

// Lines of text inside a box, one per row, cut to the box.
void DrawRows(TCanvas& canvas, const TFontSpec& font, const QRect& inner, int lineHeight,
              const std::vector<std::string>& rows, const std::vector<bool>* selected) {
    int y = inner.top();
    for (std::size_t i = 0; i < rows.size() && y < inner.bottom(); ++i, y += lineHeight) {
        const bool on = selected && (*selected)[i];
        const QRect row(inner.left(), y, inner.width(), lineHeight);
        if (on) canvas.FillRect(row.intersected(inner), kHighlight);
        DrawText(canvas, font, on ? kLight : font.Color, inner.left() + 1, y, rows[i],
                 row.intersected(inner));
    }
}

// Saves the canvas state and draws with text tops (not baselines) as y.
struct TDrawScope {
    explicit TDrawScope(TCanvas& c) : canvas(c) {
        canvas.Save();
        canvas.SetBaselineAlign(false);
    }
    ~TDrawScope() { canvas.Restore(); }
    TCanvas& canvas;
};

}  // namespace

// ---------------------------------------------------------------- edit boxes

void TEditControl::SizeFor(TCanvas& canvas) {
    const TBoxMetrics m = MetricsOf(canvas, Font);
    ButtonWidth = Kind == ckFile ? canvas.Measure(Font).Extent("Обзор...") + 16 : 0;
    Width = Clamp(Size * m.CharWidth + 2 * kEdge + (ButtonWidth ? ButtonWidth + 4 : 0));
    Height = Clamp(m.Height + 2 * kEdge);
}

void TEditControl::Draw(TCanvas& canvas, int x, int y) const {
    TDrawScope scope(canvas);
    const TBoxMetrics m = MetricsOf(canvas, Font);
    const int boxWidth = ButtonWidth ? Width - ButtonWidth - 4 : Width;
    const QRect box(x, y, boxWidth, Height);
    Sunken(canvas, box, BackColor != kNoColor ? BackColor : kWindow);
    const std::string shown =
        Kind == ckPassword ? std::string(std::min<std::size_t>(Value.size(), 500), '*') : Value;
    const QRect inner = box.adjusted(2, 2, -2, -2);
    DrawText(canvas, Font, Font.Color, x + kEdge, y + (Height - m.Height) / 2, shown, inner);
    if (ButtonWidth) {
        const QRect button(x + Width - ButtonWidth, y, ButtonWidth, Height);
        Raised(canvas, button);
        DrawText(canvas, Font, kInk, button.left() + 8, y + (Height - m.Height) / 2, "Обзор...",
                 button.adjusted(2, 2, -2, -2));
    }
}

// ---------------------------------------------------------------- check boxes, radio buttons

void TCheckControl::SizeFor(TCanvas&) {
    Width = Height = kCheckSize;
}

void TCheckControl::Draw(TCanvas& canvas, int x, int y) const {
    TDrawScope scope(canvas);
    const TColor fill = BackColor != kNoColor ? BackColor : kWindow;
    if (Kind == ckRadio) {
        Disc(canvas, x, y, kCheckSize - 1, kShadow);
        Disc(canvas, x + 1, y + 1, kCheckSize - 3, fill);
        if (Checked) Disc(canvas, x + 4, y + 4, 4, kInk);
        return;
    }
    Sunken(canvas, QRect(x, y, kCheckSize, kCheckSize), fill);
    if (!Checked) return;
    canvas.SetPenColor(kInk);
    for (int k = 0; k < 3; ++k) {
        canvas.Line(x + 3, y + 5 + k, x + 5, y + 7 + k);
        canvas.Line(x + 5, y + 7 + k, x + 10, y + 2 + k);
    }
}

// ---------------------------------------------------------------- buttons

void TButtonControl::SizeFor(TCanvas& canvas) {
    if (Kind == ckImage) {
        Width = Height = 0;  // its picture is an image object of the section
        return;
    }
    const TBoxMetrics m = MetricsOf(canvas, Font);
    Width = Clamp(canvas.Measure(Font).Extent(Caption()) + 16);
    Height = Clamp(m.Height + 2 * kEdge);
}

void TButtonControl::Draw(TCanvas& canvas, int x, int y) const {
    if (Kind == ckImage) return;
    TDrawScope scope(canvas);
    const QRect box(x, y, Width, Height);
    Raised(canvas, box);
    const std::string caption = Caption();
    const TBoxMetrics m = MetricsOf(canvas, Font);
    const int textWidth = canvas.Measure(Font).Extent(caption);
    DrawText(canvas, Font, kInk, x + (Width - textWidth) / 2, y + (Height - m.Height) / 2, caption,
             box.adjusted(2, 2, -2, -2));
}

// ---------------------------------------------------------------- lists

void TSelectControl::SizeFor(TCanvas& canvas) {
    const TBoxMetrics m = MetricsOf(canvas, Font);
    const TTextMeasure& measure = canvas.Measure(Font);
    TextWidth = 0;
    for (const TOptionItem& item : Options)
        TextWidth = std::max(TextWidth, measure.Extent(item.Text));
    TextWidth = std::min(TextWidth, kMaxControlExtent);
    if (Kind == ckComboBox) {
        Width = Clamp(std::max(TextWidth, 2 * m.CharWidth) + 2 * kEdge + kBarWidth);
        Height = Clamp(m.Height + 2 * kEdge);
        return;
    }
    const int rows = VisibleRows();
    const bool bar = int(Options.size()) > rows;
    Width = Clamp(std::max(TextWidth, 2 * m.CharWidth) + 2 * kEdge + (bar ? kBarWidth : 0));
    Height = Clamp(rows * m.Height + 2 * kEdge);
}

void TSelectControl::Draw(TCanvas& canvas, int x, int y) const {
    TDrawScope scope(canvas);
    const TBoxMetrics m = MetricsOf(canvas, Font);
    const QRect box(x, y, Width, Height);
    Sunken(canvas, box, BackColor != kNoColor ? BackColor : kWindow);
    if (Kind == ckComboBox) {
        const QRect button(x + Width - 2 - kBarWidth, y + 2, kBarWidth, Height - 4);
        Raised(canvas, button);
        DropArrow(canvas, button);
        if (const int i = ShownIndex(); i >= 0) {
            const QRect inner(x + 2, y + 2, Width - 4 - kBarWidth, Height - 4);
            DrawText(canvas, Font, Font.Color, x + kEdge, y + (Height - m.Height) / 2,
                     Options[std::size_t(i)].Text, inner);
        }
        return;
    }
    const int rows = VisibleRows();
    const bool bar = int(Options.size()) > rows;
    if (bar) Raised(canvas, QRect(x + Width - 2 - kBarWidth, y + 2, kBarWidth, Height - 4));
    std::vector<std::string> texts;
    std::vector<bool> selected;
    for (std::size_t i = 0; i < Options.size() && int(i) < rows; ++i) {
        texts.push_back(Options[i].Text);
        selected.push_back(Options[i].Selected);
    }
    const QRect inner(x + 2, y + kEdge, Width - 4 - (bar ? kBarWidth : 0), Height - 2 * kEdge);
    DrawRows(canvas, Font, inner, m.Height, texts, &selected);
}

// ---------------------------------------------------------------- text areas

void TTextAreaControl::SizeFor(TCanvas& canvas) {
    const TBoxMetrics m = MetricsOf(canvas, Font);
    Width = Clamp(Cols * m.CharWidth + 2 * kEdge + kBarWidth);
    Height = Clamp(Rows * m.Height + 2 * kEdge);
}

void TTextAreaControl::Draw(TCanvas& canvas, int x, int y) const {
    TDrawScope scope(canvas);
    const TBoxMetrics m = MetricsOf(canvas, Font);
    const QRect box(x, y, Width, Height);
    Sunken(canvas, box, BackColor != kNoColor ? BackColor : kWindow);
    Raised(canvas, QRect(x + Width - 2 - kBarWidth, y + 2, kBarWidth, Height - 4));
    std::vector<std::string> shown(
        Lines.begin(),
        Lines.begin() + std::ptrdiff_t(std::min<std::size_t>(Lines.size(), std::size_t(Rows))));
    const QRect inner(x + 2, y + kEdge, Width - 4 - kBarWidth, Height - 2 * kEdge);
    DrawRows(canvas, Font, inner.adjusted(kEdge - 3, 0, 0, 0), m.Height, shown, nullptr);
}

}  // namespace kv
