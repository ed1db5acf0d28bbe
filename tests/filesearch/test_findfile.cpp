// TFindFile on the calling thread: properties, the walk, the filter and the events.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "filesearch/findfile.h"
#include "platform/paths.h"
#include "tests/filesearch/searchtest.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using kvtest::W;

std::vector<std::string> Sorted(std::vector<std::string> list) {
    std::sort(list.begin(), list.end());
    return list;
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EFindFileError& error) {
        return error.what();
    }
    return "(none)";
}

TEST(FindFileProperties, Defaults) {
    TFindFile finder;
    EXPECT_EQ(finder.Filename(), "*.*");
    EXPECT_EQ(finder.Location(), "");
    EXPECT_TRUE(finder.Subfolders);
    EXPECT_EQ(finder.Attributes, (TFileAttributes{ffArchive, ffReadonly, ffHidden, ffSystem}));
    EXPECT_EQ(finder.Attributes.Mask(), 39u);
    EXPECT_FALSE(finder.ExactAttribute);
    EXPECT_TRUE(finder.IgnoreCase);
    EXPECT_FALSE(finder.FoldCyrillic);
    EXPECT_FALSE(finder.Threaded);
    EXPECT_EQ(finder.ThreadPriority(), tpNormal);
    EXPECT_EQ(finder.SizeMin, 0);
    EXPECT_EQ(finder.SizeMax, 0);
    EXPECT_EQ(finder.ModifiedBefore, 0);
    EXPECT_TRUE(finder.Containing.empty());
    EXPECT_FALSE(finder.Busy());
}

TEST(FindFileProperties, SettersRejectWithTheirMessagesAndKeepTheOldValue) {
    TFindFile finder;
    finder.SetFilename("*.htm");
    EXPECT_EQ(ErrorOf([&] { finder.SetFilename("dir/*.htm"); }),
              "dir/*.htm\n\rInvalid filename specified");
    EXPECT_EQ(ErrorOf([&] { finder.SetFilename("/x.htm"); }),
              "/x.htm\n\rInvalid filename specified");
    EXPECT_EQ(finder.Filename(), "*.htm");
    finder.SetLocation("/a;/b");
    EXPECT_EQ(ErrorOf([&] { finder.SetLocation("/a/*"); }),
              "/a/*\n\rlocation cannot to be contained wildcards");
    EXPECT_EQ(ErrorOf([&] { finder.SetLocation("/a?b"); }),
              "/a?b\n\rlocation cannot to be contained wildcards");
    EXPECT_EQ(finder.Location(), "/a;/b");
    EXPECT_EQ(ErrorOf([&] { finder.SetFilename("a?.htm"); }), "(none)");
}

class FindFileSearch : public ::testing::Test {
protected:
    void Run(TFindFile& finder) {
        recorder_.Attach(finder);
        if (finder.Location().empty()) finder.SetLocation(kvtest::Location(folder_));
        finder.Execute();
    }
    std::string Root() const { return kvtest::Location(folder_); }
    std::vector<std::string> Hits() const { return Sorted(recorder_.hits); }

    kvtest::TempFolder folder_;
    kvtest::SearchRecorder recorder_;
};

TEST_F(FindFileSearch, WalksSubfoldersButNeverDotNames) {
    folder_.Write("a/index.htm", "x");
    folder_.Write("a/b/INDEX.HTM", "x");
    folder_.Write("a/index.html", "x");
    folder_.Write("a/.hidden.htm", "x");
    folder_.Write(".git/index.htm", "x");
    folder_.Write("c.d/e.f.htm", "x");
    TFindFile finder;
    finder.SetFilename("*.htm");
    Run(finder);
    const std::string root = Root();
    EXPECT_EQ(Hits(), (std::vector<std::string>{root + "/a/b/INDEX.HTM", root + "/a/index.htm",
                                                root + "/c.d/e.f.htm"}));
    EXPECT_EQ(recorder_.completions, 1);
    EXPECT_FALSE(finder.Busy());
    for (const auto& folder : recorder_.folders) EXPECT_EQ(folder.find("/.git"), std::string::npos);
    // Files of a folder are reported before its subfolders are searched.
    const auto at = [&](const std::string& hit) {
        return std::find(recorder_.hits.begin(), recorder_.hits.end(), hit) -
               recorder_.hits.begin();
    };
    EXPECT_LT(at(root + "/a/index.htm"), at(root + "/a/b/INDEX.HTM"));
}

TEST_F(FindFileSearch, WithoutSubfoldersOnlyTheTopFolder) {
    folder_.Write("top.htm", "x");
    folder_.Write("a/index.htm", "x");
    TFindFile finder;
    finder.Subfolders = false;
    Run(finder);
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/top.htm"});
    EXPECT_EQ(recorder_.folders, std::vector<std::string>{Root()});
}

