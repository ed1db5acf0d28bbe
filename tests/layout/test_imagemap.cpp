// Client-side image maps: shapes, coordinates and which area answers a point.

#include <gtest/gtest.h>

#include "html/layout/imagemap.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

TLayoutAttrs Area(std::string shape, std::string coords, std::string href = "a.htm") {
    TLayoutAttrs attrs;
    if (!href.empty()) attrs.push_back({"HREF", href});
    attrs.push_back({"SHAPE", shape});
    attrs.push_back({"COORDS", coords});
    return attrs;
}

TEST(ImageMap, RectangleIncludesBothCorners) {
    TMapItem map;
    map.AddArea(Area("rect", "0,0,9,9"));
    std::string url, frame;
    EXPECT_TRUE(map.AreaAt(0, 0, url, frame));
    EXPECT_EQ(url, "a.htm");
    EXPECT_TRUE(map.AreaAt(9, 9, url, frame));
    EXPECT_FALSE(map.AreaAt(10, 10, url, frame));
}

TEST(ImageMap, FirstAreaWinsEvenWithoutLink) {
    TMapItem map;
    TLayoutAttrs first = Area("RECTANGLE", "0 0 20 20", "first.htm");
    first.push_back({"NOHREF", ""});
    map.AddArea(first);
    map.AddArea(Area("rect", "0,0,100,100", "second.htm"));
    TLayoutAttrs third = Area("circle", "50, 50, 10", "");
    third.insert(third.begin(), {"NOHREF", ""});
    third.push_back({"HREF", "third.htm"});  // HREF after NOHREF keeps its link
    third.push_back({"TARGET", "main"});
    map.AddArea(third);
    std::string url, frame;
    EXPECT_FALSE(map.AreaAt(5, 5, url, frame));
    EXPECT_TRUE(map.AreaAt(50, 50, url, frame));
    EXPECT_EQ(url, "second.htm");
    EXPECT_EQ(map.AreaCount(), 3);
    EXPECT_EQ(map.AreaItem(2).Url, "third.htm");
    EXPECT_EQ(map.AreaItem(2).Frame, "main");
}

TEST(ImageMap, CirclesPolygonsAndTooFewNumbers) {
    TMapItem map;
    map.AddArea(Area("circ", "10,10,5", "c"));
    map.AddArea(Area("poly", "100,0 200,0 150,100", "p"));
    map.AddArea(Area("rect", "1,2,3"));
    map.AddArea(Area("poly", "1,2,3,4,5"));
    map.AddArea(Area("circle", "1,2"));
    EXPECT_EQ(map.AreaCount(), 2);
    std::string url, frame;
    EXPECT_TRUE(map.AreaAt(10, 10, url, frame));
    EXPECT_EQ(url, "c");
    EXPECT_FALSE(map.AreaAt(5, 5, url, frame));  // corner of the box, outside the circle
    EXPECT_TRUE(map.AreaAt(150, 20, url, frame));
    EXPECT_EQ(url, "p");
    EXPECT_FALSE(map.AreaAt(105, 90, url, frame));
}

TEST(ImageMap, CoordinatesParse) {
    EXPECT_EQ(ParseCoords(" 1 2 3 "), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ParseCoords("1, 2,3"), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ParseCoords("1,x,-4"), (std::vector<int>{1, 0, -4}));
    EXPECT_EQ(ParseCoords("99999999999999999999999,1"), (std::vector<int>{0, 1}));
    EXPECT_EQ(ParseCoords(std::string(2000, '1') + ",5").size(), 2u);
    std::string many;
    for (int i = 0; i < 400; ++i) many += "1,";
    EXPECT_EQ(ParseCoords(many).size(), 301u);
    // A huge circle does not overflow.
    TMapItem map;
    map.AddArea(Area("circ", "0,0,2147483647"));
    std::string url, frame;
    EXPECT_TRUE(map.AreaAt(0, 0, url, frame));
}

TEST(ImageMap, UseMapNamesFold) {
    EXPECT_EQ(MapKeyOf("  #Map1 "), "MAP1");
    EXPECT_EQ(MapKeyOf("#"), "#");
    EXPECT_EQ(MapKeyOf("карта"), "КАРТА");
}

}  // namespace
}  // namespace kv
