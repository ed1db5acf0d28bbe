#pragma once
// The encoding of an article, decided once per file (first match wins): a byte-order mark; a
// charset named by META or an XML declaration starting within the first 1024 bytes; bytes that
// are valid UTF-8 with at least one multi-byte sequence; else Windows-1251. And the decoding of
// the file's bytes into characters, each with the byte index where it starts.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

enum class TEncoding : uint8_t {
    Windows1251,
    Utf8,
    Utf16LE,
    Utf16BE,
    Koi8R,
    Iso88595,
    Cp866,
    Latin1,  // ISO-8859-1 (and US-ASCII)
    Windows1252,
    Latin9,  // ISO-8859-15
};

// The usual name of the encoding ("utf-8", "windows-1251", ...).
std::string_view EncodingName(TEncoding encoding);

// The encoding a charset label names (any letter case; "cp1251", "utf8", "latin1", ...); false
// for one not known here.
bool EncodingOfLabel(std::string_view label, TEncoding& encoding);

// Decides the encoding of a file whose bytes come in blocks of any size (Feed each in order).
class TEncodingSniffer {
public:
    TEncodingSniffer();
    void Feed(std::string_view block);
    TEncoding Result() const;

private:
    std::string head_;  // the first bytes, where the mark and the charset are looked for
    uint64_t state_;    // where the UTF-8 check stands (a sequence may go on in the next block)
    bool multiByte_ = false;
};

TEncoding DetectEncoding(std::string_view bytes);

// Calls `onChar(character, byteIndex)` for every character of `bytes` read in `encoding`, the
// byte-order mark left out. Bytes that form no character give U+FFFD.
void DecodeText(std::string_view bytes, TEncoding encoding,
                const std::function<void(char32_t, int32_t)>& onChar);

// The length of the UTF-8 sequence at `p` (before `end`) with its character in `ch`; 0 when no
// valid sequence starts there, -1 when the bytes end inside one that is valid so far.
int Utf8Sequence(const unsigned char* p, const unsigned char* end, char32_t& ch);

// The text re-encoded in Windows-1251; characters the code page lacks become "?".
std::string ToWindows1251(std::string_view bytes, TEncoding encoding);

}  // namespace kv
