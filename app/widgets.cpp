#include "app/widgets.h"

#include <QMouseEvent>
#include <QWindow>

namespace kv {

TPictureArea::TPictureArea(QWidget* parent, const QRect& bounds, Qt::CursorShape cursor)
    : QLabel(parent) {
    setGeometry(bounds);
    setCursor(cursor);
}

void TPictureArea::SetClickThrough(bool through) {
    setAttribute(Qt::WA_TransparentForMouseEvents, through);
}

void TPictureArea::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void TPictureArea::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit clicked();
}

QWidget* TNotebook::AddPage(const QString& name) {
    auto* page = new QWidget(this);
    page->setObjectName(name);
    addWidget(page);
    return page;
}

void TNotebook::SetActivePage(const QString& name) {
    if (QWidget* page = Page(name)) setCurrentWidget(page);
}

QString TNotebook::ActivePage() const {
    return currentWidget() ? currentWidget()->objectName() : QString();
}

QWidget* TNotebook::Page(const QString& name) const {
    for (int i = 0; i < count(); ++i) {
        if (widget(i)->objectName() == name) return widget(i);
    }
    return nullptr;
}

TBorderlessForm::TBorderlessForm(QSize clientSize, bool movable, Qt::WindowFlags extraFlags)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | extraFlags), movable_(movable) {
    setFixedSize(clientSize);
}

void TBorderlessForm::mousePressEvent(QMouseEvent* event) {
    if (movable_ && event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SetColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetFont(QWidget* widget, const QString& face, int pixelHeight, bool bold,
             const QColor& color) {
    QFont font(face);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

}  // namespace kv
