#include "app/contentswindow.h"

#include <QKeyEvent>
#include <QPixmap>

#include "app/mainwindow.h"
#include "platform/codec.h"

namespace kv {

TForm3::TForm3(TForm1* main)
    : TBorderlessForm(QSize(345, 337), true, Qt::WindowStaysOnTopHint | Qt::Tool), main_(main) {
    setObjectName(QStringLiteral("Form3"));
    move(295, 279);
    Image1 = new TPictureArea(this, QRect(0, 0, 345, 337), Qt::ArrowCursor);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/contents.bmp")));
    Image1->SetClickThrough(true);
    Image2 = new TPictureArea(this, QRect(256, 296, 81, 17), Qt::PointingHandCursor);
    Image3 = new TPictureArea(this, QRect(152, 296, 97, 17), Qt::PointingHandCursor);
    Edit1 = new QLineEdit(QStringLiteral("поиск"), this);
    Edit1->setGeometry(13, 296, 129, 21);
    Edit1->setFrame(false);
    SetFont(Edit1, QStringLiteral("MS Sans Serif"), 11, true, palette().color(QPalette::Text));
    TreeView1 = new TContentsTreeView(this, QRect(13, 16, 321, 273));
    SetFont(TreeView1, QStringLiteral("MS Sans Serif"), 13, true, Qt::white);
    Panel2 = new QWidget(this);
    Panel2->setGeometry(13, 270, 324, 19);
    TreeView1->setAccessibleName(QStringLiteral("Содержание"));
    Image3->setAccessibleName(QStringLiteral("искать далее"));
    Image2->setAccessibleName(QStringLiteral("закрыть"));
    for (TPictureArea* button : {Image3, Image2}) {
        button->setFocusPolicy(Qt::TabFocus);
        new TFocusMark(button, QColor(255, 228, 196), 1);
    }
    // The phrase box stays first; each moved right behind it (Qt moves nothing behind a tree).
    for (QWidget* next : {static_cast<QWidget*>(TreeView1), static_cast<QWidget*>(Image2),
                          static_cast<QWidget*>(Image3)})
        setTabOrder(Edit1, next);
    connect(Image2, &TPictureArea::clicked, this, &TForm3::Image2Click);
    connect(Image3, &TPictureArea::clicked, this, &TForm3::Image3Click);
    connect(TreeView1, &TContentsTreeView::NodeSelectionChanged, this, &TForm3::TreeView1Change);
}

void TForm3::FormCreate() {
    const QColor rust(169, 72, 22);
    const QColor light(239, 154, 111);
    SetColor(Panel2, rust);
    SetColor(this, rust);
    SetColor(TreeView1, light);
    SetColor(Edit1, light);
    TreeView1->CopyFrom(*main_->TreeView1);
}

void TForm3::Image2Click() {
    close();
}

bool TForm3::Image3Click() {
    return main_->FindInArticle(Edit1->text());
}

void TForm3::TreeView1Change() {
    TreeView1->viewport()->repaint();
    main_->TreeView1Change(TreeView1->SelectedNode());
}

void TForm3::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        event->accept();
        return;
    }
    TBorderlessForm::keyPressEvent(event);
}

}  // namespace kv
