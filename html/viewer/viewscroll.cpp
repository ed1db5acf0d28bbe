// The viewer control: the layout pass, the scroll bars, scrolling by bar, key and wheel, the
// border, and painting the background and the document.

#include <QFrame>
#include <QKeyEvent>
#include <QWheelEvent>
#include <cstdlib>

#include "html/images/display.h"
#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "platform/scopedvalue.h"

namespace kv {

namespace {

constexpr int kMaxDocWidth = 6000;

}  // namespace

// ---------------------------------------------------------------- layout

bool THtmlView::VerticalChosen() const {
    return scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
}

bool THtmlView::HorizontalChosen() const {
    return scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth;
}

void THtmlView::DoLayout() {
    docWidth_ = 0;
    TScopedValue laying(layingOut_, true);
    const int reduction = borderStyle_ == THTMLBorderStyle::htNone ? 1 : 3;
    int width = this->width() - reduction;
    if (VerticalChosen()) width -= scrollBarWidth_;
    int maxWidth = 0;
    docHeight_ =
        doc_.DoLayout(measure_, std::max(ToDocPixels(width), 1), ToDocPixels(height()), maxWidth);
    docWidth_ = maxWidth;
    ArrangeScrollBars();
    // The standard I-beam gives way to the viewer's own thick one.
    if (testAttribute(Qt::WA_SetCursor) && cursor().shape() == Qt::IBeamCursor)
        setCursor(ViewerCursor(crIBeamId));
}

void THtmlView::ArrangeScrollBars() {
    docWidth_ = std::min(docWidth_, kMaxDocWidth);
    const int w = width(), h = height(), sb = scrollBarWidth_;
    const bool showV = (options_ & htShowVScroll) != 0;
    borderWidth_ = borderStyle_ == THTMLBorderStyle::htNone ? 0 : 1;
    const int border = borderWidth_;
    border_->setGeometry(rect());
    border_->setVisible(border != 0);
    border_->lower();

    // The document's extent as the panel shows it.
    const int docHeight = ToPanelPixels(docHeight_), docWidth = ToPanelPixels(docWidth_);
    bool needV = false, needH = false;
    if (VerticalChosen()) {
        needV = docHeight >= h - 2 || showV ||
                (HorizontalChosen() && docHeight >= h - sb - 2 && w - sb < docWidth);
        needH = HorizontalChosen() && (w < docWidth || ((needV || showV) && w - sb < docWidth));
    } else {
        needH = HorizontalChosen() && w < docWidth;
    }
    const int panelWidth = needV || (showV && VerticalChosen()) ? w - sb : w;
    panel_->setGeometry(border, border, panelWidth - 2 * border, h - 2 * border - (needH ? sb : 0));

    hbar_->setVisible(needH);
    hbar_->SetPageStep(std::max(1, ToDocPixels(panelWidth - 20)));
    hbar_->setGeometry(border, h - sb - border, panelWidth - border, sb);
    hbar_->SetParams(hbar_->Position(), ToDocPixels(panelWidth), 0,
                     std::max(0, std::max(docWidth_, ToDocPixels(panelWidth - 2 * border))));

    vbar_->setGeometry(w - sb - border, border, sb, h - 2 * border);
    vbar_->SetPageStep(ToDocPixels(panel_->height() - 16));
    if (showV) {
        // Always there, but disabled while there is nothing to scroll.
        vbar_->setVisible(VerticalChosen());
        vbar_->setEnabled(docHeight_ > ViewHeight());
    } else {
        vbar_->setVisible(needV);
        vbar_->setEnabled(true);
    }
    vbar_->SetParams(vbar_->Position(), ViewHeight() + 1, 0, docHeight_);
}

void THtmlView::Relayout() {
    if (processing_) return;
    TProcessingScope processing(*this);
    const int position = Position();
    DoLayout();
    SetPosition(position);
}

void THtmlView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (processing_)
        ArrangeScrollBars();
    else
        Relayout();
    ScrollTo(docHeight_ < ViewHeight() ? 0 : VScrollPos());
    SetHScrollPos(std::min(HScrollPos(), hbar_->Max() - ViewWidth()));
}

// ---------------------------------------------------------------- positions

int THtmlView::VScrollPos() const {
    return vbar_->Position();
}
int THtmlView::HScrollPos() const {
    return hbar_->Position();
}

