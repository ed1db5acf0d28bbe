#include "app/mainwindow.h"

#include <malloc.h>

#include <QCloseEvent>
#include <QFile>
#include <QPixmap>

#include "app/backdrop.h"
#include "app/contentswindow.h"
#include "app/searchwindow.h"
#include "app/viewersettings.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace kv {
namespace {

const QColor kGray(128, 128, 128);
const QColor kCream(255, 228, 196);  // the title strip's light text, on the dark strips
const QColor kRust(169, 72, 22);     // the page's rules, on its light paper
const QString kMenuText = QStringLiteral("Показывать меню");

// A stored 8-bit picture of the window; a missing or broken one leaves the channel empty.
TChannel StoredChannel(const QString& name, TChannelKind kind) {
    TChannel channel(kind);
    QFile file(QStringLiteral(":/pictures/") + name);
    if (!file.open(QIODevice::ReadOnly)) return channel;
    const QByteArray bytes = file.readAll();
    try {
        channel.LoadFromBitmapFile(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const EChannelError&) {
        channel.Release();
    }
    return channel;
}

QImage StoredPicture(const char* name) {
    return QImage(QStringLiteral(":/pictures/") + QLatin1String(name));
}

}  // namespace

TForm1::TForm1(ShellFolders folders)
    : TBorderlessForm(QSize(800, 600), false), folders_(std::move(folders)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Кварнеля"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.ico")));
    SetFont(this, QStringLiteral("MS Sans Serif"), 11, false,
            palette().color(QPalette::WindowText));

    Notebook1 = new TNotebook(this);
    Notebook1->setGeometry(0, 0, 800, 600);
    QWidget* page = Notebook1->AddPage(QStringLiteral("Default"));
    BuildTitleStrip(page);

    Notebook2 = new TNotebook(page);
    Notebook2->setGeometry(0, 32, 800, 568);
    BuildMenuPage(Notebook2->AddPage(QStringLiteral("mainmenu")));
    BuildContentPage(Notebook2->AddPage(QStringLiteral("content")));
    Notebook2->SetActivePage(QStringLiteral("mainmenu"));
    SetTabOrder();

    ImageList1 = QIcon(QPixmap(QStringLiteral(":/pictures/node.bmp")));
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    BuildTray();
}

void TForm1::BuildTray() {
    Tray = new TTrayIcon(this);
    Tray->SetIcon(QIcon(QStringLiteral(":/pictures/icon.ico")));
    Tray->SetHint("Кварнеля");
    Tray->SetShowHint(true);
    Tray->SetIconIndex(0);
    Tray->SetCycleInterval(0);
    Tray->OnClick = [this] { TrayClick(); };
    Tray->Loaded();
}

void TForm1::BuildTitleStrip(QWidget* page) {
    ImageLayer2 = new TImageLayer(page);
    ImageLayer2->setGeometry(0, 0, 801, 32);
    ImageLayer2->SetImage(StoredPicture("title.bmp"));
    Image1 = new TPictureArea(ImageLayer2, QRect(776, 0, 25, 25), Qt::PointingHandCursor);
    Image2 = new TPictureArea(ImageLayer2, QRect(752, 0, 25, 25), Qt::ArrowCursor);
    // Later buttons lie above earlier ones; where they overlap, their masks decide.
    const QRect buttons[] = {{171, 0, 139, 32},
                             {291, 0, 93, 32},
                             {365, 0, 111, 32},
                             {456, 0, 135, 32},
                             {572, 0, 141, 32}};
    TButtonLayer** targets[] = {&ButtonLayer1, &ButtonLayer2, &ButtonLayer3, &ButtonLayer4,
                                &ButtonLayer5};
    const QString names[] = {QStringLiteral("СОДЕРЖАНИЕ"), QStringLiteral("ПОИСК"),
                             QStringLiteral("ПЕЧАТЬ"), QStringLiteral("АНОНС"), QString()};
    for (int i = 0; i < 5; ++i) {
        auto* button = new TButtonLayer(ImageLayer2);
        *targets[i] = button;
        button->setAccessibleName(names[i]);
        const QString name = QStringLiteral("button%1").arg(i + 1);
        button->setObjectName(QStringLiteral("ButtonLayer%1").arg(i + 1));
        button->setGeometry(buttons[i]);
        button->SetLayerCursor(Qt::PointingHandCursor);
        button->SetGlyphInactive(0);
        button->SetMask(StoredChannel(name + QStringLiteral("-mask.bmp"), TChannelKind::ckMask));
        button->SetGlyph(StoredChannel(name + QStringLiteral("-glyph.bmp"), TChannelKind::ckColor));
    }
    ButtonLayer5->hide();
    connect(Image1, &TPictureArea::clicked, this, &TForm1::Image1Click);
    connect(Image2, &TPictureArea::clicked, this, &TForm1::Image2Click);
    // Tab reaches the four title-strip buttons, which show lit, and the two marks, framed.
    for (TButtonLayer* button : {ButtonLayer1, ButtonLayer2, ButtonLayer3, ButtonLayer4})
        button->setFocusPolicy(Qt::TabFocus);
    Image2->setAccessibleName(QStringLiteral("Свернуть"));
    Image1->setAccessibleName(QStringLiteral("Закрыть"));
    for (TPictureArea* mark : {Image2, Image1}) {
        mark->setFocusPolicy(Qt::TabFocus);
        new TFocusMark(mark, kCream, -1);
    }
    connect(ButtonLayer1, &TLayer::clicked, this, &TForm1::ButtonLayer1Click);
    connect(ButtonLayer2, &TLayer::clicked, this, &TForm1::ButtonLayer2Click);
    connect(ButtonLayer3, &TLayer::clicked, this, &TForm1::ButtonLayer3Click);
    connect(ButtonLayer4, &TLayer::clicked, this, &TForm1::ButtonLayer4Click);
}

