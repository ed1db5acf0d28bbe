// The style-sheet parser: rules from STYLE elements and linked sheets, shorthands, url().

#include <gtest/gtest.h>

#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "html/reader/tokenizer.h"

namespace kv {
namespace {

std::string Text(const TStyleList& styles, std::string_view key, int index) {
    const TProperties* entry = styles.Find(key);
    if (!entry) return "<no entry>";
    if (const auto* text = std::get_if<std::string>(&entry->Values[index])) return *text;
    if (const auto* number = std::get_if<int>(&entry->Values[index]))
        return std::to_string(*number);
    return "<empty>";
}

void Parse(TStyleList& styles, std::string_view sheet, std::string_view base = "") {
    TStringSheetSource source(sheet);
    ParseStyleSheet(styles, source, base);
}

TEST(StyleElement, IsReadFromTheDocumentAndStopsAtItsEndTag) {
    TStyleList styles;
    THtmlReader reader;
    reader.Start("<style><!-- p { color: red } --></style>after");
    reader.ReadChar();
    reader.NextToken();
    ASSERT_EQ(reader.Symbol, sySTYLE);
    reader.ReadStyleElement(styles);
    EXPECT_EQ(reader.CurChar, '<');
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, sySTYLEEnd);
    reader.NextToken();
    EXPECT_EQ(reader.Token.Text, u"after");
    EXPECT_EQ(Text(styles, "p", piColor), std::to_string(0x0000FF));
}

TEST(StyleElement, AnEmptyElementKeepsTheTextAfterIt) {
    TStyleList styles;
    THtmlReader reader;
    reader.Start("<style></style>Hello<b>");
    reader.ReadChar();
    reader.NextToken();
    reader.ReadStyleElement(styles);
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, sySTYLEEnd);
    reader.NextToken();
    EXPECT_EQ(reader.Token.Text, u"Hello");
    EXPECT_EQ(styles.Count(), 0);
}

TEST(StyleElement, AnOpenCommentEndsAtTheEndTag) {
    TStyleList styles;
    THtmlReader reader;
    reader.Start("<style>p { color: red } /* never closed\nb { color: blue }</style><i>");
    reader.ReadChar();
    reader.NextToken();
    reader.ReadStyleElement(styles);
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, sySTYLEEnd);
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, syI);
    EXPECT_EQ(Text(styles, "p", piColor), std::to_string(0x0000FF));
    EXPECT_EQ(styles.Find("b"), nullptr);
}

TEST(Sheet, SelectorsCommentsAndAtRules) {
    TStyleList styles;
    Parse(styles,
          "@import url(x.css);\n@media print { p { color: red } }\n"
          "H1, h2 { margin: 0 5px } /* note */ P.Note:Hover, #Top {color:#00f}\n"
          "div > p { width: 10px } * { height: 1px } ul li a { top: 2px }");
    for (auto key : {"h1", "h2"}) {
        EXPECT_EQ(Text(styles, key, piMarginTop), "0");
        EXPECT_EQ(Text(styles, key, piMarginBottom), "0");
        EXPECT_EQ(Text(styles, key, piMarginRight), "5px");
        EXPECT_EQ(Text(styles, key, piMarginLeft), "5px");
    }
    EXPECT_EQ(styles.Find("p"), nullptr);  // the @media block was skipped
    EXPECT_NE(styles.Find("p.note:hover"), nullptr);
    EXPECT_EQ(styles.Find("p.note:hover")->ElemPseudo, "hover");
    EXPECT_NE(styles.Find("#top"), nullptr);
    EXPECT_EQ(styles.Find("div"), nullptr);  // ">" styles the P, not every DIV
    ASSERT_EQ(styles.Count(), 6);
    EXPECT_EQ(styles.Entry(0).ElemTag, "#top");
    EXPECT_EQ(styles.Entry(1).ElemTag, "a 211li ul");  // 2 ancestors, sequence 11
    EXPECT_NE(styles.Find("p 110>div"), nullptr);
    EXPECT_EQ(styles.Sequence, 12);
}

// An @media block: whether its rules apply on screen and in print, and that the rule after it is
// read either way.
struct MediaCase {
    const char* sheet;
    bool screen, print;
};

class MediaBlock : public ::testing::TestWithParam<MediaCase> {};