int THtmlView::LastTop() const {
    return docHeight_ - ViewHeight();
}

int THtmlView::ViewHeight() const {
    return ToDocPixels(panel_->height());
}

int THtmlView::ViewWidth() const {
    return ToDocPixels(panel_->width());
}

void THtmlView::ScrollTo(int y) {
    y = std::max(std::min(y, LastTop()), 0);
    vbar_->SetPosition(y);
    doc_.SetScrollTop(y);
    panel_->update();
}

void THtmlView::SetVScrollPos(int y) {
    y = std::max(std::min(y, LastTop()), 0);
    if (y != VScrollPos()) ScrollTo(y);
}

void THtmlView::SetHScrollPos(int x) {
    x = std::max(0, std::min(x, hbar_->Max() - ViewWidth()));
    if (x == HScrollPos()) return;
    hbar_->SetPosition(x);
    panel_->update();
}

int THtmlView::Position() const {
    const int y = VScrollPos();
    int sectionY = 0, index = 0;
    if (!doc_.SectionAt(y, sectionY, index)) return y;
    return int((unsigned(index + 1) << 16) | (unsigned(y - sectionY) & 0xFFFFu));
}

void THtmlView::SetPosition(int position) {
    const unsigned value = unsigned(position);
    const unsigned high = value >> 16;
    if (high == 0) {
        ScrollTo(int(value & 0xFFFFu));
        return;
    }
    const std::size_t index = high - 1;
    if (index >= doc_.Positions.size()) return;
    ScrollTo(doc_.Positions[index]->TopY() + int(value & 0xFFFFu));
}

void THtmlView::MoveTo(int y) {
    y = std::max(std::min(std::max(y, 0), LastTop()), 0);
    const int old = VScrollPos();
    vbar_->SetPosition(y);
    doc_.SetScrollTop(y);
    if (std::abs(old - y) == vbar_->LineStep() && zoom_ == 100) {
        // Move the pixels already shown; only the uncovered strip is painted.
        panel_->scroll(0, old - y);
        const int strip = std::abs(old - y);
        const QRect uncovered = old > y
                                    ? QRect(0, 0, panel_->width(), strip)
                                    : QRect(0, panel_->height() - strip, panel_->width(), strip);
        if (panel_->isVisible()) panel_->repaint(uncovered);
    } else {
        panel_->update();
    }
    UpdateControlVisibility();
}

// ---------------------------------------------------------------- bars, keys, wheel

void THtmlView::VScrollAction(int action) {
    setFocus();
    const int y = vbar_->RequestedPosition(action, LastTop());
    const int old = VScrollPos();
    const int target = std::max(std::min(y, LastTop()), 0);
    vbar_->SetPosition(target);
    doc_.SetScrollTop(target);
    if (target == old) return;
    // Enlarged, a move is not a whole number of panel pixels: the panel is drawn again.
    if (zoom_ == 100)
        panel_->scroll(0, old - target);
    else
        panel_->update();
    UpdateControlVisibility();
}

void THtmlView::HScrollAction(int action) {
    setFocus();
    SetHScrollPos(hbar_->RequestedPosition(action, hbar_->Max()));
    panel_->update();
}

void THtmlView::keyPressEvent(QKeyEvent* event) {
    if (middleScrollOn_) {
        // Any key ends middle-button scrolling.
        middleScrollOn_ = autoScrolling_ = false;
        autoScrollTimer_.stop();
        SetPanelCursor(crArrowId);
    }
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (control && (event->key() == Qt::Key_C || event->key() == Qt::Key_Insert)) {
        CopyToClipboard();
        event->accept();
        return;
    }
    if (control && event->key() == Qt::Key_A) {
        SelectAll();
        event->accept();
        return;
    }
    if (control && ZoomKey(*event)) {
        event->accept();
        return;
    }
    const int y = VScrollPos();
    switch (event->key()) {
    case Qt::Key_PageUp: MoveTo(y - vbar_->PageStep()); break;
    case Qt::Key_PageDown: MoveTo(y + vbar_->PageStep()); break;
    case Qt::Key_End: MoveTo(docHeight_); break;
    case Qt::Key_Home: MoveTo(0); break;
    case Qt::Key_Up: MoveTo(y - vbar_->LineStep()); break;
    case Qt::Key_Down: MoveTo(y + vbar_->LineStep()); break;
    case Qt::Key_Left: SetHScrollPos(HScrollPos() - hbar_->LineStep()); break;
    case Qt::Key_Right: SetHScrollPos(HScrollPos() + hbar_->LineStep()); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void THtmlView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier)
        ZoomByWheel(event->angleDelta().y());
    else
        SetVScrollPos(VScrollPos() - event->angleDelta().y() / 2);
    event->accept();
}

