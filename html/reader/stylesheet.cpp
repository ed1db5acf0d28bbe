#include "html/reader/stylesheet.h"

#include <functional>
#include <vector>

#include "html/reader/properties.h"
#include "html/reader/units.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr unsigned char kEnd = 26;
constexpr size_t kMaxValues = 7;  // values of one shorthand
constexpr size_t kMaxParts = 10;  // simple selectors of one contextual selector

using Setter = std::function<void(std::string_view property, std::string_view value)>;

// Every byte of a UTF-8 sequence counts: names may hold any letter.
bool IsLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(unsigned char c) {
    return IsLetter(c) || IsDigit(c) || c == '-';
}
bool IsSelectorChar(unsigned char c) {
    return IsNameChar(c) || c == '_' || c == ' ' || c == '#' || c == '.' || c == ':';
}

// Every ">" stands between two simple selectors ("a > b", not "> b", "a >" or "a > > b").
bool CombinatorsPlaced(std::string_view selector) {
    bool afterPart = false;  // the last word was a simple selector
    size_t i = 0;
    while (i < selector.size()) {
        while (i < selector.size() && selector[i] == ' ') ++i;
        const size_t start = i;
        while (i < selector.size() && selector[i] != ' ') ++i;
        if (i == start) break;
        const bool combinator = selector.substr(start, i - start) == ">";
        if (combinator && !afterPart) return false;
        afterPart = !combinator;
    }
    return afterPart || selector.empty();
}

// A selector the cascade can match: element, class and id names with the pseudo-classes of
// links; anything else (an unknown pseudo-class, an empty name) would style the wrong elements.
bool Understood(std::string_view selector) {
    for (std::size_t colon = selector.find(':'); colon != std::string_view::npos;
         colon = selector.find(':', colon + 1)) {
        std::size_t end = colon + 1;
        while (end < selector.size() && selector[end] != ' ' && selector[end] != ':' &&
               selector[end] != '.' && selector[end] != '#')
            ++end;
        const std::string_view pseudo = selector.substr(colon + 1, end - colon - 1);
        if (pseudo != "link" && pseudo != "visited" && pseudo != "hover" && pseudo != "active")
            return false;
    }
    for (std::size_t i = 0; i < selector.size(); ++i)
        if ((selector[i] == '.' || selector[i] == '#' || selector[i] == ':') &&
            (i + 1 == selector.size() ||
             !IsSelectorChar(static_cast<unsigned char>(selector[i + 1])) ||
             selector[i + 1] == ' '))
            return false;
    return CombinatorsPlaced(selector);
}

}  // namespace

bool MediaRulesApply(TStyleList& styles, std::string_view media, bool forPrint) {
    const bool applies = MediaApplies(media, forPrint);
    if (applies != MediaApplies(media, !forPrint)) styles.HasMediaRules = true;
    return applies;
}

bool MediaApplies(std::string_view prelude, bool forPrint) {
    const std::string list = text::lowerText(TrimView(prelude));
    if (list.empty()) return true;
    const std::string_view wanted = forPrint ? "print" : "screen";
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string_view type = TrimView(std::string_view(list).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start));
        if (type.substr(0, 5) == "only ") type = TrimView(type.substr(5));
        if (type == "all" || type == wanted) return true;
        if (comma == std::string::npos) return false;
        start = comma + 1;
    }
}

