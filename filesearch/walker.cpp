#include "filesearch/walker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <thread>

#include "filesearch/masks.h"
#include "filesearch/readahead.h"
#include "filesearch/traversal.h"

namespace kv {
namespace {

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

// The walk, its queue of steps examined ahead, and the reports in walk order.
class Search {
public:
    Search(const SearchWork& work, SearchHost& host)
        : host_(host),
          queue_(work, host, work.readAhead, work.readAhead == 0 ? 0 : work.readers),
          traversal_(work, &queue_) {}

    void Run() {
        while (!host_.Stopped()) {
            Fill();
            const QueuedStep* front = queue_.Advance();
            if (!front) return;
            Report(*front);
        }
    }

private:
    void Fill() {
        for (size_t room = queue_.Room(); !walked_ && room > 0; --room) {
            WalkStep& step = steps_.emplace_back();
            if (!traversal_.Next(step, queue_.Reports())) {
                steps_.pop_back();
                walked_ = true;
            }
        }
        if (!steps_.empty()) queue_.Push(steps_);
    }

    void Report(const QueuedStep& queued) {
        const WalkStep& step = queued.step;
        if (step.Depth() > skipBelow_) return;  // in a folder turned away
        skipBelow_ = INT_MAX;
        if (step.isFolder) return ReportFolder(*step.folder);
        if (queued.failure) std::rethrow_exception(queued.failure);
        if (!queued.hit || host_.Stopped()) return;
        if (!queue_.Fresh(queued) && !StillThere(step)) return;
        Counted counted(queue_);
        host_.Found(step.folder->Folder(), queued.rec);
    }

    void ReportFolder(WalkFolder& folder) {
        bool search = false;
        if (host_.QuietFolders()) {
            search = host_.NewFolder(folder.Folder());
        } else {
            Counted counted(queue_);
            search = host_.NewFolder(folder.Folder());
        }
        // A folder listed before its report is searched only if it is still there after it.
        if (search && !host_.Stopped() &&
            !(queue_.ListedBeforeReport(folder) && !folder.StillThere()))
            return;
        traversal_.Prune(folder.Serial());
        skipBelow_ = folder.Depth();
    }

    static bool StillThere(const WalkStep& step) {
        struct stat info {};
        return fstatat(step.folder->Fd(), step.native.c_str(), &info, 0) == 0 &&
               (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
    }

    // Counts a report on both of its ends.
    class Counted {
    public:
        explicit Counted(ReadAhead& queue) : queue_(queue) { queue_.CountReport(); }
        ~Counted() { queue_.CountReport(); }
        Counted(const Counted&) = delete;
        Counted& operator=(const Counted&) = delete;

    private:
        ReadAhead& queue_;
    };

    SearchHost& host_;
    ReadAhead queue_;
    Traversal traversal_;
    std::vector<WalkStep> steps_;  // walked, not queued yet
    bool walked_ = false;
    int skipBelow_ = INT_MAX;  // steps deeper than this belong to a folder turned away
};

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

unsigned SearchWork::DefaultReaders() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u) - 1;
}

void RunSearch(const SearchWork& work, SearchHost& host) {
    Search search(work, host);
    search.Run();
}

}  // namespace kv
