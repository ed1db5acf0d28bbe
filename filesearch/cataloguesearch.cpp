#include "filesearch/cataloguesearch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "filesearch/folderscan.h"
#include "filesearch/masks.h"
#include "filesearch/scanpool.h"
#include "filesearch/walker.h"
#include "platform/codec.h"

namespace kv {
namespace {

// The target folder, open as a place to name files from, closed on every way out.
struct RootHandle {
    int fd;
    explicit RootHandle(const std::string& native)
        : fd(::open(native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~RootHandle() {
        if (fd >= 0) ::close(fd);
    }
    RootHandle(const RootHandle&) = delete;
    RootHandle& operator=(const RootHandle&) = delete;
};

// A file of the catalogue: its folder's position and its own in the folder.
struct Place {
    std::size_t folder = 0;
    std::size_t file = 0;
};

// What a search of the catalogue visits, in walk order: the files it tests and the folders it
// reports. With each file's document at hand, the files the index rules out are left out before
// the search begins, and so are the folders with no file left in their subtree: the search costs
// what its candidates cost, not what the folder count does.
struct Visit {
    std::vector<Place> files;
    std::vector<std::size_t> folders;
};

// Every file and every folder: the documents are not known, each file is looked at.
Visit VisitAll(const std::vector<SearchCatalogue::Folder>& folders) {
    Visit visit;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        visit.folders.push_back(f);
        for (std::size_t i = 0; i < folders[f].files.size(); ++i) visit.files.push_back({f, i});
    }
    return visit;
}

// Adds the folder and those above it not yet visited, outermost first; `open` holds the visited
// folders whose subtree holds the files added so far.
void VisitFolder(const std::vector<SearchCatalogue::Folder>& folders, std::size_t folder,
                 std::vector<std::size_t>& open, Visit& visit) {
    while (!open.empty() && folders[open.back()].end <= folder) open.pop_back();
    const std::size_t reached = visit.folders.size();
    for (std::size_t f = folder;
         f != SearchCatalogue::kNoFolder && (open.empty() || f != open.back());
         f = folders[f].parent)
        visit.folders.push_back(f);
    // Folders come in walk order: a folder before the folders below it.
    std::reverse(visit.folders.begin() + static_cast<std::ptrdiff_t>(reached), visit.folders.end());
    open.insert(open.end(), visit.folders.begin() + static_cast<std::ptrdiff_t>(reached),
                visit.folders.end());
}

// The candidates and the files the index does not hold, and the folders leading to them.
Visit VisitCandidates(const std::vector<SearchCatalogue::Folder>& folders,
                      const std::vector<std::int32_t>& documents,
                      const std::vector<bool>& candidates) {
    Visit visit;
    std::vector<std::size_t> open;
    std::size_t next = 0;  // in documents
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const std::size_t count = folders[f].files.size();
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t document = documents[next++];
            const auto d = static_cast<std::size_t>(document);
            if (document >= 0 && d < candidates.size() && !candidates[d]) continue;
            if (visit.folders.empty() || visit.folders.back() != f)
                VisitFolder(folders, f, open, visit);
            visit.files.push_back({f, i});
        }
    }
    return visit;
}

Visit VisitOf(const SearchWork& work) {
    const auto& folders = work.catalogue->folders;
    std::size_t files = 0;
    for (const auto& folder : folders) files += folder.files.size();
    if (work.documents && work.documents->size() == files)
        return VisitCandidates(folders, *work.documents, work.candidates);
    return VisitAll(folders);
}

class CatalogueSearch {
public:
    CatalogueSearch(const SearchWork& work, SearchHost& host, int root, std::string rootFolder);
    // Lets the helpers finish the file each is testing, then waits for them.
    ~CatalogueSearch();
    CatalogueSearch(const CatalogueSearch&) = delete;
    CatalogueSearch& operator=(const CatalogueSearch&) = delete;

