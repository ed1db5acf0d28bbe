#include "app/treeview.h"

#include <QHeaderView>
#include <QSortFilterProxyModel>

#include "platform/codec.h"

namespace kv {
namespace {

// One view's order and pictures over the shared model: unsorted until told to sort, then by the
// locale-aware comparison of the texts (case-sensitive); every node with the view's icon.
class NodeProxy : public QSortFilterProxyModel {
public:
    explicit NodeProxy(QIcon icon) : icon_(std::move(icon)) {
        setSortCaseSensitivity(Qt::CaseSensitive);
        setSortLocaleAware(true);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.isValid())
            return icon_.isNull() ? QVariant() : QVariant::fromValue(icon_);
        return QSortFilterProxyModel::data(index, role);
    }
    // Nothing is filtered out, so the model can tell without a mapping of the node's children
    // (which a view asks of every row it lays out, and which would cost as much as a node).
    bool hasChildren(const QModelIndex& parent) const override {
        return sourceModel()->hasChildren(mapToSource(parent));
    }

private:
    QIcon icon_;
};

void dumpNode(const QAbstractItemModel& model, const QModelIndex& node, int level, QString& out) {
    out += QString(level * 2, QLatin1Char(' ')) + node.data().toString() + QLatin1Char('\n');
    for (int i = 0; i < model.rowCount(node); ++i)
        dumpNode(model, model.index(i, 0, node), level + 1, out);
}

}  // namespace

TContentsTreeView::TContentsTreeView(QWidget* parent, const QRect& bounds) : QTreeView(parent) {
    setGeometry(bounds);
    setFrameShape(QFrame::NoFrame);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setUniformRowHeights(true);
    setStyleSheet(QStringLiteral(
        "QTreeView::item:hover { color: rgb(0,0,255); text-decoration: underline; }"));
    Show(std::make_shared<ContentsModel>());
}

TContentsTreeView::~TContentsTreeView() {
    setModel(nullptr);
}

void TContentsTreeView::Show(std::shared_ptr<const ContentsModel> model, const QIcon& icon) {
    auto proxy = std::make_unique<NodeProxy>(icon);
    // The proxy only reads the model, which never changes once loaded.
    proxy->setSourceModel(const_cast<ContentsModel*>(model.get()));
    setSortingEnabled(false);
    setModel(proxy.get());
    proxy_ = std::move(proxy);
    contents_ = std::move(model);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TContentsTreeView::NodeSelectionChanged);
    // The selected node opens, as a tree without expand buttons needs.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (autoExpand_ && previous.isValid()) CollapseLeft(previous, current);
                if (current.isValid()) setExpanded(current, true);
            });
}

void TContentsTreeView::Load(const ContentTree& tree, const QIcon& icon) {
    std::string text;
    const auto add = [&text](const auto& self, const TreeNode& node, int level) -> void {
        text.append(static_cast<size_t>(level), ' ').append(node.text).append("\n");
        for (const auto& child : node.children) self(self, *child, level + 1);
    };
    for (const auto& root : tree.Roots()) add(add, *root, 0);
    auto model = std::make_shared<ContentsModel>();
    model->Load(std::move(text));
    Show(std::move(model), icon);
}

void TContentsTreeView::CopyFrom(const TContentsTreeView& other) {
    Show(other.contents_);
}

void TContentsTreeView::CollapseLeft(QModelIndex left, const QModelIndex& current) {
    const auto holdsCurrent = [&current](const QModelIndex& node) {
        for (QModelIndex at = current; at.isValid(); at = at.parent())
            if (at == node) return true;
        return false;
    };
    for (; left.isValid() && !holdsCurrent(left); left = left.parent()) setExpanded(left, false);
}

void TContentsTreeView::ResortByText() {
    setSortingEnabled(false);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    setSortingEnabled(true);
}

QString TContentsTreeView::Dump() const {
    QString out;
    for (int i = 0; i < model()->rowCount(); ++i) dumpNode(*model(), model()->index(i, 0), 0, out);
    return out;
}

int TContentsTreeView::TopLevelCount() const {
    return model()->rowCount();
}

QModelIndex TContentsTreeView::FindNode(const QString& text) const {
    const QModelIndexList found = model()->match(model()->index(0, 0), Qt::DisplayRole, text, 1,
                                                 Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.front();
}

QModelIndex TContentsTreeView::SelectedNode() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.front();
}

std::string TContentsTreeView::NodeText(const QModelIndex& node) {
    return node.isValid() ? text::fromQString(node.data().toString()) : std::string();
}

}  // namespace kv
