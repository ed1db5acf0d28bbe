#include "filesearch/content.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/codec.h"

namespace kv {

namespace {

constexpr unsigned char kLeadLow = 0xD0;   // UTF-8 lead of Ѐ-Я and а-п
constexpr unsigned char kLeadHigh = 0xD1;  // UTF-8 lead of р-џ

bool IsCyrillicLead(unsigned char byte) {
    return byte == kLeadLow || byte == kLeadHigh;
}

// The UTF-8 letter (lead, next) with А-Я and Ё made lower case; other letters as they are.
std::pair<unsigned char, unsigned char> LowerUtf8(unsigned char lead, unsigned char next) {
    if (lead != kLeadLow) return {lead, next};
    if (next == 0x81) return {kLeadHigh, 0x91};                         // Ё
    if (next >= 0x90 && next <= 0x9F) return {kLeadLow, next + 0x20};   // А-П
    if (next >= 0xA0 && next <= 0xAF) return {kLeadHigh, next - 0x20};  // Р-Я
    return {lead, next};
}

// The second byte of the upper-case form of the lower-case UTF-8 letter (lead, next).
unsigned char UpperUtf8Next(unsigned char lead, unsigned char next) {
    if (lead == kLeadLow && next >= 0xB0 && next <= 0xBF) return next - 0x20;
    if (lead == kLeadHigh && next >= 0x80 && next <= 0x8F) return next + 0x20;
    if (lead == kLeadHigh && next == 0x91) return 0x81;
    return next;
}

// Both bytes that fold onto `folded` (the same one twice when only it does).
void CaseForms(const std::array<unsigned char, 256>& fold, unsigned char folded,
               unsigned char (&out)[2]) {
    out[0] = out[1] = folded;
    for (int c = 0; c < 256; ++c) {
        if (fold[c] == folded && c != folded) out[1] = static_cast<unsigned char>(c);
    }
}

}  // namespace

PhraseMatcher::PhraseMatcher(std::string_view phrase, bool ignoreCase, bool foldCyrillic,
                             bool text) {
    for (int i = 0; i < 256; ++i) fold_[i] = static_cast<unsigned char>(i);
    if (ignoreCase) {
        for (int c = 'a'; c <= 'z'; ++c) fold_[c] = static_cast<unsigned char>(c - 32);
    }
    asciiFold_ = fold_;
    foldCyrillic_ = ignoreCase && foldCyrillic;
    if (foldCyrillic_) {
        for (int c = 0xC0; c <= 0xDF; ++c) fold_[c] = static_cast<unsigned char>(c + 32);
        fold_[0xA8] = 0xB8;
    }
    if (!text) {
        AddSingleByteForm(phrase);
    } else {
        const PhraseForms forms = FormsOfPhrase(phrase);
        if (forms.windows1251) AddSingleByteForm(*forms.windows1251);
        if (forms.utf8) AddUtf8Form(*forms.utf8);
    }
    for (const auto& form : forms_) length_ = std::max(length_, form.phrase.size());
}

PhraseForms FormsOfPhrase(std::string_view phrase) {
    PhraseForms forms;
    std::string windows = text::toWindows1251(phrase);
    const bool ascii = text::isAscii(phrase);
    if (ascii || text::fromWindows1251(windows) == phrase) forms.windows1251 = std::move(windows);
    if (!ascii) forms.utf8 = std::string(phrase);
    return forms;
}

void PhraseMatcher::AddSingleByteForm(std::string_view phrase) {
    Form form;
    form.phrase.reserve(phrase.size());
    for (const char c : phrase)
        form.phrase += static_cast<char>(fold_[static_cast<unsigned char>(c)]);
    // A phrase without letters of two cases needs no folding at all.
    for (int c = 0; c < 256 && form.plain; ++c) {
        if (fold_[c] != c && form.phrase.find(static_cast<char>(fold_[c])) != std::string::npos)
            form.plain = false;
    }
    if (!form.phrase.empty()) {
        CaseForms(fold_, static_cast<unsigned char>(form.phrase.front()), form.first);
        CaseForms(fold_, static_cast<unsigned char>(form.phrase.back()), form.last);
    }
    forms_.push_back(std::move(form));
}

void PhraseMatcher::AddUtf8Form(std::string_view utf8) {
    Form form;
    form.utf8 = true;
    auto& folded = form.phrase;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (foldCyrillic_ && IsCyrillicLead(byte) && i + 1 < utf8.size()) {
            const auto [lead, next] = LowerUtf8(byte, static_cast<unsigned char>(utf8[++i]));
            if (UpperUtf8Next(lead, next) != next) form.plain = false;
            folded += static_cast<char>(lead);
            folded += static_cast<char>(next);
        } else {
            folded += static_cast<char>(asciiFold_[byte]);
            if (asciiFold_[byte] != byte) form.plain = false;
        }
    }
    if (folded.empty()) return;
    const auto front = static_cast<unsigned char>(folded.front());
    const auto back = static_cast<unsigned char>(folded.back());
    if (foldCyrillic_ && IsCyrillicLead(front)) {
        form.first[0] = kLeadLow;
        form.first[1] = kLeadHigh;
    } else {
        CaseForms(asciiFold_, front, form.first);
    }
    const auto beforeBack = folded.size() >= 2 ? static_cast<unsigned char>(folded.end()[-2]) : 0;
    if (foldCyrillic_ && IsCyrillicLead(beforeBack)) {
        form.last[0] = back;
        form.last[1] = UpperUtf8Next(beforeBack, back);
    } else {
        CaseForms(asciiFold_, back, form.last);
    }
    forms_.push_back(std::move(form));
}

