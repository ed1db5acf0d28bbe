#include "app/contentindex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <system_error>
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

// An entry of type `type` (as a listing gives it) that is a folder, or a link to one.
bool isFolder(int folder, const char* name, unsigned char type) {
    if (type == DT_DIR) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st {};
    return ::fstatat(folder, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// A folder a search enters: not a link to one.
bool isSearchedFolder(int folder, const char* name, unsigned char type) {
    if (type != DT_UNKNOWN) return type == DT_DIR;
    struct stat st {};
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
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

// The Windows-1251 line of a folder name (UTF-8 on disk). Latin and Cyrillic names, nearly all
// of them, are converted here byte by byte; the rest take the general conversion.
std::string folderLine(std::string_view name) {
    std::string line;
    line.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80) {
            line.push_back(static_cast<char>(lead));
            continue;
        }
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (lead < 0xC2 || lead > 0xDF || (next & 0xC0) != 0x80) return cp1251::fromUtf8(name);
        line.push_back(
            cp1251::fromUnicode(static_cast<char32_t>((lead & 0x1F) << 6 | (next & 0x3F))));
        ++i;
    }
    return line;
}

}  // namespace

// --- TopicScanner -------------------------------------------------------------------------

void TopicScanner::Emit() {
    if (anchor_.size() >= 2) {
        std::string line;
        line.reserve(anchor_.size() + 1);
        line.push_back(' ');
        line += anchor_;
        lines_.push_back(std::move(line));
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

// The state of one walk.
struct TContentIndex::Pass {
    // A link back to a folder being walked would never end.
    std::vector<std::pair<dev_t, ino_t>> ancestors;
    const cache::WalkCache* previous = nullptr;   // the last walk's cache, when there is one
    cache::WalkCacheWriter* next = nullptr;       // this walk's, when one is kept
    std::int64_t settledBefore = 0;               // stamps at or after this are not recorded
    SearchCatalogueBuilder* catalogue = nullptr;  // when the search's index will be built

    // A file or folder changed this recently may change again unseen within its clock tick.
    bool Settled(const cache::FileStamp& stamp) const {
        return stamp.modified < settledBefore && stamp.changed < settledBefore;
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

void TContentIndex::MakeTree(const fs::path& folder) {
    articlesRead_ = articlesCached_ = foldersListed_ = foldersCached_ = 0;
    articles_.clear();
    root_.clear();
    catalogue_.reset();
    std::string path = folder.native();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        AddFailure(path);
        return;
    }
    Pass pass;
    cache::WalkCache previous;
    cache::WalkCacheWriter next;
    std::error_code error;
    const std::string root = cacheFolder_.empty() ? "" : fs::canonical(folder, error).native();
    if (!root.empty() && !error) {
        root_ = root;
        previous.Load(cacheFolder_, root);
        // With nothing to compare with, the first start spends no call on stamps first.
        if (previous.Size() > 0) pass.previous = &previous;
        pass.next = &next;
        const auto settled = std::chrono::system_clock::now().time_since_epoch() - cacheSettle_;
        pass.settledBefore = std::chrono::duration_cast<std::chrono::nanoseconds>(settled).count();
    }
    SearchCatalogueBuilder catalogue(root, std::string(kArticleMask));
    if (pass.next) pass.catalogue = &catalogue;
    WalkFolder(fd, path, pass);
    if (!pass.next) return;
    next.Save(cacheFolder_, root, previous.Payload());  // one that cannot be kept is no fault
    catalogue_ = std::make_shared<const SearchCatalogue>(catalogue.Finish());
}

// Walks an opened folder (and closes it). `path` names it for reports; entries are opened
// relative to the folder itself, so no path is built unless something fails. A folder whose
// stamp is the one the cache recorded has the recorded entries: adding, removing or renaming
// an entry changes the folder's modification time, and restoring that time its change time.
void TContentIndex::WalkFolder(int fd, std::string& path, Pass& pass) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        AddFailure(path);
        return;
    }
    const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    if (std::find(pass.ancestors.begin(), pass.ancestors.end(), id) != pass.ancestors.end()) {
        ::close(fd);
        return;
    }
    DIR* dir = nullptr;
    cache::FolderListing fresh;
    bool whole = true;
    auto listing = CachedListing(path, st, pass);
    if (!listing) {
        dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            AddFailure(path);
            return;
        }
        ++foldersListed_;
        whole = listFolder(dir, fresh);
        listing = fresh.Bytes();
        const auto stamp = cache::StampOf(st);
        if (whole && pass.next && pass.Settled(stamp)) pass.next->AddFolder(path, stamp, *listing);
    }
    pass.ancestors.push_back(id);
    cache::FolderListing::ForEach(*listing, [&](std::string_view name, unsigned char type) {
        VisitEntry(fd, name, type, path, pass);
    });
    pass.ancestors.pop_back();
    if (!whole) AddFailure(path);
    if (dir)
        ::closedir(dir);
    else
        ::close(fd);
}

// The entries the cache recorded for the folder, kept for the next walk, when its stamp is the
// recorded one.
std::optional<std::string_view> TContentIndex::CachedListing(const std::string& path,
                                                             const struct stat& st, Pass& pass) {
    if (!pass.previous) return {};
    const auto stamp = cache::StampOf(st);
    const auto listing = pass.previous->Listing(path, stamp);
    if (!listing) return {};
    ++foldersCached_;
    pass.next->AddFolder(path, stamp, *listing);
    return listing;
}

