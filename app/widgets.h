#pragma once
// Small widgets the windows are built from: picture areas that answer clicks, page containers
// whose pages are chosen by name, and borderless windows that move when pressed.

#include <QLabel>
#include <QStackedWidget>
#include <QWidget>

namespace kv {

// A picture (or an empty area) that reports a left click; disabled areas let presses through
// to the window below. Given a focus policy, Enter or Space on it is a click.
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
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool pressed_ = false;
};

// A dotted frame around a control while the keyboard (Tab, Shift+Tab, a shortcut) has given it
// the focus; a click that focuses the control shows none, so windows used with the mouse paint
// as before. The frame lies `margin` pixels outside the control (inside for a negative margin),
// within the control's parent; it lets the pointer through.
class TFocusMark : public QWidget {
    Q_OBJECT
public:
    TFocusMark(QWidget* target, const QColor& color, int margin);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Place();

    QWidget* target_;  // not owned: a sibling
    QColor color_;
    int margin_;
    bool byKeyboard_ = false;  // the target's focus came from the keyboard
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

// Installs the accessible interfaces of the program's own controls (picture buttons, button
// layers, the article viewer); installing again changes nothing.
void InstallAccessibility();
// Fills a widget's background with a solid colour.
void SetColor(QWidget* widget, const QColor& color);
// Sets a font by face, pixel height, bold and colour.
void SetFont(QWidget* widget, const QString& face, int pixelHeight, bool bold, const QColor& color);

}  // namespace kv
