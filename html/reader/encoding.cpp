#include "html/reader/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <utility>

#include "platform/codec.h"

namespace kv {
namespace {

constexpr size_t kCharsetReach = 1024;  // a declaration must start within these bytes
constexpr size_t kHeadKept = 2 * kCharsetReach;
constexpr char32_t kReplacement = 0xFFFD;

struct TLabel {
    std::string_view label;
    TEncoding encoding;
};
constexpr TLabel kLabels[] = {
    {"utf-8", TEncoding::Utf8},
    {"utf8", TEncoding::Utf8},
    {"windows-1251", TEncoding::Windows1251},
    {"cp1251", TEncoding::Windows1251},
    {"x-cp1251", TEncoding::Windows1251},
    {"koi8-r", TEncoding::Koi8R},
    {"koi8r", TEncoding::Koi8R},
    {"iso-8859-5", TEncoding::Iso88595},
    {"iso8859-5", TEncoding::Iso88595},
    {"cp866", TEncoding::Cp866},
    {"ibm866", TEncoding::Cp866},
    {"iso-8859-1", TEncoding::Latin1},
    {"iso8859-1", TEncoding::Latin1},
    {"latin1", TEncoding::Latin1},
    {"us-ascii", TEncoding::Latin1},
    {"ascii", TEncoding::Latin1},
    {"windows-1252", TEncoding::Windows1252},
    {"cp1252", TEncoding::Windows1252},
    {"iso-8859-15", TEncoding::Latin9},
    {"latin9", TEncoding::Latin9},
};

// The names iconv knows the single-byte sets by.
const char* IconvName(TEncoding encoding) {
    switch (encoding) {
    case TEncoding::Koi8R: return "KOI8-R";
    case TEncoding::Iso88595: return "ISO-8859-5";
    case TEncoding::Cp866: return "CP866";
    case TEncoding::Windows1252: return "CP1252";
    case TEncoding::Latin9: return "ISO-8859-15";
    default: return "ISO-8859-1";
    }
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The charset label of the first META or XML declaration starting within the first bytes.
std::string DeclaredLabel(std::string_view head) {
    const std::string lower = LowerAscii(head);
    const size_t reach = std::min(lower.size(), kCharsetReach);
    for (size_t at = lower.find('<'); at < reach; at = lower.find('<', at + 1)) {
        std::string_view key;
        if (lower.compare(at, 5, "<meta") == 0)
            key = "charset";
        else if (lower.compare(at, 5, "<?xml") == 0)
            key = "encoding";
        else
            continue;
        const size_t close = lower.find('>', at);
        const std::string_view tag = std::string_view(lower).substr(at, close - at);
        size_t p = tag.find(key);
        if (p == std::string_view::npos) continue;
        p = tag.find_first_not_of(" \t\r\n", p + key.size());
        if (p == std::string_view::npos || tag[p] != '=') continue;
        p = tag.find_first_not_of(" \t\r\n\"'", p + 1);
        if (p == std::string_view::npos) continue;
        const size_t stop = tag.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_.:", p);
        return std::string(tag.substr(p, stop - p));
    }
    return {};
}

void DecodeUtf8(std::string_view bytes, size_t from,
                const std::function<void(char32_t, int32_t)>& onChar) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = begin + bytes.size();
    for (const unsigned char* p = begin + from; p < end;) {
        char32_t ch = kReplacement;
        const int length = Utf8Sequence(p, end, ch);
        onChar(length > 0 ? ch : kReplacement, static_cast<int32_t>(p - begin));
        p += std::max(length, 1);
    }
}

void DecodeUtf16(std::string_view bytes, bool bigEndian,
                 const std::function<void(char32_t, int32_t)>& onChar) {
    auto unit = [&](size_t at) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[at]);
        const auto b = static_cast<unsigned char>(bytes[at + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    const bool marked = bytes.starts_with(bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    size_t at = marked ? 2 : 0;
    for (; at + 1 < bytes.size(); at += 2) {
        const char32_t first = unit(at);
        const auto index = static_cast<int32_t>(at);
        if (first >= 0xD800 && first <= 0xDBFF && at + 3 < bytes.size()) {
            const char32_t second = unit(at + 2);
            if (second >= 0xDC00 && second <= 0xDFFF) {
                onChar(0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), index);
                at += 2;
                continue;
            }
        }
        onChar(first >= 0xD800 && first <= 0xDFFF ? kReplacement : first, index);
    }
    if (at < bytes.size()) onChar(kReplacement, static_cast<int32_t>(at));
}

// The character of every byte of a single-byte set, as iconv reads it.
std::array<char32_t, 256> SingleByteChars(TEncoding encoding) {
    std::array<char32_t, 256> chars{};
    for (int b = 0; b < 256; ++b) chars[b] = static_cast<char32_t>(b);
    iconv_t cd = iconv_open("UTF-32LE", IconvName(encoding));
    if (cd == reinterpret_cast<iconv_t>(-1)) return chars;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
        chars[b] = ok && outLeft == 4
                       ? static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24)
                       : kReplacement;
    }
    iconv_close(cd);
    return chars;
}

}  // namespace

