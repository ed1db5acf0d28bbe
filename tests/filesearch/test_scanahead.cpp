// Folders scanned ahead of the walk on helper threads: the same reports in the same order as
// a search without helpers, reports on the walk's thread, a bounded lead, the priority.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "cache/trigramindex.h"
#include "filesearch/cataloguesearch.h"
#include "filesearch/findfile.h"
#include "filesearch/scanpool.h"
#include "filesearch/walker.h"
#include "tests/filesearch/searchtest.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// A random tree: nested folders (some to be ignored, some dot folders) holding files with
// and without the phrase, and files the mask leaves out.
void MakeTree(const kvtest::TempFolder& root, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> folders = {"a/", "b/"};
    for (size_t i = 0; i < folders.size() && folders.size() < 120; ++i) {
        const int children = static_cast<int>(random() % 4) + (i < 12 ? 2 : 0);
        for (int c = 0; c < children && folders[i].size() < 40; ++c) {
            const char* kinds[] = {"f", "skip", ".dot", "g"};
            folders.push_back(folders[i] + kinds[random() % 4] + std::to_string(c) + "/");
        }
    }
    for (const auto& folder : folders) {
        root.MakeFolder(folder);
        const int files = static_cast<int>(random() % 5);
        for (int f = 0; f < files; ++f) {
            const std::string name = "n" + std::to_string(f) + (f == 3 ? ".txt" : ".htm");
            root.Write(folder + name, random() % 3 == 0 ? "no" : "with the Phrase");
        }
    }
}

struct Events {
    std::vector<std::string> lines;  // "D folder" and "F folder/name", in report order
    bool offCallingThread = false;
};

Events Search(const std::string& root, unsigned helpers, size_t abortAfterHits) {
    Events events;
    const auto caller = std::this_thread::get_id();
    size_t hits = 0;
    TFindFile finder;
    finder.SetFilename("*.htm");
    finder.SetLocation(root + "/a;" + root + "/b");
    finder.Containing = "phrase";
    finder.SetScanThreads(helpers);
    finder.SetReadBlockSize(7);
    finder.OnNewFolder = [&](TFindFile*, const std::string& folder, bool& ignore) {
        events.offCallingThread |= std::this_thread::get_id() != caller;
        events.lines.push_back("D " + folder);
        ignore = folder.find("/skip") != std::string::npos;
    };
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        events.offCallingThread |= std::this_thread::get_id() != caller;
        events.lines.push_back("F " + folder + "/" + entry.Name);
        if (++hits == abortAfterHits) sender->Abort();
    };
    finder.Execute();
    return events;
}

TEST(ScanAhead, SameReportsInTheSameOrderWithAnyNumberOfHelpers) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        kvtest::TempFolder folder;
        MakeTree(folder, seed);
        const std::string root = kvtest::Location(folder);
        const Events alone = Search(root, 0, 0);
        ASSERT_GT(alone.lines.size(), 20u) << seed;
        for (const unsigned helpers : {1u, 3u, 7u}) {
            const Events helped = Search(root, helpers, 0);
            EXPECT_EQ(helped.lines, alone.lines) << seed << " " << helpers;
            EXPECT_FALSE(helped.offCallingThread);
            // An abort from a report ends both at the same report.
            const Events aborted = Search(root, helpers, 5);
            EXPECT_EQ(aborted.lines, Search(root, 0, 5).lines) << seed << " " << helpers;
        }
    }
}

// Reports to a test: holds the walk in the second folder for a while and counts the stop
// checks the helpers made until then (a scan checks once and once per entry).
class HoldingHost : public SearchHost {
public:
    bool NewFolder(const std::string&) override {
        walk_ = std::this_thread::get_id();
        if (++folders_ == 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            checksWhileHeld = helperChecks_;
        }
        return true;
    }
    void Found(const std::string&, const TSearchRec&) override { ++found; }
    bool Stopped() const override {
        if (std::this_thread::get_id() != walk_.load()) ++helperChecks_;
        return false;
    }
    int found = 0;
    int checksWhileHeld = 0;

private:
    std::atomic<std::thread::id> walk_{};
    int folders_ = 0;
    mutable std::atomic<int> helperChecks_{0};
};

TEST(ScanAhead, HelpersRunAheadButNoFurtherThanTheirLimit) {
    kvtest::TempFolder folder;
    for (int i = 0; i < 400; ++i) folder.Write("f" + std::to_string(i) + "/index.htm", "phrase");
    SearchWork work;
    work.attributeMask = faArchive | faReadOnly;
    work.targets = {kvtest::Location(folder) + "/*.htm"};
    work.phrase = std::make_unique<PhraseMatcher>("phrase", true, false);
    work.scanThreads = 2;
    HoldingHost host;
    RunSearch(work, host);
    EXPECT_EQ(host.found, 400);
    // A folder below checks twice (one entry); the top folder, if a helper took it, 401 times.
    EXPECT_GE(host.checksWhileHeld, 2 * 10);
    EXPECT_LE(host.checksWhileHeld, static_cast<int>(401 + 2 * (ScanPool::kMaxAhead + 2)));
}

