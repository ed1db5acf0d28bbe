#pragma once
// The steps of a walk between the walk and their reports, in walk order, in a queue of fixed
// size. Reader threads examine the entries in it ahead of their reports (status, filter and
// content test); the thread that reports examines the oldest one itself when no reader has
// taken it, and others while it waits for one a reader has. Each entry is examined once.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "filesearch/fileinfo.h"
#include "filesearch/traversal.h"

namespace kv {

struct SearchWork;
class SearchHost;

// A step with what the examination of its entry found.
struct QueuedStep {
    enum class State : unsigned char { Waiting, Claimed, Done };
    WalkStep step;
    State state = State::Waiting;
    bool hit = false;
    std::uint64_t examinedAt = 0;  // the report count when the examination began
    TSearchRec rec;
    std::exception_ptr failure;
};

class ReadAhead : public FolderLister {
public:
    // capacity steps at most (at least one); readers threads besides the reporting one. host
    // is only asked whether the search stopped, from any of the threads.
    ReadAhead(const SearchWork& work, const SearchHost& host, size_t capacity, unsigned readers);
    // Stops the readers and waits for them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The steps that can be pushed; the step Advance returned last counts as gone. Reporting
    // thread only, like Push and Advance.
    size_t Room() const {
        return slots_.size() - static_cast<size_t>(tail_ - head_) + (frontTaken_ ? 1 : 0);
    }
    // Queues the steps in order and empties the list.
    void Push(std::vector<WalkStep>& steps);
    // Returns the oldest step, its entry examined, after the one returned last is dropped;
    // null when none is queued.
    QueuedStep* Advance();

    // The report count: raised before and after each report, so that an odd count means one
    // is running.
    void CountReport() { reports_.fetch_add(1); }
    std::uint64_t Reports() const { return reports_.load(); }
    // True when no report ran since the step's examination began.
    bool Fresh(const QueuedStep& queued) const;
    // True when the folder was listed before the last report ran, or while it ran.
    bool ListedBeforeReport(WalkFolder& folder);

    size_t ListAheadLimit() const override { return readers_.empty() ? 0 : listAhead_; }
    void ListAhead(std::shared_ptr<WalkFolder> folder) override;
    void AwaitListing(WalkFolder& folder) override;

private:
    class Examiner;
    QueuedStep& Slot(std::uint64_t sequence) { return slots_[sequence % slots_.size()]; }
    // The oldest step waiting for examination, claimed; null if none. Under the lock.
    QueuedStep* Claim();
    // Takes out the step Advance returned last, if any, for the caller to let go of after the
    // lock (it may hold the last reference to an open folder). Under the lock.
    QueuedStep DropTaken();
    void Examine(Examiner& examiner, QueuedStep& queued, std::unique_lock<std::mutex>& lock);
    void ReaderRun();
    // Lists a claimed folder. Under the lock, which it lets go of meanwhile.
    void ListClaimed(WalkFolder& folder, std::unique_lock<std::mutex>& lock);
    // Waits until the lister is done with the folder, examining waiting entries meanwhile.
    void AwaitDone(WalkFolder& folder, std::unique_lock<std::mutex>& lock);

    const SearchWork& work_;
    const SearchHost& host_;
    std::unique_ptr<Examiner> examiner_;  // the reporting thread's
    std::atomic<std::uint64_t> reports_{0};

    mutable std::mutex mutex_;
    std::condition_variable work_ready_;  // for readers: steps to examine, or closing
    std::condition_variable done_;        // for the reporting thread: a step examined
    std::atomic<bool> closing_{false};
    std::vector<QueuedStep> slots_;
    // Sequence numbers of the oldest and the next step: changed by the reporting thread only,
    // under the lock, so it reads them without.
    std::uint64_t head_ = 0, tail_ = 0;
    bool frontTaken_ = false;                           // the oldest step was returned by Advance
    std::uint64_t claimFrom_ = 0;                       // no step before it waits for examination
    size_t waiting_ = 0;                                // entries waiting for examination
    std::deque<std::shared_ptr<WalkFolder>> listings_;  // folders to list ahead, in walk order
    size_t listAhead_ = 1;
    unsigned idleReaders_ = 0;
    size_t wakeAt_ = 1;  // waiting entries that wake an idle reader
    bool frontWaits_ = false;
    std::vector<std::thread> readers_;
};

}  // namespace kv
