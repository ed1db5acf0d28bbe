#include "filesearch/scanpool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "filesearch/walker.h"

namespace kv {
namespace {

// The walk's ancestors of a folder, the folder included, dropped by the walk?
bool DroppedAbove(const FolderScan& scan) {
    for (const FolderScan* at = &scan; at != nullptr; at = at->parent) {
        if (at->ignored) return true;
    }
    return false;
}

}  // namespace

unsigned DefaultScanThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u) - 1;
}

ScanPool::ScanPool(const SearchWork& work, const SearchHost& host, unsigned helpers)
    : work_(work), host_(host), walkReader_(work.readBlockSize) {
    try {
        for (unsigned i = 0; i < helpers; ++i) helpers_.emplace_back([this] { Help(); });
    } catch (const std::system_error&) {
        // Fewer helpers; the walk's thread scans whatever they leave.
    }
}

ScanPool::~ScanPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (auto& helper : helpers_) helper.join();
}

FolderScan& ScanPool::AddTarget(std::string folder, std::string native, std::string mask) {
    auto scan = std::make_unique<FolderScan>();
    scan->folder = std::move(folder);
    scan->native = std::move(native);
    scan->mask = std::move(mask);
    scan->order = {static_cast<std::uint32_t>(targets_.size())};
    targets_.push_back(std::move(scan));
    {
        std::lock_guard lock(mutex_);
        Queue(*targets_.back());
    }
    changed_.notify_all();
    return *targets_.back();
}

void ScanPool::Queue(FolderScan& scan) {
    scan.state = FolderScan::State::kPending;
    pending_.insert(&scan);
}

void ScanPool::Await(FolderScan& scan) {
    Lock lock(mutex_);
    while (scan.state != FolderScan::State::kDone) {
        FolderScan* next = nullptr;
        if (scan.state == FolderScan::State::kPending) {
            pending_.erase(&scan);
            next = &scan;
        } else if (RoomAhead() && !pending_.empty()) {
            // A helper has this one: scan the next instead of waiting idle.
            next = *pending_.begin();
            pending_.erase(pending_.begin());
        }
        if (next != nullptr) {
            Run(*next, lock, walkReader_);
        } else {
            changed_.wait(lock);
        }
    }
}

void ScanPool::Reported() {
    {
        std::lock_guard lock(mutex_);
        --ahead_;
    }
    changed_.notify_all();
}

void ScanPool::Drop(FolderScan& scan) {
    {
        Lock lock(mutex_);
        scan.ignored = true;
        DropLocked(scan, lock);
    }
    changed_.notify_all();
}

void ScanPool::DropLocked(FolderScan& scan, Lock& lock) {
    if (scan.state == FolderScan::State::kNew) return;  // never queued
    if (scan.state == FolderScan::State::kPending) {
        pending_.erase(&scan);
        scan.state = FolderScan::State::kDone;
        return;
    }
    changed_.wait(lock, [&] { return scan.state == FolderScan::State::kDone; });
    --ahead_;
    // Subfolders queued before the drop; those of a scan that ended after it stay new.
    for (const auto& subfolder : scan.subfolders) DropLocked(*subfolder, lock);
}

void ScanPool::Run(FolderScan& scan, Lock& lock, ContentReader& reader) {
    scan.state = FolderScan::State::kRunning;
    ++ahead_;
    lock.unlock();
    try {
        ScanFolder(work_, host_, reader, scan);
    } catch (...) {
        // Raised again where the walk reports this folder.
        scan.failure = std::current_exception();
    }
    lock.lock();
    scan.state = FolderScan::State::kDone;
    if (!DroppedAbove(scan)) {
        for (const auto& subfolder : scan.subfolders) Queue(*subfolder);
    }
    changed_.notify_all();
}

void ScanPool::Help() {
    ContentReader reader(work_.readBlockSize);
    int priority = SearchHost::kKeepPriority;
    Lock lock(mutex_);
    while (!closing_) {
        if (pending_.empty() || !RoomAhead()) {
            changed_.wait(lock);
            continue;
        }
        FolderScan* next = *pending_.begin();
        pending_.erase(pending_.begin());
        FollowPriority(host_, priority);
        Run(*next, lock, reader);
    }
}

void FollowPriority(const SearchHost& host, int& applied) {
    const int wanted = host.Priority();
    if (wanted == applied || wanted == SearchHost::kKeepPriority) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), wanted);
    applied = wanted;
}

}  // namespace kv
