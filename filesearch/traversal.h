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
    bool Listed() const { return listed_; }
    // The report count at the time of the listing.
    std::uint64_t ListedAt() const { return listedAt_; }
    // True when the folder was opened and has not been removed since.
    bool StillThere() const;

private:
    friend class Traversal;
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

class Traversal {
public:
    explicit Traversal(const SearchWork& work);
    ~Traversal();
    // The next step; false after the last. reports is the current report count, kept with a
    // folder listed on this call.
    bool Next(WalkStep& step, std::uint64_t reports);
    // Drops the rest of the folder with this serial and everything below it.
    void Prune(std::uint64_t serial);

private:
    struct Level;
    void Enter(std::string folder, std::string native, const std::string* mask, WalkStep& step);
    void List(Level& level, std::uint64_t reports);
    bool NextCandidate(Level& level, WalkStep& step);
    void KeepSubfolders(Level& level);

    const SearchWork& work_;
    std::vector<std::string> masks_;  // the name mask of each target
    size_t nextTarget_ = 0;
    std::vector<std::unique_ptr<Level>> levels_;
    std::uint64_t serials_ = 0;
};

}  // namespace kv