namespace {

// A trailing "!important" is no part of the value.
std::string_view WithoutImportant(std::string_view value) {
    value = TrimView(value);
    if (value.size() >= 10 && value.substr(value.size() - 9) == "important") {
        std::string_view rest = TrimView(value.substr(0, value.size() - 9));
        if (!rest.empty() && rest.back() == '!') return TrimView(rest.substr(0, rest.size() - 1));
    }
    return value;
}
bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string_view StripQuotes(std::string_view text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

// Splits a shorthand's value into at most seven values: quoted stretches (and, with
// `keepGroups`, parenthesised groups) stay whole; "12px/1.5" gives "12px" and "/1.5".
std::vector<std::string> SplitValues(std::string_view input, bool keepGroups) {
    std::string text;
    for (size_t i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if (c == ' ' && (text.empty() || text.back() == ' ' || text.back() == ',')) continue;
        if (c == ',' && !text.empty() && text.back() == ' ') text.pop_back();
        text += c;
    }
    std::vector<std::string> values;
    std::string current;
    char quote = 0;
    int depth = 0;
    auto flush = [&] {
        if (current.empty() || values.size() >= kMaxValues) return current.clear();
        const size_t slash = current.find('/', 1);
        if (slash != std::string::npos && current.find('(') == std::string::npos &&
            values.size() + 1 < kMaxValues) {
            values.push_back(current.substr(0, slash));
            values.push_back(current.substr(slash));
        } else {
            values.push_back(current);
        }
        current.clear();
    };
    for (char c : text) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (keepGroups && c == '(') {
            ++depth;
        } else if (keepGroups && c == ')' && depth > 0) {
            --depth;
        } else if (c == ' ' && depth == 0) {
            flush();
            continue;
        }
        current += c;
    }
    flush();
    return values;
}

void ExpandBox(std::string_view prefix, std::string_view suffix, const std::vector<std::string>& v,
               const Setter& set) {
    if (v.empty()) return;
    const std::string& top = v[0];
    const std::string& right = v.size() >= 2 ? v[1] : v[0];
    const std::string& bottom = v.size() >= 3 ? v[2] : v[0];
    const std::string& left = v.size() >= 4 ? v[3] : right;
    const std::string p(prefix), s(suffix);
    set(p + "-top" + s, top);
    set(p + "-right" + s, right);
    set(p + "-bottom" + s, bottom);
    set(p + "-left" + s, left);
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> words) {
    for (auto word : words)
        if (value == word) return true;
    return false;
}

void ExpandFont(const std::vector<std::string>& values, const Setter& set) {
    for (const std::string& v : values) {
        if (v[0] == '/') {
            set("line-height", std::string_view(v).substr(1));
        } else if (IsOneOf(v, {"italic", "oblique"})) {
            set("font-style", v);
        } else if (IsOneOf(v, {"normal", "bolder", "lighter", "bold"})) {
            set("font-weight", v);
        } else if (v == "small-caps") {
            set("font-variant", v);
        } else if (IsOneOf(v, {"larger", "smaller", "xx-small", "x-small", "small", "medium",
                               "large", "x-large", "xx-large"}) ||
                   IsDigit(static_cast<unsigned char>(v[0]))) {
            set("font-size", v);
        } else {
            set("font-family", v);
        }
    }
}

void ExpandBorder(std::string_view name, const std::vector<std::string>& values,
                  const Setter& set) {
    for (const std::string& v : values) {
        TColor color;
        if (ParseColor(v, true, color)) {
            // The whole colour as before, and the side's own (all four for "border").
            set("border-color", v);
            if (name == "border")
                ExpandBox("border", "-color", {v}, set);
            else
                set(std::string(name) + "-color", v);
        } else if (IsOneOf(v, {"none", "solid", "dashed", "dotted", "double", "groove", "inset",
                               "outset", "ridge"})) {
            set(std::string(name) + "-style", v);
        } else if (name == "border") {
            for (auto side : {"border-top-width", "border-right-width", "border-bottom-width",
                              "border-left-width"})
                set(side, v);
        } else {
            set(std::string(name) + "-width", v);
        }
    }
}

void ExpandBackground(const std::vector<std::string>& values, std::string_view base,
                      const Setter& set) {
    std::string position;
    int positions = 0;
    for (const std::string& v : values) {
        TColor color;
        if (Contains(v, "rgb(")) {
            set("background-color", v);
        } else if (Contains(v, "url(")) {
            set("background-image", base.empty() ? v : ResolveUrlValue(v, base));
        } else if (ParseColor(v, true, color)) {
            set("background-color", v);
        } else if (v == "none") {
            set("background-image", v);
        } else if (Contains(v, "repeat")) {
            set("background-repeat", v);
        } else if (positions < 2) {
            position += (positions++ ? " " : "") + v;
        }
    }
    if (!position.empty()) set("background-position", position);
}

// Applies one declaration, expanding the shorthands.
void Declare(std::string_view name, std::string_view value, std::string_view base,
             const Setter& set) {
    if (IsOneOf(name, {"margin", "padding"})) {
        ExpandBox(name, "", SplitValues(value, false), set);
    } else if (name == "border-width") {
        ExpandBox("border", "-width", SplitValues(value, false), set);
    } else if (name == "border-color") {
        // One colour is every side's; up to four are the sides' as for margins.
        const std::vector<std::string> colors = SplitValues(value, true);
        set(name, colors.size() == 1 ? colors[0] : std::string(value));
        ExpandBox("border", "-color", colors, set);
    } else if (IsOneOf(name,
                       {"border", "border-top", "border-right", "border-bottom", "border-left"})) {
        ExpandBorder(name, SplitValues(value, false), set);
    } else if (name == "font") {
        ExpandFont(SplitValues(value, false), set);
    } else if (name == "background") {
        ExpandBackground(SplitValues(value, true), base, set);
    } else if (name == "list-style") {
        for (const std::string& v : SplitValues(value, true)) {
            if (Contains(v, "url(")) {
                set("list-style-image", base.empty() ? v : ResolveUrlValue(v, base));
            } else {
                set("list-style-type", v);
            }
        }
    } else if (!base.empty() && Contains(value, "url(")) {
        set(name, ResolveUrlValue(value, base));
    } else {
        set(name, value);
    }
}

class SheetParser {
public:
    SheetParser(TSheetSource& source, bool inlineStyle, bool forPrint = false)
        : source_(source), inline_(inlineStyle), print_(forPrint) {}

