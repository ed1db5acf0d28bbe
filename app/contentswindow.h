#pragma once
// The floating contents window: a copy of the contents tree taken at start-up and a box to find
// a phrase in the shown article.

#include <QLineEdit>

#include "app/treeview.h"
#include "app/widgets.h"

namespace kv {

class TForm1;

class TForm3 : public TBorderlessForm {
    Q_OBJECT
public:
    explicit TForm3(TForm1* main);
    // Colours, then a copy of the main window's tree as it is now.
    void FormCreate();
    void Image2Click();
    // Finds and selects the next occurrence of Edit1's text in the main window's article, any
    // case; tells whether one was found.
    bool Image3Click();
    // Repaints the tree at once, then opens the pick in the main window.
    void TreeView1Change();

    TPictureArea* Image1 = nullptr;
    TPictureArea* Image2 = nullptr;
    TPictureArea* Image3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    TContentsTreeView* TreeView1 = nullptr;
    QWidget* Panel2 = nullptr;

protected:
    // Escape closes the window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    TForm1* main_;  // not owned
};

}  // namespace kv