// The search's index of every "*.htm" file below root and the catalogue of its folders, as a
// start-up walk would leave them.
struct Indexed {
    std::shared_ptr<const cache::TrigramIndex> index;
    std::shared_ptr<const SearchCatalogue> catalogue;
    std::shared_ptr<const std::vector<std::int32_t>> documents;  // of the catalogue's files
};

void CatalogueFolder(const fs::path& folder, SearchCatalogueBuilder& builder,
                     std::vector<cache::IndexSource>& files, const fs::path& root) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().native();
        if (name[0] == '.') continue;
        if (entry.is_directory()) {
            builder.Enter(name, true);
            CatalogueFolder(entry.path(), builder, files, root);
            builder.Leave();
            continue;
        }
        builder.AddFile(name);
        struct stat st {};
        ::stat(entry.path().c_str(), &st);
        files.push_back({fs::relative(entry.path(), root).native(), cache::StampOf(st)});
    }
}

Indexed IndexTree(const fs::path& folder, const fs::path& cache) {
    const std::string root = fs::canonical(folder).native();
    SearchCatalogueBuilder builder(root, "*.htm");
    std::vector<cache::IndexSource> files;
    CatalogueFolder(root, builder, files, root);
    cache::TrigramIndexBuilder::Update(cache, root, files, {});
    auto index = std::make_shared<cache::TrigramIndex>();
    EXPECT_TRUE(index->Load(cache, root));
    auto catalogue = std::make_shared<const SearchCatalogue>(builder.Finish());
    auto documents = std::make_shared<const std::vector<std::int32_t>>(
        CatalogueDocuments(*catalogue, files, *index));
    return {std::move(index), std::move(catalogue), std::move(documents)};
}

std::vector<std::string> CatalogueSearch(const std::string& root, const Indexed* indexed,
                                         unsigned helpers, size_t abortAfterHits,
                                         bool withDocuments = false) {
    std::vector<std::string> lines;
    size_t hits = 0;
    TFindFile finder;
    finder.SetFilename("*.htm");
    finder.SetLocation(root);
    finder.Containing = "phrase";
    finder.SetScanThreads(helpers);
    if (indexed) {
        finder.Index = indexed->index;
        finder.Catalogue = indexed->catalogue;
        if (withDocuments) finder.Documents = indexed->documents;
    }
    finder.OnNewFolder = [&](TFindFile*, const std::string& folder, bool& ignore) {
        lines.push_back("D " + folder);
        ignore = folder.find("/skip") != std::string::npos;
    };
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        lines.push_back("F " + folder + "/" + entry.Name);
        if (++hits == abortAfterHits) sender->Abort();
    };
    finder.Execute();
    return lines;
}

// With the index, files are tested ahead on helper threads; the reports are those of the scan.
TEST(ScanAhead, IndexedSearchTestsAheadAndReportsAsTheScanDoes) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        kvtest::TempFolder folder, cache;
        MakeTree(folder, seed);
        const std::string root = kvtest::Location(folder) + "/a";
        const Indexed indexed = IndexTree(folder.Path() / "a", cache.Path());
        const auto scan = CatalogueSearch(root, nullptr, 0, 0);
        const auto hits = static_cast<size_t>(std::count_if(
            scan.begin(), scan.end(), [](const std::string& line) { return line[0] == 'F'; }));
        ASSERT_GT(hits, 5u) << seed;
        for (const unsigned helpers : {0u, 1u, 3u}) {
            EXPECT_EQ(CatalogueSearch(root, &indexed, helpers, 0), scan) << seed << helpers;
            // An abort from a report ends at that report, the first and the last one.
            for (const size_t last : {size_t{1}, hits})
                EXPECT_EQ(CatalogueSearch(root, &indexed, helpers, last),
                          CatalogueSearch(root, nullptr, 0, last))
                    << seed << helpers;
        }
    }

    kvtest::TempFolder folder, cache;
    const int files = 2 * kCatalogueAhead;
    for (int i = 0; i < files; ++i) folder.Write("f" + std::to_string(i) + "/index.htm", "phrase");
    const Indexed indexed = IndexTree(folder.Path(), cache.Path());
    SearchWork work;
    work.attributeMask = faArchive | faReadOnly;
    work.targets = {kvtest::Location(folder) + "/*.htm"};
    work.phrase = std::make_unique<PhraseMatcher>("phrase", true, false);
    work.index = indexed.index;
    work.candidates = *indexed.index->Candidates("phrase");
    work.catalogue = indexed.catalogue;
    work.scanThreads = 2;
    HoldingHost host;
    RunSearch(work, host);
    EXPECT_EQ(host.found, files);
    // While the walk waits in the second folder, the helpers test the files after it, one
    // check each, but no more than their lead (and the walk's first check, made before the
    // host knows its thread).
    EXPECT_GE(host.checksWhileHeld, 20);
    EXPECT_LE(host.checksWhileHeld, static_cast<int>(kCatalogueAhead) + 1);
}

