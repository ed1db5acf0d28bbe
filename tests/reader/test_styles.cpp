// Style properties: defaults, cascade, unit conversions, colours, readers.

#include <gtest/gtest.h>

#include "html/reader/names.h"
#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "html/reader/units.h"

namespace kv {
namespace {

struct FakeDocument : TReaderDocument {
    int SourcePosToY(int) const override { return 0; }
    void SetLinksReactToMouse() override { hover = true; }
    bool hover = false;
};

class Cascade : public ::testing::Test {
protected:
    Cascade() : styles(&document) {
        styles.BuildDefaults("Times New Roman", "Courier New", 10, 12, 204, true, 0x0000FF,
                             0x800080, 0xFF0000, 0x000000, 10);
        stack.PushRoot(styles);
    }
    void Sheet(std::string_view text) {
        TStringSheetSource source(text);
        ParseStyleSheet(styles, source, "");
    }
    TProperties& Push(std::string_view tag, std::string_view cls = "", std::string_view id = "",
                      const TProperties* inlineProps = nullptr, std::string_view pseudo = "") {
        return stack.Push(styles, tag, cls, id, inlineProps, pseudo);
    }
    static int Color(const TProperties& props) { return std::get<int>(props.Values[piColor]); }

    FakeDocument document;
    TStyleList styles;
    TPropStack stack;
};

TEST_F(Cascade, DefaultHeadingAndPreformattedSizes) {
    EXPECT_DOUBLE_EQ(Push("h1").FontSizePoints(), 20);
    stack.Pop("h1");
    EXPECT_NEAR(Push("h6").FontSizePoints(), 6.67, 0.005);
    stack.Pop("h6");
    TProperties& pre = Push("pre");
    EXPECT_NEAR(pre.FontSizePoints(), 8.33, 0.005);
    EXPECT_EQ(pre.TextOf(piFontFamily), "Courier New");
    EXPECT_EQ(pre.MakeFont().Size(), 8);
    // A paragraph inside pre loses its top paragraph space.
    TProperties& p = Push("p");
    EXPECT_EQ(p.IntOf(piMarginTop, 1), 0);
    EXPECT_EQ(p.IntOf(piMarginBottom, 1), kAutoParagraphSpace);
}

TEST_F(Cascade, TheRootCarriesTheViewerSettings) {
    const TProperties& root = stack.Top();
    EXPECT_EQ(root.ElemTag, "default");
    EXPECT_EQ(root.CharSetCode, 204);
    EXPECT_EQ(root.IntOf(piMarginLeft, 0), 10);
    EXPECT_EQ(root.IntOf(piMarginTop, 0), 12);
    EXPECT_EQ(root.IntOf(piLinkColor, 0), static_cast<int>(0xFF0000 | kPaletteFlag));
    EXPECT_EQ(root.TextOf(piHoverDecoration), "underline");
    EXPECT_EQ(root.IntOf(piVisibility, 0), 2);
    ASSERT_NE(styles.Find("null"), nullptr);
    ASSERT_NE(styles.Find("ul 24ul ul"), nullptr);
}

TEST_F(Cascade, EmLengthsFollowTheElementsOwnFont) {
    const int rootEm = stack.Top().EmPixels;
    TProperties& h1 = Push("h1");
    EXPECT_EQ(h1.EmPixels, 27);  // 20 pt at 96 ppi
    EXPECT_GT(h1.EmPixels, rootEm);
    EXPECT_EQ(h1.ExPixels, h1.EmPixels / 2);
    h1.Values[piLineHeight] = std::string("1em");
    EXPECT_EQ(h1.LineHeightFor(40), 27);
}

TEST_F(Cascade, RelativeFontSizes) {
    Sheet(
        ".big { font-size: 150% } .em { font-size: 2em } .l { font-size: larger }"
        ".px { font-size: 16px } .kw { font-size: x-large } .odd { font-size: bogus }");
    Sheet("div { font-size: 12pt }");
    Push("div");
    EXPECT_DOUBLE_EQ(Push("span", "big").FontSizePoints(), 18);
    stack.Pop("span");
    EXPECT_DOUBLE_EQ(Push("span", "em").FontSizePoints(), 24);
    stack.Pop("span");
    EXPECT_DOUBLE_EQ(Push("span", "l").FontSizePoints(), 15);
    stack.Pop("span");
    EXPECT_DOUBLE_EQ(Push("span", "px").FontSizePoints(), 12);
    stack.Pop("span");
    EXPECT_DOUBLE_EQ(Push("span", "kw").FontSizePoints(), 20);  // twice the default size
    stack.Pop("span");
    EXPECT_DOUBLE_EQ(Push("span", "odd").FontSizePoints(), 10);
    stack.Pop("span");
    // Sizes compound through the ancestors.
    Push("big");
    EXPECT_DOUBLE_EQ(Push("big").FontSizePoints(), 12 * 1.25 * 1.25);
}

// "inherit" takes the parent's value for any property, inherited or not.
TEST_F(Cascade, InheritTakesTheParentsValue) {
    Sheet(
        "div { font-size: 20pt; background-color: #00ff00; padding-left: 7px }"
        ".i { font-size: inherit; background-color: inherit; padding-left: inherit;"
        " color: inherit }");
    TProperties& div = Push("div");
    const TProperties& span = Push("span", "i");
    EXPECT_DOUBLE_EQ(span.FontSizePoints(), 20);
    EXPECT_EQ(span.IntOf(piBackgroundColor, 0), div.IntOf(piBackgroundColor, 1));
    EXPECT_EQ(span.LengthOf(piPaddingLeft, 0, 0), 7);
    EXPECT_EQ(Color(span), Color(div));
}

TEST_F(Cascade, ContextualRulesMatchAnyAncestor) {
    Sheet("li ul { color: red } div.note p { color: green } ol li ul { color: blue }");
    Push("li");
    Push("div");
    EXPECT_EQ(Color(Push("ul")), 0x0000FF);  // li is not the parent, still above
    stack.Pop("ul");
    stack.Pop("div");
    stack.Pop("li");
    EXPECT_EQ(Color(Push("ul")), 0);
    stack.Pop("ul");
    Push("div", "note");
    Push("span");
    EXPECT_EQ(Color(Push("p")), 0x008000);
    stack.Clear();
    stack.PushRoot(styles);
    Push("div", "other");
    EXPECT_EQ(Color(Push("p")), 0);
    stack.PushRoot(styles);
    Push("ol");
    Push("li");
    EXPECT_EQ(Color(Push("ul")), 0xFF0000);  // the more specific rule is read later
}

TEST_F(Cascade, ChildRulesMatchOnlyTheParent) {
    Sheet(
        "body > div.chapter { color: red } ul>li { color: green } "
        "div#main >p.x { color: blue } div > p span { color: white } > b, i > { color: red }");
    Push("body");
    EXPECT_EQ(Color(Push("div", "chapter")), 0x0000FF);
    stack.PushRoot(styles);
    Push("body");
    Push("span");
    EXPECT_EQ(Color(Push("div", "chapter")), 0);  // a grandchild of BODY
    stack.PushRoot(styles);
    EXPECT_EQ(Color(Push("li")), 0);  // no parent but the root
    stack.PushRoot(styles);
    Push("ul");
    EXPECT_EQ(Color(Push("li")), 0x008000);
    stack.PushRoot(styles);
    Push("ul");
    Push("div");
    EXPECT_EQ(Color(Push("li")), 0);
    stack.PushRoot(styles);
    Push("div", "", "main");
    EXPECT_EQ(Color(Push("p", "x")), 0xFF0000);
    stack.Pop("p");
    EXPECT_EQ(Color(Push("p")), 0);
    stack.PushRoot(styles);
    Push("div");
    EXPECT_EQ(Color(Push("p", "x")), 0);
    // The nearest P is inside a P, not a DIV; the outer one is the DIV's child.
    stack.PushRoot(styles);
    Push("div");
    Push("p");
    Push("p");
    EXPECT_EQ(Color(Push("span")), 0xFFFFFF);
    stack.PushRoot(styles);
    Push("i");
    EXPECT_EQ(Color(Push("b")), 0);  // misplaced ">" drops the rule
    // Every way to place seven DIVs among 300 fails at SPAN: the search gives up, it does not hang.
    Sheet("div > span div div div div div div div em { color: red }");
    stack.PushRoot(styles);
    for (int i = 0; i < 300; ++i) Push("div");
    EXPECT_EQ(Color(Push("em")), 0);
}

TEST_F(Cascade, NestedListsTakeTheirDefaultBullets) {
    EXPECT_EQ(Push("ul").ListStyleIndex(), 3);  // disc
    EXPECT_EQ(Push("ul").ListStyleIndex(), 1);  // circle
    EXPECT_EQ(Push("ul").ListStyleIndex(), 7);  // square
    stack.PushRoot(styles);
    Push("li");
    EXPECT_EQ(Push("ol").IntOf(piMarginTop, 1), 0);  // a list inside a list item
    EXPECT_EQ(Push("ul").IntOf(piMarginTop, 1), 0);
    stack.PushRoot(styles);
    EXPECT_EQ(Push("ul").IntOf(piMarginTop, 1), kAutoParagraphSpace);
}

TEST_F(Cascade, LaterRulesWinWhateverTheirSequenceNumber) {
    std::string sheet;
    for (int i = 0; i < 12; ++i) sheet += "div p { margin-left: " + std::to_string(i) + "px }\n";
    Sheet(sheet);
    Push("div");
    EXPECT_EQ(Push("p").TextOf(piMarginLeft), "11px");
}

TEST_F(Cascade, ARuleBeatsAPresentationalAttribute) {
    Sheet(".x { color: red }");
    TProperties& styled = Push("font", "x");
    styled.SetIfUnset(piColor, 0x00FF00);
    EXPECT_EQ(Color(styled), 0x0000FF);
    stack.Pop("font");
    TProperties& plain = Push("font");
    plain.SetIfUnset(piColor, 0x00FF00);
    EXPECT_EQ(Color(plain), 0x00FF00);
}

TEST_F(Cascade, SimpleKeysMergeInOrderAndInlineComesLast) {
    Sheet(
        "p { color: red; margin-top: 1px } .c { color: lime } p.c { color: blue }"
        "#i { color: navy } p#i:active { margin-left: 3px }");
    TProperties inlineProps;
    ParseInlineStyle("Color: Teal", inlineProps);
    TProperties& p = Push("p", "c", "i", nullptr, "active");
    EXPECT_EQ(Color(p), 0x800000);  // navy: the id rule after the class rules
    EXPECT_EQ(p.TextOf(piMarginTop), "1px");
    EXPECT_EQ(p.TextOf(piMarginLeft), "3px");
    EXPECT_TRUE(p.SetHere[piColor]);
    EXPECT_FALSE(p.SetHere[piFontFamily]);
    EXPECT_EQ(p.ElemClass, "c");
    stack.Pop("p");
    EXPECT_EQ(Color(Push("p", "c", "i", &inlineProps)), 0x808000);
}

TEST_F(Cascade, InheritanceAndRetaking) {
    Sheet("div { color: red; background-color: yellow; margin-left: 5px; float: left }");
    TProperties& div = Push("div");
    div.TakeTextBackground();
    EXPECT_EQ(div.TextBackground, 0x00FFFFu);
    TProperties& span = Push("span");
    EXPECT_EQ(Color(span), 0x0000FF);
    EXPECT_EQ(span.TextBackground, 0x00FFFFu);
    EXPECT_EQ(span.IntOf(piMarginLeft, 0), kUnset);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(span.Values[piBackgroundColor]));
    EXPECT_EQ(span.FloatSide(), sdNone);
    EXPECT_EQ(span.OwnColor(), kNoColor);
    Push("b");
    // Closing the div in the middle: the entries above take from the root again.
    stack.Pop("div");
    ASSERT_EQ(stack.Count(), 3);
    EXPECT_EQ(Color(stack[1]), 0);
    EXPECT_EQ(stack[1].TextBackground, kNoColor);
    EXPECT_EQ(stack[2].TextOf(piFontWeight), "bold");  // its own value stays
    EXPECT_EQ(stack[2].IntOf(piMarginLeft, 0), kUnset);
    stack.Pop("nothing");
    EXPECT_EQ(stack.Count(), 3);
    stack.Pop("default");
    EXPECT_EQ(stack.Count(), 3);  // the root stays
}

TEST_F(Cascade, LinkStateRules) {
    Sheet("a:link { color: green; text-decoration: none } a:visited { color: #123456 }");
    EXPECT_TRUE(styles.HasLinkColor);
    EXPECT_TRUE(styles.HasVisitedColor);
    EXPECT_FALSE(styles.HasHoverColor);
    EXPECT_FALSE(document.hover);
    Sheet("a:hover { color: red; background-color: silver }");
    EXPECT_TRUE(document.hover);
    Push("a");
    Push("a", "", "", nullptr, "link");
    Push("a", "", "", nullptr, "visited");
    TProperties& hover = Push("a", "", "", nullptr, "hover");
    EXPECT_EQ(hover.IntOf(piLinkColor, 0), 0x008000);
    EXPECT_EQ(hover.TextOf(piLinkDecoration), "none");
    EXPECT_EQ(hover.TextOf(piVisitedDecoration), "none");
    EXPECT_EQ(hover.IntOf(piVisitedColor, 0), 0x02563412);
    EXPECT_EQ(hover.IntOf(piHoverColor, 0), 0x0000FF);
    EXPECT_EQ(hover.IntOf(piVisitedBackground, 0), 0xC0C0C0);
    EXPECT_EQ(Color(hover), 0);  // the plain colour is untouched
    EXPECT_FALSE(hover.MakeLinkFont().Underline());
    EXPECT_EQ(hover.MakeHoverFont().Color, 0x0000FFu);
    EXPECT_EQ(hover.MakeHoverFont().BackColor, 0xC0C0C0u);
    EXPECT_EQ(hover.MakeVisitedFont().Color, 0x02563412u);
    // The three at once are the three made one by one.
    const auto same = [](const TMyFont& a, const TMyFont& b) {
        return a.Name() == b.Name() && a.Size() == b.Size() && a.Style() == b.Style() &&
               a.Color == b.Color && a.BackColor == b.BackColor && a.CharSet == b.CharSet;
    };
    const TProperties::TLinkFonts fonts = hover.MakeLinkFonts();
    EXPECT_TRUE(same(fonts.Link, hover.MakeLinkFont()));
    EXPECT_TRUE(same(fonts.Visited, hover.MakeVisitedFont()));
    EXPECT_TRUE(same(fonts.Hover, hover.MakeHoverFont()));
    EXPECT_FALSE(same(fonts.Link, fonts.Hover));
}

TEST(Units, FontSizes) {
    EXPECT_DOUBLE_EQ(ConvertFontSize("150%", 12, 10), 18);
    EXPECT_DOUBLE_EQ(ConvertFontSize("2em", 12, 10), 24);
    EXPECT_DOUBLE_EQ(ConvertFontSize("2ex", 12, 10), 12);
    EXPECT_DOUBLE_EQ(ConvertFontSize("larger", 12, 10), 15);
    EXPECT_DOUBLE_EQ(ConvertFontSize("smaller", 12, 10), 9);
    EXPECT_DOUBLE_EQ(ConvertFontSize("16px", 12, 10), 12);
    EXPECT_DOUBLE_EQ(ConvertFontSize("16", 12, 10), 12);
    EXPECT_DOUBLE_EQ(ConvertFontSize("1in", 12, 10), 72);
    EXPECT_DOUBLE_EQ(ConvertFontSize("2pc", 12, 10), 24);
    EXPECT_DOUBLE_EQ(ConvertFontSize("xx-small", 12, 12), 8);
    EXPECT_DOUBLE_EQ(ConvertFontSize("medium", 12, 10), 12);
    EXPECT_DOUBLE_EQ(ConvertFontSize("xx-large", 12, 10), 30);
    EXPECT_DOUBLE_EQ(ConvertFontSize("1e2", 12, 10), 10);  // "e" ends the number: unknown unit
}

TEST(Units, Lengths) {
    EXPECT_EQ(ConvertLength("10px", false, 0, -1, 16, 8), 10);
    EXPECT_EQ(ConvertLength("1in", false, 0, -1, 16, 8), 96);
    EXPECT_EQ(ConvertLength("2.54cm", false, 0, -1, 16, 8), 96);
    EXPECT_EQ(ConvertLength("12pt", false, 0, -1, 16, 8), 16);
    EXPECT_EQ(ConvertLength("1.5em", false, 0, -1, 16, 8), 24);
    EXPECT_EQ(ConvertLength("2ex", false, 0, -1, 16, 8), 16);
    EXPECT_EQ(ConvertLength("25%", false, 300, -1, 16, 8), 75);
    EXPECT_EQ(ConvertLength("auto", false, 300, -1, 16, 8), -1);
    EXPECT_EQ(ConvertLength("1.5", true, 20, -1, 16, 8), 30);
    EXPECT_EQ(ConvertLength("7", false, 20, -1, 16, 8), 7);
    EXPECT_EQ(ConvertLength("-3.5px", false, 0, -1, 16, 8), -4);
    EXPECT_EQ(ConvertLength("1e999px", false, 0, -1, 16, 8), -1);
}

TEST(Colors, Forms) {
    TColor a = 0, b = 0, c = 0;
    ASSERT_TRUE(ParseColor("#abc", true, a));
    ASSERT_TRUE(ParseColor("abc", false, b));
    ASSERT_TRUE(ParseColor("rgb(170,187,204)", true, c));
    EXPECT_EQ(a, 0x02CCBBAAu);
    EXPECT_EQ(b, a);
    EXPECT_EQ(c, a);
    TColor color = 0;
    EXPECT_FALSE(ParseColor("abd", true, color));  // no "#" where one is needed
    ASSERT_TRUE(ParseColor("rgb(100%,0%,0%)", true, color));
    EXPECT_EQ(color, 0x020000FFu);
    ASSERT_TRUE(ParseColor("rgb( 20% , 300, -5 )", true, color));
    EXPECT_EQ(color, 0x0200FF33u);
    ASSERT_TRUE(ParseColor("Red", true, color));
    EXPECT_EQ(color, 0x0000FFu);  // named colours carry no palette flag
    ASSERT_TRUE(ParseColor("  red  ", true, color));
    EXPECT_EQ(color, 0x0000FFu);
    ASSERT_TRUE(ParseColor("lightgrey", true, color));
    EXPECT_EQ(color, 0xD3D3D3u);
    ASSERT_TRUE(ParseColor("transparent", true, color));
    EXPECT_EQ(color, kNoColor);
    ASSERT_TRUE(ParseColor("yellowgreen", true, color));
    EXPECT_EQ(color, 0x32CD9Au);
    EXPECT_FALSE(ParseColor("grey", true, color));
    EXPECT_FALSE(ParseColor("#xyz", true, color));
    EXPECT_FALSE(ParseColor("#", true, color));
    EXPECT_FALSE(ParseColor("rgb(1,2,3", true, color));
    ASSERT_TRUE(ParseColor("#FF00FF00", true, color));  // a stray high byte is dropped
    EXPECT_EQ(color, 0x0200FF00u);
    // The one-entry cache does not let a bare hex text past a caller that needs "#".
    ASSERT_TRUE(ParseColor("abc", false, color));
    EXPECT_FALSE(ParseColor("abc", true, color));
}

TEST(Readers, LineHeightAlignmentListsImagesPositions) {
    TProperties props;
    props.EmPixels = 16;
    props.ExPixels = 8;
    EXPECT_EQ(props.LineHeightFor(20), 0);
    props.Values[piLineHeight] = std::string("1.5");
    EXPECT_EQ(props.LineHeightFor(20), 30);
    props.Values[piLineHeight] = std::string("2em");
    EXPECT_EQ(props.LineHeightFor(20), 32);
    props.Values[piLineHeight] = std::string("150%");
    EXPECT_EQ(props.LineHeightFor(20), 24);
    props.Values[piLineHeight] = std::string("normal");
    EXPECT_EQ(props.LineHeightFor(20), 0);

    TVAlign align = vaBottom;
    EXPECT_FALSE(props.VerticalAlign(align));
    props.Values[piVerticalAlign] = std::string("text-top");
    ASSERT_TRUE(props.VerticalAlign(align));
    EXPECT_EQ(align, vaTop);

    props.Values[piListStyleType] = std::string("upper-roman");
    EXPECT_EQ(props.ListStyleIndex(), 9);
    props.Values[piListStyleType] = std::string("bogus");
    EXPECT_EQ(props.ListStyleIndex(), 0);

    props.Values[piBackgroundImage] = std::string("url( 'pics/a b.gif' )");
    EXPECT_EQ(props.BackgroundImageUrl(), "pics/a b.gif");
    props.Values[piBackgroundImage] = std::string("none");
    EXPECT_EQ(props.BackgroundImageUrl(), "");

    props.Values[piClear] = std::string("both");
    EXPECT_EQ(props.ClearSide(), sdBoth);
    props.Values[piFloat] = std::string("right");
    EXPECT_EQ(props.FloatSide(), sdRight);
    props.Values[piBorderStyle] = std::string("none");
    EXPECT_FALSE(props.BorderStyleSet());
    props.Values[piZIndex] = std::string("3");
    EXPECT_EQ(props.ZIndex(), 3);

    TBackgroundPos pos = props.BackgroundPosition();
    EXPECT_EQ(pos.x.kind, TPositionItem::Pixels);
    EXPECT_EQ(pos.x.value, 0);
    EXPECT_TRUE(pos.repeatX && pos.repeatY);
    props.Values[piBackgroundPosition] = std::string("25% 2em");
    props.Values[piBackgroundRepeat] = std::string("repeat-x");
    pos = props.BackgroundPosition();
    EXPECT_EQ(pos.x.kind, TPositionItem::Percent);
    EXPECT_EQ(pos.x.value, 25);
    EXPECT_EQ(pos.y.kind, TPositionItem::Pixels);
    EXPECT_EQ(pos.y.value, 32);
    EXPECT_TRUE(pos.repeatX);
    EXPECT_FALSE(pos.repeatY);
    props.Values[piBackgroundPosition] = std::string("bottom");
    pos = props.BackgroundPosition();
    EXPECT_EQ(pos.y.kind, TPositionItem::Bottom);
    EXPECT_EQ(pos.x.kind, TPositionItem::Center);
    props.Values[piBackgroundPosition] = std::string("left");
    pos = props.BackgroundPosition();
    EXPECT_EQ(pos.x.kind, TPositionItem::Left);
    EXPECT_EQ(pos.y.kind, TPositionItem::Center);

    props.Values[piMarginLeft] = std::string("10%");
    EXPECT_EQ(props.LengthOf(piMarginLeft, 500, -1), 50);
    props.Values[piMarginLeft] = kAutoParagraphSpace;
    EXPECT_EQ(props.LengthOf(piMarginLeft, 500, -1), kAutoParagraphSpace);
}

TEST(Readers, MakeFontWalksTheFamilyList) {
    TProperties props;
    props.Values[piFontFamily] = std::string("'No Such Face', serif, Arial");
    props.Values[piFontSize] = 11.6;
    props.Values[piFontWeight] = std::string("700");
    props.Values[piFontStyle] = std::string("oblique");
    props.Values[piTextDecoration] = std::string("line-through");
    props.Values[piColor] = 0x123456;
    props.CharSetCode = 204;
    props.TextBackground = 0xABCDEF;
    TMyFont font = props.MakeFont();
    EXPECT_EQ(font.Name(), fonts::GenericFace("serif"));
    EXPECT_EQ(font.Size(), 12);
    EXPECT_TRUE(font.Bold());
    EXPECT_TRUE(font.Italic());
    EXPECT_TRUE(font.StrikeOut());
    EXPECT_FALSE(font.Underline());
    EXPECT_EQ(font.Color, 0x123456u);
    EXPECT_EQ(font.CharSet, 204);
    EXPECT_EQ(font.BackColor, 0xABCDEFu);
    props.Values[piFontFamily] = std::string("NoFaceOne, NoFaceTwo");
    props.Values[piFontWeight] = std::string("normal");
    font = props.MakeFont();
    EXPECT_EQ(font.Name(), "NoFaceTwo");  // none available: the last one tried
    EXPECT_FALSE(font.Bold());
}

}  // namespace
}  // namespace kv
