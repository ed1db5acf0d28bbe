// Code blocks: white-space on DIV and P, and the generic font families drawn with installed
// faces that have Cyrillic.

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "html/layout/builder.h"
#include "html/layout/textsection.h"
#include "platform/font.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

// The text of every section, "|" between sections, "*" before a preformatted one.
std::string Lines(test::Built& page) {
    std::string out;
    for (TSection* section : page.Texts()) {
        if (section->Text.empty()) continue;
        if (!out.empty()) out += '|';
        if (dynamic_cast<TPreFormated*>(section)) out += '*';
        for (char16_t unit : section->Text) out += static_cast<char>(unit);
    }
    return out;
}

TEST(PreCss, WhiteSpacePreReadsDivAndParagraphAsPreformattedLines) {
    // Spaces and line ends kept, from the first line to the last; an inner DIV does not end the
    // outer one; what follows the element reads as prose again.
    test::Built div("<div style='white-space:pre'>a  b\nc<div>d</div> e\nf</div> g   h");
    EXPECT_EQ(Lines(div), "*a  b|*cd e|*f|g h");
    test::Built para("<p class=code>x  y\nz<p>w   v<style>.code{white-space:pre}</style>");
    EXPECT_EQ(Lines(para), "x y z|w v");
    test::Built styled("<style>.code{white-space:pre}</style><p class=code>x  y\nz<p>w   v");
    EXPECT_EQ(Lines(styled), "*x  y|*z|w v");
}

TEST(PreCss, NowrapKeepsALineWholeUntilNormalLetsItBreak) {
    // Too wide for the page: only an unbroken line paints the sentence as one run.
    const std::string words = "one two three four five six seven eight nine ten";
    test::Built page("<div style='white-space:nowrap'>" + words + "<p style='white-space:normal'>" +
                         words + "</p>" + words + "</div>" + words,
                     120);
    const std::string painted = page.Paint();
    int whole = 0;
    for (std::size_t at = painted.find('"' + words + '"'); at != std::string::npos;
         at = painted.find('"' + words + '"', at + 1))
        ++whole;
    EXPECT_EQ(whole, 2);  // the DIV's first and last line; not the P's, not the text after
}

TEST(PreCss, GenericFamiliesDrawWithInstalledCyrillicFaces) {
    for (const char* generic : {"serif", "sans-serif", "monospace", "cursive", "fantasy"}) {
        TProperties props;
        // Unknown names are passed over; the generic family ends the search.
        props.Values[piFontFamily] = std::string("'No Such Face', ") + generic + ", Arial";
        props.Values[piFontSize] = 10.0;
        const TMyFont font = props.MakeFont();
        // The face asked for is the face drawn with: the system has that family.
        // (Qt names the foundry too when two foundries make a family.)
        EXPECT_TRUE(fonts::SelectedFace(font.Name()).starts_with(font.Name()))
            << generic << " " << font.Name() << " " << fonts::SelectedFace(font.Name());
        const QFontMetrics metrics(font.ToQFont());
        EXPECT_TRUE(metrics.inFont(QChar(u'Ж'))) << generic << " " << font.Name();
        const bool fixed = metrics.horizontalAdvance('i') == metrics.horizontalAdvance('W');
        EXPECT_EQ(fixed, std::string_view(generic) == "monospace") << font.Name();
    }
    EXPECT_EQ(fonts::GenericFace("Monospace-Bold"), "");
}

}  // namespace
}  // namespace kv
