#pragma once
// The walk of a search: the folders of each target, the filter of each entry and the report
// of each hit. The same walk runs on the calling thread and on the worker thread; only the way
// it reports differs (SearchHost). Folders are scanned ahead on helper threads (ScanPool); the
// reports still come in walk order, from the walk's thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cache/trigramindex.h"
#include "filesearch/catalogue.h"
#include "filesearch/content.h"
#include "filesearch/fileinfo.h"

namespace kv {

// Copies of the settings a running search works with, taken when it starts.
struct SearchWork {
    std::uint32_t attributeMask = 0;
    bool exactAttribute = false;
    bool subfolders = true;
    std::vector<std::string> targets;   // full path masks (folder + name mask)
    std::vector<std::string> excludes;  // exclusion masks
    TDateTime createdBefore = 0, createdAfter = 0;
    TDateTime modifiedBefore = 0, modifiedAfter = 0;
    TDateTime accessedBefore = 0, accessedAfter = 0;
    std::int32_t sizeMin = 0, sizeMax = 0;
    std::unique_ptr<PhraseMatcher> phrase;  // none: no content test
    // The search's index, when it can tell for the phrase: a file it holds as it is now and
    // rules out (candidates[document] false) does not hold the phrase and is not read.
    std::shared_ptr<const cache::TrigramIndex> index;
    std::vector<bool> candidates;
    // With the index, the files of the only target as its start-up walk listed them: the
    // search takes them from here and lists no folder.
    std::shared_ptr<const SearchCatalogue> catalogue;
    // With the catalogue, each of its files' documents (CatalogueDocuments), when handed over:
    // the search then visits only the files left to test and the folders leading to them.
    std::shared_ptr<const std::vector<std::int32_t>> documents;
    size_t readBlockSize = ContentReader::kDefaultBlockSize;
    unsigned scanThreads = 0;  // helper threads scanning ahead of the walk
};

// Where the walk reports to. Folders are Windows-1251 and end in '/'.
class SearchHost {
public:
    virtual ~SearchHost() = default;
    // True when the folder is to be searched.
    virtual bool NewFolder(const std::string& folder) = 0;
    virtual void Found(const std::string& folder, const TSearchRec& entry) = 0;
    // True once the search is to stop; polled between entries, from any of the search's threads.
    virtual bool Stopped() const = 0;

    static constexpr int kKeepPriority = -1000;
    // The nice value the search's threads are to run at, or kKeepPriority; any thread.
    virtual int Priority() const { return kKeepPriority; }
};

// Walks every target in order (or the catalogue's folders, when the work has one). Folders that
// cannot be listed and files that cannot be read are skipped; the walk goes on with the next entry.
void RunSearch(const SearchWork& work, SearchHost& host);

// The filter without the content test (attributes, size, times, exclusion), for one entry
// found in folder.
bool PassesFilter(const SearchWork& work, const std::string& folder, const TSearchRec& entry);

}  // namespace kv
