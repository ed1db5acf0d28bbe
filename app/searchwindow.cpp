#include "app/searchwindow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPixmap>
#include <utility>

#include "app/mainwindow.h"
#include "filesearch/articlesearch.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace kv {

namespace {

const QColor kWindowColor(169, 72, 22);
const QColor kMaroon(128, 0, 0);
const QColor kCream(255, 228, 196);  // the window's light text
// The longest the search walks folders without letting pending messages run.
constexpr qint64 kEventIntervalMs = 10;

// The last-write time as the platform's date-and-time text.
QString TimeText(const TSearchRec& entry) {
    const QDateTime time = QDateTime::fromSecsSinceEpoch(entry.FindData.LastWriteTime.tv_sec);
    return QLocale().toString(time, QLocale::ShortFormat);
}

// The last part of a folder path: the article folder's own name.
std::string FolderName(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

}  // namespace

TForm4::TForm4(TForm1* main) : TBorderlessForm(QSize(384, 221), true), main_(main) {
    setObjectName(QStringLiteral("Form4"));
    Image1 = new TPictureArea(this, QRect(0, 0, 384, 221), Qt::ArrowCursor);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/search.bmp")));
    Image1->SetClickThrough(true);
    Image2 = new TPictureArea(this, QRect(8, 200, 89, 17), Qt::PointingHandCursor);
    Image3 = new TPictureArea(this, QRect(304, 200, 65, 17), Qt::PointingHandCursor);
    Label1 = new QLabel(QStringLiteral("Идет поиск ..."), this);
    Label1->setGeometry(280, 16, 85, 13);
    // One pixel below the window's other texts: at 11 the substituted face is wider than the
    // label's box and would cut off the last dot.
    SetFont(Label1, QStringLiteral("MS Sans Serif"), 10, true, Qt::yellow);
    Label1->hide();
    containing = new QLineEdit(QStringLiteral("поиск"), this);
    containing->setGeometry(11, 17, 254, 17);
    containing->setFrame(false);
    SetFont(containing, QStringLiteral("MS Sans Serif"), 12, true, kMaroon);
    containing->installEventFilter(this);
    BuildHitList();
    Panel1 = new QWidget(this);  // over the list's header strip
    Panel1->setGeometry(7, 45, 363, 22);
    // The picture buttons are buttons to a screen reader and the last stops of Tab.
    Image2->setAccessibleName(QStringLiteral("искать далее"));
    Image3->setAccessibleName(QStringLiteral("закрыть"));
    for (TPictureArea* button : {Image2, Image3}) {
        button->setFocusPolicy(Qt::TabFocus);
        new TFocusMark(button, kCream, 1);
    }
    // Each moved right behind the phrase box, which stays first (Qt moves nothing behind a list).
    for (QWidget* next : {static_cast<QWidget*>(Image3), static_cast<QWidget*>(Image2),
                          static_cast<QWidget*>(FoundFiles)})
        setTabOrder(containing, next);

    FindFile1.SetFilename("*.htm");
    FindFile1.SetLocation("inside");
    FindFile1.OnFound = [this](TFindFile*, const std::string& folder, const TSearchRec& entry) {
        FindFile1Found(folder, entry);
    };
    FindFile1.OnNewFolder = [this](TFindFile*, const std::string&, bool&) { FindFile1NewFolder(); };
    FindFile1.OnComplete = [this](TFindFile*) { FindFile1Complete(); };
    connect(Image2, &TPictureArea::clicked, this, &TForm4::Image2Click);
    connect(Image3, &TPictureArea::clicked, this, &TForm4::Image3Click);
    // Closing the program ends a search that would otherwise walk on unseen.
    if (main_) connect(main_, &TForm1::Closed, this, &TForm4::AbortSearch);
}

void TForm4::BuildHitList() {
    FoundFiles = new QTreeWidget(this);
    FoundFiles->setAccessibleName(QStringLiteral("Найденные разделы"));
    FoundFiles->setGeometry(8, 48, 361, 145);
    FoundFiles->setFrameShape(QFrame::NoFrame);
    FoundFiles->setColumnCount(colCount);
    FoundFiles->setHeaderLabels(QStringList(colCount, QString()));
    FoundFiles->setRootIsDecorated(false);
    FoundFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    FoundFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    FoundFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FoundFiles->setMouseTracking(true);  // hot tracking
    FoundFiles->setCursor(Qt::PointingHandCursor);
    FoundFiles->header()->setMinimumSectionSize(0);
    FoundFiles->header()->setStretchLastSection(false);
    FoundFiles->setColumnWidth(colFile, 0);
    FoundFiles->setColumnWidth(colFolder, 0);
    FoundFiles->setColumnWidth(colName, 340);
    FoundFiles->setColumnHidden(colSize, true);
    FoundFiles->setColumnHidden(colTime, true);
    FoundFiles->setSortingEnabled(true);
    FoundFiles->sortByColumn(colFile, Qt::AscendingOrder);
    SetFont(FoundFiles, QStringLiteral("System"), 12, true, kMaroon);
    FoundFiles->installEventFilter(this);
    FoundFiles->viewport()->installEventFilter(this);
}

void TForm4::FormCreate() {
    SetColor(this, kWindowColor);
    SetColor(Panel1, kWindowColor);
    // The phrase box and the list keep the platform's window colour, not the form's.
    for (QWidget* box : {static_cast<QWidget*>(containing), static_cast<QWidget*>(FoundFiles)}) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, QGuiApplication::palette().color(QPalette::Base));
        box->setPalette(palette);
    }
    programFolder_ = main_->ProgramFolder();
    lastPhrase_.reset();
}