bool THtmlView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == vbar_ && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THtmlView::ScrollControlIntoView(int controlTop) {
    const int y = VScrollPos();
    const int h = ToDocPixels(height());
    if (controlTop < y || controlTop > y + h - 20) ScrollTo(controlTop - h / 2);
}

void THtmlView::Repaint() {
    for (TFormControlObj* control : doc_.FormControlList)
        if (control->Window) control->Window->Hide();
    PaintWindow();
}

void THtmlView::PaintWindow() {
    panel_->repaint();
    vbar_->repaint();
    hbar_->repaint();
}

const TPalette* THtmlView::Palette() const {
    return ColorBits() <= 8 ? &ThePalette() : nullptr;
}

void THtmlView::UpdateControlVisibility() {
    formWidgets_->Update(paintOrigin_.x(), paintOrigin_.y());
    doc_.UpdateControlVisibility();
}

// ---------------------------------------------------------------- border and painting

void THtmlView::UpdateBorder() {
    const bool line = (borderStyle_ == THTMLBorderStyle::htFocused && hasFocus()) ||
                      borderStyle_ == THTMLBorderStyle::htSingle;
    const int style = line ? QFrame::Box | QFrame::Plain : QFrame::NoFrame;
    if (border_->frameStyle() != style) border_->setFrameStyle(style);
}

void THtmlView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    UpdateBorder();
}

void THtmlView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    UpdateBorder();
}

void THtmlView::PaintDocument(TCanvas& canvas, const QRect& clip) {
    if (clip.isEmpty()) return;
    PaintBackground(canvas, clip);
    // Sections place themselves at document y minus the scroll offset: the offset of the
    // rectangle's top makes the canvas's top row the rectangle's.
    paintOrigin_ = clip.topLeft();
    formWidgets_->SetOrigin(clip.left(), clip.top());
    doc_.Paint(canvas, QRect(QPoint(0, 0), clip.size()), -HScrollPos() - clip.left(), 0,
               doc_.ScrollTop() + clip.top());
}

void THtmlView::PaintBackground(TCanvas& canvas, const QRect& clip) {
    const QRect area(QPoint(0, 0), clip.size());
    const TLayoutImage* tile =
        doc_.ViewImages() && !doc_.IsPrinting() ? doc_.BackgroundImage() : nullptr;
    if (tile && !tile->Image.isNull() && tile->Image.width() > 0 && tile->Image.height() > 0) {
        try {
            TileBackground(canvas, clip, *tile);
            return;
        } catch (const std::exception&) {
            // A plain fill below.
        }
    }
    canvas.FillRect(area, doc_.BackgroundColor);
}

void THtmlView::TileBackground(TCanvas& canvas, const QRect& clip, const TLayoutImage& tile) {
    const int iw = tile.Image.width(), ih = tile.Image.height();
    // Tiles are anchored to the document: the first one starts where the scroll offsets say,
    // then steps on to the last tile start at or before the rectangle's corner.
    int x0 = -(HScrollPos() % iw), y0 = -(VScrollPos() % ih);
    if (clip.left() > x0) x0 += (clip.left() - x0) / iw * iw;
    if (clip.top() > y0) y0 += (clip.top() - y0) / ih * ih;
    const bool masked = !tile.Mask.isNull();
    if (masked) canvas.FillRect(QRect(QPoint(0, 0), clip.size()), doc_.BackgroundColor);
    const QRect source(0, 0, iw, ih);
    for (int y = y0; y <= clip.bottom(); y += ih)
        for (int x = x0; x <= clip.right(); x += iw) {
            const QRect dest(x - clip.left(), y - clip.top(), iw, ih);
            if (masked)
                canvas.MaskedBlit(dest, tile.Image, tile.Mask);
            else
                canvas.StretchBlit(dest, tile.Image, source, TRop::ropCopy);
        }
}

}  // namespace kv
