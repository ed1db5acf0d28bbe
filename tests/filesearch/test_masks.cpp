// The text rules of a search: name masks, exclusion masks, date bounds, target lists and the
// folder text of reports.

#include <gtest/gtest.h>

#include <filesystem>

#include "filesearch/masks.h"
#include "platform/codec.h"
#include "platform/paths.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

TEST(NameMask, StarTakesDotsAndLatinLettersIgnoreCase) {
    EXPECT_TRUE(NameMatchesMask("INDEX.HTM", "*.htm"));
    EXPECT_TRUE(NameMatchesMask("a.b.htm", "*.htm"));
    EXPECT_FALSE(NameMatchesMask("index.html", "*.htm"));
    EXPECT_FALSE(NameMatchesMask("index.ht", "*.htm"));
    EXPECT_TRUE(NameMatchesMask("A.B.C", "*.c"));  // the enumeration's "*" runs over dots
    EXPECT_TRUE(NameMatchesMask("abc", "a*b*c"));
    EXPECT_FALSE(NameMatchesMask("acb", "a*b*c*d"));
}

TEST(NameMask, QuestionMarkIsExactlyOneCharacterDotIncluded) {
    EXPECT_TRUE(NameMatchesMask("A.C", "A?C"));
    EXPECT_FALSE(NameMatchesMask("AC", "A?C"));
    EXPECT_FALSE(NameMatchesMask("ABBC", "A?C"));
}

TEST(NameMask, CyrillicComparesExactlyAndDotStarTakesNoExtension) {
    EXPECT_TRUE(NameMatchesMask(kvtest::W("статья.htm"), kvtest::W("стат*.htm")));
    EXPECT_FALSE(NameMatchesMask(kvtest::W("СТАТЬЯ.htm"), kvtest::W("стат*.htm")));
    EXPECT_TRUE(NameMatchesMask("README", "*.*"));
    EXPECT_TRUE(NameMatchesMask("htm", "htm.*"));
    EXPECT_TRUE(NameMatchesMask("htm.txt", "htm.*"));
    EXPECT_FALSE(NameMatchesMask("xhtm", "htm.*"));
}

TEST(ExclusionMask, StarStopsAtTheFirstDot) {
    EXPECT_TRUE(PathMatchesMask("/x/A.C", "*.c"));
    EXPECT_FALSE(PathMatchesMask("/x/A.B.C", "*.c"));
    EXPECT_TRUE(PathMatchesMask("/x/index.htm", "*.*"));
    EXPECT_FALSE(PathMatchesMask("/x/README", "*.*"));  // "." left in the mask
    EXPECT_TRUE(PathMatchesMask("/x/README", "*"));
    EXPECT_TRUE(PathMatchesMask("/x/anything", ""));
}

TEST(ExclusionMask, QuestionMarkNeverTakesADot) {
    EXPECT_FALSE(PathMatchesMask("/x/A.C", "A?C"));
    EXPECT_TRUE(PathMatchesMask("/x/ABC", "A?C"));
    EXPECT_TRUE(PathMatchesMask("/x/A.C", "A?.C"));  // "?" skipped at the dot
    EXPECT_TRUE(PathMatchesMask("/x/AB.C", "A??.C"));
}

TEST(ExclusionMask, FolderPartMatchesAnyFolderEndingInIt) {
    EXPECT_TRUE(PathMatchesMask("/home/u/Temp/a.htm", "/temp/*.*"));
    EXPECT_TRUE(PathMatchesMask("/TEMP/b.txt", "/temp/*.*"));
    EXPECT_FALSE(PathMatchesMask("/home/u/MyTemp/a.htm", "/temp/*.*"));
    EXPECT_FALSE(PathMatchesMask("/home/u/temp/sub/a.htm", "/temp/*.*"));
    EXPECT_FALSE(PathMatchesMask("/a.htm", "/temp/*.*"));
    // A drive part must be a wildcard here: Linux paths have no drive letter.
    EXPECT_TRUE(PathMatchesMask("/u/temp/a.htm", "*:/temp/*.*"));
    EXPECT_FALSE(PathMatchesMask("/u/temp/a.htm", "C:/temp/*.*"));
}

constexpr TDateTime kDay = 43000;  // any date