TEST_F(FindFileSearch, IgnoredFolderSkipsEverythingBelow) {
    folder_.Write("skip/a.htm", "x");
    folder_.Write("skip/deeper/b.htm", "x");
    folder_.Write("keep/c.htm", "x");
    TFindFile finder;
    Run(finder);
    finder.OnNewFolder = [](TFindFile*, const std::string& folder, bool& ignore) {
        ignore = folder.size() >= 5 && folder.substr(folder.size() - 5) == "/skip";
    };
    recorder_.hits.clear();
    finder.Execute();
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/keep/c.htm"});
}

TEST_F(FindFileSearch, SizeBoundsWithSizeMaxZeroMeaningNone) {
    folder_.Write("s0.htm", "");
    folder_.Write("s5.htm", "12345");
    folder_.Write("s10.htm", "1234567890");
    TFindFile finder;
    finder.SizeMin = 5;
    Run(finder);
    EXPECT_EQ(Hits(), (std::vector<std::string>{Root() + "/s10.htm", Root() + "/s5.htm"}));
    recorder_.hits.clear();
    finder.SizeMin = 0;
    finder.SizeMax = 5;
    finder.Execute();
    EXPECT_EQ(Hits(), (std::vector<std::string>{Root() + "/s0.htm", Root() + "/s5.htm"}));
}

// A file of 4 GB + 10 bytes is not a file of 10 bytes (sparse, so it costs no disk).
TEST_F(FindFileSearch, SizesBeyondThirtyTwoBitsCompareInFull) {
    const auto big = folder_.Write("big.htm", "");
    std::error_code error;
    fs::resize_file(big, (std::uintmax_t{1} << 32) + 10, error);
    if (error) GTEST_SKIP() << "no sparse files here";
    TFindFile finder;
    finder.SizeMax = 100;
    Run(finder);
    EXPECT_TRUE(recorder_.hits.empty());
    finder.SizeMax = 0;
    finder.SizeMin = 100;
    finder.Execute();
    ASSERT_EQ(recorder_.records.size(), 1u);
    EXPECT_EQ(recorder_.records[0].Size, (std::int64_t{1} << 32) + 10);
}

TEST_F(FindFileSearch, AttributesOfFilesAndFolders) {
    const auto readOnly = folder_.Write("ro.htm", "x");
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
    folder_.Write("rw.htm", "x");
    folder_.MakeFolder("sub.htm");
    TFindFile finder;
    finder.SetFilename("*.htm");
    finder.Subfolders = false;
    Run(finder);
    ASSERT_EQ(Hits(), (std::vector<std::string>{Root() + "/ro.htm", Root() + "/rw.htm"}));
    for (const auto& record : recorder_.records) {
        EXPECT_EQ(record.Attr, record.Name == "ro.htm" ? faArchive | faReadOnly : faArchive);
        EXPECT_EQ(record.Attr, record.FindData.FileAttributes);
    }

    recorder_.hits.clear();
    finder.Attributes = {ffArchive, ffReadonly};
    finder.ExactAttribute = true;
    finder.Execute();
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/ro.htm"});

    recorder_.hits.clear();
    recorder_.records.clear();
    finder.Attributes = {ffDirectory};
    finder.ExactAttribute = false;
    finder.Containing = "x";  // folders pass the content test
    finder.Execute();
    ASSERT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/sub.htm"});
    EXPECT_EQ(recorder_.records[0].Attr, faDirectory);
}

TEST_F(FindFileSearch, ContentTestWithIgnoreCaseAndFoldCyrillic) {
    folder_.Write("latin.htm", "say HELLO");
    folder_.Write("upper.htm", W("ПРИВЕТ всем"));
    folder_.Write("lower.htm", W("привет всем"));
    folder_.Write("none.htm", "nothing");
    TFindFile finder;
    finder.Containing = "hello";
    Run(finder);
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/latin.htm"});
    recorder_.hits.clear();
    finder.Containing = W("привет");
    finder.Execute();
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/lower.htm"});
    recorder_.hits.clear();
    finder.FoldCyrillic = true;
    finder.Execute();
    EXPECT_EQ(Hits(), (std::vector<std::string>{Root() + "/lower.htm", Root() + "/upper.htm"}));
    recorder_.hits.clear();
    finder.Containing.clear();  // no content test: every file
    finder.Execute();
    EXPECT_EQ(recorder_.hits.size(), 4u);
}