std::string TForm4::HeaderText(const std::string& phrase) {
    return " \"" + phrase + "\" найденно в следующих разделах:";
}

std::string TForm4::SizeText(const TSearchRec& entry) {
    if (entry.Attr & faDirectory) return "Folder";
    return std::to_string((entry.Size + 1023) / 1024) + "KB";
}

void TForm4::containingKeyPress(int key) {
    if (key != 13) return;
    const std::string phrase = text::fromQString(containing->text());
    FoundFiles->headerItem()->setText(colName, text::toQString(HeaderText(phrase)));
    if (lastPhrase_ && *lastPhrase_ == phrase) return;
    lastPhrase_ = phrase;
    FoundFiles->clear();
    if (FindFile1.Busy()) {
        // This Enter arrived from inside the running search's hit handler: stop that search; the
        // outermost Enter starts this phrase once it has unwound.
        pendingPhrase_ = phrase;
        FindFile1.Abort();
        return;
    }
    for (std::optional<std::string> next = phrase; next;
         next = std::exchange(pendingPhrase_, std::nullopt)) {
        FoundFiles->clear();
        RunSearch(*next);
    }
}

void TForm4::RunSearch(const std::string& phrase) {
    runningPhrase_ = phrase;
    try {
        SetUpArticleSearch(FindFile1, programFolder_ + "inside/", phrase);
    } catch (const std::exception& failure) {
        // A program folder whose name holds wildcards cannot be searched.
        lastPhrase_.reset();
        messages::showError(failure.what());
        return;
    }
    ShowBusyCursor(true);
    sinceEvents_.invalidate();
    FindFile1.Execute();  // returns after the whole search and OnComplete
}

bool TForm4::HitBelongsToList() const {
    return lastPhrase_ && *lastPhrase_ == runningPhrase_;
}

void TForm4::FindFile1Found(const std::string& folder, const TSearchRec& entry) {
    QCoreApplication::processEvents();
    if (!HitBelongsToList()) return;
    Label1->show();
    QCoreApplication::processEvents();
    if (!HitBelongsToList()) return;
    AddHit(folder, entry);
    if (!FindFile1.Threaded) QCoreApplication::processEvents();
    sinceEvents_.start();
}

