#pragma once
// The search the search window makes: every "*.htm" file below a folder whose bytes contain a
// phrase, without regard to letter case (Latin, and Cyrillic unless asked not to). The window
// and callers without a window (kvtool, benchmarks) set the component up through one function,
// so that both find the same files.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cache/trigramindex.h"

namespace kv {

class TFindFile;
struct SearchCatalogue;

// The article files' name mask.
inline constexpr std::string_view kArticleMask = "*.htm";

// Gives the component the settings of the article search. Raises EFindFileError for a folder
// holding wildcards.
void SetUpArticleSearch(TFindFile& finder, const std::string& folder, const std::string& phrase,
                        bool foldCyrillic = true);
// The full path of a hit from the folder OnFound reports and the entry's name.
std::string HitPath(const std::string& folder, const std::string& name);

struct ArticleSearch {
    std::string folder;        // Windows-1251
    std::string phrase;        // Windows-1251; empty lists every file
    bool threaded = false;     // on a worker thread, with an event loop run until the end
    bool foldCyrillic = true;  // also fold А-Я/Ё, as the search window does
    // The folder's trigram index, when there is one: the same hits, fewer files read.
    std::shared_ptr<const cache::TrigramIndex> index = nullptr;
    // The folder's files as a walk listed them, taken instead of listing the folders when the
    // index can tell for the phrase.
    std::shared_ptr<const SearchCatalogue> catalogue = nullptr;
    // The catalogue's files' documents in the index (CatalogueDocuments).
    std::shared_ptr<const std::vector<std::int32_t>> documents = nullptr;
};

// Calls hit with the full path (Windows-1251) of every hit, in report order. Raises
// EFindFileError for a folder holding wildcards.
void RunArticleSearch(const ArticleSearch& search,
                      const std::function<void(const std::string&)>& hit);

}  // namespace kv
