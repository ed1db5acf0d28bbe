#pragma once
// The small records that travel with tokens: the text of a text token with the source index of
// every character, the attributes of a tag, and the link in force while text is read.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html/reader/symbols.h"

namespace kv {

class TProperties;

// One text token: its characters (UTF-16) and, for each code unit, its source index.
class TokenObj {
public:
    TokenObj();
    void PushChar(char16_t ch, int32_t index) {
        Text.push_back(ch);
        Indexes.push_back(index);
    }
    // A character outside the BMP takes two code units, both at `index`.
    void PushCode(char32_t ch, int32_t index) {
        if (ch < 0x10000) return PushChar(static_cast<char16_t>(ch), index);
        PushChar(static_cast<char16_t>(0xD7C0 + (ch >> 10)), index);
        PushChar(static_cast<char16_t>(0xDC00 + (ch & 0x3FF)), index);
    }
    // Empties the token; the buffers keep their capacity and are reused.
    void Clear() {
        Text.clear();
        Indexes.clear();
    }
    void Append(const TokenObj& other);
    // Appends `count` Windows-1251 bytes whose source indexes run on from `firstIndex`.
    void AppendRun(const char* text, size_t count, int32_t firstIndex);
    // Appends the UTF-8 characters of the bytes from `text` on, up to `stop` or, when a
    // character starts before `stop` and ends after it, up to its end (never past `limit`), and
    // at most `maxUnits` units; each unit carries the index of its character's first byte.
    // Returns where it ended.
    const char* AppendUtf8(const char* text, const char* stop, const char* limit,
                           int32_t firstIndex, size_t maxUnits);
    int Length() const { return static_cast<int>(Text.size()); }

    std::u16string Text;
    std::vector<int32_t> Indexes;  // Indexes[k] is the source index of Text[k]
};

struct TAttribute {
    TAttrSymbol Symbol = atOther;
    int32_t NumValue = 0;  // the value read as a number, 0 when it is none
    std::string StrValue;  // the value as written ("" when absent)
};

// The attributes of the most recent tag, in written order.
class TAttributeList {
public:
    TAttributeList();
    ~TAttributeList();
    TAttributeList(const TAttributeList&) = delete;
    TAttributeList& operator=(const TAttributeList&) = delete;

    void Clear();
    void Add(TAttribute attribute) { items_.push_back(std::move(attribute)); }
    // An empty value buffer that kept the capacity of an earlier tag's value (the tokenizer
    // reads values into it, sparing an allocation per attribute), and the way back for one
    // that was not added.
    std::string SpareText();
    void KeepSpare(std::string text);
    // The first attribute of that symbol, or nullptr.
    const TAttribute* FirstOf(TAttrSymbol symbol) const;
    // The CLASS value in lower case, or "".
    std::string ClassValue() const;
    // The ID value in lower case (computed once per tag), or "".
    const std::string& IdValue() const;
    // The style of the STYLE attribute (replacing the one of an earlier call), or nullptr when the
    // tag has none. The list keeps it until the next call or Clear.
    TProperties* InlineStyle();

    const std::vector<TAttribute>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }

private:
    std::vector<TAttribute> items_;
    std::vector<std::string> spare_;  // value buffers of cleared attributes
    mutable std::string cachedId_;
    mutable bool idCached_ = false;
    std::unique_ptr<TProperties> inlineProps_;
};

// The link in force while text inside an A element is read. Every SetLink takes a new id from a
// program-wide counter, so all runs of one link share an id and different links never do.
class TUrlTarget {
public:
    void SetLink(std::string url, std::string target);
    void CopyFrom(const TUrlTarget& other) { *this = other; }
    void Clear();

    std::string Href;
    std::string TargetFrame;
    int32_t LinkId = 0;
};

}  // namespace kv