TEST_P(MediaBlock, AppliesOnlyToItsMedia) {
    for (const bool forPrint : {false, true}) {
        TStyleList styles;
        const std::string sheet = std::string(GetParam().sheet) + " i { color: red }";
        TStringSheetSource source(sheet);
        ParseStyleSheet(styles, source, "", forPrint);
        const bool wanted = forPrint ? GetParam().print : GetParam().screen;
        EXPECT_EQ(Text(styles, "p", piColor), wanted ? std::to_string(0x0000FF) : "<no entry>")
            << (forPrint ? "print" : "screen");
        EXPECT_EQ(Text(styles, "i", piColor), std::to_string(0x0000FF));
        EXPECT_EQ(styles.Find("x"), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sheet, MediaBlock,
    ::testing::Values(
        MediaCase{"@media screen { p { color: red } }", true, false},
        MediaCase{"@MEDIA All{p{color:red}}", true, true},
        MediaCase{"@media print { p { color: red } }", false, true},
        MediaCase{"@media handheld, PRINT ,Screen { p { color: red } }", true, true},
        MediaCase{"@media only screen { p { color: red } }", true, false},
        MediaCase{"@media { p { color: red } }", true, true},
        MediaCase{"@media tv, aural { p { color: red } }", false, false},
        MediaCase{"@media screen and (max-width: 600px) { p { color: red } }", false, false},
        MediaCase{"@media print { p { color: red } @page { x { } } }", false, true},
        MediaCase{"@media screen { junk } p { color: red }", true, true},
        MediaCase{"@media all { @font-face { x { } } p { color: red } ;; }", true, true}));

TEST(StyleElement, AnUnterminatedMediaBlockEndsAtTheEndTag) {
    for (const char* text : {"<style>@media screen { p { color: red } </style><i>",
                             "<style>@media print { p { color: red } x { </style><i>"}) {
        TStyleList styles;
        THtmlReader reader;
        reader.Start(text);
        reader.ReadChar();
        reader.NextToken();
        reader.ReadStyleElement(styles);
        reader.NextToken();
        EXPECT_EQ(reader.Symbol, sySTYLEEnd) << text;
        reader.NextToken();
        EXPECT_EQ(reader.Symbol, syI) << text;
    }
}

TEST(Sheet, DeclarationValues) {
    TStyleList styles;
    Parse(styles,
          "p { COLOR : Red ; font-family: \"Times New Roman\"; junk; : x; width: 5px }"
          "q { visibility: hidden; background-color: nonsense; color: nonsense }"
          "r { border-style: dotted; border-left-style: solid; bogus-property: 1 }");
    EXPECT_EQ(Text(styles, "p", piColor), std::to_string(0x0000FF));
    EXPECT_EQ(Text(styles, "p", piFontFamily), "times new roman");
    EXPECT_EQ(Text(styles, "p", piWidth), "5px");
    EXPECT_EQ(Text(styles, "q", piVisibility), "1");
    EXPECT_EQ(Text(styles, "q", piBackgroundColor), std::to_string(kNoColor));
    EXPECT_EQ(Text(styles, "q", piColor), "<empty>");
    EXPECT_EQ(Text(styles, "r", piBorderTopStyle), "dotted");
    EXPECT_EQ(Text(styles, "r", piBorderLeftStyle), "solid");
    EXPECT_EQ(Text(styles, "r", piBorderStyle), "solid");
}

TEST(Sheet, BoxShorthands) {
    TStyleList styles;
    Parse(styles,
          "a { margin: 1px } b { padding: 1px 2px 3px } c { border-width: 1px 2px 3px 4px }");
    EXPECT_EQ(Text(styles, "a", piMarginLeft), "1px");
    EXPECT_EQ(Text(styles, "b", piPaddingTop), "1px");
    EXPECT_EQ(Text(styles, "b", piPaddingRight), "2px");
    EXPECT_EQ(Text(styles, "b", piPaddingBottom), "3px");
    EXPECT_EQ(Text(styles, "b", piPaddingLeft), "2px");
    EXPECT_EQ(Text(styles, "c", piBorderTopWidth), "1px");
    EXPECT_EQ(Text(styles, "c", piBorderRightWidth), "2px");
    EXPECT_EQ(Text(styles, "c", piBorderBottomWidth), "3px");
    EXPECT_EQ(Text(styles, "c", piBorderLeftWidth), "4px");
}

TEST(Sheet, FontShorthand) {
    TStyleList styles;
    Parse(styles,
          "p { font: italic bold 12px/1.5 arial } q { font: larger 'Courier New', monospace }");
    EXPECT_EQ(Text(styles, "p", piFontStyle), "italic");
    EXPECT_EQ(Text(styles, "p", piFontWeight), "bold");
    EXPECT_EQ(Text(styles, "p", piFontSize), "12px");
    EXPECT_EQ(Text(styles, "p", piLineHeight), "1.5");
    EXPECT_EQ(Text(styles, "p", piFontFamily), "arial");
    EXPECT_EQ(Text(styles, "q", piFontSize), "larger");
    EXPECT_EQ(Text(styles, "q", piFontFamily), "'courier new',monospace");
}

TEST(Sheet, BorderShorthands) {
    TStyleList styles;
    Parse(styles, "p { border: 1px solid #ff0000 } q { border-top: thick dashed red }");
    for (int i : {piBorderTopWidth, piBorderRightWidth, piBorderBottomWidth, piBorderLeftWidth})
        EXPECT_EQ(Text(styles, "p", i), "1px");
    for (int i : {piBorderStyle, piBorderTopStyle, piBorderLeftStyle})
        EXPECT_EQ(Text(styles, "p", i), "solid");
    EXPECT_EQ(Text(styles, "p", piBorderColor), std::to_string(0x020000FF));
    EXPECT_EQ(Text(styles, "q", piBorderTopWidth), "thick");
    EXPECT_EQ(Text(styles, "q", piBorderLeftWidth), std::to_string(kUnset));
    EXPECT_EQ(Text(styles, "q", piBorderTopStyle), "dashed");
    EXPECT_EQ(Text(styles, "q", piBorderColor), std::to_string(0x0000FF));
}

TEST(Sheet, BackgroundAndListStyleShorthands) {
    TStyleList styles;
    Parse(styles,
          "p { background: url(img/a.gif) rgb(1, 2, 3) no-repeat left top }"
          "q { background: #fff none } r { list-style: square url(\"b.gif\") }");
    EXPECT_EQ(Text(styles, "p", piBackgroundImage), "url(img/a.gif)");
    EXPECT_EQ(Text(styles, "p", piBackgroundColor), std::to_string(0x02030201));
    EXPECT_EQ(Text(styles, "p", piBackgroundRepeat), "no-repeat");
    EXPECT_EQ(Text(styles, "p", piBackgroundPosition), "left top");
    EXPECT_EQ(Text(styles, "q", piBackgroundColor), std::to_string(0x02FFFFFF));
    EXPECT_EQ(Text(styles, "q", piBackgroundImage), "none");
    EXPECT_EQ(Text(styles, "r", piListStyleType), "square");
    EXPECT_EQ(Text(styles, "r", piListStyleImage), "url(\"b.gif\")");
}

TEST(Sheet, UrlsResolveAgainstTheSheetsBase) {
    TStyleList styles;
    Parse(
        styles,
        "a { background-image: url(img/a%20b.gif) } b { background: url('../x.gif') }"
        "c { list-style-image: url(C|/pics/y.gif) } d { background-image: url(file:///home/z.gif) }"
        "e { background-image: url(sub\\w.gif) }",
        "/data/inside/art/");
    EXPECT_EQ(Text(styles, "a", piBackgroundImage), "url(/data/inside/art/img/a b.gif)");
    EXPECT_EQ(Text(styles, "b", piBackgroundImage), "url(/data/inside/art/../x.gif)");
    EXPECT_EQ(Text(styles, "c", piListStyleImage), "url(c:/pics/y.gif)");
    EXPECT_EQ(Text(styles, "d", piBackgroundImage), "url(/home/z.gif)");
    EXPECT_EQ(Text(styles, "e", piBackgroundImage), "url(/data/inside/art/sub/w.gif)");
    TStyleList web;
    Parse(web,
          "a { background-image: url(../img/a.gif) } b { background-image: url(/top.gif) }"
          "c { background-image: url(http://other/x.gif) }",
          "http://host/dir/sub/");
    EXPECT_EQ(Text(web, "a", piBackgroundImage), "url(http://host/dir/img/a.gif)");
    EXPECT_EQ(Text(web, "b", piBackgroundImage), "url(http://host/top.gif)");
    EXPECT_EQ(Text(web, "c", piBackgroundImage), "url(http://other/x.gif)");
    TStyleList none;
    Parse(none, "a { background-image: url(x.gif) }");
    EXPECT_EQ(Text(none, "a", piBackgroundImage), "url(x.gif)");
}

TEST(Urls, BaseCombineAndFull) {
    EXPECT_EQ(UrlBase(" http://host/dir/page.htm?q=a/b "), "http://host/dir/");
    EXPECT_EQ(UrlBase("http://host"), "http://host/");
    EXPECT_EQ(UrlBase("dir/file.css"), "dir/");
    EXPECT_EQ(CombineUrl("http://host/a/b/", "../c.htm"), "http://host/a/c.htm");
    EXPECT_EQ(CombineUrl("http://host/a/b", "../../../c.htm"), "http://host/c.htm");
    EXPECT_EQ(CombineUrl("http://host/a/", "./x/./y.htm"), "http://host/a/x/y.htm");
    EXPECT_EQ(CombineUrl("http://host/a/b/", "/root.htm"), "http://host/root.htm");
    EXPECT_EQ(CombineUrl("http://host", "x.htm"), "http://host/x.htm");
    EXPECT_EQ(CombineUrl("host", "x/../y.htm"), "host/y.htm");
    EXPECT_TRUE(IsFullUrl("http://x"));
    EXPECT_TRUE(IsFullUrl("MailTo:me@x"));
    EXPECT_FALSE(IsFullUrl("x/y.htm"));
}

TEST(InlineStyle, DeclarationsWithoutBraces) {
    TProperties props;
    ParseInlineStyle("COLOR: Blue; margin: 1px 2px; font-weight: bold}; border-style: none", props);
    EXPECT_EQ(std::get<int>(props.Values[piColor]), 0xFF0000);
    EXPECT_EQ(std::get<std::string>(props.Values[piMarginLeft]), "2px");
    EXPECT_EQ(std::get<std::string>(props.Values[piFontWeight]), "bold}");
    EXPECT_EQ(std::get<std::string>(props.Values[piBorderStyle]), "none");
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(Selectors, RulesWithCombinatorsOrConditionsAreDroppedWhole) {
    TStyleList styles;
    Parse(styles,
          "div > span{color:red} a + b{color:red} p ~ i{color:red} [title]{color:red}"
          " td[x]{color:red} li:first-child{color:red} *{color:red}"
          " h1, div+p {color:red} em{color:blue}");
    for (const char* key : {"div", "a", "p", "td", "li", "h1", "span", ""})
        EXPECT_EQ(Text(styles, key, piColor), "<no entry>") << key;
    EXPECT_EQ(Text(styles, "em", piColor), std::to_string(0xFF0000));  // the next rule stands
    // Link pseudo-classes and contextual selectors are understood.
    TStyleList links;
    Parse(links, "a:hover{color:red} div p{color:red}");
    EXPECT_NE(Text(links, "a:hover", piColor), "<no entry>");
    EXPECT_GT(links.Count(), 1);
}

TEST(Selectors, ClassAndIdNamesKeepEveryNameCharacter) {
    TStyleList styles;
    Parse(styles, ".a_b{color:red} #x-1_2{color:red} .c9{color:red}");
    EXPECT_EQ(Text(styles, ".a", piColor), "<no entry>");
    EXPECT_NE(Text(styles, ".a_b", piColor), "<no entry>");
    EXPECT_NE(Text(styles, "#x-1_2", piColor), "<no entry>");
    EXPECT_NE(Text(styles, ".c9", piColor), "<no entry>");
}

TEST(Declarations, ImportantIsRemovedAndTheDeclarationKept) {
    TStyleList styles;
    Parse(styles,
          "p{color:red !important; margin-left:5px!IMPORTANT; font-weight: bold ! important}");
    EXPECT_EQ(Text(styles, "p", piColor), std::to_string(0x0000FF));
    EXPECT_EQ(Text(styles, "p", piMarginLeft), "5px");
    EXPECT_EQ(Text(styles, "p", piFontWeight), "bold");
    TProperties inlineProps;
    ParseInlineStyle("color:red !important", inlineProps);
    EXPECT_EQ(std::get<int>(inlineProps.Values[piColor]), 0x0000FF);
    // A value that only ends in the word keeps it.
    TStyleList word;
    Parse(word, "p{font-family:important}");
    EXPECT_EQ(Text(word, "p", piFontFamily), "important");
}

}  // namespace
}  // namespace kv
