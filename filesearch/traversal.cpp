#include "filesearch/traversal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <deque>

#include "filesearch/masks.h"
#include "filesearch/walker.h"
#include "platform/codec.h"

namespace kv {
namespace {

bool Hidden(const FolderEntry& entry) {
    return entry.name.empty() || entry.name.front() == '.';
}

// Every entry but "." and "..", in the order the file system returns them.
void ListEntries(int fd, std::vector<FolderEntry>& entries) {
    alignas(dirent64) std::array<char, 32 * 1024> buffer;
    for (;;) {
        const ssize_t got = getdents64(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += entry->d_reclen;
            const std::string_view native = entry->d_name;
            if (native == "." || native == "..") continue;
            entries.push_back({std::string(native), cp1251::fromUtf8(native), entry->d_type});
        }
    }
}

// Symbolic links to folders are not followed, so that a link cycle cannot trap the walk.
bool IsFolder(int fd, const FolderEntry& entry) {
    if (entry.type == DT_DIR) return true;
    if (entry.type != DT_UNKNOWN) return false;
    struct stat info {};
    return fstatat(fd, entry.native.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

}  // namespace

WalkFolder::~WalkFolder() {
    if (fd_ >= 0) close(fd_);
}

void WalkFolder::List(std::uint64_t reports) {
    listed_ = true;
    listedAt_ = reports;
    // A folder that vanished or cannot be read has no entries.
    fd_ = open(native_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0) ListEntries(fd_, entries_);
}

bool WalkFolder::StillThere() const {
    struct stat info {};
    // A removed folder keeps no links while it is held open.
    return fd_ >= 0 && fstat(fd_, &info) == 0 && info.st_nlink > 0;
}

struct Traversal::Level {
    std::shared_ptr<WalkFolder> folder;  // held until its candidates are all out
    std::string text, native;            // the folder's paths, for its subfolders
    const std::string* mask = nullptr;
    std::uint64_t serial = 0;
    int depth = 0;
    std::vector<FolderEntry> entries;  // candidates first, then only the subfolders
    size_t next = 0;
    bool listed = false;
    bool descending = false;
    // The next subfolders, made ahead so that they are listed ahead.
    std::deque<std::shared_ptr<WalkFolder>> ahead;
};

Traversal::Traversal(const SearchWork& work, FolderLister* lister) : work_(work), lister_(lister) {
    for (const auto& target : work.targets) masks_.emplace_back(NamePart(target));
}

Traversal::~Traversal() = default;

bool Traversal::Next(WalkStep& step, std::uint64_t reports) {
    for (;;) {
        if (levels_.empty()) {
            if (nextTarget_ == work_.targets.size()) return false;
            std::string folder = ExpandFolder(FolderPart(work_.targets[nextTarget_]));
            std::string native = cp1251::toUtf8(folder);
            Enter(std::make_shared<WalkFolder>(std::move(folder), std::move(native), 0, ++serials_),
                  &masks_[nextTarget_], step);
            ++nextTarget_;
            return true;
        }
        Level& level = *levels_.back();
        if (!level.descending) {
            if (!level.listed) List(level, reports);
            if (NextCandidate(level, step)) return true;
            KeepSubfolders(level);
        }
        if (level.next == level.entries.size()) {
            levels_.pop_back();
            continue;
        }
        std::shared_ptr<WalkFolder> folder;
        if (!level.ahead.empty()) {
            folder = std::move(level.ahead.front());
            level.ahead.pop_front();
        } else {
            folder = MakeFolder(level, level.entries[level.next]);
        }
        ++level.next;
        ListAhead(level);
        Enter(std::move(folder), level.mask, step);
        return true;
    }
}

void Traversal::Prune(std::uint64_t serial) {
    for (size_t i = 0; i < levels_.size(); ++i) {
        if (levels_[i]->serial != serial) continue;
        levels_.resize(i);
        return;
    }
}

void Traversal::Enter(std::shared_ptr<WalkFolder> folder, const std::string* mask, WalkStep& step) {
    auto level = std::make_unique<Level>();
    level->serial = folder->Serial();
    level->depth = folder->Depth();
    level->text = folder->Folder();
    level->native = folder->Native();
    level->mask = mask;
    level->folder = std::move(folder);
    step.folder = level->folder;
    step.isFolder = true;
    step.native.clear();
    step.name.clear();
    levels_.push_back(std::move(level));
}

std::shared_ptr<WalkFolder> Traversal::MakeFolder(const Level& parent, const FolderEntry& sub) {
    return std::make_shared<WalkFolder>(parent.text + sub.name + '/',
                                        parent.native + sub.native + '/', parent.depth + 1,
                                        ++serials_);
}

void Traversal::ListAhead(Level& level) {
    if (!lister_) return;
    const size_t limit = lister_->ListAheadLimit();
    while (level.ahead.size() < limit && level.next + level.ahead.size() < level.entries.size()) {
        auto folder = MakeFolder(level, level.entries[level.next + level.ahead.size()]);
        lister_->ListAhead(folder);
        level.ahead.push_back(std::move(folder));
    }
}

void Traversal::List(Level& level, std::uint64_t reports) {
    WalkFolder& folder = *level.folder;
    if (lister_) {
        lister_->AwaitListing(folder);
    } else if (!folder.Listed()) {
        folder.List(reports);
    }
    level.entries = std::move(folder.entries_);
    level.listed = true;
}

bool Traversal::NextCandidate(Level& level, WalkStep& step) {
    while (level.next < level.entries.size()) {
        const FolderEntry& entry = level.entries[level.next++];
        if (Hidden(entry) || !NameMatchesMask(entry.name, *level.mask)) continue;
        step.folder = level.folder;
        step.isFolder = false;
        step.native = entry.native;
        step.name = entry.name;
        return true;
    }
    return false;
}

void Traversal::KeepSubfolders(Level& level) {
    level.descending = true;
    level.next = 0;
    std::vector<FolderEntry> subfolders;
    if (work_.subfolders) {
        for (auto& entry : level.entries) {
            if (!Hidden(entry) && IsFolder(level.folder->Fd(), entry))
                subfolders.push_back(std::move(entry));
        }
    }
    level.entries = std::move(subfolders);
    // The open folder now stays only while its entries wait to be examined.
    level.folder.reset();
    ListAhead(level);
}

}  // namespace kv
