// Ordinary markup that once came out wrong: nested and unclosed lists, paragraph attributes,
// nested links, breaks after long words, list items that begin with a block, BASEFONT,
// captions, content between cells, VALIGN, CLEAR, P and STYLE inside PRE, processing
// instructions and list markers.

#include <gtest/gtest.h>

#include <random>

#include "html/layout/builder.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

using test::Built;
using test::CollectAll;
using test::FirstTable;
using test::TextX;
using test::TextY;

// The font of each character of a section.
std::vector<TFontSpec> CharFonts(const TSection& section) {
    std::vector<TFontSpec> out;
    for (int i = 0; i < int(section.Text.size()); ++i) {
        int overhang = 0;
        out.push_back(section.FontRuns.FontAt(i, overhang)->CurrentFont());
    }
    return out;
}

// The first text of each list item with its marker kind and number.
struct Item {
    std::string text;
    int kind, number;
};

std::vector<Item> Items(Built& b) {
    std::vector<TBlockLI*> items;
    CollectAll(b.doc.Sections, items);
    std::vector<Item> out;
    for (TBlockLI* li : items) {
        std::vector<TSection*> texts;
        CollectAll(li->Content.Sections, texts);
        out.push_back({texts.empty() ? "" : kv::cp1251::fromUtf16(texts.front()->Text),
                       li->ListKind, li->Number});
    }
    return out;
}

TEST(BuilderLists, ANestedListEndsAtItsOwnEndAndLeavesTheNextListsAlone) {
    Built b(
        "<ul><li>Fruits<ul><li>Apple</li><li>Pear</li></ul></li><li>Vegetables</li></ul>"
        "<ol><li>one<li>two</ol>");
    const std::vector<Item> items = Items(b);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].text, "Fruits");
    EXPECT_EQ(items[1].text, "Apple");
    EXPECT_NE(items[1].kind, 0);
    EXPECT_EQ(items[2].text, "Pear");
    EXPECT_EQ(items[3].text, "Vegetables");
    EXPECT_EQ(items[3].kind, 1);
    EXPECT_EQ(items[4].text, "one");
    EXPECT_EQ(items[4].kind, 4);
    EXPECT_EQ(items[4].number, 1);
    EXPECT_EQ(items[5].kind, 4);
    EXPECT_EQ(items[5].number, 2);
    const std::string painted = b.Paint();
    EXPECT_EQ(TextX(painted, "Vegetables"), TextX(painted, "Fruits")) << painted;
    EXPECT_GT(TextX(painted, "Apple"), TextX(painted, "Fruits"));
    EXPECT_NE(painted.find("\"1.\""), std::string::npos) << painted;
    EXPECT_NE(painted.find("\"2.\""), std::string::npos) << painted;
}

TEST(BuilderLists, ATableInAnItemWithAListKeepsItsCells) {
    Built b(
        "<ul><li>x<ul><li>in</ul><table border=1><tr><td>c1</td><td>c2</td></tr></table>"
        "<li>after</ul>");
    TTableBlock* table = nullptr;
    std::vector<TTableBlock*> tables;
    test::CollectAll(b.doc.Sections, tables);
    ASSERT_EQ(tables.size(), 1u);
    table = tables[0];
    ASSERT_EQ(table->Rows.size(), 1u);
    EXPECT_EQ(table->Rows[0].Cells.size(), 2u);
    const std::vector<Item> items = Items(b);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].text, "after");
}

TEST(BuilderLists, AnUnclosedListInACellEndsWithTheCell) {
    Built b("<table border=1><tr><td><ul><li>cell list<td>second cell</table>");
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Rows.size(), 1u);
    ASSERT_EQ(t->Rows[0].Cells.size(), 2u);
    std::vector<TSection*> second;
    CollectAll(t->Rows[0].Cells[1]->Cell.Sections, second);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]->Text, u"second cell");
    // A list item in a cell is the cell's, also inside an enclosing list's item.
    Built inItem("<ul><li><table><tr><td>a<li>b</td><td>c</td></tr></table></ul>");
    TTableBlock* u = FirstTable(inItem);
    std::vector<TTableBlock*> tables;
    CollectAll(inItem.doc.Sections, tables);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0]->Rows[0].Cells.size(), 2u);
    (void)u;
}

