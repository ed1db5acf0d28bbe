#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "app/contentindex.h"
#include "app/strcon.h"
#include "cache/cachefile.h"
#include "filesearch/articlesearch.h"
#include "platform/codec.h"
#include "platform/errors.h"
#include "tests/common/testutil.h"
#include "tests/filesearch/searchtest.h"

using kvtest::W;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Walk(const kvtest::TempFolder& folder) {
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::text::fromPath(folder.Path()));
    return index.Lines();
}

// Topic lines, each ended by CR LF, one by one.
std::vector<std::string> Split(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t end; (end = text.find("\r\n")) != std::string_view::npos;
         text.remove_prefix(end + 2))
        lines.emplace_back(text.substr(0, end));
    EXPECT_EQ(text, "");
    return lines;
}

std::vector<std::string> Topics(std::string_view text) {
    std::string lines;
    kv::TopicScanner scanner(lines);
    scanner.Feed(text);
    scanner.Finish();
    return Split(lines);
}

// The rule for one line, written with the string helpers.
std::vector<std::string> TopicsByLine(std::string_view text) {
    kv::TStringCollection s;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        const std::string_view anchor = s.TextBefore("\"", s.TextAfter("<a name=\"", line));
        if (anchor.size() >= 2) lines.push_back(" " + std::string(anchor));
        pos = end + 1;
    }
    return lines;
}

}  // namespace

TEST(TopicScanner, AnchorRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Topics("<a name=\"x\"></a>\n<a name=\"xy\"></a>"), V{" xy"});  // 1 char ignored
    EXPECT_EQ(Topics("<a name=\"one\"> <a name=\"two\">\r\n"), V{" one"});   // first per line
    EXPECT_EQ(Topics("<A NAME=\"up\">\n<a  name=\"two\">\n<a name='q'>\n"), V{});
    EXPECT_EQ(Topics("<a name=\"open to the end\r\nnext\" line"), V{" open to the end"});
    EXPECT_EQ(Topics("<a name=\"\">"), V{});
    EXPECT_EQ(Topics("text <a name=\" lead\">"), V{"  lead"});  // verbatim, no trimming
    EXPECT_EQ(Topics("<a name=\"a&amp;b\">"), V{" a&amp;b"});   // no decoding
    EXPECT_EQ(Topics("<a name=\"last"), V{" last"});
    EXPECT_EQ(Topics("x\r<a name=\"cr\"\r<a name=\"lf\"\n"), (V{" cr", " lf"}));
}

TEST(TopicScanner, BlocksOfEverySizeGiveTheSameTopics) {
    std::mt19937 random(1251);
    const char* pieces[] = {"<a name=\"", "\"", "\r\n",  "\n",    "\r",
                            "ab",         "Ё",  "<a na", "me=\"", " "};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
        const auto expected = TopicsByLine(text);
        ASSERT_EQ(Topics(text), expected) << text;
        for (size_t block = 1; block <= 11; block += 5) {
            std::string lines;
            kv::TopicScanner scanner(lines);
            for (size_t i = 0; i < text.size(); i += block)
                scanner.Feed(std::string_view(text).substr(i, block));
            scanner.Finish();
            ASSERT_EQ(Split(lines), expected) << "block " << block << ": " << text;
        }
    }
}

TEST(ContentWalk, FoldersAndTopicsInWalkOrder) {
    kvtest::TempFolder root;
    root.Write("Луна/index.htm",
               W("<h1>Луна</h1>\r\n<a name=\"Фазы\"></a>\r\n<a name=\"Орбита\">"));
    root.Write("Пусто/readme.txt", "<a name=\"never\">");
    root.Write("Заглавные/INDEX.HTM", "<a name=\"never\">");
    root.Write("Вложенная/index.htm", "<a name=\"before\">\n");
    root.Write("Вложенная/Глубже/index.htm", "<a name=\"deep\">\n");
    root.Write(".скрытая/index.htm", "<a name=\"never\">");
    root.Write("Видимая/.index.htm", "<a name=\"never\">");

    // The walk keeps the file system's order; work that order out the same way.
    std::vector<std::string> expected;
    std::function<void(const fs::path&)> walk = [&](const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            if (name[0] == '.') continue;
            if (entry.is_directory()) {
                expected.push_back(kv::cp1251::fromUtf8(name));
                walk(entry.path());
            } else if (name == "index.htm") {
                for (auto& topic : Topics(kvtest::ReadFile(entry.path())))
                    expected.push_back(topic);
            }
        }
    };
    walk(root.Path());
    EXPECT_EQ(Walk(root), expected);
    EXPECT_EQ(expected.size(), 10u);  // 6 folders and 2 + 1 + 1 topics; nothing hidden
}

