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
    if (phrase_.empty()) return;
    // Each folded byte stands for itself and at most one other byte.
    const auto forms = [this](unsigned char folded, unsigned char(&out)[2]) {
        out[0] = out[1] = folded;
        for (int c = 0; c < 256; ++c) {
            if (fold_[c] == folded && c != folded) out[1] = static_cast<unsigned char>(c);
        }
    };
    forms(static_cast<unsigned char>(phrase_.front()), first_);
    forms(static_cast<unsigned char>(phrase_.back()), last_);
}

bool PhraseMatcher::FoundIn(const unsigned char* data, size_t size) const {
    if (phrase_.empty()) return true;
    if (size < phrase_.size()) return false;
    if (plain_) return memmem(data, size, phrase_.data(), phrase_.size()) != nullptr;
    return FoldedFoundIn(data, size);
}

bool PhraseMatcher::MatchesAt(const unsigned char* data) const {
    const auto* phrase = reinterpret_cast<const unsigned char*>(phrase_.data());
    for (size_t i = 0; i < phrase_.size(); ++i) {
        if (fold_[data[i]] != phrase[i]) return false;
    }
    return true;
}

bool PhraseMatcher::FoldedFoundIn(const unsigned char* data, size_t size) const {
    // Sixteen candidate positions at a time: both case forms of the first byte at the start
    // and of the last byte at the end (GCC vector extensions, SSE2 or NEON underneath).
    using Bytes = unsigned char __attribute__((vector_size(16)));
    using Words = unsigned long long __attribute__((vector_size(16)));
    constexpr size_t kLanes = 16;
    const size_t length = phrase_.size();
    const size_t lastCandidate = size - length;  // size >= length here
    const Bytes first0 = first_[0] - Bytes{}, first1 = first_[1] - Bytes{};
    const Bytes last0 = last_[0] - Bytes{}, last1 = last_[1] - Bytes{};
    size_t at = 0;
    for (; at + kLanes <= lastCandidate + 1; at += kLanes) {
        Bytes head, tail;
        memcpy(&head, data + at, kLanes);
        memcpy(&tail, data + at + length - 1, kLanes);
        const Bytes hits = reinterpret_cast<Bytes>(((head == first0) | (head == first1)) &
                                                   ((tail == last0) | (tail == last1)));
        const Words words = reinterpret_cast<Words>(hits);
        if ((words[0] | words[1]) == 0) continue;
        for (size_t lane = 0; lane < kLanes; ++lane) {
            if (hits[lane] != 0 && MatchesAt(data + at + lane)) return true;
        }
    }
    for (; at <= lastCandidate; ++at) {
        if (MatchesAt(data + at)) return true;
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
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        result = ContainsOpen(fd, static_cast<size_t>(info.st_size), phrase);
    close(fd);
    return result;
}

ContentReader::Result ContentReader::ContainsOpen(int fd, size_t size,
                                                  const PhraseMatcher& phrase) {
    if (phrase.Length() == 0) return Result::Found;
    const size_t keep = phrase.Length() - 1;
    // Room for one block after the tail carried over from the block before.
    if (buffer_.size() < keep + blockSize_) buffer_.resize(keep + blockSize_);
    unsigned char* const buffer = buffer_.data();
    size_t carried = 0;
    // Reads on while the position is short of the size the file had when it was opened.
    for (size_t position = 0; position < size;) {
        const ssize_t got = read(fd, buffer + carried, blockSize_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        position += static_cast<size_t>(got);
        const size_t filled = carried + static_cast<size_t>(got);
        if (phrase.FoundIn(buffer, filled)) return Result::Found;
        carried = std::min(keep, filled);
        memmove(buffer, buffer + filled - carried, carried);
    }
    return Result::NotFound;
}

}  // namespace kv
