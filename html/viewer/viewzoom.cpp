// The viewer's zoom: the document is laid out for the panel's width divided by the zoom and
// painted enlarged through a scale transform, so the engine never knows. Everything the viewer
// keeps (scroll positions, steps, the document height) stays in document pixels; panel points
// become document points here.

#include <QKeyEvent>
#include <algorithm>
#include <limits>

#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"

namespace kv {

namespace {

// a * b / c rounded down, also for negative a (points above or left of the panel).
int MulDivFloor(int a, int b, int c) {
    const long long n = static_cast<long long>(a) * b;
    return static_cast<int>(n >= 0 ? n / c : -((-n + c - 1) / c));
}

int MulDivCeil(int a, int b, int c) {
    return -MulDivFloor(-a, b, c);
}

constexpr int kWheelNotch = 120;  // one notch of an ordinary wheel

}  // namespace

int THtmlView::ToDocPixels(int panelPixels) const {
    return MulDivFloor(panelPixels, 100, zoom_);
}

int THtmlView::ToPanelPixels(int docPixels) const {
    return MulDivFloor(docPixels, zoom_, 100);
}

QRect THtmlView::DocRect(const QRect& panelRect) const {
    const int left = ToDocPixels(panelRect.left()), top = ToDocPixels(panelRect.top());
    const int right = MulDivCeil(panelRect.left() + panelRect.width(), 100, zoom_);
    const int bottom = MulDivCeil(panelRect.top() + panelRect.height(), 100, zoom_);
    return QRect(left, top, right - left, bottom - top);
}

QPoint THtmlView::DocPoint(int x, int y) const {
    return QPoint(ToDocPixels(x) + HScrollPos(), ToDocPixels(y) + VScrollPos());
}

namespace {

// Where a cursor position stands, asked of the innermost section that holds it: the document
// lists every section in document order, so their first positions never fall, and the last one
// starting at or before the cursor is the one to ask. The walk from the top answers otherwise.
bool CursorY(const TSectionList& doc, int cursor, int& y) {
    const std::vector<TSectionBase*>& sections = doc.Positions;
    const auto after = std::upper_bound(
        sections.begin(), sections.end(), cursor,
        [](int c, const TSectionBase* section) { return c < section->FirstCursor; });
    int x = 0;
    if (after != sections.begin()) {
        const TSectionBase& section = **std::prev(after);
        if (cursor < section.FirstCursor + section.Length)
            return section.CursorToPoint(nullptr, cursor, y, x);
    }
    return doc.CursorToPoint(nullptr, cursor, y, x);
}

}  // namespace

int THtmlView::LineTopFrom(int cursor) {
    // Positions without a line of their own (an image, a control) take the next one's.
    const int last = doc_.FirstCursor + doc_.CursorCount - 1;
    int y = 0;
    for (int probe = cursor; probe <= last && probe < cursor + 64; ++probe)
        if (CursorY(doc_, probe, y)) return y;
    return std::numeric_limits<int>::max();
}

int THtmlView::FirstCursorBelow(int y) {
    // Text positions run down the document (table cells side by side aside).
    int low = doc_.FirstCursor, high = doc_.FirstCursor + doc_.CursorCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (LineTopFrom(middle) > y)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

int THtmlView::TopLineCursor(int& offset) {
    const int top = VScrollPos();
    const int below = FirstCursorBelow(top);
    if (below <= doc_.FirstCursor) return -1;
    // The line at the top; its first position is the first one not above it.
    const int lineTop = LineTopFrom(below - 1);
    offset = top - lineTop;
    return FirstCursorBelow(lineTop - 1);
}

void THtmlView::SetZoom(int percent) {
    percent = std::clamp(percent, kMinZoom, kMaxZoom);
    if (percent == zoom_ || processing_) return;
    int offset = 0;
    const int topLine = TopLineCursor(offset);
    const int top = VScrollPos();
    zoom_ = percent;
    formWidgets_->SetZoom(percent);
    {
        TProcessingScope processing(*this);
        DoLayout();
    }
    // Lines keep their heights in document pixels; only where they break changes.
    int y = 0, x = 0;
    if (topLine >= 0 && doc_.CursorToPoint(nullptr, topLine, y, x))
        ScrollTo(y + offset);
    else
        ScrollTo(top);
    SetHScrollPos(HScrollPos());
    panel_->update();
}

void THtmlView::ZoomByWheel(int delta) {
    // A fine wheel sends parts of a notch: they add up to a step. A turn the other way starts
    // afresh.
    if ((wheelZoom_ > 0 && delta < 0) || (wheelZoom_ < 0 && delta > 0)) wheelZoom_ = 0;
    wheelZoom_ += delta;
    const int steps = wheelZoom_ / kWheelNotch;
    wheelZoom_ -= steps * kWheelNotch;
    if (steps != 0) SetZoom(zoom_ / kZoomStep * kZoomStep + steps * kZoomStep);
}

bool THtmlView::ZoomKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomIn(); return true;
    case Qt::Key_Minus: ZoomOut(); return true;
    case Qt::Key_0: SetZoom(100); return true;
    default: return false;
    }
}

}  // namespace kv