    void Run();

private:
    // A file claimed for its test, by claim number modulo the lead.
    struct Slot {
        std::size_t file = 0;  // in visit_.files
        bool done = false;
        bool hit = false;
        TSearchRec rec;
        std::exception_ptr failure;
    };
    using Lock = std::unique_lock<std::mutex>;
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    void Help();
    std::size_t Claim();
    void Test(std::size_t claim, Lock& lock, ContentReader& reader);
    bool Passes(Place place, ContentReader& reader, TSearchRec& rec) const;
    Slot Await(std::size_t file);
    void WaitForReport(Lock& lock);
    void Consumed();
    void Skip(std::size_t endFolder);
    // The first file of visit_.files at or after `file` that is not below `endFolder`.
    std::size_t FirstFileFrom(std::size_t file, std::size_t endFolder) const;
    std::string FolderText(std::size_t folder) const;

    const SearchWork& work_;
    SearchHost& host_;
    const std::vector<SearchCatalogue::Folder>& folders_;
    const int root_;
    const Visit visit_;
    const std::string rootFolder_;
    ContentReader walkReader_;

    // Waking a thread costs as much as testing a small file: each side is woken only when the
    // other has something for it.
    std::mutex mutex_;
    std::condition_variable reportable_;  // the file the walk waits for is tested
    std::condition_variable room_;        // the lead has room again, or the search ends
    std::array<Slot, kCatalogueAhead> slots_;
    std::size_t cursor_ = 0;    // the first file not claimed, in visit_.files
    std::size_t claimed_ = 0;   // files claimed so far
    std::size_t reported_ = 0;  // of those, reported or skipped by the walk
    bool walkWaits_ = false;    // for the file numbered reported_
    unsigned idleHelpers_ = 0;
    bool closing_ = false;
    std::vector<std::thread> helpers_;
};

CatalogueSearch::CatalogueSearch(const SearchWork& work, SearchHost& host, int root,
                                 std::string rootFolder)
    : work_(work),
      host_(host),
      folders_(work.catalogue->folders),
      root_(root),
      visit_(VisitOf(work)),
      rootFolder_(std::move(rootFolder)),
      walkReader_(work.readBlockSize) {
    // No more helpers than files to test: a search the index answers alone starts none.
    const std::size_t helpers = std::min<std::size_t>(work.scanThreads, visit_.files.size());
    try {
        for (std::size_t i = 0; i < helpers; ++i) helpers_.emplace_back([this] { Help(); });
    } catch (const std::system_error&) {
        // Fewer helpers; the walk's thread tests whatever they leave.
    }
}

CatalogueSearch::~CatalogueSearch() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    room_.notify_all();
    for (auto& helper : helpers_) helper.join();
}

std::size_t CatalogueSearch::FirstFileFrom(std::size_t file, std::size_t endFolder) const {
    while (file < visit_.files.size() && visit_.files[file].folder < endFolder) ++file;
    return file;
}

std::string CatalogueSearch::FolderText(std::size_t folder) const {
    return rootFolder_ + folders_[folder].native;
}

// Under the lock: the claim number of the next file, or kNone when the lead is used up.
std::size_t CatalogueSearch::Claim() {
    if (cursor_ >= visit_.files.size() || claimed_ >= reported_ + kCatalogueAhead) return kNone;
    Slot& slot = slots_[claimed_ % kCatalogueAhead];
    slot = Slot();
    slot.file = cursor_++;
    return claimed_++;
}

// Tests a claimed file with the lock released.
void CatalogueSearch::Test(std::size_t claim, Lock& lock, ContentReader& reader) {
    const Place place = visit_.files[slots_[claim % kCatalogueAhead].file];
    lock.unlock();
    TSearchRec rec;
    bool hit = false;
    std::exception_ptr failure;
    try {
        hit = !host_.Stopped() && Passes(place, reader, rec);
    } catch (...) {
        // Raised again where the walk reports this file.
        failure = std::current_exception();
    }
    lock.lock();
    Slot& slot = slots_[claim % kCatalogueAhead];
    slot.hit = hit;
    slot.rec = std::move(rec);
    slot.failure = failure;
    slot.done = true;
    if (walkWaits_ && claim == reported_) reportable_.notify_one();
}

