#pragma once
// The style-sheet parser: the content of a STYLE element, a linked sheet, or a STYLE attribute.
// A small subset: simple selectors joined by descendant and child combinators, declarations, the
// shorthands margin, padding, border-width, border(-top/-right/-bottom/-left), font, background
// and list-style, comments, @media blocks; other at-rules are skipped. It never fails: what it
// does not understand is skipped.

#include <string>
#include <string_view>

namespace kv {

class TStyleList;
class TProperties;

// Where a sheet's characters come from: Next() returns the next byte (26 at the end, and
// thereafter), Peek() the byte Next() would return. The parser never reads past the "<" it stops
// at, so a reader that feeds it from the document stands at that "<" afterwards.
class TSheetSource {
public:
    virtual ~TSheetSource() = default;
    virtual unsigned char Next() = 0;
    virtual unsigned char Peek() = 0;
};

// A sheet held in memory; line feeds are skipped (a linked sheet's line ends become CR).
class TStringSheetSource : public TSheetSource {
public:
    explicit TStringSheetSource(std::string_view text) : text_(text) {}
    unsigned char Next() override;
    unsigned char Peek() override;

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Whether a list of media types applies (an @media prelude or a MEDIA attribute: "screen, print",
// "only all"): one naming "all", or "screen" on screen and "print" in print; an empty list means
// all. A media query with conditions is not understood and so applies nowhere.
bool MediaApplies(std::string_view prelude, bool forPrint);

// The same, noting in `styles.HasMediaRules` when screen and print differ on the list: a printout
// of the document then builds it again for print.
bool MediaRulesApply(TStyleList& styles, std::string_view media, bool forPrint);

// Reads rules into `styles` until the end of input or a "<" (the STYLE end tag) and returns the
// upper-cased character it stopped at. url() values are resolved against `base` (the folder or
// URL of a linked sheet; empty for a STYLE element). @media blocks for the screen apply, or,
// with `forPrint`, those for print.
unsigned char ParseStyleSheet(TStyleList& styles, TSheetSource& source, std::string_view base,
                              bool forPrint = false);

// Reads the declarations of a STYLE attribute into `props`.
void ParseInlineStyle(std::string_view text, TProperties& props);

// The folder part of a URL: trimmed, cut at "?", up to and including the last "/" after the
// scheme's "//" (the text with "/" appended when there is none).
std::string UrlBase(std::string_view url);
// A relative URL resolved against a base URL ("/../" and "/./" removed).
std::string CombineUrl(std::string_view base, std::string_view relative);
// True when the text holds "://" or, in any case, "mailto:".
bool IsFullUrl(std::string_view text);
// A value holding url(...) with the URL resolved against `base`, written back as url(...).
std::string ResolveUrlValue(std::string_view value, std::string_view base);

}  // namespace kv
