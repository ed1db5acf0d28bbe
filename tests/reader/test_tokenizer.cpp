// The tokenizer: line ends, comments and declarations, character references, attribute values,
// headings, text runs, the name list.

#include <gtest/gtest.h>

#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"
#include "tests/common/testhost.h"
#include "tests/common/testutil.h"
#include "tests/reader/readtext.h"

namespace kv {
namespace {

struct Tok {
    TSymbol symbol;
    std::string text;
    std::vector<int32_t> indexes;
    int heading = 0;
    std::vector<TAttribute> attributes;
};

std::vector<Tok> Tokenize(std::string_view html, TIDNameList* names = nullptr,
                          bool keepSpaces = false, bool noBreak = false) {
    THtmlReader reader;
    reader.IDNames = names;
    reader.Start(html);
    reader.KeepSpaces = keepSpaces;
    reader.NoBreakRun = noBreak;
    reader.ReadChar();
    std::vector<Tok> tokens;
    do {
        reader.NextToken();
        tokens.push_back({reader.Symbol, kv::cp1251::fromUtf16(reader.Token.Text),
                          reader.Token.Indexes, reader.HeadingLevel,
                          reader.TagAttributes->Items()});
    } while (reader.Symbol != syEof);
    return tokens;
}

// All text of the stream, joined (the builder joins text tokens the same way).
std::string Text(std::string_view html, bool keepSpaces = false) {
    std::string text;
    for (const Tok& tok : Tokenize(html, nullptr, keepSpaces))
        if (tok.symbol == syText) text += tok.text;
    return text;
}

TEST(Tokenizer, EveryLineEndReachesTheReaderAsOneCr) {
    for (const char* html : {"a\r\nb", "a\nb", "a\n\rb", "a\rb"}) {
        EXPECT_EQ(Text(html, true), "a\rb") << html;
        EXPECT_EQ(Text(html, false), "a b") << html;
    }
    // Two line ends stay two; a tab is a space.
    EXPECT_EQ(Text("a\r\n\r\nb\tc", true), "a\r\rb c");
}

TEST(Tokenizer, SourceIndexesCountBytesOfTheMainText) {
    auto tokens = Tokenize("ab\r\ncd");
    ASSERT_EQ(tokens[0].symbol, syText);
    EXPECT_EQ(tokens[0].text, "ab cd");
    EXPECT_EQ(tokens[0].indexes, (std::vector<int32_t>{0, 1, 2, 4, 5}));
    tokens = Tokenize("<b>x</b>y");
    EXPECT_EQ(tokens[1].indexes, std::vector<int32_t>{3});
    EXPECT_EQ(tokens[3].indexes, std::vector<int32_t>{8});
}

TEST(Tokenizer, CommentsAndDeclarationsVanish) {
    EXPECT_EQ(Text("<!-- x -- >y"), "y");
    EXPECT_EQ(Text("<!DOCTYPE html>z"), "z");
    EXPECT_EQ(Text("a<!-- one --><!-- two --><!x>b"), "ab");
    EXPECT_EQ(Text("a<!----->b"), "ab");
    EXPECT_EQ(Text("a<!-- <p> -- not yet --- >b"), "ab");
    // The character after a comment keeps its own source index.
    auto tokens = Tokenize("<!--c-->xy");
    EXPECT_EQ(tokens[0].indexes, (std::vector<int32_t>{8, 9}));
}

TEST(Tokenizer, AnOpenCommentIsAParseError) {
    for (const char* html : {"a<!-- never closed", "a<!-- x -", "<!DOCTYPE", "<!"}) {
        THtmlReader reader;
        reader.Start(html);
        try {
            reader.ReadChar();
            do reader.NextToken();
            while (reader.Symbol != syEof);
            ADD_FAILURE() << "no error for " << html;
        } catch (const EParseError& error) {
            EXPECT_STREQ(error.what(), "Open Comment at End of HTML File");
        }
    }
    // The text the comment cut comes first, then the error.
    THtmlReader reader;
    reader.Start("<b>Hello world <!-- never closed");
    reader.ReadChar();
    reader.NextToken();
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, syText);
    EXPECT_EQ(kv::cp1251::fromUtf16(reader.Token.Text), "Hello world ");
    EXPECT_THROW(reader.NextToken(), EParseError);
}

TEST(Tokenizer, IncludeDirectivesSpliceTheHandlersText) {
    THtmlReader reader;
    std::string seenCommand;
    std::vector<std::string> seenParams;
    kvtest::TestHost host;
    reader.Host = &host;
    host.OnInclude = [&](const std::string& command, const std::vector<std::string>& params,
                         std::string& buffer) {
        seenCommand = command;
        seenParams = params;
        buffer = "<b>in</b><!--#nested-->";
    };
    const std::string html = "x<!--#Insert file=\"a.htm\" Tag=b -->y";
    reader.Start(html);
    reader.ReadChar();
    std::string text;
    std::vector<TSymbol> symbols;
    std::vector<int32_t> indexes;
    do {
        reader.NextToken();
        symbols.push_back(reader.Symbol);
        if (reader.Symbol == syText) {
            text += kv::cp1251::fromUtf16(reader.Token.Text);
            indexes.insert(indexes.end(), reader.Token.Indexes.begin(), reader.Token.Indexes.end());
        }
    } while (reader.Symbol != syEof);
    EXPECT_EQ(seenCommand, "Insert");
    EXPECT_EQ(seenParams, (std::vector<std::string>{"FILE=\"a.htm\"", "TAG=\"b\""}));
    EXPECT_EQ(text, "xiny");  // the nested directive is an ordinary comment
    EXPECT_NE(std::find(symbols.begin(), symbols.end(), syB), symbols.end());
    // Include characters do not advance the source index.
    EXPECT_EQ(indexes.back(), static_cast<int32_t>(html.size() - 1));
}

TEST(Tokenizer, ADirectiveInsideADirectiveIsAComment) {
    THtmlReader reader;
    int calls = 0;
    kvtest::TestHost host;
    reader.Host = &host;
    host.OnInclude = [&](const std::string&, const std::vector<std::string>&, std::string& buffer) {
        ++calls;
        buffer = "[in]";
    };
    reader.Start("x<!--#a f=<!--#b g=1 -->z -->y");
    reader.ReadChar();
    std::string text;
    do {
        reader.NextToken();
        if (reader.Symbol == syText) text += kv::cp1251::fromUtf16(reader.Token.Text);
    } while (reader.Symbol != syEof);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(text.substr(0, 1), "x");
    EXPECT_EQ(text.substr(text.size() - 1), "y");
}

TEST(Tokenizer, NamedReferences) {
    EXPECT_EQ(Text("&amp;&lt;&gt;&quot;"), "&<>\"");
    EXPECT_EQ(Text("&nbsp;"), "\xA0");
    EXPECT_EQ(Text("&copy&rsquo;&ndash;&trade;"), "\xA9'-\x99");
    // Every other name of the HTML 4 set gives its own character, not the Windows-1251 byte of
    // its Latin-1 number; names run to eight letters.
    EXPECT_EQ(kvtest::TextOf("&yuml;&eacute;&times;&alpha;&Omega;&rarr;&thetasym;&alefsym;&euro;"),
              u"ÿé×αΩ→ϑℵ€");
    EXPECT_EQ(Text("&NBSP;"), "&NBSP;");  // names are case-sensitive
    EXPECT_EQ(Text("&foo;"), "&foo;");
    EXPECT_EQ(Text("a & b"), "a & b");
    EXPECT_EQ(Text("&abcdefg;"), "&abcdefg;");
    EXPECT_EQ(Text("&thetasymx;"), "&thetasymx;");  // nine characters: no reference
    // Every character of a reference carries the index of its "&"; hellip counts on.
    auto tokens = Tokenize("x&hellip;&amp;");
    EXPECT_EQ(tokens[1].text, "...");
    EXPECT_EQ(tokens[1].indexes, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(tokens[2].indexes, std::vector<int32_t>{9});
    tokens = Tokenize("&bogus;");
    EXPECT_EQ(tokens[0].indexes, std::vector<int32_t>(7, 0));
}

TEST(Tokenizer, NumericReferences) {
    EXPECT_EQ(Text("&#65;"), "A");
    EXPECT_EQ(Text("&#65x"), "Ax");
    EXPECT_EQ(Text("&#9;"), " ");
    EXPECT_EQ(Text("&#10;"), "\n");
    EXPECT_EQ(Text("&#1;"), "&#1;");
    EXPECT_EQ(Text("&#1040;&#1103;&#8212;"), kvtest::W("Ая—"));
    // A number is a Unicode character (128..159 the code page's punctuation, as old pages meant);
    // decimal up to seven digits, hexadecimal up to six; 0, a surrogate and anything above
    // U+10FFFF give U+FFFD.
    EXPECT_EQ(kvtest::TextOf("&#127;&#128;&#150;&#159;&#160;&#200;&#255;&#19968;&#x4E00;&#X1f600;"),
              u"\x7F\u0402\u2013\u045F\u00A0\u00C8\u00FF\u4E00\u4E00\U0001F600");
    EXPECT_EQ(kvtest::TextOf("&#0;&#55296;&#xDFFF;&#1114111;&#1114112;&#x10FFFF;&#x110000;"),
              u"\uFFFD\uFFFD\uFFFD\U0010FFFF\uFFFD\U0010FFFF\uFFFD");
    EXPECT_EQ(Text("&#0000065;&#x00041;"), "AA");           // seven and six digits are read
    EXPECT_EQ(Text("&#00000065;"), "&#00000065;");          // eight are not
    EXPECT_EQ(Text("&#x0000041;&#x;"), "&#x0000041;&#x;");  // nor seven hexadecimal ones
    EXPECT_EQ(Text("&#;"), "&#;");
}

TEST(Tokenizer, AttributeValueForms) {
    auto tokens = Tokenize(
        "<table border cellpadding=\" 7% \" width=50% height = '1\r\n2' align=center "
        "valign=+3.6 hspace=-2.5 vspace=100px name=\"a&amp;b\" alt=x&amp;y foo-bar=1 value=v>");
    ASSERT_EQ(tokens[0].symbol, syTABLE);
    const auto& a = tokens[0].attributes;
    ASSERT_EQ(a.size(), 12u);
    EXPECT_EQ(a[0].Symbol, atBORDER);
    EXPECT_EQ(a[0].NumValue, 1);
    EXPECT_EQ(a[0].StrValue, "");
    EXPECT_EQ(a[1].NumValue, 7);
    EXPECT_EQ(a[1].StrValue, " 7% ");
    EXPECT_EQ(a[2].NumValue, 50);
    EXPECT_EQ(a[2].StrValue, "50%");
    EXPECT_EQ(a[3].StrValue, "12");  // a line break inside quotes vanishes
    EXPECT_EQ(a[3].NumValue, 12);
    EXPECT_EQ(a[4].StrValue, "center");
    EXPECT_EQ(a[4].NumValue, 0);
    EXPECT_EQ(a[5].NumValue, 4);
    EXPECT_EQ(a[6].NumValue, -3);  // rounded to the nearest integer
    EXPECT_EQ(a[7].StrValue, "100px");
    EXPECT_EQ(a[7].NumValue, 0);
    EXPECT_EQ(a[8].StrValue, "a&b");  // references decoded only inside quotes
    EXPECT_EQ(a[9].StrValue, "x&amp;y");
    EXPECT_EQ(a[10].Symbol, atOther);
    EXPECT_EQ(a[11].Symbol, atVALUE);
    tokens = Tokenize("<img width=\"100px\"><td width=\"99999999999\">");
    EXPECT_EQ(tokens[0].attributes[0].NumValue, 0);
    EXPECT_EQ(tokens[1].attributes[0].NumValue, INT32_MAX);
}

TEST(Tokenizer, TagsAndHeadings) {
    auto tokens = Tokenize("<h3>x</H3><h7><h0></br><Foo a=1></LI><p/><Hr>");
    EXPECT_EQ(tokens[0].symbol, syH);
    EXPECT_EQ(tokens[0].heading, 3);
    EXPECT_EQ(tokens[2].symbol, syHEnd);
    EXPECT_EQ(tokens[2].heading, 3);
    EXPECT_EQ(tokens[3].symbol, syH);
    EXPECT_EQ(tokens[3].heading, 0);
    EXPECT_EQ(tokens[4].heading, 0);
    EXPECT_EQ(tokens[5].symbol, syUnknown);  // </br>
    EXPECT_EQ(tokens[6].symbol, syUnknown);
    EXPECT_EQ(tokens[7].symbol, syUnknown);  // </LI>
    EXPECT_EQ(tokens[8].symbol, syP);
    EXPECT_EQ(tokens[9].symbol, syHR);
    EXPECT_EQ(tokens[10].symbol, syEof);
    EXPECT_EQ(StartName(syBLOCKQUOTE), "blockquote");
    EXPECT_EQ(EndName(sySPANEnd), "span");
    EXPECT_EQ(EndOf(syLI), syNone);
    EXPECT_EQ(EndOf(syDIV), syDIVEnd);
}

TEST(Tokenizer, LessThanNotStartingATagIsText) {
    auto tokens = Tokenize("a < b <3");
    std::string text;
    for (const auto& tok : tokens) text += tok.text;
    EXPECT_EQ(text, "a < b <3");
    EXPECT_EQ(tokens[1].text, "<");
    EXPECT_EQ(tokens[1].indexes, std::vector<int32_t>{2});
}

TEST(Tokenizer, TheStyleStartTagLeavesItsClosingBracket) {
    THtmlReader reader;
    reader.Start("<style type=x>p{}</style>");
    reader.ReadChar();
    reader.NextToken();
    EXPECT_EQ(reader.Symbol, sySTYLE);
    EXPECT_EQ(reader.CurChar, '>');
}

TEST(Tokenizer, TextRunsAreCutAtOneHundredCharacters) {
    const std::string long_text(250, 'x');
    auto tokens = Tokenize(long_text);
    ASSERT_EQ(tokens.size(), 4u);
    EXPECT_EQ(tokens[0].text.size(), 100u);
    EXPECT_EQ(tokens[1].text.size(), 100u);
    EXPECT_EQ(tokens[2].text.size(), 50u);
    EXPECT_EQ(tokens[2].indexes.front(), 200);
}

TEST(Tokenizer, WhiteSpaceCollapsesUnlessKept) {
    EXPECT_EQ(Text("a  \r\n \t b"), "a b");
    EXPECT_EQ(Text("a  b", true), "a  b");
    auto tokens = Tokenize("a   b", nullptr, false, true);
    EXPECT_EQ(tokens[0].text,
              "a\x05"
              "b");
    // Control bytes stop a run and come through one by one.
    tokens = Tokenize(
        "ab\x01\x02"
        "c");
    EXPECT_EQ(tokens[0].text, "ab");
    EXPECT_EQ(tokens[1].symbol, syOther);
    EXPECT_EQ(tokens[1].indexes, std::vector<int32_t>{2});
    EXPECT_EQ(tokens[2].symbol, syOther);
    EXPECT_EQ(tokens[3].text, "c");
}

TEST(Tokenizer, ByteTwentySixEndsTheInput) {
    auto tokens = Tokenize(
        "ab\x1A"
        "cd");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[1].symbol, syEof);
}

TEST(Tokenizer, ElementIdsAreRegisteredWithTheirSourceIndex) {
    TIDNameList names;
    const std::string html = "<p id=\"Intro\">x<div id=other>y<span id=\"intro\">z";
    Tokenize(html, &names);
    ASSERT_EQ(names.Count(), 2);
    auto* intro = dynamic_cast<TChPosObj*>(names.Find("INTRO"));
    ASSERT_NE(intro, nullptr);
    // The later registration of the same name (any case) wins.
    EXPECT_EQ(intro->SourcePos, static_cast<int>(html.find("\"intro\"") + 7));
    EXPECT_EQ(names.Name(0), "intro");
    EXPECT_NE(names.Find("Other"), nullptr);
}

struct FakeDocument : TReaderDocument {
    int SourcePosToY(int sourcePos) const override { return sourcePos * 10; }
    void SetLinksReactToMouse() override { hover = true; }
    bool hover = false;
};

struct CountedObject : TIDObject {
    explicit CountedObject(int* alive) : alive(alive) { ++*alive; }
    ~CountedObject() override { --*alive; }
    int TopY() const override { return 7; }
    int* alive;
};

TEST(NameList, SortedCaseInsensitiveLastWinsAndOwnsOnlyPositions) {
    FakeDocument document;
    int alive = 0;
    CountedObject section(&alive);
    {
        TIDNameList names(&document);
        names.AddChPos("Beta", 5);
        names.AddObject(kvtest::W("Ёлка"), &section);
        names.AddChPos("alpha", 3);
        names.AddChPos("BETA", 9);  // replaces and frees the first position
        EXPECT_EQ(names.Count(), 3);
        EXPECT_EQ(names.Name(0), "alpha");
        EXPECT_EQ(names.Name(1), "BETA");
        EXPECT_EQ(names.Find("beta")->TopY(), 90);
        EXPECT_EQ(names.Find(kvtest::W("ёЛКА"))->TopY(), 7);
        names.AddChPos(kvtest::W("ЁЛКА"), 1);  // a section entry replaced: not freed
        EXPECT_EQ(alive, 1);
        names.Clear();
        EXPECT_EQ(names.Count(), 0);
    }
    EXPECT_EQ(alive, 1);
    TChPosObj orphan(nullptr, 4);
    EXPECT_EQ(orphan.TopY(), 0);
}

TEST(UrlTarget, EveryLinkGetsItsOwnId) {
    TUrlTarget first, second, copy;
    first.SetLink("a.htm", "");
    second.SetLink("b.htm", "main");
    EXPECT_NE(first.LinkId, second.LinkId);
    // 0 is "no link": not even the program's first link may get it (run this test alone).
    EXPECT_NE(first.LinkId, 0);
    EXPECT_NE(second.LinkId, 0);
    copy.CopyFrom(second);
    EXPECT_EQ(copy.LinkId, second.LinkId);
    EXPECT_EQ(copy.TargetFrame, "main");
    copy.Clear();
    EXPECT_EQ(copy.LinkId, 0);
    EXPECT_TRUE(copy.Href.empty());
}

TEST(AttributeList, ClassIdAndInlineStyle) {
    THtmlReader reader;
    reader.Start("<p class=Note ID=\"Top\" style=\"COLOR: Red; margin-left: 5px\">");
    reader.ReadChar();
    reader.NextToken();
    TAttributeList& list = *reader.TagAttributes;
    EXPECT_EQ(list.ClassValue(), "note");
    EXPECT_EQ(list.IdValue(), "top");
    ASSERT_NE(list.FirstOf(atSTYLE), nullptr);
    TProperties* style = list.InlineStyle();
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(std::get<int>(style->Values[piColor]), 0x0000FF);
    EXPECT_EQ(std::get<std::string>(style->Values[piMarginLeft]), "5px");
    list.Clear();
    EXPECT_EQ(list.IdValue(), "");
    EXPECT_EQ(list.InlineStyle(), nullptr);
}

}  // namespace
}  // namespace kv