TEST(BuilderLists, AnItemThatBeginsWithABlockKeepsItsMarker) {
    for (const char* html :
         {"<ol><li><p>para</p><li>second</ol>", "<ol><li><h3>head</h3><li>second</ol>",
          "<ol><li><div>div</div><li>second</ol>"}) {
        Built b(html);
        const std::string painted = b.Paint();
        EXPECT_NE(painted.find("\"1.\""), std::string::npos) << html << "\n" << painted;
        EXPECT_NE(painted.find("\"2.\""), std::string::npos) << html << "\n" << painted;
    }
    // A nested item first: both markers stand on its line.
    Built nested("<ol><li><ol><li>inner</ol></ol>");
    const std::string painted = nested.Paint();
    const std::size_t first = painted.find("\"1.\"");
    ASSERT_NE(first, std::string::npos) << painted;
    EXPECT_NE(painted.find("\"1.\"", first + 1), std::string::npos) << painted;
}

// The fill rectangles of a painted marker, as "x y w h" lines.
std::vector<std::string> Fills(const std::string& painted) {
    std::vector<std::string> out;
    for (std::size_t p = painted.find("FILL "); p != std::string::npos;
         p = painted.find("FILL ", p + 1))
        out.push_back(painted.substr(p, painted.find('\n', p) - p));
    return out;
}

TEST(BuilderLists, DiscCircleAndSquareMarkersDiffer) {
    Built disc("<ul style=\"list-style-type:disc\"><li>x</ul>", 400);
    Built circle("<ul><li style=\"list-style-type:circle\">x</ul>", 400);
    Built square("<ul><li style=\"list-style-type:square\">x</ul>", 400);
    const auto d = Fills(disc.Paint()), c = Fills(circle.Paint()), s = Fills(square.Paint());
    // The square is one filled box; the disc is drawn row by row, narrower at top and bottom;
    // the circle is hollow: its middle rows are two pieces.
    EXPECT_EQ(s.size(), 1u) << ::testing::PrintToString(s);
    EXPECT_GT(d.size(), 2u) << ::testing::PrintToString(d);
    EXPECT_GT(c.size(), d.size()) << ::testing::PrintToString(c);
    EXPECT_NE(d.front(), d[d.size() / 2]);
}

TEST(BuilderParagraphs, ClassIdAndStyleAreTheParagraphsOwn) {
    Built b(
        "<style>.red{color:red}.big{font-size:20pt}</style>"
        "<p class=red><b>bold</b> rest</p><p><span class=big>s</span> rest</p>");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 2u);
    const TSection& first = *texts[0];
    for (const TFontSpec& font : CharFonts(first))
        EXPECT_EQ(font.Color, TColor(0x0000FF)) << kv::cp1251::fromUtf16(first.Text);
    const TSection& second = *texts[1];
    EXPECT_EQ(second.FontRuns[0].CurrentFont().Size, 20);
    EXPECT_NE(second.FontRuns.Last()->CurrentFont().Size, 20);
    // The id is registered for the paragraph, not for the tag after it.
    Built id("<p id=here><b id=bold>x</b></p>");
    EXPECT_NE(id.doc.IDNames.Find("here"), nullptr);
}

TEST(BuilderLinks, ALinkOpenedInsideALinkLeavesNoStyleBehind) {
    Built b("<style>a{font-style:italic}</style><a href=x>one<a href=y>two</a> three<p>next");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 2u);
    const std::vector<TFontSpec> fonts = CharFonts(*texts[0]);
    ASSERT_EQ(texts[0]->Text, u"onetwo three");
    EXPECT_FALSE(fonts.back().Italic) << kv::cp1251::fromUtf16(texts[0]->Text);
    EXPECT_FALSE(texts[1]->FontRuns[0].CurrentFont().Italic);
    EXPECT_EQ(b.doc.LinkRuns.size(), 2u);
}

