#include "cache/trigramindex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "cache/cachefile.h"

namespace kv::cache {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic{"KVTRIG\0\2", 8};
constexpr std::string_view kKind = "trigrams";
constexpr std::size_t kSlotBytes = 4 + 8 + 8;
constexpr std::size_t kReadBlock = 256 * 1024;

// Coarser than any fold of the search, so that every byte form it folds together is one here:
// a-z onto A-Z; the Windows-1251 А-Я onto а-я and Ё onto ё; and for UTF-8, where a Cyrillic
// letter and its other case differ in both bytes (А D0 90, а D0 B0, Р D0 A0, р D1 80), the
// leads D0/D1 onto one byte (with the Windows-1251 Р, р, С, с they are) and the second bytes
// 80-BF onto sixteen by their low half. A trigram then stands for more text, never less.
constexpr std::array<unsigned char, 256> makeFold() {
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(c);
    for (int c = 'a'; c <= 'z'; ++c) fold[c] = static_cast<unsigned char>(c - 32);
    for (int c = 0xC0; c <= 0xDF; ++c) fold[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0x80; c <= 0xBF; ++c) fold[c] = static_cast<unsigned char>(0x80 | (c & 0x0F));
    for (const int c : {0xD0, 0xD1, 0xF0, 0xF1}) fold[c] = 0xF0;
    return fold;
}
constexpr std::array<unsigned char, 256> kFold = makeFold();

std::uint64_t inodeKey(const FileStamp& stamp) {
    return stamp.inode * 0x9E3779B97F4A7C15ull ^ stamp.device;
}

void putVarint(std::string& out, std::uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

}  // namespace

unsigned char IndexFold(unsigned char byte) {
    return kFold[byte];
}

// --- TrigramIndex --------------------------------------------------------------------------

struct TrigramIndex::Mapping {
    void* data = MAP_FAILED;
    std::size_t size = 0;
    ~Mapping() {
        if (data != MAP_FAILED) ::munmap(data, size);
    }
    std::string_view Bytes() const { return {static_cast<const char*>(data), size}; }
};

TrigramIndex::TrigramIndex() = default;
TrigramIndex::~TrigramIndex() = default;

bool TrigramIndex::Load(const fs::path& folder, const std::string& root) {
    mapping_.reset();
    documents_.clear();
    byInode_.clear();
    postings_ = {};
    table_ = {};
    if (folder.empty()) return false;
    FileHandle handle(::open(FileFor(folder, root, kKind).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return false;
    auto mapping = std::make_unique<Mapping>();
    mapping->size = static_cast<std::size_t>(st.st_size);
    mapping->data = ::mmap(nullptr, mapping->size, PROT_READ, MAP_SHARED, handle.fd, 0);
    if (mapping->data == MAP_FAILED) return false;
    const auto payload = Unseal(mapping->Bytes(), kMagic, root);
    mapping_ = std::move(mapping);
    if (payload && Parse(*payload)) return true;
    mapping_.reset();
    documents_.clear();
    byInode_.clear();
    postings_ = {};
    table_ = {};
    return false;
}

bool TrigramIndex::Parse(std::string_view payload) {
    Reader in(payload);
    const std::uint64_t count = in.U64();
    if (count > payload.size() / 40) return false;
    documents_.reserve(count);
    for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
        documents_.push_back(ReadStamp(in));
        byInode_.emplace(inodeKey(documents_.back()), static_cast<std::uint32_t>(i));
    }
    const std::uint64_t slots = in.U64();
    if (slots > payload.size() / kSlotBytes) return false;
    table_ = in.Bytes(slots * kSlotBytes);
    postings_ = in.Text64();
    if (!in.AtEnd()) return false;
    // Slot offsets lie inside the postings.
    for (std::uint64_t i = 0; i < slots; ++i) {
        const Slot slot = SlotAt(i);
        if (slot.offset > postings_.size() || slot.length > postings_.size() - slot.offset)
            return false;
    }
    return true;
}

TrigramIndex::Slot TrigramIndex::SlotAt(std::uint64_t i) const {
    Reader in(table_.substr(i * kSlotBytes, kSlotBytes));
    Slot slot;
    slot.trigram = in.U32();
    slot.offset = in.U64();
    slot.length = in.U64();
    return slot;
}

std::optional<TrigramIndex::Slot> TrigramIndex::Find(std::uint32_t trigram) const {
    std::uint64_t low = 0, high = table_.size() / kSlotBytes;
    while (low < high) {
        const std::uint64_t middle = low + (high - low) / 2;
        const Slot slot = SlotAt(middle);
        if (slot.trigram == trigram) return slot;
        if (slot.trigram < trigram)
            low = middle + 1;
        else
            high = middle;
    }
    return {};
}

template <typename Take>
void TrigramIndex::Postings(const Slot& slot, Take take) const {
    const auto* p = reinterpret_cast<const unsigned char*>(postings_.data() + slot.offset);
    const auto* end = p + slot.length;
    std::uint64_t next = 0;
    while (p < end) {
        std::uint64_t delta = 0;
        for (int shift = 0; p < end && shift < 35; shift += 7) {
            const unsigned char byte = *p++;
            delta |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) break;
        }
        const std::uint64_t document = next + delta;
        if (document >= documents_.size()) return;  // never from a sealed file of ours
        take(static_cast<std::uint32_t>(document));
        next = document + 1;
    }
}

std::optional<std::vector<bool>> TrigramIndex::Candidates(std::string_view phrase) const {
    if (phrase.size() < 3) return {};
    std::vector<std::uint32_t> trigrams;
    std::uint32_t rolling = 0;
    for (std::size_t i = 0; i < phrase.size(); ++i) {
        rolling = (rolling << 8 | kFold[static_cast<unsigned char>(phrase[i])]) & 0xFFFFFF;
        if (i >= 2) trigrams.push_back(rolling);
    }
    std::sort(trigrams.begin(), trigrams.end());
    trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
    std::vector<Slot> lists;
    for (const auto trigram : trigrams) {
        const auto slot = Find(trigram);
        if (!slot) return std::vector<bool>(documents_.size(), false);
        lists.push_back(*slot);
    }
    // The shortest lists: the others would only clear what they leave. (Fewer lists give more
    // candidates, never fewer: every candidate is read anyway.)
    std::sort(lists.begin(), lists.end(),
              [](const Slot& a, const Slot& b) { return a.length < b.length; });
    lists.resize(std::min<std::size_t>(lists.size(), 16));
    std::vector<std::uint8_t> hits(documents_.size(), 0);
    Postings(lists[0], [&](std::uint32_t document) { hits[document] = 1; });
    for (std::size_t i = 1; i < lists.size(); ++i) {
        const auto round = static_cast<std::uint8_t>(i + 1);
        Postings(lists[i], [&](std::uint32_t document) {
            if (hits[document] == round - 1) hits[document] = round;
        });
    }
    const auto all = static_cast<std::uint8_t>(lists.size());
    std::vector<bool> candidates(documents_.size());
    for (std::size_t d = 0; d < hits.size(); ++d) candidates[d] = hits[d] == all;
    return candidates;
}

std::int64_t TrigramIndex::Document(const FileStamp& stamp) const {
    const auto found = byInode_.find(inodeKey(stamp));
    if (found == byInode_.end() || !(documents_[found->second] == stamp)) return -1;
    return found->second;
}

// --- TrigramIndexBuilder -------------------------------------------------------------------

namespace {

// Posting lists under construction, one per trigram seen.
class ListSet {
public:
    ListSet() : slotOf_(1u << 24, 0) {}
    // Adds the document to the trigram's list (documents come in increasing order).
    void Add(std::uint32_t trigram, std::uint32_t document) {
        std::uint32_t& slot = slotOf_[trigram];
        if (slot == 0) {
            lists_.push_back({trigram, {}, 0});
            slot = static_cast<std::uint32_t>(lists_.size());
        }
        List& list = lists_[slot - 1];
        if (list.next > document) return;  // already there
        putVarint(list.bytes, document - list.next);
        list.next = document + 1;
    }
    // Slot table and postings, slots in trigram order.
    void Write(std::string& out) {
        std::sort(lists_.begin(), lists_.end(),
                  [](const List& a, const List& b) { return a.trigram < b.trigram; });
        PutU64(out, lists_.size());
        std::uint64_t offset = 0;
        for (const auto& list : lists_) {
            PutU32(out, list.trigram);
            PutU64(out, offset);
            PutU64(out, list.bytes.size());
            offset += list.bytes.size();
        }
        PutU64(out, offset);
        for (const auto& list : lists_) out += list.bytes;
    }

private:
    struct List {
        std::uint32_t trigram;
        std::string bytes;
        std::uint32_t next;  // one past the last document added
    };
    std::vector<std::uint32_t> slotOf_;  // trigram -> list + 1
    std::vector<List> lists_;
};

// What one indexing pass needs besides the lists.
struct ReadPass {
    std::int64_t settledBefore = 0;
    std::unordered_map<std::uint64_t, bool> seen;  // a file reached by two paths is one document
    std::vector<char> buffer;
    std::uint64_t bytes = 0;
};

// Reads one file's trigrams into the lists as `document`; its stamp from before the read, or
// nothing when it is not a regular file, was changed too lately, is already a document, or
// cannot be read whole. (A file that fails half-way leaves its number in some lists; the next
// document takes that number over and may be a candidate it need not be, never the reverse.)
std::optional<FileStamp> indexFile(const std::string& path, std::uint32_t document, ListSet& lists,
                                   ReadPass& pass) {
    FileHandle handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const FileStamp stamp = StampOf(st);
    // A file changed a moment ago could change again within its clock tick, unseen by its
    // stamp: it is left to the scan.
    if (stamp.modified >= pass.settledBefore || stamp.changed >= pass.settledBefore) return {};
    if (!pass.seen.emplace(inodeKey(stamp), true).second) return {};
    pass.buffer.resize(kReadBlock);
    std::uint32_t rolling = 0;
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(handle.fd, pass.buffer.data(), pass.buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {};
        if (got == 0) break;
        for (ssize_t i = 0; i < got; ++i) {
            rolling = (rolling << 8 | kFold[static_cast<unsigned char>(pass.buffer[i])]) & 0xFFFFFF;
            if (total + static_cast<std::uint64_t>(i) >= 2) lists.Add(rolling, document);
        }
        total += static_cast<std::uint64_t>(got);
    }
    pass.bytes += total;
    return stamp;
}

}  // namespace

IndexUpdate TrigramIndexBuilder::Update(const fs::path& folder, const std::string& root,
                                        const std::vector<IndexSource>& files,
                                        std::chrono::nanoseconds settle,
                                        const std::atomic<bool>* stop) {
    IndexUpdate update;
    if (folder.empty()) return update;
    TrigramIndex old;
    old.Load(folder, root);
    ReadPass pass;
    const auto settled = std::chrono::system_clock::now().time_since_epoch() - settle;
    pass.settledBefore = std::chrono::duration_cast<std::chrono::nanoseconds>(settled).count();

    // Documents the old index holds as they are keep their postings, renumbered in their old
    // order (so every list stays in increasing order); the rest are read after them.
    std::vector<std::int64_t> renumber(old.DocumentCount(), -1);
    std::vector<const IndexSource*> toRead;
    for (const auto& file : files) {
        const std::int64_t document = old.Document(file.stamp);
        if (document >= 0)
            renumber[static_cast<std::size_t>(document)] = 0;
        else
            toRead.push_back(&file);
    }
    std::vector<FileStamp> documents;
    for (std::size_t d = 0; d < renumber.size(); ++d) {
        if (renumber[d] < 0) continue;
        renumber[d] = static_cast<std::int64_t>(documents.size());
        documents.push_back(old.documents_[d]);
        pass.seen.emplace(inodeKey(old.documents_[d]), true);
    }
    update.kept = documents.size();
    ListSet lists;
    for (std::uint64_t i = 0; i < old.table_.size() / kSlotBytes; ++i) {
        const TrigramIndex::Slot slot = old.SlotAt(i);
        old.Postings(slot, [&](std::uint32_t document) {
            if (renumber[document] >= 0)
                lists.Add(slot.trigram, static_cast<std::uint32_t>(renumber[document]));
        });
    }

    for (const IndexSource* file : toRead) {
        if (stop && stop->load(std::memory_order_relaxed)) return update;
        const auto document = static_cast<std::uint32_t>(documents.size());
        const auto stamp = indexFile(root + "/" + file->path, document, lists, pass);
        ++update.read;
        if (stamp) documents.push_back(*stamp);
    }
    update.bytes = pass.bytes;

    std::string payload;
    PutU64(payload, documents.size());
    for (const auto& stamp : documents) PutStamp(payload, stamp);
    lists.Write(payload);
    update.saved =
        WriteAtomically(FileFor(folder, root, kKind), SealHeader(kMagic, root, payload), payload);
    return update;
}

}  // namespace kv::cache
