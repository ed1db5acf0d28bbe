#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <map>

#include "app/startup.h"
#include "cache/cachefile.h"
#include "platform/codec.h"
#include "tests/app/installation.h"
#include "tests/common/testutil.h"

using kvtest::W;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using kvtest::Installation;

std::string Dump(const kv::TContentsTreeView& view) {
    return view.Dump().toStdString();
}

QIcon Icon(const QModelIndex& node) {
    return node.data(Qt::DecorationRole).value<QIcon>();
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
    // The nodes are held once, shown by both trees.
    EXPECT_EQ(windows->Form3->TreeView1->Contents(), windows->Form1->TreeView1->Contents());
    EXPECT_FALSE(Icon(windows->Form1->TreeView1->model()->index(0, 0)).isNull());
    EXPECT_TRUE(Icon(windows->Form3->TreeView1->model()->index(0, 0)).isNull());
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
    EXPECT_NE(boxes.Boxes()[0].text.find("Битая/index.htm"), std::string::npos);
    // The full path, not one relative to the content folder.
    EXPECT_NE(boxes.Boxes()[0].text.find(kv::text::fromPath(setup.program.Path()) + "/inside/" +
                                         "Битая/index.htm"),
              std::string::npos)
        << boxes.Boxes()[0].text;
    EXPECT_EQ(boxes.Boxes()[0].text.find("./"), std::string::npos);
    EXPECT_NE(boxes.Boxes()[0].text.find("Cannot read 1 entry"), std::string::npos);
    EXPECT_EQ(windows->Form1->TreeView1->TopLevelCount(), 2);
    EXPECT_EQ(windows->Form3->TreeView1->TopLevelCount(), 2);
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
    EXPECT_EQ(windows->Form1->TreeView1->TopLevelCount(), 2);
    EXPECT_EQ(windows->Form3->TreeView1->TopLevelCount(), 2);
    EXPECT_EQ(Dump(*windows->Form1->TreeView1).size(),
              std::string("Яблоко\n  Сорта\nАрбуз\n  Бахча\n").size());
}

TEST(Startup, InvalidLevelIsReportedAndStartupGoesOn) {
    Installation setup;
    setup.Article("Папка", "<a name=\"Хорошо\">\n<a name=\"  с отступом\">\n<a name=\"После\">\n");
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Invalid level (3) for item \"с отступом\"");
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

namespace {

// A corpus whose every folder and article has its exact contents lines (Windows-1251) and
// tree rows (UTF-8, two spaces a level), put together below in the file system's own order.
struct GoldenCorpus {
    std::map<fs::path, std::string> lines;  // by folder or article path
    std::map<fs::path, std::string> rows;

    void Folder(const fs::path& path, std::string line, std::string row) {
        lines[path] = line + "\r\n";
        rows[path] = row + "\n";
    }
    void Article(const fs::path& path, std::string contents, std::string tree) {
        lines[path] = std::move(contents);
        rows[path] = std::move(tree);
    }
    void Assemble(const fs::path& folder, std::string& file, std::string& dump) const {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto known = lines.find(entry.path());
            if (known == lines.end()) continue;
            file += known->second;
            dump += rows.at(entry.path());
            if (entry.is_directory()) Assemble(entry.path(), file, dump);
        }
    }
};

// An article over several read blocks: an anchor that straddles the 256 KB mark, a long one.
std::string BigArticle() {
    std::string text = W("<a name=\"Начало\">\r\n");
    while (text.size() < 262144 - 4) text += "<p>filler</p>\r\n";
    text.resize(262144 - 4, 'x');
    text += W("\r\n<a name=\"На границе\"></a>\r\n") + "<a name=\"" + std::string(5000, '\xe6') +
            "\">\r\n";
    while (text.size() < 400000) text += "<p>filler</p>\r\n";
    return text + W("<a name=\"Конец\">");
}

void WalkOrderItems(const QModelIndex& item, std::vector<QModelIndex>& out) {
    out.push_back(item);
    for (int i = 0; i < item.model()->rowCount(item); ++i)
        WalkOrderItems(item.model()->index(i, 0, item), out);
}

std::vector<QModelIndex> AllItems(const QTreeView& view) {
    std::vector<QModelIndex> out;
    for (int i = 0; i < view.model()->rowCount(); ++i)
        WalkOrderItems(view.model()->index(i, 0), out);
    return out;
}

}  // namespace

