// The document builder: what sections, blocks, runs and names a small HTML text makes, and
// reference pairs that must lay out identically.

#include <gtest/gtest.h>

#include "html/layout/builder.h"
#include "tests/common/testutil.h"
#include "tests/layout/builttest.h"
#include "tests/layout/layouttest.h"

namespace kv {
namespace {

using test::Built;
using test::FirstTable;
using test::TextX;

TEST(Builder, NamedAnchorsRegisterUpperCase) {
    Built b("<p>one</p><a name=\"Intro\">Here</a> text");
    TIDObject* found = b.doc.IDNames.Find("intro");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(b.doc.IDNames.Name(0), "INTRO");
    EXPECT_GT(found->TopY(), 0);
}

TEST(Builder, OpenLinkClosesWhenTheNextOpens) {
    Built b("<a href=\"x.htm\">one<a href=\"y.htm\">two</a> three");
    ASSERT_EQ(b.doc.LinkRuns.size(), 2u);
    EXPECT_EQ(b.doc.LinkRuns[0]->Target().Url, "x.htm");
    EXPECT_EQ(b.doc.LinkRuns[1]->Target().Url, "y.htm");
    EXPECT_NE(b.doc.LinkRuns[0]->Target().LinkId, b.doc.LinkRuns[1]->Target().LinkId);
    const auto texts = b.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_FALSE(texts.back()->FontRuns.Last()->HasUrl());
}

TEST(Builder, LateTitleIsText) {
    Built early("<title>Name</title>body");
    EXPECT_EQ(early.title, "Name");
    Built late("body<title>Late</title>");
    EXPECT_EQ(late.title, "");
    EXPECT_EQ(late.Texts().back()->Text, u"bodyLate");
}

TEST(Builder, ParagraphClosesAnInlineRun) {
    Built b("<b>bold<p>para</b> after");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0]->FontRuns.Last()->CurrentFont().Bold);
    EXPECT_EQ(texts[1]->Text, u"para after");
    EXPECT_TRUE(texts[1]->FontRuns[0].CurrentFont().Bold);
    EXPECT_FALSE(texts[1]->FontRuns.Last()->CurrentFont().Bold);
}

TEST(Builder, BreaksHeadingsAndRules) {
    Built b("<p>a<br>b</p><h7>not</h7><h2>Head</h2><hr>");
    const auto texts = b.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0]->Text,
              u"a\x08"
              "b");
    EXPECT_EQ(texts[1]->Text, u"not");
    EXPECT_EQ(texts[2]->Text, u"Head");
    EXPECT_TRUE(texts[2]->FontRuns[0].CurrentFont().Bold);
    Built clear("text<br clear=all>more");
    EXPECT_EQ(clear.Texts().size(), 2u);
}

TEST(Builder, ListsNumberTheirItems) {
    Built b("<ol start=3><li>one<li>two</ol><ul><li>dot</ul>");
    std::vector<TBlockLI*> items;
    std::function<void(const std::vector<std::unique_ptr<TSectionBase>>&)> walk =
        [&](const auto& list) {
            for (const auto& s : list) {
                if (auto* li = dynamic_cast<TBlockLI*>(s.get())) items.push_back(li);
                if (auto* block = dynamic_cast<TBlock*>(s.get())) walk(block->Content.Sections);
            }
        };
    walk(b.doc.Sections);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->Number, 3);
    EXPECT_EQ(items[1]->Number, 4);
    EXPECT_EQ(items[0]->ListKind, 4);
    EXPECT_EQ(items[2]->ListKind, 1);
    const std::string painted = b.Paint();
    EXPECT_NE(painted.find("\"3.\""), std::string::npos) << painted;
}

TEST(Builder, TablesLayOutTheirCells) {
    Built b(
        "<table border=1><tr><td>a</td><td>bb</td></tr><tr><td colspan=2>wide</td></tr>"
        "</table>after");
    std::string painted = b.Paint();
    EXPECT_NE(painted.find("\"a\""), std::string::npos);
    EXPECT_NE(painted.find("\"wide\""), std::string::npos);
    EXPECT_NE(painted.find("\"after\""), std::string::npos);
    EXPECT_GT(b.height, 3 * 13);
}

