#include "cache/walkcache.h"

#include "cache/cachefile.h"

namespace kv::cache {
namespace fs = std::filesystem;

namespace {

// The last two bytes are the format's version.
constexpr std::string_view kMagic{"KVWALK\0\2", 8};
constexpr std::string_view kKind = "walk";

std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

FileStamp ReadStamp(Reader& in) {
    FileStamp stamp;
    stamp.device = in.U64();
    stamp.inode = in.U64();
    stamp.size = in.U64();
    stamp.modified = static_cast<std::int64_t>(in.U64());
    stamp.changed = static_cast<std::int64_t>(in.U64());
    return stamp;
}

void PutStamp(std::string& out, const FileStamp& stamp) {
    PutU64(out, stamp.device);
    PutU64(out, stamp.inode);
    PutU64(out, stamp.size);
    PutU64(out, static_cast<std::uint64_t>(stamp.modified));
    PutU64(out, static_cast<std::uint64_t>(stamp.changed));
}

FileStamp StampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim),
            nanoseconds(st.st_ctim)};
}

void WalkCache::Load(const fs::path& folder, const std::string& root) {
    entries_.clear();
    folders_.clear();
    bytes_.clear();
    payload_ = {};
    if (folder.empty()) return;
    auto file = ReadWhole(FileFor(folder, root, kKind));
    if (!file) return;
    bytes_ = std::move(*file);
    const auto payload = Unseal(bytes_, kMagic, root);
    if (!payload || !Parse(*payload)) {
        entries_.clear();
        folders_.clear();
        bytes_.clear();
        return;
    }
    payload_ = *payload;
}

bool WalkCache::Parse(std::string_view payload) {
    Reader in(payload);
    const std::uint64_t count = in.U64();
    for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
        const std::string_view key = in.Text();
        Entry entry;
        entry.stamp = ReadStamp(in);
        entry.count = in.U32();
        const std::string_view start = in.Rest();
        for (std::uint32_t t = 0; t < entry.count && in.Ok(); ++t) in.Text();
        entry.topics = start.substr(0, start.size() - in.Rest().size());
        if (in.Ok()) entries_.emplace(key, entry);
    }
    return ParseFolders(in) && in.AtEnd();
}

bool WalkCache::ParseFolders(Reader& in) {
    const std::uint64_t count = in.U64();
    for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
        const std::string_view key = in.Text();
        Folder folder;
        folder.stamp = ReadStamp(in);
        folder.listing = in.Text();
        if (in.Ok()) folders_.emplace(key, folder);
    }
    return in.Ok();
}

std::optional<std::string_view> WalkCache::Listing(std::string_view key,
                                                   const FileStamp& stamp) const {
    const auto found = folders_.find(key);
    if (found == folders_.end() || !(found->second.stamp == stamp)) return {};
    return found->second.listing;
}

void FolderListing::Add(std::string_view name, unsigned char type) {
    // Names of directory entries are at most 255 bytes.
    bytes_.push_back(static_cast<char>(type));
    bytes_.push_back(static_cast<char>(name.size() & 0xFF));
    bytes_.push_back(static_cast<char>(name.size() >> 8));
    bytes_.append(name);
    bytes_.push_back('\0');
}

bool WalkCache::AppendTopics(std::string_view key, const FileStamp& stamp,
                             std::vector<std::string>& lines) const {
    const auto found = entries_.find(key);
    if (found == entries_.end() || !(found->second.stamp == stamp)) return false;
    Reader in(found->second.topics);
    for (std::uint32_t t = 0; t < found->second.count; ++t) lines.emplace_back(in.Text());
    return true;
}

void WalkCacheWriter::Add(std::string_view key, const FileStamp& stamp,
                          std::span<const std::string> topics) {
    PutText(payload_, key);
    PutStamp(payload_, stamp);
    PutU32(payload_, static_cast<std::uint32_t>(topics.size()));
    for (const auto& topic : topics) PutText(payload_, topic);
    ++count_;
}

void WalkCacheWriter::AddFolder(std::string_view key, const FileStamp& stamp,
                                std::string_view listing) {
    PutText(folders_, key);
    PutStamp(folders_, stamp);
    PutText(folders_, listing);
    ++folderCount_;
}

bool WalkCacheWriter::Save(const fs::path& folder, const std::string& root,
                           std::string_view unchanged) const {
    if (folder.empty()) return false;
    std::string payload;
    payload.reserve(payload_.size() + folders_.size() + 16);
    PutU64(payload, count_);
    payload += payload_;
    PutU64(payload, folderCount_);
    payload += folders_;
    // Rewriting tens of megabytes at every start of an unchanged encyclopedia costs more than
    // comparing them.
    if (!unchanged.empty() && payload == unchanged) return true;
    return WriteAtomically(FileFor(folder, root, kKind), SealHeader(kMagic, root, payload),
                           payload);
}

}  // namespace kv::cache