// The length of the UTF-8 sequence at `p` with its character in `ch`; 0 when no valid sequence
// starts there, -1 when the bytes end inside one that is valid so far.
int Utf8Sequence(const unsigned char* p, const unsigned char* end, char32_t& ch) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
        ch = lead;
        return 1;
    }
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (p + i >= end) return -1;
        const unsigned char next = p[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    ch = value;
    return length;
}

std::string_view EncodingName(TEncoding encoding) {
    switch (encoding) {
    case TEncoding::Windows1251: return "windows-1251";
    case TEncoding::Utf8: return "utf-8";
    case TEncoding::Utf16LE: return "utf-16le";
    case TEncoding::Utf16BE: return "utf-16be";
    case TEncoding::Koi8R: return "koi8-r";
    case TEncoding::Iso88595: return "iso-8859-5";
    case TEncoding::Cp866: return "cp866";
    case TEncoding::Latin1: return "iso-8859-1";
    case TEncoding::Windows1252: return "windows-1252";
    case TEncoding::Latin9: return "iso-8859-15";
    }
    return "windows-1251";
}

bool EncodingOfLabel(std::string_view label, TEncoding& encoding) {
    const std::string lower = LowerAscii(label);
    for (const TLabel& known : kLabels) {
        if (known.label == lower) {
            encoding = known.encoding;
            return true;
        }
    }
    return false;
}

namespace {

// The UTF-8 check as a state machine whose every state is a bit offset into a 64-bit row per
// byte: the next state is the row shifted by the current one, so a byte costs one load and one
// shift, with no branch. The states: an error (0, which every state reaches and never leaves),
// between characters, and those inside a sequence, waiting for so many continuation bytes and
// for the narrower range the second byte has after E0, ED, F0 and F4 (no overlong form, no
// surrogate, nothing above U+10FFFF).
enum TUtf8State : uint64_t {
    usError = 0,
    usAccept = 6,
    usOneMore = 12,
    usTwoMore = 18,
    usAfterE0 = 24,
    usAfterED = 30,
    usAfterF0 = 36,
    usAfterF1 = 42,  // F1..F3
    usAfterF4 = 48,
};

constexpr uint64_t Move(TUtf8State from, TUtf8State to) {
    return uint64_t(to) << from;
}

constexpr uint64_t Utf8Row(int b) {
    if (b < 0x80) return Move(usAccept, usAccept);
    if (b < 0xC0) {  // a continuation byte
        return Move(usOneMore, usAccept) | Move(usTwoMore, usOneMore) | Move(usAfterF1, usTwoMore) |
               (b >= 0xA0 ? Move(usAfterE0, usOneMore) : 0) |
               (b < 0xA0 ? Move(usAfterED, usOneMore) : 0) |
               (b >= 0x90 ? Move(usAfterF0, usTwoMore) : 0) |
               (b < 0x90 ? Move(usAfterF4, usTwoMore) : 0);
    }
    if (b >= 0xC2 && b <= 0xDF) return Move(usAccept, usOneMore);
    if (b == 0xE0) return Move(usAccept, usAfterE0);
    if (b == 0xED) return Move(usAccept, usAfterED);
    if (b >= 0xE1 && b <= 0xEF) return Move(usAccept, usTwoMore);
    if (b == 0xF0) return Move(usAccept, usAfterF0);
    if (b >= 0xF1 && b <= 0xF3) return Move(usAccept, usAfterF1);
    if (b == 0xF4) return Move(usAccept, usAfterF4);
    return 0;  // C0, C1, F5..FF lead nothing
}

constexpr auto kUtf8Rows = [] {
    std::array<uint64_t, 256> rows{};
    for (int b = 0; b < 256; ++b) rows[size_t(b)] = Utf8Row(b);
    return rows;
}();

// Only the low six bits of the state count (a 64-bit shift takes no more), so the masking costs
// nothing on the chain from byte to byte.
inline uint64_t Step(uint64_t state, unsigned char byte) {
    return kUtf8Rows[byte] >> (state & 63);
}

constexpr uint64_t kHighBits = 0x8080808080808080u;

// Eight bytes (read little-endian) of ASCII and two-byte sequences, the bulk of Cyrillic text,
// checked together with bit tests: every lead C2..DF must be followed by a continuation byte
// and every continuation byte must follow one (or, first in the word, the lead that ended the
// word before: `carry` is 0x80 then, else 0). False when the word holds anything else, a longer
// sequence or an error, which the state machine then reads byte by byte; else `carry` tells in
// the same way whether the word ends with a lead.
bool TwoByteWord(uint64_t word, uint64_t& carry) {
    constexpr uint64_t kLow = 0x7F7F7F7F7F7F7F7Fu;
    const uint64_t high = word & kHighBits;
    const uint64_t bit6 = (word << 1) & kHighBits;
    const uint64_t bit5 = (word << 2) & kHighBits;
    const uint64_t leads = high & bit6;
    const uint64_t continuations = high & ~bit6;
    // C0 and C1 lead nothing: their bits 1..4 are all clear.
    const uint64_t payload = word & 0x1E1E1E1E1E1E1E1Eu;
    const uint64_t badLeads = leads & ~((payload + kLow) & kHighBits);
    if ((leads & bit5) != 0 || badLeads != 0) return false;
    if (continuations != ((leads << 8) | carry)) return false;
    carry = leads >> 56;
    return true;
}

}  // namespace

