#pragma once
// One folder of a search, scanned on any thread ahead of its reports: its entries that pass
// the filter (content test included) and its subfolders, in the order the file system lists
// them. The scan touches no report: the walk reports it later, in walk order.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "filesearch/content.h"
#include "filesearch/fileinfo.h"

namespace kv {

struct SearchWork;
class SearchHost;

struct FolderScan {
    struct Hit {
        std::string native;  // name as stored on disk
        TSearchRec rec;      // as read when the entry was filtered
    };
    // Where the scan stands; kept by the pool that schedules it.
    enum class State { kNew, kPending, kRunning, kDone };

    std::string folder;  // Windows-1251, ends in '/'
    std::string native;  // as named on disk, ends in '/'
    std::string mask;    // name mask of the target
    FolderScan* parent = nullptr;
    // Positions from the target list down to this folder: ordering these orders folders as
    // the walk reports them.
    std::vector<std::uint32_t> order;

    // Written by the scanning thread, read by the walk once the scan is done.
    std::vector<Hit> hits;
    std::vector<std::unique_ptr<FolderScan>> subfolders;
    std::exception_ptr failure;

    // Guarded by the pool.
    State state = State::kNew;
    bool ignored = false;  // the walk was told to skip this folder and everything below it

    void AddSubfolder(std::string folderName, std::string nativeName);
};

// Lists the folder and filters its entries. A folder that cannot be listed gives an empty
// scan; files that cannot be read are no hits. Stops early once host.Stopped().
void ScanFolder(const SearchWork& work, const SearchHost& host, ContentReader& reader,
                FolderScan& scan);

// The test of an entry whose name matches the target's mask: its data (filled into rec), the
// filter and, for a file, the index and the phrase. `native` is relative to dirFd; `folder`
// (Windows-1251) holds the entry.
bool EntryPasses(const SearchWork& work, ContentReader& reader, int dirFd, const char* native,
                 const std::string& name, const std::string& folder, TSearchRec& rec);

// True while the hit still names an entry on disk: a file deleted after its scan, for
// example by a report before it, is not reported.
bool StillThere(const FolderScan& scan, const FolderScan::Hit& hit);

}  // namespace kv
