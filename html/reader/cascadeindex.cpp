#include "html/reader/cascadeindex.h"

namespace kv {
namespace {

std::vector<std::string_view> SplitSpaces(std::string_view text, size_t limit) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < text.size() && parts.size() < limit) {
        while (i < text.size() && text[i] == ' ') ++i;
        size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) parts.push_back(text.substr(start, i - start));
    }
    return parts;
}

// The rule of a contextual key, or false when the key names no ancestor.
bool TakeApart(const TProperties& entry, TContextualRule& rule) {
    const std::string_view key = entry.ElemTag;
    rule.entry = &entry;
    rule.own = SplitSimple(key.substr(0, key.find(' ')));
    std::vector<std::string_view> parts = SplitSpaces(key, 10);
    if (parts.size() < 2) return false;
    // The ancestor count and sequence number stand before the first ancestor.
    size_t digits = 0;
    while (digits < parts[1].size() && parts[1][digits] >= '0' && parts[1][digits] <= '9') ++digits;
    parts[1].remove_prefix(digits);
    if (parts[1].empty()) parts.erase(parts.begin() + 1);
    for (size_t k = 1; k < parts.size(); ++k) {
        const bool child = parts[k].starts_with('>');
        if (child) parts[k].remove_prefix(1);
        rule.ancestors.push_back(SplitSimple(parts[k]));
        rule.ancestors.back().child = child;
    }
    return true;
}

}  // namespace

TSimpleSelector SplitSimple(std::string_view text) {
    TSimpleSelector parts;
    std::string_view* target = &parts.tag;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.' || text[i] == '#' || text[i] == ':') {
            *target = text.substr(start, i - start);
            if (i == text.size()) break;
            target = text[i] == '.' ? &parts.cls : (text[i] == '#' ? &parts.id : &parts.pseudo);
            start = i + 1;
        }
    }
    return parts;
}

bool PartMatches(const TSimpleSelector& part, const TProperties& element) {
    return (part.tag.empty() || part.tag == element.ElemTag) &&
           (part.cls.empty() || part.cls == element.ElemClass) &&
           (part.id.empty() || part.id == element.ElemId) &&
           (part.pseudo.empty() || part.pseudo == element.ElemPseudo);
}

TCascadeIndex::TCascadeIndex(const TStyleList::TEntries& entries) {
    for (const auto& [sort, entry] : entries) {
        if (sort.ancestors < 0) plain_[sort.element].push_back(entry.get());
        if (entry->ElemTag.find(' ') == std::string::npos) continue;
        TContextualRule rule;
        if (TakeApart(*entry, rule))
            contextual_[std::string(rule.own.tag)].push_back(std::move(rule));
    }
}

std::span<const TProperties* const> TCascadeIndex::Plain(std::string_view key) const {
    const auto it = plain_.find(key);
    return it == plain_.end() ? std::span<const TProperties* const>() : it->second;
}

std::span<const TContextualRule> TCascadeIndex::Contextual(std::string_view tag) const {
    const auto it = contextual_.find(tag);
    return it == contextual_.end() ? std::span<const TContextualRule>() : it->second;
}

}  // namespace kv
