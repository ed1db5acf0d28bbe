#include "html/reader/tokens.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "html/reader/encoding.h"
#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "platform/codec.h"

namespace kv {

TokenObj::TokenObj() {
    Text.reserve(300);
    Indexes.reserve(300);
}

void TokenObj::Append(const TokenObj& other) {
    Text += other.Text;
    Indexes.insert(Indexes.end(), other.Indexes.begin(), other.Indexes.end());
}

namespace {

// The UTF-16 unit of every Windows-1251 byte, for the per-byte loop of text runs.
const std::array<char16_t, 256>& Cp1251Units() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> units{};
        for (int b = 0; b < 256; ++b) units[std::size_t(b)] = cp1251::toUnicode(uint8_t(b));
        return units;
    }();
    return table;
}

// Eight bytes (read little-endian) that are four two-byte characters, the letters of a Cyrillic
// word, give their four UTF-16 units in the same lanes; false when they are anything else.
bool FourTwoByteUnits(uint64_t word, uint64_t& units) {
    // Leads 110xxxxx (not C0 or C1, which lead nothing), each followed by a 10xxxxxx.
    constexpr uint64_t kShape = 0xC0E0C0E0C0E0C0E0u, kTwoByte = 0x80C080C080C080C0u;
    constexpr uint64_t kLeadBits = 0x001E001E001E001Eu, kLeadHigh = 0x0080008000800080u;
    if ((word & kShape) != kTwoByte) return false;
    if ((((word & kLeadBits) + 0x007F007F007F007Fu) & kLeadHigh) != kLeadHigh) return false;
    units = (word & 0x001F001F001F001Fu) << 6 | ((word >> 8) & 0x003F003F003F003Fu);
    return true;
}

}  // namespace

void TokenObj::AppendRun(const char* text, size_t count, int32_t firstIndex) {
    const auto& units = Cp1251Units();
    const size_t first = Text.size();
    Text.resize(first + count);
    Indexes.resize(first + count);
    char16_t* chars = Text.data() + first;
    int32_t* out = Indexes.data() + first;
    size_t k = 0;
    while (k < count) {
        // Eight ASCII bytes at a time widen without the table.
        uint64_t word = 0;
        if (k + 8 <= count &&
            (std::memcpy(&word, text + k, 8), (word & 0x8080808080808080u) == 0)) {
            for (size_t j = 0; j < 8; ++j) chars[k + j] = static_cast<unsigned char>(text[k + j]);
            k += 8;
            continue;
        }
        chars[k] = units[static_cast<unsigned char>(text[k])];
        ++k;
    }
    for (k = 0; k < count; ++k) out[k] = firstIndex + static_cast<int32_t>(k);
}

const char* TokenObj::AppendUtf8(const char* text, const char* stop, const char* limit,
                                 int32_t firstIndex, size_t maxUnits) {
    const auto* begin = reinterpret_cast<const unsigned char*>(text);
    const auto* end = reinterpret_cast<const unsigned char*>(limit);
    const auto* last = reinterpret_cast<const unsigned char*>(stop);
    const size_t first = Text.size();
    Text.resize(first + maxUnits);
    Indexes.resize(Text.size());
    char16_t* chars = Text.data() + first;
    int32_t* out = Indexes.data() + first;
    size_t n = 0;
    const auto* p = begin;
    while (p < last && n < maxUnits) {
        const unsigned lead = *p;
        const int32_t index = firstIndex + static_cast<int32_t>(p - begin);
        if constexpr (std::endian::native == std::endian::little) {
            uint64_t word = 0, units = 0;
            if (last - p >= 8 && n + 4 <= maxUnits && (std::memcpy(&word, p, 8), true) &&
                FourTwoByteUnits(word, units)) {
                std::memcpy(chars + n, &units, 8);
                for (int32_t k = 0; k < 4; ++k) out[n + size_t(k)] = index + 2 * k;
                n += 4;
                p += 8;
                continue;
            }
        }
        // ASCII and two-byte characters (Cyrillic, Greek), nearly all of a text, take the
        // short path; only other sequences and bad bytes go through the full check.
        const unsigned next = p + 1 < end ? p[1] : 0u;
        const bool two = lead - 0xC2u <= 0xDFu - 0xC2u && (next & 0xC0u) == 0x80u;
        if (lead < 0x80 || two) {
            chars[n] = static_cast<char16_t>(two ? (lead & 0x1Fu) << 6 | (next & 0x3Fu) : lead);
            out[n++] = index;
            p += two ? 2 : 1;
            continue;
        }
        if (lead >= 0xF0 && n + 2 > maxUnits) break;  // a pair of units does not fit
        char32_t ch = 0xFFFD;
        const int length = Utf8Sequence(p, end, ch);
        if (length <= 0) ch = 0xFFFD;
        p += std::max(length, 1);
        if (ch >= 0x10000) {
            chars[n] = static_cast<char16_t>(0xD7C0 + (ch >> 10));
            out[n++] = index;
            ch = 0xDC00 + (ch & 0x3FF);
        }
        chars[n] = static_cast<char16_t>(ch);
        out[n++] = index;
    }
    Text.resize(first + n);
    Indexes.resize(first + n);
    return reinterpret_cast<const char*>(p);
}

