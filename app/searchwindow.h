#pragma once
// The search window: a phrase box, the list of articles that contain the phrase, and opening a
// hit in the main window's viewer with the phrase selected.
//
// The search runs on the interface thread; its hit handler lets pending messages run, so the
// window (and the others) answer while it walks. Enter with a new phrase during a search stops
// that search and starts the new one once it has completed, so the list only ever holds hits of
// the phrase in its header. Esc, the close area and closing the main window stop a search.

#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/widgets.h"
#include "filesearch/findfile.h"

namespace kv {

class TForm1;

class TForm4 : public TBorderlessForm {
    Q_OBJECT
public:
    // Columns of the hit list: the file name, the folder path, the folder's own name (the only
    // one shown), and two sub-items without a column: the size and the last-write time.
    enum Column { colFile, colFolder, colName, colSize, colTime, colCount };

    explicit TForm4(TForm1* main);
    // Colours, the program folder, no search made yet.
    void FormCreate();
    // A key typed in the phrase box; 13 (Enter) searches.
    void containingKeyPress(int key);
    void FindFile1Found(const std::string& folder, const TSearchRec& entry);
    // Before each folder: lets pending messages run now and then, so that a long stretch
    // without hits does not freeze the interface.
    void FindFile1NewFolder();
    void FindFile1Complete();
    // Opens the selected hit in the main viewer and selects the phrase there.
    void FoundFilesClick();
    // Finds the phrase again in the main viewer: its next occurrence.
    void Image2Click();
    void Image3Click();
    // Stops a running search (and a search waiting to start); the list keeps its hits.
    void AbortSearch();

    const std::string& ProgramFolder() const { return programFolder_; }
    // The phrase of the last search, empty when none has been made (or the last was stopped).
    const std::optional<std::string>& LastSearchedPhrase() const { return lastPhrase_; }
    // The header text of the shown column for a phrase (Windows-1251).
    static std::string HeaderText(const std::string& phrase);
    // The size sub-item: "Folder", or the size in kilobytes rounded up followed by "KB".
    static std::string SizeText(const TSearchRec& entry);

    TPictureArea* Image1 = nullptr;
    TPictureArea* Image2 = nullptr;
    TPictureArea* Image3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* containing = nullptr;
    QTreeWidget* FoundFiles = nullptr;
    QWidget* Panel1 = nullptr;
    TFindFile FindFile1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildHitList();
    void RunSearch(const std::string& phrase);
    void AddHit(const std::string& folder, const TSearchRec& entry);
    // False for a hit of a search whose phrase is no longer the one in the header.
    bool HitBelongsToList() const;
    void ShowBusyCursor(bool busy);

    TForm1* main_;  // not owned
    std::string programFolder_;
    std::optional<std::string> lastPhrase_;     // no value: no search made yet
    std::optional<std::string> pendingPhrase_;  // to search once the running search completes
    std::string runningPhrase_;
    QElapsedTimer sinceEvents_;  // since pending messages last ran during the search
    struct SavedCursor {
        QPointer<QWidget> widget;
        bool own;  // the widget had a cursor of its own
        QCursor cursor;
    };
    std::vector<SavedCursor> savedCursors_;
};

}  // namespace kv
