#include <gtest/gtest.h>

#include <QPixmap>
#include <QSignalSpy>

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
    ASSERT_EQ(view.topLevelItemCount(), 2);
    const QModelIndex first = view.model()->index(0, 0);
    EXPECT_EQ(first.data(Qt::DisplayRole).toString(), "b");
    EXPECT_FALSE(first.data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(view.model()->rowCount(first), 2);
    EXPECT_EQ(view.findItems("one", Qt::MatchExactly | Qt::MatchRecursive).size(), 1);

    // Changes through the item reach the view; roles the node does not keep still work.
    QSignalSpy changed(view.model(), &QAbstractItemModel::dataChanged);
    QTreeWidgetItem* item = view.topLevelItem(1);
    item->setText(0, "c");
    item->setToolTip(0, "tip");
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(view.model()->index(1, 0).data().toString(), "c");
    EXPECT_EQ(item->toolTip(0), "tip");

    view.ResortByText();
    EXPECT_EQ(view.Dump(), "b\n  one\n  two\nc\n");

    // A copy has the texts and the shape, no pictures, also from a view of plain nodes.
    kv::TContentsTreeView copy(nullptr, QRect(0, 0, 200, 200));
    copy.CopyFrom(view);
    EXPECT_EQ(copy.Dump(), view.Dump());
    EXPECT_TRUE(copy.topLevelItem(0)->icon(0).isNull());
    QTreeWidget plain;
    auto* node = new QTreeWidgetItem(QStringList{"plain"});
    node->addChild(new QTreeWidgetItem(QStringList{"child"}));
    plain.addTopLevelItem(node);
    copy.CopyFrom(plain);
    EXPECT_EQ(copy.Dump(), "plain\n  child\n");
}
