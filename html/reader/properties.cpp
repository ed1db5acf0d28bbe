#include "html/reader/properties.h"

#include <algorithm>
#include <cmath>

#include "html/reader/cascadeindex.h"
#include "html/reader/names.h"
#include "html/reader/units.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr std::string_view kPropertyNames[kStyledProperties] = {
    "font-family",
    "font-size",
    "font-style",
    "font-weight",
    "text-align",
    "text-decoration",
    "border-style",
    "color",
    "background-color",
    "border-color",
    "margin-top",
    "margin-right",
    "margin-bottom",
    "margin-left",
    "padding-top",
    "padding-right",
    "padding-bottom",
    "padding-left",
    "border-top-width",
    "border-right-width",
    "border-bottom-width",
    "border-left-width",
    "border-top-style",
    "border-right-style",
    "border-bottom-style",
    "border-left-style",
    "width",
    "height",
    "top",
    "left",
    "visibility",
    "line-height",
    "background-image",
    "background-position",
    "background-repeat",
    "vertical-align",
    "position",
    "z-index",
    "list-style-type",
    "list-style-image",
    "float",
    "clear",
    "white-space",
    "text-indent",
    "border-collapse",
    "border-spacing",
    "border-top-color",
    "border-right-color",
    "border-bottom-color",
    "border-left-color",
};

constexpr bool IsLengthIndex(int index) {
    return index >= piMarginTop && index <= piLeft;
}

// Values a child does not take from its parent (besides the lengths, which become unset).
constexpr bool IsNotInherited(int index) {
    return index == piBorderStyle || index == piBackgroundColor || index == piBorderColor ||
           (index >= piBackgroundImage && index <= piPosition) || index == piFloat ||
           index == piClear || (index >= piBorderTopColor && index <= piBorderLeftColor);
}

bool IsEmpty(const TPropValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return true;
    if (const auto* text = std::get_if<std::string>(&value)) return text->empty();
    return false;
}

bool IntValue(const TPropValue& value, int& result) {
    if (const auto* number = std::get_if<int>(&value)) {
        result = *number;
        return true;
    }
    return false;
}

// `mark` and the lower case of `text`; names are mostly lower-case ASCII already.
std::string LowerKeyPart(std::string_view mark, std::string_view text) {
    std::string part(mark);
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && !(c >= 'A' && c <= 'Z');
    });
    part += plain ? std::string(text) : text::lowerText(text);
    return part;
}

// How a child takes each value from its parent.
enum TInheritance : uint8_t { ihCopied, ihUnsetLength, ihEmpty };
constexpr auto kInheritance = [] {
    std::array<TInheritance, kPropertyCount> kinds{};
    for (int i = 0; i < kPropertyCount; ++i)
        kinds[i] = IsLengthIndex(i) ? ihUnsetLength : IsNotInherited(i) ? ihEmpty : ihCopied;
    return kinds;
}();

std::string UrlInside(std::string_view text) {
    text = TrimView(text);
    const size_t open = text.find("url(");
    if (open == std::string_view::npos) return {};
    text = text.substr(open + 4);
    text = TrimView(text.substr(0, text.find(')')));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

// Ancestor records tried before a rule counts as not matching: a sheet of many ">" parts on a deep
// document must not make the cascade search every way to place them. A rule without ">" tries
// each record at most once, far fewer than this.
constexpr int kMaxContextSteps = 1 << 14;

// Whether the ancestor parts from `next` on match within the stack below `depth` (the element the
// previous part matched). A child part must match the record just below; a descendant part may
// match any record below, and when a child part follows, each such record is tried in turn.
bool AncestorsMatch(std::span<const TSimpleSelector> parts, size_t next, size_t depth,
                    std::span<const std::unique_ptr<TProperties>> stack, int& budget) {
    if (next == parts.size()) return true;
    const TSimpleSelector& part = parts[next];
    if (part.child)
        return depth > 0 && PartMatches(part, *stack[depth - 1]) &&
               AncestorsMatch(parts, next + 1, depth - 1, stack, budget);
    const bool later = std::any_of(parts.begin() + static_cast<std::ptrdiff_t>(next) + 1,
                                   parts.end(), [](const TSimpleSelector& p) { return p.child; });
    for (size_t k = depth; k-- > 0 && --budget > 0;) {
        if (!PartMatches(part, *stack[k])) continue;
        if (AncestorsMatch(parts, next + 1, k, stack, budget)) return true;
        // With only descendant parts beyond, a farther match cannot do better than the nearest.
        if (!later) return false;
    }
    return false;
}

// Whether a contextual rule for this element's tag holds: its own class, id and pseudo-class
// (where given), and its ancestors as written, matched from the parent outwards in order.
bool ContextMatches(const TContextualRule& rule, std::string_view cls, std::string_view id,
                    std::string_view pseudo,
                    std::span<const std::unique_ptr<TProperties>> ancestors) {
    const TSimpleSelector& own = rule.own;
    if (!(own.cls.empty() || own.cls == cls) || !(own.id.empty() || own.id == id) ||
        !(own.pseudo.empty() || own.pseudo == pseudo))
        return false;
    int budget = kMaxContextSteps;
    return AncestorsMatch(rule.ancestors, 0, ancestors.size(), ancestors, budget);
}

}  // namespace

