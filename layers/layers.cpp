#include "layers/layers.h"

#include <QBuffer>
#include <QChildEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kv {
namespace {

TColor ToColor(const QColor& c) {
    return RGBColor(c.red(), c.green(), c.blue());
}
QColor ToQColor(TColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

int AlignFlags(TTextAlign align) {
    switch (align) {
    case aLeft: return Qt::AlignLeft | Qt::AlignVCenter;
    case aUp: return Qt::AlignHCenter | Qt::AlignTop;
    case aRight: return Qt::AlignRight | Qt::AlignVCenter;
    case aDown: return Qt::AlignHCenter | Qt::AlignBottom;
    case aLeftUp: return Qt::AlignLeft | Qt::AlignTop;
    case aLeftDown: return Qt::AlignLeft | Qt::AlignBottom;
    case aRightUp: return Qt::AlignRight | Qt::AlignTop;
    case aRightDown: return Qt::AlignRight | Qt::AlignBottom;
    default: return Qt::AlignCenter;
    }
}

QSize SizeOf(const TChannel& channel) {
    return {channel.Width(), channel.Height()};
}

}  // namespace

// ---- TLayer ----

TLayer::TLayer(QWidget* parent) : QWidget(parent) {
    color_ = ToColor(palette().color(QPalette::Button));
    setMouseTracking(true);
    // Not marked opaque, though the buffer covers every pixel: a layer shows the layers beneath
    // it, so a change of one must repaint every layer above it that overlaps it, and the
    // platform repaints a see-through widget's region from the bottom up.
    // A child layer is reached through its parent's routing, so that its see-through points
    // reach the layers beneath it.
    if (qobject_cast<TLayer*>(parent)) setAttribute(Qt::WA_TransparentForMouseEvents);
    mask_.OnChange = [this] { Changed(); };
}

TLayer::~TLayer() {
    mask_.OnChange = nullptr;
    hide();  // the layers above repaint
}

void TLayer::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void TLayer::SetCaptionFX(TTextFX fx) {
    if (fx == captionFX_) return;
    captionFX_ = fx;
    Changed();
}

void TLayer::SetCaptionAlign(TTextAlign align) {
    if (align == captionAlign_) return;
    captionAlign_ = align;
    if (!caption_.isEmpty()) Changed();
}

void TLayer::SetOffsets(int left, int top, int right, int bottom) {
    offsets_ = QMargins(left, top, right, bottom);
    Changed();
}

void TLayer::SetMaskAlign(TChannelAlign align) {
    if (align == maskAlign_) return;
    maskAlign_ = align;
    if (!mask_.Empty()) Changed();
}

void TLayer::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TLayer::SetLayerCursor(Qt::CursorShape shape) {
    cursor_ = shape;
    setCursor(shape);
}

QRect TLayer::MaskRect() const {
    return PlaceRect(maskAlign_, SizeOf(mask_), ContentArea());
}

std::optional<int> TLayer::MaskValueAt(QPoint point) const {
    const QRect placed = MaskRect();
    if (mask_.Empty() || !placed.contains(point)) return std::nullopt;
    const QPoint at = point - placed.topLeft();
    // A placed rectangle larger than the picture (frames, tiles) reads 0 past its edges.
    if (at.x() >= mask_.Width() || at.y() >= mask_.Height()) return 0;
    return mask_.Value(at.x(), at.y());
}

bool TLayer::HitTest(QPoint point) const {
    if (color_ != kNoColor) return true;
    if (maskAlign_ < aCenter) return false;
    const std::optional<int> m = MaskValueAt(point);
    return m && std::abs(*m - 128) > 64;
}

TLayer* TLayer::ChildLayerAt(QPoint point) const {
    const QObjectList& list = children();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto* layer = qobject_cast<TLayer*>(*it);
        if (!layer || layer->isHidden() || !layer->isEnabled()) continue;
        if (!layer->geometry().contains(point)) continue;
        const QPoint local = point - layer->pos();
        if (TLayer* inner = layer->ChildLayerAt(local)) return inner;
        if (layer->HitTest(local)) return layer;
    }
    return nullptr;
}

std::optional<QRect> TLayer::ContentRect() const {
    if (!mask_.Empty() && maskAlign_ >= aCenter && color_ != kNoColor) return MaskRect();
    return std::nullopt;
}

void TLayer::PaintContent(TRGBChannel&, QPoint, const QRect&) {}

void TLayer::PaintOver(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    if (mask_.Empty()) return;
    buffer.PaintMask(area, ContentArea().translated(origin), maskAlign_, mask_, color_);
}

