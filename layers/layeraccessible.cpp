#include "layers/layeraccessible.h"

#include <QMetaObject>

#include "layers/layers.h"

namespace kv {

namespace {

QAccessibleInterface* LayerFactory(const QString& key, QObject* object) {
    if (key != QLatin1String(TButtonLayer::staticMetaObject.className())) return nullptr;
    return PressableAccessible(object);
}

}  // namespace

TPressAccessible::TPressAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::Button) {}

QAccessible::State TPressAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.focusable = widget()->focusPolicy() != Qt::NoFocus;
    return state;
}

QStringList TPressAccessible::actionNames() const {
    QStringList names{pressAction()};
    if (widget()->focusPolicy() != Qt::NoFocus) names << setFocusAction();
    return names;
}

void TPressAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction())
        QMetaObject::invokeMethod(object(), "clicked", Qt::QueuedConnection);
    else if (actionName == setFocusAction())
        widget()->setFocus(Qt::OtherFocusReason);
}

QStringList TPressAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction()) return {QStringLiteral("Space")};
    return {};
}

QAccessibleInterface* PressableAccessible(QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || object->metaObject()->indexOfSignal("clicked()") < 0) return nullptr;
    return new TPressAccessible(widget);
}

void InstallLayerAccessibility() {
    QAccessible::installFactory(LayerFactory);
}

}  // namespace kv
