// The search window: Enter searches the content folder, hits fill the list while the interface
// keeps running, and a click opens a hit in the main window's viewer.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>
#include <algorithm>
#include <functional>
#include <set>

#include "app/contentindex.h"
#include "app/mainwindow.h"
#include "app/searchwindow.h"
#include "cache/trigramindex.h"
#include "filesearch/articlesearch.h"
#include "platform/font.h"
#include "tests/app/installation.h"

using kv::TForm4;
using kvtest::W;

namespace {

struct SearchShell {
    kvtest::Installation setup;
    kvtest::MessageRecorder boxes;
    std::unique_ptr<kv::TWindowSet> windows;

    // With a cache folder, the search's index is brought up to date after the window is shown.
    explicit SearchShell(const std::function<void(kvtest::Installation&)>& fill,
                         const std::filesystem::path& cache = {}) {
        fill(setup);
        kv::ShellFolders folders = setup.Folders();
        folders.cacheFolder = cache;
        windows = kv::CreateWindowSet(folders);
        kv::ShowMainWindow(*windows);
        Main().ButtonLayer2Click();
        QCoreApplication::processEvents();
    }
    kv::TForm1& Main() { return *windows->Form1; }
    TForm4& Search() { return *windows->Form4; }

    // Types a phrase (UTF-8) and presses Enter, as a user does; returns when Enter's handler does.
    void Enter(const char* phrase) {
        Search().containing->setText(QString::fromUtf8(phrase));
        PressKey(Search().containing, Qt::Key_Return);
    }
    static void PressKey(QWidget* widget, Qt::Key key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &press);
    }
    // Clicks the row at index row (or below the rows for -1) with the mouse.
    void ClickRow(int row) {
        QTreeWidget& list = *Search().FoundFiles;
        QPoint at(100, list.viewport()->height() - 2);
        if (row >= 0) at = list.visualItemRect(list.topLevelItem(row)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    }
    int Rows() { return Search().FoundFiles->topLevelItemCount(); }
    std::string Cell(int row, int column) {
        return kv::text::fromQString(Search().FoundFiles->topLevelItem(row)->text(column));
    }
    std::multiset<std::string> FolderNames() {
        std::multiset<std::string> names;
        for (int row = 0; row < Rows(); ++row) names.insert(Cell(row, TForm4::colName));
        return names;
    }
    std::string Header() {
        return kv::text::fromQString(Search().FoundFiles->headerItem()->text(TForm4::colName));
    }
    std::string Inside() { return Main().ProgramFolder() + "inside"; }
    // Runs step from inside the running search's hit handler (where pending messages run)
    // until it answers true or the search ends; call before Enter.
    void DuringSearch(std::function<bool()> step) {
        step_ = std::move(step);
        QMetaObject::invokeMethod(
            &Search(), [this] { Step(); }, Qt::QueuedConnection);
    }

private:
    void Step() {
        if (!step_() && Search().FindFile1.Busy())
            QMetaObject::invokeMethod(
                &Search(), [this] { Step(); }, Qt::QueuedConnection);
    }
    std::function<bool()> step_;
};

// Folders "Статья 0" … "Статья N-1"; the phrase "альфа" in all, "бета" in every 5th.
auto ManyArticles(int count) {
    return [count](kvtest::Installation& setup) {
        for (int i = 0; i < count; ++i) {
            std::string text = "<p>альфа " + std::string(i % 5 == 0 ? "бета" : "гамма") + "</p>";
            setup.Article("Статья " + std::to_string(i), text);
        }
    };
}

// The index of the articles as a start-up walk lists them, built at once (articles written a
// moment ago are otherwise left to the next start).
void IndexArticles(const kvtest::Installation& setup, const std::filesystem::path& cache) {
    kv::TContentIndex walk;
    walk.UseCache(cache, {});
    walk.Walk(kv::text::fromPath(setup.program.Path() / "inside"));
    kv::cache::TrigramIndexBuilder::Update(cache, walk.Root(), walk.Articles(), {});
}

void Fruit(kvtest::Installation& setup) {
    setup.Article("Яблоко", "<p>Здесь идёт поиск Яблок. Abc.</p>");
    setup.program.Write("inside/Яблоко/sorta.htm",
                        W("<p>ещё один поиск</p>") + std::string(2030, ' '));
    setup.program.Write("inside/Яблоко/notes.txt", W("поиск"));
    setup.Article("Груша", "<p>Груши. ABC.</p>");
    setup.Article("Слива", "");
}

}  // namespace