TEST_F(FindFileSearch, PhraseAcrossTheReadBlocksIsFound) {
    folder_.Write("a.htm", std::string(4094, ' ') + "phrase" + std::string(5000, ' '));
    for (const size_t block : {size_t{3}, size_t{4096}, ContentReader::kDefaultBlockSize}) {
        TFindFile finder;
        finder.SetReadBlockSize(block);
        finder.Containing = "PHRASE";
        recorder_.hits.clear();
        Run(finder);
        EXPECT_EQ(recorder_.hits.size(), 1u) << block;
    }
}

TEST_F(FindFileSearch, ExclusionMasks) {
    folder_.Write("Temp/a.htm", "x");
    folder_.Write("MyTemp/b.htm", "x");
    folder_.Write("temp/deeper/c.htm", "x");
    folder_.Write("d.c", "x");
    folder_.Write("e.b.c", "x");
    TFindFile finder;
    finder.SetExcludeFiles({"/TEMP/*.*", "*.c"});
    Run(finder);
    EXPECT_EQ(Hits(), (std::vector<std::string>{Root() + "/MyTemp/b.htm", Root() + "/e.b.c",
                                                Root() + "/temp/deeper/c.htm"}));
}

TEST_F(FindFileSearch, IncludeFilesReplaceLocationAndFilename) {
    folder_.Write("a/x.htm", "x");
    folder_.Write("a/y.txt", "x");
    folder_.Write("b/z.txt", "x");
    TFindFile finder;
    finder.SetLocation("/nonexistent");
    finder.SetIncludeFiles({Root() + "/a/*.htm", Root() + "/b/*.txt"});
    finder.Subfolders = false;
    Run(finder);
    EXPECT_EQ(recorder_.hits, (std::vector<std::string>{Root() + "/a/x.htm", Root() + "/b/z.txt"}));
}

TEST_F(FindFileSearch, ModifiedBoundsWithAndWithoutTimeParts) {
    const auto file = folder_.Write("dated.htm", "x");
    tm local{};
    local.tm_year = 2020 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 10;
    local.tm_hour = 15;
    local.tm_min = 30;
    local.tm_isdst = -1;
    const timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const TDateTime day = EncodeDateTime(2020, 5, 10, 0, 0, 0, 0);
    const auto hits = [&](TDateTime after, TDateTime before) {
        TFindFile finder;
        finder.ModifiedAfter = after;
        finder.ModifiedBefore = before;
        recorder_.hits.clear();
        Run(finder);
        return recorder_.hits.size();
    };
    EXPECT_EQ(hits(0, day), 1u);  // the same date
    EXPECT_EQ(hits(0, day - 1), 0u);
    EXPECT_EQ(hits(0, day + 0.5), 0u);  // noon: the file is later
    EXPECT_EQ(hits(0, day + 0.75), 1u);
    EXPECT_EQ(hits(day, 0), 1u);
    EXPECT_EQ(hits(day + 1, 0), 0u);
    EXPECT_EQ(hits(0.5, 0), 1u);  // time of day at least noon
    EXPECT_EQ(hits(0.7, 0), 0u);
    EXPECT_EQ(hits(0, 0.7), 1u);
    EXPECT_EQ(hits(0, 0.5), 0u);
    EXPECT_EQ(hits(day + 0.6, day + 0.7), 1u);  // 15:30 is 0.6458
    // The record's packed time: 2020-05-10 15:30:00.
    ASSERT_EQ(hits(0, 0), 1u);
    const auto packed = static_cast<std::uint32_t>(recorder_.records.back().Time);
    EXPECT_EQ(packed >> 16, ((2020u - 1980) << 9) | (5u << 5) | 10u);
    EXPECT_EQ(packed & 0xFFFF, (15u << 11) | (30u << 5));
    // Created and accessed bounds: everything was made before tomorrow.
    TFindFile finder;
    const TDateTime tomorrow = ToLocalDateTime({time(nullptr), 0}) + 1;
    finder.CreatedBefore = tomorrow;
    finder.AccessedBefore = tomorrow;
    recorder_.hits.clear();
    Run(finder);
    EXPECT_EQ(recorder_.hits.size(), 1u);
    finder.CreatedAfter = tomorrow;
    recorder_.hits.clear();
    finder.Execute();
    EXPECT_EQ(recorder_.hits.size(), 0u);
}