int PropertyIndex(std::string_view name) {
    for (int i = 0; i < kStyledProperties; ++i)
        if (kPropertyNames[i] == name) return i;
    return -1;
}

std::string_view PropertyName(int index) {
    return index >= 0 && index < kStyledProperties ? kPropertyNames[index] : std::string_view();
}

// ---------------------------------------------------------------------------------------------
// TProperties

TProperties::TProperties() {
    for (int i = piMarginTop; i <= piLeft; ++i) Values[i] = kUnset;
    Values[piZIndex] = 0;
}

void TProperties::CopyRoot(const TProperties& defaults) {
    Values = defaults.Values;
    CharSetCode = defaults.CharSetCode;
    ElemTag = "default";
}

void TProperties::TakeFromParent(const TProperties& parent) {
    Inherit(parent);
    Measure();
}

void TProperties::Inherit(const TProperties& parent) {
    for (int i = 0; i < kPropertyCount; ++i) {
        switch (kInheritance[i]) {
        case ihUnsetLength: Values[i] = kUnset; break;
        case ihEmpty: Values[i] = std::monostate(); break;
        case ihCopied:
            // Most values are numbers or nothing: copied without the variant's general copy.
            if (const int* number = std::get_if<int>(&parent.Values[i])) {
                Values[i] = *number;
            } else if (std::holds_alternative<std::monostate>(parent.Values[i])) {
                Values[i] = std::monostate();
            } else {
                Values[i] = parent.Values[i];
            }
            break;
        }
    }
    SetHere.fill(false);
    TextBackground = parent.TextBackground;
    CharSetCode = parent.CharSetCode;
}

void TProperties::RetakeFromParent(const TProperties& parent) {
    Reinherit(parent);
    Measure();
}

void TProperties::Reinherit(const TProperties& parent) {
    for (int i = 0; i < kPropertyCount; ++i)
        if (!SetHere[i] && !IsLengthIndex(i) && !IsNotInherited(i)) Values[i] = parent.Values[i];
    if (!SetHere[piBackgroundColor]) TextBackground = parent.TextBackground;
    CharSetCode = parent.CharSetCode;
}

void TProperties::Measure() {
    const TMyFont font = MakeFont();
    EmPixels = font.Height() - font.InternalLeading();
    ExPixels = EmPixels / 2;
}

// The metrics of MakeFont's font depend on its face (chosen from the family text), its size
// and whether it is bold or italic, nothing else.
void TProperties::Measure(TEmCache& cache) {
    const std::string_view family = TextOf(piFontFamily);
    const int points = FontPoints();
    const uint8_t shape = FontShape() & (fsBold | fsItalic);
    const int em = cache.Find(family, points, shape);
    if (em < 0) {
        Measure();
        cache.Add(family, points, shape, EmPixels);
        return;
    }
    EmPixels = em;
    ExPixels = EmPixels / 2;
}

int TProperties::FontPoints() const {
    const double size = FontSizePoints();
    return size >= 1e6 ? 1000000 : static_cast<int>(std::lround(std::max(size, 0.0)));
}

uint8_t TProperties::FontShape() const {
    uint8_t style = 0;
    if (TextOf(piFontWeight).find("bold") != std::string_view::npos ||
        IntOf(piFontWeight, 0) >= 600)
        style |= fsBold;
    const std::string_view fontStyle = TextOf(piFontStyle);
    if (fontStyle == "italic" || fontStyle == "oblique") style |= fsItalic;
    const std::string_view decoration = TextOf(piTextDecoration);
    if (decoration == "underline") {
        style |= fsUnderline;
    } else if (decoration == "line-through") {
        style |= fsStrikeOut;
    }
    return style;
}