TEST(BuilderBreaks, TextAfterABreakBehindAnOverlongWordStartsANewLine) {
    Built b("<p>Antidisestablishmentarianism<br>second line</p>", 180);
    const std::string painted = b.Paint();
    const int wordY = TextY(painted, "Antidisestablishmentarianism");
    ASSERT_GE(wordY, 0) << painted;
    EXPECT_GT(TextY(painted, "second line") == -1 ? TextY(painted, "second")
                                                  : TextY(painted, "second line"),
              wordY)
        << painted;
    const int x = TextX(painted, "second line") == -1 ? TextX(painted, "second")
                                                      : TextX(painted, "second line");
    EXPECT_LT(x, 30) << painted;
}

TEST(BuilderBreaks, TheStylesClearWinsOverTheAttribute) {
    Built b("<style>br{clear:left}</style>a<br clear=right>b");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1]->ClearSide, 1);
    Built attr("a<br clear=right>b");
    EXPECT_EQ(attr.Texts().back()->ClearSide, 2);
    Built all("a<br clear=all>b");
    EXPECT_EQ(all.Texts().back()->ClearSide, 3);
}

TEST(BuilderFonts, BaseFontSetsTheSizeOfTheTextAfterIt) {
    Built b("<basefont size=5>big <font size=+1>bigger</font><p>para");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->FontRuns[0].CurrentFont().Size, 18);
    EXPECT_EQ(texts[0]->FontRuns.Last()->CurrentFont().Size, 18);
    bool bigger = false;
    for (const TFontSpec& font : CharFonts(*texts[0])) bigger |= font.Size == 24;
    EXPECT_TRUE(bigger);
    EXPECT_EQ(texts[1]->FontRuns[0].CurrentFont().Size, 18);
}

TEST(BuilderTables, ABottomCaptionStandsBelowTheGridOutsideItsFrame) {
    Built b("<table border=1><caption align=bottom>Cap</caption><tr><td>cell</td></tr></table>");
    const std::string painted = b.Paint();
    EXPECT_GT(TextY(painted, "Cap"), TextY(painted, "cell")) << painted;
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Rows.size(), 2u);
    EXPECT_TRUE(t->Rows.back().Caption);
    // Only the cell and the grid are framed: no frame reaches down to the caption.
    const int capY = TextY(painted, "Cap");
    for (std::size_t p = painted.find("FRAME "); p != std::string::npos;
         p = painted.find("FRAME ", p + 1)) {
        int left = 0, top = 0, right = 0, bottom = 0;
        ASSERT_EQ(
            std::sscanf(painted.c_str() + p, "FRAME %d %d %d %d", &left, &top, &right, &bottom), 4);
        EXPECT_LE(bottom, capY) << painted;
    }
    Built top("<table border=1><caption>Cap</caption><tr><td>cell</td></tr></table>");
    const std::string above = top.Paint();
    EXPECT_LT(TextY(above, "Cap"), TextY(above, "cell")) << above;
}

TEST(BuilderTables, ContentBetweenCellsIsShownBeforeTheTable) {
    Built b("<table><tr><td>a</td> <b>stray</b> <td>b</td></tr></table>after");
    const std::string painted = b.Paint();
    ASSERT_NE(painted.find("\"stray\""), std::string::npos) << painted;
    EXPECT_LT(TextY(painted, "stray"), TextY(painted, "a"));
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Rows[0].Cells.size(), 2u);
    EXPECT_NE(painted.find("\"after\""), std::string::npos);
}

TEST(BuilderTables, BaselineAlignedCellsStartAtTheTop) {
    Built b(
        "<table><tr valign=baseline><td>a</td><td valign=bottom>b</td><td valign=x>c</td>"
        "</tr><tr><td valign=middle>d</td><td valign=BASELINE>e</td></tr></table>");
    TTableBlock* t = FirstTable(b);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Rows[0].Cells[0]->VAlign, 1);
    EXPECT_EQ(t->Rows[0].Cells[1]->VAlign, 3);
    EXPECT_EQ(t->Rows[0].Cells[2]->VAlign, 1);  // unknown: the row's
    EXPECT_EQ(t->Rows[1].Cells[0]->VAlign, 2);
    EXPECT_EQ(t->Rows[1].Cells[1]->VAlign, 1);
}

