// Picking in the contents trees opens articles in the main window's viewer.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/contentswindow.h"
#include "app/mainwindow.h"
#include "platform/codec.h"
#include "tests/app/installation.h"

using kvtest::W;

namespace {

// An article long enough that its later anchors lie below the first screen.
std::string LongArticle(std::initializer_list<std::string_view> anchors) {
    std::string text = "<html><body>\n";
    for (std::string_view anchor : anchors) {
        text += "<a name=\"" + std::string(anchor) + "\">\n<h2>" + std::string(anchor) + "</h2>\n";
        for (int i = 0; i < 40; ++i)
            text += "<p>Строка текста номер " + std::to_string(i) + ".</p>\n";
    }
    return text + "</body></html>\n";
}

struct Shell {
    kvtest::Installation setup;
    kvtest::MessageRecorder boxes;
    std::unique_ptr<kv::TWindowSet> windows;

    explicit Shell(const std::function<void(kvtest::Installation&)>& fill) {
        fill(setup);
        windows = kv::CreateWindowSet(setup.Folders());
        kv::ShowMainWindow(*windows);
        QCoreApplication::processEvents();
    }
    kv::TForm1& Main() { return *windows->Form1; }
    // The node with the text (UTF-8) in a tree, searched at both levels.
    static QModelIndex Node(const kv::TContentsTreeView& tree, const char* text) {
        return tree.FindNode(QString::fromUtf8(text));
    }
    void Pick(kv::TContentsTreeView& tree, const char* text) {
        const QModelIndex node = Node(tree, text);
        ASSERT_TRUE(node.isValid()) << text;
        tree.setCurrentIndex(node);
    }
    std::string Page() { return Main().Notebook2->ActivePage().toStdString(); }
    std::string ArticleFile(const char* folder) {
        return Main().ProgramFolder() + "inside/" + std::string(folder) + "/index.htm";
    }
};

void TwoArticles(kvtest::Installation& setup) {
    setup.Article("Яблоко", LongArticle({"Сорта", "История", "Сад"}));
    setup.Article("Груша", LongArticle({"Виды"}));
}

}  // namespace

TEST(Navigation, TopicOpensItsFolderArticleAtTheAnchor) {
    Shell shell(TwoArticles);
    kv::TForm1& main = shell.Main();
    shell.Pick(*main.TreeView1, "Сад");
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(main.CurrentFolder(), "Яблоко");
    EXPECT_EQ(main.CurrentArticle(), shell.ArticleFile("Яблоко") + "#" + "Сад");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Яблоко"));
    const kv::TIDObject* anchor = main.HtmlView1->Document().IDNames.Find("САД");
    ASSERT_NE(anchor, nullptr);
    EXPECT_GT(main.HtmlView1->VScrollPos(), 0);
    EXPECT_EQ(main.HtmlView1->VScrollPos(),
              std::min(anchor->TopY(), main.HtmlView1->DocHeight() - (main.HtmlView1->height())));
    EXPECT_TRUE(shell.boxes.Boxes().empty());

    main.ButtonLayer1Click();
    EXPECT_EQ(shell.Page(), "mainmenu");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Яблоко"));  // kept meanwhile
}

TEST(Navigation, TopLevelNodeOpensTheArticleWithTheFolderNameAsFragment) {
    Shell shell(TwoArticles);
    kv::TForm1& main = shell.Main();
    shell.Pick(*main.TreeView1, "Груша");
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(main.CurrentArticle(), shell.ArticleFile("Груша") + "#" + "Груша");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Груша"));
    EXPECT_EQ(main.HtmlView1->VScrollPos(), 0);  // no such anchor: the top of the new file
}

TEST(Navigation, PlusNodeDoesNothing) {
    Shell shell([](kvtest::Installation& setup) {
        setup.Article("Раздел", "<a name=\"+Подраздел\">\n<a name=\"Тема\">\n<p>Текст</p>\n");
    });
    kv::TForm1& main = shell.Main();
    ASSERT_TRUE(Shell::Node(*main.TreeView1, "+Подраздел").isValid());
    shell.Pick(*main.TreeView1, "+Подраздел");
    EXPECT_EQ(shell.Page(), "mainmenu");
    EXPECT_TRUE(main.CurrentArticle().empty());
    EXPECT_TRUE(main.HtmlView1->CurrentFile().empty());
}

