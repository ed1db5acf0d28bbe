// kvtool search: the article files below a folder that contain a phrase, as the search window
// finds them ("*.htm", all subfolders, Latin and Cyrillic letters without case), one full path
// per line.

#include "filesearch/articlesearch.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

int Search(const Args& args) {
    kv::ArticleSearch search;
    std::vector<std::string> operands;
    for (const auto& arg : args) {
        if (arg == "--threaded") {
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
        PrintError("usage: kvtool search [--threaded] [--exact-cyrillic] FOLDER PHRASE\n");
        return 2;
    }
    search.folder = kv::cp1251::fromUtf8(operands[0]);
    search.phrase = kv::cp1251::fromUtf8(operands[1]);
    kv::RunArticleSearch(search, [](const std::string& path) { Print(path + "\n"); });
    return 0;
}

}  // namespace kvtool
