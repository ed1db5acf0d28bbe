#pragma once
// The walk of a search: the folders of each target, the filter of each entry and the report
// of each hit. The same walk runs on the calling thread and on the worker thread; only the way
// it reports differs (SearchHost). Entries are examined ahead of their reports by reader
// threads; the reports keep walk order and run on the thread that runs the walk.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    size_t readBlockSize = ContentReader::kDefaultBlockSize;
    // Steps of the walk examined ahead of their reports at most; 0: none, every entry is
    // examined just before its report, on the walk's thread.
    size_t readAhead = kDefaultReadAhead;
    unsigned readers = DefaultReaders();      // threads that examine ahead
    std::atomic<size_t>* examined = nullptr;  // counts the entries examined, if given

    static constexpr size_t kDefaultReadAhead = 64;
    // One reader for each core but the walk's, up to three.
    static unsigned DefaultReaders();
};

// Where the walk reports to. Folders are Windows-1251 and end in '/'.
class SearchHost {
public:
    virtual ~SearchHost() = default;
    // True when the folder is to be searched.
    virtual bool NewFolder(const std::string& folder) = 0;
    virtual void Found(const std::string& folder, const TSearchRec& entry) = 0;
    // True once the search is to stop; polled between entries, from any thread of the search.
    virtual bool Stopped() const = 0;
    // True when a folder's report runs no code but the walk's: then nothing can change between
    // the listing of a folder and its report.
    virtual bool QuietFolders() const { return false; }
};

// Walks every target in order. Folders that cannot be listed and files that cannot be read are
// skipped; the walk goes on with the next entry. An entry examined before a report ran is
// reported only if it is still there; a folder listed before its own report only if it was
// not removed meanwhile.
void RunSearch(const SearchWork& work, SearchHost& host);

// The filter without the content test (attributes, size, times, exclusion), for one entry
// found in folder.
bool PassesFilter(const SearchWork& work, const std::string& folder, const TSearchRec& entry);

}  // namespace kv
