#include "filesearch/walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filesearch/masks.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr std::uint32_t kEnumeratedOnRequest = faHidden | faSysFile | faDirectory;
// Subfolders are enumerated with read-only, hidden, folder and archive, which leaves out only
// system folders; no folder is a system folder here, so every folder qualifies.

struct FolderEntry {
    std::string native;  // name as stored on disk
    std::string name;    // Windows-1251
    unsigned char type;  // DT_*
};

// An open folder: its entries are read once, and the entries are examined relative to it.
// Closed on every way out.
class FolderHandle {
public:
    explicit FolderHandle(const std::string& nativePath) {
        const int fd = open(nativePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        dir_ = fdopendir(fd);
        if (!dir_) close(fd);
    }
    ~FolderHandle() {
        if (dir_) closedir(dir_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    bool IsOpen() const { return dir_ != nullptr; }
    int Fd() const { return dirfd(dir_); }

    // Every entry but "." and "..", in the order the file system returns them.
    void List(std::vector<FolderEntry>& entries) {
        while (const dirent* entry = readdir(dir_)) {
            const std::string_view native = entry->d_name;
            if (native == "." || native == "..") continue;
            entries.push_back({std::string(native), cp1251::fromUtf8(native), entry->d_type});
        }
    }

private:
    DIR* dir_ = nullptr;
};

class Walker {
public:
    Walker(const SearchWork& work, SearchHost& host)
        : work_(work), host_(host), reader_(work.readBlockSize) {}

    // folder in Windows-1251 for the reports, native as it is named on disk.
    void Walk(const std::string& folder, const std::string& native, const std::string& mask);

private:
    void ReportMatches(const FolderHandle& handle, const std::string& folder,
                       const std::string& mask, const std::vector<FolderEntry>& entries);
    bool IsFolder(const FolderHandle& handle, const FolderEntry& entry) const;
    bool ContentMatches(const FolderHandle& handle, const FolderEntry& entry,
                        const TSearchRec& rec);

    const SearchWork& work_;
    SearchHost& host_;
    ContentReader reader_;
};

void Walker::Walk(const std::string& folder, const std::string& native, const std::string& mask) {
    if (!host_.NewFolder(folder) || host_.Stopped()) return;
    std::vector<FolderEntry> entries;
    std::vector<const FolderEntry*> subfolders;
    {
        FolderHandle handle(native);
        // A folder that vanished or cannot be read is skipped.
        if (!handle.IsOpen()) return;
        handle.List(entries);
        ReportMatches(handle, folder, mask, entries);
        if (host_.Stopped() || !work_.subfolders) return;
        for (const auto& entry : entries) {
            if (entry.name.empty() || entry.name.front() == '.') continue;
            if (IsFolder(handle, entry)) subfolders.push_back(&entry);
        }
    }  // the folder's handle is closed before going deeper
    for (const FolderEntry* entry : subfolders) {
        if (host_.Stopped()) return;
        Walk(folder + entry->name + '/', native + entry->native + '/', mask);
    }
}

void Walker::ReportMatches(const FolderHandle& handle, const std::string& folder,
                           const std::string& mask, const std::vector<FolderEntry>& entries) {
    TSearchRec rec;
    for (const auto& entry : entries) {
        if (host_.Stopped()) return;
        if (entry.name.empty() || entry.name.front() == '.') continue;
        if (!NameMatchesMask(entry.name, mask)) continue;
        if (!ReadEntry(handle.Fd(), entry.native.c_str(), entry.name, rec)) continue;
        // The enumeration delivers folders, hidden and system entries only when asked for.
        if ((rec.Attr & kEnumeratedOnRequest & ~work_.attributeMask) != 0) continue;
        if (!PassesFilter(work_, folder, rec)) continue;
        if (!ContentMatches(handle, entry, rec)) continue;
        host_.Found(folder, rec);
    }
}

// Symbolic links to folders are not followed, so that a link cycle cannot trap the walk.
bool Walker::IsFolder(const FolderHandle& handle, const FolderEntry& entry) const {
    if (entry.type == DT_DIR) return true;
    if (entry.type != DT_UNKNOWN) return false;
    struct stat info {};
    return fstatat(handle.Fd(), entry.native.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

bool Walker::ContentMatches(const FolderHandle& handle, const FolderEntry& entry,
                            const TSearchRec& rec) {
    if (!work_.phrase || (rec.Attr & faDirectory) != 0) return true;
    // A file that cannot be opened is no hit; the search goes on.
    return reader_.Contains(handle.Fd(), entry.native.c_str(), *work_.phrase) ==
           ContentReader::Result::Found;
}

bool AttributesPass(const SearchWork& work, std::uint32_t attr) {
    if (work.exactAttribute) return attr == work.attributeMask;
    return attr == 0 || (attr & work.attributeMask) != 0;
}

bool SizePasses(const SearchWork& work, const TSearchRec& entry) {
    if ((entry.Attr & faDirectory) != 0) return true;
    return (work.sizeMin == 0 || entry.Size >= work.sizeMin) &&
           (work.sizeMax == 0 || entry.Size <= work.sizeMax);
}

bool TimePasses(const timespec& time, TDateTime after, TDateTime before) {
    if (after == 0 && before == 0) return true;
    return DateInBounds(ToLocalDateTime(time), after, before);
}

}  // namespace

bool PassesFilter(const SearchWork& work, const std::string& folder, const TSearchRec& entry) {
    if (!AttributesPass(work, entry.Attr)) return false;
    if (!SizePasses(work, entry)) return false;
    const TFindData& data = entry.FindData;
    if (!TimePasses(data.CreationTime, work.createdAfter, work.createdBefore)) return false;
    if (!TimePasses(data.LastWriteTime, work.modifiedAfter, work.modifiedBefore)) return false;
    if (!TimePasses(data.LastAccessTime, work.accessedAfter, work.accessedBefore)) return false;
    if (!work.excludes.empty()) {
        const std::string path = folder + entry.Name;
        for (const auto& mask : work.excludes) {
            if (PathMatchesMask(path, mask)) return false;
        }
    }
    return true;
}

void RunSearch(const SearchWork& work, SearchHost& host) {
    Walker walker(work, host);
    for (const auto& target : work.targets) {
        if (host.Stopped()) return;
        const std::string folder = ExpandFolder(FolderPart(target));
        walker.Walk(folder, cp1251::toUtf8(folder), std::string(NamePart(target)));
    }
}

}  // namespace kv