TEST(ContentWalk, MissingContentFolderWarnsOnceAndWalksTheCurrentFolder) {
    kvtest::TempFolder start;
    start.Write("Здесь/index.htm", "<a name=\"topic\">");
    kvtest::CurrentFolderGuard guard;
    fs::current_path(start.Path());
    kvtest::MessageRecorder boxes;
    kv::TContentIndex index;
    index.GenerateMainTree(kv::text::fromPath(start.Path() / "nothing") + "/");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, kv::messages::Kind::Warning);
    EXPECT_EQ(boxes.Boxes()[0].text, "Cannot find directory");
    EXPECT_EQ(index.Lines(), (std::vector<std::string>{W("Здесь"), " topic"}));
}

TEST(ContentWalk, UnreadableEntriesAreSkippedAndCounted) {
    // Root reads everything, so a dangling link stands in for the unreadable article file.
    kvtest::TempFolder root;
    root.Write("А/index.htm", "<a name=\"one\">");
    root.Write("Б/index.htm", "<a name=\"two\">");
    root.MakeFolder("В");
    fs::create_symlink(root.Path() / "missing-target", root.Path() / "В" / "index.htm");
    fs::create_directory_symlink(root.Path() / "gone", root.Path() / "Г");
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::text::fromPath(root.Path()));
    // Both good articles are listed whatever the order; the broken ones are counted once each.
    const auto& lines = index.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), " one"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " two"), lines.end());
    EXPECT_EQ(index.FailureCount(), 1u);  // the dangling article; "Г" is no folder at all
    EXPECT_NE(index.FailureMessage().find("index.htm"), std::string::npos);
}

TEST(ContentWalk, LinkBackToAnAncestorDoesNotLoopForever) {
    kvtest::TempFolder root;
    root.Write("А/index.htm", "<a name=\"one\">");
    fs::create_directory_symlink(root.Path(), root.Path() / "А" / "loop");
    const auto lines = Walk(root);
    EXPECT_LE(lines.size(), 4u);
}

TEST(ContentsFile, CrLfAfterEveryLineInWindows1251) {
    kvtest::TempFolder root;
    const fs::path file = root.Path() / "treeenc.txt";
    kv::SaveContentsFile({W("Луна"), W(" Фазы")}, file);
    EXPECT_EQ(kvtest::ReadFile(file), "\xcb\xf3\xed\xe0\r\n \xd4\xe0\xe7\xfb\r\n");
    kv::SaveContentsFile({}, file);  // rewritten, not appended
    EXPECT_EQ(kvtest::ReadFile(file), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(root.Path()), fs::directory_iterator()), 1);
}

TEST(ContentsFile, FailureRaisesAndKeepsTheOldFile) {
    kvtest::TempFolder root;
    EXPECT_THROW(kv::SaveContentsFile({"x"}, root.Path() / "no" / "treeenc.txt"), kv::Exception);
    try {
        kv::SaveContentsFile({"x"}, root.Path() / "no" / "treeenc.txt");
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u) << e.what();
    }
}

