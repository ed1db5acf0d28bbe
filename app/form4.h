#pragma once
// The search window: a phrase box and the list of articles that contain it.

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <string>

#include "app/widgets.h"

namespace kv {

class TForm1;

class TForm4 : public TBorderlessForm {
    Q_OBJECT
public:
    explicit TForm4(TForm1* main);
    void FormCreate();
    void Image3Click();

    const std::string& ProgramFolder() const { return programFolder_; }

    TPictureArea* Image1 = nullptr;
    TPictureArea* Image2 = nullptr;
    TPictureArea* Image3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* containing = nullptr;
    QTreeWidget* FoundFiles = nullptr;
    QWidget* Panel1 = nullptr;

private:
    TForm1* main_;  // not owned
    std::string programFolder_;
};

}  // namespace kv
