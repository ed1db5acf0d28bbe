#include <gtest/gtest.h>

#include "app/contenttree.h"
#include "platform/errors.h"
#include "tests/common/testutil.h"

namespace {

std::string Dump(const kv::ContentTree& tree) {
    std::string out;
    std::function<void(const kv::TreeNode&, int)> dump = [&](const kv::TreeNode& node, int level) {
        out += std::string(static_cast<size_t>(level) * 2, ' ') + node.text + "|";
        for (const auto& child : node.children) dump(*child, level + 1);
    };
    for (const auto& root : tree.Roots()) dump(*root, 0);
    return out;
}

}  // namespace

TEST(ContentTreeLoad, TwoLevelsFromFoldersAndTopics) {
    kv::ContentTree tree;
    tree.LoadFromText("A\r\n one\r\n two\r\nB\r\n three\r\nC\r\n");
    EXPECT_EQ(Dump(tree), "A|  one|  two|B|  three|C|");
    EXPECT_EQ(tree.Count(), 6u);
}

TEST(ContentTreeLoad, LineEndsOfEveryKindAndTabs) {
    kv::ContentTree tree;
    tree.LoadFromText("A\n\tone\rB\r\n two");
    EXPECT_EQ(Dump(tree), "A|  one|B|  two|");
}

TEST(ContentTreeLoad, FirstLineIsTopLevelWhateverItsIndent) {
    // An article directly in the content folder: its topics become children of its first topic.
    kv::ContentTree tree;
    tree.LoadFromText(" first\r\n second\r\n third\r\nFolder\r\n topic\r\n");
    EXPECT_EQ(Dump(tree), "first|  second|  third|Folder|  topic|");
}

TEST(ContentTreeLoad, ShallowerLineClimbsToItsLevel) {
    kv::ContentTree tree;
    tree.LoadFromText("A\n b\n  c\n   d\n b2\nE\n");
    EXPECT_EQ(Dump(tree), "A|  b|    c|      d|  b2|E|");
}

TEST(ContentTreeLoad, TooDeepLineStopsWithAnErrorAndKeepsWhatLoaded) {
    kv::ContentTree tree;
    try {
        tree.LoadFromText("A\r\n one\r\n   bad topic\r\n two\r\n");
        FAIL() << "no error";
    } catch (const kv::Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid level (3) for item \"bad topic\"");
    }
    EXPECT_EQ(Dump(tree), "A|  one|");
}

TEST(ContentTreeLoad, MissingFileRaises) {
    kvtest::TempFolder temp;
    kv::ContentTree tree;
    EXPECT_THROW(tree.LoadFromFile(temp.Path() / "none.txt"), kv::Exception);
}