TEST(TopicScanner, LongTextsWithNearMissesFollowTheLineRule) {
    // Long enough for the fast search, with markers at every offset and texts that share most
    // of a marker's bytes.
    std::mt19937 random(866);
    const char* pieces[] = {"<a name=\"", "<a href=\"", "<a nam=\"", "<a  name=\"", "<b name=\"",
                            "<a name='",  "\"",         "\r\n",      "\n",          "\r",
                            "word ",      "Ж",          "<",         "n",           "\0"};
    for (int round = 0; round < 60; ++round) {
        std::string text;
        while (text.size() < 3000) {
            const char* piece = pieces[random() % std::size(pieces)];
            text += *piece ? std::string(piece) : std::string(1, '\0');
        }
        const auto expected = TopicsByLine(text);
        ASSERT_EQ(Topics(text), expected) << text;
        const size_t block = 1 + random() % 700;
        std::string lines;
        kv::TopicScanner scanner(lines);
        for (size_t i = 0; i < text.size(); i += block)
            scanner.Feed(std::string_view(text).substr(i, block));
        scanner.Finish();
        ASSERT_EQ(Split(lines), expected) << "block " << block;
    }
    // A marker in the last bytes of a block, and one ending exactly at the end.
    for (size_t pad = 0; pad < 40; ++pad) {
        const std::string text = std::string(pad, 'x') + "<a name=\"ab\"" + std::string(7, 'y');
        EXPECT_EQ(Topics(text), std::vector<std::string>{" ab"}) << pad;
        EXPECT_EQ(Topics(std::string(pad, 'x') + "<a name=\""), std::vector<std::string>{});
    }
}

TEST(ContentWalk, LinksAndOddEntriesAreTakenByWhatTheyPointTo) {
    kvtest::TempFolder outside;
    outside.Write("index.htm", "<a name=\"linked\">");
    kvtest::TempFolder root;
    fs::create_directory_symlink(outside.Path(), root.Path() / "Link");
    root.MakeFolder("Real");
    fs::create_symlink(outside.Path() / "index.htm", root.Path() / "Real" / "index.htm");
    root.Write("Odd/index.htm/index.htm", "<a name=\"inner\">");  // a folder by that name
    auto lines = Walk(root);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{" inner", " linked", " linked", "Link", "Odd",
                                               "Real", "index.htm"}));
}

TEST(ContentWalk, FolderNamesConvertLikeEveryOtherName) {
    kvtest::TempFolder root;
    const std::vector<std::string> names = {"Plain",
                                            "Ёжик и ёлка",
                                            "Пётр № 1 — €",
                                            "日本",
                                            "\xd0",
                                            "\xd0\xd0\x9f",
                                            "\xc0\x80",
                                            "\xed\xa0\x80x",
                                            "end\xd0\xbf\xd0",
                                            "\xef\xbb\xbf"
                                            "Б",
                                            "\xf0\x9f\x98\x80"};
    std::vector<std::string> expected;
    for (const auto& name : names) {
        fs::create_directory(root.Path() / name);
        expected.push_back(kv::cp1251::fromUtf8(name));
    }
    auto lines = Walk(root);
    // The temporary folder cannot remove names that are not UTF-8.
    for (const auto& name : names) fs::remove(root.Path() / name);
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    EXPECT_NE(std::find(lines.begin(), lines.end(), W("Ёжик и ёлка")), lines.end());
}

TEST(ContentWalk, ManyFoldersComeOutInOneWalksOrderWithTheFirstFailureFirst) {
    kvtest::TempFolder root;
    root.Write("index.htm", "<a name=\"top\">\n");
    for (int i = 0; i < 300; ++i) {
        const std::string folder = "F" + std::to_string(i);
        if (i % 37 == 5) {
            root.MakeFolder(folder);
            fs::create_symlink(root.Path() / "gone", root.Path() / folder / "index.htm");
        } else {
            root.Write(folder + "/index.htm", "<a name=\"t" + std::to_string(i) + "\">\n");
            if (i % 10 == 0) root.Write(folder + "/Sub/index.htm", "<a name=\"deeper\">");
        }
    }
    std::vector<std::string> expected;
    std::string firstFailure;
    std::size_t failures = 0;
    std::function<void(const fs::path&)> walk = [&](const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            if (entry.is_directory()) {
                expected.push_back(name);
                walk(entry.path());
            } else if (name == "index.htm" && !fs::exists(entry.path())) {
                if (failures++ == 0) firstFailure = entry.path().lexically_normal();
            } else if (name == "index.htm") {
                for (auto& topic : Topics(kvtest::ReadFile(entry.path())))
                    expected.push_back(topic);
            }
        }
    };
    walk(root.Path());
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::text::fromPath(root.Path()));
    EXPECT_EQ(index.Lines(), expected);
    EXPECT_EQ(index.FailureCount(), failures);
    EXPECT_EQ(index.FirstFailure(), firstFailure);
}