int TEmCache::Find(std::string_view family, int points, uint8_t shape) const {
    for (const Item& item : items_)
        if (item.points == points && item.shape == shape && item.family == family) return item.em;
    return -1;
}

void TEmCache::Add(std::string_view family, int points, uint8_t shape, int em) {
    constexpr size_t kMaxFonts = 64;  // a document with more fonts starts over
    if (items_.size() >= kMaxFonts) items_.clear();
    items_.push_back({std::string(family), points, shape, em});
}

double TProperties::FontSizePoints() const {
    if (const auto* real = std::get_if<double>(&Values[piFontSize])) return *real;
    if (const auto* number = std::get_if<int>(&Values[piFontSize])) return *number;
    return 0;
}

void TProperties::Merge(const TProperties& entry) {
    auto put = [this](int index, const TPropValue& value) {
        Values[index] = value;
        SetHere[index] = true;
    };
    const std::string& pseudo = entry.ElemPseudo;
    if (pseudo == "link" || pseudo == "hover" || pseudo == "visited") {
        const TPropValue& color = entry.Values[piColor];
        const TPropValue& back = entry.Values[piBackgroundColor];
        const TPropValue& decoration = entry.Values[piTextDecoration];
        if (pseudo == "link") {
            if (!IsEmpty(color)) put(piLinkColor, color);
            if (!IsEmpty(back))
                for (int slot : {piLinkBackground, piHoverBackground, piVisitedBackground})
                    put(slot, back);
            if (!IsEmpty(decoration))
                for (int slot : {piLinkDecoration, piHoverDecoration, piVisitedDecoration})
                    put(slot, decoration);
        } else if (pseudo == "hover") {
            if (!IsEmpty(color)) put(piHoverColor, color);
            if (!IsEmpty(back))
                for (int slot : {piHoverBackground, piVisitedBackground}) put(slot, back);
            if (!IsEmpty(decoration))
                for (int slot : {piHoverDecoration, piVisitedDecoration}) put(slot, decoration);
        } else {
            if (!IsEmpty(color)) put(piVisitedColor, color);
            if (!IsEmpty(back)) put(piVisitedBackground, back);
            if (!IsEmpty(decoration)) put(piVisitedDecoration, decoration);
        }
        return;
    }
    for (int i = 0; i < kStyledProperties; ++i) {
        const TPropValue& value = entry.Values[i];
        if (IsEmpty(value)) continue;
        int number = 0;
        if (IsLengthIndex(i) && IntValue(value, number) && number == kUnset) continue;
        put(i, value);
    }
}

void TProperties::Cascade(const TStyleList& styles, std::string_view tag, std::string_view cls,
                          std::string_view id, std::string_view pseudo,
                          const TProperties* inlineProps,
                          std::span<const std::unique_ptr<TProperties>> ancestors) {
    ApplyRules(styles, tag, cls, id, pseudo, inlineProps, ancestors);
    // Lengths in em of this element are relative to its own font.
    Measure();
}

