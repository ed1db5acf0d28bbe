#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cache/cachefile.h"
#include "cache/trigramindex.h"
#include "filesearch/articlesearch.h"
#include "filesearch/catalogue.h"
#include "tests/filesearch/searchtest.h"

namespace fs = std::filesystem;
using kvtest::W;

namespace {

void Put(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// The articles as the walk hands them over: every index.htm, with its stamp.
std::vector<kv::cache::IndexSource> Articles(const fs::path& root) {
    std::vector<kv::cache::IndexSource> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename() != "index.htm") continue;
        struct stat st {};
        ::stat(entry.path().c_str(), &st);
        files.push_back({fs::relative(entry.path(), root).native(), kv::cache::StampOf(st)});
    }
    return files;
}

kv::cache::IndexUpdate BuildIndex(const fs::path& root, const fs::path& cache) {
    return kv::cache::TrigramIndexBuilder::Update(cache, fs::canonical(root), Articles(root),
                                                  std::chrono::nanoseconds(0));
}

std::vector<std::string> Search(const fs::path& root, const std::string& phrase, bool foldCyrillic,
                                std::shared_ptr<const kv::cache::TrigramIndex> index) {
    kv::TFindFile finder;
    kv::SetUpArticleSearch(finder, kv::text::fromPath(root), phrase, foldCyrillic);
    finder.Index = std::move(index);
    kvtest::SearchRecorder recorder;
    recorder.Attach(finder);
    finder.Execute();
    return recorder.hits;
}

std::shared_ptr<const kv::cache::TrigramIndex> LoadIndex(const fs::path& root,
                                                         const fs::path& cache) {
    auto index = std::make_shared<kv::cache::TrigramIndex>();
    EXPECT_TRUE(index->Load(cache, fs::canonical(root)));
    return index;
}

// Articles with the phrases in several cases, at a read block's edge, in files the walk does
// not hand over (they are always read), and below nested folders.
void WriteCorpus(const fs::path& root) {
    Put(root / "Latin/index.htm", "<p>Quick Brown Fox</p>");
    Put(root / "Lower/index.htm", "the quick brown fox jumps");
    Put(root / "Russian/index.htm", W("<p>Москва — СТОЛИЦА</p>"));
    Put(root / "Russian/Deeper/index.htm", W("ёлка и ЁЛКА, столица"));
    Put(root / "Edge/index.htm", std::string(65534, 'x') + "needle");
    Put(root / "Other/page.htm", "a quick fox in a page the walk does not list");
    Put(root / "Other/index.htm", "nothing here");
    Put(root / "Empty/index.htm", "");
}

const char* kPhrases[] = {"q",    "qu",     "fox",    "QUICK BROWN",    "brown fox jumps",
                          "xxxn", "needle", "Москва", "москва",         "СТОЛИЦА",
                          "ёлка", "Ёлка",   "нет",    "nowhere at all", "x"};

void ExpectIndexedEqualsScan(const fs::path& root,
                             const std::shared_ptr<const kv::cache::TrigramIndex>& index) {
    for (const char* utf8 : kPhrases) {
        for (const bool foldCyrillic : {true, false}) {
            const std::string phrase = std::string(utf8);
            EXPECT_EQ(Search(root, phrase, foldCyrillic, index),
                      Search(root, phrase, foldCyrillic, nullptr))
                << utf8 << (foldCyrillic ? " folded" : " exact");
        }
    }
}

}  // namespace

TEST(SearchIndex, IndexedSearchFindsWhatTheScanFindsBeforeAndAfterChanges) {
    kvtest::TempFolder root, cache;
    WriteCorpus(root.Path());
    EXPECT_EQ(BuildIndex(root.Path(), cache.Path()).read, 7u);
    auto index = LoadIndex(root.Path(), cache.Path());
    ASSERT_EQ(index->DocumentCount(), 7u);
    // The index rules out; it cannot tell for phrases of 1 and 2 bytes.
    EXPECT_FALSE(index->Candidates("qu"));
    const auto none = index->Candidates("nowhere at all");
    ASSERT_TRUE(none);
    EXPECT_EQ(std::count(none->begin(), none->end(), true), 0);
    const auto fox = index->Candidates("FOX");
    ASSERT_TRUE(fox);
    EXPECT_EQ(std::count(fox->begin(), fox->end(), true), 2);
    ExpectIndexedEqualsScan(root.Path(), index);

    // Changed while the index is loaded: a file that newly holds a phrase is read, not missed.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Put(root.Path() / "Other/index.htm", "now a quick brown fox too");
    Put(root.Path() / "Added/index.htm", W("МОСКВА"));
    fs::remove_all(root.Path() / "Lower");
    ExpectIndexedEqualsScan(root.Path(), index);

    // Brought up to date: only the changed and added articles are read.
    const auto update = BuildIndex(root.Path(), cache.Path());
    EXPECT_EQ(update.kept, 5u);
    EXPECT_EQ(update.read, 2u);
    index = LoadIndex(root.Path(), cache.Path());
    EXPECT_EQ(index->DocumentCount(), 7u);
    ExpectIndexedEqualsScan(root.Path(), index);
}

TEST(SearchIndex, DamagedOrForeignIndexIsNotUsed) {
    kvtest::TempFolder root, other, cache;
    WriteCorpus(root.Path());
    BuildIndex(root.Path(), cache.Path());
    const fs::path file = kv::cache::FileFor(cache.Path(), fs::canonical(root.Path()), "trigrams");
    const std::string good = kvtest::ReadFile(file);
    kv::cache::TrigramIndex index;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 1;
    for (const auto& bytes : {std::string(), good.substr(0, good.size() - 1), flipped}) {
        Put(file, bytes);
        EXPECT_FALSE(index.Load(cache.Path(), fs::canonical(root.Path()))) << bytes.size();
    }
    Put(kv::cache::FileFor(cache.Path(), fs::canonical(other.Path()), "trigrams"), good);
    EXPECT_FALSE(index.Load(cache.Path(), fs::canonical(other.Path())));
}

