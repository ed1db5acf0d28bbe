#pragma once
// The style list's entries arranged for the cascade: the plain entries of each key and the
// contextual entries of each element name, both in list order. The style list builds it when
// the cascade first needs it after a change, so an element's style costs a few hash lookups
// instead of sort-key searches.

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/reader/properties.h"

namespace kv {

// tag.class#id:pseudo split into its parts.
struct TSimpleSelector {
    std::string_view tag, cls, id, pseudo;
    bool child = false;  // an ancestor part written before ">": the parent of the part after it
};
TSimpleSelector SplitSimple(std::string_view text);
// The selector part matches an element's record (an ancestor on the stack).
bool PartMatches(const TSimpleSelector& part, const TProperties& element);

// A contextual entry ("tag <count><sequence>ancestor ancestor...") taken apart.
struct TContextualRule {
    const TProperties* entry;
    TSimpleSelector own;                     // the element the rule styles
    std::vector<TSimpleSelector> ancestors;  // in key order: the first is sought nearest
};

class TCascadeIndex {
public:
    explicit TCascadeIndex(const TStyleList::TEntries& entries);
    // The entries of a key without spaces (lower case), in list order.
    std::span<const TProperties* const> Plain(std::string_view key) const;
    // The contextual entries whose own element name is `tag` exactly.
    std::span<const TContextualRule> Contextual(std::string_view tag) const;

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    std::unordered_map<std::string, std::vector<const TProperties*>, Hash, std::equal_to<>> plain_;
    std::unordered_map<std::string, std::vector<TContextualRule>, Hash, std::equal_to<>>
        contextual_;
};

}  // namespace kv