TEST(Builder, ImageMapsAndImages) {
    Built b(
        "<map name=\"M\"><area shape=rect coords=\"0,0,9,9\" href=\"a.htm\"></map>"
        "<img src=\"none.gif\" usemap=\"#m\" alt=\"x\">");
    ASSERT_EQ(b.doc.ImageMaps.size(), 1u);
    EXPECT_EQ(b.doc.FindMap("M"), b.doc.ImageMaps[0].get());
    Built unclosed("<map name=\"M\"><area shape=rect coords=\"0,0,9,9\">");
    EXPECT_TRUE(unclosed.doc.ImageMaps.empty());
}

// Reference pairs: different markup, identical pictures.
TEST(Builder, ReferencePairsPaintAlike) {
    Built center("<center>middle</center>");
    Built aligned("<p align=center>middle</p>");
    auto texts = [](const std::string& painted) {
        std::string out;
        for (std::size_t p = painted.find("TEXT"); p != std::string::npos;
             p = painted.find("TEXT", p + 1))
            out += painted.substr(p, painted.find('\n', p) - p) + "\n";
        return out;
    };
    // The paragraph adds its margins above: compare x positions only.
    const std::string a = texts(center.Paint()), b = texts(aligned.Paint());
    EXPECT_EQ(a.substr(0, a.find(' ', 5)), b.substr(0, b.find(' ', 5)));
    Built entity("a&nbsp;b");
    Built byte(
        "a\xA0"
        "b");
    EXPECT_EQ(entity.Paint(), byte.Paint());
}

TEST(Builder, ParseErrorInsideACellKeepsWhatWasBuilt) {
    Built b("before<table><tr><td>cell text</td><td>x <!-- never closed");
    const std::string painted = b.Paint();
    EXPECT_NE(painted.find("\"before\""), std::string::npos);
    EXPECT_NE(painted.find("\"cell text\""), std::string::npos) << painted;
    // So does the text the open comment cut off.
    EXPECT_NE(painted.find("\"x\""), std::string::npos) << painted;
}

TEST(Builder, HostileNestingStaysBounded) {
    std::string deep;
    for (int i = 0; i < 3000; ++i) deep += "<div><ul><li><b><table><tr><td>";
    deep += std::string(100000, 'w');
    Built b(deep, 300);
    EXPECT_GT(b.height, 0);
    b.Paint();
}

TEST(Tables, RowSpansTakeTheirColumnsAndShareTheirHeight) {
    Built b(
        "<table cellspacing=0 cellpadding=0><tr><td rowspan=2>A<br>B<br>C<br>D</td><td>x</td>"
        "</tr><tr><td>y</td></tr><tr><td>z</td><td>w</td></tr></table>");
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Rows.size(), 3u);
    const TTableCell& a = *t->Rows[0].Cells[0];
    const TTableCell& y = *t->Rows[1].Cells[0];
    const TTableCell& z = *t->Rows[2].Cells[0];
    EXPECT_EQ(a.Rows, 2);
    EXPECT_EQ(y.Col, 1);  // the spanning cell covers column 0 of the second row
    EXPECT_EQ(z.Col, 0);
    EXPECT_EQ(y.Left, t->Rows[0].Cells[1]->Left);
    // Four lines of 13 pixels over two rows of one line each: 26 pixels to each row.
    EXPECT_EQ(t->Rows[0].Height, 26);
    EXPECT_EQ(t->Rows[1].Height, 26);
    EXPECT_EQ(a.Height, 52);
    EXPECT_EQ(t->Rows[2].Top, t->Rows[0].Top + 52);
    EXPECT_EQ(y.ContentTop, t->Rows[1].Top);  // laid out again where its row moved to
    const std::string painted = b.Paint();
    for (const char* text : {"\"A\"", "\"D\"", "\"y\"", "\"w\""})
        EXPECT_NE(painted.find(text), std::string::npos) << text << painted;
}

TEST(Tables, HostileRowSpansAreClampedToTheTable) {
    Built b(
        "<table><tr><td rowspan=100000>a</td><td rowspan=0>b</td><td rowspan=x>c</td></tr>"
        "<tr><td>d</td></tr></table>");
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Rows[0].Cells[0]->Rows, 2);
    EXPECT_EQ(t->Rows[0].Cells[1]->Rows, 1);
    EXPECT_EQ(t->Rows[0].Cells[2]->Rows, 1);
    EXPECT_EQ(t->Rows[1].Cells[0]->Col, 1);
    std::string many = "<table>";
    for (int i = 0; i < 2000; ++i) many += "<tr><td rowspan=65534 colspan=100>x";
    Built big(many + "</table>", 300);
    EXPECT_GT(big.height, 0);
}

