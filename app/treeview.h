#pragma once
// The contents tree on screen: a view of a shared ContentsModel, another view's model shown as
// it is, and the one-time sort by text.

#include <QIcon>
#include <QTreeView>
#include <memory>

#include "app/contentsmodel.h"
#include "app/contenttree.h"

class QSortFilterProxyModel;

namespace kv {

// A tree view set up as both windows show the contents: no border, read-only, no expand
// buttons, indent 19, hot tracking, the selected node expanded.
class TContentsTreeView : public QTreeView {
    Q_OBJECT
public:
    TContentsTreeView(QWidget* parent, const QRect& bounds);
    ~TContentsTreeView() override;

    // Shows the model's nodes, every one with the icon when given. The view keeps the model
    // alive for as long as it shows it.
    void Show(std::shared_ptr<const ContentsModel> model, const QIcon& icon = {});
    // Shows the nodes of a loaded tree (through a model of its own).
    void Load(const ContentTree& tree, const QIcon& icon = {});
    // Shows another view's nodes, unsorted and without pictures; the model is shared, not copied.
    void CopyFrom(const TContentsTreeView& other);
    const std::shared_ptr<const ContentsModel>& Contents() const { return contents_; }
    // Sorting off, then on: sorts every level by the locale-aware, case-sensitive comparison
    // of the node texts, and keeps the tree sorted from then on.
    void ResortByText();
    // Node texts in display order, one per line, indented two spaces per level (UTF-8).
    QString Dump() const;
    int TopLevelCount() const;
    // The first node, in display order, with this text; invalid when there is none.
    QModelIndex FindNode(const QString& text) const;

    // Auto-expand: the node being left collapses with those of its parents that do not hold the
    // new node, so that only the picked branch stays open.
    void SetAutoExpand(bool on) { autoExpand_ = on; }

    // The one selected node, or an invalid index.
    QModelIndex SelectedNode() const;

    // The Windows-1251 text of a node.
    static std::string NodeText(const QModelIndex& node);

signals:
    // The selection changed (not only the current node).
    void NodeSelectionChanged();

private:
    void CollapseLeft(QModelIndex left, const QModelIndex& current);

    std::shared_ptr<const ContentsModel> contents_;
    std::unique_ptr<QSortFilterProxyModel> proxy_;
    bool autoExpand_ = false;
};

}  // namespace kv
