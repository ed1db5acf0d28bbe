#pragma once
// The content index: the walk of the content folder that lists every folder and the topic
// anchors of its article file, and the contents file those lines are saved to.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cache/trigramindex.h"
#include "cache/walkcache.h"
#include "filesearch/catalogue.h"

namespace kv {

// An article changed this shortly before a walk may change again within its file system's
// clock tick, unseen by its stamp: it is read, not recorded, and read again at the next walk.
inline constexpr std::chrono::nanoseconds kCacheSettle = std::chrono::seconds(2);

// Name of the contents file in the Windows folder.
inline constexpr std::string_view kContentsFileName = "treeenc.txt";

class TContentIndex {
public:
    // Enters the content folder (program folder + "inside/") and walks it (see Walk).
    void GenerateMainTree(std::string_view programFolder);
    // Makes contentFolder the process's current folder, or warns "Cannot find directory" and
    // stays where it is, then walks the current folder.
    void Walk(std::string_view contentFolder);
    // Appends the lines of folder and everything below it, in the file system's order.
    void MakeTree(const std::filesystem::path& folder);

    // Keeps the topics of every article in a cache in `folder` (empty: no cache), so that the
    // next walk of the same content folder reads only the articles changed since. The lines
    // are those of a full walk whatever the cache holds; a cache that cannot be used or
    // written means a full walk, silently.
    void UseCache(std::filesystem::path folder, std::chrono::nanoseconds settle = kCacheSettle);
    // Article files read by the last walk, and those whose topics came from the cache.
    std::size_t ArticlesRead() const { return articlesRead_; }
    std::size_t ArticlesFromCache() const { return articlesCached_; }
    // Folders listed by the last walk, and those whose entries came from the cache.
    std::size_t FoldersListed() const { return foldersListed_; }
    std::size_t FoldersFromCache() const { return foldersCached_; }
    // With a cache: the real path of the walked folder, and its article files (paths relative
    // to it) with their stamps, in walk order; what the search's index is built from.
    const std::string& Root() const { return root_; }
    const std::vector<cache::IndexSource>& Articles() const { return articles_; }
    // With a cache: every article file ("*.htm", not only those with topics) in the order a
    // search walks them, so that a search with the index lists no folder again.
    std::shared_ptr<const SearchCatalogue> Catalogue() const { return catalogue_; }

    // The line buffer as the contents file holds it: folder lines and topic lines (" " +
    // anchor), Windows-1251, each followed by CR LF.
    const std::string& Text() const { return text_; }
    // Hands the text over (to the tree that loads it); the next walk makes it again.
    std::string TakeText() { return std::exchange(text_, {}); }
    // The same lines one by one, without their line ends.
    std::vector<std::string> Lines() const;

    // Folders and article files that could not be read; the walk skipped them and went on.
    std::size_t FailureCount() const { return failures_; }
    const std::string& FirstFailure() const { return firstFailure_; }
    // The one report of those failures ("" when there were none).
    std::string FailureMessage() const;

private:
    struct Pass;
    void WalkFolder(std::string& path, Pass& pass);
    std::optional<std::string_view> ListFolder(const std::string& path, Pass& pass,
                                               cache::FolderListing& fresh, bool& whole);
    void VisitEntry(std::string_view name, unsigned char type, std::string& path, Pass& pass);
    void ReadArticle(const std::string& folderPath, Pass& pass);
    bool TakeFromCache(const std::string& folderPath, std::string& file, Pass& pass);
    bool ReadTopics(int fd, std::size_t size, std::string& topics);
    void AddFailure(const Pass& pass, std::string_view path);
    void AddFailure(const std::filesystem::path& path);

    std::filesystem::path cacheFolder_;
    std::chrono::nanoseconds cacheSettle_ = kCacheSettle;
    std::string text_;
    std::string root_;
    std::vector<cache::IndexSource> articles_;
    std::shared_ptr<const SearchCatalogue> catalogue_;
    std::size_t articlesRead_ = 0;
    std::size_t articlesCached_ = 0;
    std::size_t foldersListed_ = 0;
    std::size_t foldersCached_ = 0;
    std::size_t failures_ = 0;
    std::string firstFailure_;
    std::vector<char> buffer_;  // one read block, reused for every article
};

// Appends a topic line (followed by CR LF) for every line of the article text that names an
// anchor: the text after the first `<a name="` up to the next double quote or the line's end,
// at least 2 characters long. The text may come in blocks of any size (Feed each, then
// Finish); lines that run across blocks are handled.
class TopicScanner {
public:
    explicit TopicScanner(std::string& lines) : lines_(lines) {}
    void Feed(std::string_view block);
    void Finish();

private:
    enum class State { Searching, InAnchor, SkipLine };
    void Emit();

    std::string& lines_;
    State state_ = State::Searching;
    std::string carry_;   // tail of a block that may begin a marker
    std::string anchor_;  // anchor text collected so far
};

// Brings the search's index of the walked folder up to date in the cache folder: articles it
// holds unchanged keep their postings, the rest are read. Nothing without a cache.
cache::IndexUpdate UpdateSearchIndex(const TContentIndex& index,
                                     const std::filesystem::path& cacheFolder,
                                     const std::atomic<bool>* stop = nullptr);

// The lines as the contents file holds them, each ended by CR LF.
std::string ContentsText(const std::vector<std::string>& lines);

// Writes the text as the contents file: whole or not at all (a temporary file renamed over the
// old one). Raises kv::Exception on failure.
void SaveContentsText(std::string_view text, const std::filesystem::path& file);
// The same for lines, each ended by CR LF.
void SaveContentsFile(const std::vector<std::string>& lines, const std::filesystem::path& file);

}  // namespace kv
