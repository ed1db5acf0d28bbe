#include "filesearch/walker.h"

#include "filesearch/cataloguesearch.h"
#include "filesearch/masks.h"
#include "filesearch/scanpool.h"
#include "platform/codec.h"

namespace kv {
namespace {

// Reports the scans in walk order: a folder, its hits, then each subfolder in turn.
class Walker {
public:
    Walker(const SearchWork& work, SearchHost& host)
        : host_(host), pool_(work, host, work.scanThreads) {}

    void Walk(const std::string& folder, const std::string& mask) {
        Walk(pool_.AddTarget(folder, folder, mask));
    }

private:
    void Walk(FolderScan& scan);
    void ReportHits(const FolderScan& scan);

    SearchHost& host_;
    ScanPool pool_;
};

void Walker::Walk(FolderScan& scan) {
    if (!host_.NewFolder(scan.folder) || host_.Stopped()) {
        pool_.Drop(scan);
        return;
    }
    pool_.Await(scan);
    if (scan.failure) std::rethrow_exception(scan.failure);
    ReportHits(scan);
    pool_.Reported();
    for (auto& subfolder : scan.subfolders) {
        if (host_.Stopped()) return;
        Walk(*subfolder);
        // Reported or dropped, no helper holds it any more; after a stop the pool frees what is
        // left once its helpers have ended.
        if (host_.Stopped()) return;
        subfolder.reset();
    }
}

void Walker::ReportHits(const FolderScan& scan) {
    for (const auto& hit : scan.hits) {
        if (host_.Stopped()) return;
        // A file deleted since its scan, by an earlier report for instance, is gone.
        if (StillThere(scan, hit)) host_.Found(scan.folder, hit.rec);
    }
}

bool AttributesPass(const SearchWork& work, std::uint32_t attr) {
    if (work.exactAttribute) return attr == work.attributeMask;
    return attr == 0 || (attr & work.attributeMask) != 0;
}

bool SizePasses(const SearchWork& work, const TSearchRec& entry) {
    if ((entry.Attr & faDirectory) != 0) return true;
    return (work.sizeMin == 0 || entry.Size >= work.sizeMin) &&
           (work.sizeMax == 0 || entry.Size <= work.sizeMax);
}

bool TimePasses(const timespec& time, TDateTime after, TDateTime before) {
    if (after == 0 && before == 0) return true;
    return DateInBounds(ToLocalDateTime(time), after, before);
}

}  // namespace

bool PassesFilter(const SearchWork& work, const std::string& folder, const TSearchRec& entry) {
    if (!AttributesPass(work, entry.Attr)) return false;
    if (!SizePasses(work, entry)) return false;
    const TFindData& data = entry.FindData;
    if (!TimePasses(data.CreationTime, work.createdAfter, work.createdBefore)) return false;
    if (!TimePasses(data.LastWriteTime, work.modifiedAfter, work.modifiedBefore)) return false;
    if (!TimePasses(data.LastAccessTime, work.accessedAfter, work.accessedBefore)) return false;
    if (!work.excludes.empty()) {
        const std::string path = folder + entry.Name;
        for (const auto& mask : work.excludes) {
            if (PathMatchesMask(path, mask)) return false;
        }
    }
    return true;
}

void RunSearch(const SearchWork& work, SearchHost& host) {
    if (work.catalogue) {
        RunCatalogueSearch(work, host);
        return;
    }
    Walker walker(work, host);
    for (const auto& target : work.targets) {
        if (host.Stopped()) return;
        walker.Walk(ExpandFolder(FolderPart(target)), std::string(NamePart(target)));
    }
}

}  // namespace kv