TEST(Tables, ColoursAlignmentAndNoWrap) {
    Built b(
        "<table border=1 bordercolor=#FF0000 bgcolor=#00FF00 width=200 align=center>"
        "<tr align=right bgcolor=#0000FF><td>r</td><td align=left bgcolor=#FFFF00>l</td></tr>"
        "</table>");
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->TableWidth, 200);
    EXPECT_EQ(t->TableLeft, 100);
    const std::string painted = b.Paint();
    EXPECT_EQ(painted.find("808080"), std::string::npos) << painted;
    EXPECT_NE(t->BorderColor, TColor(0x808080));
    EXPECT_NE(t->Rows[0].Background, kNoColor);
    EXPECT_NE(t->Background, kNoColor);
    // The row's ALIGN moves "r" to the right end of its cell; the cell's own ALIGN wins for "l".
    const TTableCell& r = *t->Rows[0].Cells[0];
    EXPECT_EQ(TextX(painted, "r"), r.Left + r.Width - 2 - 6) << painted;
    const TTableCell& l = *t->Rows[0].Cells[1];
    EXPECT_EQ(TextX(painted, "l"), l.Left + 2) << painted;

    Built wrap("<table><tr><td nowrap>aaa bbb ccc</td><td>x y z</td></tr></table>", 40);
    TTableBlock* w = FirstTable(wrap);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Rows[0].Cells[0]->ContentHeight, 13);
    EXPECT_GE(w->Rows[0].Cells[0]->Width, 11 * 6);
}

