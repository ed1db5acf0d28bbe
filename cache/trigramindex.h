#pragma once
// The search's index: for every article, the set of trigrams of its bytes under a fold coarser
// than the search's widest (a-z onto A-Z, А-Я onto а-я, Ё onto ё, in Windows-1251 and in
// UTF-8 bytes alike), as document-level posting lists kept in
// the user's cache folder and mapped, not read into the heap. A phrase under any narrower fold
// (or none) is found only in documents holding every folded trigram of it, so the index rules
// out documents and never decides a hit: every candidate is still read and tested.
//
// A document is a file as it was when indexed: its device, inode and stamp. A file changed
// since (even during a run) has another stamp; the index knows nothing of it and it is read.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cache/walkcache.h"

namespace kv::cache {

// The fold the index is built under.
unsigned char IndexFold(unsigned char byte);

class TrigramIndex {
public:
    TrigramIndex();
    ~TrigramIndex();
    TrigramIndex(const TrigramIndex&) = delete;
    TrigramIndex& operator=(const TrigramIndex&) = delete;

    // Maps the index of the content folder `root` from `folder`; false (and empty) when there
    // is none, or it is foreign, truncated or corrupt.
    bool Load(const std::filesystem::path& folder, const std::string& root);
    std::size_t DocumentCount() const { return documents_.size(); }

    // Per document, whether it may hold the phrase's bytes; nothing when the index cannot tell
    // (phrases shorter than 3 bytes). A search for several byte forms of one phrase (other
    // encodings) takes the union of their candidates, and the scan when any form is too short.
    std::optional<std::vector<bool>> Candidates(std::string_view phrase) const;
    // The document of a file with this stamp, or -1 when the index does not hold it as it is.
    std::int64_t Document(const FileStamp& stamp) const;

private:
    struct Mapping;
    struct Slot {
        std::uint32_t trigram = 0;
        std::uint64_t offset = 0;  // into the postings
        std::uint64_t length = 0;
    };
    bool Parse(std::string_view payload);
    Slot SlotAt(std::uint64_t i) const;
    std::optional<Slot> Find(std::uint32_t trigram) const;
    // Calls take(document) for each document of the slot's list, in increasing order.
    template <typename Take>
    void Postings(const Slot& slot, Take take) const;
    friend class TrigramIndexBuilder;

    std::unique_ptr<Mapping> mapping_;
    std::vector<FileStamp> documents_;
    std::unordered_map<std::uint64_t, std::uint32_t> byInode_;  // device and inode -> document
    std::string_view table_;     // slots sorted by trigram, in the mapping
    std::string_view postings_;  // in the mapping
};

// One article to index: its path below the content folder and its stamp as the walk saw it.
struct IndexSource {
    std::string path;  // native, relative to the content folder
    FileStamp stamp;
};

struct IndexUpdate {
    std::size_t kept = 0;     // documents taken over from the old index
    std::size_t read = 0;     // documents read
    std::uint64_t bytes = 0;  // bytes read
    bool saved = false;
};

class TrigramIndexBuilder {
public:
    // Brings the index of `root` in `folder` up to date for the files: those the old index
    // holds with the same stamp keep their postings, the rest are read. Files changed less
    // than `settle` ago are left out (read by every search). Stops early, saving nothing, when
    // *stop becomes true.
    static IndexUpdate Update(const std::filesystem::path& folder, const std::string& root,
                              const std::vector<IndexSource>& files,
                              std::chrono::nanoseconds settle,
                              const std::atomic<bool>* stop = nullptr);
};

}  // namespace kv::cache
