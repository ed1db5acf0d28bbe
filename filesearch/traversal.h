#pragma once
// The walk of a search as a sequence of steps in report order: a folder, then the entries of
// it whose names match the mask, then the same for each subfolder in turn. A folder is listed
// only when the walk needs its entries, so the walk can run ahead of the reports or keep step
// with them; a folder that its report turns away is pruned before it is listed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

struct SearchWork;

struct FolderEntry {
    std::string native;  // name as stored on disk
    std::string name;    // Windows-1251
    unsigned char type;  // DT_*
};

// A folder of the walk. The entries of it that wait to be examined share it, and with it the
// open folder they are examined relative to.
class WalkFolder {
public:
    WalkFolder(std::string folder, std::string native, int depth, std::uint64_t serial)
        : folder_(std::move(folder)), native_(std::move(native)), depth_(depth), serial_(serial) {}
    ~WalkFolder();
    WalkFolder(const WalkFolder&) = delete;
    WalkFolder& operator=(const WalkFolder&) = delete;

    const std::string& Folder() const { return folder_; }  // Windows-1251, ends in '/'
    const std::string& Native() const { return native_; }
    int Depth() const { return depth_; }
    std::uint64_t Serial() const { return serial_; }
    // The open folder, -1 when it is not listed yet or could not be opened.
    int Fd() const { return fd_; }
    // Whether and when (at which report count) it was listed: read by the walk's thread once
    // it knows that no other thread lists it.
    bool Listed() const { return listed_; }
    std::uint64_t ListedAt() const { return listedAt_; }
    // True when the folder was opened and has not been removed since.
    bool StillThere() const;

    // Opens and lists the folder, on any thread; reports is the report count as it begins.
    void List(std::uint64_t reports);
    // Where a listing ahead stands; kept by the lister, under its lock.
    enum class Listing : unsigned char { None, Waiting, Claimed, Done };
    Listing listing = Listing::None;

private:
    friend class Traversal;
    std::vector<FolderEntry> entries_;  // listed, not taken by the walk yet
    std::string folder_;
    std::string native_;
    int depth_;
    std::uint64_t serial_;
    int fd_ = -1;
    bool listed_ = false;
    std::uint64_t listedAt_ = 0;
};

// One step of the walk: a folder, or one entry of a folder.
struct WalkStep {
    std::shared_ptr<WalkFolder> folder;
    bool isFolder = false;
    std::string native;  // the entry's name as stored on disk
    std::string name;    // the entry's name, Windows-1251
    int Depth() const { return isFolder ? folder->Depth() : folder->Depth() + 1; }
};

// Lists folders ahead of the walk on other threads.
class FolderLister {
public:
    virtual ~FolderLister() = default;
    // The folders the walk asks to be listed ahead at most.
    virtual size_t ListAheadLimit() const = 0;
    // Queues the folder for listing.
    virtual void ListAhead(std::shared_ptr<WalkFolder> folder) = 0;
    // Returns once the folder is listed, listing it on this thread if no one has begun.
    virtual void AwaitListing(WalkFolder& folder) = 0;
};

class Traversal {
public:
    // lister: none lists every folder on the walk's thread.
    Traversal(const SearchWork& work, FolderLister* lister);
    ~Traversal();
    // The next step; false after the last. reports is the current report count, kept with a
    // folder listed on this call.
    bool Next(WalkStep& step, std::uint64_t reports);
    // Drops the rest of the folder with this serial and everything below it.
    void Prune(std::uint64_t serial);

private:
    struct Level;
    void Enter(std::shared_ptr<WalkFolder> folder, const std::string* mask, WalkStep& step);
    void List(Level& level, std::uint64_t reports);
    bool NextCandidate(Level& level, WalkStep& step);
    void KeepSubfolders(Level& level);
    std::shared_ptr<WalkFolder> MakeFolder(const Level& parent, const FolderEntry& sub);
    void ListAhead(Level& level);

    const SearchWork& work_;
    FolderLister* lister_;
    std::vector<std::string> masks_;  // the name mask of each target
    size_t nextTarget_ = 0;
    std::vector<std::unique_ptr<Level>> levels_;
    std::uint64_t serials_ = 0;
};

}  // namespace kv