void TLayer::PaintCaption(TRGBChannel& buffer, QPoint origin) {
    if (caption_.isEmpty()) return;
    QPainter painter(&buffer.Surface());
    painter.setFont(font());
    const QRect box = ContentArea().translated(origin);
    const int flags = AlignFlags(captionAlign_);
    if (captionFX_ != tfxNone) {
        painter.setPen(Qt::black);
        painter.drawText(box.translated(1, 1), flags, caption_);
    }
    if (captionFX_ == tfxEmboss) {
        painter.setPen(Qt::white);
        painter.drawText(box.translated(-1, -1), flags, caption_);
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(box, flags, caption_);
}

void TLayer::PaintSelf(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    PaintContent(buffer, origin, area);
    if (color_ != kNoColor) {
        QPainter painter(&buffer.Surface());
        QRegion fill(ContentArea().translated(origin).intersected(area));
        if (const auto hole = ContentRect()) fill -= hole->translated(origin);
        painter.setClipRegion(fill);
        painter.fillRect(area, ToQColor(color_));
    }
    PaintCaption(buffer, origin);
    PaintOver(buffer, origin, area);
}

void TLayer::PaintTree(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    PaintSelf(buffer, origin, area);
    for (QObject* child : children()) {
        auto* layer = qobject_cast<TLayer*>(child);
        if (layer && !layer->isHidden()) layer->PaintTree(buffer, origin + layer->pos(), area);
    }
}

void TLayer::PaintBeneath(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    QWidget* parent = parentWidget();
    if (auto* parentLayer = qobject_cast<TLayer*>(parent)) {
        parentLayer->PaintBeneath(buffer, origin - pos(), area);
        parentLayer->PaintSelf(buffer, origin - pos(), area);
    } else {
        const QColor brush = parent ? parent->palette().color(parent->backgroundRole())
                                    : palette().color(QPalette::Window);
        QPainter(&buffer.Surface()).fillRect(area, brush);
    }
    if (!parent) return;
    for (QObject* child : parent->children()) {
        if (child == this) break;
        auto* sibling = qobject_cast<TLayer*>(child);
        if (!sibling || sibling->isHidden()) continue;
        const QPoint at = origin - pos() + sibling->pos();
        if (QRect(at, sibling->size()).intersects(area)) sibling->PaintTree(buffer, at, area);
    }
}

void TLayer::PaintToBuffer(TRGBChannel& buffer, std::optional<QRect> part) {
    buffer.SetAllocated(true);
    buffer.SetSize(width(), height());
    if (buffer.Empty()) return;
    const QRect area = part ? part->intersected(rect()) : rect();
    const std::optional<QRect> opaque = OpaqueRect();
    if (!opaque || !opaque->contains(area)) PaintBeneath(buffer, {0, 0}, area);
    PaintSelf(buffer, {0, 0}, area);
}

void TLayer::paintEvent(QPaintEvent* event) {
    const QRect dirty = event->rect();
    PaintToBuffer(buffer_, dirty);  // only the invalid part is rebuilt and copied
    if (buffer_.Empty()) return;
    QPainter painter(this);
    // Pictures are scaled as a whole on high-density screens.
    painter.drawImage(dirty, buffer_.Surface(), dirty);
}

// ---- pointer routing ----

void TLayer::MouseEnter() {
    inside_ = true;
    emit mouseEntered();
}

void TLayer::MouseLeave() {
    inside_ = false;
    emit mouseLeft();
}

void TLayer::SetHovered(TLayer* layer) {
    if (layer == hovered_) return;
    if (hovered_) hovered_->MouseLeave();
    hovered_ = layer;
    if (hovered_) hovered_->MouseEnter();
    setCursor(hovered_ ? hovered_->LayerCursor() : cursor_);
}

void TLayer::Route(QMouseEvent* event) {
    SetHovered(ChildLayerAt(event->position().toPoint()));
}

void TLayer::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (event->removed() && (event->child() == hovered_ || event->child() == pressed_)) {
        hovered_ = nullptr;
        pressed_ = nullptr;
    }
}

void TLayer::mousePressEvent(QMouseEvent* event) {
    Route(event);
    pressed_ = hovered_;
    if (pressed_) {
        event->accept();
        return;
    }
    LayerPress(event);
}

void TLayer::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) Route(event);
    if (!pressed_ && !hovered_) LayerMove(event);
}

void TLayer::mouseReleaseEvent(QMouseEvent* event) {
    if (TLayer* target = pressed_) {
        pressed_ = nullptr;
        Route(event);
        if (event->button() == Qt::LeftButton && hovered_ == target) emit target->clicked();
        return;
    }
    LayerRelease(event);
}

void TLayer::mouseDoubleClickEvent(QMouseEvent* event) {
    Route(event);
    if (event->button() != Qt::LeftButton) return;
    pressed_ = hovered_;
    emit(hovered_ ? hovered_ : this)->doubleClicked();
}

