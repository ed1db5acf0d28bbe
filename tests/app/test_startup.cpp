#include <gtest/gtest.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <filesystem>

#include "app/startup.h"
#include "platform/codec.h"
#include "tests/app/installation.h"
#include "tests/common/testutil.h"

using kvtest::W;
namespace fs = std::filesystem;

namespace {

using kvtest::Installation;

std::string Dump(const kv::TContentsTreeView& view) {
    return view.Dump().toStdString();
}

}  // namespace

TEST(Startup, BuildsContentsFileAndBothTreesInWalkOrder) {
    Installation setup;
    setup.Article("Яблоко", "<a name=\"Сорта\">\n<a name=\"История\">\n");
    setup.Article("Арбуз", "<a name=\"Бахча\">\n");
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    EXPECT_TRUE(boxes.Boxes().empty());

    const std::string file = kvtest::ReadFile(setup.windows.Path() / "treeenc.txt");
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 5);
    const std::string walkOrder = Dump(*windows->Form1->TreeView1);
    EXPECT_EQ(walkOrder.size(), std::string("Яблоко\n  Сорта\n  История\nАрбуз\n  Бахча\n").size());
    EXPECT_EQ(Dump(*windows->Form3->TreeView1), walkOrder);
    EXPECT_EQ(windows->Form1->TreeView1->topLevelItem(0)->icon(0).isNull(), false);
    EXPECT_TRUE(windows->Form3->TreeView1->topLevelItem(0)->icon(0).isNull());
    EXPECT_EQ(windows->Form4->ProgramFolder(), setup.Folders().programFolder);

    // One second later the main tree is sorted at every level; the copy keeps the walk order.
    EXPECT_TRUE(windows->Form1->Timer1->isActive());
    EXPECT_EQ(windows->Form1->Timer1->interval(), 1000);
    QEventLoop wait;
    QTimer::singleShot(1300, &wait, &QEventLoop::quit);
    wait.exec();
    EXPECT_FALSE(windows->Form1->Timer1->isActive());
    EXPECT_EQ(Dump(*windows->Form1->TreeView1), "Арбуз\n  Бахча\nЯблоко\n  История\n  Сорта\n");
    EXPECT_EQ(Dump(*windows->Form3->TreeView1), walkOrder);
}

TEST(Startup, BackdropIsSizedButNeverShown) {
    Installation setup;
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    kv::ShowMainWindow(*windows);
    QCoreApplication::processEvents();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(windows->Form2->size(), screen + QSize(50, 50));
    EXPECT_TRUE(windows->Form1->isVisible());
    EXPECT_FALSE(windows->Form2->isVisible());
    EXPECT_FALSE(windows->Form3->isVisible());
    EXPECT_FALSE(windows->Form4->isVisible());
    EXPECT_EQ(windows->Form1->Notebook2->ActivePage(), "mainmenu");
    EXPECT_EQ(windows->Form1->size(), QSize(800, 600));
    EXPECT_TRUE(windows->Form1->windowFlags() & Qt::FramelessWindowHint);
    // The controls of the main window at their places.
    EXPECT_EQ(windows->Form1->TreeView1->geometry(), QRect(119, 72, 666, 441));
    EXPECT_EQ(windows->Form1->HtmlView1->geometry(), QRect(120, 56, 665, 457));
    EXPECT_EQ(windows->Form1->Image1->geometry(), QRect(776, 0, 25, 25));
    EXPECT_EQ(windows->Form1->TreeView1->indentation(), 19);
}

TEST(Startup, MissingContentFolderWarnsAndStillOpens) {
    Installation setup;
    // The walk falls back to the current folder: one of the test's own, whatever folder the
    // tests were started from.
    kvtest::TempFolder start;
    std::filesystem::current_path(start.Path());
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Cannot find directory");
    ASSERT_TRUE(windows->Form4);
}

TEST(Startup, UnreadableArticleIsSkippedAndReportedOnceAfterTheTreeLoads) {
    Installation setup;
    setup.Article("Хорошая", "<a name=\"Тема\">\n");
    setup.program.MakeFolder("inside/Битая");
    fs::create_symlink(setup.program.Path() / "nowhere",
                       setup.program.Path() / "inside/Битая/index.htm");
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, kv::messages::Kind::Error);
    EXPECT_NE(boxes.Boxes()[0].text.find(W("Битая/index.htm")), std::string::npos);
    // The full path, not one relative to the content folder.
    EXPECT_NE(boxes.Boxes()[0].text.find(kv::cp1251::fromPath(setup.program.Path()) + "/inside/" +
                                         W("Битая/index.htm")),
              std::string::npos)
        << boxes.Boxes()[0].text;
    EXPECT_EQ(boxes.Boxes()[0].text.find("./"), std::string::npos);
    EXPECT_NE(boxes.Boxes()[0].text.find("Cannot read 1 entry"), std::string::npos);
    EXPECT_EQ(windows->Form1->TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(windows->Form3->TreeView1->topLevelItemCount(), 2);
}

TEST(Startup, AContentsFileThatCannotBeWrittenIsReportedAndTheTreeStillLoads) {
    Installation setup;
    setup.Article("Яблоко", "<a name=\"Сорта\">\n");
    setup.Article("Арбуз", "<a name=\"Бахча\">\n");
    // Root writes anywhere: a folder in the file's place makes the write fail.
    setup.windows.MakeFolder("treeenc.txt");
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, kv::messages::Kind::Error);
    EXPECT_NE(boxes.Boxes()[0].text.find("treeenc.txt"), std::string::npos);
    EXPECT_EQ(windows->Form1->TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(windows->Form3->TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(Dump(*windows->Form1->TreeView1).size(),
              std::string("Яблоко\n  Сорта\nАрбуз\n  Бахча\n").size());
}

TEST(Startup, InvalidLevelIsReportedAndStartupGoesOn) {
    Installation setup;
    setup.Article("Папка", "<a name=\"Хорошо\">\n<a name=\"  с отступом\">\n<a name=\"После\">\n");
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, W("Invalid level (3) for item \"с отступом\""));
    EXPECT_EQ(Dump(*windows->Form1->TreeView1), "Папка\n  Хорошо\n");
    EXPECT_EQ(Dump(*windows->Form3->TreeView1), "Папка\n  Хорошо\n");
}

TEST(Startup, ContentsWindowToggleAndSearchButton) {
    Installation setup;
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    kv::ShowMainWindow(*windows);
    kv::TForm1& main = *windows->Form1;
    main.CheckBox1->click();
    EXPECT_TRUE(windows->Form3->isVisible());
    EXPECT_EQ(windows->Form3->pos(), main.pos() + QPoint(450, 260));
    windows->Form3->Image2Click();  // its own close leaves the box checked
    EXPECT_TRUE(main.CheckBox1->isChecked());
    main.CheckBox1->click();
    EXPECT_FALSE(windows->Form3->isVisible());
    main.CheckBox1->click();
    EXPECT_TRUE(windows->Form3->isVisible());
    main.ButtonLayer2Click();
    EXPECT_TRUE(windows->Form4->isVisible());
    EXPECT_EQ(windows->Form4->pos(), main.pos() + QPoint(400, 80));
}
