#pragma once
// The article files below a content folder as its start-up walk met them, kept in the order a
// search walks them: each folder, then its files, then each subfolder in turn. With the search's
// index ready, the article search takes its files from here instead of listing every folder
// again; the files the index rules out as the walk saw them are not looked at (CatalogueDocuments),
// the others are, and every candidate is read. Files and folders added after the walk are not here:
// the next start's walk lists them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cache/trigramindex.h"

namespace kv {

struct SearchCatalogue {
    struct Folder {
        std::string native;              // relative to the root, "" or ending in '/'
        std::vector<std::string> files;  // native names, in listing order
        std::size_t end = 0;             // the folder after this one's subtree
        std::size_t parent = kNoFolder;  // the folder holding this one; none for the root
    };
    static constexpr std::size_t kNoFolder = static_cast<std::size_t>(-1);
    std::string root;  // the real path of the walked folder
    std::string mask;  // the name mask the files were chosen by
    std::vector<Folder> folders;
};

// Each catalogue file's document in the search's index, folder after folder, found once by the
// stamp the walk recorded for it (`walked`, paths relative to the root, or below "." or the
// root's full path as the walk names them), so that a search skips the files the index rules
// out without looking at them; -1 for a file the index does not hold as the walk saw it. A file
// changed since the walk is then judged as the walk saw it when the index rules it out (the next
// start's walk reads it again); a candidate is read as it is.
std::vector<std::int32_t> CatalogueDocuments(const SearchCatalogue& catalogue,
                                             const std::vector<cache::IndexSource>& walked,
                                             const cache::TrigramIndex& index);

// Collects a catalogue during a walk that may take its entries in any nesting order: every
// folder entered is left again, and files belong to the innermost folder entered.
class SearchCatalogueBuilder {
public:
    // The root's files are taken by the mask (Windows-1251 names).
    SearchCatalogueBuilder(std::string root, std::string mask);
    // A subfolder of the current folder. Those a search does not enter (`searched` false:
    // links to folders, names it cannot show) hide their whole subtree.
    void Enter(std::string_view nativeName, bool searched);
    void Leave();
    // An entry of the current folder that is not a folder; kept when its name (Windows-1251)
    // matches the mask and does not begin with '.'.
    void AddFile(std::string_view nativeName);
    // The catalogue in search order; the builder is empty afterwards.
    SearchCatalogue Finish();

private:
    struct Node {
        std::string native;
        std::vector<std::string> files;
        std::vector<std::size_t> children;
    };
    std::string root_;
    std::string mask_;
    std::vector<Node> nodes_;
    std::vector<std::size_t> path_;  // open folders; npos below a folder not searched
};

}  // namespace kv
