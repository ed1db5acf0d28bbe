#pragma once
// The search the search window makes, for callers without a window (kvtool, benchmarks):
// every "*.htm" file below a folder whose bytes contain a phrase, a-z without case.

#include <functional>
#include <string>

namespace kv {

struct ArticleSearch {
    std::string folder;         // Windows-1251
    std::string phrase;         // Windows-1251; empty lists every file
    bool threaded = false;      // on a worker thread, with an event loop run until the end
    bool foldCyrillic = false;  // also fold А-Я/Ё
};

// Calls hit with the full path (Windows-1251) of every hit, in report order. Raises
// EFindFileError for a folder holding wildcards.
void RunArticleSearch(const ArticleSearch& search, const std::function<void(const std::string&)>& hit);

}  // namespace kv
