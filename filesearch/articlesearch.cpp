#include "filesearch/articlesearch.h"

#include <QEventLoop>

#include "filesearch/findfile.h"

namespace kv {

void RunArticleSearch(const ArticleSearch& search,
                      const std::function<void(const std::string&)>& hit) {
    TFindFile finder;
    finder.SetFilename("*.htm");
    finder.SetLocation(search.folder);
    finder.Subfolders = true;
    finder.Containing = search.phrase;
    finder.IgnoreCase = true;
    finder.FoldCyrillic = search.foldCyrillic;
    finder.Threaded = search.threaded;
    finder.OnFound = [&hit](TFindFile*, const std::string& folder, const TSearchRec& entry) {
        const bool separated = !folder.empty() && folder.back() == '/';
        hit(separated ? folder + entry.Name : folder + '/' + entry.Name);
    };
    QEventLoop loop;
    bool complete = false;
    finder.OnComplete = [&](TFindFile*) {
        complete = true;
        loop.quit();
    };
    finder.Execute();
    if (!complete) loop.exec();
}

}  // namespace kv
