#include "app/widgets.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "html/viewer/viewaccessible.h"
#include "layers/layeraccessible.h"

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

namespace {

// A named picture area is a button; an unnamed one (a backdrop picture) stays a picture.
QAccessibleInterface* PictureAreaFactory(const QString& key, QObject* object) {
    if (key != QLatin1String(TPictureArea::staticMetaObject.className())) return nullptr;
    const auto* area = static_cast<const TPictureArea*>(object);
    return area->accessibleName().isEmpty() ? nullptr : PressableAccessible(object);
}

// A check box whose toggle action is a click, as the windows act on clicks (Qt's own toggles
// the box without one).
class TCheckAccessible : public QAccessibleWidget {
public:
    explicit TCheckAccessible(QCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}
    QString text(QAccessible::Text type) const override {
        const QString text = QAccessibleWidget::text(type);
        return type == QAccessible::Name && text.isEmpty() ? Box()->text() : text;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Box()->isChecked();
        return state;
    }
    QStringList actionNames() const override { return {toggleAction(), setFocusAction()}; }
    void doAction(const QString& actionName) override {
        if (actionName == toggleAction() || actionName == pressAction())
            QMetaObject::invokeMethod(Box(), &QAbstractButton::click, Qt::QueuedConnection);
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    QCheckBox* Box() const { return static_cast<QCheckBox*>(widget()); }
};

QAccessibleInterface* CheckBoxFactory(const QString& key, QObject* object) {
    if (key != QLatin1String(QCheckBox::staticMetaObject.className())) return nullptr;
    return new TCheckAccessible(static_cast<QCheckBox*>(object));
}

}  // namespace

void TPictureArea::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
        return QLabel::keyPressEvent(event);
    event->accept();
    emit clicked();
}

TFocusMark::TFocusMark(QWidget* target, const QColor& color, int margin)
    : QWidget(target->parentWidget()), target_(target), color_(color), margin_(margin) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    target_->installEventFilter(this);
}

void TFocusMark::Place() {
    const QRect frame = target_->geometry()
                            .adjusted(-margin_, -margin_, margin_, margin_)
                            .intersected(parentWidget()->rect());
    setGeometry(frame);
    // Only the frame's own pixels are this widget's: the control inside paints undisturbed.
    const QRect local = rect();
    setMask(QRegion(local).subtracted(QRegion(local.adjusted(1, 1, -1, -1))));
}

bool TFocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_) return false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason)
            byKeyboard_ = true;
        else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            byKeyboard_ = false;
        if (!byKeyboard_) break;
        Place();
        raise();
        show();
        break;
    }
    case QEvent::FocusOut: hide(); break;
    case QEvent::Hide: hide(); break;
    case QEvent::Move:
    case QEvent::Resize:
        if (isVisible()) Place();
        break;
    default: break;
    }
    return false;
}

void TFocusMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(color_, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
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

void InstallAccessibility() {
    InstallLayerAccessibility();
    InstallViewerAccessibility();
    QAccessible::installFactory(PictureAreaFactory);
    QAccessible::installFactory(CheckBoxFactory);
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
