#include "app/contenttree.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/codec.h"
#include "platform/errors.h"

namespace kv {
namespace {

// Where the line from pos ends: its first CR or LF, or the end of the text.
size_t lineEnd(std::string_view text, size_t pos) {
    const char* from = text.data() + pos;
    const size_t rest = text.size() - pos;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', rest));
    const size_t stop = lf ? static_cast<size_t>(lf - from) : rest;
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', stop));
    return pos + (cr ? static_cast<size_t>(cr - from) : stop);
}

}  // namespace

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
    TreeNode* last = nullptr;
    int lastLevel = 0;  // tree level of `last`, kept to avoid walking up for every line
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = lineEnd(text, pos);
        const std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;

        const size_t blanks = line.find_first_not_of(" \t");
        const int level = static_cast<int>(blanks == std::string_view::npos ? line.size() : blanks);
        std::string nodeText(blanks == std::string_view::npos ? std::string_view()
                                                              : line.substr(blanks));

        if (!last) {
            last = Add(nullptr, std::move(nodeText));
            lastLevel = 0;
        } else if (level == lastLevel) {
            last = Add(last->parent, std::move(nodeText));
        } else if (level == lastLevel + 1) {
            last = Add(last, std::move(nodeText));
            lastLevel = level;
        } else if (level < lastLevel) {
            TreeNode* sibling = last->parent;
            int siblingLevel = lastLevel - 1;
            while (siblingLevel > level) {
                sibling = sibling->parent;
                --siblingLevel;
            }
            last = Add(sibling->parent, std::move(nodeText));
            lastLevel = level;
        } else {
            throw Exception("Invalid level (" + std::to_string(level) + ") for item \"" + nodeText +
                            "\"");
        }
    }
}

void ContentTree::LoadFromFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        roots_.clear();
        throw Exception("Cannot open file \"" + cp1251::fromPath(file) + "\". " +
                        cp1251::fromUtf8(std::strerror(errno)));
    }
    LoadFromText(text.str());
}

}  // namespace kv
