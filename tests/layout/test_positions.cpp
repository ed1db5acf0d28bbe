// Layout gives lines, images and cell contents their final document positions: hit tests are
// right before any paint, painting draws where layout placed things, and tables answer the
// document queries text sections answer.

#include <gtest/gtest.h>

#include <regex>

#include "html/layout/blocks.h"
#include "html/layout/builder.h"
#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "platform/canvas.h"
#include "platform/codec.h"

using namespace kv;

namespace {

// The first section of a kind, looking into blocks.
template <class T>
T* Find(const std::vector<std::unique_ptr<TSectionBase>>& list) {
    for (const auto& s : list) {
        if (auto* t = dynamic_cast<T*>(s.get())) return t;
        if (auto* block = dynamic_cast<TBlock*>(s.get()))
            if (T* t = Find<T>(block->Content.Sections)) return t;
    }
    return nullptr;
}

struct Page {
    TSectionList doc{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    int height = 0;

    explicit Page(std::string_view html, int width = 400) {
        THtmlBuilder builder(doc);
        builder.LoadHtmlText(html);
        int maxWidth = 0;
        height = doc.DoLayout(canvas, width, 400, maxWidth);
    }
    std::string Paint(int x = 0) {
        canvas.ClearLines();
        doc.Paint(canvas, QRect(0, 0, 1000, 5000), x, 0);
        return canvas.Text();
    }
    TTableBlock* Table() const { return Find<TTableBlock>(doc.Sections); }
};

std::vector<TImageObj*> Images(const TSection& section) {
    std::vector<TImageObj*> out;
    for (int i = 0; i < section.Objects.Count(); ++i)
        if (auto* image = dynamic_cast<TImageObj*>(&section.Objects[i])) out.push_back(image);
    return out;
}

TSection* FirstText(const TCellBasic& cell) {
    return Find<TSection>(cell.Sections);
}

// The y of the first recorded TEXT call whose text is `text`.
int TextY(const std::string& painted, const std::string& text) {
    const std::regex line("TEXT (-?\\d+) (-?\\d+) [^\\n]*\"" + text + "\"");
    std::smatch m;
    if (!std::regex_search(painted, m, line)) return -9999;
    return std::stoi(m[2]);
}

}  // namespace

TEST(Positions, SecondFloatAtALineStartStandsBesideTheFirstNotALineLower) {
    Page page(
        "<p><img src=g.bmp align=left width=20 height=30>"
        "<img src=g.bmp align=left width=20 height=30>Text beside both floats.</p>");
    TSection* text = FirstText(page.doc);
    ASSERT_NE(text, nullptr);
    const auto images = Images(*text);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0]->DrawY, images[1]->DrawY);
    EXPECT_EQ(images[0]->DrawY, text->Top);
    EXPECT_GT(images[1]->DrawX, images[0]->DrawX);
    // Painting draws both at the places layout gave them.
    const std::string painted = page.Paint();
    // (Missing pictures: a framed placeholder.)
    const std::string first =
        "FRAME " + std::to_string(images[0]->DrawX) + " " + std::to_string(images[0]->DrawY) + " ";
    const std::string second =
        "FRAME " + std::to_string(images[1]->DrawX) + " " + std::to_string(images[1]->DrawY) + " ";
    EXPECT_NE(painted.find(first), std::string::npos) << painted;
    EXPECT_NE(painted.find(second), std::string::npos) << painted;
    // The same without painting: hit tests find the second image.
    TImageHit hit;
    EXPECT_TRUE(page.doc.ObjectAt(images[1]->DrawX + 5, images[1]->DrawY + 5, hit));
    EXPECT_EQ(hit.Image, images[1]);
}

TEST(Positions, HitTestsInAMiddleAlignedCellNeedNoPaint) {
    Page page(
        "<table cellspacing=0 cellpadding=0><tr><td>A<br>B<br>C<br>D<br>E<br>F</td>"
        "<td><a href=\"x.htm\">link</a> <img src=g.bmp width=20 height=20></td>"
        "</tr></table>");
    TTableBlock* table = page.Table();
    ASSERT_NE(table, nullptr);
    const TTableCell& cell = *table->Rows[0].Cells[1];
    TSection* text = FirstText(cell.Cell);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->LineList.size(), 1u);
    const LineRec& line = text->LineList[0];
    // Six lines of 13 pixels beside one line: the content sits in the middle.
    EXPECT_EQ(text->Top, table->Rows[0].Top + (78 - line.Height()) / 2);
    EXPECT_EQ(line.PaintedX, cell.Left);

    TLinkHit link;
    ASSERT_TRUE(page.doc.LinkAt(page.canvas, cell.Left + 3, line.PaintedY + 5, link));
    EXPECT_EQ(link.Target.Url, "x.htm");
    EXPECT_FALSE(page.doc.LinkAt(page.canvas, cell.Left + 3, table->Rows[0].Top + 2, link));

    TCursorHit hit;
    const int cursor = page.doc.CursorAt(page.canvas, cell.Left + 7, line.PaintedY + 5, hit);
    EXPECT_EQ(cursor, text->FirstCursor + 1);
    EXPECT_TRUE(hit.InText);

    const TImageObj* image = Images(*text).at(0);
    TImageHit imageHit;
    EXPECT_TRUE(page.doc.ObjectAt(image->DrawX + 2, image->DrawY + 2, imageHit));
    EXPECT_EQ(imageHit.Image, image);

    // Paint draws at the same place, also with the document scrolled sideways.
    EXPECT_EQ(TextY(page.Paint(), "link"), TextY(page.Paint(-30), "link"));
    EXPECT_NE(TextY(page.Paint(), "link"), -9999);
    EXPECT_NE(page.Paint(-30).find("TEXT " + std::to_string(cell.Left - 30) + " "),
              std::string::npos);
}

