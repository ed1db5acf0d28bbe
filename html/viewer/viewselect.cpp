// The viewer's mouse: hover over links and images, press / drag / release selection, double
// click on a word, drag and middle-button auto-scrolling; and the selection's users: Find,
// Ctrl+A and copying to the clipboard.

#include <QApplication>
#include <QClipboard>
#include <QCursor>

#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "platform/codec.h"

namespace kv {

namespace {

// Letters and digits of Windows-1251: А–я are 192–255 (Ё and ё are not among them); of the
// characters the code page lacks, Unicode's letters and digits.
bool IsWordChar(char16_t c) {
    unsigned char b = 0;
    if (!cp1251::byteOf(c, b)) return QChar::isSurrogate(c) || QChar(c).isLetterOrNumber();
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 192;
}

constexpr int kAutoScrollStep = 100;  // ms between auto-scroll steps

}  // namespace

// ---------------------------------------------------------------- hover

void THtmlView::HtmlMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y) {
    if (middleScrollOn_) {
        if (!autoScrolling_ && std::abs(y - middleY_) > 20) StartAutoScroll();
        return;
    }
    const QPoint d = DocPoint(x, y);
    const int dx = d.x(), dy = d.y();
    int cursor = crArrowId;
    std::string url, target;
    TLinkHit link;
    const bool onLink = doc_.LinkAt(measure_, dx, dy, link);
    doc_.MouseOver(link);
    if (onLink) {
        cursor = crHandId;
        if (!link.FormControl) url = link.Target.Url, target = link.Target.TargetFrame;
    }
    TImageHit image;
    if ((OnImageClick || OnImageOver) && doc_.ObjectAt(dx, dy, image) && image.Image) {
        if (OnImageOver) OnImageOver(this, image.Image, shift, image.X, image.Y);
    } else if (!onLink) {
        TCursorHit hit;
        if (doc_.CursorAt(measure_, dx, dy, hit) >= 0 && hit.InText) cursor = crIBeamId;
    }
    SetPanelCursor(cursor);
    if (cursor == crHandId || link.Run || link.Image)
        hoverTimer_.start();
    else
        hoverTimer_.stop();
    if (url != url_ || target != target_) {
        url_ = url;
        target_ = target;
        if (OnHotSpotCovered) OnHotSpotCovered(this, url_);
    }
    if (buttons & Qt::LeftButton) {
        if (!autoScrolling_ && (y <= 0 || y >= height())) StartAutoScroll();
        if (!noSelect_) ExtendSelection(x, y);
    }
}

void THtmlView::HoverTimerTick() {
    const QPoint global = QCursor::pos();
    if (QApplication::widgetAt(global) == panel_) return;
    doc_.ClearHover();
    hoverTimer_.stop();
    if (!url_.empty()) {
        url_.clear();
        target_.clear();
        if (OnHotSpotCovered) OnHotSpotCovered(this, "");
    }
}

void THtmlView::SetPanelCursor(int id) {
    panelCursorId_ = id;
    panel_->setCursor(ViewerCursor(id));
}

// ---------------------------------------------------------------- press, drag, release

void THtmlView::HtmlMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
    setFocus();
    hotSpotClicked_ = false;
    if (middleScrollOn_) {
        middleScrollOn_ = false;
        autoScrollTimer_.stop();
        autoScrolling_ = false;
        SetPanelCursor(crArrowId);
        return;
    }
    if (button == Qt::MiddleButton) {
        middleScrollOn_ = true;
        middleY_ = y;
        SetPanelCursor(crUpDownId);
        return;
    }
    if (button != Qt::LeftButton) return;
    leftButtonDown_ = selecting_ = true;
    TCursorHit hit;
    const QPoint d = DocPoint(x, y);
    selAnchor_ = doc_.CursorAt(measure_, d.x(), d.y(), hit);
    if (doc_.SelStart() < doc_.SelEnd()) panel_->update();
    // A press off the text (blank space, an image link below a paragraph's lines) clears the
    // selection as a press on text does: a plain click there is not kept from a link.
    if (selAnchor_ < 0) {
        doc_.Select(-1, -1);
        return;
    }
    doc_.Select(selAnchor_, selAnchor_);
    caretPos_ = selAnchor_;
}