namespace {

struct CachedWalkResult {
    std::vector<std::string> lines;
    std::size_t read = 0;
    std::size_t cached = 0;
    std::size_t foldersListed = 0;
};

CachedWalkResult CachedWalk(const fs::path& root, const fs::path& cache,
                            std::chrono::nanoseconds settle = {}) {
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.UseCache(cache, settle);
    index.Walk(kv::text::fromPath(root));
    return {index.Lines(), index.ArticlesRead(), index.ArticlesFromCache(), index.FoldersListed()};
}

std::vector<std::string> FullWalk(const fs::path& root) {
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::text::fromPath(root));
    return index.Lines();
}

// Articles, folders without one, a nested folder, an article in the content folder itself and
// names the walk leaves alone.
void WriteBytes(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// 23 articles: a nested folder, one in the content folder itself, one without anchors, and
// folders and names the walk leaves alone.
void WriteEdgeCorpus(const fs::path& root) {
    WriteBytes(root / "index.htm", "<a name=\"top\">\n");
    for (int i = 0; i < 20; ++i)
        WriteBytes(root / ("F" + std::to_string(i)) / "index.htm",
                   "<a name=\"t" + std::to_string(i) + "\">\r\n<a name=\"x\">\n<a name=\" lead");
    WriteBytes(root / "F3/Sub/index.htm", "<a name=\"deeper\">");
    WriteBytes(root / "Empty/index.htm", "no anchors");
    fs::create_directories(root / "Bare");
    WriteBytes(root / "Upper/INDEX.HTM", "<a name=\"never\">");
    WriteBytes(root / ".hidden/index.htm", "<a name=\"never\">");
}
constexpr std::size_t kEdgeArticles = 23;

}  // namespace

TEST(ContentWalkCache, ReadsOnlyChangedArticlesAndAlwaysGivesTheFullWalksLines) {
    kvtest::TempFolder root, cache;
    WriteEdgeCorpus(root.Path());
    constexpr std::size_t kArticles = kEdgeArticles;
    // Files written a moment ago may still change unseen within their clock tick: not kept.
    auto walk = CachedWalk(root.Path(), cache.Path(), kv::kCacheSettle);
    EXPECT_EQ(walk.read, kArticles);
    EXPECT_EQ(CachedWalk(root.Path(), cache.Path()).read, kArticles);
    walk = CachedWalk(root.Path(), cache.Path());
    EXPECT_EQ(walk.lines, FullWalk(root.Path()));
    EXPECT_EQ(walk.read, 0u);
    EXPECT_EQ(walk.cached, kArticles);

    // Changed (also at the same size with the modification time put back), added, removed,
    // replaced by a link to another article; a clock tick later, as any edit by hand would be.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    root.Write("F1/index.htm", "<a name=\"changed\">");
    const fs::path same = root.Path() / "F2/index.htm";
    const auto modified = fs::last_write_time(same);
    WriteBytes(same, "<a name=\"t9\">\r\n<a name=\"y\">\n<a name=\" lead");
    fs::last_write_time(same, modified);
    root.Write("New/index.htm", "<a name=\"added\">");
    fs::remove_all(root.Path() / "F4");
    fs::remove(root.Path() / "F5/index.htm");
    fs::create_symlink(root.Path() / "F6/index.htm", root.Path() / "F5/index.htm");
    walk = CachedWalk(root.Path(), cache.Path());
    EXPECT_EQ(walk.lines, FullWalk(root.Path()));
    EXPECT_EQ(walk.read, 4u);
    EXPECT_EQ(walk.cached, kArticles - 4);
    EXPECT_NE(std::find(walk.lines.begin(), walk.lines.end(), " t9"), walk.lines.end());
    // A cache written partly as it was, partly anew (one article changed after the first
    // records) serves the next walk whole.
    root.Write("F7/index.htm", "<a name=\"rewritten\">");
    EXPECT_EQ(CachedWalk(root.Path(), cache.Path()).read, 1u);
    walk = CachedWalk(root.Path(), cache.Path());
    EXPECT_EQ(walk.lines, FullWalk(root.Path()));
    EXPECT_EQ(walk.read, 0u);
    EXPECT_EQ(walk.foldersListed, 0u);
}

