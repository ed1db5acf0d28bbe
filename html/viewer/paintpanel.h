#pragma once
// The child widget that shows the document. Every paint goes through one off-screen picture the
// size of the invalid rectangle: the background and the document are drawn into it, then it is
// copied to the screen in one piece.

#include <QImage>
#include <QWidget>

namespace kv {

class THtmlView;

class TPaintPanel : public QWidget {
public:
    TPaintPanel(THtmlView* viewer, QWidget* parent);

    // The picture of a panel rectangle as the screen gets it. Raises "Out of Resources" when
    // the picture cannot be made for a non-empty rectangle.
    QImage Render(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The mouse goes to the viewer.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void RenderZoomed(QImage& picture, const QRect& rect);

    THtmlView* viewer_;  // not owned
};

}  // namespace kv
