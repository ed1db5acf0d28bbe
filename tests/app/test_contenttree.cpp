#include <gtest/gtest.h>

#include <QPixmap>

#include "app/contenttree.h"
#include "app/treeview.h"
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

TEST(ContentsTreeView, NodesShowTheirTextAndIconThroughTheModel) {
    kv::ContentTree tree;
    tree.LoadFromText("b\r\n two\r\n one\r\na\r\n");
    QPixmap picture(8, 8);
    picture.fill(Qt::red);
    kv::TContentsTreeView view(nullptr, QRect(0, 0, 200, 200));
    view.Load(tree, QIcon(picture));
    ASSERT_EQ(view.TopLevelCount(), 2);
    const QModelIndex first = view.model()->index(0, 0);
    EXPECT_EQ(first.data(Qt::DisplayRole).toString(), "b");
    EXPECT_FALSE(first.data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(view.model()->rowCount(first), 2);
    EXPECT_EQ(view.model()->index(1, 0, first).parent(), first);
    EXPECT_EQ(view.FindNode("one").parent(), first);
    EXPECT_EQ(view.model()->index(1, 0).data().toString(), "a");
    EXPECT_FALSE(view.model()->index(2, 0).isValid());
    EXPECT_FALSE(view.model()->index(2, 0, first).isValid());

    // A copy shares the nodes and shows them as they were loaded, without pictures, however the
    // first view is sorted afterwards.
    kv::TContentsTreeView copy(nullptr, QRect(0, 0, 200, 200));
    copy.CopyFrom(view);
    EXPECT_EQ(copy.Contents(), view.Contents());
    view.ResortByText();
    EXPECT_EQ(view.Dump(), "a\nb\n  one\n  two\n");
    EXPECT_EQ(copy.Dump(), "b\n  two\n  one\na\n");
    EXPECT_TRUE(copy.model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
}

// The model reads a contents text as the tree does: the same shape from the first line to the
// last, and the nodes before a bad line kept.
TEST(ContentsTreeView, ModelHasTheShapeOfTheLoadedTree) {
    const std::string text = "A\r\n 1\r\n  x\r\n  y\r\n 2\r\nB\nC\r\n\t3\r\n";
    kv::ContentTree tree;
    tree.LoadFromText(text);
    kv::TContentsTreeView fromTree(nullptr, QRect(0, 0, 200, 200));
    fromTree.Load(tree);
    auto model = std::make_shared<kv::ContentsModel>();
    model->Load(text);
    EXPECT_EQ(model->Count(), tree.Count());
    kv::TContentsTreeView view(nullptr, QRect(0, 0, 200, 200));
    view.Show(model);
    EXPECT_EQ(view.Dump(), fromTree.Dump());
    EXPECT_EQ(view.Dump(), "A\n  1\n    x\n    y\n  2\nB\nC\n  3\n");

    auto partial = std::make_shared<kv::ContentsModel>();
    EXPECT_THROW(partial->Load("A\r\n 1\r\n   deep\r\nB\r\n"), kv::Exception);
    view.Show(partial);
    EXPECT_EQ(view.Dump(), "A\n  1\n");
}
