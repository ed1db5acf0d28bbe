// The float and indent manager: edges of text rows around cell indents and floats.

#include <gtest/gtest.h>

#include "html/layout/floatingobj.h"
#include "html/layout/indentmanager.h"

namespace kv {
namespace {

TFloatingObj Image(int w, int h, int align, int hspace = 0, int vspace = 0) {
    TFloatingObj obj;
    obj.ObjWidth = w;
    obj.ObjHeight = h;
    obj.Align = std::uint8_t(align);
    obj.SpaceLeft = obj.SpaceRight = hspace;
    obj.SpaceTop = obj.SpaceBottom = vspace;
    return obj;
}

TEST(IndentManager, EmptyManagerAnswersTheEdges) {
    IndentManager m;
    m.SetEdges(10, 300);
    EXPECT_EQ(m.LeftIndent(50), 10);
    EXPECT_EQ(m.RightSide(50), 300);
    EXPECT_EQ(m.LeftEdgeForText(50), 10);
    EXPECT_EQ(m.RightEdgeForText(50), 300);
    EXPECT_EQ(m.LowestFloat(), 0);
    EXPECT_EQ(m.NextFloatEnd(77), 77);
    int l = -1, r = -1;
    m.ClearLevels(l, r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
}

TEST(IndentManager, RecordsCoverFromYButNotToY) {
    IndentManager m;
    m.SetEdges(0, 200);
    int cell = 0;
    m.CurrentOwner = &cell;
    const int left = m.AddLeft(20, 100);
    m.CloseLeft(left, 150);  // covers 100 .. 148
    EXPECT_EQ(m.LeftIndent(99), 0);
    EXPECT_EQ(m.LeftIndent(100), 20);
    EXPECT_EQ(m.LeftIndent(148), 20);
    EXPECT_EQ(m.LeftIndent(149), 0);
    m.CloseLeft(7, 10);  // no such record: ignored
}

TEST(IndentManager, OnlyTheCurrentOwnersIndentsCountFloatsAlways) {
    IndentManager m;
    m.SetEdges(0, 400);
    int block = 0, other = 0;
    m.CurrentOwner = &block;
    m.AddLeft(40, 0);
    m.AddRight(300, 0);
    Image(0, 0, 0);
    TFloatingObj f = Image(50, 30, alLeftFloat);
    m.PlaceFloatImage(0, f);
    {
        TIndentOwnerScope scope(m, &other);
        EXPECT_EQ(m.LeftIndent(10), 90);  // the float (40 + 50) still counts
        EXPECT_EQ(m.RightSide(10), 400);
    }
    EXPECT_EQ(m.CurrentOwner, &block);
    EXPECT_EQ(m.RightSide(10), 300);
    EXPECT_EQ(m.LeftIndent(40), 40);  // float ended at 30
}

TEST(IndentManager, LeftAndRightFloatsNarrowTheRow) {
    IndentManager m;
    m.SetEdges(0, 500);
    TFloatingObj a = Image(100, 50, alLeftFloat, 3, 2);
    TFloatingObj b = Image(80, 40, alRightFloat, 3);
    TFloatingObj c = Image(60, 20, alLeftFloat);
    m.PlaceFloatImage(10, a);
    m.PlaceFloatImage(10, b);
    m.PlaceFloatImage(10, c);
    EXPECT_EQ(a.FloatX, 3);
    EXPECT_EQ(b.FloatX, 500 - 86 + 3);
    EXPECT_EQ(c.FloatX, 106);  // starts at the first float's right edge
    EXPECT_EQ(m.LeftEdgeForText(20), 166);
    EXPECT_EQ(m.RightEdgeForText(20), 414);
    EXPECT_EQ(m.LeftEdgeForText(40), 106);  // c ended at 30
    EXPECT_EQ(m.LowestFloat(), 64);         // 10 + 50 + 2 + 2
    EXPECT_EQ(m.NextFloatEnd(10), 30);
    EXPECT_EQ(m.NextFloatEnd(30), 50);
    EXPECT_EQ(m.NextFloatEnd(64), 64);
    int l = 0, r = 0;
    m.ClearLevels(l, r);
    EXPECT_EQ(l, 65);
    EXPECT_EQ(r, 51);
    TFloatingObj inline_ = Image(10, 10, alBottom);
    m.PlaceFloatImage(0, inline_);  // not a float: nothing recorded
    EXPECT_EQ(m.LeftList.size(), 2u);
}

TEST(IndentManager, FloatingBlocksLimitTheOppositeSide) {
    IndentManager m;
    m.SetEdges(0, 400);
    m.PlaceFloatBlock(0, 150, alRightFloat, 100);  // right block from x 250
    m.AddLeft(300, 0);                             // an indent beyond that block
    m.AddLeft(30, 0);
    EXPECT_EQ(m.LeftEdgeForText(10), 30);
    m.PlaceFloatBlock(0, 120, alLeftFloat, 100);
    m.AddRight(100, 0);  // right indent left of the left block: skipped
    EXPECT_EQ(m.RightEdgeForText(10), 250);
    m.PlaceFloatBlock(0, 120, 3, 100);  // neither side: nothing
    EXPECT_EQ(m.LeftList.size() + m.RightList.size(), 5u);
    m.ClearAll();
    EXPECT_TRUE(m.LeftList.empty() && m.RightList.empty());
}

}  // namespace
}  // namespace kv