TEST(BuilderPre, StyleInsidePreIsASheetAndParagraphsStartNewLines) {
    Built b("<pre>pre<style>p{color:red}</style>end</pre><p>red");
    const auto texts = b.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0]->Text, u"preend");
    EXPECT_EQ(texts.back()->FontRuns[0].CurrentFont().Color, TColor(0x0000FF));
    Built p("<pre>a<p>b</pre>");
    const auto lines = p.Texts();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->Text, u"a");
    EXPECT_EQ(lines[1]->Text, u"");
    EXPECT_EQ(lines[2]->Text, u"b");
    // The paragraph leaves a blank line, as an empty line of the text does.
    Built blank("<pre>a\r\rb</pre>");
    EXPECT_EQ(p.Paint(), blank.Paint());
}

TEST(BuilderHead, ProcessingInstructionsAreSkippedLikeDeclarations) {
    Built b(
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<!DOCTYPE html>"
        "<html><head><title>Name</title></head><body>text</body></html>");
    EXPECT_EQ(b.title, "Name");
    const auto texts = b.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, u"text");
    Built inBody("a<?php echo 1 ?>b");
    EXPECT_EQ(inBody.Texts().back()->Text, u"ab");
    Built open("a<?never closed");  // runs to the end: the text before it stays
    EXPECT_EQ(open.Texts().back()->Text, u"a");
}

TEST(BuilderImages, BlanksAroundASourceAreNotPartOfTheName) {
    TSectionList doc{TTestFontEngine::Shared()};
    doc.SetBaseFolder("/base/");
    EXPECT_EQ(doc.ExpandImageName(" b.bmp "), "/base/b.bmp");
    EXPECT_EQ(doc.ExpandImageName("\tsub\\c.gif"), "/base/sub/c.gif");
    EXPECT_EQ(doc.ExpandImageName(" /abs/d.jpg"), "/abs/d.jpg");
}

// Random markup of the kinds above (nested and unclosed lists, lists in cells, nested links,
// captions, PRE, processing instructions, panels and page breaks): built, laid out at random
// widths and painted without a crash, a hang or a lost section.
TEST(BuilderRobustness, RandomMarkupOfListsCellsLinksAndInstructions) {
    static const char* const pieces[] = {
        "<ul>",
        "<ol>",
        "<li>",
        "</li>",
        "</ul>",
        "</ol>",
        "<table border=1>",
        "<tr>",
        "<td>",
        "</td>",
        "<th>",
        "</table>",
        "<caption align=bottom>",
        "</caption>",
        "<a href=x>",
        "<a href=y>",
        "<a name=n>",
        "</a>",
        "<p class=c>",
        "</p>",
        "<br>",
        "<br clear=all>",
        "<pre>",
        "</pre>",
        "<style>p{color:red}</style>",
        "<?xml ?>",
        "<?",
        "?>",
        "<div>",
        "</div>",
        "<basefont size=6>",
        "<font size=+2>",
        "</font>",
        "<panel width=20>",
        "<page>",
        "<h2>",
        "</h2>",
        "text ",
        "Antidisestablishmentarianism",
        "<img src=\" x.gif \">",
        "&nbsp;",
        "<dl><dt>",
        "<dd>",
        "<blockquote>",
        "</blockquote>",
        "<center>",
        "</center>",
    };
    std::mt19937 random(1208);
    for (int round = 0; round < 1000; ++round) {
        std::string html;
        const int n = 1 + int(random() % 40);
        for (int i = 0; i < n; ++i) html += pieces[random() % std::size(pieces)];
        Built b(html, 20 + int(random() % 500));
        EXPECT_GE(b.height, 0) << html;
        b.Paint();
        if (html.find("text") != std::string::npos) {
            bool found = false;
            for (TSection* s : b.Texts()) found |= s->Text.find(u"text") != std::string::npos;
            std::vector<TTableBlock*> tables;
            CollectAll(b.doc.Sections, tables);
            std::vector<TSection*> all;
            CollectAll(b.doc.Sections, all);
            for (TSection* s : all) found |= s->Text.find(u"text") != std::string::npos;
            EXPECT_TRUE(found || html.find("<?") != std::string::npos) << html;
        }
    }
}

}  // namespace
}  // namespace kv
