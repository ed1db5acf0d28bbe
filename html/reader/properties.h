#pragma once
// Style properties: the record of one element's style (TProperties), the document's style sheet
// with its default entries (TStyleList) and the cascade that computes an element's style from
// its parent, the style sheet and its inline STYLE attribute.
//
// The builder keeps a TPropStack, one entry per open element:
//     stack.PushRoot(styles);                                     // copy of "default"
//     TProperties& p = stack.Push(styles, "p", cls, id, inlineStyle, "");
//     TMyFont font = stack.Top().MakeFont();
//     stack.Pop("p");
// Layout reads fonts, colours, margins (LengthOf), list styles ... from the records.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/font.h"

namespace kv {

class TReaderDocument;
class TStyleList;
class TCascadeIndex;

inline constexpr int kUnset = -12345678;               // a length not given
inline constexpr int kAutoParagraphSpace = -12348766;  // one paragraph space (block layout)
inline constexpr int kPropertyCount = 59;              // 50 properties + 9 link-state slots
inline constexpr int kStyledProperties = 50;

enum TPropIndex : uint8_t {
    piFontFamily,
    piFontSize,
    piFontStyle,
    piFontWeight,
    piTextAlign,
    piTextDecoration,
    piBorderStyle,
    piColor,
    piBackgroundColor,
    piBorderColor,
    piMarginTop,
    piMarginRight,
    piMarginBottom,
    piMarginLeft,
    piPaddingTop,
    piPaddingRight,
    piPaddingBottom,
    piPaddingLeft,
    piBorderTopWidth,
    piBorderRightWidth,
    piBorderBottomWidth,
    piBorderLeftWidth,
    piBorderTopStyle,
    piBorderRightStyle,
    piBorderBottomStyle,
    piBorderLeftStyle,
    piWidth,
    piHeight,
    piTop,
    piLeft,
    piVisibility,
    piLineHeight,
    piBackgroundImage,
    piBackgroundPosition,
    piBackgroundRepeat,
    piVerticalAlign,
    piPosition,
    piZIndex,
    piListStyleType,
    piListStyleImage,
    piFloat,
    piClear,
    piWhiteSpace,
    piTextIndent,
    piBorderCollapse,
    piBorderSpacing,
    piBorderTopColor,
    piBorderRightColor,
    piBorderBottomColor,
    piBorderLeftColor,
    // link-state slots
    piLinkColor,
    piLinkBackground,
    piLinkDecoration,
    piHoverColor,
    piHoverBackground,
    piHoverDecoration,
    piVisitedColor,
    piVisitedBackground,
    piVisitedDecoration,
};

// The index of a property name (exact, lower case), or -1.
int PropertyIndex(std::string_view name);
// The name of a property index ("" for the link-state slots).
std::string_view PropertyName(int index);

// A value: empty, text (as written in the style sheet), integer (pixels, colours, markers) or
// real (font sizes in points).
using TPropValue = std::variant<std::monostate, std::string, int, double>;

enum TVAlign : uint8_t { vaTop, vaMiddle, vaBaseline, vaBottom };
enum TSide : uint8_t { sdNone, sdLeft, sdRight, sdBoth };

// One axis of a background position.
struct TPositionItem {
    enum Kind : uint8_t { Pixels, Percent, Center, Left, Right, Top, Bottom };
    Kind kind = Pixels;
    int value = 0;  // pixels or percent
};
struct TBackgroundPos {
    TPositionItem x, y;
    bool repeatX = true;
    bool repeatY = true;
};

// The em sizes of the fonts a document's elements were measured with: most elements share a
// few fonts, and measuring one means choosing its face from the family list.
class TEmCache {
public:
    // The em size of the font of that family text, size in points and bold/italic bits, or -1.
    int Find(std::string_view family, int points, uint8_t shape) const;
    void Add(std::string_view family, int points, uint8_t shape, int em);
    void Clear() { items_.clear(); }

private:
    struct Item {
        std::string family;
        int points;
        uint8_t shape;
        int em;
    };
    std::vector<Item> items_;
};

class TProperties {
public:
    TProperties();

