#pragma once
// The contents tree: the contents file loaded as nodes, by the indentation of its lines.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

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