TEST(SearchWindow, CreatedWithItsColoursAnEmptyHeaderAndNoSearchMade) {
    SearchShell shell(Fruit);
    TForm4& search = shell.Search();
    EXPECT_EQ(search.palette().color(QPalette::Window), QColor(169, 72, 22));
    EXPECT_EQ(search.Panel1->palette().color(QPalette::Window), QColor(169, 72, 22));
    EXPECT_EQ(search.ProgramFolder(), shell.Main().ProgramFolder());
    EXPECT_FALSE(search.LastSearchedPhrase().has_value());
    for (int column = 0; column < TForm4::colCount; ++column)
        EXPECT_EQ(search.FoundFiles->headerItem()->text(column), QString()) << column;
    EXPECT_EQ(search.FoundFiles->columnWidth(TForm4::colFile), 0);
    EXPECT_EQ(search.FoundFiles->columnWidth(TForm4::colFolder), 0);
    EXPECT_EQ(search.FoundFiles->columnWidth(TForm4::colName), 340);
    EXPECT_TRUE(search.Label1->isHidden());
    EXPECT_EQ(search.containing->text(), QStringLiteral("поиск"));
}

// The initial text searches; two hits in one folder give two rows with the same folder name.
TEST(SearchWindow, EnterListsEveryHitWithItsSubItems) {
    SearchShell shell(Fruit);
    shell.Enter("поиск");
    EXPECT_EQ(shell.Header(), " \"поиск\" найденно в следующих разделах:");
    ASSERT_EQ(shell.Rows(), 2);
    EXPECT_EQ(shell.FolderNames(), (std::multiset<std::string>{"Яблоко", "Яблоко"}));
    EXPECT_EQ(shell.Cell(0, TForm4::colFile), "index.htm");  // sorted by file name
    EXPECT_EQ(shell.Cell(1, TForm4::colFile), "sorta.htm");
    EXPECT_EQ(shell.Cell(0, TForm4::colFolder), shell.Inside() + "/Яблоко");
    EXPECT_EQ(shell.Cell(0, TForm4::colSize), "1KB");  // under 1 KB, rounded up
    EXPECT_EQ(shell.Cell(1, TForm4::colSize), "3KB");  // just over 2 KB
    EXPECT_FALSE(shell.Cell(0, TForm4::colTime).empty());
    EXPECT_TRUE(shell.Search().Label1->isHidden());  // shown from the first hit to completion
    EXPECT_EQ(shell.Search().LastSearchedPhrase(), "поиск");
}

