#pragma once
// Small widgets the windows are built from: picture areas that answer clicks, page containers
// whose pages are chosen by name, and borderless windows that move when pressed.

#include <QLabel>
#include <QStackedWidget>
#include <QWidget>

namespace kv {

// A picture (or an empty area) that reports a left click; disabled areas let presses through
// to the window below.
class TPictureArea : public QLabel {
    Q_OBJECT
public:
    explicit TPictureArea(QWidget* parent, const QRect& bounds, Qt::CursorShape cursor);
    void SetClickThrough(bool through);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// A page container whose pages are named.
class TNotebook : public QStackedWidget {
    Q_OBJECT
public:
    using QStackedWidget::QStackedWidget;
    QWidget* AddPage(const QString& name);
    void SetActivePage(const QString& name);
    QString ActivePage() const;
    QWidget* Page(const QString& name) const;
};

// A borderless top-level window; with `movable` a left press on its own surface moves it as a
// press on a title bar would.
class TBorderlessForm : public QWidget {
    Q_OBJECT
public:
    TBorderlessForm(QSize clientSize, bool movable, Qt::WindowFlags extraFlags = {});

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool movable_;
};

// Fills a widget's background with a solid colour.
void SetColor(QWidget* widget, const QColor& color);
// Sets a font by face, pixel height, bold and colour.
void SetFont(QWidget* widget, const QString& face, int pixelHeight, bool bold, const QColor& color);

}  // namespace kv
