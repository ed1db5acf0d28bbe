// Blocks that float by their style: where they go, how the text beside them flows, and how
// clearing moves later content below them. Test font: 6 pixels a character, lines 13 high.

#include <gtest/gtest.h>

#include <sstream>

#include "html/layout/builder.h"
#include "tests/layout/layouttest.h"

namespace kv {
namespace {

struct Painted {
    int x, y;
    std::string text;
};

struct Floats {
    TSectionList doc{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    int height = 0, maxWidth = 0;

    explicit Floats(std::string_view html, int width = 400) {
        THtmlBuilder builder(doc);
        // No body or paragraph margins: positions are those of the floats and lines alone.
        builder.LoadHtmlText("<style>p { margin: 0 }</style><body marginwidth=0 marginheight=0>" +
                             std::string(html));
        height = doc.DoLayout(canvas, width, 400, maxWidth);
    }
    // Every block in document order, nested ones included.
    std::vector<TBlock*> Blocks() {
        std::vector<TBlock*> out;
        Collect(doc.Sections, out);
        return out;
    }
    static void Collect(const std::vector<std::unique_ptr<TSectionBase>>& list,
                        std::vector<TBlock*>& out) {
        for (const auto& s : list)
            if (auto* b = dynamic_cast<TBlock*>(s.get())) {
                out.push_back(b);
                Collect(b->Content.Sections, out);
            }
    }
    std::vector<TBlock*> Floating() {
        std::vector<TBlock*> out;
        for (TBlock* b : Blocks())
            if (b->Box.Float) out.push_back(b);
        return out;
    }
    // The text drawn in the top `rows` of the document, one entry per text call.
    std::vector<Painted> Texts(int rows = 5000) {
        canvas.ClearLines();
        doc.Paint(canvas, QRect(0, 0, 1000, rows), 0, 0);
        std::vector<Painted> out;
        for (const std::string& line : canvas.Lines()) {
            if (line.rfind("TEXT ", 0) != 0) continue;
            std::istringstream in(line.substr(5));
            Painted p;
            in >> p.x >> p.y;
            const auto open = line.find('"'), close = line.rfind('"');
            p.text = line.substr(open + 1, close - open - 1);
            out.push_back(p);
        }
        return out;
    }
    Painted Find(const std::string& word, int rows = 5000) {
        for (const Painted& p : Texts(rows))
            if (p.text.find(word) != std::string::npos) return p;
        return {-1, -1, ""};
    }
};

// A paragraph long enough to run past a float of a few lines at width 400.
std::string LongText() {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i) + " ";
    return text;
}

TEST(FloatBlocks, LeftFloatTakesNoFlowAndTextFlowsBesideThenBelow) {
    Floats f("<div style=\"float: left; width: 100px\">box<br>box<br>box</div><p>" + LongText() +
             "</p>");
    const auto floats = f.Floating();
    ASSERT_EQ(floats.size(), 1u);
    TBlock& box = *floats[0];
    EXPECT_EQ(box.X, 0);
    EXPECT_EQ(box.ContentWidth, 100);
    EXPECT_EQ(box.FlowHeight, 0);
    EXPECT_EQ(box.BoxHeight, 3 * 13);
    const Painted first = f.Find("word0 ");
    EXPECT_EQ(first.y, box.PaintTop);  // beside the float, on its first row
    EXPECT_EQ(first.x, 100);
    int below = 0;
    for (const Painted& p : f.Texts())
        if (p.y >= box.PaintTop + box.BoxHeight && p.text.find("word") != std::string::npos) {
            EXPECT_EQ(p.x, 0) << p.text;  // back at the left edge under the float
            ++below;
        }
    EXPECT_GT(below, 0);
    EXPECT_GE(f.height, box.PaintTop + box.BoxHeight);
}

TEST(FloatBlocks, RightFloatSitsAtTheRightEdgeAndNarrowsTheLines) {
    Floats f("<p style=\"float: right; width: 120px; margin: 0\">side</p><p>" + LongText() +
             "</p>");
    const auto floats = f.Floating();
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_EQ(floats[0]->X + floats[0]->ContentWidth, 400);
    const Painted first = f.Find("word0 ");
    EXPECT_EQ(first.x, 0);
    EXPECT_LE(int(first.text.size()) * 6, 400 - 120 + 6);  // a trailing space may hang over
    const Painted side = f.Find("side");
    EXPECT_EQ(side.x, 280);
    EXPECT_EQ(side.y, first.y);
}

TEST(FloatBlocks, WidthComesFromTheContentWhenNotGiven) {
    Floats f("<div style=\"float: left\">abcd</div>next");
    const auto floats = f.Floating();
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_EQ(floats[0]->ContentWidth, 4 * 6);
    EXPECT_EQ(f.Find("next").x, 4 * 6);
}

TEST(FloatBlocks, TwoLeftFloatsStackSideBySide) {
    Floats f(
        "<div style=\"float: left; width: 50px\">a</div>"
        "<div style=\"float: left; width: 70px\">b</div>text");
    const auto floats = f.Floating();
    ASSERT_EQ(floats.size(), 2u);
    EXPECT_EQ(floats[1]->X, 50);
    EXPECT_EQ(floats[1]->PaintTop, floats[0]->PaintTop);
    EXPECT_EQ(f.Find("text").x, 120);
}

TEST(FloatBlocks, AFloatThatDoesNotFitBesideGoesBelowAndAWiderOneIsNarrowed) {
    Floats f(
        "<div style=\"float: left; width: 200px\">a<br>a</div>"
        "<div style=\"float: right; width: 300px\">b</div>text");
    auto floats = f.Floating();
    ASSERT_EQ(floats.size(), 2u);
    EXPECT_EQ(floats[1]->PaintTop, floats[0]->PaintTop + 2 * 13);  // below the first one
    EXPECT_EQ(floats[1]->X, 100);
    EXPECT_EQ(floats[1]->TopY(), floats[1]->PaintTop);
    EXPECT_EQ(floats[1]->Top, floats[0]->Top);  // met at the same place of the flow

    Floats wide("<div style=\"float: left; width: 900px\">x</div>after", 400);
    floats = wide.Floating();
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_EQ(floats[0]->X, 0);
    EXPECT_LE(floats[0]->ContentWidth, 400);
}

TEST(FloatBlocks, ClearMovesLaterBlocksAndBreaksBelowTheFloat) {
    const std::string box = "<div style=\"float: left; width: 100px\">a<br>a<br>a</div>";
    Floats style(box + "<p style=\"clear: left; margin: 0\">after</p>");
    const auto floats = style.Floating();
    ASSERT_EQ(floats.size(), 1u);
    const int bottom = floats[0]->PaintTop + floats[0]->BoxHeight;
    const Painted after = style.Find("after");
    EXPECT_EQ(after.x, 0);
    EXPECT_EQ(after.y, bottom);
    EXPECT_GE(style.height, bottom + 13);

    Floats right(box + "<p style=\"clear: right; margin: 0\">after</p>");
    EXPECT_EQ(right.Find("after").x, 100);  // nothing on the right to clear: stays beside

    Floats br(box + "x<br clear=left>y");
    EXPECT_EQ(br.Find("x").x, 100);
    const Painted y = br.Find("y");
    EXPECT_EQ(y.x, 0);
    EXPECT_GE(y.y, bottom);
}

TEST(FloatBlocks, TableWithAFloatStyleFloatsAsABlock) {
    Floats f(
        "<table style=\"float: right\" width=100 cellspacing=0><tr><td>t</td></tr></table>"
        "next");
    TTableBlock* table = nullptr;
    for (const auto& s : f.doc.Sections)
        if (auto* t = dynamic_cast<TTableBlock*>(s.get())) table = t;
    for (TBlock* b : f.Blocks())
        for (const auto& s : b->Content.Sections)
            if (auto* t = dynamic_cast<TTableBlock*>(s.get())) table = t;
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->Floating);
    EXPECT_EQ(table->TableLeft + table->TableWidth, 400);
    const Painted next = f.Find("next");
    EXPECT_EQ(next.x, 0);
    EXPECT_EQ(next.y, table->Top);  // beside, not below
    bool floatRecord = false;
    for (const IndentRec& rec : f.doc.Indents->RightList)
        floatRecord = floatRecord || (rec.IsFloat && rec.X == table->TableLeft);
    EXPECT_TRUE(floatRecord);
}

// A page header: a logo line in a block of fixed height, then a right float of links. The
// logo line is 152 pixels wide (the picture and its link frame), the links 24 characters (144
// pixels), the bar between them after 17.
std::string Header() {
    return "<div style=\"height:49px\"><a href=\"/\"><img src=\"logo.bmp\" width=150 height=40 "
           "alt=\"Лого\"></a>\n<div style=\"float:right\"><a href=\"a.htm\">Домашняя "
           "страница</a> | <a href=\"b.htm\">Вики</a></div></div><p>after</p>";
}

TEST(FloatBlocks, AFloatAfterALineStandsBesideItWhenItFitsElseBelow) {
    // 296 leaves exactly the links' width beside the logo; 295 is a pixel short.
    for (int width : {800, 296, 295, 200}) {
        Floats f(Header(), width);
        const auto floats = f.Floating();
        ASSERT_EQ(floats.size(), 1u) << width;
        const TBlock& links = *floats[0];
        EXPECT_EQ(links.X + links.ContentWidth, width) << width;  // at the right edge
        const Painted bar = f.Find(" | ");
        EXPECT_EQ(bar.y, links.PaintTop) << width;  // painted where it stands
        EXPECT_EQ(bar.x, width - 144 + 17 * 6) << width;
        EXPECT_EQ(f.Find("after").y, 49) << width;  // the block keeps its height
        EXPECT_GE(f.height, links.PaintTop + links.BoxHeight) << width;
        if (width < 296) {
            EXPECT_GE(links.PaintTop, 40) << width;  // below the logo line, past the 49 px
            continue;
        }
        EXPECT_EQ(links.PaintTop, 0) << width;       // the logo line's top
        EXPECT_EQ(f.Find(" | ", 20).y, 0) << width;  // painted also in a strip above 45
    }
    // A float after a forced break starts a line of its own: below, as after block content.
    Floats br("x<br><div style=\"float:right\">f</div>");
    EXPECT_EQ(br.Floating()[0]->PaintTop, 13);
    // A right-aligned line leaves its left free: a left float rises beside it.
    Floats left("<div style=\"text-align:right\">x\n<div style=\"float:left\">f</div></div>");
    EXPECT_EQ(left.Floating()[0]->PaintTop, 0);
    EXPECT_EQ(left.Find("f").y, 0);
}

TEST(FloatBlocks, ContentOverflowingAFixedHeightStaysVisible) {
    Floats f("<div style=\"height:5px\">a<br>b<br>c</div><p>next</p>");
    EXPECT_EQ(f.Find("c").y, 26);    // drawn below the box
    EXPECT_EQ(f.Find("next").y, 5);  // the flow goes on below the given height
    EXPECT_GE(f.height, 39);         // and the document reaches the overflow
    Floats exact("<div style=\"height:39px\">a<br>b<br>c</div><p>next</p>");
    EXPECT_EQ(exact.Find("next").y, 39);
    Floats percent("<div style=\"height:10%\">a<br>b</div><p>next</p>");
    EXPECT_EQ(percent.Find("next").y, 26);  // a percentage of an open height means "auto"
}

TEST(FloatBlocks, HostileSizesNeitherHangNorEscapeTheCell) {
    const std::string html =
        "<div style=\"float:left;width:120px;margin:-3000px\">a<br>b</div>"
        "<p style=\"float:right;margin:-40px;padding:-5px\">right</p>"
        "<div style=\"float:right;width:99999px\">wide</div>text"
        "<div style=\"float:left\"><div style=\"float:right\">in</div></div>"
        "<p style=\"clear:both\">below</p><br clear=right>end"
        "<div style=\"height:-5px\">n</div><div style=\"height:99999999px\">h</div>";
    for (int width : {-200, 0, 1, 50, 400}) {
        Floats f(html, width);
        EXPECT_GE(f.height, 0);
        for (TBlock* b : f.Floating()) {
            EXPECT_GE(b->ContentWidth, 0) << width;
        }
        f.Texts();  // paints
    }
}

}  // namespace
}  // namespace kv
