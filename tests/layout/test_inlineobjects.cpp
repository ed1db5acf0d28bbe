// Inline objects: font runs and their lookups, image attributes, sizing, drawing and hit tests.

#include <gtest/gtest.h>

#include "html/layout/builderhints.h"
#include "tests/layout/fakehost.h"

namespace kv {
namespace {

TLayoutAttrs Attrs(std::initializer_list<std::pair<const char*, const char*>> list) {
    TLayoutAttrs attrs;
    for (auto& [n, v] : list) attrs.push_back({n, v});
    return attrs;
}

// An image as the builder makes it: its look read from the same attributes.
struct TTestImage : TImageObj {
    TTestImage(TImageHost& host, const TLayoutAttrs& attributes, int position)
        : TImageObj(host, attributes, ObjectHints(attributes), position) {}
};

TEST(FontList, LookupsByPosition) {
    TFontSpecPool pool;
    TFontList runs;
    TFontSpec font;
    runs.Add(std::make_unique<TFontObj>(TTestFontEngine::Shared(), pool, 0, font));
    font.Bold = true;
    runs.Add(std::make_unique<TFontObj>(TTestFontEngine::Shared(), pool, 5, font));
    int overhang = -1, index = -1;
    EXPECT_EQ(runs.FontAt(4, overhang), &runs[0]);
    EXPECT_EQ(overhang, 0);
    EXPECT_EQ(runs.FontAt(5, overhang), &runs[1]);
    EXPECT_EQ(runs.FontAt(500, overhang), &runs[1]);
    EXPECT_EQ(runs.CharsToNextRun(2, 20), 3);
    EXPECT_EQ(runs.CharsToNextRun(7, 20), 13);
    EXPECT_EQ(runs.RunAt(6, index), &runs[1]);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(runs[0].FontHeight, 13);
    EXPECT_EQ(runs[0].Descent, 3);
}

TEST(FontObj, HoverAndVisitedChooseTheirFonts) {
    TFontSpec normal, visited, hover;
    visited.Color = 0x800080;
    hover.Color = 0x0000FF;
    hover.Size = 20;
    TFontSpecPool pool;
    TFontObj run(TTestFontEngine::Shared(), pool, 0, normal);
    run.SetLinkFonts(&visited, &hover);
    run.SetVisited(true);
    EXPECT_EQ(run.CurrentFont().Color, 0x800080u);
    run.SetHover(true);
    EXPECT_EQ(run.CurrentFont().Color, 0x0000FFu);
    EXPECT_EQ(run.FontHeight, 13);  // hovering does not remeasure
    run.SetHover(false);
    run.SetFont(normal);  // drops the link fonts
    run.SetHover(true);
    EXPECT_EQ(run.CurrentFont().Color, 0u);
}

TEST(ImageObj, AttributesAreReadAndLimited) {
    FakeImageHost host;
    TTestImage image(host,
                     Attrs({{"SRC", "a.gif"},
                            {"ALIGN", "absmiddle"},
                            {"HSPACE", "-75"},
                            {"VSPACE", "7"},
                            {"BORDER", "0"},
                            {"USEMAP", "#m"},
                            {"ISMAP", ""},
                            {"ID", "pic"}}),
                     3);
    EXPECT_EQ(image.Align, alMiddle);
    EXPECT_EQ(image.SpaceLeft, 40);
    EXPECT_EQ(image.SpaceRight, 40);
    EXPECT_EQ(image.SpaceTop, 7);
    EXPECT_TRUE(image.NoBorder && image.HasMap && image.ServerMap);
    EXPECT_EQ(image.MapKey, "M");
    EXPECT_EQ(host.ids["pic"], &image);
    TTestImage floating(host, Attrs({{"ALIGN", "Right"}}), 0);
    EXPECT_EQ(floating.Align, alRightFloat);
    EXPECT_EQ(floating.SpaceLeft, 3);
    TTestImage bottom(host, Attrs({{"ALIGN", "baseline"}}), 0);
    EXPECT_EQ(bottom.Align, alBottom);
    EXPECT_EQ(bottom.SpaceLeft, 0);
}

TEST(ImageObj, SizesKeepAspectRatioAndPercentagesFollowTheWidth) {
    FakeImageHost host;
    host.AddImage("a.gif", 200, 100);
    TRecordingCanvas canvas;
    TTestImage onlyWidth(host, Attrs({{"SRC", "a.gif"}, {"WIDTH", "50"}}), 0);
    onlyWidth.Size(canvas, 600, nullptr);
    EXPECT_EQ(onlyWidth.ObjWidth, 50);
    EXPECT_EQ(onlyWidth.ObjHeight, 25);
    TTestImage onlyHeight(host, Attrs({{"SRC", "a.gif"}, {"HEIGHT", "10"}}), 0);
    onlyHeight.Size(canvas, 600, nullptr);
    EXPECT_EQ(onlyHeight.ObjWidth, 20);
    TTestImage percent(host, Attrs({{"SRC", "a.gif"}, {"WIDTH", "50%"}}), 0);
    percent.Size(canvas, 600, nullptr);
    EXPECT_EQ(percent.ObjWidth, 300);
    EXPECT_EQ(percent.ObjHeight, 150);  // the height keeps the proportions
    percent.Size(canvas, 301, nullptr);
    EXPECT_EQ(percent.ObjWidth, 151);
    EXPECT_EQ(percent.ObjHeight, 75);
    EXPECT_EQ(host.fetches, 3);  // fetched once per image
    TTestImage huge(host, Attrs({{"SRC", "a.gif"}, {"WIDTH", "2147483647"}}), 0);
    huge.Size(canvas, 600, nullptr);
    EXPECT_LE(huge.ObjHeight, 20000);
}

TEST(ImageObj, MissingImageShowsAnAltBox) {
    FakeImageHost host;
    TRecordingCanvas canvas;
    TTestImage image(host, Attrs({{"SRC", "missing.gif"}, {"ALT", "Picture"}}), 0);
    image.Size(canvas, 600, nullptr);
    EXPECT_TRUE(image.IsError());
    // Arial 8 pt in the test font: 11 pixels high, 5 wide per character.
    EXPECT_EQ(image.ObjWidth, 7 * 5 + 26);
    EXPECT_EQ(image.ObjHeight, 24);
    TTestImage fixed(host, Attrs({{"SRC", "missing.gif"}, {"WIDTH", "10"}, {"HEIGHT", "12"}}), 0);
    fixed.Size(canvas, 600, nullptr);
    EXPECT_EQ(fixed.ObjWidth, 10);
    EXPECT_EQ(fixed.ObjHeight, 12);
    TTestImage later(host, Attrs({{"SRC", "later.gif"}}), 0);
    later.Size(canvas, 600, nullptr);
    EXPECT_TRUE(later.IsPlaceholder() && !later.IsError());
    ASSERT_EQ(host.pending.size(), 1u);
    EXPECT_EQ(host.pending[0].first, "LATER.GIF");
    TTestImage again(host, Attrs({{"SRC", "later.gif"}}), 0);
    again.Size(canvas, 600, nullptr);
    EXPECT_EQ(host.pending.size(), 2u);
    EXPECT_EQ(host.fetches, 3);  // the second waits without asking again
}

TEST(ImageObj, LinkedImagesGetABorderInTheLinkColour) {
    FakeImageHost host;
    host.AddImage("a.gif", 20, 10);
    TRecordingCanvas canvas;
    TFontSpec link;
    link.Color = 0xFF0000;
    TFontSpecPool pool;
    TFontObj run(TTestFontEngine::Shared(), pool, 0, link);
    run.SetTarget({"x.htm", "", 0});
    TTestImage image(host, Attrs({{"SRC", "a.gif"}}), 0);
    image.Size(canvas, 600, &run);
    EXPECT_TRUE(image.Bordered);
    EXPECT_EQ(image.ObjWidth, 22);
    image.Draw(canvas, 10, &run, 100, 80);
    EXPECT_EQ(canvas.Text(),
              "BLIT 11 89 31 99 from 20 10 copy\n"
              "FRAME 10 88 32 100 #0000ff\n");
    EXPECT_EQ(image.DrawY, 89);  // baseline - height 12, moved 1 by the border
    TTestImage plain(host, Attrs({{"SRC", "a.gif"}, {"BORDER", "0"}}), 0);
    plain.Size(canvas, 600, &run);
    EXPECT_FALSE(plain.Bordered);
}

TEST(ImageObjList, LookupsAndHitTests) {
    FakeImageHost host;
    host.AddImage("a.gif", 20, 10);
    auto map = std::make_unique<TMapItem>();
    map->MapKey = "M";
    host.maps.push_back(std::move(map));
    TRecordingCanvas canvas;
    TImageObjList list;
    auto& a = static_cast<TImageObj&>(
        list.Add(std::make_unique<TTestImage>(host, Attrs({{"SRC", "a.gif"}}), 2)));
    list.Add(std::make_unique<TTestImage>(
        host, Attrs({{"SRC", "a.gif"}, {"USEMAP", "m"}, {"VSPACE", "2"}}), 6));
    for (int i = 0; i < list.Count(); ++i)
        static_cast<TImageObj&>(list[i]).Size(canvas, 100, nullptr);
    EXPECT_EQ(list.CharsToNextObject(0), 2);
    EXPECT_EQ(list.CharsToNextObject(2), 0);
    EXPECT_EQ(list.CharsToNextObject(3), 3);
    EXPECT_EQ(list.CharsToNextObject(7), 9999);
    std::uint8_t align = 0;
    TFloatingObj* obj = nullptr;
    EXPECT_EQ(list.HeightAt(6, align, obj), 14);
    EXPECT_EQ(list.HeightAt(5, align, obj), -1);
    int sr = 0, sl = 0;
    EXPECT_EQ(list.WidthAt(2, align, obj, sr, sl), 20);
    EXPECT_EQ(obj, &a);
    a.Draw(canvas, 0, nullptr, 50, 30);  // bottom aligned: top 40
    static_cast<TImageObj&>(list[1]).Draw(canvas, 100, nullptr, 50, 30);
    TImageHit hit;
    EXPECT_TRUE(list.ImageAt(19, 49, hit, &host));
    EXPECT_EQ(hit.Image, &a);
    EXPECT_EQ(hit.X, 19);
    EXPECT_EQ(hit.Y, 9);
    EXPECT_FALSE(list.ImageAt(20, 45, hit, &host));
    EXPECT_TRUE(list.ImageAt(105, 40, hit, &host));
    EXPECT_EQ(hit.Map, host.maps[0].get());
    EXPECT_TRUE(list.PointInImage(105, 40, hit));
    EXPECT_EQ(hit.Map, nullptr);
}

}  // namespace
}  // namespace kv
