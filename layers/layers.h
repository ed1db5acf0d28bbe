#pragma once
// Skinned controls: a layer paints what lies beneath it and then its own content through an
// off-screen buffer, so it looks transparent outside its shape; an image layer shows a picture;
// a button layer is an image button shaped by an 8-bit mask whose glyph fades in and out.
// Points of a layer outside its shape fall through to what lies beneath: a layer routes the
// pointer to the topmost child layer that owns the point.

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "layers/channels.h"

namespace kv {

enum TTextFX : std::uint8_t { tfxNone, tfxShadow, tfxEmboss };
enum TJPEGScale : std::uint8_t { jsFullSize, jsHalf, jsQuarter, jsEighth };

class TLayer : public QWidget {
    Q_OBJECT
public:
    explicit TLayer(QWidget* parent);
    ~TLayer() override;

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    TTextFX CaptionFX() const { return captionFX_; }
    void SetCaptionFX(TTextFX fx);
    TTextAlign CaptionAlign() const { return captionAlign_; }
    void SetCaptionAlign(TTextAlign align);
    void SetOffsets(int left, int top, int right, int bottom);
    const QMargins& Offsets() const { return offsets_; }
    const TChannel& Mask() const { return mask_; }
    void SetMask(const TChannel& mask) { mask_.Assign(mask); }
    TChannelAlign MaskAlign() const { return maskAlign_; }
    void SetMaskAlign(TChannelAlign align);
    int Outer = 0;
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    // The pointer shape over this layer (a parent layer shows it while routing to this one).
    void SetLayerCursor(Qt::CursorShape shape);
    Qt::CursorShape LayerCursor() const { return cursor_; }

    // Whether a point (client coordinates) is this layer's rather than see-through.
    virtual bool HitTest(QPoint point) const;
    // The topmost visible child layer that owns a point of this layer, or none.
    TLayer* ChildLayerAt(QPoint point) const;
    // The client rectangle less the four offsets.
    QRect ContentArea() const { return rect().marginsRemoved(offsets_); }
    // Where the mask lies in the content rectangle.
    QRect MaskRect() const;
    // The mask value under a point, its picture lying at the placed rectangle's top left;
    // none outside the placed rectangle (or without a mask).
    std::optional<int> MaskValueAt(QPoint point) const;

    // Paints this layer as the screen shows it (what lies beneath, then itself) into a buffer
    // of its own size, within `area` (all of it by default); public so that tests can read it.
    void PaintToBuffer(TRGBChannel& buffer, std::optional<QRect> area = std::nullopt);

    // Mouse actions, raised by the routing layer or by the platform.
    virtual void MouseEnter();
    virtual void MouseLeave();
    bool PointerInside() const { return inside_; }

signals:
    void clicked();
    void doubleClicked();
    void mouseEntered();
    void mouseLeft();

protected:
    // Painting steps a subclass may change, in the order they are used.
    virtual std::optional<QRect> OpaqueRect() const { return std::nullopt; }
    virtual std::optional<QRect> ContentRect() const;
    virtual void PaintContent(TRGBChannel& buffer, QPoint origin, const QRect& area);
    virtual void PaintOver(TRGBChannel& buffer, QPoint origin, const QRect& area);
    virtual bool UsesMask() const { return !mask_.Empty(); }
    // Mouse actions on this layer's own points (not routed to a child).
    virtual void LayerPress(QMouseEvent* event);
    virtual void LayerMove(QMouseEvent* event);
    virtual void LayerRelease(QMouseEvent* event);
    void Changed() { update(); }

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    // Steps 3 to 5 of painting: content, colour, caption, mask; at `origin` in the buffer.
    void PaintSelf(TRGBChannel& buffer, QPoint origin, const QRect& area);
    // This layer's own paint and that of its child layers, as a layer above sees them.
    void PaintTree(TRGBChannel& buffer, QPoint origin, const QRect& area);
    // What lies beneath: the parent's content, then the earlier sibling layers.
    void PaintBeneath(TRGBChannel& buffer, QPoint origin, const QRect& area);
    void PaintCaption(TRGBChannel& buffer, QPoint origin);
    void Route(QMouseEvent* event);
    void SetHovered(TLayer* layer);

