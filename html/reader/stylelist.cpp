// The document's style sheet (TStyleList) with its default entries, and the builder's stack of
// element styles (TPropStack).

#include <algorithm>

#include "html/reader/cascadeindex.h"
#include "html/reader/names.h"
#include "html/reader/properties.h"
#include "platform/codec.h"

namespace kv {

bool TStyleList::TSortKey::operator<(const TSortKey& other) const {
    if (int c = element.compare(other.element)) return c < 0;
    if (ancestors != other.ancestors) return ancestors < other.ancestors;
    if (sequence != other.sequence) return sequence < other.sequence;
    return rest < other.rest;
}

// The digit string of a contextual key is the ancestor count followed by the sequence number;
// the count is known from the ancestors that follow, so the sequence can be compared as a number
// (the tenth rule of a sheet still comes after the ninth).
TStyleList::TSortKey TStyleList::TSortKey::Make(std::string_view key) {
    TSortKey sort;
    const std::string lower = text::lowerText(key);
    const size_t space = lower.find(' ');
    sort.element = lower.substr(0, space);
    if (space == std::string::npos) return sort;
    const std::string_view after = std::string_view(lower).substr(space + 1);
    size_t digits = 0;
    while (digits < after.size() && after[digits] >= '0' && after[digits] <= '9') ++digits;
    sort.rest = std::string(after.substr(digits));
    int count = 0;
    for (size_t i = 0; i < sort.rest.size(); ++i)
        if (sort.rest[i] != ' ' && (i == 0 || sort.rest[i - 1] == ' ')) ++count;
    sort.ancestors = count;
    const std::string countText = std::to_string(count);
    const std::string_view digitText = after.substr(0, digits);
    if (digitText.size() > countText.size() && digitText.substr(0, countText.size()) == countText) {
        for (char c : digitText.substr(countText.size(), 17))
            sort.sequence = sort.sequence * 10 + (c - '0');
    }
    return sort;
}

namespace {

void SplitElement(std::string_view key, TProperties& entry) {
    std::string_view element = key.substr(0, key.find(' '));
    std::string* target = nullptr;
    size_t start = 0;
    for (size_t i = 0; i <= element.size(); ++i) {
        if (i == element.size() || element[i] == '.' || element[i] == '#' || element[i] == ':') {
            if (target) *target = text::lowerText(element.substr(start, i - start));
            if (i == element.size()) break;
            target = element[i] == '.'   ? &entry.ElemClass
                     : element[i] == '#' ? &entry.ElemId
                                         : &entry.ElemPseudo;
            start = i + 1;
        }
    }
}

}  // namespace

TStyleList::TStyleList(TReaderDocument* document) : document_(document) {}
TStyleList::~TStyleList() = default;

void TStyleList::Clear() {
    index_.reset();
    entries_.clear();
    root_ = nullptr;
    HasLinkColor = HasVisitedColor = HasHoverColor = HasMediaRules = false;
    Sequence = 10;
}

TProperties& TStyleList::Add(std::string_view key) {
    auto entry = std::make_unique<TProperties>();
    entry->ElemTag = std::string(key);
    SplitElement(key, *entry);
    index_.reset();
    // A multimap keeps equal keys in the order they were inserted.
    return *entries_.emplace(TSortKey::Make(key), std::move(entry))->second;
}

const TCascadeIndex& TStyleList::CascadeIndex() const {
    if (!index_) index_ = std::make_unique<TCascadeIndex>(entries_);
    return *index_;
}

TStyleList::TEntryRange TStyleList::Range(std::string_view key) const {
    const auto [first, last] = entries_.equal_range(TSortKey::Make(key));
    return {first, last};
}

TStyleList::TEntryRange TStyleList::WithElementPrefix(std::string_view prefix) const {
    TSortKey probe;
    probe.element = std::string(prefix);
    const auto first = entries_.lower_bound(probe);
    auto last = first;
    while (last != entries_.end() &&
           std::string_view(last->first.element).substr(0, prefix.size()) == prefix)
        ++last;
    return {first, last};
}

TProperties* TStyleList::Find(std::string_view key) const {
    const auto range = Range(key);
    return range.empty() ? nullptr : range.begin()->second.get();
}

const TProperties& TStyleList::Entry(int index) const {
    return *std::next(entries_.begin(), index)->second;
}

void TStyleList::AddDuplicate(std::string_view name, const TProperties& props) {
    TProperties& copy = Add(name);
    const std::string key = copy.ElemTag;
    const std::string cls = copy.ElemClass, id = copy.ElemId, pseudo = copy.ElemPseudo;
    copy = props;
    copy.ElemTag = key;
    copy.ElemClass = cls;
    copy.ElemId = id;
    copy.ElemPseudo = pseudo;
}

void TStyleList::SetSelectorProperty(std::string_view selector, std::string_view property,
                                     std::string_view value) {
    if (PropertyIndex(property) < 0) return;
    TProperties* entry = Find(selector);
    if (!entry) {
        // Probe on a scratch record first, so that a colour that does not parse creates nothing.
        TProperties probe;
        if (probe.SetProperty(property, value) < 0) return;
        entry = &Add(selector);
    }
    const int index = entry->SetProperty(property, value);
    if (index != piColor || value == "inherit") return;
    if (selector.find(":link") != std::string_view::npos) {
        HasLinkColor = true;
    } else if (selector.find(":visited") != std::string_view::npos) {
        HasVisitedColor = true;
    } else if (selector.find(":hover") != std::string_view::npos) {
        HasHoverColor = true;
        if (document_) document_->SetLinksReactToMouse();
    }
}

namespace {

TPropValue Text(std::string_view value) {
    return TPropValue(std::string(value));
}

// The font of the root and of preformatted text: family and size, nothing slanted, bold,
// aligned or decorated.
void SetPlainFont(TProperties& p, std::string_view family, double size) {
    p.Values[piFontFamily] = Text(family);
    p.Values[piFontSize] = size;
    p.Values[piFontStyle] = Text("none");
    p.Values[piFontWeight] = Text("normal");
    p.Values[piTextAlign] = Text("left");
    p.Values[piTextDecoration] = Text("none");
}

void AddListDefaults(TStyleList& list) {
    for (std::string_view key :
         {"ul", "ol", "menu", "dir", "dl", "dd", "blockquote", "ul 13ul", "ul 24ul ul"}) {
        TProperties& entry = list.Add(key);
        entry.Values[piMarginLeft] = 35;
        entry.Values[piMarginTop] = entry.Values[piMarginBottom] = kAutoParagraphSpace;
    }
    for (std::string_view key : {"ul", "menu", "dir"})
        list.Find(key)->Values[piListStyleType] = Text("disc");
    list.Find("ol")->Values[piListStyleType] = Text("decimal");
    TProperties& dl = *list.Find("dl");
    dl.Values[piMarginLeft] = 0;
    dl.Values[piListStyleType] = Text("none");
    TProperties& dd = *list.Find("dd");
    dd.Values[piMarginLeft] = 40;
    dd.Values[piMarginTop] = dd.Values[piMarginBottom] = 0;
    TProperties& quote = *list.Find("blockquote");
    quote.Values[piMarginTop] = quote.Values[piMarginBottom] = 14;
    list.Find("ul 13ul")->Values[piListStyleType] = Text("circle");
    list.Find("ul 24ul ul")->Values[piListStyleType] = Text("square");
    list.Add("ul 14li").Values[piMarginTop] = 0;
    list.Add("ol 15li").Values[piMarginTop] = 0;
}

// Phrase and alignment elements: one property each.
struct TPhraseDefault {
    std::string_view Key;
    int Property;
    std::string_view Value;
};
constexpr TPhraseDefault kPhraseDefaults[] = {
    {"b", piFontWeight, "bold"},
    {"strong", piFontWeight, "bold"},
    {"th", piFontWeight, "bold"},
    {"sup", piFontSize, "75%"},
    {"sub", piFontSize, "75%"},
    {"big", piFontSize, "1.25em"},
    {"small", piFontSize, "0.75em"},
    {"table", piTextAlign, "none"},
    {"i", piFontStyle, "italic"},
    {"em", piFontStyle, "italic"},
    {"cite", piFontStyle, "italic"},
    {"var", piFontStyle, "italic"},
    {"address", piFontStyle, "italic"},
    {"u", piTextDecoration, "underline"},
    {"s", piTextDecoration, "line-through"},
    {"strike", piTextDecoration, "line-through"},
    {"center", piTextAlign, "center"},
    {"caption", piTextAlign, "center"},
};

void AddPhraseDefaults(TStyleList& list, std::string_view preFontName) {
    for (std::string_view key : {"code", "tt", "kbd", "samp"}) {
        TProperties& mono = list.Add(key);
        mono.Values[piFontFamily] = Text(preFontName);
        mono.Values[piFontSize] = Text("0.833em");
    }
    for (const TPhraseDefault& d : kPhraseDefaults)
        list.Add(d.Key).Values[d.Property] = Text(d.Value);
    TProperties& hr = list.Add("hr");
    for (int i = piMarginTop; i <= piMarginLeft; ++i) hr.Values[i] = 10;
}

void AddHeadings(TStyleList& list, double fontSize) {
    static constexpr int kHeadingSizes[] = {24, 18, 14, 12, 10, 8};
    for (int level = 1; level <= 6; ++level) {
        TProperties& heading = list.Add("h" + std::to_string(level));
        heading.Values[piFontSize] = fontSize / 12 * kHeadingSizes[level - 1];
        heading.Values[piMarginTop] = heading.Values[piMarginBottom] = 19;
        heading.Values[piFontWeight] = Text("bold");
    }
}

}  // namespace

void TStyleList::BuildDefaults(std::string_view fontName, std::string_view preFontName,
                               int marginWidth, int marginHeight, uint8_t charSetCode,
                               bool underline, TColor overLinkColor, TColor visitedColor,
                               TColor hotSpotColor, TColor fontColor, double fontSize) {
    Clear();
    defaultFontSize_ = fontSize;

    TProperties& root = Add("default");
    SetPlainFont(root, fontName, fontSize);
    root.Values[piColor] = static_cast<int>(fontColor);
    root.Values[piMarginTop] = root.Values[piMarginBottom] = marginHeight;
    root.Values[piMarginLeft] = root.Values[piMarginRight] = marginWidth;
    root.Values[piVisibility] = 2;
    root.Values[piLinkColor] = static_cast<int>(hotSpotColor | kPaletteFlag);
    root.Values[piHoverColor] = static_cast<int>(overLinkColor | kPaletteFlag);
    root.Values[piVisitedColor] = static_cast<int>(visitedColor | kPaletteFlag);
    for (int slot : {piLinkDecoration, piHoverDecoration, piVisitedDecoration})
        root.Values[slot] = Text(underline ? "underline" : "none");
    root.CharSetCode = charSetCode;
    root_ = &root;

    Add("null");
    SetPlainFont(Add("pre"), preFontName, fontSize * 10 / 12);
    TProperties& p = Add("p");
    p.Values[piMarginTop] = p.Values[piMarginBottom] = kAutoParagraphSpace;
    Add("p 11pre").Values[piMarginTop] = 0;

    AddListDefaults(*this);
    AddPhraseDefaults(*this, preFontName);
    AddHeadings(*this, fontSize);
}

// ---------------------------------------------------------------------------------------------
// TPropStack

std::unique_ptr<TProperties> TPropStack::Fresh() {
    if (spare_.empty()) return std::make_unique<TProperties>();
    std::unique_ptr<TProperties> record = std::move(spare_.back());
    spare_.pop_back();
    return record;
}

void TPropStack::Recycle(std::unique_ptr<TProperties> record) {
    constexpr size_t kMaxSpare = 64;  // deeper nesting than that is rare
    if (spare_.size() < kMaxSpare) spare_.push_back(std::move(record));
}

void TPropStack::Clear() {
    while (!items_.empty()) {
        Recycle(std::move(items_.back()));
        items_.pop_back();
    }
    // A new document may bring other fonts.
    ems_.Clear();
}

TProperties& TPropStack::PushRoot(const TStyleList& styles) {
    Clear();
    auto root = std::make_unique<TProperties>();
    if (const TProperties* defaults = styles.RootEntry()) root->CopyRoot(*defaults);
    root->ElemTag = "default";
    items_.push_back(std::move(root));
    return *items_.back();
}

TProperties& TPropStack::Push(const TStyleList& styles, std::string_view tag, std::string_view cls,
                              std::string_view id, const TProperties* inlineProps,
                              std::string_view pseudo) {
    if (items_.empty()) PushRoot(styles);
    std::unique_ptr<TProperties> props = Fresh();
    // Every value, flag and name of the record is set here: nothing of its last use remains.
    props->Inherit(*items_.back());
    props->ApplyRules(styles, tag, cls, id, pseudo, inlineProps, items_);
    // Lengths in em of this element are relative to its own font.
    props->Measure(ems_);
    items_.push_back(std::move(props));
    return *items_.back();
}

void TPropStack::Pop(std::string_view tag) {
    for (size_t i = items_.size(); i-- > 1;) {
        if (items_[i]->ElemTag != tag) continue;
        Recycle(std::move(items_[i]));
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        for (size_t k = i; k < items_.size(); ++k) {
            items_[k]->Reinherit(*items_[k - 1]);
            items_[k]->Measure(ems_);
        }
        return;
    }
}

}  // namespace kv
