#include "app/contentindex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/codec.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "platform/paths.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = "<a name=\"";
constexpr std::string_view kArticleName = "index.htm";

// First CR or LF in [from, to), or to.
const char* findLineEnd(const char* from, const char* to) {
    for (const char* p = from; p < to; ++p) {
        if (*p == '\n' || *p == '\r') return p;
    }
    return to;
}

// Closes a file descriptor when it goes out of scope.
struct FileHandle {
    int fd;
    explicit FileHandle(int f) : fd(f) {}
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
};

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
            const void* hit =
                ::memmem(p, static_cast<size_t>(end - p), kMarker.data(), kMarker.size());
            if (!hit) {
                const size_t keep = std::min(static_cast<size_t>(end - p), kMarker.size() - 1);
                carry_.assign(end - keep, keep);
                return;
            }
            p = static_cast<const char*>(hit) + kMarker.size();
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

void TContentIndex::GenerateMainTree(std::string_view programFolder) {
    Walk(std::string(programFolder) + "inside/");
}

void TContentIndex::Walk(std::string_view contentFolder) {
    if (!paths::setCurrentFolder(contentFolder)) messages::showWarning("Cannot find directory");
    MakeTree(".");
}

void TContentIndex::MakeTree(const fs::path& folder) {
    std::vector<std::pair<dev_t, ino_t>> ancestors;
    MakeTreeGuarded(folder, ancestors);
}

void TContentIndex::MakeTreeGuarded(const fs::path& folder,
                                    std::vector<std::pair<dev_t, ino_t>>& ancestors) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        AddFailure(folder);
        return;
    }
    // A link back to a folder being walked would never end.
    const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) return;
    ancestors.push_back(id);

    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) AddFailure(folder);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().native();
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        if (entry.is_directory(typeError)) {
            lines_.push_back(cp1251::fromPath(name));
            MakeTreeGuarded(entry.path(), ancestors);
        } else if (name == kArticleName) {
            ReadArticle(entry.path());
        }
    }
    if (ec) AddFailure(folder);
    ancestors.pop_back();
}

void TContentIndex::ReadArticle(const fs::path& file) {
    // Non-blocking, so that a pipe under the article's name cannot stall the start.
    FileHandle handle(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (handle.fd < 0 || ::fstat(handle.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        AddFailure(file);
        return;
    }
    // Topic lines of a file that fails half-way are dropped with it.
    const size_t before = lines_.size();
    TopicScanner scanner(lines_);
    static thread_local std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(handle.fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            lines_.resize(before);
            AddFailure(file);
            return;
        }
        if (got == 0) break;
        scanner.Feed(std::string_view(buffer.data(), static_cast<size_t>(got)));
    }
    scanner.Finish();
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
    FileHandle handle(::mkstemp(pattern.data()));
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
    if (::fsync(handle.fd) != 0 || ::rename(pattern.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(pattern.c_str());
        fail(error);
    }
}

}  // namespace kv
