#pragma once
// The content test: does a file's byte stream contain a phrase? The file is read in blocks of
// a fixed size; the last bytes of each block are carried into the next, so a phrase that runs
// across a block boundary is found like any other.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The byte forms of a phrase of text (UTF-8) in the encodings articles are written in: its
// Windows-1251 bytes when the code page has every character of it, and its UTF-8 bytes when they
// differ from those (a phrase of ASCII only is the same in both).
struct PhraseForms {
    std::optional<std::string> windows1251;
    std::optional<std::string> utf8;
};
PhraseForms FormsOfPhrase(std::string_view text);

// One phrase, prepared for fast search in byte blocks: as its own bytes or, for a phrase of text,
// in each of its forms, so that it is found in articles written in either encoding.
class PhraseMatcher {
public:
    // ignoreCase folds a-z onto A-Z; with foldCyrillic as well, the letters А-Я onto а-я and Ё
    // onto ё (in each encoding's bytes). foldCyrillic alone does nothing. With `text` the phrase
    // is UTF-8 text, searched in its forms; else it is bytes, searched as they are.
    PhraseMatcher(std::string_view phrase, bool ignoreCase, bool foldCyrillic, bool text = false);

    // The longest form's length: what a block boundary may cut.
    size_t Length() const { return length_; }
    // True when the bytes contain the phrase in any of its forms.
    bool FoundIn(const unsigned char* data, size_t size) const;

private:
    struct Form {
        std::string phrase;  // folded
        bool utf8 = false;   // folded by letters of two bytes, not byte by byte
        bool plain = true;   // no byte of the phrase has another case: a plain byte search
        // Both case forms of the phrase's first and last byte, which a folded search looks
        // for sixteen positions at a time before it compares a candidate whole.
        unsigned char first[2] = {}, last[2] = {};
    };
    void AddSingleByteForm(std::string_view phrase);
    void AddUtf8Form(std::string_view utf8);
    template <bool kTwoForms>
    bool FoldedFoundIn(const unsigned char* data, size_t size) const;
    bool MatchesAt(const Form& form, const unsigned char* data) const;

    std::array<unsigned char, 256> fold_{};       // for Windows-1251 bytes
    std::array<unsigned char, 256> asciiFold_{};  // for UTF-8 bytes outside Cyrillic letters
    bool foldCyrillic_ = false;
    std::vector<Form> forms_;
    size_t length_ = 0;
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
