#include "filesearch/catalogue.h"

#include <algorithm>
#include <unordered_map>

#include "filesearch/masks.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr std::size_t kHidden = static_cast<std::size_t>(-1);

// A walked file's path relative to the root: the walk names its files from the folder as it
// was given, "." when it changed to it first, or the root's full path.
std::string_view BelowRoot(std::string_view path, std::string_view root) {
    if (!root.empty() && path.starts_with(root) && path.substr(root.size()).starts_with('/'))
        path.remove_prefix(root.size());
    while (path.starts_with("./") || path.starts_with('/'))
        path.remove_prefix(path.front() == '.' ? 2 : 1);
    return path;
}

}  // namespace

std::vector<std::int32_t> CatalogueDocuments(const SearchCatalogue& catalogue,
                                             const std::vector<cache::IndexSource>& walked,
                                             const cache::TrigramIndex& index) {
    std::unordered_map<std::string_view, const cache::FileStamp*> stamps;
    stamps.reserve(walked.size());
    for (const auto& file : walked)
        stamps.emplace(BelowRoot(file.path, catalogue.root), &file.stamp);
    std::vector<std::int32_t> documents;
    std::string path;
    for (const auto& folder : catalogue.folders) {
        for (const auto& name : folder.files) {
            path.assign(folder.native).append(name);
            const auto found = stamps.find(path);
            documents.push_back(found == stamps.end()
                                    ? -1
                                    : static_cast<std::int32_t>(index.Document(*found->second)));
        }
    }
    return documents;
}

SearchCatalogueBuilder::SearchCatalogueBuilder(std::string root, std::string mask)
    : root_(std::move(root)), mask_(std::move(mask)) {
    nodes_.push_back({});
    path_.push_back(0);
}

void SearchCatalogueBuilder::Enter(std::string_view nativeName, bool searched) {
    const std::size_t parent = path_.back();
    if (parent == kHidden || !searched) {
        path_.push_back(kHidden);
        return;
    }
    const std::size_t child = nodes_.size();
    nodes_.push_back({nodes_[parent].native + std::string(nativeName) + '/', {}, {}});
    nodes_[parent].children.push_back(child);
    path_.push_back(child);
}

void SearchCatalogueBuilder::Leave() {
    if (path_.size() > 1) path_.pop_back();
}

void SearchCatalogueBuilder::AddFile(std::string_view nativeName) {
    const std::size_t folder = path_.back();
    if (folder == kHidden || nativeName.empty() || nativeName.front() == '.') return;
    if (NameMatchesMask(nativeName, mask_)) nodes_[folder].files.emplace_back(nativeName);
}

SearchCatalogue SearchCatalogueBuilder::Finish() {
    SearchCatalogue catalogue{std::move(root_), std::move(mask_), {}};
    catalogue.folders.reserve(nodes_.size());
    // Depth first, a folder before its subfolders; `end` is set once the subtree is out.
    struct Open {
        std::size_t node;
        std::size_t slot;  // in the catalogue
        std::size_t next;  // next child to visit
    };
    std::vector<Open> stack;
    const auto visit = [&](std::size_t node) {
        const std::size_t parent = stack.empty() ? SearchCatalogue::kNoFolder : stack.back().slot;
        catalogue.folders.push_back(
            {std::move(nodes_[node].native), std::move(nodes_[node].files), 0, parent});
        stack.push_back({node, catalogue.folders.size() - 1, 0});
    };
    visit(0);
    while (!stack.empty()) {
        Open& top = stack.back();
        const auto& children = nodes_[top.node].children;
        if (top.next < children.size()) {
            visit(children[top.next++]);
            continue;
        }
        catalogue.folders[top.slot].end = catalogue.folders.size();
        stack.pop_back();
    }
    nodes_.clear();
    path_.clear();
    return catalogue;
}

}  // namespace kv
