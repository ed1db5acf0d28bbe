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

namespace kv {

class TForm3;
class TForm4;

struct ShellFolders {
    std::string programFolder;  // ends in '/'
    std::string windowsFolder;  // ends in '/'
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
    void SetWindows(TForm3* contents, TForm4* search);

    // Tree navigation: a topic node opens its folder's article at the topic's anchor, a
    // top-level node the folder's article at the folder's own name. The contents window calls
    // it with its own tree's node.
    void TreeView1Change(const QTreeWidgetItem* node);
    void ButtonLayer1Click();
    void ButtonLayer2Click();
    void ButtonLayer3Click();
    void ButtonLayer4Click();
    void CheckBoxClick(QCheckBox* box);
    void Image1Click();
    void Timer1Timer();

    const std::string& ProgramFolder() const { return programFolder_; }
    const TContentIndex& ContentIndex() const { return index_; }
    std::string ContentsFilePath() const;
    // The folder and the article path of the last tree navigation (held in the hidden labels).
    std::string CurrentFolder() const;
    std::string CurrentArticle() const;

    TNotebook* Notebook1 = nullptr;
    TPictureArea* ImageLayer2 = nullptr;  // title strip
    TPictureArea* Image1 = nullptr;
    TPictureArea* Image2 = nullptr;
    TPictureArea* ButtonLayer1 = nullptr;
    TPictureArea* ButtonLayer2 = nullptr;
    TPictureArea* ButtonLayer3 = nullptr;
    TPictureArea* ButtonLayer4 = nullptr;
    TPictureArea* ButtonLayer5 = nullptr;
    TNotebook* Notebook2 = nullptr;
    TPictureArea* ImageLayer1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    TContentsTreeView* TreeView1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    TPictureArea* ImageLayer3 = nullptr;
    QLabel* Label4 = nullptr;
    THtmlView* HtmlView1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QIcon ImageList1;
    QTimer* Timer1 = nullptr;

signals:
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTitleStrip(QWidget* page);
    void BuildMenuPage(QWidget* page);
    void BuildContentPage(QWidget* page);
    QLabel* MakeMenuLabel(QWidget* parent, QPoint at);
    void LoadContents();

    ShellFolders folders_;
    std::string programFolder_;
    TContentIndex index_;
    TForm3* contents_ = nullptr;
    TForm4* search_ = nullptr;
};

}  // namespace kv