// Each folder holding a "*.htm" file with the phrase, and every folder above it up to root.
std::set<std::string> FoldersLeadingToThePhrase(const fs::path& root) {
    std::set<std::string> folders;
    for (auto entry = fs::recursive_directory_iterator(root); entry != fs::end(entry); ++entry) {
        const fs::path& path = entry->path();
        if (path.filename().native()[0] == '.') {
            entry.disable_recursion_pending();
            continue;
        }
        if (path.extension() != ".htm" ||
            kvtest::ReadFile(path).find("Phrase") == std::string::npos)
            continue;
        for (fs::path up = path.parent_path(); folders.insert(text::fromPath(up)).second;
             up = up.parent_path()) {
            if (up == root) break;
        }
    }
    return folders;
}

// With each file's document known, a folder whose subtree the index rules out entirely is not
// entered (nor reported): the other reports are the scan's, in its order, up to an abort.
TEST(ScanAhead, IndexedSearchEntersOnlyTheFoldersLeadingToCandidates) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        kvtest::TempFolder folder, cache;
        MakeTree(folder, seed);
        for (int i = 0; i < 60; ++i) {
            folder.MakeFolder("a/empty" + std::to_string(i) + (i % 2 ? "/deeper/still" : ""));
            if (i % 3 == 0) folder.Write("a/empty" + std::to_string(i) + "/index.htm", "no");
        }
        const fs::path top = folder.Path() / "a";
        const std::string root = kvtest::Location(folder) + "/a";
        const Indexed indexed = IndexTree(top, cache.Path());
        const auto leading = FoldersLeadingToThePhrase(top);
        const auto scan = [&](size_t abortAfterHits) {
            auto lines = CatalogueSearch(root, nullptr, 0, abortAfterHits);
            std::erase_if(lines, [&](const std::string& line) {
                return line[0] == 'D' && !leading.contains(line.substr(2));
            });
            return lines;
        };
        const auto all = scan(0);
        const auto hits = static_cast<size_t>(std::count_if(
            all.begin(), all.end(), [](const std::string& line) { return line[0] == 'F'; }));
        ASSERT_GT(hits, 5u) << seed;
        for (const unsigned helpers : {0u, 1u, 3u}) {
            for (const size_t last : {size_t{0}, size_t{1}, hits})
                EXPECT_EQ(CatalogueSearch(root, &indexed, helpers, last, true), scan(last))
                    << seed << " " << helpers << " " << last;
        }
    }
}

// Nice values of this process's threads.
std::vector<int> ThreadNiceValues() {
    std::vector<int> values;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(in)), {});
        const size_t end = stat.rfind(')');
        if (end == std::string::npos) continue;
        std::istringstream fields(stat.substr(end + 2));
        std::string field;
        for (int i = 0; i < 17 && fields >> field; ++i) {
        }
        values.push_back(std::stoi(field));  // the 19th field
    }
    return values;
}

TEST(ScanAhead, HelpersFollowThePriorityOfTheWorker) {
    kvtest::TempFolder folder;
    for (int i = 0; i < 300; ++i) folder.Write("f" + std::to_string(i) + "/index.htm", "phrase");
    kvtest::SearchRecorder recorder;
    TFindFile finder;
    finder.SetLocation(kvtest::Location(folder));
    finder.Containing = "phrase";
    finder.Threaded = true;
    finder.SetScanThreads(2);
    recorder.Attach(finder);
    auto record = finder.OnFound;
    // tpLower is nice 5 whatever the caller's own nice value.
    constexpr int kLowerNice = 5;
    const int start = getpriority(PRIO_PROCESS, 0);
    int lowered = 0;
    finder.OnFound = [&](TFindFile* sender, const std::string& at, const TSearchRec& entry) {
        record(sender, at, entry);
        if (recorder.hits.size() == 1) sender->SetThreadPriority(tpLower);
        if (recorder.hits.size() == 250) {
            const auto values = ThreadNiceValues();
            lowered = static_cast<int>(std::count(values.begin(), values.end(), kLowerNice));
        }
    };
    finder.Execute();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    // At nice 5 already nothing changes; above it, going back to 5 needs privilege.
    if (start == kLowerNice || (start > kLowerNice && geteuid() != 0))
        GTEST_SKIP() << "started at nice " << start;
    EXPECT_GE(lowered, 2);  // the worker and a helper at least
}

}  // namespace
}  // namespace kv
