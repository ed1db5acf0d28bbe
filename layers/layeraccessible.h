#pragma once
// Screen readers see a control drawn as a picture (a button layer, a picture area) as a push
// button: its accessible name is the widget's accessibleName, and its press action does what a
// click does (the widget's clicked() signal, raised after the reader's call has returned, so a
// question the click asks does not hold the reader up).

#include <QAccessibleWidget>

namespace kv {

class TPressAccessible : public QAccessibleWidget {
public:
    explicit TPressAccessible(QWidget* widget);

    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;
};

// Installs the interface for button layers; installing again changes nothing.
void InstallLayerAccessibility();
// The accessible interface of a pressable picture widget (any class with a clicked() signal).
QAccessibleInterface* PressableAccessible(QObject* object);

}  // namespace kv