void TLayer::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!testAttribute(Qt::WA_TransparentForMouseEvents) && HitTest(event->position().toPoint()))
        MouseEnter();
}

void TLayer::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    SetHovered(nullptr);
    if (inside_) MouseLeave();
}

void TLayer::LayerPress(QMouseEvent* event) {
    pressedSelf_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TLayer::LayerMove(QMouseEvent*) {}

void TLayer::LayerRelease(QMouseEvent* event) {
    const bool click = pressedSelf_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressedSelf_ = false;
    if (click) emit clicked();
}

// ---- TImageLayer ----

TImageLayer::TImageLayer(QWidget* parent) : TLayer(parent) {}

void TImageLayer::SetImage(const QImage& image) {
    image_ = image;
    jpeg_.clear();
    origin_ = {};
    ApplyAutoSize();
    Changed();
}

bool TImageLayer::LoadImageFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xFF\xD8")) {
        jpeg_ = bytes;
        DecodeJpeg();
        return !image_.isNull();
    }
    QImage image;
    if (!image.loadFromData(bytes)) return false;
    SetImage(image);
    return true;
}

void TImageLayer::DecodeJpeg() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QBuffer source(&jpeg_);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source, "jpeg");
    const QSize full = reader.size();
    const int divisor = 1 << static_cast<int>(scale_);
    if (full.isValid() && divisor > 1)
        reader.setScaledSize(
            QSize(std::max(1, full.width() / divisor), std::max(1, full.height() / divisor)));
    image_ = reader.read();
    QGuiApplication::restoreOverrideCursor();
    origin_ = {};
    ApplyAutoSize();
    Changed();
}

void TImageLayer::SetScale(TJPEGScale scale) {
    if (scale == scale_) return;
    scale_ = scale;
    if (!jpeg_.isEmpty()) DecodeJpeg();
}

void TImageLayer::SetImageAlign(TImageAlign align) {
    if (align == imageAlign_) return;
    imageAlign_ = align;
    Changed();
}

void TImageLayer::SetAutoSize(bool on) {
    autoSize_ = on;
    ApplyAutoSize();
}

void TImageLayer::ApplyAutoSize() {
    if (!autoSize_ || image_.isNull()) return;
    const QMargins& m = Offsets();
    resize(image_.width() + m.left() + m.right(), image_.height() + m.top() + m.bottom());
}

QRect TImageLayer::ImageRect() const {
    return PlaceRect(imageAlign_, image_.size(), ContentArea());
}

bool TImageLayer::HitTest(QPoint point) const {
    return AutoScroll || TLayer::HitTest(point);
}

std::optional<QRect> TImageLayer::ContentRect() const {
    if (image_.isNull()) return std::nullopt;
    return ImageRect().translated(-origin_).intersected(ContentArea());
}

void TImageLayer::PaintContent(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    if (image_.isNull()) return;
    QPainter painter(&buffer.Surface());
    const QRect content = ContentArea().translated(origin);
    painter.setClipRect(content.intersected(area));
    const QRect placed = ImageRect().translated(origin);
    if (imageAlign_ <= aRightDown) {
        painter.drawImage(placed.topLeft() - origin_, image_);
    } else if (imageAlign_ == aTile) {
        painter.drawTiledPixmap(content, QPixmap::fromImage(image_));
    } else {
        painter.drawImage(placed, image_);
    }
}

void TImageLayer::LayerPress(QMouseEvent* event) {
    dragFrom_ = event->position().toPoint();
    TLayer::LayerPress(event);
}