TEST(SearchWindow, SizeTextRoundsUpToWholeKilobytesAndNamesFolders) {
    kv::TSearchRec entry;
    for (const auto& [size, text] : std::vector<std::pair<std::int64_t, std::string>>{
             {0, "0KB"}, {1, "1KB"}, {1024, "1KB"}, {1025, "2KB"}, {5'000'000'000, "4882813KB"}}) {
        entry.Size = size;
        EXPECT_EQ(TForm4::SizeText(entry), text) << size;
    }
    entry.Attr = kv::faDirectory;
    EXPECT_EQ(TForm4::SizeText(entry), "Folder");
}

TEST(SearchWindow, EnterTwiceWithTheSamePhraseSearchesOnceButRewritesTheHeader) {
    SearchShell shell(Fruit);
    shell.Enter("Груши");
    ASSERT_EQ(shell.Rows(), 1);
    shell.setup.Article("Слива", "<p>Груши и сливы</p>");
    shell.Search().FoundFiles->headerItem()->setText(TForm4::colName, QStringLiteral("x"));
    shell.Enter("Груши");
    EXPECT_EQ(shell.Rows(), 1);  // no second search: the new hit is not listed
    EXPECT_EQ(shell.Header(), " \"Груши\" найденно в следующих разделах:");
    shell.Enter("груши");  // another phrase (exact comparison) searches again
    EXPECT_EQ(shell.Rows(), 2);
}

TEST(SearchWindow, EmptyPhraseListsEveryArticleFile) {
    SearchShell shell(Fruit);
    shell.Enter("");
    EXPECT_EQ(shell.Header(), " \"\" найденно в следующих разделах:");
    EXPECT_EQ(shell.FolderNames(),
              (std::multiset<std::string>{"Груша", "Слива", "Яблоко", "Яблоко"}));
}

// Latin and Cyrillic case both fold, and the window finds what `kvtool search` finds.
TEST(SearchWindow, PhraseInAnotherLetterCaseFindsTheSameFilesAsTheCommandLine) {
    SearchShell shell(Fruit);
    for (const char* phrase : {"ЯБЛОК", "яблок", "abc", "ПОИСК"}) {
        shell.Enter(phrase);
        std::set<std::string> listed;
        for (int row = 0; row < shell.Rows(); ++row)
            listed.insert(
                kv::HitPath(shell.Cell(row, TForm4::colFolder), shell.Cell(row, TForm4::colFile)));
        std::set<std::string> found;
        kv::ArticleSearch command{shell.Inside(), std::string(phrase)};
        kv::RunArticleSearch(command, [&found](const std::string& path) { found.insert(path); });
        EXPECT_EQ(listed, found) << phrase;
        EXPECT_FALSE(listed.empty()) << phrase;
    }
    shell.Enter("abc");
    EXPECT_EQ(shell.FolderNames(), (std::multiset<std::string>{"Груша", "Яблоко"}));
}

TEST(SearchWindow, ClickDuringASearchStopsItKeepsTheHitsAndOpensTheClickedOne) {
    SearchShell shell(ManyArticles(40));
    std::string clicked;
    shell.DuringSearch([&] {
        if (shell.Rows() < 3) return false;
        clicked = kv::HitPath(shell.Cell(1, TForm4::colFolder), shell.Cell(1, TForm4::colFile));
        shell.ClickRow(1);
        return true;
    });
    shell.Enter("альфа");
    EXPECT_GE(shell.Rows(), 3);
    EXPECT_LT(shell.Rows(), 40);
    EXPECT_FALSE(shell.Search().FindFile1.Busy());
    EXPECT_TRUE(shell.Search().Label1->isHidden());
    EXPECT_EQ(shell.Main().Notebook2->ActivePage(), QStringLiteral("content"));
    EXPECT_EQ(shell.Main().HtmlView1->CurrentFile(), clicked);
    EXPECT_TRUE(shell.boxes.Boxes().empty());
    // The stopped search did not search its phrase whole: Enter again lists every hit.
    shell.Enter("альфа");
    EXPECT_EQ(shell.Rows(), 40);
}

TEST(SearchWindow, ClickWithNoRowSelectedSwitchesThePageAndKeepsTheArticle) {
    SearchShell shell(Fruit);
    shell.Main().TreeView1Change(shell.Main().TreeView1->model()->index(0, 0));
    const std::string shown = shell.Main().HtmlView1->CurrentFile();
    ASSERT_FALSE(shown.empty());
    shell.Main().ButtonLayer1Click();
    shell.ClickRow(-1);
    EXPECT_EQ(shell.Main().Notebook2->ActivePage(), QStringLiteral("content"));
    EXPECT_EQ(shell.Main().HtmlView1->CurrentFile(), shown);
}

// A click below the rows selects nothing, even with a hit selected before: the article shown
// since stays, and the phrase is searched in it.
TEST(SearchWindow, ClickBelowTheRowsDoesNotReopenTheLastHit) {
    SearchShell shell(Fruit);
    shell.Enter("Abc");
    ASSERT_EQ(shell.Rows(), 2);
    shell.ClickRow(0);
    ASSERT_EQ(shell.Search().FoundFiles->selectedItems().size(), 1);
    const QModelIndex plum = shell.Main().TreeView1->FindNode(QString::fromUtf8("Слива"));
    ASSERT_TRUE(plum.isValid());
    shell.Main().TreeView1Change(plum);  // an article without the phrase
    const std::string shown = shell.Main().HtmlView1->CurrentFile();
    ASSERT_EQ(shown, shell.Inside() + "/" + "Слива" + "/index.htm");
    shell.Main().ButtonLayer1Click();
    shell.ClickRow(-1);
    EXPECT_TRUE(shell.Search().FoundFiles->selectedItems().isEmpty());
    EXPECT_EQ(shell.Main().HtmlView1->CurrentFile(), shown);
    EXPECT_EQ(shell.Main().Notebook2->ActivePage(), QStringLiteral("content"));
}

// Enter with a new phrase during a search stops it and searches the new phrase afterwards: the
// list never mixes hits of the two phrases.
TEST(SearchWindow, EnterDuringASearchRestartsWithTheNewPhrase) {
    SearchShell shell(ManyArticles(40));
    int alphaRowsSeen = 0;
    shell.DuringSearch([&] {
        if (shell.Rows() < 2) return false;
        alphaRowsSeen = shell.Rows();
        shell.Enter("бета");
        EXPECT_EQ(shell.Rows(), 0);
        return true;
    });
    shell.Enter("альфа");
    EXPECT_GE(alphaRowsSeen, 2);
    EXPECT_EQ(shell.Header(), " \"бета\" найденно в следующих разделах:");
    std::multiset<std::string> expected;
    for (int i = 0; i < 40; i += 5) expected.insert(std::string("Статья " + std::to_string(i)));
    EXPECT_EQ(shell.FolderNames(), expected);
    EXPECT_EQ(shell.Search().LastSearchedPhrase(), "бета");
    EXPECT_FALSE(shell.Search().FindFile1.Busy());
}

// Back to the first phrase before the restart has begun: only its hits are listed.
TEST(SearchWindow, EnterBackAndForthDuringASearchListsTheLastPhraseOnly) {
    SearchShell shell(ManyArticles(20));
    shell.DuringSearch([&] {
        shell.Enter("бета");
        shell.Enter("альфа");
        return true;
    });
    shell.Enter("альфа");
    EXPECT_EQ(shell.Rows(), 20);
    EXPECT_EQ(shell.Header(), " \"альфа\" найденно в следующих разделах:");
}

TEST(SearchWindow, ClosingOrEscStopsASearchAndTheListKeepsItsHits) {
    for (const bool close : {true, false}) {
        SearchShell shell(ManyArticles(40));
        shell.DuringSearch([&] {
            if (shell.Rows() < 2) return false;
            if (close)
                shell.Search().Image3Click();
            else
                SearchShell::PressKey(shell.Search().containing, Qt::Key_Escape);
            return true;
        });
        shell.Enter("альфа");
        EXPECT_GE(shell.Rows(), 2) << close;
        EXPECT_LT(shell.Rows(), 40) << close;
        EXPECT_EQ(shell.Search().isVisible(), !close);
        EXPECT_TRUE(shell.Search().Label1->isHidden());
        EXPECT_FALSE(shell.Search().LastSearchedPhrase().has_value());
    }
}

// Pending messages also run between hits: Esc stops a search that finds nothing.
TEST(SearchWindow, EscStopsASearchWithoutHits) {
    SearchShell shell(ManyArticles(40));
    bool pressed = false;
    shell.DuringSearch([&] {
        EXPECT_EQ(shell.Search().cursor().shape(), Qt::BusyCursor);
        SearchShell::PressKey(shell.Search().FoundFiles, Qt::Key_Escape);
        pressed = true;
        return true;
    });
    shell.Enter("нигде нет");
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(shell.Search().FindFile1.Aborted());
    EXPECT_FALSE(shell.Search().LastSearchedPhrase().has_value());
}

TEST(SearchWindow, ClosingTheMainWindowStopsASearch) {
    SearchShell shell(ManyArticles(40));
    shell.DuringSearch([&] {
        shell.Main().Image1Click();
        return true;
    });
    shell.Enter("альфа");
    EXPECT_LT(shell.Rows(), 40);
    EXPECT_FALSE(shell.Search().FindFile1.Busy());
}

// While a search runs the pointer over the window is busy, over its controls too; afterwards
// every control has its own cursor again.
TEST(SearchWindow, BusyCursorAndLabelWhileASearchRuns) {
    SearchShell shell(ManyArticles(10));
    TForm4& search = shell.Search();
    bool checked = false;
    shell.DuringSearch([&] {
        EXPECT_EQ(search.cursor().shape(), Qt::BusyCursor);
        EXPECT_EQ(search.FoundFiles->cursor().shape(), Qt::BusyCursor);
        EXPECT_EQ(search.containing->cursor().shape(), Qt::BusyCursor);
        EXPECT_EQ(search.Image3->cursor().shape(), Qt::BusyCursor);
        if (shell.Rows() == 0) return false;
        EXPECT_FALSE(search.Label1->isHidden());
        checked = true;
        return true;
    });
    shell.Enter("альфа");
    EXPECT_TRUE(checked);
    EXPECT_TRUE(search.Label1->isHidden());
    EXPECT_EQ(search.FoundFiles->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(search.containing->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(search.Image3->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(search.cursor().shape(), Qt::ArrowCursor);
}

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) ++shows;
        return false;
    }
};

// The busy label shows from the first hit to completion: never for a search without hits.
// The busy label's whole text, dots and all, fits its 85 × 13 box in the face the program uses.
TEST(SearchWindow, BusyLabelFitsItsBox) {
    kv::fonts::Install();
    SearchShell shell(Fruit);
    const QLabel& label = *shell.Search().Label1;
    EXPECT_EQ(label.geometry(), QRect(280, 16, 85, 13));
    EXPECT_EQ(label.text(), QStringLiteral("Идет поиск ..."));
    const QFontMetrics metrics(label.font());
    EXPECT_LE(metrics.horizontalAdvance(label.text()), label.contentsRect().width());
    EXPECT_LE(metrics.boundingRect(label.text()).width(), label.contentsRect().width());
    EXPECT_LE(metrics.height(), label.contentsRect().height());
}

TEST(SearchWindow, BusyLabelShowsOnlyForASearchWithHits) {
    SearchShell shell(ManyArticles(5));
    ShowCounter label(shell.Search().Label1);
    shell.Enter("нигде нет");
    EXPECT_EQ(shell.Rows(), 0);
    EXPECT_EQ(label.shows, 0);
    shell.Enter("бета");
    EXPECT_EQ(shell.Rows(), 1);
    EXPECT_EQ(label.shows, 1);
    EXPECT_TRUE(shell.Search().Label1->isHidden());
}

// A folder path beyond 255 bytes still opens: the whole path names the article.
TEST(SearchWindow, HitInADeepFolderOpens) {
    std::string deep;
    SearchShell shell([&deep](kvtest::Installation& setup) {
        for (int level = 0; level < 6; ++level) deep += std::string(60, 'a' + level) + "/";
        setup.program.Write("inside/" + deep + "index.htm", "<p>deep phrase</p>");
    });
    shell.Enter("deep phrase");
    ASSERT_EQ(shell.Rows(), 1);
    ASSERT_GT(shell.Cell(0, TForm4::colFolder).size(), 255u);
    shell.ClickRow(0);
    EXPECT_EQ(shell.Main().HtmlView1->CurrentFile(), shell.Inside() + "/" + deep + "index.htm");
}

// Needs the viewer's Find: the opened hit shows the phrase selected, in any letter case, and
// the find-further area moves to its next occurrence.
TEST(SearchWindow, OpenedHitHasThePhraseSelectedAndFindFurtherMovesOn) {
    SearchShell shell([](kvtest::Installation& setup) {
        setup.Article("Река", "<p>Большая Волга течёт. Волга впадает в море.</p>");
    });
    shell.Enter("волга");
    ASSERT_EQ(shell.Rows(), 1);
    shell.ClickRow(0);
    const kv::TSectionList& document = shell.Main().HtmlView1->Document();
    EXPECT_EQ(document.SelEnd() - document.SelStart(), 5);
    const int first = document.SelStart();
    shell.Search().Image2Click();
    EXPECT_EQ(document.SelEnd() - document.SelStart(), 5);
    EXPECT_GT(document.SelStart(), first);
}

// Once the index is handed over, the window's search skips the articles the index rules out
// without looking at them: one changed since the start-up walk is judged as the walk saw it.
TEST(SearchWindow, IndexedSearchJudgesRuledOutArticlesAsTheStartUpWalkSawThem) {
    kvtest::TempFolder cache;
    SearchShell shell(
        [&](kvtest::Installation& setup) {
            Fruit(setup);
            IndexArticles(setup, cache.Path());
        },
        cache.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.windows->Indexer->Done(); }, 20000));
    ASSERT_TRUE(shell.Search().FindFile1.Index);
    shell.setup.Article("Слива", "<p>Груши и сливы.</p>");
    shell.Enter("груши");
    ASSERT_EQ(shell.Rows(), 1);
    EXPECT_EQ(shell.Cell(0, TForm4::colName), "Груша");
}

// Find further with a phrase the code page lacks selects it in a UTF-8 article.
TEST(SearchWindow, FindFurtherSelectsAGreekPhraseInAUtf8Article) {
    SearchShell shell([](kvtest::Installation& setup) {
        setup.program.Write("inside/Greek/index.htm",
                            "<meta charset=utf-8><p>Буква Αλφα и буква Βήτα.</p>");
    });
    shell.Enter("буква");
    ASSERT_EQ(shell.Rows(), 1);
    shell.ClickRow(0);
    EXPECT_EQ(shell.Main().HtmlView1->SelTextUnicode(), u"Буква");
    shell.Search().containing->setText(QString::fromUtf8("βΉΤΑ"));
    shell.Search().Image2Click();
    EXPECT_EQ(shell.Main().HtmlView1->SelTextUnicode(), u"Βήτα");
}
