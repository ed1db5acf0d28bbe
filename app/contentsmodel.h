#pragma once
// The contents tree as one item model: the nodes of the loaded contents lines, kept once in a
// compact form however many views show them. It does not change once loaded; each view sorts or
// decorates it through its own proxy.

#include <QAbstractItemModel>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class ContentsModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // The nodes of a contents text, read as ContentTree reads it: a line more than one level
    // deeper raises kv::Exception, and the nodes before it stay. The model keeps the text, which
    // holds the nodes' texts.
    void Load(std::string text);
    std::size_t Count() const { return nodes_.size(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    struct Node {
        std::uint32_t parent;
        std::uint32_t row;     // among its parent's children
        std::uint32_t offset;  // of its text in text_
        std::uint32_t length;
    };
    std::uint32_t Add(std::uint32_t parent, std::string_view text);
    void LinkChildren();
    std::uint32_t Child(std::uint32_t parent, int row) const;
    std::uint32_t ChildCount(std::uint32_t parent) const;

    std::string text_;  // Windows-1251, as loaded
    std::vector<Node> nodes_;
    // Children of node n: children_[firstChild_[n] .. firstChild_[n + 1]); the top level holds
    // the nodes without a parent, in order.
    std::vector<std::uint32_t> firstChild_;
    std::vector<std::uint32_t> children_;
    std::vector<std::uint32_t> topLevel_;
};

}  // namespace kv
