#pragma once
// The content test: does a file's byte stream contain a phrase? The file is read in blocks of
// a fixed size; the last bytes of each block are carried into the next, so a phrase that runs
// across a block boundary is found like any other.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// One phrase, prepared for fast search in byte blocks.
class PhraseMatcher {
public:
    // ignoreCase folds a-z onto A-Z; with foldCyrillic as well, the Windows-1251 letters А-Я
    // onto а-я and Ё onto ё. foldCyrillic alone does nothing.
    PhraseMatcher(std::string_view phrase, bool ignoreCase, bool foldCyrillic);

    size_t Length() const { return phrase_.size(); }
    // True when the bytes contain the phrase.
    bool FoundIn(const unsigned char* data, size_t size) const;

private:
    bool FoldedFoundIn(const unsigned char* data, size_t size) const;
    bool MatchesAt(const unsigned char* data) const;

    std::array<unsigned char, 256> fold_{};
    std::string phrase_;  // folded
    bool plain_ = true;   // no byte of the phrase has another case: a plain byte search
    // Both case forms of the phrase's first and last byte, which a folded search looks for
    // sixteen positions at a time before it compares a candidate whole.
    unsigned char first_[2] = {}, last_[2] = {};
};

// Reads files for the content test with one buffer of a fixed size, reused for every file.
class ContentReader {
public:
    static constexpr size_t kDefaultBlockSize = 64 * 1024;
    explicit ContentReader(size_t blockSize = kDefaultBlockSize);

    enum class Result { Found, NotFound, Unreadable };
    // The file (a native path) is opened for reading only and never blocks: anything but a
    // regular file is Unreadable. Reading stops at the size the file had when it was opened; a
    // read failure ends the test with what was found so far.
    Result Contains(const char* nativePath, const PhraseMatcher& phrase);
    Result Contains(int dirFd, const char* nativeName, const PhraseMatcher& phrase);

private:
    Result ContainsOpen(int fd, size_t size, const PhraseMatcher& phrase);

    size_t blockSize_;
    std::vector<unsigned char> buffer_;
};

}  // namespace kv
