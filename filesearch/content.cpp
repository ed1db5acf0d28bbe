#include "filesearch/content.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kv {

PhraseMatcher::PhraseMatcher(std::string_view phrase, bool ignoreCase, bool foldCyrillic) {
    for (int i = 0; i < 256; ++i) fold_[i] = static_cast<unsigned char>(i);
    if (ignoreCase) {
        for (int c = 'a'; c <= 'z'; ++c) fold_[c] = static_cast<unsigned char>(c - 32);
        if (foldCyrillic) {
            for (int c = 0xC0; c <= 0xDF; ++c) fold_[c] = static_cast<unsigned char>(c + 32);
            fold_[0xA8] = 0xB8;
        }
    }
    phrase_.reserve(phrase.size());
    for (const char c : phrase) {
        const auto byte = static_cast<unsigned char>(c);
        phrase_ += static_cast<char>(fold_[byte]);
    }
    // A phrase without letters of two cases needs no folding at all.
    for (int c = 0; c < 256 && plain_; ++c) {
        if (fold_[c] != c && phrase_.find(static_cast<char>(fold_[c])) != std::string::npos)
            plain_ = false;
    }
    // Horspool shifts over folded bytes.
    const size_t length = phrase_.size();
    shift_.fill(length);
    for (size_t i = 0; i + 1 < length; ++i)
        shift_[static_cast<unsigned char>(phrase_[i])] = length - 1 - i;
}

bool PhraseMatcher::FoundIn(const unsigned char* data, size_t size) const {
    if (phrase_.empty()) return true;
    if (size < phrase_.size()) return false;
    if (plain_) return memmem(data, size, phrase_.data(), phrase_.size()) != nullptr;
    return FoldedFoundIn(data, size);
}

bool PhraseMatcher::FoldedFoundIn(const unsigned char* data, size_t size) const {
    const size_t length = phrase_.size();
    const auto* phrase = reinterpret_cast<const unsigned char*>(phrase_.data());
    const unsigned char last = phrase[length - 1];
    for (size_t at = 0; at + length <= size;) {
        const unsigned char c = fold_[data[at + length - 1]];
        if (c == last) {
            size_t i = 0;
            while (i + 1 < length && fold_[data[at + i]] == phrase[i]) ++i;
            if (i + 1 >= length) return true;
        }
        at += shift_[c];
    }
    return false;
}

ContentReader::ContentReader(size_t blockSize) : blockSize_(std::max<size_t>(blockSize, 1)) {}

ContentReader::Result ContentReader::Contains(const char* nativePath, const PhraseMatcher& phrase) {
    return Contains(AT_FDCWD, nativePath, phrase);
}

ContentReader::Result ContentReader::Contains(int dirFd, const char* nativeName,
                                              const PhraseMatcher& phrase) {
    // Non-blocking, so that a pipe put in place of the file cannot stall the search.
    const int fd = openat(dirFd, nativeName, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Result::Unreadable;
    struct stat info {};
    Result result = Result::Unreadable;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) result = ContainsOpen(fd, phrase);
    close(fd);
    return result;
}

ContentReader::Result ContentReader::ContainsOpen(int fd, const PhraseMatcher& phrase) {
    if (phrase.Length() == 0) return Result::Found;
    const size_t keep = phrase.Length() - 1;
    // Room for one block after the tail carried over from the block before.
    if (buffer_.size() < keep + blockSize_) buffer_.resize(keep + blockSize_);
    unsigned char* const buffer = buffer_.data();
    size_t carried = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer + carried, blockSize_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Result::NotFound;
        const size_t filled = carried + static_cast<size_t>(got);
        if (phrase.FoundIn(buffer, filled)) return Result::Found;
        carried = std::min(keep, filled);
        memmove(buffer, buffer + filled - carried, carried);
    }
}

}  // namespace kv
