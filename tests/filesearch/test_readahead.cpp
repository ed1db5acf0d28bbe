// Entries examined ahead of their reports by reader threads: walk order kept, Abort at once,
// the queue bounded, files that change between the walk and their report.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "filesearch/findfile.h"
#include "tests/filesearch/searchtest.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using kvtest::SearchRecorder;

// Waits at most timeoutMs for the condition, polling it.
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

struct Setting {
    size_t steps;
    unsigned readers;
};
constexpr Setting kSettings[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {64, 0}, {64, 1}, {7, 3}};

class ReadAheadSearch : public ::testing::Test {
protected:
    // Folders of several depths; files with and without the phrase, some not *.htm.
    void MakeTree() {
        for (int a = 0; a < 12; ++a) {
            const std::string folder = "f" + std::to_string(a) + "/";
            for (int f = 0; f < 7; ++f) {
                const bool hit = (a + f) % 3 != 1;
                folder_.Write(folder + "p" + std::to_string(f) + ".htm", hit ? "a phrase" : "no");
            }
            folder_.Write(folder + "note.txt", "phrase");
            if (a % 4 == 0) folder_.Write(folder + "d/e/index.htm", "PHRASE");
            if (a % 5 == 0) folder_.MakeFolder(folder + "empty");
        }
    }
    void Configure(TFindFile& finder, Setting setting, bool threaded) {
        finder.SetFilename("*.htm");
        finder.SetLocation(kvtest::Location(folder_));
        finder.Containing = "phrase";
        finder.Threaded = threaded;
        finder.SetReadAhead(setting.steps, setting.readers);
    }
    // Runs a search to its end (threaded ones with an event loop).
    static void Run(TFindFile& finder, SearchRecorder& recorder) {
        finder.Execute();
        if (finder.Threaded) {
            ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
        }
        ASSERT_EQ(recorder.completions, 1);
    }
    std::string Root() const { return kvtest::Location(folder_); }

    kvtest::TempFolder folder_;
};

TEST_F(ReadAheadSearch, SameReportsInTheSameOrderWithAnyReadAhead) {
    MakeTree();
    SearchRecorder reference;
    TFindFile plain;
    Configure(plain, {0, 0}, false);
    reference.Attach(plain);
    Run(plain, reference);
    ASSERT_EQ(reference.hits.size(), 12u * 5 - 4 + 3);
    for (const bool threaded : {false, true}) {
        for (const Setting setting : kSettings) {
            for (const size_t block : {size_t{3}, ContentReader::kDefaultBlockSize}) {
                SearchRecorder recorder;
                TFindFile finder;
                Configure(finder, setting, threaded);
                finder.SetReadBlockSize(block);
                recorder.Attach(finder);
                Run(finder, recorder);
                const auto where = ::testing::Message() << threaded << " " << setting.steps << "/"
                                                        << setting.readers << " " << block;
                EXPECT_EQ(recorder.hits, reference.hits) << where;
                EXPECT_EQ(recorder.folders, reference.folders) << where;
                EXPECT_FALSE(recorder.offInterfaceThread) << where;
                // Every *.htm entry examined once.
                EXPECT_EQ(finder.EntriesExamined(), 12u * 7 + 3) << where;
            }
        }
    }
}

// A folder its report turns away is never searched, even when it was listed ahead.
TEST_F(ReadAheadSearch, TurnedAwayFolderAndItsSubfoldersStaySilent) {
    MakeTree();
    for (const Setting setting : kSettings) {
        SearchRecorder recorder;
        TFindFile finder;
        Configure(finder, setting, false);
        recorder.Attach(finder);
        auto folderEvent = finder.OnNewFolder;
        finder.OnNewFolder = [&](TFindFile* sender, const std::string& folder, bool& ignore) {
            folderEvent(sender, folder, ignore);
            ignore = folder.ends_with("/f4") || folder.ends_with("/f8/d");
        };
        Run(finder, recorder);
        for (const auto& hit : recorder.hits) {
            EXPECT_EQ(hit.find("/f4/"), std::string::npos) << hit;
            EXPECT_EQ(hit.find("/f8/d/"), std::string::npos) << hit;
        }
        for (const auto& folder : recorder.folders) {
            EXPECT_FALSE(folder.ends_with("/f4/d"));
            EXPECT_FALSE(folder.ends_with("/f8/d/e"));
        }
        EXPECT_EQ(recorder.hits.size(), 12u * 5 - 4 + 3 - 5 - 1) << setting.steps;
    }
}

