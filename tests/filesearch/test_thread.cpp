// TFindFile on its worker thread: reports on the interface thread, Abort, destruction while
// the worker runs, and the same hits as on the calling thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "filesearch/articlesearch.h"
#include "filesearch/findfile.h"
#include "tests/filesearch/searchtest.h"

namespace kv {
namespace {

using kvtest::SearchRecorder;

class ThreadedSearch : public ::testing::Test {
protected:
    void SetUp() override {
        for (int a = 0; a < 30; ++a) {
            const std::string folder = "art" + std::to_string(a) + "/";
            folder_.Write(folder + "index.htm", a % 3 == 0 ? "the Phrase here" : "nothing");
            folder_.Write(folder + "notes.txt", "phrase");
            if (a % 10 == 0) folder_.Write(folder + "deeper/index.htm", "PHRASE");
        }
    }
    void Configure(TFindFile& finder, bool threaded) {
        finder.SetFilename("*.htm");
        finder.SetLocation(kvtest::Location(folder_));
        finder.Containing = "phrase";
        finder.Threaded = threaded;
    }
    kvtest::TempFolder folder_;
};

TEST_F(ThreadedSearch, SameHitsAndFoldersAsOnTheCallingThreadAllReportedOnTheInterfaceThread) {
    SearchRecorder inPlace, threaded;
    TFindFile first, second;
    Configure(first, false);
    inPlace.Attach(first);
    first.Execute();
    ASSERT_EQ(inPlace.completions, 1);
    EXPECT_EQ(inPlace.hits.size(), 13u);

    Configure(second, true);
    threaded.Attach(second);
    second.Execute();
    EXPECT_TRUE(second.Busy());
    ASSERT_TRUE(kvtest::WaitForCompletion(threaded));
    EXPECT_EQ(threaded.hits, inPlace.hits);
    EXPECT_EQ(threaded.folders, inPlace.folders);
    EXPECT_FALSE(threaded.offInterfaceThread);
    EXPECT_FALSE(second.Busy());
    kvtest::RunEventsFor(50);
    EXPECT_EQ(threaded.completions, 1);
}

TEST_F(ThreadedSearch, IgnoredFolderAnswerReachesTheWorker) {
    SearchRecorder recorder;
    TFindFile finder;
    Configure(finder, true);
    recorder.Attach(finder);
    finder.OnNewFolder = [](TFindFile*, const std::string& folder, bool& ignore) {
        ignore = folder.find("/art0") != std::string::npos;
    };
    finder.Execute();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    EXPECT_EQ(recorder.hits.size(), 11u);  // art0 and art0/deeper skipped
}

TEST_F(ThreadedSearch, AbortFromOnFoundThenOnCompleteOnce) {
    SearchRecorder recorder;
    TFindFile finder;
    Configure(finder, true);
    recorder.Attach(finder);
    auto record = finder.OnFound;
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        record(sender, folder, entry);
        sender->SetThreadPriority(tpLower);  // applied to the running worker
        sender->Abort();
    };
    finder.Execute();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    kvtest::RunEventsFor(50);
    EXPECT_EQ(recorder.hits.size(), 1u);
    EXPECT_EQ(recorder.completions, 1);
    EXPECT_TRUE(finder.Aborted());
    EXPECT_FALSE(recorder.offInterfaceThread);
}

TEST_F(ThreadedSearch, AbortFromOutsideAndExecuteWhileBusy) {
    SearchRecorder recorder;
    TFindFile finder;
    Configure(finder, true);
    recorder.Attach(finder);
    finder.Execute();
    finder.Execute();  // busy: ignored
    finder.Abort();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    kvtest::RunEventsFor(50);
    EXPECT_EQ(recorder.completions, 1);
    EXPECT_TRUE(recorder.hits.empty());

    // The component searches again after an aborted worker.
    recorder = {};
    recorder.Attach(finder);
    finder.Execute();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    EXPECT_EQ(recorder.hits.size(), 13u);
}

TEST_F(ThreadedSearch, FailingHandlerAbortsQuietly) {
    SearchRecorder recorder;
    TFindFile finder;
    Configure(finder, true);
    recorder.Attach(finder);
    finder.OnFound = [](TFindFile*, const std::string&, const TSearchRec&) {
        throw std::runtime_error("handler failed");
    };
    finder.Execute();
    ASSERT_TRUE(kvtest::WaitForCompletion(recorder));
    EXPECT_TRUE(finder.Aborted());
    EXPECT_EQ(recorder.completions, 1);
}

TEST_F(ThreadedSearch, DestroyedRightAfterExecuteWithoutAnEventLoop) {
    SearchRecorder recorder;
    {
        TFindFile finder;
        Configure(finder, true);
        recorder.Attach(finder);
        finder.Execute();
        // The worker now waits for its first report to run on this thread.
    }
    kvtest::RunEventsFor(50);  // whatever was queued is gone with the component
    EXPECT_EQ(recorder.completions, 0);
    EXPECT_TRUE(recorder.hits.empty());
}

TEST_F(ThreadedSearch, DestroyedInTheMiddleOfTheSearch) {
    for (int round = 0; round < 20; ++round) {
        SearchRecorder recorder;
        QObject round_scope;  // drops a pending destruction when the round ends
        auto finder = std::make_unique<TFindFile>();
        Configure(*finder, true);
        recorder.Attach(*finder);
        auto record = finder->OnFound;
        bool destroyed = false;
        finder->OnFound = [&](TFindFile* sender, const std::string& folder,
                              const TSearchRec& entry) {
            record(sender, folder, entry);
            // Destroyed from the event loop, while the worker is running or waiting.
            if (recorder.hits.size() == 1 + static_cast<size_t>(round % 5)) {
                QTimer::singleShot(round % 3, &round_scope, [&] {
                    finder.reset();
                    destroyed = true;
                });
            }
        };
        finder->Execute();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (destroyed || recorder.completions > 0) loop.quit();
        });
        poll.start(1);
        loop.exec();
        const size_t seen = recorder.hits.size();
        kvtest::RunEventsFor(20);
        EXPECT_EQ(recorder.hits.size(), seen);  // nothing after the destruction
        EXPECT_LE(recorder.completions, 1);
    }
}

