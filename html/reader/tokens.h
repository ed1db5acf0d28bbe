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

// One text token: its characters (Windows-1251) and, for each, its source index.
class TokenObj {
public:
    TokenObj();
    void PushChar(char ch, int32_t index) {
        Text.push_back(ch);
        Indexes.push_back(index);
    }
    // Empties the token; the buffers keep their capacity and are reused.
    void Clear() {
        Text.clear();
        Indexes.clear();
    }
    void Append(const TokenObj& other);
    // Appends `count` characters whose source indexes run on from `firstIndex`.
    void AppendRun(const char* text, size_t count, int32_t firstIndex) {
        Text.append(text, count);
        const size_t first = Indexes.size();
        Indexes.resize(first + count);
        int32_t* out = Indexes.data() + first;
        size_t k = 0;
        for (; k + 4 <= count; k += 4) {  // four at a time, which the compiler stores together
            out[k] = firstIndex + static_cast<int32_t>(k);
            out[k + 1] = firstIndex + static_cast<int32_t>(k + 1);
            out[k + 2] = firstIndex + static_cast<int32_t>(k + 2);
            out[k + 3] = firstIndex + static_cast<int32_t>(k + 3);
        }
        for (; k < count; ++k) out[k] = firstIndex + static_cast<int32_t>(k);
    }
    int Length() const { return static_cast<int>(Text.size()); }

    std::string Text;
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