// Abort from OnFound with the next entries examined, or being examined, by readers: nothing is
// reported after it, and the readers stop at once instead of reading on.
TEST_F(ReadAheadSearch, AbortWithReadAheadInFlightEndsTheReports) {
    for (int f = 0; f < 300; ++f) folder_.Write("a/p" + std::to_string(f) + ".htm", "phrase");
    for (const bool threaded : {false, true}) {
        for (const size_t stopAt : {size_t{1}, size_t{5}}) {
            SearchRecorder recorder;
            TFindFile finder;
            Configure(finder, {16, 2}, threaded);
            recorder.Attach(finder);
            auto record = finder.OnFound;
            bool aborted = false;
            finder.OnFound = [&](TFindFile* sender, const std::string& folder,
                                 const TSearchRec& entry) {
                EXPECT_FALSE(aborted) << "a report after Abort";
                record(sender, folder, entry);
                if (recorder.hits.size() < stopAt) return;
                // The readers have examined ahead up to the queue's bound.
                EXPECT_TRUE(WaitUntil([&] { return sender->EntriesExamined() >= stopAt + 8; }));
                sender->Abort();
                aborted = true;
            };
            Run(finder, recorder);
            kvtest::RunEventsFor(20);
            EXPECT_EQ(recorder.hits.size(), stopAt);
            EXPECT_EQ(recorder.completions, 1);
            EXPECT_TRUE(finder.Aborted());
            EXPECT_LE(finder.EntriesExamined(), stopAt + 16);
        }
    }
}

// Abort from outside, while the worker waits for its report to run and the readers work on.
TEST_F(ReadAheadSearch, AbortFromOutsideWhileReadersWorkAhead) {
    for (int f = 0; f < 200; ++f) folder_.Write("a/p" + std::to_string(f) + ".htm", "phrase");
    for (int round = 0; round < 10; ++round) {
        SearchRecorder recorder;
        TFindFile finder;
        Configure(finder, {8, 2}, true);
        recorder.Attach(finder);
        finder.Execute();
        if (round % 2 == 0) kvtest::RunEventsFor(round);
        finder.Abort();
        const size_t seen = recorder.hits.size();
        ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
        EXPECT_EQ(recorder.hits.size(), seen);  // nothing reported after Abort returned
    }
}

TEST_F(ReadAheadSearch, QueueBoundsTheReadAhead) {
    for (int f = 0; f < 40; ++f) folder_.Write("a/p" + std::to_string(f) + ".htm", "phrase");
    for (const size_t steps : {size_t{1}, size_t{4}, size_t{32}}) {
        SearchRecorder recorder;
        TFindFile finder;
        Configure(finder, {steps, 2}, false);
        recorder.Attach(finder);
        auto record = finder.OnFound;
        finder.OnFound = [&](TFindFile* sender, const std::string& folder,
                             const TSearchRec& entry) {
            record(sender, folder, entry);
            const size_t reported = recorder.hits.size();
            if (reported == 1 && steps > 1) {
                // The reporting thread is held here: only readers examine, up to the bound.
                EXPECT_TRUE(WaitUntil([&] { return sender->EntriesExamined() == steps; }))
                    << sender->EntriesExamined();
                kvtest::RunEventsFor(20);
            }
            EXPECT_LE(sender->EntriesExamined(), reported + steps - 1);
        };
        Run(finder, recorder);
        EXPECT_EQ(recorder.hits.size(), 40u);
    }
}