    std::string ElemTag;  // lower-case tag; "default" for the root; the key for sheet entries
    std::string ElemClass, ElemId, ElemPseudo;
    TColor TextBackground = kNoColor;
    uint8_t CharSetCode = 1;
    int EmPixels = 0;  // font height - internal leading
    int ExPixels = 0;  // EmPixels / 2
    std::array<TPropValue, kPropertyCount> Values;
    std::array<bool, kPropertyCount> SetHere{};  // given by a rule or attribute of the element
    bool HoldsInherit = false;                   // a declaration of this entry is "inherit"

    void CopyValues(const TProperties& other) { Values = other.Values; }
    void CopyRoot(const TProperties& defaults);
    // Inherits from the parent: lengths unset, non-inherited values empty, the rest copied;
    // measures EmPixels/ExPixels with the resulting font.
    void TakeFromParent(const TProperties& parent);
    // Applies the style sheet (simple keys, then contextual keys matched against `ancestors`,
    // root first and parent last), then the inline style; converts a font-size text to points.
    void Cascade(const TStyleList& styles, std::string_view tag, std::string_view cls,
                 std::string_view id, std::string_view pseudo, const TProperties* inlineProps,
                 std::span<const std::unique_ptr<TProperties>> ancestors);
    // Sets a value (with its SetHere flag) only when no rule of this element gave one.
    void SetIfUnset(int index, TPropValue value);
    // Takes from the parent again every inherited value that this element did not set itself.
    void RetakeFromParent(const TProperties& parent);
    // When this element set an integer background colour, its text runs get that background.
    void TakeTextBackground();
    // Sets one property as a style declaration does (colour parsing, border-style copies,
    // visibility); unknown names are ignored. Returns the index set, or -1.
    int SetProperty(std::string_view name, std::string_view value);
    // Copies one style entry into this record (see the cascade).
    void Merge(const TProperties& entry);

    // Readers for layout.
    TMyFont MakeFont() const;
    TMyFont MakeLinkFont() const;
    TMyFont MakeHoverFont() const;
    TMyFont MakeVisitedFont() const;
    // All three at once: the family list is resolved a single time.
    struct TLinkFonts {
        TMyFont Link, Visited, Hover;
    };
    TLinkFonts MakeLinkFonts() const;
    TColor OwnBackgroundColor() const;  // kNoColor unless set by this element
    TColor OwnColor() const;
    int LineHeightFor(int fontHeight) const;  // 0 when absent
    int ZIndex() const;
    bool BorderStyleSet() const;
    bool VerticalAlign(TVAlign& align) const;
    TSide FloatSide() const;
    TSide ClearSide() const;
    int ListStyleIndex() const;
    std::string ListStyleImageUrl() const;
    std::string BackgroundImageUrl() const;
    TBackgroundPos BackgroundPosition() const;
    // A length in pixels (margins, paddings, borders, width, height): integers as stored (so
    // kUnset and kAutoParagraphSpace come through), texts converted against `base` (the
    // containing width for "%") and EmPixels/ExPixels; `fallback` when empty or unknown.
    int LengthOf(int index, int base, int fallback) const;
    // The length the style gives in pixels, when it gives one that is not negative (neither
    // unset, nor the paragraph-space marker, nor "auto" or another word).
    std::optional<int> GivenLength(int index, int base) const;
    // The text of a value ("" when it is not text), its integer (`fallback` when none).
    std::string_view TextOf(int index) const;
    int IntOf(int index, int fallback) const;
    double FontSizePoints() const;  // 0 when not a number

private:
    friend class TPropStack;
    // TakeFromParent, RetakeFromParent and Cascade without the measuring at their end.
    void Inherit(const TProperties& parent);
    void Reinherit(const TProperties& parent);
    void ApplyRules(const TStyleList& styles, std::string_view tag, std::string_view cls,
                    std::string_view id, std::string_view pseudo, const TProperties* inlineProps,
                    std::span<const std::unique_ptr<TProperties>> ancestors);
    // Values given as "inherit" take the parent's (the root's: none).
    void TakeInherited(const TProperties* parent);
    void Measure();
    void Measure(TEmCache& cache);
    // What MakeFont makes of the size and the weight and style.
    int FontPoints() const;
    uint8_t FontShape() const;
    TMyFont LinkFont(TMyFont font, int colorSlot, int backSlot, int decorationSlot) const;
};

// The document's style sheet: entries sorted by key (case-insensitive; contextual keys after the
// plain key of their element, by ancestor count, then by the order the rules were read);
// duplicate keys are kept in the order they were added.
class TStyleList {
public:
    // The order of the list: element selector, then plain before contextual keys, then the number
    // of ancestors, then the sequence number the rule was read with.
    struct TSortKey {
        std::string element;  // the key up to its first space, lower case
        int ancestors = -1;   // -1: not a contextual key
        long long sequence = 0;
        std::string rest;  // the ancestors
        bool operator<(const TSortKey& other) const;
        static TSortKey Make(std::string_view key);
    };
    using TEntries = std::multimap<TSortKey, std::unique_ptr<TProperties>>;
    // A run of entries (a plain iterator pair: usable in range-for).
    struct TEntryRange {
        TEntries::const_iterator first, last;
        TEntries::const_iterator begin() const { return first; }
        TEntries::const_iterator end() const { return last; }
        bool empty() const { return first == last; }
    };

