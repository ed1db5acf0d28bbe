// Text sections: appending with the white-space rules, line breaking around floats, painting
// with selection and caret, cursor positions, search, source mapping and copying.

#include <gtest/gtest.h>

#include "tests/common/testutil.h"
#include "tests/layout/layouttest.h"

namespace kv {
namespace {

using test::Doc;

TEST(AppendToken, WhiteSpaceRules) {
    Doc doc;
    TSection section(&doc.list, {});
    doc.Append(section, " lead");
    EXPECT_EQ(test::Text(section), "lead");  // an empty section drops a leading space
    doc.Append(section, "a ");
    doc.Append(section, " b");
    EXPECT_EQ(test::Text(section), "leada b");
    doc.Append(section, " ");
    doc.Append(section, "\x08");
    EXPECT_EQ(test::Text(section), "leada b\x08");  // the break replaces the space
    doc.Append(section, " c");
    EXPECT_EQ(test::Text(section),
              "leada b\x08"
              "c");
    EXPECT_EQ(int(section.SourcePos.size()), section.Length);
    doc.Append(section, "");
    EXPECT_EQ(section.Length, 9);
}

TEST(AppendToken, NoBreakSpacesCollapse) {
    Doc doc;
    TSection section(&doc.list, {});
    section.AppendToken(
        u"\x05"
        "a\x05\x05"
        "b \x05"
        "c\x05 d",
        test::Positions(0, 12), true);
    EXPECT_EQ(test::Text(section),
              "a\xA0"
              "b c d");
    EXPECT_EQ(int(section.SourcePos.size()), section.Length);
    EXPECT_EQ(section.SourcePos[1], 3);  // the non-breaking space keeps the last 5's position
    section.AppendToken(u"\x05", test::Positions(20, 1), true);
    EXPECT_EQ(test::Text(section),
              "a\xA0"
              "b c d\xA0");
    section.AppendToken(u"\x05", test::Positions(21, 1), true);  // after a 160: dropped
    EXPECT_EQ(test::Text(section),
              "a\xA0"
              "b c d\xA0");
}

TEST(AppendToken, SpaceAfterFloatingImagesIsDropped) {
    Doc doc;
    TSection section(&doc.list, {});
    section.AppendImage({{"ALIGN", "left"}}, 0);
    doc.Append(section, " text");
    EXPECT_EQ(test::Text(section), "\x04text");
    TPreFormated pre(&doc.list, {});
    doc.Append(pre, "  two  spaces ");
    EXPECT_EQ(test::Text(pre), "  two  spaces ");
}

TEST(LineBreaking, WrapsAtSpacesAndKeepsHeights) {
    Doc doc;
    TSection& s = doc.Add("aaa bbb ccc");
    EXPECT_EQ(doc.Layout(40), 39);
    ASSERT_EQ(s.LineList.size(), 3u);
    EXPECT_EQ(s.LineList[0].CharCount, 4);
    EXPECT_EQ(s.LineList[1].FirstChar, 4);
    EXPECT_EQ(s.LineList[2].CharCount, 3);
    EXPECT_EQ(s.FlowHeight, 39);
    EXPECT_EQ(doc.Paint(),
              "TEXT 0 0 MS Sans Serif 10 #000000 \"aaa\"\n"
              "TEXT 0 13 MS Sans Serif 10 #000000 \"bbb\"\n"
              "TEXT 0 26 MS Sans Serif 10 #000000 \"ccc\"\n");
}

TEST(LineBreaking, HardBreakEndsTheLineEvenWhenMoreFits) {
    Doc doc;
    TSection& s = doc.Add(
        "ab\x08"
        "cd");
    doc.Layout(600);
    ASSERT_EQ(s.LineList.size(), 2u);
    EXPECT_EQ(s.LineList[0].CharCount, 3);
    EXPECT_EQ(doc.Paint(),
              "TEXT 0 0 MS Sans Serif 10 #000000 \"ab\"\n"
              "TEXT 0 13 MS Sans Serif 10 #000000 \"cd\"\n");
}

TEST(LineBreaking, LongWordTakesItsOwnLineAndWidensMaxWidth) {
    Doc doc;
    TSection& s = doc.Add("a " + std::string(20, 'w') + " b");
    doc.Layout(60);
    ASSERT_EQ(s.LineList.size(), 3u);
    EXPECT_EQ(s.LineList[1].CharCount, 21);
    EXPECT_EQ(doc.maxWidth, 120);
}

TEST(LineBreaking, LongWordBesideAFloatGoesBelowIt) {
    Doc doc;
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TSection& s = *section;
    TImageObj* image =
        s.AppendImage({{"ALIGN", "left"}, {"WIDTH", "30"}, {"HEIGHT", "50"}, {"HSPACE", "0"}}, 0);
    doc.Append(s, std::string(8, 'w'));
    doc.list.AppendSection(std::move(section));
    doc.Layout(60);
    // Line 1 holds the float alone; the 48-pixel word does not fit the 30 pixels beside it.
    ASSERT_GE(s.LineList.size(), 3u);
    EXPECT_EQ(s.LineList[0].CharCount, 1);
    EXPECT_EQ(s.LineList[1].CharCount, 0);  // the blank line down to the float's bottom
    const int top = s.LineList[0].Height() + s.LineList[1].Height();
    EXPECT_EQ(top, 50);
    EXPECT_EQ(s.LineList[2].IndentX, 0);
    EXPECT_EQ(image->FloatX, 0);
}

TEST(LineBreaking, OnlyAFloatingImage) {
    Doc doc;
    TSectionStyle style;
    style.LineHeight = 15;
    auto section = std::make_unique<TSection>(&doc.list, style);
    TSection& s = *section;
    s.AppendImage({{"ALIGN", "right"}, {"WIDTH", "40"}, {"HEIGHT", "60"}, {"VSPACE", "5"}}, 0);
    doc.list.AppendSection(std::move(section));
    EXPECT_EQ(doc.Layout(300), 70);  // the document grows to the float's bottom
    ASSERT_EQ(s.LineList.size(), 1u);
    EXPECT_EQ(s.FlowHeight, 15);
    EXPECT_EQ(s.PaintHeight, 70);
    EXPECT_EQ(s.LineList[0].TextHeight, 0);
}

TEST(LineBreaking, FloatsNarrowFollowingLinesAndClearSkipsThem) {
    Doc doc;
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TSection& s = *section;
    s.AppendImage({{"ALIGN", "left"}, {"WIDTH", "30"}, {"HEIGHT", "100"}, {"HSPACE", "0"}}, 0);
    doc.Append(s, "aa bb cc");
    doc.list.AppendSection(std::move(section));
    TSectionStyle clear;
    clear.ClearSide = sdLeft;
    TSection& after = doc.Add("zz", clear);
    doc.Layout(60);
    // Beside the float 30 pixels are left: "aa bb" does not fit, "aa " does.
    ASSERT_GE(s.LineList.size(), 2u);
    EXPECT_EQ(s.LineList[0].CharCount, 4);
    EXPECT_EQ(s.LineList[0].IndentX, 30);
    EXPECT_EQ(after.LineList.front().CharCount, 0);  // the clear distance
    EXPECT_EQ(after.LineList[1].IndentX, 0);
    EXPECT_EQ(after.Top + after.LineList[0].Height(), 100);
}

TEST(LineBreaking, CenteredTrailingSpacesDoNotShift) {
    Doc doc;
    TSectionStyle centered;
    centered.Alignment = haCenter;
    TSection& s = doc.Add("ab    cd", centered);
    doc.Layout(30);  // "ab" + spaces, then "cd"
    ASSERT_EQ(s.LineList.size(), 2u);
    EXPECT_EQ(s.LineList[0].IndentX, (30 - 12) / 2);
    EXPECT_EQ(s.LineList[1].IndentX, (30 - 12) / 2);
}

TEST(LineBreaking, PreformattedNeverWraps) {
    Doc doc;
    TPreFormated& pre = doc.Add<TPreFormated>(std::string(100, 'x') + " y");
    doc.Layout(50);
    EXPECT_EQ(pre.LineList.size(), 1u);
    EXPECT_EQ(doc.maxWidth, 612);
    TPreFormated& empty = doc.Add<TPreFormated>("");
    doc.Layout(50);
    EXPECT_EQ(empty.FlowHeight, 10);  // the point size
    // Long listings stop growing.
    TPreFormated big(&doc.list, {});
    for (int i = 0; i < 30; ++i) doc.Append(big, std::string(1000, 'x'));
    EXPECT_LE(big.Length, 21000);
}

TEST(Paint, SelectionCaretAndClip) {
    Doc doc;
    TSection& s = doc.Add("abc def");
    doc.Layout(600);
    doc.list.Select(1, 3);
    EXPECT_EQ(doc.Paint(),
              "TEXT 0 0 MS Sans Serif 10 #000000 \"a\"\n"
              "TEXT 6 0 MS Sans Serif 10 #ffffff \"bc\" opaque #000000\n"
              "TEXT 18 0 MS Sans Serif 10 #000000 \" def\"\n");
    doc.list.Select(4, 4);
    doc.list.SetShowCaret(true);
    EXPECT_EQ(doc.Paint(),
              "TEXT 0 0 MS Sans Serif 10 #000000 \"abc \"\n"
              "TEXT 24 0 MS Sans Serif 10 #000000 \"d\"\n"
              "FILL 24 0 25 13 #000000\n"
              "TEXT 30 0 MS Sans Serif 10 #000000 \"ef\"\n");
    EXPECT_EQ(doc.Paint(QRect(0, 100, 600, 50)), "");  // nothing overlaps
    EXPECT_EQ(s.PaintX, 0);
}

TEST(Paint, OnlyLinesInTheClipAreVisited) {
    Doc doc;
    std::string text;
    for (int i = 0; i < 100; ++i) text += "word ";
    doc.Add(text);
    doc.Layout(30);  // one word per line, 13 pixels each
    doc.list.SetScrollTop(130);
    const std::string painted = doc.Paint(QRect(0, 0, 600, 26));
    EXPECT_EQ(painted,
              "TEXT 0 0 MS Sans Serif 10 #000000 \"word\"\n"
              "TEXT 0 13 MS Sans Serif 10 #000000 \"word\"\n");
}

TEST(Paint, PrintingLightTextIsGreyAndMonochromeIsBlack) {
    Doc doc;
    TSectionStyle style;
    style.Font.Color = 0xF0F0F0;
    doc.Add("x", style);
    doc.Layout(100);
    doc.canvas.SetPrinter(true, 256);
    EXPECT_EQ(doc.Paint(), "TEXT 0 0 MS Sans Serif 10 #a0a0a0 \"x\"\n");
    doc.canvas.SetPrinter(true, 2);
    EXPECT_EQ(doc.Paint(), "TEXT 0 0 MS Sans Serif 10 #000000 \"x\"\n");
}

TEST(Paint, APrintedPageHoldsTheLineEndingOnItsLastPixel) {
    Doc doc;
    doc.Add("a b c d");
    doc.Layout(6);  // a letter a line, 13 pixels each
    doc.canvas.SetPrinter(true, 0);
    const std::string a = "TEXT 0 0 MS Sans Serif 10 #000000 \"a\"\n";
    const std::string b = "TEXT 0 13 MS Sans Serif 10 #000000 \"b\"\n";
    EXPECT_EQ(doc.Paint(QRect(0, 0, 100, 26)), a + b);  // b ends on the page's last pixel
    EXPECT_EQ(doc.pageEnd, 26);
    EXPECT_EQ(doc.Paint(QRect(0, 0, 100, 25)), a);  // one pixel short: b goes on
    EXPECT_EQ(doc.pageEnd, 13);
    doc.Paint(QRect(0, 0, 100, 13));  // a page one line high ends below that line
    EXPECT_EQ(doc.pageEnd, 13);
    doc.list.SetScrollTop(13 - 20);  // the next page from b, below a top margin of 20
    EXPECT_EQ(doc.Paint(QRect(0, 20, 100, 26)),
              "TEXT 0 20 MS Sans Serif 10 #000000 \"b\"\n"
              "TEXT 0 33 MS Sans Serif 10 #000000 \"c\"\n");
    EXPECT_EQ(doc.pageEnd, 39);
}

TEST(Queries, CursorPositionsAndCharacters) {
    Doc doc;
    doc.Add("abc def");
    TSection& second = doc.Add("ghi");
    doc.Layout(30);  // "abc " / "def" / "ghi"
    doc.Paint();
    TCursorHit hit;
    EXPECT_EQ(doc.list.CursorAt(doc.canvas, 7, 2, hit), 1);
    EXPECT_TRUE(hit.InText);
    EXPECT_EQ(hit.LineX, 6);
    EXPECT_EQ(doc.list.CursorAt(doc.canvas, 10, 2, hit), 2);  // past the middle of 'b'
    EXPECT_EQ(doc.list.CursorAt(doc.canvas, 2, 15, hit), 4);
    EXPECT_EQ(doc.list.CursorAt(doc.canvas, 1, 28, hit), 7);
    EXPECT_EQ(second.FirstCursor, 7);
    int y = 0, x = 0;
    EXPECT_TRUE(doc.list.CursorToPoint(&doc.canvas, 5, y, x));
    EXPECT_EQ(y, 13);
    EXPECT_EQ(x, 6);
    EXPECT_FALSE(doc.list.CursorToPoint(&doc.canvas, 99, y, x));
    char16_t ch = 0;
    const TFontObj* font = nullptr;
    EXPECT_TRUE(doc.list.CharAt(8, ch, font));
    EXPECT_EQ(ch, 'h');
    EXPECT_FALSE(doc.list.CharAt(50, ch, font));
}

TEST(Queries, SearchFoldsWindows1251Case) {
    Doc doc;
    doc.Add(kvtest::W("Москва и москва"));
    doc.Add("Hello");
    doc.Layout(600);
    EXPECT_EQ(doc.list.SearchText(0, kvtest::U(kvtest::W("МОСКВА")), false), 0);
    EXPECT_EQ(doc.list.SearchText(1, kvtest::U(kvtest::W("МОСКВА")), false), 9);
    EXPECT_EQ(doc.list.SearchText(1, kvtest::U(kvtest::W("Москва")), true), -1);
    EXPECT_EQ(doc.list.SearchText(0, u"hello", false), 15);
    EXPECT_EQ(doc.list.SearchText(0, u"hello", true), -1);
    EXPECT_EQ(doc.list.SearchText(0, u"", false), -1);
}

TEST(Queries, SourceMapping) {
    Doc doc;
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    section->AppendToken(u"abc", test::Positions(10, 3));
    section->AppendToken(u"de", test::Positions(20, 2));  // markup between 13 and 20
    TSection& s = *section;
    doc.list.AppendSection(std::move(section));
    doc.Layout(600);
    ASSERT_EQ(s.SourceIndex.size(), 2u);
    EXPECT_EQ(doc.list.DocToSource(1), 11);
    EXPECT_EQ(doc.list.DocToSource(4), 21);
    EXPECT_EQ(doc.list.DocToSource(5), -1);
    EXPECT_EQ(doc.list.SourceToDoc(11, false), 1);
    EXPECT_EQ(doc.list.SourceToDoc(15, true), 2);
    EXPECT_EQ(doc.list.SourceToDoc(15, false), 3);
    EXPECT_EQ(doc.list.SourceToDoc(5, true), -1);
    EXPECT_EQ(doc.list.SourceToDoc(5, false), 0);
    EXPECT_EQ(doc.list.SourceToDoc(99, true), 4);
    EXPECT_EQ(doc.list.SourceToDoc(99, false), -1);
}

TEST(Queries, CopySelection) {
    Doc doc;
    doc.Add("abc def");
    TSectionStyle right;
    right.Alignment = haRight;
    doc.Add("xy", right);
    doc.Layout(100);
    doc.list.Select(2, 2);
    EXPECT_EQ(doc.list.SelectedText(), u"");
    doc.list.Select(2, 9);
    // "xy" starts at x 88: two groups of three spaces.
    EXPECT_EQ(doc.list.SelectedText(), u"c def\n      xy\n");
}

TEST(Links, HitTestAndSplitLinkHover) {
    Doc doc;
    doc.list.SetHoverLinks(true);
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TSection& s = *section;
    doc.Append(s, "go ");
    TFontSpec link, bold;
    link.Color = 0xFF0000;
    link.Underline = true;
    bold = link;
    bold.Bold = true;
    TFontSpec hover = link;
    hover.Color = 0x0000FF;
    const TUrlTargetRef target{"next.htm", "", 7};
    s.SwitchLinkFont(true, link, nullptr, &hover, target);
    doc.Append(s, "here");
    s.SwitchLinkFont(true, bold, nullptr, &hover, target);
    doc.Append(s, "now");
    s.SwitchLinkFont(false, TFontSpec{}, nullptr, nullptr, {});
    doc.Append(s, " end");
    doc.list.AppendSection(std::move(section));
    doc.Layout(600);
    doc.Paint();
    EXPECT_EQ(doc.list.LinkRuns.size(), 2u);
    TLinkHit hit;
    EXPECT_FALSE(doc.list.LinkAt(doc.canvas, 3, 5, hit));
    EXPECT_TRUE(doc.list.LinkAt(doc.canvas, 20, 5, hit));
    doc.list.MouseOver(hit);
    EXPECT_EQ(hit.Target.Url, "next.htm");
    EXPECT_TRUE(s.FontRuns[1].Hovered);
    EXPECT_TRUE(s.FontRuns[2].Hovered);  // the bold half of the same link
    EXPECT_EQ(s.FontRuns[2].CurrentFont().Color, 0x0000FFu);
    doc.list.ClearHover();
    EXPECT_FALSE(s.FontRuns[1].Hovered || s.FontRuns[2].Hovered);
}

// Finding a link lights nothing; hover follows the point, and a change is reported when a link
// lights up or goes out, and only then.
TEST(Links, MouseOverReportsExactlyTheChanges) {
    Doc doc;
    doc.list.SetHoverLinks(true);
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TSection& s = *section;
    doc.Append(s, "go ");
    s.SwitchLinkFont(true, TFontSpec{}, nullptr, nullptr, {"next.htm", "", 1});
    doc.Append(s, "here");
    doc.list.AppendSection(std::move(section));
    doc.Layout(600);
    TLinkHit on, off;
    ASSERT_TRUE(doc.list.LinkAt(doc.canvas, 20, 5, on));
    EXPECT_FALSE(doc.list.LinkAt(doc.canvas, 3, 5, off));
    const TFontObj& run = s.FontRuns[1];
    EXPECT_FALSE(run.Hovered);
    EXPECT_TRUE(doc.list.MouseOver(on));
    EXPECT_TRUE(run.Hovered);
    EXPECT_FALSE(doc.list.MouseOver(on));
    EXPECT_TRUE(doc.list.MouseOver(off));
    EXPECT_FALSE(run.Hovered);
    EXPECT_FALSE(doc.list.MouseOver(off));
}

// A link answers on every pixel row of its line, the first and the last, and not below it.
TEST(Links, HitTestCoversEachLineFromItsTopRow) {
    Doc doc;
    auto section = std::make_unique<TSection>(&doc.list, TSectionStyle{});
    TSection& s = *section;
    TFontSpec link;
    s.SwitchLinkFont(true, link, nullptr, nullptr, {"a.htm", "", 1});
    doc.Append(s, "aaa\x08");
    s.SwitchLinkFont(true, link, nullptr, nullptr, {"b.htm", "", 2});
    doc.Append(s, "bbb");
    doc.list.AppendSection(std::move(section));
    doc.Layout(600);
    ASSERT_EQ(s.LineList.size(), 2u);
    auto urlAt = [&](int y) {
        TLinkHit hit;
        return doc.list.LinkAt(doc.canvas, 3, y, hit) ? hit.Target.Url : "";
    };
    EXPECT_EQ(urlAt(0), "a.htm");
    EXPECT_EQ(urlAt(12), "a.htm");
    EXPECT_EQ(urlAt(13), "b.htm");
    EXPECT_EQ(urlAt(25), "b.htm");
    EXPECT_EQ(urlAt(26), "");
}

}  // namespace
}  // namespace kv