void TForm4::FindFile1NewFolder() {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs) return;
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

void TForm4::AddHit(const std::string& folder, const TSearchRec& entry) {
    auto* row = new QTreeWidgetItem;
    row->setText(colFile, text::toQString(entry.Name));
    row->setText(colFolder, text::toQString(folder));
    row->setText(colName, text::toQString(FolderName(folder)));
    row->setText(colSize, QString::fromLatin1(SizeText(entry)));
    row->setText(colTime, TimeText(entry));
    FoundFiles->addTopLevelItem(row);  // the list keeps itself sorted by file name
}

void TForm4::FindFile1Complete() {
    Label1->hide();
    ShowBusyCursor(false);
    // A search that was stopped (or failed) has not searched its phrase: Enter with the same
    // phrase searches again instead of keeping a partial list.
    if (FindFile1.Aborted() && !pendingPhrase_) lastPhrase_.reset();
}

void TForm4::AbortSearch() {
    pendingPhrase_.reset();
    if (FindFile1.Busy()) FindFile1.Abort();
}

void TForm4::FoundFilesClick() {
    try {
        AbortSearch();
        const QList<QTreeWidgetItem*> selected = FoundFiles->selectedItems();
        std::string path;  // none selected: the article shown stays
        if (!selected.isEmpty()) {
            const QTreeWidgetItem* row = selected.front();
            // The whole folder path: a cut one would name another folder or none.
            path = HitPath(text::fromQString(row->text(colFolder)),
                           text::fromQString(row->text(colFile)));
        }
        main_->OpenArticle(path);
        main_->FindInArticle(containing->text());
    } catch (...) {
        // Opening a hit never reports a failure; the article shown before stays.
    }
}

void TForm4::Image2Click() {
    try {
        main_->FindInArticle(containing->text());
    } catch (...) {
    }
}

void TForm4::Image3Click() {
    close();
}

void TForm4::closeEvent(QCloseEvent* event) {
    AbortSearch();
    TBorderlessForm::closeEvent(event);
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // A running search stops; otherwise the window closes.
        if (FindFile1.Busy())
            AbortSearch();
        else
            close();
        event->accept();
        return;
    }
    TBorderlessForm::keyPressEvent(event);
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && FindFile1.Busy()) {
            AbortSearch();
            return true;
        }
        if (watched == containing && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            containingKeyPress(13);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonPress && watched == FoundFiles->viewport() &&
               !FoundFiles->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        // A press that hits no row selects none: the list would keep the last row selected,
        // and the click would open that hit again.
        FoundFiles->clearSelection();
    } else if (event->type() == QEvent::MouseButtonRelease && watched == FoundFiles->viewport() &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        FoundFilesClick();  // the press has already selected the row under the pointer
    }
    return TBorderlessForm::eventFilter(watched, event);
}

// While a search runs the pointer over the window is the busy cursor, also over the controls
// that have a cursor of their own, so that a long search without hits still shows it works.
void TForm4::ShowBusyCursor(bool busy) {
    if (busy) {
        if (!savedCursors_.empty()) return;
        std::vector<QWidget*> widgets{this};
        for (QWidget* child : findChildren<QWidget*>())
            if (child->testAttribute(Qt::WA_SetCursor)) widgets.push_back(child);
        for (QWidget* widget : widgets) {
            savedCursors_.push_back(
                {widget, widget->testAttribute(Qt::WA_SetCursor), widget->cursor()});
            widget->setCursor(Qt::BusyCursor);
        }
        return;
    }
    for (const SavedCursor& saved : savedCursors_) {
        if (!saved.widget) continue;
        if (saved.own)
            saved.widget->setCursor(saved.cursor);
        else
            saved.widget->unsetCursor();
    }
    savedCursors_.clear();
}

}  // namespace kv