TEST(Positions, TablesAnswerTheDocumentQueries) {
    Page page(
        cp1251::fromUtf8("<p>before</p><table><tr><td>alpha</td><td><a name=deep>Ъгол</a>"
                         " beta</td></tr></table><p>after</p>"));
    TTableBlock* table = page.Table();
    ASSERT_NE(table, nullptr);
    // The search finds text in a cell, case-insensitively in Cyrillic too.
    const int hit = page.doc.SearchText(0, u"ъгол", false);
    ASSERT_GE(hit, 0);
    char16_t ch = 0;
    const TFontObj* font = nullptr;
    ASSERT_TRUE(page.doc.CharAt(hit, ch, font));
    EXPECT_EQ(ch, u'Ъ');
    // Text positions and source positions map both ways inside the table.
    const int source = page.doc.DocToSource(hit);
    ASSERT_GE(source, 0);
    EXPECT_EQ(page.doc.SourceToDoc(source, false), hit);
    // A jump to an anchor inside the table lands on its row, not on the section after it.
    TIDObject* deep = page.doc.IDNames.Find("DEEP");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->TopY(), FirstText(table->Rows[0].Cells[1]->Cell)->Top);
    // A selection inside a cell is copied.
    page.doc.Select(hit, hit + 4);
    EXPECT_EQ(page.doc.SelectedText(), u"Ъгол");
}

// Hit tests look where a section paints, not at its box in the flow: a floating block or table
// takes no height in the flow, yet what it paints answers, from its first row to its last.
TEST(Positions, HitTestsFindWhatFloatsPaintBelowTheirFlowBox) {
    Page page(
        "<div style=\"float: left; width: 100px\"><a href=\"first.htm\">top</a><br>middle<br>"
        "<a href=\"last.htm\">bottom</a></div>"
        "<table align=right cellspacing=0 cellpadding=0><tr><td>one<br>two<br>"
        "<a href=\"cell.htm\">three</a></td></tr></table><p>beside</p>");
    const TBlock* body = Find<TBlock>(page.doc.Sections);
    ASSERT_NE(body, nullptr);
    TBlock* block = nullptr;
    for (const auto& s : body->Content.Sections)
        if (auto* b = dynamic_cast<TBlock*>(s.get()); b && b->Floats() && !block) block = b;
    ASSERT_NE(block, nullptr);
    TSection* text = FirstText(block->Content);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->LineList.size(), 3u);
    const LineRec& first = text->LineList.front();
    const LineRec& last = text->LineList.back();
    ASSERT_EQ(block->BoxBottom, block->BoxTop);  // no height in the flow
    ASSERT_GT(last.PaintedY, block->BoxBottom);
    TLinkHit link;
    ASSERT_TRUE(page.doc.LinkAt(page.canvas, first.PaintedX + 3, first.PaintedY + 5, link));
    EXPECT_EQ(link.Target.Url, "first.htm");
    ASSERT_TRUE(page.doc.LinkAt(page.canvas, last.PaintedX + 3, last.PaintedY + 5, link));
    EXPECT_EQ(link.Target.Url, "last.htm");
    // The rows it paints, both ends included: the top row and the one above its bottom.
    TCursorHit hit;
    EXPECT_EQ(page.doc.CursorAt(page.canvas, first.PaintedX + 1, block->PaintTop, hit),
              text->FirstCursor + first.FirstChar);
    EXPECT_EQ(page.doc.CursorAt(page.canvas, last.PaintedX + 1, block->PaintBottom - 1, hit),
              text->FirstCursor + last.FirstChar);

    TTableBlock* table = page.Table();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->BoxBottom, table->Top);
    const TSection* cell = FirstText(table->Rows[0].Cells[0]->Cell);
    ASSERT_NE(cell, nullptr);
    const LineRec& three = cell->LineList.back();
    ASSERT_TRUE(page.doc.LinkAt(page.canvas, three.PaintedX + 3, three.PaintedY + 5, link));
    EXPECT_EQ(link.Target.Url, "cell.htm");
}
