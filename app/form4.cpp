#include "app/form4.h"

#include <QHeaderView>
#include <QPixmap>

#include "app/form1.h"

namespace kv {

TForm4::TForm4(TForm1* main) : TBorderlessForm(QSize(384, 221), true), main_(main) {
    setObjectName(QStringLiteral("Form4"));
    const QColor maroon(128, 0, 0);
    Image1 = new TPictureArea(this, QRect(0, 0, 384, 221), Qt::ArrowCursor);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/search.bmp")));
    Image1->SetClickThrough(true);
    Image2 = new TPictureArea(this, QRect(8, 200, 89, 17), Qt::PointingHandCursor);
    Image3 = new TPictureArea(this, QRect(304, 200, 65, 17), Qt::PointingHandCursor);
    Label1 = new QLabel(QStringLiteral("Идет поиск ..."), this);
    Label1->setGeometry(280, 16, 85, 13);
    SetFont(Label1, QStringLiteral("MS Sans Serif"), 11, true, Qt::yellow);
    Label1->hide();
    containing = new QLineEdit(QStringLiteral("поиск"), this);
    containing->setGeometry(11, 17, 254, 17);
    containing->setFrame(false);
    SetFont(containing, QStringLiteral("MS Sans Serif"), 12, true, maroon);
    FoundFiles = new QTreeWidget(this);
    FoundFiles->setGeometry(8, 48, 361, 145);
    FoundFiles->setFrameShape(QFrame::NoFrame);
    FoundFiles->setColumnCount(3);
    FoundFiles->setRootIsDecorated(false);
    FoundFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    FoundFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FoundFiles->setMouseTracking(true);
    FoundFiles->setCursor(Qt::PointingHandCursor);
    FoundFiles->setColumnWidth(0, 0);
    FoundFiles->setColumnWidth(1, 0);
    FoundFiles->setColumnWidth(2, 340);
    FoundFiles->setSortingEnabled(true);
    FoundFiles->sortByColumn(0, Qt::AscendingOrder);
    SetFont(FoundFiles, QStringLiteral("System"), 12, true, maroon);
    Panel1 = new QWidget(this);
    Panel1->setGeometry(7, 45, 363, 22);
    connect(Image3, &TPictureArea::clicked, this, &TForm4::Image3Click);
}

void TForm4::FormCreate() { programFolder_ = main_->ProgramFolder(); }

void TForm4::Image3Click() { close(); }

}  // namespace kv
