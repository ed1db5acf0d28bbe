#include "app/contentindex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "cache/cachefile.h"
#include "cache/walkcache.h"
#include "filesearch/articlesearch.h"
#include "html/reader/encoding.h"
#include "platform/codec.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "platform/paths.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = "<a name=\"";
constexpr std::string_view kArticleName = "index.htm";
constexpr size_t kReadBlock = 256 * 1024;

// The first marker in [from, to), or nullptr. Articles are mostly text without one, so blocks
// of 16 positions are ruled out at once by three of the marker's bytes ('<', 'n', '"'), which
// together rarely appear at those distances; a link's `<a href="` has the first and last.
const char* findMarker(const char* from, const char* to) {
    const char* p = from;
#if defined(__SSE2__)
    constexpr ptrdiff_t kLast = static_cast<ptrdiff_t>(kMarker.size()) - 1;
    const __m128i open = _mm_set1_epi8(kMarker[0]);
    const __m128i n = _mm_set1_epi8(kMarker[3]);
    const __m128i quote = _mm_set1_epi8(kMarker[kLast]);
    while (to - p >= 16 + kLast) {
        const auto at = [p](ptrdiff_t offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset));
        };
        const __m128i hits =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(0), open), _mm_cmpeq_epi8(at(3), n)),
                          _mm_cmpeq_epi8(at(kLast), quote));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0;
             mask &= mask - 1) {
            const char* candidate = p + __builtin_ctz(mask);
            if (std::memcmp(candidate, kMarker.data(), kMarker.size()) == 0) return candidate;
        }
        p += 16;
    }
#endif
    return static_cast<const char*>(
        ::memmem(p, static_cast<size_t>(to - p), kMarker.data(), kMarker.size()));
}

// First CR or LF in [from, to), or to.
const char* findLineEnd(const char* from, const char* to) {
    const auto* lf =
        static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(to - from)));
    const char* stop = lf ? lf : to;
    const auto* cr =
        static_cast<const char*>(std::memchr(from, '\r', static_cast<size_t>(stop - from)));
    return cr ? cr : stop;
}

// Lists the entries of an opened folder, leaving out those whose names begin with a dot;
// false when the listing failed part of the way.
bool listFolder(DIR* dir, cache::FolderListing& listing) {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) return errno == 0;
        if (entry->d_name[0] != '.' && entry->d_name[0] != '\0')
            listing.Add(entry->d_name, entry->d_type);
    }
}

// Appends the Windows-1251 line of a folder name (UTF-8 on disk). Latin and Cyrillic names,
// nearly all of them, are converted here byte by byte; the rest take the general conversion.
void appendFolderLine(std::string_view name, std::string& out) {
    const size_t start = out.size();
    for (size_t i = 0; i < name.size(); ++i) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            continue;
        }
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (lead < 0xC2 || lead > 0xDF || (next & 0xC0) != 0x80) {
            out.resize(start);
            out += cp1251::fromUtf8(name);
            return;
        }
        out.push_back(
            cp1251::fromUnicode(static_cast<char32_t>((lead & 0x1F) << 6 | (next & 0x3F))));
        ++i;
    }
}

}  // namespace

// --- TopicScanner -------------------------------------------------------------------------

void TopicScanner::Emit() {
    if (anchor_.size() >= 2) {
        lines_.push_back(' ');
        lines_ += anchor_;
        lines_ += "\r\n";
    }
    anchor_.clear();
}

void TopicScanner::Feed(std::string_view input) {
    std::string joined;
    if (!carry_.empty()) {
        joined = carry_ + std::string(input);
        input = joined;
        carry_.clear();
    }
    const char* p = input.data();
    const char* end = p + input.size();
    while (p < end) {
        switch (state_) {
        case State::Searching: {
            // A marker holds no line break, so lines without one need no attention.
            const char* hit = findMarker(p, end);
            if (!hit) {
                const size_t keep = std::min(static_cast<size_t>(end - p), kMarker.size() - 1);
                carry_.assign(end - keep, keep);
                return;
            }
            p = hit + kMarker.size();
            state_ = State::InAnchor;
            break;
        }
        case State::InAnchor: {
            const char* stop = findLineEnd(p, end);
            const char* quote =
                static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(stop - p)));
            if (quote) {
                anchor_.append(p, quote);
                Emit();
                p = quote + 1;
                state_ = State::SkipLine;
            } else {
                anchor_.append(p, stop);
                p = stop;
                if (stop < end) {
                    Emit();
                    state_ = State::Searching;
                }
            }
            break;
        }
        case State::SkipLine: {
            const char* stop = findLineEnd(p, end);
            p = stop;
            if (stop < end) state_ = State::Searching;
            break;
        }
        }
    }
}

