#include "app/backdrop.h"

#include <QGuiApplication>
#include <QScreen>

namespace kv {

TForm2::TForm2() : TBorderlessForm(QSize(775, 513), false) {
    setObjectName(QStringLiteral("Form2"));
    SetColor(this, Qt::black);
}

void TForm2::FormCreate() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(775, 513);
    setFixedSize(size.width() + 50, size.height() + 50);
}

}  // namespace kv
