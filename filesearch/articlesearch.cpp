#include "filesearch/articlesearch.h"

#include <QEventLoop>

#include "filesearch/findfile.h"

namespace kv {

void SetUpArticleSearch(TFindFile& finder, const std::string& folder, const std::string& phrase,
                        bool foldCyrillic) {
    finder.SetFilename(std::string(kArticleMask));
    finder.SetLocation(folder);
    finder.Subfolders = true;
    finder.Containing = phrase;
    finder.IgnoreCase = true;
    finder.FoldCyrillic = foldCyrillic;
    // Articles are written in either encoding.
    finder.AlsoUtf8 = true;
}

std::string HitPath(const std::string& folder, const std::string& name) {
    const bool separated = !folder.empty() && folder.back() == '/';
    return separated ? folder + name : folder + '/' + name;
}

void RunArticleSearch(const ArticleSearch& search,
                      const std::function<void(const std::string&)>& hit) {
    TFindFile finder;
    SetUpArticleSearch(finder, search.folder, search.phrase, search.foldCyrillic);
    finder.Threaded = search.threaded;
    finder.Index = search.index;
    finder.Catalogue = search.catalogue;
    finder.Documents = search.documents;
    finder.OnFound = [&hit](TFindFile*, const std::string& folder, const TSearchRec& entry) {
        hit(HitPath(folder, entry.Name));
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