void TopicScanner::Finish() {
    if (state_ == State::InAnchor) Emit();
    state_ = State::Searching;
    carry_.clear();
    anchor_.clear();
}

// --- TContentIndex ------------------------------------------------------------------------

namespace {

// The path a record's stamp belongs to: the folder, or its article file.
void recordedPath(const cache::WalkRecord& record, std::string& path) {
    path.assign(record.Key());
    if (record.Kind() == cache::RecordKind::Article) path.append("/").append(kArticleName);
}

// Whether the file of a record is there, of its kind, with the recorded stamp.
bool unchanged(int root, const cache::WalkRecord& record, std::string& path) {
    recordedPath(record, path);
    struct stat st {};
    if (::fstatat(root, path.c_str(), &st, 0) != 0) return false;
    const bool kind =
        record.Kind() == cache::RecordKind::Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
    return kind && cache::StampOf(st) == record.Stamp();
}

// Looks at every file the last walk recorded, on several threads: with a cold disk each look
// waits for its own reads, and many reads in flight at once finish far sooner than one after
// another (10,000 articles: 1.45 s on one thread, 0.31 s on 16); with a warm one the looks
// share the processors and cost no more than on one thread. One flag a record: unchanged.
std::vector<unsigned char> probeRecords(int root, const std::vector<cache::WalkRecord>& records) {
    constexpr std::size_t kChunk = 16;
    constexpr unsigned kThreads = 16;
    std::vector<unsigned char> probes(records.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        std::string path;
        for (;;) {
            const std::size_t first = next.fetch_add(kChunk, std::memory_order_relaxed);
            if (first >= records.size()) return;
            for (std::size_t i = first; i < std::min(records.size(), first + kChunk); ++i)
                probes[i] = unchanged(root, records[i], path);
        }
    };
    std::vector<std::thread> helpers;
    try {
        for (unsigned t = 1; t < kThreads && records.size() > t * kChunk; ++t)
            helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads: the ones there are, and this one, do the work.
    }
    work();
    for (auto& helper : helpers) helper.join();
    return probes;
}

// A stat of path/name below the root.
bool statEntry(int root, const std::string& path, std::string_view name, int flags,
               struct stat& st) {
    std::string entry;
    entry.reserve(path.size() + name.size() + 1);
    entry.append(path).append("/").append(name);
    return ::fstatat(root, entry.c_str(), &st, flags) == 0;
}

// An entry of type `type` (as a listing gives it) that is a folder, or a link to one.
bool isFolder(int root, const std::string& path, std::string_view name, unsigned char type) {
    if (type == DT_DIR) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st {};
    return statEntry(root, path, name, 0, st) && S_ISDIR(st.st_mode);
}

// A folder a search enters: not a link to one.
bool isSearchedFolder(int root, const std::string& path, std::string_view name,
                      unsigned char type) {
    if (type != DT_UNKNOWN) return type == DT_DIR;
    struct stat st {};
    return statEntry(root, path, name, AT_SYMLINK_NOFOLLOW, st) && S_ISDIR(st.st_mode);
}

}  // namespace

// The state of one walk. Paths are relative to the walked folder: "." and "./A/B".
struct TContentIndex::Pass {
    int root = -1;          // the walked folder, which every path starts from
    std::string shownRoot;  // the walked folder as the caller named it, for reports
    // A link back to a folder being walked would never end.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ancestors;
    const cache::WalkCache* previous = nullptr;  // the last walk's cache, when there is one
    std::optional<cache::WalkCacheCursor> cursor;
    std::vector<unsigned char> probes;            // per record of previous: unchanged
    cache::WalkCacheWriter* next = nullptr;       // this walk's, when one is kept
    std::int64_t settledBefore = 0;               // stamps at or after this are not recorded
    SearchCatalogueBuilder* catalogue = nullptr;  // when the search's index will be built
    std::string topics;                           // of the article being read