    void Next() { ch = Read(); }

    // Reads declarations up to "}" (consumed), "<" or the end (an inline style: to the end).
    void ReadDeclarations(std::string_view base, const Setter& set) {
        for (;;) {
            SkipSpaces();
            if (Stop()) return;
            if (ch == '}' && !inline_) return Next();
            std::string name;
            while (IsNameChar(ch)) {
                name += static_cast<char>(ch);
                Next();
            }
            SkipSpaces();
            if (ch == ':') {
                Next();
                std::string value;
                while (!Stop() && ch != ';' && (inline_ || ch != '}')) {
                    value += static_cast<char>(ch);
                    Next();
                }
                const std::string lowerValue = text::lowerText(TrimView(value));
                const std::string_view plain = WithoutImportant(lowerValue);
                Declare(text::lowerText(name), StripQuotes(plain), base, set);
            }
            SkipSpaces();
            if (ch == ';') Next();
            while (!IsNameChar(ch) && !Stop() && (inline_ || ch != '}')) Next();
        }
    }

    void ReadSheet(TStyleList& styles, std::string_view base) {
        ch = ' ';
        while (ch == ' ' || ch == '!' || ch == '-' || ch == '>' ||
               (ch == '<' && source_.Peek() == '!'))
            Next();
        while (!Stop()) {
            if (ch == '@') {
                ReadAtRule(styles, base);
            } else {
                ReadRule(styles, base, false);
            }
            while (ch == ' ' || ch == '-' || ch == '>') Next();
        }
    }

    unsigned char ch = ' ';  // the current character

private:
    unsigned char Read() {
        for (;;) {
            unsigned char c = source_.Next();
            if (c == 13 || c == 9 || c == 10) return ' ';
            if (c != '/' || source_.Peek() != '*') return c;
            source_.Next();  // "*": a comment, ended by "*/", "<" or the end
            for (;;) {
                c = source_.Next();
                if (c == kEnd || (c == '<' && !inline_)) return c;
                if (c == '*' && source_.Peek() == '/') {
                    source_.Next();
                    break;
                }
            }
        }
    }

    bool Stop() const { return ch == kEnd || (ch == '<' && !inline_); }
    void SkipSpaces() {
        while (ch == ' ') Next();
    }

