#include "cache/walkcache.h"

#include <fcntl.h>
#include <sys/mman.h>

#include "cache/cachefile.h"

namespace kv::cache {
namespace fs = std::filesystem;

namespace {

// The last two bytes are the format's version.
constexpr std::string_view kMagic{"KVWALK\0\3", 8};
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

FileStamp WalkRecord::Stamp() const {
    Reader in(raw_.substr(kKeyAt + keySize_, kStampSize));
    return ReadStamp(in);
}

WalkCache::~WalkCache() {
    Clear();
}

void WalkCache::Clear() {
    if (mapping_) ::munmap(mapping_, mappedSize_);
    mapping_ = nullptr;
    mappedSize_ = 0;
    payload_ = {};
    records_.clear();
}

void WalkCache::Load(const fs::path& folder, const std::string& root) {
    Clear();
    if (folder.empty()) return;
    FileHandle file(
        ::open(FileFor(folder, root, kKind).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return;
    // Populated at once: a cold cache file is read in one go, not a page at each first touch.
    void* mapping = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ,
                           MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    if (mapping == MAP_FAILED) return;
    mapping_ = mapping;
    mappedSize_ = static_cast<std::size_t>(st.st_size);
    const auto payload =
        Unseal(std::string_view(static_cast<const char*>(mapping_), mappedSize_), kMagic, root);
    if (!payload || !Parse(*payload)) {
        Clear();
        return;
    }
    payload_ = *payload;
}

bool WalkCache::Parse(std::string_view payload) {
    Reader in(payload);
    // Records take some 70 bytes or more: room for all of them at once.
    records_.reserve(payload.size() / 64);
    while (in.Ok() && !in.AtEnd()) {
        const std::string_view start = in.Rest();
        const std::string_view kind = in.Bytes(1);
        if (!in.Ok()) return false;
        if (kind[0] != static_cast<char>(RecordKind::Folder) &&
            kind[0] != static_cast<char>(RecordKind::Article))
            return false;
        WalkRecord record;
        record.keySize_ = static_cast<std::uint32_t>(in.Text().size());
        in.Bytes(WalkRecord::kStampSize);
        in.Text();
        record.raw_ = start.substr(0, start.size() - in.Rest().size());
        records_.push_back(record);
    }
    return in.Ok();
}

std::optional<std::size_t> WalkCacheCursor::Find(RecordKind kind, std::string_view key) {
    if (next_ < records_.size() && records_[next_].Kind() == kind && records_[next_].Key() == key)
        return next_++;
    if (folders_.empty() && articles_.empty()) {
        for (std::size_t i = 0; i < records_.size(); ++i)
            (records_[i].Kind() == RecordKind::Folder ? folders_ : articles_)
                .emplace(records_[i].Key(), i);
    }
    const auto& index = kind == RecordKind::Folder ? folders_ : articles_;
    const auto found = index.find(key);
    if (found == index.end()) return {};
    next_ = found->second + 1;
    return found->second;
}

void FolderListing::Add(std::string_view name, unsigned char type) {
    // Names of directory entries are at most 255 bytes.
    bytes_.push_back(static_cast<char>(type));
    bytes_.push_back(static_cast<char>(name.size() & 0xFF));
    bytes_.push_back(static_cast<char>(name.size() >> 8));
    bytes_.append(name);
    bytes_.push_back('\0');
}

void WalkCacheWriter::Diverge() {
    if (diverged_) return;
    payload_.assign(previous_.substr(0, same_));
    diverged_ = true;
}

void WalkCacheWriter::Keep(const WalkRecord& record) {
    if (!diverged_ && record.Raw().data() == previous_.data() + same_) {
        same_ += record.Raw().size();
        return;
    }
    Diverge();
    payload_ += record.Raw();
}

void WalkCacheWriter::Add(RecordKind kind, std::string_view key, const FileStamp& stamp,
                          std::string_view bytes) {
    Diverge();
    payload_.push_back(static_cast<char>(kind));
    PutText(payload_, key);
    PutStamp(payload_, stamp);
    PutText(payload_, bytes);
}

bool WalkCacheWriter::Save(const fs::path& folder, const std::string& root) const {
    if (folder.empty()) return false;
    // Rewriting tens of megabytes at every start of an unchanged encyclopedia costs more than
    // knowing that nothing changed.
    if (!diverged_ && !previous_.empty() && same_ == previous_.size()) return true;
    const std::string_view payload =
        diverged_ ? std::string_view(payload_) : previous_.substr(0, same_);
    return WriteAtomically(FileFor(folder, root, kKind), SealHeader(kMagic, root, payload),
                           payload);
}

}  // namespace kv::cache