// One open folder per queued step at most, however deep the walk goes and however many
// folders it passes.
TEST_F(ReadAheadSearch, OpenFoldersStayBounded) {
    std::string deep = "b";
    for (int d = 0; d < 150; ++d) deep += "/d";
    folder_.Write(deep + "/index.htm", "phrase");
    for (int f = 0; f < 100; ++f) folder_.Write("c/" + std::to_string(f) + "/index.htm", "phrase");
    const size_t before = OpenDescriptors();
    for (const size_t steps : {size_t{1}, size_t{32}}) {
        SearchRecorder recorder;
        TFindFile finder;
        Configure(finder, {steps, 2}, false);
        recorder.Attach(finder);
        auto record = finder.OnFound;
        size_t mostOpen = 0;
        const auto measure = [&] { mostOpen = std::max(mostOpen, OpenDescriptors()); };
        finder.OnFound = [&](TFindFile* sender, const std::string& folder,
                             const TSearchRec& entry) {
            record(sender, folder, entry);
            measure();
        };
        auto folderEvent = finder.OnNewFolder;
        finder.OnNewFolder = [&](TFindFile* sender, const std::string& folder, bool& ignore) {
            folderEvent(sender, folder, ignore);
            measure();
        };
        Run(finder, recorder);
        EXPECT_EQ(recorder.hits.size(), 101u);
        EXPECT_LE(mostOpen, before + steps + 4) << steps;
    }
}

// Files that vanish after the walk listed them: never reported, whether a reader examined them
// before they went or they were gone when their turn came.
TEST_F(ReadAheadSearch, FilesVanishingBetweenTheWalkAndTheirReport) {
    for (const Setting setting : {Setting{64, 0}, Setting{64, 1}, Setting{64, 3}}) {
        kvtest::TempFolder folder;
        for (int f = 0; f < 10; ++f) folder.Write("a/p" + std::to_string(f) + ".htm", "phrase");
        folder.Write("a/sub/x.htm", "phrase");
        folder.Write("b/y.htm", "phrase");
        SearchRecorder recorder;
        TFindFile finder;
        finder.SetLocation(kvtest::Location(folder));
        finder.Containing = "phrase";
        finder.SetReadAhead(setting.steps, setting.readers);
        recorder.Attach(finder);
        auto record = finder.OnFound;
        finder.OnFound = [&](TFindFile* sender, const std::string& at, const TSearchRec& entry) {
            record(sender, at, entry);
            if (recorder.hits.size() != 1) return;
            if (setting.readers > 0) {
                // Every entry of the tree examined ahead before anything goes.
                EXPECT_TRUE(WaitUntil([&] { return sender->EntriesExamined() == 15; }));
            }
            for (int f = 0; f < 10; ++f) {
                const std::string name = "p" + std::to_string(f) + ".htm";
                if (f % 2 == 1 && name != entry.Name) fs::remove(folder.Path() / "a" / name);
            }
            fs::remove_all(folder.Path() / "a" / "sub");
        };
        finder.Execute();
        ASSERT_EQ(recorder.completions, 1);
        const std::string root = kvtest::Location(folder);
        size_t inA = 0;
        for (const auto& hit : recorder.hits) {
            if (hit.starts_with(root + "/a/p")) ++inA;
            EXPECT_EQ(hit.find("/sub"), std::string::npos) << hit;
        }
        EXPECT_EQ(inA, recorder.hits.front().ends_with("1.htm") ||
                               recorder.hits.front().ends_with("3.htm") ||
                               recorder.hits.front().ends_with("5.htm") ||
                               recorder.hits.front().ends_with("7.htm") ||
                               recorder.hits.front().ends_with("9.htm")
                           ? 6u
                           : 5u)
            << setting.readers;
        EXPECT_EQ(std::count(recorder.hits.begin(), recorder.hits.end(), root + "/b/y.htm"), 1);
    }
}

// Entries nobody can read, pipes and sockets in the middle hold nothing up.
TEST_F(ReadAheadSearch, UnreadableEntriesAmongTheReadAheadAreSkipped) {
    for (int f = 0; f < 20; ++f) folder_.Write("a/p" + std::to_string(f) + ".htm", "phrase");
    ASSERT_EQ(mkfifo((folder_.Path() / "a" / "pipe.htm").c_str(), 0600), 0);
    const auto locked = folder_.Write("a/locked.htm", "phrase");
    fs::permissions(locked, fs::perms::none);
    fs::create_symlink(folder_.Path() / "a" / "missing", folder_.Path() / "a" / "dangling.htm");
    const size_t expected = geteuid() == 0 ? 21 : 20;  // root reads every file
    for (const bool threaded : {false, true}) {
        SearchRecorder recorder;
        TFindFile finder;
        Configure(finder, {8, 2}, threaded);
        recorder.Attach(finder);
        Run(finder, recorder);
        EXPECT_EQ(recorder.hits.size(), expected) << threaded;
    }
}

}  // namespace
}  // namespace kv