    QString caption_;
    TTextFX captionFX_ = tfxNone;
    TTextAlign captionAlign_ = aCenter;
    QMargins offsets_;
    TChannel mask_{TChannelKind::ckMask};
    TChannelAlign maskAlign_ = aFrame;
    TColor color_;
    Qt::CursorShape cursor_ = Qt::ArrowCursor;
    TRGBChannel buffer_;
    TLayer* hovered_ = nullptr;  // not owned: the child layer the pointer is over
    TLayer* pressed_ = nullptr;  // not owned: the child layer that took the press
    bool inside_ = false;
    bool pressedSelf_ = false;
};

class TImageLayer : public TLayer {
    Q_OBJECT
public:
    explicit TImageLayer(QWidget* parent);

    const QImage& Image() const { return image_; }
    void SetImage(const QImage& image);
    // Reads a picture file (bitmap, JPEG, ...); JPEG pictures honour Scale.
    bool LoadImageFile(const QString& path);
    TImageAlign ImageAlign() const { return imageAlign_; }
    void SetImageAlign(TImageAlign align);
    bool ImageClient = false;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool AutoScroll = false;
    TJPEGScale Scale() const { return scale_; }
    void SetScale(TJPEGScale scale);
    QPoint ScrollOrigin() const { return origin_; }
    QRect ImageRect() const;

    bool HitTest(QPoint point) const override;

protected:
    std::optional<QRect> ContentRect() const override;
    void PaintContent(TRGBChannel& buffer, QPoint origin, const QRect& area) override;
    void LayerPress(QMouseEvent* event) override;
    void LayerMove(QMouseEvent* event) override;

private:
    void ApplyAutoSize();
    void DecodeJpeg();

    QImage image_;
    QByteArray jpeg_;  // the undecoded picture, when it is a JPEG
    TImageAlign imageAlign_ = aCenter;
    bool autoSize_ = false;
    TJPEGScale scale_ = jsFullSize;
    QPoint origin_;
    QPoint dragFrom_;
};

class TButtonLayer;

// The one timer that steps every button fade: 50 ms, running only while a fade is in progress.
class THitTimer {
public:
    // With `real` off nothing ticks by itself: the owner calls Tick (tests do).
    explicit THitTimer(bool real = true);
    ~THitTimer();
    static THitTimer& Shared();

    void Start(TButtonLayer* button, bool towardsActive);
    void Stop(TButtonLayer* button);
    void Tick();
    bool Running() const { return !fades_.empty(); }
    // Steps left for a button, -1 when it is not fading.
    int StepsLeft(const TButtonLayer* button) const;

private:
    struct Fade {
        TButtonLayer* button;  // not owned
        bool towardsActive;
        int steps;
    };
    void Schedule();
    std::vector<Fade> fades_;
    QPointer<QTimer> timer_;  // owned by the application, which outlives every fade
    bool real_;
};

class TButtonLayer : public TLayer {
    Q_OBJECT
public:
    explicit TButtonLayer(QWidget* parent, THitTimer* timer = &THitTimer::Shared());
    ~TButtonLayer() override;

    const TChannel& Glyph() const { return glyph_; }
    void SetGlyph(const TChannel& glyph);
    int GlyphActive() const { return glyphActive_; }
    void SetGlyphActive(int strength);
    int GlyphInactive() const { return glyphInactive_; }
    void SetGlyphInactive(int strength);
    bool FadeActive = false;
    bool FadeInactive = true;
    int Strength() const { return strength_; }
    void SetStrength(int strength);

    bool HitTest(QPoint point) const override;
    void MouseEnter() override;
    void MouseLeave() override;
    // Focus from the keyboard (Tab, Shift+Tab, a shortcut; given by a focus policy the window
    // sets) lights the glyph as the pointer does, and keeps it lit while the pointer comes and
    // goes; Enter or Space then press the button.
    bool KeyboardFocused() const { return keyFocus_; }

protected:
    void PaintContent(TRGBChannel& buffer, QPoint origin, const QRect& area) override;
    void PaintOver(TRGBChannel& buffer, QPoint origin, const QRect& area) override;
    bool UsesMask() const override { return !Mask().Empty() || !glyph_.Empty(); }
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRect GlyphRect() const;
    // Fades the glyph towards its active (lit) or inactive strength.
    void Light(bool on);

    THitTimer* timer_;  // not owned
    TChannel glyph_{TChannelKind::ckColor};
    int glyphActive_ = 255;
    int glyphInactive_ = 64;
    int strength_ = 64;
    bool keyFocus_ = false;
};

}  // namespace kv