TEST(DateBounds, WholeNumberBoundsCompareDatesOnly) {
    const TDateTime evening = kDay + 0.9;
    EXPECT_TRUE(DateInBounds(evening, 0, kDay));
    EXPECT_FALSE(DateInBounds(evening + 1, 0, kDay));
    EXPECT_TRUE(DateInBounds(kDay + 0.1, kDay, 0));
    EXPECT_FALSE(DateInBounds(kDay - 0.1, kDay, 0));
    EXPECT_TRUE(DateInBounds(evening, kDay, kDay));
}

TEST(DateBounds, DateAndTimeBoundsCompareWholeValues) {
    EXPECT_TRUE(DateInBounds(kDay + 0.5, 0, kDay + 0.5));  // inclusive
    EXPECT_FALSE(DateInBounds(kDay + 0.6, 0, kDay + 0.5));
    EXPECT_TRUE(DateInBounds(kDay + 0.5, kDay + 0.5, 0));
    EXPECT_FALSE(DateInBounds(kDay + 0.4, kDay + 0.5, 0));
}

TEST(DateBounds, TimeOnlyBoundsCompareTimesOfDay) {
    EXPECT_TRUE(DateInBounds(kDay + 0.25, 0, 0.5));
    EXPECT_FALSE(DateInBounds(kDay + 0.75, 0, 0.5));
    EXPECT_TRUE(DateInBounds(kDay + 0.75, 0.5, 0));
    EXPECT_FALSE(DateInBounds(kDay + 10.25, 0.5, 0));
    EXPECT_TRUE(DateInBounds(kDay + 0.5, 0.25, 0.75));
}

class TargetList : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.MakeFolder("Sub");
        ASSERT_TRUE(paths::setCurrentFolder(text::fromPath(folder_.Path())));
        current_ = text::fromPath(std::filesystem::current_path()) + "/";
    }
    kvtest::CurrentFolderGuard guard_;
    kvtest::TempFolder folder_;
    std::string current_;
};

TEST_F(TargetList, NameMaskDefaults) {
    EXPECT_EQ(BuildTargetList("", ""), std::vector<std::string>{current_ + "*.*"});
    EXPECT_EQ(BuildTargetList("", "htm"), std::vector<std::string>{current_ + "htm.*"});
    EXPECT_EQ(BuildTargetList("", "*.htm"), std::vector<std::string>{current_ + "*.htm"});
}

TEST_F(TargetList, SemicolonForms) {
    EXPECT_EQ(BuildTargetList("/a/b", "x.y"), std::vector<std::string>{"/a/b/x.y"});
    EXPECT_EQ(BuildTargetList("/a/b;", "x.y"), std::vector<std::string>{"/a/b/x.y"});
    EXPECT_EQ(BuildTargetList("/a;;/b", "x.y"),
              (std::vector<std::string>{"/a/x.y", current_ + "x.y", "/b/x.y"}));
    EXPECT_EQ(BuildTargetList("/a;;", "x.y"), std::vector<std::string>{"/a/x.y"});
    EXPECT_EQ(
        BuildTargetList("Sub;../q/", "x.y"),
        (std::vector<std::string>{current_ + "Sub/x.y", ExpandFolder(current_ + "..") + "q/x.y"}));
}

TEST_F(TargetList, DuplicatesDifferingInLatinCaseGiveOneTarget) {
    EXPECT_EQ(BuildTargetList("/Data/Art;/data/art/;/DATA/ART", "*.htm"),
              std::vector<std::string>{"/Data/Art/*.htm"});
    const std::string cyrillic = kvtest::W("/Статьи;/статьи");
    EXPECT_EQ(BuildTargetList(cyrillic, "*.htm").size(), 2u);  // Cyrillic case differs
}

TEST(ReportFolder, DropsTheTrailingSeparatorExceptForTheRoot) {
    EXPECT_EQ(ReportFolderText("/a/b/"), "/a/b");
    EXPECT_EQ(ReportFolderText("/"), "/");
    EXPECT_EQ(ReportFolderText("C:/"), "C:/");
    EXPECT_EQ(ReportFolderText("/a/b"), "/a/b");
}

}  // namespace
}  // namespace kv
