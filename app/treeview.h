#pragma once
// The contents tree on screen: filling a tree view from the loaded contents, copying one tree
// view into another, and the one-time sort by text.

#include <QIcon>
#include <QTreeWidget>

#include "app/contenttree.h"

namespace kv {

// A tree view set up as both windows show the contents: no border, read-only, no expand
// buttons, indent 19, hot tracking, the selected node expanded.
class TContentsTreeView : public QTreeWidget {
    Q_OBJECT
public:
    TContentsTreeView(QWidget* parent, const QRect& bounds);

    // Replaces the nodes with those of the tree; every node shows the icon when given.
    void Load(const ContentTree& tree, const QIcon& icon = {});
    // Replaces the nodes with copies of another view's nodes (texts and shape, no pictures).
    void CopyFrom(const QTreeWidget& other);
    // Sorting off, then on: sorts every level by the locale-aware, case-sensitive comparison
    // of the node texts, and keeps the tree sorted from then on.
    void ResortByText();
    // Node texts in display order, one per line, indented two spaces per level (UTF-8).
    QString Dump() const;

    // Auto-expand: the node being left collapses with those of its parents that do not hold the
    // new node, so that only the picked branch stays open.
    void SetAutoExpand(bool on) { autoExpand_ = on; }

    // The one selected node, or none.
    QTreeWidgetItem* SelectedNode() const;

    // The Windows-1251 text of a node.
    static std::string NodeText(const QTreeWidgetItem* item);

private:
    void CollapseLeft(QTreeWidgetItem* left, const QTreeWidgetItem* current);

    bool autoExpand_ = false;
};

}  // namespace kv