    // A file or folder changed this recently may change again unseen within its clock tick.
    bool Settled(const cache::FileStamp& stamp) const {
        return stamp.modified < settledBefore && stamp.changed < settledBefore;
    }
    // The last walk's record of this kind and key when its file is unchanged since.
    const cache::WalkRecord* Unchanged(cache::RecordKind kind, std::string_view key) {
        if (!cursor) return nullptr;
        const auto at = cursor->Find(kind, key);
        return at && probes[*at] ? &previous->Records()[*at] : nullptr;
    }
};

void TContentIndex::UseCache(fs::path folder, std::chrono::nanoseconds settle) {
    cacheFolder_ = std::move(folder);
    cacheSettle_ = settle;
}

void TContentIndex::GenerateMainTree(std::string_view programFolder) {
    Walk(std::string(programFolder) + "inside/");
}

void TContentIndex::Walk(std::string_view contentFolder) {
    if (!paths::setCurrentFolder(contentFolder)) messages::showWarning("Cannot find directory");
    MakeTree(".");
}

std::vector<std::string> TContentIndex::Lines() const {
    std::vector<std::string> lines;
    std::string_view rest = text_;
    while (!rest.empty()) {
        const size_t end = rest.find("\r\n");
        lines.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    }
    return lines;
}

void TContentIndex::MakeTree(const fs::path& folder) {
    articlesRead_ = articlesCached_ = foldersListed_ = foldersCached_ = 0;
    text_.clear();
    articles_.clear();
    root_.clear();
    catalogue_.reset();
    cache::FileHandle root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.fd < 0) {
        AddFailure(folder);
        return;
    }
    Pass pass;
    pass.root = root.fd;
    pass.shownRoot = folder.native();
    cache::WalkCache previous;
    std::error_code error;
    const std::string real = cacheFolder_.empty() ? "" : fs::canonical(folder, error).native();
    if (!real.empty() && !error) {
        root_ = real;
        previous.Load(cacheFolder_, real);
        // With nothing to compare with, the first start spends no call on stamps first.
        if (!previous.Records().empty()) {
            pass.previous = &previous;
            pass.cursor.emplace(previous);
            pass.probes = probeRecords(root.fd, previous.Records());
        }
        const auto settled = std::chrono::system_clock::now().time_since_epoch() - cacheSettle_;
        pass.settledBefore = std::chrono::duration_cast<std::chrono::nanoseconds>(settled).count();
    }
    cache::WalkCacheWriter next(previous.Payload());
    SearchCatalogueBuilder catalogue(root_, std::string(kArticleMask));
    if (!root_.empty()) {
        pass.next = &next;
        pass.catalogue = &catalogue;
    }
    std::string path = ".";
    WalkFolder(path, pass);
    if (!pass.next) return;
    next.Save(cacheFolder_, root_);  // one that cannot be kept is no fault
    catalogue_ = std::make_shared<const SearchCatalogue>(catalogue.Finish());
}

// Walks a folder. A folder whose stamp is the one the cache recorded has the recorded entries:
// adding, removing or renaming an entry changes the folder's modification time, and restoring
// that time its change time.
void TContentIndex::WalkFolder(std::string& path, Pass& pass) {
    cache::FolderListing fresh;
    bool whole = true;
    const auto listing = ListFolder(path, pass, fresh, whole);
    if (!listing) return;
    cache::FolderListing::ForEach(*listing, [&](std::string_view name, unsigned char type) {
        VisitEntry(name, type, path, pass);
    });
    pass.ancestors.pop_back();
    if (!whole) AddFailure(pass, path);
}