// Attribute names count in any case and wherever they stand in the tag. Of a repeated one, a
// hint that becomes a style property keeps the first (a style-sheet value is never overwritten),
// a value of the section itself the last.
TEST(Builder, AttributesInAnyCaseFirstLastAndRepeated) {
    Built b(
        "<body TEXT=#FF0000 text=#00FF00 BgColor=#0000FF>b"
        "<div><font Color=#00FF00 COLOR=#0000FF>f</font></div>"
        "<hr Color=#FF0000 noshade SIZE=5 Width=50% align=right size=7 color=#00FF00 ALIGN=Left>"
        "<HR COLOR=junk width=20>"
        "<table BGCOLOR=#FF0000 bordercolor=#0000FF bgcolor=#00FF00 BorderColor=#00FF00 BORDER=3"
        " CellPadding=4 cellspacing=5 CELLSPACING=0 width=90% align=Right Width=30% border>"
        "<caption align=top Align=Bottom>c</caption>"
        "<tr valign=top bgcolor=#FF0000 BGCOLOR=#00FF00>"
        "<td RowSpan=2 bgcolor=#FF0000 BgColor=#0000FF nowrap>x</td></tr></table>"
        "<p><img Align=left HSPACE=5 hspace=-50 width=20% WIDTH=30 border=0 Border VSpace=2 "
        "align=junk>"
        "<form><input Align=Middle align=top HSPACE=300 hspace=5 vspace=-3></form>");
    const auto texts = b.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0]->FontRuns[0].CurrentFont().Color & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(texts[1]->FontRuns[0].CurrentFont().Color & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(b.doc.BackgroundColor & 0xFFFFFF, 0xFF0000u);
    std::vector<THRBlock*> rules;
    test::CollectAll(b.doc.Sections, rules);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0]->Look.Color & 0xFFFFFF, 0x00FF00u);
    EXPECT_TRUE(rules[0]->Look.NoShade);
    EXPECT_EQ(rules[0]->Look.Size, 7);
    EXPECT_EQ(rules[0]->Look.Align, haLeft);
    EXPECT_TRUE(rules[0]->Look.WidthPercent);
    EXPECT_EQ(rules[0]->Look.WidthAttr, 50);
    EXPECT_EQ(rules[1]->Look.Color, 0u);  // a colour that names none reads as a number
    EXPECT_FALSE(rules[1]->Look.WidthPercent);
    EXPECT_EQ(rules[1]->Look.WidthAttr, 20);
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Rows.size(), 2u);
    EXPECT_EQ(t->Background & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(t->BorderColor & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(t->Border, 1);  // the last BORDER, without a value
    EXPECT_EQ(t->Padding, 4);
    EXPECT_EQ(t->Spacing, 0);
    EXPECT_EQ(t->WidthAttr, 30);
    EXPECT_TRUE(t->WidthPercent);
    EXPECT_EQ(t->Align, haRight);
    EXPECT_TRUE(t->Floating);
    EXPECT_TRUE(t->Rows[1].Caption);  // the last ALIGN: below the grid
    EXPECT_EQ(t->Rows[0].Background & 0xFFFFFF, 0x00FF00u);
    const TTableCell& cell = *t->Rows[0].Cells[0];
    EXPECT_EQ(cell.VAlign, cvTop);
    EXPECT_EQ(cell.RowSpan, 2);
    EXPECT_EQ(cell.Background & 0xFFFFFF, 0xFF0000u);
    EXPECT_TRUE(cell.NoWrap);
    const TImageObj* found = nullptr;
    for (const TSection* s : texts)
        if (s->Objects.Count() > 0) found = dynamic_cast<const TImageObj*>(&s->Objects[0]);
    ASSERT_NE(found, nullptr);
    const TImageObj& image = *found;
    EXPECT_EQ(image.Align, alLeftFloat);  // an unknown ALIGN keeps the known one
    EXPECT_EQ(image.SpaceLeft, 40);       // not the 3 of a float without HSPACE
    EXPECT_EQ(image.SpaceTop, 2);
    EXPECT_EQ(image.WidthAttr, 30);
    EXPECT_FALSE(image.WidthIsPercent);
    EXPECT_FALSE(image.NoBorder);  // the last BORDER has no value
    ASSERT_EQ(b.doc.FormControlList.size(), 1u);
    const TFormControlObj& control = *b.doc.FormControlList[0];
    EXPECT_EQ(control.VAlign, caMiddle);  // of a control the first counts
    EXPECT_EQ(control.HSpace, 200);
    EXPECT_EQ(control.VSpace, 0);
}

TEST(Tables, FloatingTablesLetTheTextFlowBeside) {
    Built left(
        "<table align=left width=100 cellspacing=0><tr><td>t<br>t<br>t</td></tr></table>"
        "next");
    const std::string painted = left.Paint();
    EXPECT_GE(TextX(painted, "next"), 100) << painted;  // right of the table
    EXPECT_GE(left.height, 3 * 13);                     // the body reaches below the float
    Built right("<table align=right width=100><tr><td>t</td></tr></table>next", 400);
    TTableBlock* t = FirstTable(right);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->TableWidth, 100);
    EXPECT_GT(t->TableLeft, 250);
    const int x = TextX(right.Paint(), "next");
    EXPECT_GE(x, 0);
    EXPECT_LT(x + 4 * 6, t->TableLeft);
}

TEST(Builder, PlainTextIsOnePreformattedSectionALine) {
    TSectionList doc{TTestFontEngine::Shared()};
    THtmlBuilder builder(doc);
    builder.LoadPlainText("<b>a</b>\r\n\r\nx\ty\x04z\rlast");
    std::vector<TSection*> lines;
    Built::Collect(doc.Sections, lines);
    ASSERT_EQ(lines.size(), 4u);
    for (TSection* line : lines) EXPECT_NE(dynamic_cast<TPreFormated*>(line), nullptr);
    EXPECT_EQ(lines[0]->Text, u"<b>a</b>");  // markup is text here
    EXPECT_EQ(lines[1]->Text, u"");
    EXPECT_EQ(lines[2]->Text, u"x       y z");  // tabs to eight columns, control bytes to spaces
    EXPECT_EQ(lines[3]->Text, u"last");
    TRecordingCanvas canvas;
    int maxWidth = 0;
    EXPECT_GE(doc.DoLayout(canvas, 400, 400, maxWidth), 4 * 12);  // the empty line keeps its height

    kvtest::TempFolder folder;
    EXPECT_THROW(builder.LoadPlainTextFile(folder.Path().string()), Exception);  // a folder
    EXPECT_THROW(builder.LoadPlainTextFile((folder.Path() / "none.txt").string()), Exception);
}

}  // namespace
}  // namespace kv