// An unchanged folder is not listed again. One with an entry added, removed or renamed is, also
// with its modification time put back, and so is one changed within its clock tick.
TEST(ContentWalkCache, ListsOnlyFoldersChangedSinceTheLastWalk) {
    kvtest::TempFolder root, cache;
    WriteEdgeCorpus(root.Path());
    WriteBytes(root.Path() / "F12/Inner/index.htm", "<a name=\"inner\">");
    WriteBytes(root.Path() / "F12/Inner/page.htm", "");
    constexpr std::size_t kFolders = 26;  // the content folder and 25 below it
    EXPECT_EQ(CachedWalk(root.Path(), cache.Path(), kv::kCacheSettle).foldersListed, kFolders);
    EXPECT_EQ(CachedWalk(root.Path(), cache.Path()).foldersListed, kFolders);
    const auto inode = [&] {
        struct stat st {};
        ::stat(kv::cache::FileFor(cache.Path(), fs::canonical(root.Path()), "walk").c_str(), &st);
        return st.st_ino;
    };
    const auto written = inode();
    auto walk = CachedWalk(root.Path(), cache.Path());
    EXPECT_EQ(walk.foldersListed, 0u);
    EXPECT_EQ(walk.lines, FullWalk(root.Path()));
    EXPECT_EQ(inode(), written);  // nothing changed: the cache is not written again

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto unchangedLooking = [&root](const char* folder, const auto& change) {
        const fs::path path = root.Path() / folder;
        const auto modified = fs::last_write_time(path);
        change();
        fs::last_write_time(path, modified);
    };
    unchangedLooking(".", [&] { fs::rename(root.Path() / "F9", root.Path() / "F9 renamed"); });
    unchangedLooking("F7", [&] { root.Write("F7/Added/index.htm", "<a name=\"added\">"); });
    unchangedLooking("F3", [&] { fs::remove_all(root.Path() / "F3/Sub"); });
    unchangedLooking("F12/Inner", [&] { fs::remove(root.Path() / "F12/Inner/page.htm"); });
    walk = CachedWalk(root.Path(), cache.Path());
    EXPECT_EQ(walk.lines, FullWalk(root.Path()));
    // The four changed folders, the one added and the one under its new name.
    EXPECT_EQ(walk.foldersListed, 6u);
}

TEST(ContentWalkCache, AnyCacheFileThatIsNotThisFoldersOwnWholeMeansAFullWalk) {
    kvtest::TempFolder parent, cache;
    const fs::path root = parent.Path() / "inside";
    WriteEdgeCorpus(root);
    const auto full = FullWalk(root);
    CachedWalk(root, cache.Path());
    const fs::path file = kv::cache::FileFor(cache.Path(), fs::canonical(root), "walk");
    const std::string good = kvtest::ReadFile(file);
    ASSERT_EQ(CachedWalk(root, cache.Path()).cached, kEdgeArticles);

    std::string flipped = good;
    flipped[good.size() - 3] ^= 0x20;
    const std::string damaged[] = {
        "",         good.substr(0, good.size() - 1), good.substr(0, good.size() / 2), flipped,
        good + "x", std::string(good.size(), '\x5a')};
    for (const auto& bytes : damaged) {
        WriteBytes(file, bytes);
        const auto walk = CachedWalk(root, cache.Path());
        EXPECT_EQ(walk.lines, full);
        EXPECT_EQ(walk.cached, 0u) << bytes.size();
        EXPECT_EQ(kvtest::ReadFile(file), good);  // written anew, whole
    }

    // The same articles under another content folder's path: its cache is not this one's.
    const fs::path moved = parent.Path() / "moved";
    fs::rename(root, moved);
    fs::copy_file(file, kv::cache::FileFor(cache.Path(), fs::canonical(moved), "walk"));
    const auto walk = CachedWalk(moved, cache.Path());
    EXPECT_EQ(walk.lines, full);
    EXPECT_EQ(walk.cached, 0u);
}