// The entries of a folder, from the cache when it is unchanged; nothing when it cannot be read
// or is one being walked already (else it is added to those).
std::optional<std::string_view> TContentIndex::ListFolder(const std::string& path, Pass& pass,
                                                          cache::FolderListing& fresh,
                                                          bool& whole) {
    const cache::WalkRecord* record = pass.Unchanged(cache::RecordKind::Folder, path);
    cache::FileStamp stamp;
    cache::FileHandle fd(-1);
    if (record) {
        stamp = record->Stamp();
    } else {
        fd.fd = ::openat(pass.root, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0) {
            AddFailure(pass, path);
            return {};
        }
        stamp = cache::StampOf(st);
    }
    const std::pair id{stamp.device, stamp.inode};
    if (std::find(pass.ancestors.begin(), pass.ancestors.end(), id) != pass.ancestors.end())
        return {};
    if (record) {
        ++foldersCached_;
        pass.next->Keep(*record);
        pass.ancestors.push_back(id);
        return record->Bytes();
    }
    DIR* dir = ::fdopendir(fd.fd);
    if (!dir) {
        AddFailure(pass, path);
        return {};
    }
    fd.fd = -1;  // the listing owns it now
    ++foldersListed_;
    whole = listFolder(dir, fresh);
    ::closedir(dir);
    if (whole && pass.next && pass.Settled(stamp))
        pass.next->Add(cache::RecordKind::Folder, path, stamp, fresh.Bytes());
    pass.ancestors.push_back(id);
    return fresh.Bytes();
}

// One entry of a folder being walked: a folder is walked in its turn, an article read.
void TContentIndex::VisitEntry(std::string_view name, unsigned char type, std::string& path,
                               Pass& pass) {
    if (!isFolder(pass.root, path, name, type)) {
        if (pass.catalogue) pass.catalogue->AddFile(name);
        if (name == kArticleName) ReadArticle(path, pass);
        return;
    }
    const size_t lineStart = text_.size();
    appendFolderLine(name, text_);
    const bool named = text_.size() > lineStart;
    text_ += "\r\n";
    if (pass.catalogue)
        pass.catalogue->Enter(name, named && isSearchedFolder(pass.root, path, name, type));
    const size_t parentLength = path.size();
    path.append("/").append(name);
    WalkFolder(path, pass);
    path.resize(parentLength);
    if (pass.catalogue) pass.catalogue->Leave();
}

void TContentIndex::ReadArticle(const std::string& folderPath, Pass& pass) {
    std::string file = folderPath + "/" + std::string(kArticleName);
    if (TakeFromCache(folderPath, file, pass)) return;
    // Non-blocking, so that a pipe under the article's name cannot stall the start.
    cache::FileHandle handle(::openat(pass.root, file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        AddFailure(pass, file);
        return;
    }
    // Topic lines of a file that fails half-way are dropped with it.
    pass.topics.clear();
    if (!ReadTopics(handle.fd, static_cast<size_t>(st.st_size), pass.topics)) {
        AddFailure(pass, file);
        return;
    }
    text_ += pass.topics;
    ++articlesRead_;
    // The stamp from before the read: a file written meanwhile has another one next time.
    const auto stamp = cache::StampOf(st);
    if (!pass.next) return;
    if (pass.Settled(stamp))
        pass.next->Add(cache::RecordKind::Article, folderPath, stamp, pass.topics);
    articles_.push_back({std::move(file), stamp});
}

// The article's topics from the last walk's cache when its file is unchanged since.
bool TContentIndex::TakeFromCache(const std::string& folderPath, std::string& file, Pass& pass) {
    const cache::WalkRecord* record = pass.Unchanged(cache::RecordKind::Article, folderPath);
    if (!record) return false;
    text_ += record->Bytes();
    ++articlesCached_;
    pass.next->Keep(*record);
    articles_.push_back({std::move(file), record->Stamp()});
    return true;
}

// Appends the topic lines of an opened article; false when a read fails.
bool TContentIndex::ReadTopics(int fd, size_t size, std::string& topics) {
    TopicScanner scanner(topics);
    TEncodingSniffer sniffer;
    // A UTF-16 article, whose marker bytes are not those of the text, is read whole first.
    bool utf16 = false;
    std::string wide;
    buffer_.resize(kReadBlock);
    size_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        const std::string_view block(buffer_.data(), static_cast<size_t>(got));
        if (total == 0) utf16 = block.starts_with("\xFF\xFE") || block.starts_with("\xFE\xFF");
        if (utf16) {
            wide += block;
        } else {
            scanner.Feed(block);
            sniffer.Feed(block);
        }
        // A short read that reaches the size the file had when opened is its end: no call is
        // spent on seeing that. (Files that report no size are read until a read gives nothing.)
        total += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < buffer_.size() && size > 0 && total >= size) break;
    }
    if (utf16) {
        scanner.Feed(ToWindows1251(wide, DetectEncoding(wide)));
        scanner.Finish();
        return true;
    }
    scanner.Finish();
    // The marker is ASCII, so it is found in the bytes of any encoding that keeps ASCII; the
    // anchors themselves go to the contents in Windows-1251.
    const TEncoding encoding = sniffer.Result();
    if (encoding != TEncoding::Windows1251) topics = ToWindows1251(topics, encoding);
    return true;
}