    // An @media block whose media apply is read rule by rule; any other at-rule is skipped.
    void ReadAtRule(TStyleList& styles, std::string_view base) {
        Next();
        std::string name;
        while (IsNameChar(ch)) {
            name += static_cast<char>(ch);
            Next();
        }
        std::string prelude;
        while (!Stop() && ch != ';' && ch != '{') {
            prelude += static_cast<char>(ch);
            Next();
        }
        if (ch == ';') return Next();
        if (ch != '{') return;
        if (text::lowerText(name) != "media") return SkipBlock();
        if (!MediaRulesApply(styles, prelude, print_)) return SkipBlock();
        Next();
        ReadBlockRules(styles, base);
    }

    // The rules of an @media block up to its "}" (consumed). A nested at-rule is skipped whole,
    // so no nesting depth can exhaust the stack.
    void ReadBlockRules(TStyleList& styles, std::string_view base) {
        for (;;) {
            SkipSpaces();
            if (Stop()) return;
            if (ch == '}') return Next();
            if (ch == '@') {
                SkipAtRule();
            } else {
                ReadRule(styles, base, true);
            }
        }
    }

    void SkipAtRule() {
        while (!Stop() && ch != ';' && ch != '{') Next();
        if (ch == ';') return Next();
        SkipBlock();
    }

    // From "{" to its matching "}" (consumed), or to the end of the sheet.
    void SkipBlock() {
        int depth = 0;
        while (!Stop()) {
            if (ch == '{') ++depth;
            if (ch == '}' && --depth == 0) return Next();
            Next();
        }
    }

    // Reads one rule; inside a block a "}" before the rule's "{" ends the rule (and the block).
    void ReadRule(TStyleList& styles, std::string_view base, bool inBlock) {
        std::vector<std::string> selectors;
        bool understood = true;
        for (;;) {
            std::string selector;
            while (IsSelectorChar(ch) || ch == '>') {
                // The child combinator stands alone between spaces, however it was written.
                selector += ch == '>' ? std::string(" > ") : std::string(1, static_cast<char>(ch));
                Next();
            }
            selector = text::lowerText(selector);
            // A combinator or condition the cascade cannot match ("[title]", "a + b") drops the
            // whole rule, as CSS drops a rule it cannot read.
            if ((ch != ',' && ch != '{' && !Stop()) || !Understood(TrimView(selector)))
                understood = false;
            const std::string key = SelectorKey(TrimView(selector), styles);
            if (!key.empty()) selectors.push_back(key);
            if (ch != ',') break;
            Next();
        }
        while (ch != '{' && !Stop() && !(inBlock && ch == '}')) Next();
        if (ch != '{') return;
        Next();
        if (!understood) selectors.clear();
        ReadDeclarations(base, [&](std::string_view property, std::string_view value) {
            for (const auto& selector : selectors)
                styles.SetSelectorProperty(selector, property, value);
        });
    }

    // "div p" becomes "p 1<sequence>div": the element first, then the number of ancestors and
    // the rule's sequence number, then the ancestors from the nearest outwards. An ancestor
    // written before ">" ("div > p") is marked ">div": it must be the parent of the part after it.
    static std::string SelectorKey(std::string_view selector, TStyleList& styles) {
        std::vector<std::string> parts;
        size_t i = 0;
        while (i < selector.size()) {
            while (i < selector.size() && selector[i] == ' ') ++i;
            const size_t start = i;
            while (i < selector.size() && selector[i] != ' ') ++i;
            const std::string_view part = selector.substr(start, i - start);
            if (part == ">" && !parts.empty()) {
                parts.back().insert(0, 1, '>');
            } else if (!part.empty()) {
                parts.emplace_back(part);
            }
        }
        if (parts.size() > kMaxParts) return {};  // deeper than the cascade matches
        if (parts.size() <= 1) return std::string(selector);
        std::string key(parts.back());
        key += ' ' + std::to_string(parts.size() - 1) + std::to_string(styles.Sequence++);
        for (size_t k = parts.size() - 1; k-- > 0;) {
            key += parts[k];
            if (k > 0) key += ' ';
        }
        return key;
    }

    TSheetSource& source_;
    bool inline_;
    bool print_;  // the document is printed, not shown on screen
};

}  // namespace