namespace {

// Value buffers worth keeping: bigger than the in-place text, not so big that one long value
// stays allocated for the rest of the document; a few dozen cover the attributes of any tag.
constexpr size_t kMaxSpareCapacity = 4096;
constexpr size_t kMaxSpares = 64;

bool WorthKeeping(const std::string& text, size_t spares) {
    return spares < kMaxSpares && text.capacity() > std::string().capacity() &&
           text.capacity() <= kMaxSpareCapacity;
}

}  // namespace

TAttributeList::TAttributeList() = default;
TAttributeList::~TAttributeList() = default;

void TAttributeList::Clear() {
    for (auto& item : items_)
        if (WorthKeeping(item.StrValue, spare_.size())) spare_.push_back(std::move(item.StrValue));
    items_.clear();
    cachedId_.clear();
    idCached_ = false;
}

std::string TAttributeList::SpareText() {
    if (spare_.empty()) return {};
    std::string text = std::move(spare_.back());
    spare_.pop_back();
    text.clear();
    return text;
}

void TAttributeList::KeepSpare(std::string text) {
    if (WorthKeeping(text, spare_.size())) spare_.push_back(std::move(text));
}

const TAttribute* TAttributeList::FirstOf(TAttrSymbol symbol) const {
    for (const auto& item : items_)
        if (item.Symbol == symbol) return &item;
    return nullptr;
}

std::string TAttributeList::ClassValue() const {
    const TAttribute* attribute = FirstOf(atCLASS);
    return attribute ? text::lowerText(attribute->StrValue) : std::string();
}

const std::string& TAttributeList::IdValue() const {
    if (!idCached_) {
        const TAttribute* attribute = FirstOf(atID);
        cachedId_ = attribute ? text::lowerText(attribute->StrValue) : std::string();
        idCached_ = true;
    }
    return cachedId_;
}

TProperties* TAttributeList::InlineStyle() {
    const TAttribute* attribute = FirstOf(atSTYLE);
    if (!attribute) return nullptr;
    if (inlineProps_) {
        *inlineProps_ = TProperties();  // a fresh record in the old storage
    } else {
        inlineProps_ = std::make_unique<TProperties>();
    }
    ParseInlineStyle(attribute->StrValue, *inlineProps_);
    return inlineProps_.get();
}

namespace {
uint32_t g_nextLinkId = 1;  // program-wide: link ids must differ across the whole document
}

void TUrlTarget::SetLink(std::string url, std::string target) {
    Href = std::move(url);
    TargetFrame = std::move(target);
    // 0 means "no link", so the count skips it, at the start and when it wraps.
    LinkId = static_cast<int32_t>(g_nextLinkId++ & 0x7FFFFFFFu);
    if (LinkId == 0) LinkId = static_cast<int32_t>(g_nextLinkId++ & 0x7FFFFFFFu);
}

void TUrlTarget::Clear() {
    Href.clear();
    TargetFrame.clear();
    LinkId = 0;
}

}  // namespace kv