TEST_F(FindFileSearch, AbortFromOnFoundStopsAfterTheCurrentEntry) {
    for (int i = 0; i < 5; ++i) folder_.Write("f" + std::to_string(i) + ".htm", "x");
    folder_.Write("sub/g.htm", "x");
    TFindFile finder;
    Run(finder);
    ASSERT_EQ(recorder_.hits.size(), 6u);
    auto record = finder.OnFound;
    recorder_ = {};
    recorder_.Attach(finder);
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        record(sender, folder, entry);
        sender->Abort();
    };
    finder.Execute();
    EXPECT_EQ(recorder_.hits.size(), 1u);
    EXPECT_EQ(recorder_.completions, 1);
    EXPECT_TRUE(finder.Aborted());
    EXPECT_FALSE(finder.Busy());
}

TEST_F(FindFileSearch, ExecuteWhileBusyIsIgnored) {
    folder_.Write("a.htm", "x");
    folder_.Write("b.htm", "x");
    TFindFile finder;
    Run(finder);
    recorder_ = {};
    recorder_.Attach(finder);
    auto record = finder.OnFound;
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        record(sender, folder, entry);
        EXPECT_TRUE(sender->Busy());
        sender->Execute();
    };
    finder.Execute();
    EXPECT_EQ(recorder_.hits.size(), 2u);
    EXPECT_EQ(recorder_.completions, 1);
}

TEST_F(FindFileSearch, OnCompleteOnceWhenNothingIsThereOrAHandlerFails) {
    TFindFile finder;
    finder.SetLocation(Root() + "/missing");
    Run(finder);
    EXPECT_EQ(recorder_.completions, 1);
    EXPECT_TRUE(recorder_.hits.empty());

    folder_.Write("a.htm", "x");
    folder_.Write("b.htm", "x");
    finder.SetLocation(Root());
    finder.OnFound = [](TFindFile*, const std::string&, const TSearchRec&) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_NO_THROW(finder.Execute());
    EXPECT_EQ(recorder_.completions, 2);
    EXPECT_TRUE(finder.Aborted());
    EXPECT_FALSE(finder.Busy());
}

// A folder that vanishes and files that disappear before they are read are skipped; the hits
// after them are still reported.
TEST_F(FindFileSearch, VanishedFoldersAndFilesAreSkipped) {
    folder_.Write("a/gone/x.htm", "x");
    folder_.Write("a/kept/y.htm", "x");
    for (int i = 0; i < 5; ++i) folder_.Write("b/f" + std::to_string(i) + ".htm", "x");
    folder_.Write("b/sub/z.htm", "x");
    TFindFile finder;
    recorder_.Attach(finder);
    auto record = finder.OnFound;
    auto newFolder = finder.OnNewFolder;
    finder.OnNewFolder = [&](TFindFile* sender, const std::string& folder, bool& ignore) {
        newFolder(sender, folder, ignore);
        if (folder.ends_with("/gone")) fs::remove_all(kv::text::toPath(folder));
    };
    bool removed = false;
    finder.OnFound = [&](TFindFile* sender, const std::string& folder, const TSearchRec& entry) {
        record(sender, folder, entry);
        if (folder.ends_with("/b") && !removed) {  // the other files of b vanish
            removed = true;
            for (int i = 0; i < 5; ++i) {
                const std::string name = "f" + std::to_string(i) + ".htm";
                if (name != entry.Name) fs::remove(folder_.Path() / "b" / name);
            }
        }
    };
    finder.SetLocation(Root());
    finder.Containing = "x";
    finder.Execute();
    EXPECT_EQ(recorder_.completions, 1);
    EXPECT_FALSE(finder.Aborted());
    const auto hits = Hits();
    EXPECT_EQ(hits.size(), 3u);
    EXPECT_TRUE(std::count(hits.begin(), hits.end(), Root() + "/a/kept/y.htm"));
    EXPECT_TRUE(std::count(hits.begin(), hits.end(), Root() + "/b/sub/z.htm"));
}

TEST_F(FindFileSearch, UnreadableFileIsSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const auto locked = folder_.Write("a/locked.htm", "x");
    fs::permissions(locked, fs::perms::none);
    folder_.Write("a/open.htm", "x");
    folder_.Write("b/later.htm", "x");
    TFindFile finder;
    finder.Containing = "x";
    Run(finder);
    EXPECT_EQ(Hits(), (std::vector<std::string>{Root() + "/a/open.htm", Root() + "/b/later.htm"}));
    EXPECT_EQ(recorder_.completions, 1);
}

TEST_F(FindFileSearch, ReportedFolderOfARelativeLocation) {
    folder_.Write("art/index.htm", "x");
    kvtest::CurrentFolderGuard guard;
    ASSERT_TRUE(paths::setCurrentFolder(Root()));
    TFindFile finder;
    finder.SetLocation("art/../art");
    Run(finder);
    EXPECT_EQ(recorder_.hits, std::vector<std::string>{Root() + "/art/index.htm"});
}

}  // namespace
}  // namespace kv
