#pragma once
// The main window: title strip, the contents tree page and the article page.

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "app/contentindex.h"
#include "app/treeview.h"
#include "app/widgets.h"
#include "html/viewer/htmlview.h"
#include "layers/layers.h"
#include "tray/trayicon.h"

namespace kv {

class TForm2;
class TForm3;
class TForm4;

struct ShellFolders {
    std::string programFolder;          // ends in '/'
    std::string windowsFolder;          // ends in '/'
    std::filesystem::path cacheFolder;  // the walk's cache; empty: none, every article is read
};

class TForm1 : public TBorderlessForm {
    Q_OBJECT
public:
    explicit TForm1(ShellFolders folders);

    // The creation hook: colours, program folder, page pictures, then the contents.
    void FormCreate();
    // Walks the content folder into the line buffer.
    void GenerateMainTree();

    // The other windows, set once they exist (not owned).
    void SetWindows(TForm2* backdrop, TForm3* contents, TForm4* search);

    // Tree navigation: a topic node opens its folder's article at the topic's anchor, a
    // top-level node the folder's article at the folder's own name. The contents window calls
    // it with its own tree's node.
    void TreeView1Change(const QModelIndex& node);
    void ButtonLayer1Click();
    void ButtonLayer2Click();
    void ButtonLayer3Click();
    void ButtonLayer4Click();
    void CheckBoxClick(QCheckBox* box);
    void Image1Click();
    // Hides the program into the tray icon; with no notification area on the desktop, into the
    // task bar, from where restoring the window does what a click on the icon does.
    void Image2Click();
    // Brings the main window back from the tray.
    void TrayClick();
    void Timer1Timer();

    const std::string& ProgramFolder() const { return programFolder_; }
    const TContentIndex& ContentIndex() const { return index_; }
    const std::filesystem::path& CacheFolder() const { return folders_.cacheFolder; }
    std::string ContentsFilePath() const;
    // The folder and the article path of the last tree navigation.
    const std::string& CurrentFolder() const { return currentFolder_; }
    const std::string& CurrentArticle() const { return currentArticle_; }

    // What the contents and search windows ask of the article page. OpenArticle loads an article
    // path (with its fragment) and then shows the page "content"; a failure to load is raised
    // before the page changes, and an empty path only shows the page.
    void OpenArticle(const std::string& path);
    // Selects the first occurrence of the phrase (as typed: any character) in the shown article,
    // case ignored.
    bool FindInArticle(const QString& phrase);

    TNotebook* Notebook1 = nullptr;
    TImageLayer* ImageLayer2 = nullptr;  // title strip
    TPictureArea* Image1 = nullptr;
    TPictureArea* Image2 = nullptr;
    TButtonLayer* ButtonLayer1 = nullptr;
    TButtonLayer* ButtonLayer2 = nullptr;
    TButtonLayer* ButtonLayer3 = nullptr;
    TButtonLayer* ButtonLayer4 = nullptr;
    TButtonLayer* ButtonLayer5 = nullptr;
    TNotebook* Notebook2 = nullptr;
    TImageLayer* ImageLayer1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    TContentsTreeView* TreeView1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    TImageLayer* ImageLayer3 = nullptr;
    QLabel* Label4 = nullptr;
    THtmlView* HtmlView1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QIcon ImageList1;
    QTimer* Timer1 = nullptr;
    TTrayIcon* Tray = nullptr;

signals:
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildTitleStrip(QWidget* page);
    void BuildTray();
    void BuildMenuPage(QWidget* page);
    void BuildContentPage(QWidget* page);
    QLabel* MakeMenuLabel(QWidget* parent, QPoint at);
    void SetTabOrder();
    void LoadContents();

    ShellFolders folders_;
    std::string programFolder_;
    std::string currentFolder_;   // mirrored in the hidden Label2
    std::string currentArticle_;  // mirrored in the hidden Label1
    TContentIndex index_;
    TForm2* backdrop_ = nullptr;
    TForm3* contents_ = nullptr;
    TForm4* search_ = nullptr;
    bool inTaskBar_ = false;  // hidden by Image2Click on a desktop with no notification area
};

}  // namespace kv