bool CatalogueSearch::Passes(Place place, ContentReader& reader, TSearchRec& rec) const {
    const auto& folder = folders_[place.folder];
    const std::string& file = folder.files[place.file];
    const std::string native = folder.native + file;
    return EntryPasses(work_, reader, root_, native.c_str(), file, FolderText(place.folder), rec);
}

void CatalogueSearch::Help() {
    ContentReader reader(work_.readBlockSize);
    int priority = SearchHost::kKeepPriority;
    Lock lock(mutex_);
    while (!closing_) {
        const std::size_t claim = Claim();
        if (claim == kNone) {
            ++idleHelpers_;
            room_.wait(lock);
            --idleHelpers_;
            continue;
        }
        FollowPriority(host_, priority);
        Test(claim, lock, reader);
    }
}

// The test of visit_.files[file], the next the walk reports: made on this thread when no
// helper has claimed it; while a helper tests it, this thread tests the next files.
CatalogueSearch::Slot CatalogueSearch::Await(std::size_t file) {
    Lock lock(mutex_);
    if (cursor_ <= file) Test(Claim(), lock, walkReader_);
    Slot& slot = slots_[reported_ % kCatalogueAhead];
    while (!slot.done) {
        const std::size_t other = Claim();
        if (other != kNone)
            Test(other, lock, walkReader_);
        else
            WaitForReport(lock);
    }
    Slot result = std::move(slot);
    Consumed();
    return result;
}

// Waits, with the lock held, until the file numbered reported_ is tested.
void CatalogueSearch::WaitForReport(Lock& lock) {
    walkWaits_ = true;
    reportable_.wait(lock);
    walkWaits_ = false;
}

// Under the lock: the file numbered reported_ is reported or dropped, its slot free again.
void CatalogueSearch::Consumed() {
    ++reported_;
    if (idleHelpers_ > 0) room_.notify_all();
}

// The walk leaves out the folders before `endFolder`: files claimed in them are waited for and
// dropped, the rest are never tested.
void CatalogueSearch::Skip(std::size_t endFolder) {
    Lock lock(mutex_);
    while (reported_ < claimed_) {
        const Slot& slot = slots_[reported_ % kCatalogueAhead];
        if (visit_.files[slot.file].folder >= endFolder) break;
        if (slot.done)
            Consumed();
        else
            WaitForReport(lock);
    }
    cursor_ = FirstFileFrom(cursor_, endFolder);
}

void CatalogueSearch::Run() {
    const auto& visited = visit_.folders;
    std::size_t file = 0;  // the next in visit_.files
    for (std::size_t v = 0; v < visited.size();) {
        if (host_.Stopped()) return;
        const std::size_t f = visited[v++];
        const std::string folder = FolderText(f);
        if (!host_.NewFolder(folder)) {
            const std::size_t end = folders_[f].end;
            Skip(end);
            while (v < visited.size() && visited[v] < end) ++v;
            file = FirstFileFrom(file, end);
            continue;
        }
        for (; file < visit_.files.size() && visit_.files[file].folder == f; ++file) {
            if (host_.Stopped()) return;
            const Slot result = Await(file);
            if (result.failure) std::rethrow_exception(result.failure);
            // A file deleted since its test, by an earlier report for instance, is gone.
            const std::string native =
                folders_[f].native + folders_[f].files[visit_.files[file].file];
            if (result.hit && ::faccessat(root_, native.c_str(), F_OK, 0) == 0)
                host_.Found(folder, result.rec);
        }
    }
}

}  // namespace

void RunCatalogueSearch(const SearchWork& work, SearchHost& host) {
    const std::string rootFolder = ExpandFolder(FolderPart(work.targets.front()));
    // Files are named from the root, which is looked up once.
    const RootHandle handle(rootFolder);
    if (handle.fd < 0) return;
    CatalogueSearch(work, host, handle.fd, rootFolder).Run();
}

}  // namespace kv
