#pragma once
// Scans the folders of a search ahead of the walk that reports them, on helper threads and on
// the walk's own thread, earliest folder in walk order first. At most a fixed number of
// folders are scanned and not yet reported, so memory stays bounded however far the helpers
// could run ahead; every file is read once, by whichever thread scans its folder.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "filesearch/content.h"
#include "filesearch/folderscan.h"

namespace kv {

struct SearchWork;
class SearchHost;

// Helper threads for a machine with that many cores: all but the walk's own, at most three.
unsigned DefaultScanThreads();

// Puts the calling helper thread at the priority the search's own thread was given, when it
// changed since `applied` (the value last put).
void FollowPriority(const SearchHost& host, int& applied);

class ScanPool {
public:
    // Folders begun and not yet reported, at most.
    static constexpr size_t kMaxAhead = 64;

    // Starts the helpers (fewer when the system refuses more; none is fine).
    ScanPool(const SearchWork& work, const SearchHost& host, unsigned helpers);
    // Lets the helpers finish the folder each is scanning, then waits for them.
    ~ScanPool();
    ScanPool(const ScanPool&) = delete;
    ScanPool& operator=(const ScanPool&) = delete;

    // The root folder of one target (folder and native end in '/'); targets in list order.
    FolderScan& AddTarget(std::string folder, std::string native, std::string mask);

    // The walk's side, on one thread. Returns once the folder is scanned, scanning it (or
    // another folder, while a helper scans this one) on the calling thread.
    void Await(FolderScan& scan);
    // The walk has reported the hits of a folder it awaited: that folder no longer counts as
    // ahead.
    void Reported();
    // The folder and everything below it will not be reported: folders not begun are dropped,
    // folders being scanned are waited for. Afterwards nothing below it is touched by a helper.
    void Drop(FolderScan& scan);

private:
    struct EarlierInWalk {
        bool operator()(const FolderScan* a, const FolderScan* b) const {
            return a->order < b->order;
        }
    };
    using Lock = std::unique_lock<std::mutex>;

    void Help();
    void Queue(FolderScan& scan);
    // Scans with the lock released; queues the subfolders unless the folder was dropped.
    void Run(FolderScan& scan, Lock& lock, ContentReader& reader);
    bool RoomAhead() const { return ahead_ < kMaxAhead; }
    void DropLocked(FolderScan& scan, Lock& lock);

    const SearchWork& work_;
    const SearchHost& host_;
    ContentReader walkReader_;  // the walk thread's
    std::vector<std::unique_ptr<FolderScan>> targets_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<FolderScan*, EarlierInWalk> pending_;
    size_t ahead_ = 0;  // folders begun and not yet reported or dropped
    bool closing_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace kv
