#pragma once
// The contents tree: the contents file loaded as nodes, by the indentation of its lines.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codec.h"
#include "platform/errors.h"

namespace kv {

// Where the line from pos ends: its first CR or LF, or the end of the text.
std::size_t ContentsLineEnd(std::string_view text, std::size_t pos);

// Reads the lines of a contents text (ended by CR LF, CR or LF) into a tree of any form. A
// line's level is its count of leading blanks and tabs, compared with the tree level of the node
// added just before it. `add(parent, text)` adds a node below parent (`none` for the top level)
// and returns it; `parentOf(node)` is its parent. A line more than one level deeper raises
// kv::Exception naming the level and the text; the nodes added before it stay.
template <typename Node, typename Add, typename ParentOf>
void ReadContentsLines(std::string_view text, Node none, Add&& add, ParentOf&& parentOf) {
    Node last = none;
    int lastLevel = 0;  // tree level of `last`, kept to avoid walking up for every line
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = ContentsLineEnd(text, pos);
        const std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;

        const std::size_t blanks = line.find_first_not_of(" \t");
        const int level = static_cast<int>(blanks == std::string_view::npos ? line.size() : blanks);
        const std::string_view nodeText =
            blanks == std::string_view::npos ? std::string_view() : line.substr(blanks);
        if (last == none) {
            last = add(none, nodeText);
            lastLevel = 0;
        } else if (level == lastLevel) {
            last = add(parentOf(last), nodeText);
        } else if (level == lastLevel + 1) {
            last = add(last, nodeText);
            lastLevel = level;
        } else if (level < lastLevel) {
            Node sibling = parentOf(last);
            for (int siblingLevel = lastLevel - 1; siblingLevel > level; --siblingLevel)
                sibling = parentOf(sibling);
            last = add(parentOf(sibling), nodeText);
            lastLevel = level;
        } else {
            throw Exception("Invalid level (" + std::to_string(level) + ") for item \"" +
                            text::fromWindows1251(nodeText) + "\"");
        }
    }
}

// The bytes of a contents file; raises kv::Exception when it cannot be read.
std::string ReadContentsFile(const std::filesystem::path& file);

struct TreeNode {
    std::string text;            // Windows-1251
    TreeNode* parent = nullptr;  // not owned
    std::vector<std::unique_ptr<TreeNode>> children;

    int Level() const;  // 0 for a top-level node
};

class ContentTree {
public:
    const std::vector<std::unique_ptr<TreeNode>>& Roots() const { return roots_; }
    void Clear() { roots_.clear(); }
    TreeNode* Add(TreeNode* parent, std::string text);
    std::size_t Count() const;

    // Replaces the nodes with those of the text's lines (ended by CR LF, CR or LF). A line's
    // level is its count of leading blanks and tabs, compared with the tree level of the node
    // added just before it. A line more than one level deeper raises kv::Exception naming the
    // level and the text; the nodes loaded before it stay.
    void LoadFromText(std::string_view text);
    // The same from a file; raises kv::Exception when the file cannot be read.
    void LoadFromFile(const std::filesystem::path& file);

private:
    std::vector<std::unique_ptr<TreeNode>> roots_;
};

}  // namespace kv