TEST(ContentWalkCache, UnwritableCacheFolderMeansAFullWalkEveryTimeAndNoMessage) {
    kvtest::TempFolder root, cache;
    WriteEdgeCorpus(root.Path());
    const fs::path blocked = cache.Write("file", "not a folder") / "kvarnelya";
    kvtest::MessageRecorder boxes;
    for (int run = 0; run < 2; ++run) {
        const auto walk = CachedWalk(root.Path(), blocked);
        EXPECT_EQ(walk.lines, FullWalk(root.Path()));
        EXPECT_EQ(walk.read, kEdgeArticles);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(cache.Path()), fs::directory_iterator()), 1);
}

namespace {

// The walk that the search's index is built from, its catalogue and the index built after it.
struct IndexedWalk {
    std::shared_ptr<const kv::SearchCatalogue> catalogue;
    std::shared_ptr<const kv::cache::TrigramIndex> index;
};

IndexedWalk WalkAndIndex(const fs::path& root, const fs::path& cache) {
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex walk;
    walk.UseCache(cache, {});
    walk.Walk(kv::text::fromPath(root));
    kv::UpdateSearchIndex(walk, cache);
    auto index = std::make_shared<kv::cache::TrigramIndex>();
    EXPECT_TRUE(index->Load(cache, walk.Root()));
    return {walk.Catalogue(), std::move(index)};
}

// Every event of one article search: the folders entered, then each hit.
std::vector<std::string> SearchEvents(const fs::path& root, const std::string& phrase,
                                      const IndexedWalk* indexed, bool threaded = false) {
    kv::TFindFile finder;
    kv::SetUpArticleSearch(finder, kv::text::fromPath(root), phrase);
    finder.Threaded = threaded;
    if (indexed) {
        finder.Index = indexed->index;
        finder.Catalogue = indexed->catalogue;
    }
    kvtest::SearchRecorder recorder;
    recorder.Attach(finder);
    finder.Execute();
    if (threaded) {
        EXPECT_TRUE(kvtest::WaitForCompletion(recorder));
    }
    auto events = recorder.folders;
    events.insert(events.end(), recorder.hits.begin(), recorder.hits.end());
    return events;
}

void ExpectIndexedEqualsScan(const fs::path& root, const IndexedWalk& indexed) {
    for (const char* phrase : {"fox", "QUICK BROWN", "москва", "ЁЛКА", "fo", "nowhere at all"}) {
        EXPECT_EQ(SearchEvents(root, std::string(phrase), &indexed),
                  SearchEvents(root, std::string(phrase), nullptr))
            << phrase;
    }
}

}  // namespace

