#pragma once
// The walk's cache: what the last walk of a content folder met, in the order it met it. Every
// folder listed, with its stamp and its entries, so that an unchanged folder need not be listed
// again; and every article read, with its stamp and its topic lines, so that an unchanged
// article need not be read again. A walk of an unchanged folder asks for the records in the
// order they were written, so it finds each one without a lookup.

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
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

enum class RecordKind : unsigned char {
    Folder = 1,   // key: the folder's path; bytes: its entries (see FolderListing)
    Article = 2,  // key: the path of the article's folder; bytes: its topic lines, each + CR LF
};

// One record as the file holds it: its kind (1 byte), its key (length in 4 bytes, then the
// bytes), the stamp (5 × 8 bytes) and its bytes (length in 4 bytes, then the bytes).
class WalkRecord {
public:
    RecordKind Kind() const { return static_cast<RecordKind>(raw_[0]); }
    std::string_view Key() const { return raw_.substr(kKeyAt, keySize_); }
    FileStamp Stamp() const;
    std::string_view Bytes() const { return raw_.substr(kKeyAt + keySize_ + kStampSize + 4); }
    std::string_view Raw() const { return raw_; }

private:
    friend class WalkCache;
    static constexpr std::size_t kKeyAt = 5;
    static constexpr std::size_t kStampSize = 40;
    std::string_view raw_;
    std::uint32_t keySize_ = 0;
};

class WalkCache {
public:
    WalkCache() = default;
    ~WalkCache();
    WalkCache(const WalkCache&) = delete;
    WalkCache& operator=(const WalkCache&) = delete;

    // Takes the cache of the content folder `root` from `folder`; a missing, foreign, truncated
    // or corrupt file leaves the cache empty.
    void Load(const std::filesystem::path& folder, const std::string& root);
    // The records in the order the last walk wrote them.
    const std::vector<WalkRecord>& Records() const { return records_; }
    // The records as the file holds them (empty when nothing was loaded).
    std::string_view Payload() const { return payload_; }

private:
    bool Parse(std::string_view payload);
    void Clear();

    // The file is mapped, not read: a large cache costs no copy and no zeroed buffer.
    void* mapping_ = nullptr;
    std::size_t mappedSize_ = 0;
    std::string_view payload_;         // in the mapping
    std::vector<WalkRecord> records_;  // views into the mapping
};

// Finds the records of a cache as a new walk asks for them. A walk of an unchanged folder asks in
// the recorded order and each record is the next one; after a change the rest are found by key
// (an index built at the first miss), and the order is taken up again after the one found.
class WalkCacheCursor {
public:
    explicit WalkCacheCursor(const WalkCache& cache) : records_(cache.Records()) {}
    // The position of the record of this kind and key, or nothing.
    std::optional<std::size_t> Find(RecordKind kind, std::string_view key);

private:
    const std::vector<WalkRecord>& records_;
    std::size_t next_ = 0;
    std::unordered_map<std::string_view, std::size_t> folders_;   // built at the first miss
    std::unordered_map<std::string_view, std::size_t> articles_;  // likewise
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

// Collects the records of this start's walk, in walk order, and saves them as the next start's
// cache. Records taken over unchanged from the last walk's cache (`previous`, its payload) in
// their old order cost nothing, and a cache left entirely as it was is not written again.
class WalkCacheWriter {
public:
    explicit WalkCacheWriter(std::string_view previous = {}) : previous_(previous) {}
    // A record of the previous cache, unchanged.
    void Keep(const WalkRecord& record);
    void Add(RecordKind kind, std::string_view key, const FileStamp& stamp, std::string_view bytes);
    // Whole or not at all; false when the cache cannot be written.
    bool Save(const std::filesystem::path& folder, const std::string& root) const;

private:
    void Diverge();

    std::string_view previous_;
    std::size_t same_ = 0;   // bytes of previous_ kept in their place so far
    bool diverged_ = false;  // once true, payload_ holds every record
    std::string payload_;
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
