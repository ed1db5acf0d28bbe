// Text properties of a block: justified lines, the first line's indent and the line height.
// The test font makes every character 6 pixels wide and 10 pt text 13 pixels high.

#include <gtest/gtest.h>

#include "html/layout/textsection.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

using test::TextX;
using test::TextY;

struct Page : test::Built {
    // `body` in a page without margins, so the column is the layout width.
    explicit Page(const std::string& body, int width = 100)
        : Built("<body marginwidth=0 marginheight=0>" + body, width) {}
};

TEST(TextCss, JustifiedLinesReachBothEdgesButTheLastAndThoseEndedByABreak) {
    Page page(
        "<p style='text-align:justify'>aaa bbb ccc ddd eee ff<br>"
        "xxxxxxxxxxxxxx yyy zz</p>");
    const std::string painted = page.Paint();
    // 16 characters fit; the first line's 10 spare pixels go to its three spaces, 3, 3 and 4.
    EXPECT_EQ(TextX(painted, "aaa "), 0);
    EXPECT_EQ(TextX(painted, "bbb "), 27);
    EXPECT_EQ(TextX(painted, "ccc "), 54);
    EXPECT_EQ(TextX(painted, "ddd"), 82);                       // ends on the right edge
    EXPECT_EQ(TextX(painted, "eee ff"), 0) << painted;          // ended by a break
    EXPECT_EQ(TextX(painted, "xxxxxxxxxxxxxx"), 0) << painted;  // no space to widen
    EXPECT_EQ(TextX(painted, "yyy zz"), 0) << painted;          // the last line

    // The caret and hit tests go through the widened spaces.
    TSection& s = *page.Texts().front();
    const int top = s.Top + 1;
    TCursorHit hit;
    EXPECT_EQ(s.CursorAt(page.canvas, 83, top, hit), s.FirstCursor + 12);  // in "ddd"
    EXPECT_EQ(hit.LineX, 82);
    // The widened space before "ddd" spans 72 to 82: its left half is before it, its right after.
    EXPECT_EQ(s.CursorAt(page.canvas, 75, top, hit), s.FirstCursor + 11);
    EXPECT_EQ(s.CursorAt(page.canvas, 80, top, hit), s.FirstCursor + 12);
    int y = 0, x = 0;
    ASSERT_TRUE(s.CursorToPoint(&page.canvas, s.FirstCursor + 12, y, x));
    EXPECT_EQ(x, 82);
    ASSERT_TRUE(s.CursorToPoint(&page.canvas, s.FirstCursor + 4, y, x));
    EXPECT_EQ(x, 27);
}

TEST(TextCss, TextIndentMovesOnlyTheBlocksFirstLine) {
    const auto firstX = [](const std::string& body, const std::string& word) {
        Page page(body);
        return TextX(page.Paint(), word);
    };
    // 88 pixels left on the first line: three words; the line after the break is not indented.
    Page page("<p style='text-indent:12px'>aaa bbb ccc ddd eee<br>fff</p>");
    const std::string painted = page.Paint();
    EXPECT_EQ(TextX(painted, "aaa bbb ccc"), 12);
    EXPECT_EQ(TextX(painted, "ddd eee"), 0);
    EXPECT_EQ(TextX(painted, "fff"), 0);
    std::u16string copied;
    const TSection& first = *page.Texts().front();  // the indent is no leading blank in a copy
    first.CopySelection(first.FirstCursor, first.FirstCursor + 100, copied);
    EXPECT_EQ(copied.substr(0, 3), u"aaa");

    // Both ends: none, and the whole width (the first word then stands at the right edge).
    EXPECT_EQ(firstX("<p style='text-indent:0'>aaa bbb</p>", "aaa bbb"), 0);
    Page wide("<p style='text-indent:100%'>aaa bbb</p>");
    const std::string widePainted = wide.Paint();
    EXPECT_EQ(TextX(widePainted, "aaa"), 100) << widePainted;
    EXPECT_EQ(TextX(widePainted, "bbb"), 0) << widePainted;
    EXPECT_EQ(firstX("<p style='text-indent:50%'>aaa</p>", "aaa"), 50);
    // A hanging indent reaches into the margin, never past the page's edge.
    Page hanging("<div style='margin-left:30px;text-indent:-20px'>aaa</div>");
    EXPECT_EQ(TextX(hanging.Paint(), "aaa"), 10);
    TSection& h = *hanging.Texts().front();
    TCursorHit hit;
    EXPECT_EQ(h.CursorAt(hanging.canvas, 17, h.Top + 1, hit), h.FirstCursor + 1);  // left of it
    EXPECT_EQ(firstX("<div style='margin-left:30px;text-indent:-99px'>aaa</div>", "aaa"), 0);
    // An em is the declaring element's and is inherited as that length.
    EXPECT_EQ(
        firstX("<div style='font-size:20px;text-indent:2em'><p style='font-size:10px'>aaa</div>",
               "aaa"),
        40);
    // Inherited by inner blocks, items, cells and headings; text after an inner block is not
    // its block's first line.
    Page nested(
        "<div style='text-indent:10px'>aaa<div>bbb</div>ccc<ul><li>ddd</ul>"
        "<table cellpadding=0 cellspacing=0 border=0><tr><td>eee</table></div>"
        "<table cellpadding=0 cellspacing=0 border=0><tr><td>fff</table>"
        "<h1 style='text-indent:7px'>H</h1>");
    const std::string nestedPainted = nested.Paint();
    EXPECT_EQ(TextX(nestedPainted, "aaa"), 10);
    EXPECT_EQ(TextX(nestedPainted, "bbb"), 10);
    EXPECT_EQ(TextX(nestedPainted, "ccc"), 0);
    EXPECT_EQ(TextX(nestedPainted, "ddd"), 35 + 10);
    EXPECT_EQ(TextX(nestedPainted, "eee") - TextX(nestedPainted, "fff"), 10);
    EXPECT_EQ(TextX(nestedPainted, "H"), 7);
}

TEST(TextCss, LineHeightInEachFormWithHalfTheLeadingAboveTheText) {
    // The distance between the baselines of the block's two lines.
    const auto pitch = [](const std::string& outer, const std::string& inner) {
        Page page("<div style='" + outer + "'><p style='margin:0;" + inner +
                  "'>aaa<br>bbb</p></div>");
        const std::string painted = page.Paint();
        return TextY(painted, "bbb") - TextY(painted, "aaa");
    };
    EXPECT_EQ(pitch("", ""), 13);
    EXPECT_EQ(pitch("", "line-height:2"), 26);
    EXPECT_EQ(pitch("line-height:2", "font-size:20px"), 40);     // a factor of its own size
    EXPECT_EQ(pitch("line-height:2em", "font-size:20px"), 26);   // the parent's length
    EXPECT_EQ(pitch("line-height:200%", "font-size:20px"), 26);  // the parent's length
    EXPECT_EQ(pitch("line-height:30px", "line-height:normal"), 13);
    EXPECT_EQ(pitch("", "line-height:8px"), 8);  // closer than the text is high

    // 17 pixels of leading: 8 above the text, 9 below, on the first line and the last.
    Page page("<p style='margin:0;line-height:30px'>aaa<br>bbb<br>ccc</p>");
    const TSection& s = *page.Texts().front();
    ASSERT_EQ(s.LineList.size(), 3u);
    EXPECT_EQ(s.LineList.front().ExtraAbove, 8);
    EXPECT_EQ(s.LineList.back().ExtraBelow, 9);
    EXPECT_EQ(s.FlowHeight, 90);
}

}  // namespace
}  // namespace kv
