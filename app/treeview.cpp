#include "app/treeview.h"

#include <QHeaderView>

#include "platform/codec.h"

namespace kv {
namespace {

// A node sorted by the locale-aware comparison of its text (case-sensitive).
class TextItem : public QTreeWidgetItem {
public:
    explicit TextItem(const QString& text) { setText(0, text); }
    bool operator<(const QTreeWidgetItem& other) const override {
        return QString::localeAwareCompare(text(0), other.text(0)) < 0;
    }
};

void addChildren(QTreeWidgetItem* item, const TreeNode& node, const QIcon& icon) {
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(node.children.size()));
    for (const auto& child : node.children) {
        auto* childItem = new TextItem(cp1251::toQString(child->text));
        if (!icon.isNull()) childItem->setIcon(0, icon);
        addChildren(childItem, *child, icon);
        children.append(childItem);
    }
    item->addChildren(children);
}

QTreeWidgetItem* copyItem(const QTreeWidgetItem* source) {
    auto* item = new TextItem(source->text(0));
    for (int i = 0; i < source->childCount(); ++i) item->addChild(copyItem(source->child(i)));
    return item;
}

void dumpItem(const QTreeWidgetItem* item, int level, QString& out) {
    out += QString(level * 2, QLatin1Char(' ')) + item->text(0) + QLatin1Char('\n');
    for (int i = 0; i < item->childCount(); ++i) dumpItem(item->child(i), level + 1, out);
}

}  // namespace

TContentsTreeView::TContentsTreeView(QWidget* parent, const QRect& bounds) : QTreeWidget(parent) {
    setGeometry(bounds);
    setFrameShape(QFrame::NoFrame);
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setUniformRowHeights(true);
    setStyleSheet(QStringLiteral(
        "QTreeView::item:hover { color: rgb(0,0,255); text-decoration: underline; }"));
    // The selected node opens, as a tree without expand buttons needs.
    connect(this, &QTreeWidget::currentItemChanged, this,
            [](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (current) current->setExpanded(true);
            });
}

void TContentsTreeView::Load(const ContentTree& tree, const QIcon& icon) {
    clear();
    QList<QTreeWidgetItem*> roots;
    roots.reserve(static_cast<qsizetype>(tree.Roots().size()));
    for (const auto& root : tree.Roots()) {
        auto* item = new TextItem(cp1251::toQString(root->text));
        if (!icon.isNull()) item->setIcon(0, icon);
        addChildren(item, *root, icon);
        roots.append(item);
    }
    addTopLevelItems(roots);
}

void TContentsTreeView::CopyFrom(const QTreeWidget& other) {
    clear();
    QList<QTreeWidgetItem*> roots;
    for (int i = 0; i < other.topLevelItemCount(); ++i)
        roots.append(copyItem(other.topLevelItem(i)));
    addTopLevelItems(roots);
}

void TContentsTreeView::ResortByText() {
    setSortingEnabled(false);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    setSortingEnabled(true);
}

QString TContentsTreeView::Dump() const {
    QString out;
    for (int i = 0; i < topLevelItemCount(); ++i) dumpItem(topLevelItem(i), 0, out);
    return out;
}

QTreeWidgetItem* TContentsTreeView::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

std::string TContentsTreeView::NodeText(const QTreeWidgetItem* item) {
    return item ? cp1251::fromQString(item->text(0)) : std::string();
}

}  // namespace kv
