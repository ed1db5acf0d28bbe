#include "html/viewer/paintpanel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include "html/images/display.h"
#include "html/viewer/htmlview.h"
#include "platform/canvas.h"
#include "platform/errors.h"
#include "platform/messages.h"

namespace kv {

TPaintPanel::TPaintPanel(THtmlView* viewer, QWidget* parent) : QWidget(parent), viewer_(viewer) {
    // Every pixel is ours: no erasing before a paint, no system background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

namespace {

// A picture drawn in document pixels and enlarged on its way in: text is drawn at the larger
// size, not stretched.
class TZoomCanvas : public TImageCanvas {
public:
    TZoomCanvas(QImage* picture, const QTransform& transform)
        : TImageCanvas(picture), transform_(transform) {}

protected:
    void Prepare(QPainter& painter) override { painter.setWorldTransform(transform_); }

private:
    QTransform transform_;
};

}  // namespace

QImage TPaintPanel::Render(const QRect& rect) {
    if (rect.isEmpty()) return QImage();
    QImage picture(rect.size(), QImage::Format_RGB32);
    if (picture.isNull()) throw Exception("Out of Resources");
    if (viewer_->Zoom() != 100) {
        RenderZoomed(picture, rect);
        return picture;
    }
    TImageCanvas canvas(&picture);
    // On displays of 256 colours or fewer the document draws through the shared palette.
    canvas.SetPaletteDevice(ColorBits() <= 8);
    viewer_->PaintDocument(canvas, rect);
    canvas.Flush();
    return picture;
}

void TPaintPanel::RenderZoomed(QImage& picture, const QRect& rect) {
    // The document rectangle that covers the panel's, placed so that every document pixel
    // lands where the whole panel's paint puts it.
    const QRect area = viewer_->DocRect(rect);
    const double zoom = viewer_->Zoom() / 100.0;
    TZoomCanvas canvas(&picture, QTransform(zoom, 0, 0, zoom, area.left() * zoom - rect.left(),
                                            area.top() * zoom - rect.top()));
    canvas.SetPaletteDevice(ColorBits() <= 8);
    viewer_->PaintDocument(canvas, area);
    canvas.Flush();
}

void TPaintPanel::paintEvent(QPaintEvent* event) {
    if (viewer_->LayingOut()) return;
    viewer_->UpdateBorder();
    const QRect rect = event->rect();
    QImage picture;
    try {
        picture = Render(rect);
    } catch (const Exception& error) {
        // Not from inside a paint: a message box would paint again at once.
        const std::string text = error.what();
        QTimer::singleShot(0, viewer_, [text] { messages::showError(text); });
        return;
    }
    if (picture.isNull()) return;
    QPainter(this).drawImage(rect.topLeft(), picture);
    viewer_->UpdateControlVisibility();
}

void TPaintPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    viewer_->HtmlMouseDown(event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
}

void TPaintPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    viewer_->HtmlMouseMove(event->buttons(), event->modifiers(), p.x(), p.y());
    event->accept();
}

void TPaintPanel::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    viewer_->HtmlMouseUp(event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
}

void TPaintPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    viewer_->HtmlMouseDouble(event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
}

}  // namespace kv
