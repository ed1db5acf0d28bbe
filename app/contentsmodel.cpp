#include "app/contentsmodel.h"

#include <algorithm>

#include "app/contenttree.h"
#include "platform/codec.h"

namespace kv {

void ContentsModel::Load(std::string text) {
    beginResetModel();
    text_ = std::move(text);
    nodes_.clear();
    topLevel_.clear();
    firstChild_.assign(1, 0);  // counts of children until linked
    // A node a line: a million of them are not copied over and over as the vectors grow.
    const auto lines = static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\n')) +
                       (text_.empty() || text_.back() == '\n' ? 0 : 1);
    nodes_.reserve(lines);
    firstChild_.reserve(lines + 1);
    try {
        ReadContentsLines(
            text_, kNone,
            [this](std::uint32_t parent, std::string_view line) { return Add(parent, line); },
            [this](std::uint32_t node) { return nodes_[node].parent; });
    } catch (...) {
        LinkChildren();
        endResetModel();
        throw;
    }
    LinkChildren();
    endResetModel();
}

std::uint32_t ContentsModel::Add(std::uint32_t parent, std::string_view text) {
    const auto node = static_cast<std::uint32_t>(nodes_.size());
    std::uint32_t row;
    if (parent == kNone) {
        row = static_cast<std::uint32_t>(topLevel_.size());
        topLevel_.push_back(node);
    } else {
        row = firstChild_[parent]++;
    }
    // Node texts are parts of the loaded text (an empty one may have no place in it).
    const auto offset = text.empty() ? 0 : static_cast<std::uint32_t>(text.data() - text_.data());
    nodes_.push_back({parent, row, offset, static_cast<std::uint32_t>(text.size())});
    firstChild_.push_back(0);
    return node;
}

// Turns the counts of children into the ranges of children_.
void ContentsModel::LinkChildren() {
    firstChild_.resize(nodes_.size() + 1);
    std::uint32_t start = 0;
    for (auto& first : firstChild_) start += std::exchange(first, start);
    children_.assign(start, 0);
    for (std::uint32_t node = 0; node < nodes_.size(); ++node) {
        const Node& n = nodes_[node];
        if (n.parent != kNone) children_[firstChild_[n.parent] + n.row] = node;
    }
    nodes_.shrink_to_fit();
}

std::uint32_t ContentsModel::ChildCount(std::uint32_t parent) const {
    if (parent == kNone) return static_cast<std::uint32_t>(topLevel_.size());
    return firstChild_[parent + 1] - firstChild_[parent];
}

std::uint32_t ContentsModel::Child(std::uint32_t parent, int row) const {
    return parent == kNone ? topLevel_[static_cast<size_t>(row)]
                           : children_[firstChild_[parent] + static_cast<std::uint32_t>(row)];
}

QModelIndex ContentsModel::index(int row, int column, const QModelIndex& parent) const {
    const std::uint32_t of =
        parent.isValid() ? static_cast<std::uint32_t>(parent.internalId()) : kNone;
    if (column != 0 || row < 0 || static_cast<std::uint32_t>(row) >= ChildCount(of)) return {};
    return createIndex(row, 0, static_cast<quintptr>(Child(of, row)));
}

QModelIndex ContentsModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const std::uint32_t parent = nodes_[child.internalId()].parent;
    if (parent == kNone) return {};
    return createIndex(static_cast<int>(nodes_[parent].row), 0, static_cast<quintptr>(parent));
}

int ContentsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(
        ChildCount(parent.isValid() ? static_cast<std::uint32_t>(parent.internalId()) : kNone));
}

int ContentsModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const Node& node = nodes_[index.internalId()];
    return cp1251::toQString(std::string_view(text_).substr(node.offset, node.length));
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace kv