void TContentIndex::AddFailure(const Pass& pass, std::string_view path) {
    AddFailure(fs::path(pass.shownRoot + std::string(path.substr(1))));
}

void TContentIndex::AddFailure(const fs::path& path) {
    // The walk runs in the content folder: the report names the full path, not "./B/...".
    std::error_code error;
    fs::path full = fs::absolute(path, error);
    if (error) full = path;
    if (failures_++ == 0) firstFailure_ = text::fromPath(full.lexically_normal());
}

std::string TContentIndex::FailureMessage() const {
    if (failures_ == 0) return {};
    return "Cannot read " + std::to_string(failures_) + (failures_ == 1 ? " entry" : " entries") +
           " of the content folder; they are left out of the contents. First: " + firstFailure_;
}

namespace {

// An index that holds every walked article as it is, and nothing else, is the one an update
// would write again: it is only checked, not rebuilt.
bool indexHoldsExactly(const fs::path& cacheFolder, const std::string& root,
                       const std::vector<cache::IndexSource>& articles) {
    cache::TrigramIndex current;
    if (!current.Load(cacheFolder, root) || current.DocumentCount() != articles.size())
        return false;
    std::vector<bool> held(articles.size());
    for (const auto& article : articles) {
        const std::int64_t document = current.Document(article.stamp);
        if (document < 0 || held[static_cast<size_t>(document)]) return false;
        held[static_cast<size_t>(document)] = true;
    }
    return true;
}

}  // namespace

cache::IndexUpdate UpdateSearchIndex(const TContentIndex& index, const fs::path& cacheFolder,
                                     const std::atomic<bool>* stop) {
    if (index.Root().empty() || cacheFolder.empty()) return {};
    if (indexHoldsExactly(cacheFolder, index.Root(), index.Articles()))
        return {.kept = index.Articles().size()};
    return cache::TrigramIndexBuilder::Update(cacheFolder, index.Root(), index.Articles(),
                                              kCacheSettle, stop);
}

// --- contents file -------------------------------------------------------------------------

std::string ContentsText(const std::vector<std::string>& lines) {
    std::string text;
    size_t total = 0;
    for (const auto& line : lines) total += line.size() + 2;
    text.reserve(total);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void SaveContentsFile(const std::vector<std::string>& lines, const fs::path& file) {
    SaveContentsText(ContentsText(lines), file);
}

void SaveContentsText(std::string_view text, const fs::path& file) {
    std::string pattern = file.native() + ".XXXXXX";
    const std::string shownName = text::fromPath(file);
    auto fail = [&](int error) {
        throw Exception("Cannot create file \"" + shownName + "\". " +
                        std::string(std::strerror(error)));
    };
    cache::FileHandle handle(::mkstemp(pattern.data()));
    if (handle.fd < 0) fail(errno);
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t wrote = ::write(handle.fd, p, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : EIO;
            ::unlink(pattern.c_str());
            fail(error);
        }
        p += wrote;
        left -= static_cast<size_t>(wrote);
    }
    ::fchmod(handle.fd, 0644);
    // No fsync: the file is written anew at every start before it is read, so one torn by a
    // crash is replaced before anyone sees it; the rename alone keeps readers from a half file.
    const int fd = std::exchange(handle.fd, -1);
    if (::close(fd) != 0 || ::rename(pattern.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(pattern.c_str());
        fail(error);
    }
}

}  // namespace kv
