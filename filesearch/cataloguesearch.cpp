#include "filesearch/cataloguesearch.h"

#include <fcntl.h>
#include <unistd.h>

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
    auto operator<=>(const Place&) const = default;
};

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
        Place place;
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
    Slot Await(Place place);
    void WaitForReport(Lock& lock);
    void Consumed();
    void Skip(std::size_t endFolder);
    std::string FolderText(std::size_t folder) const;
    // The first place at or after `place` that names a file.
    Place Settle(Place place) const;

    const SearchWork& work_;
    SearchHost& host_;
    const std::vector<SearchCatalogue::Folder>& folders_;
    const int root_;
    // The catalogue's files' documents, when they fit the catalogue; each folder's first file.
    const std::vector<std::int32_t>* documents_ = nullptr;
    std::vector<std::size_t> firstFile_;
    const std::string rootFolder_;
    ContentReader walkReader_;

    // Waking a thread costs as much as testing a small file: each side is woken only when the
    // other has something for it.
    std::mutex mutex_;
    std::condition_variable reportable_;  // the file the walk waits for is tested
    std::condition_variable room_;        // the lead has room again, or the search ends
    std::array<Slot, kCatalogueAhead> slots_;
    Place cursor_;              // the first file not claimed
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
      rootFolder_(std::move(rootFolder)),
      walkReader_(work.readBlockSize),
      cursor_(Settle({})) {
    std::size_t files = 0;
    for (const auto& folder : folders_) {
        firstFile_.push_back(files);
        files += folder.files.size();
    }
    if (work.documents && work.documents->size() == files) documents_ = work.documents.get();
    try {
        for (unsigned i = 0; i < work.scanThreads; ++i) helpers_.emplace_back([this] { Help(); });
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

Place CatalogueSearch::Settle(Place place) const {
    while (place.folder < folders_.size() && place.file >= folders_[place.folder].files.size())
        place = {place.folder + 1, 0};
    return place;
}

std::string CatalogueSearch::FolderText(std::size_t folder) const {
    return rootFolder_ + cp1251::fromUtf8(folders_[folder].native);
}

// Under the lock: the claim number of the next file, or kNone when the lead is used up.
std::size_t CatalogueSearch::Claim() {
    if (cursor_.folder >= folders_.size() || claimed_ >= reported_ + kCatalogueAhead) return kNone;
    Slot& slot = slots_[claimed_ % kCatalogueAhead];
    slot = Slot();
    slot.place = cursor_;
    cursor_ = Settle({cursor_.folder, cursor_.file + 1});
    return claimed_++;
}

// Tests a claimed file with the lock released.
void CatalogueSearch::Test(std::size_t claim, Lock& lock, ContentReader& reader) {
    const Place place = slots_[claim % kCatalogueAhead].place;
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
    if (documents_) {
        const std::int32_t document = (*documents_)[firstFile_[place.folder] + place.file];
        if (document >= 0 && !work_.candidates[static_cast<std::size_t>(document)]) return false;
    }
    const auto& folder = folders_[place.folder];
    const std::string& file = folder.files[place.file];
    const std::string native = folder.native + file;
    return EntryPasses(work_, reader, root_, native.c_str(), cp1251::fromUtf8(file),
                       FolderText(place.folder), rec);
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

// The test of the file at `place`, the next the walk reports: made on this thread when no
// helper has claimed it; while a helper tests it, this thread tests the next files.
CatalogueSearch::Slot CatalogueSearch::Await(Place place) {
    Lock lock(mutex_);
    if (cursor_ <= place) Test(Claim(), lock, walkReader_);
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
        if (slot.place.folder >= endFolder) break;
        if (slot.done)
            Consumed();
        else
            WaitForReport(lock);
    }
    if (cursor_.folder < endFolder) cursor_ = Settle({endFolder, 0});
}

void CatalogueSearch::Run() {
    for (std::size_t f = 0; f < folders_.size();) {
        if (host_.Stopped()) return;
        const std::string folder = FolderText(f);
        if (!host_.NewFolder(folder)) {
            Skip(folders_[f].end);
            f = folders_[f].end;
            continue;
        }
        for (std::size_t i = 0; i < folders_[f].files.size(); ++i) {
            if (host_.Stopped()) return;
            const Slot result = Await({f, i});
            if (result.failure) std::rethrow_exception(result.failure);
            // A file deleted since its test, by an earlier report for instance, is gone.
            const std::string native = folders_[f].native + folders_[f].files[i];
            if (result.hit && ::faccessat(root_, native.c_str(), F_OK, 0) == 0)
                host_.Found(folder, result.rec);
        }
        ++f;
    }
}

}  // namespace

void RunCatalogueSearch(const SearchWork& work, SearchHost& host) {
    const std::string rootFolder = ExpandFolder(FolderPart(work.targets.front()));
    // Files are named from the root, which is looked up once.
    const RootHandle handle(cp1251::toUtf8(rootFolder));
    if (handle.fd < 0) return;
    CatalogueSearch(work, host, handle.fd, rootFolder).Run();
}

}  // namespace kv