TEncodingSniffer::TEncodingSniffer() : state_(usAccept) {}

void TEncodingSniffer::Feed(std::string_view block) {
    if (head_.size() < kHeadKept) head_.append(block.substr(0, kHeadKept - head_.size()));
    const auto* p = reinterpret_cast<const unsigned char*>(block.data());
    const auto* end = p + block.size();
    uint64_t state = state_;
    bool multiByte = multiByte_;
    // Eight bytes at a time: ASCII between characters is skipped whole, two-byte text checked
    // whole; an error ends the check.
    for (; end - p >= 8 && (state & 63) != usError; p += 8) {
        uint64_t word = 0;
        std::memcpy(&word, p, 8);
        const bool between = (state & 63) == usAccept;
        if ((word & kHighBits) == 0 && between) continue;
        multiByte = multiByte || (word & kHighBits) != 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Computed, not chosen: whether a word ends inside a letter is as good as random.
            const bool inside = (state & 63) == usOneMore;
            uint64_t carry = uint64_t(inside) << 7;
            if ((between || inside) && TwoByteWord(word, carry)) {
                state = usAccept + (carry >> 7) * (usOneMore - usAccept);
                continue;
            }
        }
        for (int i = 0; i < 8; ++i) state = Step(state, p[i]);
    }
    for (; p < end && (state & 63) != usError; ++p) {
        multiByte = multiByte || *p >= 0x80;
        state = Step(state, *p);
    }
    state_ = state & 63;
    multiByte_ = multiByte;
}

namespace {

// The encoding a byte-order mark or a declared charset in the head of a file names, if any.
bool EncodingOfHead(std::string_view head, TEncoding& encoding) {
    if (head.starts_with("\xEF\xBB\xBF")) return (encoding = TEncoding::Utf8), true;
    if (head.starts_with("\xFF\xFE")) return (encoding = TEncoding::Utf16LE), true;
    if (head.starts_with("\xFE\xFF")) return (encoding = TEncoding::Utf16BE), true;
    return EncodingOfLabel(DeclaredLabel(head), encoding);
}

}  // namespace

TEncoding TEncodingSniffer::Result() const {
    TEncoding encoding{};
    if (EncodingOfHead(head_, encoding)) return encoding;
    // Valid bytes with one above ASCII hold a multi-byte sequence; a sequence cut by the end of
    // the file is no valid one.
    if (state_ == usAccept && multiByte_) return TEncoding::Utf8;
    return TEncoding::Windows1251;
}

TEncoding DetectEncoding(std::string_view bytes) {
    // A mark or a declared charset decides without the check of every byte.
    TEncoding encoding{};
    if (EncodingOfHead(bytes.substr(0, kHeadKept), encoding)) return encoding;
    TEncodingSniffer sniffer;
    sniffer.Feed(bytes);
    return sniffer.Result();
}

void DecodeText(std::string_view bytes, TEncoding encoding,
                const std::function<void(char32_t, int32_t)>& onChar) {
    switch (encoding) {
    case TEncoding::Utf8:
        return DecodeUtf8(bytes, bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0, onChar);
    case TEncoding::Utf16LE:
    case TEncoding::Utf16BE: return DecodeUtf16(bytes, encoding == TEncoding::Utf16BE, onChar);
    case TEncoding::Windows1251:
        for (size_t i = 0; i < bytes.size(); ++i)
            onChar(cp1251::toUnicode(static_cast<unsigned char>(bytes[i])),
                   static_cast<int32_t>(i));
        return;
    default: {
        const auto chars = SingleByteChars(encoding);
        for (size_t i = 0; i < bytes.size(); ++i)
            onChar(chars[static_cast<unsigned char>(bytes[i])], static_cast<int32_t>(i));
    }
    }
}

std::string ToWindows1251(std::string_view bytes, TEncoding encoding) {
    if (encoding == TEncoding::Windows1251) return std::string(bytes);
    std::string text;
    text.reserve(bytes.size());
    DecodeText(bytes, encoding, [&](char32_t ch, int32_t) { text += cp1251::fromUnicode(ch); });
    return text;
}

}  // namespace kv
