#pragma once
// The walk's cache: the topic lines of every article read at the last start, each with the
// stamp its file had then, so that an unchanged article need not be read again; and the entries
// of every folder listed, with the folder's stamp, so that an unchanged folder need not be
// listed again.

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv::cache {

// One state of a file. Writing, replacing, renaming over or changing the permissions of a file
// changes its stamp: the change time moves even when size and modification time are restored.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since the epoch
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const struct stat& st);

class Reader;
// A stamp in the form cache files keep it, and read back.
void PutStamp(std::string& out, const FileStamp& stamp);
FileStamp ReadStamp(Reader& in);

class WalkCache {
public:
    WalkCache() = default;
    WalkCache(const WalkCache&) = delete;
    WalkCache& operator=(const WalkCache&) = delete;

    // Takes the cache of the content folder `root` from `folder`; a missing, foreign, truncated
    // or corrupt file leaves the cache empty.
    void Load(const std::filesystem::path& folder, const std::string& root);
    // Appends the topic lines recorded for the article of folder `key` when its stamp is the
    // recorded one; false (nothing appended) otherwise.
    bool AppendTopics(std::string_view key, const FileStamp& stamp,
                      std::vector<std::string>& lines) const;
    // The entries recorded for folder `key` (see FolderListing) when its stamp is the recorded
    // one; nothing otherwise.
    std::optional<std::string_view> Listing(std::string_view key, const FileStamp& stamp) const;
    std::size_t Size() const { return entries_.size() + folders_.size(); }
    // The entries as the file holds them (empty when nothing was loaded).
    std::string_view Payload() const { return payload_; }

private:
    struct Entry {
        FileStamp stamp;
        std::string_view topics;  // the lines as the file holds them
        std::uint32_t count = 0;
    };
    struct Folder {
        FileStamp stamp;
        std::string_view listing;
    };
    bool Parse(std::string_view payload);
    bool ParseFolders(Reader& in);

    std::string bytes_;
    std::string_view payload_;                              // in bytes_
    std::unordered_map<std::string_view, Entry> entries_;   // views into bytes_
    std::unordered_map<std::string_view, Folder> folders_;  // views into bytes_
};

// The entries of one folder in the order a listing gave them: name and directory entry type.
// Each name is followed by a NUL, so that it can be handed to the system as it is.
class FolderListing {
public:
    void Add(std::string_view name, unsigned char type);
    std::string_view Bytes() const { return bytes_; }

    // Calls visit(name, type) for each entry of listing bytes.
    template <typename Visit>
    static void ForEach(std::string_view bytes, Visit&& visit);

private:
    std::string bytes_;
};

// Collects the entries of this start's walk and saves them as the next start's cache.
class WalkCacheWriter {
public:
    void Add(std::string_view key, const FileStamp& stamp, std::span<const std::string> topics);
    void AddFolder(std::string_view key, const FileStamp& stamp, std::string_view listing);
    // Whole or not at all; false when the cache cannot be written. A file that already holds
    // these entries (`unchanged`, the payload it was loaded with) is left as it is.
    bool Save(const std::filesystem::path& folder, const std::string& root,
              std::string_view unchanged = {}) const;

private:
    std::string payload_;
    std::uint64_t count_ = 0;
    std::string folders_;
    std::uint64_t folderCount_ = 0;
};

template <typename Visit>
void FolderListing::ForEach(std::string_view bytes, Visit&& visit) {
    // Each entry: its type, the name's length (two bytes), the name and a NUL.
    while (bytes.size() >= 4) {
        const auto type = static_cast<unsigned char>(bytes[0]);
        const std::size_t length = static_cast<unsigned char>(bytes[1]) |
                                   static_cast<std::size_t>(static_cast<unsigned char>(bytes[2]))
                                       << 8;
        if (bytes.size() - 4 < length || bytes[3 + length] != '\0') return;
        visit(bytes.substr(3, length), type);
        bytes.remove_prefix(4 + length);
    }
}

}  // namespace kv::cache