TEST(Navigation, MissingArticleKeepsThePreviousDocumentSilently) {
    Shell shell(TwoArticles);
    kv::TForm1& main = shell.Main();
    shell.Pick(*main.TreeView1, "Виды");
    ASSERT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Груша"));
    std::filesystem::remove(shell.setup.program.Path() / "inside" / "Яблоко" / "index.htm");
    main.ButtonLayer1Click();
    shell.Pick(*main.TreeView1, "История");
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Груша"));
    EXPECT_EQ(main.CurrentArticle(), shell.ArticleFile("Яблоко") + "#" + "История");
    EXPECT_TRUE(shell.boxes.Boxes().empty());
}

TEST(Navigation, ContentsWindowPickOpensTheArticleInTheMainWindow) {
    Shell shell(TwoArticles);
    kv::TForm1& main = shell.Main();
    ASSERT_EQ(shell.Page(), "mainmenu");
    shell.Pick(*shell.windows->Form3->TreeView1, "Сорта");
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(main.CurrentFolder(), "Яблоко");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), shell.ArticleFile("Яблоко"));
}

TEST(Navigation, AnnouncementPageAndItsMissingFileError) {
    Shell shell(TwoArticles);
    kv::TForm1& main = shell.Main();
    main.ButtonLayer4Click();
    EXPECT_EQ(shell.Page(), "content");
    ASSERT_EQ(shell.boxes.Boxes().size(), 1u);
    EXPECT_EQ(shell.boxes.Boxes()[0].kind, kv::messages::Kind::Error);
    EXPECT_EQ(shell.boxes.Boxes()[0].text,
              "Can't locate file: " + main.ProgramFolder() + "res/anons.htm");

    shell.setup.program.Write("res/anons.htm", W("<p>Новое в энциклопедии</p>"));
    main.ButtonLayer1Click();
    main.ButtonLayer4Click();
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(main.HtmlView1->CurrentFile(), main.ProgramFolder() + "res/anons.htm");
    EXPECT_EQ(shell.boxes.Boxes().size(), 1u);
}

TEST(Navigation, ContentsWindowFindWithNothingToFindChangesNothing) {
    Shell shell(TwoArticles);
    kv::TForm3& contents = *shell.windows->Form3;
    EXPECT_FALSE(contents.Image3Click());  // no article shown yet
    shell.Pick(contents.TreeView1[0], "Сорта");
    contents.Edit1->setText(QStringLiteral("нет такого слова"));
    EXPECT_FALSE(contents.Image3Click());
    EXPECT_EQ(shell.Page(), "content");
    EXPECT_EQ(shell.Main().HtmlView1->CurrentFile(), shell.ArticleFile("Яблоко"));
}

// Waits for the viewer's phrase search; then the find-next area finds the text in any case.
TEST(Navigation, ContentsWindowFindsTheTextInTheShownArticle) {
    Shell shell(TwoArticles);
    kv::TForm3& contents = *shell.windows->Form3;
    shell.Pick(contents.TreeView1[0], "Сорта");
    contents.Edit1->setText(QStringLiteral("СТРОКА ТЕКСТА"));
    EXPECT_TRUE(contents.Image3Click());
    EXPECT_TRUE(contents.Image3Click());  // the next occurrence
}

// The main tree's auto-expand: the branch being left closes unless it holds the new pick. The
// contents window's tree has no auto-expand and keeps what it opened.
TEST(Navigation, MainTreeKeepsOnlyThePickedBranchOpen) {
    Shell shell([](kvtest::Installation& setup) {
        setup.Article("Байкал", LongArticle({"Глубина", "Рыбы"}));
        setup.Article("Венера", LongArticle({"Орбита"}));
    });
    kv::TContentsTreeView& tree = *shell.Main().TreeView1;
    const QModelIndex baikal = Shell::Node(tree, "Байкал");
    const QModelIndex venus = Shell::Node(tree, "Венера");
    shell.Pick(tree, "Байкал");
    EXPECT_TRUE(tree.isExpanded(baikal));
    shell.Pick(tree, "Глубина");
    EXPECT_TRUE(tree.isExpanded(baikal));  // left for its own topic: stays open
    shell.Pick(tree, "Венера");
    EXPECT_FALSE(tree.isExpanded(baikal));
    EXPECT_TRUE(tree.isExpanded(venus));
    shell.Pick(tree, "Орбита");
    EXPECT_TRUE(tree.isExpanded(venus));
    shell.Pick(tree, "Байкал");  // from a topic: its branch closes
    EXPECT_FALSE(tree.isExpanded(venus));
    EXPECT_TRUE(tree.isExpanded(baikal));

    kv::TContentsTreeView& copy = *shell.windows->Form3->TreeView1;
    shell.Pick(copy, "Байкал");
    shell.Pick(copy, "Венера");
    EXPECT_TRUE(copy.isExpanded(Shell::Node(copy, "Байкал")));
}