bool PhraseMatcher::FoundIn(const unsigned char* data, size_t size) const {
    if (length_ == 0) return true;
    if (forms_.size() == 1 && forms_[0].plain) {
        const auto& phrase = forms_[0].phrase;
        return size >= phrase.size() && memmem(data, size, phrase.data(), phrase.size()) != nullptr;
    }
    return forms_.size() == 1 ? FoldedFoundIn<false>(data, size) : FoldedFoundIn<true>(data, size);
}

bool PhraseMatcher::MatchesAt(const Form& form, const unsigned char* data) const {
    const auto* phrase = reinterpret_cast<const unsigned char*>(form.phrase.data());
    const size_t length = form.phrase.size();
    if (!form.utf8) {
        for (size_t i = 0; i < length; ++i) {
            if (fold_[data[i]] != phrase[i]) return false;
        }
        return true;
    }
    for (size_t i = 0; i < length; ++i) {
        if (foldCyrillic_ && data[i] == kLeadLow && i + 1 < length) {
            const auto [lead, next] = LowerUtf8(data[i], data[i + 1]);
            if (lead != phrase[i] || next != phrase[i + 1]) return false;
            ++i;
        } else if (asciiFold_[data[i]] != phrase[i]) {
            return false;
        }
    }
    return true;
}

template <bool kTwoForms>
bool PhraseMatcher::FoldedFoundIn(const unsigned char* data, size_t size) const {
    // Sixteen candidate positions at a time: both case forms of each form's first byte at the
    // start and of its last byte at the end (GCC vector extensions, SSE2 or NEON underneath).
    // The second form costs its own tail and compares only when there is one.
    using Bytes = unsigned char __attribute__((vector_size(16)));
    using Words = unsigned long long __attribute__((vector_size(16)));
    constexpr size_t kLanes = 16;
    const Form& one = forms_.front();
    const Form& two = forms_.back();  // the same as one when there is only one
    const size_t oneLength = one.phrase.size(), twoLength = two.phrase.size();
    const Bytes oneFirst0 = one.first[0] - Bytes{}, oneFirst1 = one.first[1] - Bytes{};
    const Bytes oneLast0 = one.last[0] - Bytes{}, oneLast1 = one.last[1] - Bytes{};
    const Bytes twoFirst0 = two.first[0] - Bytes{}, twoFirst1 = two.first[1] - Bytes{};
    const Bytes twoLast0 = two.last[0] - Bytes{}, twoLast1 = two.last[1] - Bytes{};
    const auto fits = [&](const Form& form, size_t at) {
        return at + form.phrase.size() <= size && MatchesAt(form, data + at);
    };
    size_t at = 0;
    // Whole vectors while the longest form's tail stays inside the data.
    for (; at + length_ - 1 + kLanes <= size; at += kLanes) {
        Bytes head, oneTail, twoTail{};
        memcpy(&head, data + at, kLanes);
        memcpy(&oneTail, data + at + oneLength - 1, kLanes);
        const Bytes oneHits =
            reinterpret_cast<Bytes>(((head == oneFirst0) | (head == oneFirst1)) &
                                    ((oneTail == oneLast0) | (oneTail == oneLast1)));
        Bytes twoHits{};
        if constexpr (kTwoForms) {
            memcpy(&twoTail, data + at + twoLength - 1, kLanes);
            twoHits = reinterpret_cast<Bytes>(((head == twoFirst0) | (head == twoFirst1)) &
                                              ((twoTail == twoLast0) | (twoTail == twoLast1)));
        }
        const Words words = reinterpret_cast<Words>(oneHits | twoHits);
        if ((words[0] | words[1]) == 0) continue;
        for (size_t lane = 0; lane < kLanes; ++lane) {
            if (oneHits[lane] != 0 && MatchesAt(one, data + at + lane)) return true;
            if (kTwoForms && twoHits[lane] != 0 && MatchesAt(two, data + at + lane)) return true;
        }
    }
    for (; at < size; ++at) {
        if (fits(one, at) || fits(two, at)) return true;
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