TEST_F(ThreadedSearch, DestroyedByItsOwnOnCompleteHandler) {
    for (const bool threaded : {false, true}) {
        auto* finder = new TFindFile;
        Configure(*finder, threaded);
        SearchRecorder recorder;
        recorder.Attach(*finder);
        auto record = finder->OnComplete;
        finder->OnComplete = [record](TFindFile* sender) {
            record(sender);
            delete sender;
        };
        finder->Execute();
        EXPECT_TRUE(kvtest::WaitForCompletion(recorder));
        kvtest::RunEventsFor(20);
        EXPECT_EQ(recorder.completions, 1);
        EXPECT_EQ(recorder.hits.size(), 13u);
    }
}

// The search `kvtool search` runs: "*.htm" below the folder, a-z without case, full paths.
TEST(ArticleSearch, SameFullPathsThreadedAndNot) {
    kvtest::TempFolder folder;
    folder.Write("Статья 1/index.htm", kvtest::W("Кварнеля и ЛЕС"));
    folder.Write("Статья 2/index.htm", kvtest::W("кварнеля и лес"));
    folder.Write("Статья 2/index.html", kvtest::W("кварнеля и лес"));
    folder.Write("Статья 3/index.htm", kvtest::W("ничего"));
    const std::string root = kvtest::Location(folder);
    for (const bool threaded : {false, true}) {
        for (const bool foldCyrillic : {false, true}) {
            std::vector<std::string> hits;
            ArticleSearch search{root, "кварнеля и лес", threaded, foldCyrillic};
            RunArticleSearch(search, [&hits](const std::string& path) { hits.push_back(path); });
            std::sort(hits.begin(), hits.end());
            std::vector<std::string> expected{root + "/Статья 2/index.htm"};
            if (foldCyrillic) expected.insert(expected.begin(), root + "/Статья 1/index.htm");
            EXPECT_EQ(hits, expected) << threaded << foldCyrillic;
        }
    }
}

}  // namespace
}  // namespace kv