void TProperties::ApplyRules(const TStyleList& styles, std::string_view tag, std::string_view cls,
                             std::string_view id, std::string_view pseudo,
                             const TProperties* inlineProps,
                             std::span<const std::unique_ptr<TProperties>> ancestors) {
    const double inherited = FontSizePoints();
    const double baseSize = inherited != 0 ? inherited : styles.DefaultFontSize();
    const TCascadeIndex& index = styles.CascadeIndex();
    // Keys are looked up in lower case; the parts of a key lower apart.
    const bool hasClass = !cls.empty(), hasPseudo = !pseudo.empty(), hasId = !id.empty();
    const std::string t = LowerKeyPart("", tag), c = hasClass ? LowerKeyPart(".", cls) : "",
                      i = hasId ? LowerKeyPart("#", id) : "",
                      p = hasPseudo ? LowerKeyPart(":", pseudo) : "";
    std::string key;
    bool inherit = false;  // a merged entry holds an "inherit" value
    auto merge = [&](std::initializer_list<const std::string*> parts) {
        key.clear();
        for (const std::string* part : parts) key += *part;
        if (key.find(' ') != std::string::npos) {
            // A key with a space reads as a contextual one: only the sort-key search finds
            // what it means.
            for (const auto& [sort, entry] : styles.Range(key))
                Merge(*entry), inherit |= entry->HoldsInherit;
            return;
        }
        for (const TProperties* entry : index.Plain(key))
            Merge(*entry), inherit |= entry->HoldsInherit;
    };
    merge({&t});
    if (hasClass) merge({&c});
    if (hasPseudo) merge({&p});
    if (hasClass) merge({&t, &c});
    if (hasPseudo) merge({&t, &p});
    if (hasClass && hasPseudo) merge({&c, &p}), merge({&t, &c, &p});
    if (hasId) {
        merge({&i});
        merge({&t, &i});
        if (hasClass) merge({&c, &i});
        if (hasPseudo) merge({&i, &p}), merge({&t, &i, &p});
        if (hasClass) merge({&t, &c, &i});
        if (hasClass && hasPseudo) merge({&c, &i, &p}), merge({&t, &c, &i, &p});
    }

    // Contextual keys of this element: "tag <count><sequence>ancestor ancestor...".
    for (const TContextualRule& rule : index.Contextual(t))
        if (ContextMatches(rule, cls, id, pseudo, ancestors))
            Merge(*rule.entry), inherit |= rule.entry->HoldsInherit;

    if (inlineProps) Merge(*inlineProps), inherit |= inlineProps->HoldsInherit;
    if (inherit) TakeInherited(ancestors.empty() ? nullptr : ancestors.back().get());
    if (const auto* text = std::get_if<std::string>(&Values[piFontSize]))
        Values[piFontSize] = ConvertFontSize(*text, baseSize, styles.DefaultFontSize());
    ElemTag = tag;
    ElemClass = cls;
    ElemId = id;
    ElemPseudo = pseudo;
}

void TProperties::TakeInherited(const TProperties* parent) {
    for (int i = 0; i < kPropertyCount; ++i) {
        if (!SetHere[i]) continue;
        const auto* text = std::get_if<std::string>(&Values[i]);
        if (!text || *text != "inherit") continue;
        if (parent)
            Values[i] = parent->Values[i];
        else
            Values[i] = IsLengthIndex(i) ? TPropValue(kUnset) : TPropValue();
    }
}

void TProperties::SetIfUnset(int index, TPropValue value) {
    if (index < 0 || index >= kPropertyCount || SetHere[index]) return;
    Values[index] = std::move(value);
    SetHere[index] = true;
}

void TProperties::TakeTextBackground() {
    int color = 0;
    if (SetHere[piBackgroundColor] && IntValue(Values[piBackgroundColor], color))
        TextBackground = static_cast<TColor>(color);
}

int TProperties::SetProperty(std::string_view name, std::string_view value) {
    const int index = PropertyIndex(name);
    if (index < 0) return -1;
    if (value == "inherit") {
        // Kept as a word: the cascade puts the parent's value in its place.
        Values[index] = std::string(value);
        HoldsInherit = true;
        if (index == piBorderStyle)
            for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) Values[i] = Values[index];
        return index;
    }
    TColor color = 0;
    switch (index) {
    case piBorderStyle:
        for (int i : {piBorderStyle, piBorderTopStyle, piBorderRightStyle, piBorderBottomStyle,
                      piBorderLeftStyle})
            Values[i] = std::string(value);
        break;
    case piColor:
        if (!ParseColor(value, false, color)) return -1;
        Values[index] = static_cast<int>(color);
        break;
    case piBackgroundColor:
    case piBorderColor:
    case piBorderTopColor:
    case piBorderRightColor:
    case piBorderBottomColor:
    case piBorderLeftColor:
        Values[index] = static_cast<int>(ParseColor(value, false, color) ? color : kNoColor);
        break;
    case piBorderTopStyle:
    case piBorderRightStyle:
    case piBorderBottomStyle:
    case piBorderLeftStyle:
        Values[index] = std::string(value);
        Values[piBorderStyle] = std::string(value);
        break;
    case piVisibility:
        if (value == "visible") {
            Values[index] = 2;
        } else if (value == "hidden") {
            Values[index] = 1;
        } else {
            return -1;
        }
        break;
    default: Values[index] = std::string(value);
    }
    return index;
}

// ---------------------------------------------------------------------------------------------
// Readers

