// kvtool search: the article files below a folder that contain a phrase, as the search window
// finds them ("*.htm", all subfolders, Latin and Cyrillic letters without case), one full path
// per line. The folder's trigram index in the user's cache folder (built by kvtool index) rules
// files out unread, and the files come from a walk as the reader makes at start-up (with the same
// cache) rather than from listing the folders during the search; --no-cache reads every file.

#include <filesystem>

#include "app/contentindex.h"
#include "cache/cachefile.h"
#include "filesearch/articlesearch.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {
namespace {

// The folder's index and the catalogue of its start-up walk, or nothing when it has no index.
void UseSearchIndex(const std::string& folder, kv::ArticleSearch& search) {
    std::error_code error;
    const auto root = std::filesystem::canonical(folder, error);
    auto index = std::make_shared<kv::cache::TrigramIndex>();
    if (error || !index->Load(kv::cache::DefaultFolder(), root.native())) return;
    kv::TContentIndex walk;
    walk.UseCache(kv::cache::DefaultFolder());
    walk.MakeTree(root);
    search.catalogue = walk.Catalogue();
    if (search.catalogue)
        search.documents = std::make_shared<const std::vector<std::int32_t>>(
            kv::CatalogueDocuments(*search.catalogue, walk.Articles(), *index));
    search.index = std::move(index);
}

}  // namespace

int Search(const Args& args) {
    kv::ArticleSearch search;
    bool useCache = true;
    std::vector<std::string> operands;
    for (const auto& arg : args) {
        if (arg == "--no-cache") {
            useCache = false;
        } else if (arg == "--threaded") {
            search.threaded = true;
        } else if (arg == "--fold-cyrillic") {
            search.foldCyrillic = true;  // the default; kept for scripts that ask for it
        } else if (arg == "--exact-cyrillic") {
            search.foldCyrillic = false;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 2) {
        PrintError(
            "usage: kvtool search [--threaded] [--exact-cyrillic] [--no-cache] FOLDER PHRASE\n");
        return 2;
    }
    if (useCache) UseSearchIndex(operands[0], search);
    search.folder = std::string(operands[0]);
    search.phrase = std::string(operands[1]);
    kv::RunArticleSearch(search, [](const std::string& path) { Print(path + "\n"); });
    return 0;
}

}  // namespace kvtool
