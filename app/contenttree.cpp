#include "app/contenttree.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/codec.h"
#include "platform/errors.h"

namespace kv {
size_t ContentsLineEnd(std::string_view text, size_t pos) {
    const char* from = text.data() + pos;
    const size_t rest = text.size() - pos;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', rest));
    const size_t stop = lf ? static_cast<size_t>(lf - from) : rest;
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', stop));
    return pos + (cr ? static_cast<size_t>(cr - from) : stop);
}

int TreeNode::Level() const {
    int level = 0;
    for (const TreeNode* p = parent; p; p = p->parent) ++level;
    return level;
}

TreeNode* ContentTree::Add(TreeNode* parent, std::string text) {
    auto node = std::make_unique<TreeNode>();
    node->text = std::move(text);
    node->parent = parent;
    auto& siblings = parent ? parent->children : roots_;
    siblings.push_back(std::move(node));
    return siblings.back().get();
}

std::size_t ContentTree::Count() const {
    std::size_t count = 0;
    std::vector<const TreeNode*> stack;
    for (const auto& root : roots_) stack.push_back(root.get());
    while (!stack.empty()) {
        const TreeNode* node = stack.back();
        stack.pop_back();
        ++count;
        for (const auto& child : node->children) stack.push_back(child.get());
    }
    return count;
}

void ContentTree::LoadFromText(std::string_view text) {
    roots_.clear();
    ReadContentsLines(
        text, static_cast<TreeNode*>(nullptr),
        [this](TreeNode* parent, std::string_view line) { return Add(parent, std::string(line)); },
        [](const TreeNode* node) { return node->parent; });
}

std::string ReadContentsFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad())
        throw Exception("Cannot open file \"" + text::fromPath(file) + "\". " +
                        std::string(std::strerror(errno)));
    return text.str();
}

void ContentTree::LoadFromFile(const std::filesystem::path& file) {
    roots_.clear();
    LoadFromText(ReadContentsFile(file));
}

}  // namespace kv
