#include "filesearch/traversal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>

#include "filesearch/masks.h"
#include "filesearch/walker.h"
#include "platform/codec.h"

namespace kv {
namespace {

struct FolderEntry {
    std::string native;  // name as stored on disk
    std::string name;    // Windows-1251
    unsigned char type;  // DT_*
};

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
    std::vector<FolderEntry> entries;  // candidates first, then only the subfolders
    size_t next = 0;
    bool descending = false;
};

Traversal::Traversal(const SearchWork& work) : work_(work) {
    for (const auto& target : work.targets) masks_.emplace_back(NamePart(target));
}

Traversal::~Traversal() = default;

bool Traversal::Next(WalkStep& step, std::uint64_t reports) {
    for (;;) {
        if (levels_.empty()) {
            if (nextTarget_ == work_.targets.size()) return false;
            const std::string folder = ExpandFolder(FolderPart(work_.targets[nextTarget_]));
            Enter(folder, cp1251::toUtf8(folder), &masks_[nextTarget_], step);
            ++nextTarget_;
            return true;
        }
        Level& level = *levels_.back();
        if (!level.descending) {
            if (!level.folder->Listed()) List(level, reports);
            if (NextCandidate(level, step)) return true;
            KeepSubfolders(level);
        }
        if (level.next == level.entries.size()) {
            levels_.pop_back();
            continue;
        }
        const FolderEntry& sub = level.entries[level.next++];
        Enter(level.text + sub.name + '/', level.native + sub.native + '/', level.mask, step);
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

void Traversal::Enter(std::string folder, std::string native, const std::string* mask,
                      WalkStep& step) {
    auto level = std::make_unique<Level>();
    level->serial = ++serials_;
    level->text = folder;
    level->native = native;
    level->mask = mask;
    level->folder = std::make_shared<WalkFolder>(std::move(folder), std::move(native),
                                                 static_cast<int>(levels_.size()), level->serial);
    step.folder = level->folder;
    step.isFolder = true;
    step.native.clear();
    step.name.clear();
    levels_.push_back(std::move(level));
}

void Traversal::List(Level& level, std::uint64_t reports) {
    WalkFolder& folder = *level.folder;
    folder.listed_ = true;
    folder.listedAt_ = reports;
    // A folder that vanished or cannot be read has no entries.
    folder.fd_ = open(folder.Native().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd_ >= 0) ListEntries(folder.fd_, level.entries);
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
}

}  // namespace kv