TMyFont TProperties::MakeFont() const {
    TMyFont font;
    font.BackColor = TextBackground;
    int number = 0;
    font.Color = IntValue(Values[piColor], number) ? static_cast<TColor>(number) : 0;
    font.SetStyle(FontShape());
    font.SetSize(FontPoints());
    font.CharSet = CharSetCode;

    // The first face of the family list that the system has; else the last one tried.
    std::string_view family = TextOf(piFontFamily);
    std::string face;
    while (!family.empty()) {
        const size_t comma = family.find(',');
        std::string_view item = TrimView(family.substr(0, comma));
        family = comma == std::string_view::npos ? std::string_view() : family.substr(comma + 1);
        if (item.size() >= 2 && (item.front() == '"' || item.front() == '\'') &&
            item.back() == item.front())
            item = TrimView(item.substr(1, item.size() - 2));
        if (item.empty()) continue;
        const std::string lower = text::lowerText(item);
        const std::string_view generic = fonts::GenericFace(lower);
        face = generic.empty() ? std::string(item) : std::string(generic);
        if (!generic.empty() || fonts::FaceAvailable(face)) break;  // a generic face is installed
    }
    if (!face.empty()) font.SetName(face);
    return font;
}

TMyFont TProperties::LinkFont(TMyFont font, int colorSlot, int backSlot, int decorationSlot) const {
    int number = 0;
    if (IntValue(Values[colorSlot], number)) font.Color = static_cast<TColor>(number);
    if (IntValue(Values[backSlot], number)) font.BackColor = static_cast<TColor>(number);
    if (!IsEmpty(Values[decorationSlot])) {
        const std::string_view decoration = TextOf(decorationSlot);
        uint8_t style = font.Style() & ~(fsUnderline | fsStrikeOut);
        if (decoration == "underline") {
            style |= fsUnderline;
        } else if (decoration == "line-through") {
            style |= fsStrikeOut;
        }
        font.SetStyle(style);
    }
    return font;
}

TMyFont TProperties::MakeLinkFont() const {
    return MakeLinkFonts().Link;
}
TMyFont TProperties::MakeHoverFont() const {
    return MakeLinkFonts().Hover;
}
TMyFont TProperties::MakeVisitedFont() const {
    return MakeLinkFonts().Visited;
}

TProperties::TLinkFonts TProperties::MakeLinkFonts() const {
    const TMyFont base = MakeFont();
    return {LinkFont(base, piLinkColor, piLinkBackground, piLinkDecoration),
            LinkFont(base, piVisitedColor, piVisitedBackground, piVisitedDecoration),
            LinkFont(base, piHoverColor, piHoverBackground, piHoverDecoration)};
}

TColor TProperties::OwnBackgroundColor() const {
    int number = 0;
    return SetHere[piBackgroundColor] && IntValue(Values[piBackgroundColor], number)
               ? static_cast<TColor>(number)
               : kNoColor;
}

TColor TProperties::OwnColor() const {
    int number = 0;
    return SetHere[piColor] && IntValue(Values[piColor], number) ? static_cast<TColor>(number)
                                                                 : kNoColor;
}

int TProperties::LineHeightFor(int fontHeight) const {
    // Lines taller than this are nonsense; a negative height is no height ("normal").
    static constexpr double kTallest = 32000;
    const auto bounded = [](double height) {
        return height > 0 ? static_cast<int>(std::lround(std::min(height, kTallest))) : 0;
    };
    const TPropValue& value = Values[piLineHeight];
    if (const auto* real = std::get_if<double>(&value)) return bounded(*real * fontHeight);
    if (const auto* number = std::get_if<int>(&value)) return bounded(double(*number) * fontHeight);
    const std::string_view text = TextOf(piLineHeight);
    if (text.empty()) return 0;
    const TNumberAndUnit split = SplitNumberAndUnit(text);
    if (split.hasNumber && split.unit.empty()) return bounded(split.number * fontHeight);
    // "%" and "em" of this element's font size; "normal" and other words give 0.
    return bounded(ConvertLength(text, false, EmPixels, 0, EmPixels, ExPixels));
}

int TProperties::ZIndex() const {
    return IntOf(piZIndex, 0);
}

bool TProperties::BorderStyleSet() const {
    const std::string_view style = TextOf(piBorderStyle);
    return !style.empty() && style != "none";
}

bool TProperties::VerticalAlign(TVAlign& align) const {
    const std::string_view text = TextOf(piVerticalAlign);
    if (text == "top" || text == "text-top") {
        align = vaTop;
    } else if (text == "middle") {
        align = vaMiddle;
    } else if (text == "baseline") {
        align = vaBaseline;
    } else if (text == "bottom") {
        align = vaBottom;
    } else {
        return false;
    }
    return true;
}