// One entry of a folder being walked: a folder is walked in its turn, an article read.
void TContentIndex::VisitEntry(int folder, std::string_view name, unsigned char type,
                               std::string& path, Pass& pass) {
    // Listed names end with a NUL.
    if (!isFolder(folder, name.data(), type)) {
        if (pass.catalogue) pass.catalogue->AddFile(name);
        if (name == kArticleName) ReadArticle(folder, path, pass);
        return;
    }
    lines_.push_back(folderLine(name));
    if (pass.catalogue)
        pass.catalogue->Enter(
            name, !lines_.back().empty() && isSearchedFolder(folder, name.data(), type));
    const size_t parentLength = path.size();
    path.append("/").append(name);
    const int child = ::openat(folder, name.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (child < 0)
        AddFailure(path);
    else
        WalkFolder(child, path, pass);
    path.resize(parentLength);
    if (pass.catalogue) pass.catalogue->Leave();
}

void TContentIndex::ReadArticle(int folder, const std::string& folderPath, Pass& pass) {
    if (pass.previous && TakeFromCache(folder, folderPath, pass)) return;
    // Non-blocking, so that a pipe under the article's name cannot stall the start.
    cache::FileHandle handle(
        ::openat(folder, kArticleName.data(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    const auto fail = [&] { AddFailure(folderPath + "/" + std::string(kArticleName)); };
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fail();
        return;
    }
    // Topic lines of a file that fails half-way are dropped with it.
    const size_t before = lines_.size();
    if (!ReadTopics(handle.fd, static_cast<size_t>(st.st_size))) {
        lines_.resize(before);
        fail();
        return;
    }
    ++articlesRead_;
    // The stamp from before the read: a file written meanwhile has another one next time.
    const auto stamp = cache::StampOf(st);
    if (pass.next) articles_.push_back({folderPath + "/" + std::string(kArticleName), stamp});
    if (pass.next && stamp.modified < pass.settledBefore && stamp.changed < pass.settledBefore)
        pass.next->Add(folderPath, stamp, std::span(lines_).subspan(before));
}

// The article's topics from the last walk's cache when its file is unchanged since.
bool TContentIndex::TakeFromCache(int folder, const std::string& folderPath, Pass& pass) {
    struct stat st {};
    if (::fstatat(folder, kArticleName.data(), &st, 0) != 0 || !S_ISREG(st.st_mode)) return false;
    const auto stamp = cache::StampOf(st);
    const size_t before = lines_.size();
    if (!pass.previous->AppendTopics(folderPath, stamp, lines_)) return false;
    ++articlesCached_;
    pass.next->Add(folderPath, stamp, std::span(lines_).subspan(before));
    articles_.push_back({folderPath + "/" + std::string(kArticleName), stamp});
    return true;
}

// Appends the topic lines of an opened article; false when a read fails.
bool TContentIndex::ReadTopics(int fd, size_t size) {
    const size_t before = lines_.size();
    TopicScanner scanner(lines_);
    TEncodingSniffer sniffer;
    buffer_.resize(kReadBlock);
    size_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        const std::string_view block(buffer_.data(), static_cast<size_t>(got));
        scanner.Feed(block);
        sniffer.Feed(block);
        // A short read that reaches the size the file had when opened is its end: no call is
        // spent on seeing that. (Files that report no size are read until a read gives nothing.)
        total += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < buffer_.size() && size > 0 && total >= size) break;
    }
    scanner.Finish();
    // The marker is ASCII, so it is found in the bytes of any encoding that keeps ASCII; the
    // anchors themselves go to the contents in Windows-1251.
    const TEncoding encoding = sniffer.Result();
    if (encoding != TEncoding::Windows1251) {
        for (size_t i = before; i < lines_.size(); ++i)
            lines_[i] = ToWindows1251(lines_[i], encoding);
    }
    return true;
}

void TContentIndex::AddFailure(const fs::path& path) {
    // The walk runs in the content folder: the report names the full path, not "./B/...".
    std::error_code error;
    fs::path full = fs::absolute(path, error);
    if (error) full = path;
    if (failures_++ == 0) firstFailure_ = cp1251::fromPath(full.lexically_normal());
}

std::string TContentIndex::FailureMessage() const {
    if (failures_ == 0) return {};
    return "Cannot read " + std::to_string(failures_) + (failures_ == 1 ? " entry" : " entries") +
           " of the content folder; they are left out of the contents. First: " + firstFailure_;
}

cache::IndexUpdate UpdateSearchIndex(const TContentIndex& index, const fs::path& cacheFolder,
                                     const std::atomic<bool>* stop) {
    if (index.Root().empty() || cacheFolder.empty()) return {};
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
    const std::string text = ContentsText(lines);
    std::string pattern = file.native() + ".XXXXXX";
    const std::string shownName = cp1251::fromPath(file);
    auto fail = [&](int error) {
        throw Exception("Cannot create file \"" + shownName + "\". " +
                        cp1251::fromUtf8(std::strerror(error)));
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