void THtmlView::ExtendSelection(int x, int y) {
    if (!selecting_ || selAnchor_ < 0) return;
    y = std::clamp(y, 0, height());
    TCursorHit hit;
    const QPoint d = DocPoint(x, y);
    const int position = doc_.CursorAt(measure_, d.x(), d.y(), hit);
    // Off the text (a margin, below the end) the selection keeps its last extent.
    if (position < 0) return;
    if (!noSelect_) {
        doc_.Select(std::min(selAnchor_, position), std::max(selAnchor_, position));
        panel_->update();
    }
    caretPos_ = position;
}

void THtmlView::HtmlMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (middleScrollOn_) {
        if (!(button == Qt::MiddleButton && y == middleY_)) {
            middleScrollOn_ = false;
            autoScrollTimer_.stop();
            autoScrolling_ = false;
            SetPanelCursor(crArrowId);
        }
        return;
    }
    const QPoint d = DocPoint(x, y);
    const int dx = d.x(), dy = d.y();
    if (OnImageClick || OnRightClick) {
        TImageHit image;
        if (OnImageClick && doc_.ObjectAt(dx, dy, image) && image.Image)
            OnImageClick(this, image.Image, button, shift, image.X, image.Y);
        if (button == Qt::RightButton && OnRightClick) RightClick(x, y);
    }
    if (button != Qt::LeftButton) return;
    autoScrolling_ = false;
    autoScrollTimer_.stop();
    ExtendSelection(x, y);
    selecting_ = false;
    AnnounceSelection();
    const bool pressed = leftButtonDown_;
    leftButtonDown_ = false;
    // A click follows a link only when nothing was selected between press and release.
    if (pressed && doc_.SelStart() >= doc_.SelEnd()) FollowLinkAt(dx, dy);
}

bool THtmlView::FollowLinkAt(int x, int y) {
    TLinkHit link;
    const bool found = doc_.LinkAt(measure_, x, y, link);
    doc_.MouseOver(link);
    if (!found) return false;
    if (link.FormControl) {
        link.FormControl->Activate(link.X, link.Y);
        return true;
    }
    url_ = link.Target.Url;
    target_ = link.Target.TargetFrame;
    hotSpotClicked_ = true;
    LinkClick();
    return true;
}

void THtmlView::RightClick(int x, int y) {
    const QPoint d = DocPoint(x, y);
    const int dx = d.x(), dy = d.y();
    TRightClickParameters parameters;
    TImageHit image;
    if (doc_.ObjectAt(dx, dy, image) && image.Image) {
        parameters.ImageObject = image.Image;
        parameters.ImagePointX = image.X;
        parameters.ImagePointY = image.Y;
    }
    TLinkHit link;
    const bool found = doc_.LinkAt(measure_, dx, dy, link);
    doc_.MouseOver(link);
    if (found && !link.FormControl) {
        parameters.LinkURL = link.Target.Url;
        parameters.LinkTarget = link.Target.TargetFrame;
    }
    int start = -1, end = -1;
    parameters.Word = WordAt(x, y, start, end);
    OnRightClick(this, parameters);
}

// ---------------------------------------------------------------- words

std::string THtmlView::WordAt(int x, int y, int& start, int& end) {
    return text::fromUtf16(WordAtUnicode(x, y, start, end));
}

std::u16string THtmlView::WordAtUnicode(int x, int y, int& start, int& end) {
    start = end = -1;
    TCursorHit hit;
    const QPoint d = DocPoint(x, y);
    const int position = doc_.CursorAt(measure_, d.x(), d.y(), hit);
    if (position < 0) return u"";
    caretPos_ = position;
    char16_t ch = 0;
    const TFontObj* font = nullptr;
    if (!hit.InText || !doc_.CharAt(position, ch, font) || !IsWordChar(ch)) return u"";
    const TSectionBase* section = doc_.TextSectionAt(position);
    // Another section's character ends the word as a space would.
    auto wordCharAt = [&](int p) {
        return p >= 0 && doc_.TextSectionAt(p) == section && doc_.CharAt(p, ch, font) &&
               IsWordChar(ch);
    };
    std::u16string word(1, ch);
    start = position;
    end = position + 1;
    for (; wordCharAt(end); ++end) word += ch;
    std::u16string before;  // gathered backwards
    for (; wordCharAt(start - 1); --start) before += ch;
    return std::u16string(before.rbegin(), before.rend()) + word;
}

