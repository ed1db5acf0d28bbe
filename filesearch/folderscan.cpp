#include "filesearch/folderscan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filesearch/masks.h"
#include "filesearch/walker.h"
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
            entries.push_back({std::string(native), std::string(native), entry->d_type});
        }
    }

private:
    DIR* dir_ = nullptr;
};

bool Listed(const FolderEntry& entry) {
    return !entry.name.empty() && entry.name.front() != '.';
}

// Symbolic links to folders are not followed, so that a link cycle cannot trap the walk.
bool IsFolder(const FolderHandle& handle, const FolderEntry& entry) {
    if (entry.type == DT_DIR) return true;
    if (entry.type != DT_UNKNOWN) return false;
    struct stat info {};
    return fstatat(handle.Fd(), entry.native.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

bool Passes(const SearchWork& work, ContentReader& reader, const FolderHandle& handle,
            const FolderScan& scan, const FolderEntry& entry, TSearchRec& rec) {
    if (!NameMatchesMask(entry.name, scan.mask)) return false;
    return EntryPasses(work, reader, handle.Fd(), entry.native.c_str(), entry.name, scan.folder,
                       rec);
}

}  // namespace

bool EntryPasses(const SearchWork& work, ContentReader& reader, int dirFd, const char* native,
                 const std::string& name, const std::string& folder, TSearchRec& rec) {
    cache::FileStamp stamp;
    if (!ReadEntry(dirFd, native, name, rec, work.index ? &stamp : nullptr)) return false;
    // The enumeration delivers folders, hidden and system entries only when asked for.
    if ((rec.Attr & kEnumeratedOnRequest & ~work.attributeMask) != 0) return false;
    if (!PassesFilter(work, folder, rec)) return false;
    if (!work.phrase || (rec.Attr & faDirectory) != 0) return true;
    if (work.index) {
        const std::int64_t document = work.index->Document(stamp);
        if (document >= 0 && !work.candidates[static_cast<size_t>(document)]) return false;
    }
    // A file that cannot be opened is no hit; the search goes on.
    return reader.Contains(dirFd, native, *work.phrase) == ContentReader::Result::Found;
}

void FolderScan::AddSubfolder(std::string folderName, std::string nativeName) {
    auto child = std::make_unique<FolderScan>();
    child->folder = folder + folderName + '/';
    child->native = native + nativeName + '/';
    child->mask = mask;
    child->parent = this;
    child->order = order;
    child->order.push_back(static_cast<std::uint32_t>(subfolders.size()));
    subfolders.push_back(std::move(child));
}

void ScanFolder(const SearchWork& work, const SearchHost& host, ContentReader& reader,
                FolderScan& scan) {
    if (host.Stopped()) return;
    FolderHandle handle(scan.native);
    // A folder that vanished or cannot be read is skipped.
    if (!handle.IsOpen()) return;
    std::vector<FolderEntry> entries;
    handle.List(entries);
    TSearchRec rec;
    for (const auto& entry : entries) {
        if (host.Stopped()) return;
        if (Listed(entry) && Passes(work, reader, handle, scan, entry, rec))
            scan.hits.push_back({entry.native, rec});
    }
    if (!work.subfolders) return;
    for (auto& entry : entries) {
        if (Listed(entry) && IsFolder(handle, entry))
            scan.AddSubfolder(std::move(entry.name), std::move(entry.native));
    }
}

bool StillThere(const FolderScan& scan, const FolderScan::Hit& hit) {
    return faccessat(AT_FDCWD, (scan.native + hit.native).c_str(), F_OK, 0) == 0;
}

}  // namespace kv
