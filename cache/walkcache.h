#pragma once
// The walk's cache: the topic lines of every article read at the last start, each with the
// stamp its file had then, so that an unchanged article need not be read again.

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
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
    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        FileStamp stamp;
        std::string_view topics;  // the lines as the file holds them
        std::uint32_t count = 0;
    };
    bool Parse(std::string_view payload);

    std::string bytes_;
    std::unordered_map<std::string_view, Entry> entries_;  // views into bytes_
};

// Collects the entries of this start's walk and saves them as the next start's cache.
class WalkCacheWriter {
public:
    void Add(std::string_view key, const FileStamp& stamp, std::span<const std::string> topics);
    // Whole or not at all; false when the cache cannot be written.
    bool Save(const std::filesystem::path& folder, const std::string& root) const;

private:
    std::string payload_;
    std::uint64_t count_ = 0;
};

}  // namespace kv::cache
