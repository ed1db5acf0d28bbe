// The reader's name tables, looked up through open-addressing hash tables built at compile time
// (the tokenizer looks up every tag, attribute and entity name it meets).

#include "html/reader/symbols.h"

#include <array>

namespace kv {
namespace {

constexpr uint32_t Hash(std::string_view text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// A table of up to Size names (Size a power of two, well above the name count); first
// registration of a name wins, as in the ordered search the tables stand for.
template <size_t Size>
struct NameTable {
    std::array<std::string_view, Size> names{};
    std::array<int, Size> values{};

    constexpr void Add(std::string_view name, int value) {
        size_t slot = Hash(name) & (Size - 1);
        while (!names[slot].empty()) {
            if (names[slot] == name) return;
            slot = (slot + 1) & (Size - 1);
        }
        names[slot] = name;
        values[slot] = value;
    }
    constexpr int Find(std::string_view name) const {
        size_t slot = Hash(name) & (Size - 1);
        while (!names[slot].empty()) {
            if (names[slot] == name) return values[slot];
            slot = (slot + 1) & (Size - 1);
        }
        return -1;
    }
};

constexpr std::string_view kTagNames[] = {
#define KV_NAME(name) #name,
    KV_TAGS_WITH_END(KV_NAME) KV_TAGS_START_ONLY(KV_NAME)
#undef KV_NAME
};
static_assert(std::size(kTagNames) == kTagCount);

constexpr std::string_view kTagLowerNames[] = {
    "html",   "title",    "body",     "head",   "b",        "i",        "h",       "em",
    "strong", "u",        "cite",     "var",    "tt",       "code",     "kbd",     "samp",
    "ol",     "ul",       "dir",      "menu",   "dl",       "a",        "address", "blockquote",
    "pre",    "center",   "table",    "td",     "th",       "caption",  "form",    "textarea",
    "select", "option",   "font",     "sub",    "sup",      "big",      "small",   "p",
    "map",    "frameset", "noframes", "script", "div",      "s",        "strike",  "tr",
    "nobr",   "style",    "span",     "li",     "br",       "hr",       "dd",      "dt",
    "img",    "base",     "button",   "input",  "selected", "basefont", "area",    "frame",
    "page",   "bgsound",  "wrap",     "meta",   "panel",    "wbr",      "link",
};
static_assert(std::size(kTagLowerNames) == kTagCount);

struct AttributeEntry {
    std::string_view name;
    TAttrSymbol symbol;
};
constexpr AttributeEntry kAttributes[] = {
#define KV_ATTR(symbol, text) {text, at##symbol},
    KV_ATTRIBUTES(KV_ATTR)
#undef KV_ATTR
};
static_assert(std::size(kAttributes) == kAttributeTableSize);

// The eight names with a replacement of their own; every other name gives its Unicode character
// (entities.h).
constexpr std::string_view kSpecialEntities[][2] = {
    {"amp", "&"},   {"lt", "<"},    {"gt", ">"},       {"quot", "\""},
    {"rsquo", "'"}, {"ndash", "-"}, {"trade", "\x99"}, {"hellip", "..."},
};

constexpr auto kTagTable = [] {
    NameTable<256> table;
    for (int i = 0; i < kTagCount; ++i) table.Add(kTagNames[i], i);
    return table;
}();

constexpr auto kAttributeTable = [] {
    NameTable<256> table;
    for (const auto& entry : kAttributes) table.Add(entry.name, entry.symbol);
    return table;
}();

constexpr auto kEntityTable = [] {
    NameTable<256> table;
    for (int i = 0; i < static_cast<int>(std::size(kSpecialEntities)); ++i)
        table.Add(kSpecialEntities[i][0], i);
    return table;
}();

}  // namespace

TSymbol LookupTag(std::string_view upperName) {
    const int index = kTagTable.Find(upperName);
    return index < 0 ? syNone : static_cast<TSymbol>(index);
}

TAttrSymbol LookupAttribute(std::string_view upperName) {
    const int symbol = kAttributeTable.Find(upperName);
    return symbol < 0 ? atOther : static_cast<TAttrSymbol>(symbol);
}

std::string_view AttributeName(TAttrSymbol symbol) {
    for (const auto& entry : kAttributes)
        if (entry.symbol == symbol) return entry.name;
    return {};
}

std::string_view StartName(TSymbol symbol) {
    return symbol < kTagCount ? kTagLowerNames[symbol] : std::string_view();
}

std::string_view EndName(TSymbol symbol) {
    const int index = static_cast<int>(symbol) - kTagCount;
    return index >= 0 && index < kTagsWithEnd ? kTagLowerNames[index] : std::string_view();
}

TSymbol EndOf(TSymbol symbol) {
    return symbol < kTagsWithEnd ? static_cast<TSymbol>(symbol + kTagCount) : syNone;
}

const char* LookupEntity(std::string_view name) {
    const int index = kEntityTable.Find(name);
    return index < 0 ? nullptr : kSpecialEntities[index][1].data();
}

}  // namespace kv