void THtmlView::HtmlMouseDouble(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (button != Qt::LeftButton || processing_ || hotSpotClicked_) return;
    if (!noSelect_) {
        int start = -1, end = -1;
        WordAt(x, y, start, end);
        if (start >= 0) {
            doc_.Select(start, end);
            caretPos_ = start;
        }
        panel_->update();
        AnnounceSelection();
    }
    if (OnMouseDouble) OnMouseDouble(this, button, shift, x, y);
}

// ---------------------------------------------------------------- auto-scroll

void THtmlView::StartAutoScroll() {
    autoScrolling_ = true;
    AutoScrollTick();  // the first step at once
    if (autoScrolling_) autoScrollTimer_.start(kAutoScrollStep);
}

int THtmlView::DragScrollTarget(int p, int y, int height) {
    if (y < -15) return p - 8 * 16;
    if (y <= 0) return p - 16;
    if (y > height + 15) return p + 8 * 16;
    return p + 16;
}

int THtmlView::MiddleScrollTarget(int p, int d) {
    if (d < -60) return p - 32;
    if (d < -20) return p - 8;
    if (d > 60) return p + 32;
    if (d > 20) return p + 8;
    return p;
}

void THtmlView::AutoScrollTick() {
    const int y = panel_->mapFromGlobal(QCursor::pos()).y();
    const int p = VScrollPos();
    int next = p;
    const bool dragging = autoScrolling_ && !middleScrollOn_ && (y < 1 || y > height()) &&
                          (QApplication::mouseButtons() & Qt::LeftButton);
    const bool middle = middleScrollOn_ && std::abs(y - middleY_) > 20;
    if (dragging) {
        next = DragScrollTarget(p, y, height());
    } else if (middle) {
        next = MiddleScrollTarget(p, y - middleY_);
        SetPanelCursor(next < p ? crUpOnlyId : crDownOnlyId);
    } else {
        autoScrollTimer_.stop();
        autoScrolling_ = false;
        if (middleScrollOn_) SetPanelCursor(crUpDownId);
        return;
    }
    next = std::clamp(next, 0, std::max(0, LastTop()));
    if (next != p) ScrollTo(next);
    if (dragging) ExtendSelection(panel_->mapFromGlobal(QCursor::pos()).x(), y);
}

// ---------------------------------------------------------------- find and copy

bool THtmlView::Find(const std::string& phrase, bool matchCase) {
    return Find(text::toUtf16(phrase), matchCase);
}

bool THtmlView::Find(std::u16string_view phrase, bool matchCase) {
    if (phrase.empty()) return false;
    const int start = doc_.SearchText(caretPos_, phrase, matchCase);
    if (start < 0) return false;
    doc_.Select(start, start + int(phrase.size()));
    caretPos_ = doc_.SelEnd();
    int y = 0, x = 0;
    if (doc_.CursorToPoint(&measure_, start, y, x)) {
        const int top = VScrollPos(), client = ViewHeight();
        if (y < top || y > top + client - 20) ScrollTo(y - client / 2);
    }
    panel_->update();
    AnnounceSelection();
    return true;
}

std::string THtmlView::SelText() {
    return text::fromUtf16(doc_.SelectedText());
}

std::u16string THtmlView::SelTextUnicode() {
    return doc_.SelectedText();
}

void THtmlView::SelectAll() {
    if (noSelect_) return;
    doc_.Select(0, doc_.FirstCursor + doc_.CursorCount);
    panel_->update();
    AnnounceSelection();
}

void THtmlView::CopyToClipboard() {
    const std::u16string text = SelTextUnicode();
    if (text.empty()) return;
    QApplication::clipboard()->setText(text::toQString(text));
}

}  // namespace kv