void TImageLayer::LayerMove(QMouseEvent* event) {
    if (!AutoScroll || imageAlign_ != aLeftUp || image_.isNull() ||
        !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    const QSize content = ContentArea().size();
    const QPoint limit(std::max(0, image_.width() - content.width()),
                       std::max(0, image_.height() - content.height()));
    const QPoint moved = origin_ - (at - dragFrom_);
    const QPoint next(std::clamp(moved.x(), 0, limit.x()), std::clamp(moved.y(), 0, limit.y()));
    dragFrom_ = at;
    if (next == origin_) return;
    origin_ = next;
    Changed();
}

// ---- THitTimer ----

THitTimer::THitTimer(bool real) : real_(real) {}

THitTimer::~THitTimer() {
    delete timer_.data();
}

THitTimer& THitTimer::Shared() {
    static THitTimer timer;  // program-wide: every button fades on the same ticks
    return timer;
}

int THitTimer::StepsLeft(const TButtonLayer* button) const {
    for (const Fade& fade : fades_) {
        if (fade.button == button) return fade.steps;
    }
    return -1;
}

void THitTimer::Start(TButtonLayer* button, bool towardsActive) {
    auto it = std::find_if(fades_.begin(), fades_.end(),
                           [button](const Fade& f) { return f.button == button; });
    if (it == fades_.end()) {
        fades_.push_back({button, towardsActive, 4});
    } else if (it->towardsActive == towardsActive) {
        it->steps = 4;
    } else {
        // Turned round: continue from the strength reached so far.
        it->towardsActive = towardsActive;
        it->steps = 4 - it->steps;
    }
    Schedule();
}

void THitTimer::Stop(TButtonLayer* button) {
    std::erase_if(fades_, [button](const Fade& f) { return f.button == button; });
    Schedule();
}

void THitTimer::Tick() {
    for (Fade& fade : fades_) {
        fade.steps = std::max(fade.steps - 1, 0);
        const int k = fade.towardsActive ? 4 - fade.steps : fade.steps;
        const int from = fade.button->GlyphInactive(), to = fade.button->GlyphActive();
        fade.button->SetStrength(from + k * (to - from) / 4);
    }
    std::erase_if(fades_, [](const Fade& f) { return f.steps == 0; });
    Schedule();
}

void THitTimer::Schedule() {
    if (!real_) return;
    if (!timer_) {
        timer_ = new QTimer(QCoreApplication::instance());
        timer_->setInterval(50);
        QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
    }
    if (fades_.empty())
        timer_->stop();
    else if (!timer_->isActive())
        timer_->start();
}

// ---- TButtonLayer ----

TButtonLayer::TButtonLayer(QWidget* parent, THitTimer* timer) : TLayer(parent), timer_(timer) {
    SetColor(kNoColor);
    SetMaskAlign(aCenter);
    glyph_.OnChange = [this] {
        if (!glyph_.Empty()) {
            const QMargins& m = Offsets();
            resize(glyph_.Width() + m.left() + m.right(), glyph_.Height() + m.top() + m.bottom());
        }
        Changed();
    };
}

TButtonLayer::~TButtonLayer() {
    glyph_.OnChange = nullptr;
    timer_->Stop(this);
}

void TButtonLayer::SetGlyph(const TChannel& glyph) {
    glyph_.Assign(glyph);
}

void TButtonLayer::SetGlyphActive(int strength) {
    glyphActive_ = std::clamp(strength, 0, 255);
    if (PointerInside() && timer_->StepsLeft(this) < 0) SetStrength(glyphActive_);
}

void TButtonLayer::SetGlyphInactive(int strength) {
    glyphInactive_ = std::clamp(strength, 0, 255);
    if (!PointerInside() && timer_->StepsLeft(this) < 0) SetStrength(glyphInactive_);
}

void TButtonLayer::SetStrength(int strength) {
    if (strength == strength_) return;
    strength_ = strength;
    if (!glyph_.Empty()) Changed();
}

QRect TButtonLayer::GlyphRect() const {
    return PlaceRect(MaskAlign(), SizeOf(glyph_), ContentArea());
}

bool TButtonLayer::HitTest(QPoint point) const {
    if (!Mask().Empty()) return MaskValueAt(point).value_or(0) > 128;
    return !glyph_.Empty() && GlyphRect().contains(point);
}

void TButtonLayer::Light(bool on) {
    if ((on ? FadeActive : FadeInactive) && glyphActive_ != glyphInactive_) {
        timer_->Start(this, on);
    } else {
        timer_->Stop(this);
        SetStrength(on ? glyphActive_ : glyphInactive_);
    }
}

void TButtonLayer::MouseEnter() {
    if (!keyFocus_) Light(true);
    TLayer::MouseEnter();
}

void TButtonLayer::MouseLeave() {
    if (!keyFocus_) Light(false);
    TLayer::MouseLeave();
}

void TButtonLayer::focusInEvent(QFocusEvent* event) {
    TLayer::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
        reason != Qt::ShortcutFocusReason)
        return;
    if (!keyFocus_ && !PointerInside()) Light(true);
    keyFocus_ = true;
}

void TButtonLayer::focusOutEvent(QFocusEvent* event) {
    TLayer::focusOutEvent(event);
    if (keyFocus_ && !PointerInside()) Light(false);
    keyFocus_ = false;
}

void TButtonLayer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        emit clicked();
        return;
    default: TLayer::keyPressEvent(event);
    }
}

void TButtonLayer::PaintContent(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    if (glyph_.Empty()) return;
    const QRect placed = GlyphRect().translated(origin);
    if (!Mask().Empty())
        buffer.DrawGlyphMasked(area, placed, strength_, Mask(), glyph_);
    else
        buffer.DrawGlyph(area, placed, strength_, glyph_);
}

void TButtonLayer::PaintOver(TRGBChannel& buffer, QPoint origin, const QRect& area) {
    if (glyph_.Empty()) TLayer::PaintOver(buffer, origin, area);
}

}  // namespace kv