void TForm1::SetTabOrder() {
    // After the widget that takes the focus when the window opens: the title strip, the tree,
    // its check box, the article and its check box (the hidden page's are passed over).
    // Focused from the keyboard, the check boxes and the article show a dotted frame.
    QWidget* order[] = {Button1, ButtonLayer1, ButtonLayer2, ButtonLayer3, ButtonLayer4, Image2,
                        Image1,  TreeView1,    CheckBox1,    HtmlView1,    CheckBox2};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    new TFocusMark(CheckBox1, kCream, 2);
    new TFocusMark(CheckBox2, kCream, 2);
    new TFocusMark(HtmlView1, kRust, 2);
}

QLabel* TForm1::MakeMenuLabel(QWidget* parent, QPoint at) {
    auto* label = new QLabel(kMenuText, parent);
    label->setGeometry(at.x(), at.y(), 74, 26);
    label->setWordWrap(true);
    SetFont(label, QStringLiteral("MS Sans Serif"), 11, true, Qt::white);
    return label;
}

void TForm1::BuildMenuPage(QWidget* page) {
    ImageLayer1 = new TImageLayer(page);
    ImageLayer1->setGeometry(0, 0, 800, 568);
    ImageLayer1->SetImage(StoredPicture("menu.bmp"));
    Label1 = new QLabel(ImageLayer1);
    Label1->move(16, 0);
    Label1->hide();
    Label2 = new QLabel(ImageLayer1);
    Label2->move(16, 16);
    Label2->hide();
    Label3 = MakeMenuLabel(ImageLayer1, QPoint(8, 512));
    Memo1 = new QPlainTextEdit(ImageLayer1);
    Memo1->setGeometry(8, 432, 777, 129);
    Memo1->hide();
    Button1 = new QPushButton(QStringLiteral("Button1"), ImageLayer1);
    Button1->setGeometry(-97, 0, 75, 25);
    TreeView1 = new TContentsTreeView(ImageLayer1, QRect(119, 72, 666, 441));
    TreeView1->SetAutoExpand(true);
    // A change of the selection, not of the current item: the view makes the first node
    // current on focus without selecting it, and that must not open an article.
    connect(TreeView1, &TContentsTreeView::NodeSelectionChanged, this,
            [this] { TreeView1Change(TreeView1->SelectedNode()); });
    SetFont(TreeView1, QStringLiteral("MS Sans Serif"), 13, true, kGray);
    TreeView1->setAccessibleName(QStringLiteral("Содержание"));
    CheckBox1 = new QCheckBox(QStringLiteral("Показывать содержание"), ImageLayer1);
    CheckBox1->setGeometry(48, 526, 14, 14);
    SetFont(CheckBox1, QStringLiteral("MS Sans Serif"), 11, true, Qt::white);
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBoxClick(CheckBox1); });
}

void TForm1::BuildContentPage(QWidget* page) {
    ImageLayer3 = new TImageLayer(page);
    ImageLayer3->setGeometry(0, 0, 800, 568);
    Label4 = MakeMenuLabel(ImageLayer3, QPoint(8, 512));
    HtmlView1 = new THtmlView(ImageLayer3);
    HtmlView1->setObjectName(QStringLiteral("HtmlView1"));
    HtmlView1->setGeometry(120, 56, 665, 457);
    SetUpArticleViewer(*HtmlView1);
    CheckBox2 = new QCheckBox(QStringLiteral("CheckBox2"), ImageLayer3);
    CheckBox2->setAccessibleName(CheckBox1->text());
    CheckBox2->setGeometry(48, 528, 14, 14);
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBoxClick(CheckBox2); });
}

void TForm1::SetWindows(TForm2* backdrop, TForm3* contents, TForm4* search) {
    backdrop_ = backdrop;
    contents_ = contents;
    search_ = search;
}

std::string TForm1::ContentsFilePath() const {
    return folders_.windowsFolder + std::string(kContentsFileName);
}

void TForm1::FormCreate() {
    SetColor(CheckBox1, QColor(198, 107, 34));
    programFolder_ = folders_.programFolder;
    ImageLayer3->SetImage(ImageLayer1->Image());
    GenerateMainTree();
    LoadContents();
}

