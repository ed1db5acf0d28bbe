#include "filesearch/readahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "filesearch/walker.h"

namespace kv {
namespace {

constexpr std::uint32_t kEnumeratedOnRequest = faHidden | faSysFile | faDirectory;
// Subfolders are enumerated with read-only, hidden, folder and archive, which leaves out only
// system folders; no folder is a system folder here, so every folder qualifies.

}  // namespace

// Examines entries with its own read buffer: one per thread.
class ReadAhead::Examiner {
public:
    Examiner(const SearchWork& work, const SearchHost& host, const std::atomic<bool>& closing)
        : work_(work), host_(host), reader_(work.readBlockSize) {
        reader_.SetStopCheck([this, &closing] { return closing || host_.Stopped(); });
    }

    // Fills the step's record and tells whether it is a hit. Nothing is examined once the
    // search has stopped.
    void Run(QueuedStep& queued) {
        queued.hit = false;
        if (host_.Stopped()) return;
        const WalkStep& step = queued.step;
        const int fd = step.folder->Fd();
        TSearchRec& rec = queued.rec;
        if (work_.examined) work_.examined->fetch_add(1, std::memory_order_relaxed);
        if (!ReadEntry(fd, step.native.c_str(), step.name, rec)) return;
        // The enumeration delivers folders, hidden and system entries only when asked for.
        if ((rec.Attr & kEnumeratedOnRequest & ~work_.attributeMask) != 0) return;
        if (!PassesFilter(work_, step.folder->Folder(), rec)) return;
        queued.hit = ContentMatches(fd, step.native.c_str(), rec);
    }

private:
    bool ContentMatches(int fd, const char* native, const TSearchRec& rec) {
        if (!work_.phrase || (rec.Attr & faDirectory) != 0) return true;
        // A file that cannot be opened is no hit; the search goes on.
        return reader_.Contains(fd, native, *work_.phrase) == ContentReader::Result::Found;
    }

    const SearchWork& work_;
    const SearchHost& host_;
    ContentReader reader_;
};

ReadAhead::ReadAhead(const SearchWork& work, const SearchHost& host, size_t capacity,
                     unsigned readers)
    : work_(work),
      host_(host),
      examiner_(std::make_unique<Examiner>(work, host, closing_)),
      slots_(std::max<size_t>(capacity, 1)) {
    // An idle reader is woken for a few entries at once, not for each one.
    wakeAt_ = std::clamp<size_t>(slots_.size() / 8, 1, 8);
    listAhead_ = std::clamp<size_t>(slots_.size() / 8, 1, 8);
    for (unsigned i = 0; i < readers && slots_.size() > 1; ++i) {
        try {
            readers_.emplace_back([this] { ReaderRun(); });
        } catch (const std::system_error&) {
            break;  // fewer readers; the reporting thread examines what they leave
        }
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    for (auto& reader : readers_) reader.join();
}

void ReadAhead::Push(std::vector<WalkStep>& steps) {
    bool wake = false;
    QueuedStep dropped;
    {
        std::lock_guard lock(mutex_);
        dropped = DropTaken();
        const bool below = waiting_ < wakeAt_;
        for (auto& step : steps) {
            QueuedStep& queued = Slot(tail_++);
            queued.step = std::move(step);
            queued.state = QueuedStep::State::Waiting;
            if (!queued.step.isFolder) ++waiting_;
        }
        // Once as the waiting entries reach the mark, not for each one after it.
        wake = idleReaders_ > 0 && below && waiting_ >= wakeAt_;
    }
    steps.clear();
    if (wake) work_ready_.notify_one();
}

QueuedStep* ReadAhead::Advance() {
    QueuedStep dropped;
    std::unique_lock lock(mutex_);
    dropped = DropTaken();
    if (head_ == tail_) return nullptr;
    QueuedStep& front = Slot(head_);
    while (!front.step.isFolder && front.state != QueuedStep::State::Done) {
        // The front itself when no reader has it, else another entry while a reader has it.
        if (QueuedStep* next = Claim()) {
            Examine(*examiner_, *next, lock);
            continue;
        }
        frontWaits_ = true;
        done_.wait(lock, [&] { return front.state == QueuedStep::State::Done; });
        frontWaits_ = false;
    }
    frontTaken_ = true;
    // A hit's handler may take long: an idle reader takes over what waits meanwhile.
    const bool wake = idleReaders_ > 0 && waiting_ > 0 && front.hit;
    lock.unlock();
    if (wake) work_ready_.notify_one();
    return &front;
}

QueuedStep ReadAhead::DropTaken() {
    if (!frontTaken_) return {};
    // No reader touches a step that is examined or a folder.
    QueuedStep dropped = std::exchange(Slot(head_), QueuedStep());
    ++head_;
    claimFrom_ = std::max(claimFrom_, head_);
    frontTaken_ = false;
    return dropped;
}

bool ReadAhead::Fresh(const QueuedStep& queued) const {
    return queued.examinedAt % 2 == 0 && queued.examinedAt == reports_.load();
}

QueuedStep* ReadAhead::Claim() {
    for (; claimFrom_ < tail_; ++claimFrom_) {
        QueuedStep& queued = Slot(claimFrom_);
        if (queued.step.isFolder || queued.state != QueuedStep::State::Waiting) continue;
        queued.state = QueuedStep::State::Claimed;
        --waiting_;
        ++claimFrom_;
        return &queued;
    }
    return nullptr;
}

void ReadAhead::Examine(Examiner& examiner, QueuedStep& queued,
                        std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    queued.examinedAt = reports_.load();
    try {
        examiner.Run(queued);
    } catch (...) {
        queued.failure = std::current_exception();
    }
    lock.lock();
    queued.state = QueuedStep::State::Done;
}

void ReadAhead::ListAhead(std::shared_ptr<WalkFolder> folder) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        folder->listing = WalkFolder::Listing::Waiting;
        listings_.push_back(std::move(folder));
        wake = idleReaders_ > 0 && listings_.size() == wakeAt_;
    }
    if (wake) work_ready_.notify_one();
}