// With the index, the search takes its files from the start-up walk instead of listing folders:
// the same folders entered and the same hits in the same order as the scan, for articles, other
// "*.htm" files, links to folders (entered by the walk, not by a search) and files changed or
// removed while the program runs. A file added meanwhile waits for the next start's walk.
TEST(ContentWalkCache, IndexedSearchTakesTheWalksFilesAndFindsWhatTheScanFinds) {
    kvtest::TempFolder root, cache;
    WriteEdgeCorpus(root.Path());
    WriteBytes(root.Path() / "F1/index.htm", "the quick brown fox");
    WriteBytes(root.Path() / "F2/page.htm", "a QUICK BROWN fox in a page without topics");
    WriteBytes(root.Path() / "F2/notes.txt", "fox");
    WriteBytes(root.Path() / "F3/Sub/index.htm", W("Москва, ёлка"));
    WriteBytes(root.Path() / "F4/index.htm", "nothing");
    fs::create_directory_symlink(root.Path() / "F1", root.Path() / "Link");
    auto indexed = WalkAndIndex(root.Path(), cache.Path());
    ASSERT_TRUE(indexed.catalogue);
    ExpectIndexedEqualsScan(root.Path(), indexed);
    EXPECT_EQ(SearchEvents(root.Path(), "fox", &indexed, true),
              SearchEvents(root.Path(), "fox", nullptr));
    {  // Abort from the first hit's report: no second hit follows.
        kv::TFindFile finder;
        kv::SetUpArticleSearch(finder, kv::text::fromPath(root.Path()), "fox");
        finder.Index = indexed.index;
        finder.Catalogue = indexed.catalogue;
        int hits = 0;
        finder.OnFound = [&hits](kv::TFindFile* sender, const std::string&, const kv::TSearchRec&) {
            ++hits;
            sender->Abort();
        };
        finder.Execute();
        EXPECT_EQ(hits, 1);
        EXPECT_TRUE(finder.Aborted());
    }

    // Changed and removed during the run: verification and the file's stamp decide.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteBytes(root.Path() / "F4/index.htm", "now a quick brown fox");
    WriteBytes(root.Path() / "F1/index.htm", "no longer");
    fs::remove(root.Path() / "F2/page.htm");
    ExpectIndexedEqualsScan(root.Path(), indexed);

    // Added during the run: not listed until the next walk.
    WriteBytes(root.Path() / "F5/late.htm", "a late fox");
    const auto hits = SearchEvents(root.Path(), "fox", &indexed);
    EXPECT_EQ(std::count_if(hits.begin(), hits.end(),
                            [](const std::string& event) { return event.ends_with("late.htm"); }),
              0);
    indexed = WalkAndIndex(root.Path(), cache.Path());
    ExpectIndexedEqualsScan(root.Path(), indexed);
}

// An index that holds every walked article as it is, and nothing else, is checked at start-up,
// not written again; with an article more it is brought up to date.
TEST(ContentWalkCache, SearchIndexOfAnUnchangedFolderIsNotWrittenAgain) {
    kvtest::TempFolder root, cache;
    WriteEdgeCorpus(root.Path());
    const fs::path file = kv::cache::FileFor(cache.Path(), fs::canonical(root.Path()), "trigrams");
    const auto inode = [&file] {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const auto walk = [&] {
        kvtest::CurrentFolderGuard guard;
        auto index = std::make_unique<kv::TContentIndex>();
        index->UseCache(cache.Path(), {});
        index->Walk(kv::text::fromPath(root.Path()));
        return index;
    };
    auto walked = walk();
    // Articles written a moment ago are indexed only with no time to settle.
    kv::cache::TrigramIndexBuilder::Update(cache.Path(), walked->Root(), walked->Articles(), {});
    const auto written = inode();
    const auto checked = kv::UpdateSearchIndex(*walked, cache.Path());
    EXPECT_EQ(checked.kept, kEdgeArticles);
    EXPECT_EQ(checked.read, 0u);
    EXPECT_EQ(inode(), written);

    root.Write("Added/index.htm", "<a name=\"added\">");
    walked = walk();
    EXPECT_EQ(kv::UpdateSearchIndex(*walked, cache.Path()).read, 1u);
    EXPECT_NE(inode(), written);
}

TEST(ContentWalk, Utf8ArticlesGiveTheTopicsOfTheirWindows1251Twins) {
    // "α" is not in Windows-1251: it becomes "?" in both.
    const std::string utf8 = "<h1>Луна</h1>\r\n<a name=\"Фазы\"></a>\n<a name=\"Орбита α\">";
    const auto walkOf = [](const std::string& article) {
        kvtest::TempFolder root;
        root.Write("Луна/index.htm", article);
        return Walk(root);
    };
    const std::vector<std::string> original = walkOf(W(utf8));
    ASSERT_EQ(original.size(), 3u);
    EXPECT_EQ(original[2], W(" Орбита ?"));
    // UTF-16 in both byte orders, after their marks; "α" is a pair of bytes like the rest.
    const auto utf16 = [&utf8](bool little) {
        std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t unit : QString::fromUtf8(utf8).toStdU16String()) {
            const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
            bytes += little ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    };
    for (const std::string& twin : {utf8, "\xEF\xBB\xBF" + utf8, "<meta charset=\"utf-8\">" + utf8,
                                    utf16(true), utf16(false)})
        EXPECT_EQ(walkOf(twin), original) << twin;
}