TEST(Startup, VariedCorpusGivesTheExactContentsFileAndTree) {
    Installation setup;
    const fs::path inside = setup.program.Path() / "inside";
    GoldenCorpus golden;
    setup.Article("Луна",
                  "<h1>Луна</h1>\r\n<a name=\"Фазы\"></a>\r\n<a name=\"Фазы\"></a> дубль\r\n"
                  "<a name=\"фазы\">\r\n<A NAME=\"Заглавные\">\r\n<a name=\"Орбита\"><a "
                  "name=\"второй\">\r\n<a name=\"я\">\r\n<a name=\" с пробелом\">\r\n"
                  "<a name=\"\tтаб\">\r\n<a name=\"№ 5 и «кавычки»\">\r\n<a name=\"без конца\r\n");
    golden.Folder(inside / "Луна", W("Луна"), "Луна");
    golden.Article(inside / "Луна/index.htm",
                   W(" Фазы\r\n Фазы\r\n фазы\r\n Орбита\r\n  с пробелом\r\n \tтаб\r\n"
                     " № 5 и «кавычки»\r\n без конца\r\n"),
                   "  Фазы\n  Фазы\n  фазы\n  Орбита\n    с пробелом\n    таб\n  № 5 и «кавычки»\n"
                   "  без конца\n");
    setup.Article("Пустая", "");
    golden.Folder(inside / "Пустая", W("Пустая"), "Пустая");
    golden.Article(inside / "Пустая/index.htm", "", "");
    setup.Article("Кит", "<a name=\"Усы\">\n<a name=\"\">\n");
    golden.Folder(inside / "Кит", W("Кит"), "Кит");
    golden.Article(inside / "Кит/index.htm", W(" Усы\r\n"), "  Усы\n");
    setup.Article("кит", "x\r<a name=\"усы\"\r<a name=\"хвост");
    golden.Folder(inside / "кит", W("кит"), "кит");
    golden.Article(inside / "кит/index.htm", W(" усы\r\n хвост\r\n"), "  усы\n  хвост\n");
    setup.Article("Без статьи/Глубже", "<a name=\"дно\">");
    setup.program.Write("inside/Без статьи/INDEX.HTM", "<a name=\"never\">");
    setup.program.Write("inside/Без статьи/.index.htm", "<a name=\"never\">");
    setup.program.Write("inside/Без статьи/readme.txt", "<a name=\"never\">");
    golden.Folder(inside / "Без статьи", W("Без статьи"), "Без статьи");
    golden.Folder(inside / "Без статьи/Глубже", W("Глубже"), "Глубже");
    golden.Article(inside / "Без статьи/Глубже/index.htm", W(" дно\r\n"), "  дно\n");
    setup.Article(".скрытая", "<a name=\"never\">");
    setup.program.Write("inside/Большая/index.htm", BigArticle());
    golden.Folder(inside / "Большая", W("Большая"), "Большая");
    golden.Article(inside / "Большая/index.htm",
                   W(" Начало\r\n На границе\r\n") + " " + std::string(5000, '\xe6') + "\r\n" +
                       W(" Конец\r\n"),
                   "  Начало\n  На границе\n  " + std::string(5000 / 2, 'x') + "\n  Конец\n");
    // "ж" is two UTF-8 bytes; the row above holds its count of placeholders, fixed below.
    std::string& bigRows = golden.rows[inside / "Большая/index.htm"];
    std::string zhe;
    for (int i = 0; i < 5000; ++i) zhe += "ж";
    bigRows.replace(bigRows.find(std::string(2500, 'x')), 2500, zhe);
    // Names with no Windows-1251 letter, or not even UTF-8, become question marks.
    setup.program.Write("inside/Ω日/index.htm", "<a name=\"a\0b\">\0"s);
    golden.Folder(inside / "Ω日", "??", "??");
    golden.Article(inside / "Ω日/index.htm", " a\0b\r\n"s, "  a\0b\n"s);
    // The temporary folder cannot remove a name that is not UTF-8: the test does.
    const fs::path notUtf8 = setup.program.MakeFolder("inside/bad\xff");
    const auto removeNotUtf8 = qScopeGuard([&] { fs::remove(notUtf8); });
    golden.Folder(inside / "bad\xff", "bad?", "bad?");

    std::string expectedFile, expectedRows;
    golden.Assemble(inside, expectedFile, expectedRows);
    kvtest::MessageRecorder boxes;
    auto windows = kv::CreateWindowSet(setup.Folders());
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(kvtest::ReadFile(setup.windows.Path() / "treeenc.txt"), expectedFile);
    EXPECT_EQ(Dump(*windows->Form1->TreeView1), expectedRows);
    EXPECT_EQ(Dump(*windows->Form3->TreeView1), expectedRows);
    for (const QModelIndex& item : AllItems(*windows->Form1->TreeView1))
        EXPECT_FALSE(Icon(item).isNull()) << item.data().toString().toStdString();
    for (const QModelIndex& item : AllItems(*windows->Form3->TreeView1))
        EXPECT_TRUE(Icon(item).isNull()) << item.data().toString().toStdString();
}

TEST(Startup, SearchIndexIsBuiltAfterTheMainWindowIsShownAndHandedToTheSearch) {
    Installation setup;
    setup.Article("Яблоко", "<a name=\"Сорта\">\n");
    kvtest::TempFolder cache;
    auto folders = setup.Folders();
    folders.cacheFolder = cache.Path();
    auto windows = kv::CreateWindowSet(folders);
    EXPECT_EQ(windows->Form4->FindFile1.Index, nullptr);
    kv::ShowMainWindow(*windows);
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (windows->Indexer->Done()) wait.quit();
    });
    poll.start(5);
    QTimer::singleShot(30000, &wait, &QEventLoop::quit);  // slow under a sanitizer and load
    wait.exec();
    ASSERT_TRUE(windows->Indexer->Done());
    EXPECT_NE(windows->Form4->FindFile1.Index, nullptr);
    const fs::path walkCache =
        kv::cache::FileFor(cache.Path(), fs::canonical(setup.program.Path() / "inside"), "walk");
    EXPECT_TRUE(fs::exists(walkCache));
    EXPECT_TRUE(fs::exists(fs::path(walkCache).replace_extension(".trigrams")));
}

// Message boxes speak the interface's language: Qt's standard buttons in Russian, whatever the
// caller's locale (packages.txt installs the translation).
TEST(Startup, StandardButtonsReadInRussian) {
    const auto translation = kv::InstallQtTranslation();
    ASSERT_NE(translation, nullptr)
        << "qtbase_ru.qm is missing from "
        << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Кварнеля"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
    const auto text = [&box](QMessageBox::StandardButton button) {
        return box.button(button)->text().remove(QLatin1Char('&')).toStdString();
    };
    EXPECT_EQ(text(QMessageBox::Yes), "Да");
    EXPECT_EQ(text(QMessageBox::No), "Нет");
    EXPECT_EQ(text(QMessageBox::Ok), "OK");
}
