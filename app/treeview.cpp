#include "app/treeview.h"

#include <QHeaderView>

#include "platform/codec.h"

namespace kv {
namespace {

// A node that keeps its text and icon itself: a contents tree has tens of thousands of nodes,
// and the general per-role storage costs several allocations a node. Sorted by the
// locale-aware comparison of its text (case-sensitive).
class TextItem : public QTreeWidgetItem {
public:
    TextItem(QString text, QIcon icon) : text_(std::move(text)), icon_(std::move(icon)) {}

    QVariant data(int column, int role) const override {
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) return text_;
        if (column == 0 && role == Qt::DecorationRole && !icon_.isNull())
            return QVariant::fromValue(icon_);
        return QTreeWidgetItem::data(column, role);
    }
    void setData(int column, int role, const QVariant& value) override {
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
            text_ = value.toString();
        } else if (column == 0 && role == Qt::DecorationRole) {
            icon_ = value.value<QIcon>();
        } else {
            QTreeWidgetItem::setData(column, role, value);
            return;
        }
        emitDataChanged();
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* item = dynamic_cast<const TextItem*>(&other);
        return QString::localeAwareCompare(text_, item ? item->text_ : other.text(0)) < 0;
    }

private:
    QString text_;
    QIcon icon_;
};

QTreeWidgetItem* makeItem(const TreeNode& node, const QIcon& icon) {
    auto* item = new TextItem(cp1251::toQString(node.text), icon);
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(node.children.size()));
    for (const auto& child : node.children) children.append(makeItem(*child, icon));
    item->addChildren(children);
    return item;
}

QTreeWidgetItem* copyItem(const QTreeWidgetItem* source) {
    auto* item = new TextItem(source->text(0), QIcon());
    QList<QTreeWidgetItem*> children;
    children.reserve(source->childCount());
    for (int i = 0; i < source->childCount(); ++i) children.append(copyItem(source->child(i)));
    item->addChildren(children);
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
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                if (autoExpand_ && previous) CollapseLeft(previous, current);
                if (current) current->setExpanded(true);
            });
}

void TContentsTreeView::CollapseLeft(QTreeWidgetItem* left, const QTreeWidgetItem* current) {
    const auto holdsCurrent = [current](const QTreeWidgetItem* node) {
        for (const QTreeWidgetItem* at = current; at; at = at->parent())
            if (at == node) return true;
        return false;
    };
    for (QTreeWidgetItem* node = left; node && !holdsCurrent(node); node = node->parent())
        node->setExpanded(false);
}

void TContentsTreeView::Load(const ContentTree& tree, const QIcon& icon) {
    clear();
    QList<QTreeWidgetItem*> roots;
    roots.reserve(static_cast<qsizetype>(tree.Roots().size()));
    for (const auto& root : tree.Roots()) roots.append(makeItem(*root, icon));
    addTopLevelItems(roots);
}

void TContentsTreeView::CopyFrom(const QTreeWidget& other) {
    clear();
    QList<QTreeWidgetItem*> roots;
    roots.reserve(other.topLevelItemCount());
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