TEST(SearchIndex, AbortDuringAnIndexedSearchStopsAfterTheCurrentHit) {
    kvtest::TempFolder root, cache;
    for (int i = 0; i < 50; ++i)
        Put(root.Path() / ("A" + std::to_string(i)) / "index.htm", i % 2 ? "phrase here" : "other");
    BuildIndex(root.Path(), cache.Path());
    kv::TFindFile finder;
    kv::SetUpArticleSearch(finder, kv::text::fromPath(root.Path()), "PHRASE");
    finder.Index = LoadIndex(root.Path(), cache.Path());
    kvtest::SearchRecorder recorder;
    recorder.Attach(finder);
    const auto found = finder.OnFound;
    finder.OnFound = [&](kv::TFindFile* sender, const std::string& folder,
                         const kv::TSearchRec& entry) {
        found(sender, folder, entry);
        sender->Abort();
    };
    finder.Execute();
    EXPECT_EQ(recorder.hits.size(), 1u);
    EXPECT_EQ(recorder.completions, 1);
}

TEST(SearchIndex, PhraseIsFoundInEitherEncodingByScanAndByIndex) {
    kvtest::TempFolder root, cache;
    // А and Я, П and Р (where the UTF-8 lead changes) and Ё, in both cases.
    // Greek has no Windows-1251 bytes: that twin holds "???" in its place.
    const std::string text = "<p>Ёжик, Алый Пёс и Рыба-Ящер: Quick αβγ</p>";
    Put(root.Path() / "Cp1251/index.htm", W(text.c_str()));
    Put(root.Path() / "Utf8/index.htm", text);
    // Longer in UTF-8 than in Windows-1251: runs across the end of the first read block.
    Put(root.Path() / "Edge/index.htm", std::string(65521, 'x') + "ПЁС И РЫБА");
    BuildIndex(root.Path(), cache.Path());
    const auto index = LoadIndex(root.Path(), cache.Path());
    const struct {
        const char* phrase;
        bool foldCyrillic;
        size_t hits;
    } cases[] = {{"ёЖИК, аЛЫЙ пЁС И рЫБА-яЩЕР", true, 2},
                 {"пёс и рыба", true, 3},
                 {"Пёс и Рыба", false, 2},
                 {"пёс и рыба", false, 0},
                 {"ящерица", true, 0},
                 {"qUICK", true, 2},
                 {"αβγ", true, 1},
                 {"ящер: quick αβγ", true, 1},
                 {"quick ???", true, 1}};
    for (const auto& c : cases) {
        for (const auto& used : {index, std::shared_ptr<const kv::cache::TrigramIndex>()}) {
            EXPECT_EQ(Search(root.Path(), std::string(c.phrase), c.foldCyrillic, used).size(),
                      c.hits)
                << c.phrase << (used ? " indexed" : " scanned");
        }
    }
}

namespace {

// The walk names its files from the folder as it was given: "." after changing to it, or its
// full path; `spelling` stands before each path relative to the root.
std::vector<std::string> SearchWithCatalogue(const std::string& spelling) {
    kvtest::TempFolder root, cache;
    Put(root.Path() / "page.htm", "needle, in a file the index does not hold");
    const char* const before[] = {"nothing", "needle", "needle", "nothing"};
    const char* const folders[] = {"A", "B", "C", "D"};
    for (int i = 0; i < 4; ++i) Put(root.Path() / folders[i] / "index.htm", before[i]);
    BuildIndex(root.Path(), cache.Path());
    const auto index = LoadIndex(root.Path(), cache.Path());
    auto walked = Articles(root.Path());
    const std::string real = fs::canonical(root.Path()).native();
    for (auto& file : walked) file.path = (spelling == "/" ? real + "/" : spelling) + file.path;
    kv::SearchCatalogueBuilder builder(real, "*.htm");
    builder.AddFile("page.htm");
    for (const char* folder : folders) {
        builder.Enter(folder, true);
        builder.AddFile("index.htm");
        builder.Leave();
    }
    const auto catalogue = std::make_shared<const kv::SearchCatalogue>(builder.Finish());
    // Changed during the run: the first and the last article, ruled out, now hold the phrase
    // (not read until the next walk); a candidate no longer does (read as it is).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Put(root.Path() / "A/index.htm", "a needle now");
    Put(root.Path() / "B/index.htm", "gone");
    Put(root.Path() / "D/index.htm", "a needle now");
    kv::TFindFile finder;
    kv::SetUpArticleSearch(finder, kv::text::fromPath(root.Path()), "NEEDLE");
    finder.Index = index;
    finder.Catalogue = catalogue;
    finder.Documents = std::make_shared<const std::vector<std::int32_t>>(
        kv::CatalogueDocuments(*catalogue, walked, *index));
    kvtest::SearchRecorder recorder;
    recorder.Attach(finder);
    finder.Execute();
    return recorder.hits;
}

}  // namespace

TEST(SearchIndex, CatalogueSearchJudgesFilesTheIndexRulesOutAsTheWalkSawThem) {
    // Relative, below ".", and below the full path ("/" stands for it).
    for (const std::string spelling : {"", "./", "/"}) {
        const auto hits = SearchWithCatalogue(spelling);
        ASSERT_EQ(hits.size(), 2u) << spelling;
        EXPECT_TRUE(hits[0].ends_with("/page.htm"));
        EXPECT_TRUE(hits[1].ends_with("C/index.htm"));
    }
}