void TForm1::GenerateMainTree() {
    index_.UseCache(folders_.cacheFolder);
    index_.GenerateMainTree(programFolder_);
}

void TForm1::LoadContents() {
    const auto reportSkipped = [this] {
        if (index_.FailureCount() > 0) messages::showError(index_.FailureMessage());
    };
    try {
        try {
            SaveContentsText(index_.Text(), text::toPath(ContentsFilePath()));
        } catch (const std::exception& failure) {
            // A state folder that cannot be written must not hide the encyclopedia: the
            // failure is reported once and the tree comes from the walked lines all the same.
            messages::showError(failure.what());
        }
        // One model of the nodes, which the contents window shares. It takes the walk's text,
        // byte for byte the file just saved, instead of reading the file back.
        auto model = std::make_shared<ContentsModel>();
        try {
            model->Load(index_.TakeText());
        } catch (...) {
            TreeView1->Show(model, ImageList1);  // what loaded before the bad line stays
            throw;
        }
        TreeView1->Show(model, ImageList1);
        // The walk's and the load's buffers are freed: back to the system, not kept idle.
        ::malloc_trim(0);
    } catch (...) {
        reportSkipped();
        throw;
    }
    reportSkipped();
}

void TForm1::OpenArticle(const std::string& path) {
    HtmlView1->LoadFromFile(path);
    Notebook2->SetActivePage(QStringLiteral("content"));
}

bool TForm1::FindInArticle(const QString& phrase) {
    return HtmlView1->Find(text::toUtf16(phrase), false);
}

void TForm1::TreeView1Change(const QModelIndex& node) {
    if (!node.isValid()) return;
    const QModelIndex folderNode = node.parent().isValid() ? node.parent() : node;
    currentFolder_ = text::fromQString(folderNode.data().toString());
    Label2->setText(folderNode.data().toString());
    std::string topic = TContentsTreeView::NodeText(node);
    if (topic.starts_with('+')) topic.clear();
    if (topic.empty()) return;
    currentArticle_ = programFolder_ + "inside/" + currentFolder_ + "/index.htm#" + topic;
    Label1->setText(text::toQString(currentArticle_));
    Notebook2->SetActivePage(QStringLiteral("content"));
    try {
        HtmlView1->LoadFromFile(currentArticle_);
    } catch (...) {
        // A topic whose article is missing or unreadable keeps the article shown before.
    }
}

void TForm1::ButtonLayer1Click() {
    Notebook2->SetActivePage(QStringLiteral("mainmenu"));
}

void TForm1::ButtonLayer2Click() {
    if (!search_) return;
    search_->move(x() + 400, y() + 80);
    search_->show();
    // Already shown behind the main window, it comes to the front with the phrase box ready.
    search_->activateWindow();
}

// The print question: Yes prints pages 1 to 100 of the shown article.
void TForm1::ButtonLayer3Click() {
    // One job at a time: the running one keeps its pages, the second press is refused.
    if (HtmlView1->Printing()) return messages::showError("Printing in progress");
    if (messages::ask("Распечатать текущий документ ?") != messages::Answer::Yes) return;
    try {
        HtmlView1->Print(0, 100);
    } catch (const std::exception& e) {
        messages::showError(e.what());
    }
}

void TForm1::ButtonLayer4Click() {
    Notebook2->SetActivePage(QStringLiteral("content"));
    try {
        HtmlView1->LoadFromFile(programFolder_ + "res/anons.htm");
    } catch (const std::exception& e) {
        messages::showError(e.what());
    }
}

void TForm1::CheckBoxClick(QCheckBox* box) {
    if (!contents_) return;
    if (box->isChecked()) {
        contents_->move(x() + 450, y() + 260);
        contents_->show();
    } else {
        contents_->close();
    }
}

void TForm1::Image1Click() {
    close();
}

void TForm1::Image2Click() {
    for (QWidget* window : {static_cast<QWidget*>(backdrop_), static_cast<QWidget*>(contents_),
                            static_cast<QWidget*>(search_)}) {
        if (window) window->close();
    }
    for (QCheckBox* box : {CheckBox1, CheckBox2}) {
        if (!box->isChecked()) continue;
        box->setChecked(false);
        CheckBoxClick(box);
    }
    if (Tray->HideIntoTray()) return;
    // Hidden with no icon to click, the program could never be got back.
    inTaskBar_ = true;
    showMinimized();
}

void TForm1::TrayClick() {
    inTaskBar_ = false;
    Tray->ShowMainForm();
}

void TForm1::changeEvent(QEvent* event) {
    TBorderlessForm::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && inTaskBar_ && !isMinimized()) TrayClick();
}

void TForm1::closeEvent(QCloseEvent* event) {
    TBorderlessForm::closeEvent(event);
    emit Closed();
}

void TForm1::Timer1Timer() {
    TreeView1->ResortByText();
    Timer1->stop();
}

}  // namespace kv