TSide TProperties::FloatSide() const {
    const std::string_view text = TextOf(piFloat);
    return text == "left" ? sdLeft : (text == "right" ? sdRight : sdNone);
}

TSide TProperties::ClearSide() const {
    const std::string_view text = TextOf(piClear);
    return text == "left" ? sdLeft : text == "right" ? sdRight : text == "both" ? sdBoth : sdNone;
}

int TProperties::ListStyleIndex() const {
    static constexpr std::string_view kStyles[] = {
        "blank",       "circle", "decimal", "disc",        "lower-alpha",
        "lower-roman", "none",   "square",  "upper-alpha", "upper-roman"};
    const std::string_view text = TextOf(piListStyleType);
    for (int i = 0; i < 10; ++i)
        if (kStyles[i] == text) return i;
    return 0;
}

std::string TProperties::ListStyleImageUrl() const {
    return UrlInside(TextOf(piListStyleImage));
}

std::string TProperties::BackgroundImageUrl() const {
    return UrlInside(TextOf(piBackgroundImage));
}

TBackgroundPos TProperties::BackgroundPosition() const {
    TBackgroundPos result;
    const std::string_view repeat = TextOf(piBackgroundRepeat);
    if (repeat == "no-repeat") {
        result.repeatX = result.repeatY = false;
    } else if (repeat == "repeat-x") {
        result.repeatY = false;
    } else if (repeat == "repeat-y") {
        result.repeatX = false;
    }
    const std::string_view text = TrimView(TextOf(piBackgroundPosition));
    if (text.empty()) return result;
    const size_t space = text.find(' ');
    const std::string_view items[2] = {
        text.substr(0, space),
        space == std::string_view::npos ? std::string_view() : TrimView(text.substr(space + 1))};
    auto read = [this](std::string_view item) {
        TPositionItem position;
        if (item == "center") {
            position.kind = TPositionItem::Center;
        } else if (item == "left") {
            position.kind = TPositionItem::Left;
        } else if (item == "right") {
            position.kind = TPositionItem::Right;
        } else if (item == "top") {
            position.kind = TPositionItem::Top;
        } else if (item == "bottom") {
            position.kind = TPositionItem::Bottom;
        } else if (item.find('%') != std::string_view::npos) {
            position.kind = TPositionItem::Percent;
            position.value = ConvertLength(item, false, 100, 0, EmPixels, ExPixels);
        } else {
            position.value = ConvertLength(item, false, 0, 0, EmPixels, ExPixels);
        }
        return position;
    };
    const TPositionItem first = read(items[0]);
    const bool vertical = first.kind == TPositionItem::Top || first.kind == TPositionItem::Bottom;
    TPositionItem centered;
    centered.kind = TPositionItem::Center;
    TPositionItem second = items[1].empty() ? centered : read(items[1]);
    if (vertical) {
        result.y = first;
        result.x = second;
    } else {
        result.x = first;
        result.y = second;
    }
    return result;
}

int TProperties::LengthOf(int index, int base, int fallback) const {
    const TPropValue& value = Values[index];
    if (const auto* number = std::get_if<int>(&value)) return *number;
    if (const auto* real = std::get_if<double>(&value)) return static_cast<int>(std::lround(*real));
    const std::string_view text = TextOf(index);
    if (text.empty()) return fallback;
    return ConvertLength(text, false, base, fallback, EmPixels, ExPixels);
}

std::optional<int> TProperties::GivenLength(int index, int base) const {
    const int length = LengthOf(index, base, kUnset);
    if (length == kUnset || length == kAutoParagraphSpace || length < 0) return std::nullopt;
    return length;
}

std::string_view TProperties::TextOf(int index) const {
    const auto* text = std::get_if<std::string>(&Values[index]);
    return text ? std::string_view(*text) : std::string_view();
}

int TProperties::IntOf(int index, int fallback) const {
    const TPropValue& value = Values[index];
    if (const auto* number = std::get_if<int>(&value)) return *number;
    if (const auto* real = std::get_if<double>(&value))
        return std::fabs(*real) < 2e9 ? static_cast<int>(std::lround(*real)) : fallback;
    const TNumberAndUnit split = SplitNumberAndUnit(TextOf(index));
    if (!split.hasNumber || !split.unit.empty() || std::fabs(split.number) >= 2e9) return fallback;
    return static_cast<int>(std::lround(split.number));
}

}  // namespace kv