unsigned char TStringSheetSource::Next() {
    while (pos_ < text_.size() && text_[pos_] == 10) ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_++]) : kEnd;
}

unsigned char TStringSheetSource::Peek() {
    while (pos_ < text_.size() && text_[pos_] == 10) ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : kEnd;
}

unsigned char ParseStyleSheet(TStyleList& styles, TSheetSource& source, std::string_view base,
                              bool forPrint) {
    SheetParser parser(source, false, forPrint);
    parser.ReadSheet(styles, base);
    return cp1251::upperLatin(parser.ch);
}

void ParseInlineStyle(std::string_view text, TProperties& props) {
    const std::string lower = text::lowerText(text);
    TStringSheetSource source(lower);
    SheetParser parser(source, true);
    parser.Next();
    parser.ReadDeclarations("", [&](std::string_view property, std::string_view value) {
        props.SetProperty(property, value);
    });
}

std::string UrlBase(std::string_view url) {
    std::string_view text = TrimView(url);
    text = text.substr(0, text.find('?'));
    const size_t slashes = text.find("//");
    const size_t start = slashes == std::string_view::npos ? 0 : slashes + 2;
    const size_t last = text.rfind('/');
    if (last != std::string_view::npos && last >= start)
        return std::string(text.substr(0, last + 1));
    return std::string(text) + "/";
}

std::string CombineUrl(std::string_view base, std::string_view relative) {
    std::string b(base);
    const size_t scheme = b.find("://");
    size_t root = b.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (root == std::string::npos) {
        b += '/';
        root = b.size() - 1;
    }
    if (b.back() != '/') b += '/';
    std::string result = !relative.empty() && relative.front() == '/'
                             ? b.substr(0, root) + std::string(relative)
                             : b + std::string(relative);
    for (size_t p; (p = result.find("/../")) != std::string::npos;) {
        if (p > root) {
            const size_t q = result.rfind('/', p - 1);  // at least the root
            result.erase(q, p + 3 - q);
        } else {
            result.erase(p + 1, 3);
        }
    }
    for (size_t p; (p = result.find("/./")) != std::string::npos;) result.erase(p, 2);
    return result;
}

bool IsFullUrl(std::string_view text) {
    return Contains(text, "://") || Contains(text::lowerText(text), "mailto:");
}

namespace {

std::string LocalPath(std::string_view url, std::string_view base) {
    std::string path;
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() + 0 && cp1251::hexDigit(url[i + 1]) >= 0 &&
            cp1251::hexDigit(url[i + 2]) >= 0) {
            path +=
                static_cast<char>(cp1251::hexDigit(url[i + 1]) * 16 + cp1251::hexDigit(url[i + 2]));
            i += 2;
        } else {
            path += url[i];
        }
    }
    // file:///C|/x keeps its drive; file:///home/x is the absolute path /home/x.
    if (path.rfind("file:///", 0) == 0 && path.size() > 9 && path[9] == '|') {
        path.erase(0, 8);
    } else if (path.rfind("file://", 0) == 0) {
        path.erase(0, 7);
    }
    for (char& c : path) {
        if (c == '|') c = ':';
        if (c == '\\') c = '/';
    }
    if ((path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '/')) return path;
    std::string folder(base);
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + path;
}

}  // namespace

std::string ResolveUrlValue(std::string_view value, std::string_view base) {
    const size_t open = value.find("url(");
    if (open == std::string_view::npos) return std::string(value);
    const size_t close = value.find(')', open);
    const size_t innerEnd = close == std::string_view::npos ? value.size() : close;
    std::string url(StripQuotes(TrimView(value.substr(open + 4, innerEnd - open - 4))));
    for (char& c : url)
        if (c == '\\') c = '/';
    std::string resolved;
    if (!Contains(base, "://")) {
        resolved = LocalPath(url, base);
    } else {
        resolved = IsFullUrl(url) ? url : CombineUrl(base, url);
    }
    std::string result(value.substr(0, open));
    result += "url(" + resolved + ")";
    if (close != std::string_view::npos) result += value.substr(close + 1);
    return result;
}

}  // namespace kv