    explicit TStyleList(TReaderDocument* document = nullptr);
    ~TStyleList();
    TStyleList(const TStyleList&) = delete;
    TStyleList& operator=(const TStyleList&) = delete;

    void BuildDefaults(std::string_view fontName, std::string_view preFontName, int marginWidth,
                       int marginHeight, uint8_t charSetCode, bool underline, TColor overLinkColor,
                       TColor visitedColor, TColor hotSpotColor, TColor fontColor, double fontSize);
    void SetSelectorProperty(std::string_view selector, std::string_view property,
                             std::string_view value);
    void AddDuplicate(std::string_view name, const TProperties& props);
    void Clear();

    // A new entry under `key` (after any entries of the same key).
    TProperties& Add(std::string_view key);
    // The first entry of a key, or nullptr.
    TProperties* Find(std::string_view key) const;
    // All entries of a key, in list order (pairs of sort key and entry).
    TEntryRange Range(std::string_view key) const;
    // The entries whose element selector (the key up to its first space) begins with `prefix`
    // (lower case): the plain and contextual keys of a tag and its class/id/pseudo forms.
    TEntryRange WithElementPrefix(std::string_view prefix) const;

    // The entries arranged for the cascade (rebuilt after the list changed).
    const TCascadeIndex& CascadeIndex() const;

    TProperties* RootEntry() const { return root_; }
    double DefaultFontSize() const { return defaultFontSize_; }
    TReaderDocument* Document() const { return document_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    // Entries in list order.
    const TEntries& Entries() const { return entries_; }
    const TProperties& Entry(int index) const;  // walks the list

    bool HasLinkColor = false;
    bool HasVisitedColor = false;
    bool HasHoverColor = false;
    bool HasMediaRules = false;  // some rules apply on screen only or in print only
    int Sequence = 10;           // next number for a contextual key (the defaults use 1 to 5)

private:
    TEntries entries_;
    mutable std::unique_ptr<TCascadeIndex> index_;  // dropped whenever an entry comes or goes
    TProperties* root_ = nullptr;
    TReaderDocument* document_;
    double defaultFontSize_ = 12;
};

// The builder's stack of element styles; entry 0 is the root.
class TPropStack {
public:
    void Clear();
    // Empties the stack and pushes a copy of the style list's "default" entry.
    TProperties& PushRoot(const TStyleList& styles);
    // Pushes a record for an element: inherits from the top, then cascades.
    TProperties& Push(const TStyleList& styles, std::string_view tag, std::string_view cls,
                      std::string_view id, const TProperties* inlineProps, std::string_view pseudo);
    // Removes the nearest entry of that tag (never the root); the entries above it take again
    // from their new predecessors what they did not set themselves.
    void Pop(std::string_view tag);
    TProperties& Top() { return *items_.back(); }
    int Count() const { return static_cast<int>(items_.size()); }
    TProperties& operator[](int index) { return *items_[index]; }

private:
    // A record for the next push: a popped one when there is one (its texts keep their
    // buffers), else a new one.
    std::unique_ptr<TProperties> Fresh();
    void Recycle(std::unique_ptr<TProperties> record);

    std::vector<std::unique_ptr<TProperties>> items_;
    std::vector<std::unique_ptr<TProperties>> spare_;
    TEmCache ems_;
};

}  // namespace kv