void ReadAhead::AwaitListing(WalkFolder& folder) {
    std::unique_lock lock(mutex_);
    switch (folder.listing) {
    case WalkFolder::Listing::None:
        lock.unlock();
        folder.List(reports_.load());
        return;
    case WalkFolder::Listing::Waiting: {
        folder.listing = WalkFolder::Listing::Claimed;
        // Out of the readers' list at once, which would otherwise keep it open.
        const auto queued = std::find_if(listings_.begin(), listings_.end(),
                                         [&](const auto& item) { return item.get() == &folder; });
        std::shared_ptr<WalkFolder> taken;
        if (queued != listings_.end()) {
            taken = std::move(*queued);
            listings_.erase(queued);
        }
        ListClaimed(folder, lock);
        return;
    }
    case WalkFolder::Listing::Claimed: AwaitDone(folder, lock); return;
    case WalkFolder::Listing::Done: return;
    }
}

bool ReadAhead::ListedBeforeReport(WalkFolder& folder) {
    std::unique_lock lock(mutex_);
    if (folder.listing == WalkFolder::Listing::Waiting) return false;  // listed after it
    if (folder.listing == WalkFolder::Listing::Claimed) AwaitDone(folder, lock);
    const std::uint64_t at = folder.ListedAt();
    return folder.Listed() && (at % 2 != 0 || at != reports_.load());
}

void ReadAhead::ListClaimed(WalkFolder& folder, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    folder.List(reports_.load());
    lock.lock();
    folder.listing = WalkFolder::Listing::Done;
}

void ReadAhead::AwaitDone(WalkFolder& folder, std::unique_lock<std::mutex>& lock) {
    while (folder.listing != WalkFolder::Listing::Done) {
        if (QueuedStep* next = Claim()) {
            Examine(*examiner_, *next, lock);
            continue;
        }
        frontWaits_ = true;
        done_.wait(lock, [&] { return folder.listing == WalkFolder::Listing::Done; });
        frontWaits_ = false;
    }
}

void ReadAhead::ReaderRun() {
    Examiner examiner(work_, host_, closing_);
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (QueuedStep* queued = Claim()) {
            Examine(examiner, *queued, lock);
            if (frontWaits_) done_.notify_one();
            continue;
        }
        if (!listings_.empty()) {
            const std::shared_ptr<WalkFolder> folder = std::move(listings_.front());
            listings_.pop_front();
            if (folder->listing != WalkFolder::Listing::Waiting || host_.Stopped()) continue;
            folder->listing = WalkFolder::Listing::Claimed;
            ListClaimed(*folder, lock);
            if (frontWaits_) done_.notify_one();
            continue;
        }
        ++idleReaders_;
        work_ready_.wait(lock);
        --idleReaders_;
    }
}

}  // namespace kv
