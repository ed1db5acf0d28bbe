// Loading: fragments and anchors, missing files, reloads, failures of the builder, the events a
// load fires, the image and text kinds, and the property setters.

#include <gtest/gtest.h>

#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "tests/viewer/viewertest.h"

namespace kv {
namespace {

using kvtest::W;
using test::Article;
using test::ViewerFixture;

TEST(ViewerLoad, FragmentsFindTheirAnchorWithoutRegardToCase) {
    ViewerFixture f;
    const std::string file = f.Write("a.htm", Article(80, 40));
    const std::string cyrillic = f.Write("b.htm", Article(80, 50, W("Тема")));
    f.view.LoadFromFile(file + "#Topic");
    const int top = f.view.VScrollPos();
    EXPECT_GT(top, 0);
    EXPECT_EQ(f.view.Document().IDNames.Find("TOPIC")->TopY(), top);
    for (const char* dest : {"#topic", "#TOPIC", "#Topic"}) {
        f.view.LoadFromFile(cyrillic);
        ASSERT_EQ(f.view.VScrollPos(), 0);
        f.view.LoadFromFile(file + dest);
        EXPECT_EQ(f.view.VScrollPos(), top) << dest;
    }
    f.view.LoadFromFile(cyrillic + "#тема");
    const int cyrillicTop = f.view.VScrollPos();
    EXPECT_GT(cyrillicTop, top);
    f.view.LoadFromFile(file);
    f.view.LoadFromFile(cyrillic + "#ТЕМА");
    EXPECT_EQ(f.view.VScrollPos(), cyrillicTop);
    // A lone '#': no anchor, and a new file opens at its top.
    f.view.LoadFromFile(file + "#");
    EXPECT_EQ(f.view.VScrollPos(), 0);
    EXPECT_EQ(f.view.CurrentFile(), file);
    // Only the first '#' splits: the anchor keeps any that follow.
    EXPECT_FALSE(f.view.PositionTo("#Topic#x"));
    EXPECT_TRUE(f.view.PositionTo("#Topic"));
    EXPECT_FALSE(f.view.PositionTo(""));
    EXPECT_FALSE(f.view.PositionTo("#"));
}

TEST(ViewerLoad, AnAnchorOnATableOrBlockShowsItsTopFrameAtTheTop) {
    // The first block of the document and blocks after a margin: each anchor scrolls the view
    // so that the top line of its frame is the panel's first row.
    ViewerFixture f(400, 200);
    std::string html = "<table id=first border=1 width=300><tr><td>first</td></tr></table>";
    for (int i = 0; i < 3; ++i) html += "<p>Filler " + std::to_string(i) + "</p>";
    html += "<div id=box style=\"margin-top: 30px; border: 1px solid black\">boxed</div>";
    html +=
        "<p>Between</p><table id=last border=2 width=300 style=\"margin-top: 25px\">"
        "<tr><td>last</td></tr></table>";
    for (int i = 0; i < 30; ++i) html += "<p>Filler after " + std::to_string(i) + "</p>";
    f.view.LoadFromFile(f.Write("a.htm", html));
    for (const char* id : {"first", "box", "last"}) {
        ASSERT_TRUE(f.view.PositionTo(id)) << id;
        const QImage rows =
            static_cast<TPaintPanel*>(f.view.PaintPanel())->Render(QRect(0, 0, 400, 2));
        int inked = 0;
        for (int x = 0; x < rows.width(); ++x) inked += (rows.pixel(x, 0) & 0xFFFFFF) != 0xFFFFFF;
        EXPECT_GE(inked, 290) << id;  // the frame's top line, not a row of text or the margin
    }
}

TEST(ViewerLoad, MissingFileKeepsTheDocumentAndNamesTheFileWithoutFragment) {
    ViewerFixture f;
    const std::string file = f.Write("a.htm", Article(40, 20));
    f.view.LoadFromFile(file + "#Topic");
    const int top = f.view.VScrollPos();
    const std::size_t sections = f.view.Document().Sections.size();
    std::vector<bool> processing;
    f.view.OnProcessing = [&](THtmlView*, bool on) { processing.push_back(on); };
    const std::string missing = f.folder.Path().string() + "/missing.htm";
    try {
        f.view.LoadFromFile(missing + "#Topic");
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_EQ(std::string(error.what()), "Can't locate file: " + missing);
    }
    EXPECT_EQ(processing, (std::vector<bool>{true, false}));
    EXPECT_FALSE(f.view.Processing());
    EXPECT_EQ(f.view.CurrentFile(), file);
    EXPECT_EQ(f.view.DocumentTitle(), "Article");
    EXPECT_EQ(f.view.Document().Sections.size(), sections);
    EXPECT_EQ(f.view.VScrollPos(), top);
    // A folder is no article either.
    f.folder.MakeFolder("dir.htm");
    EXPECT_THROW(f.view.LoadFromFile(f.folder.Path().string() + "/dir.htm"), EInOutError);
    EXPECT_EQ(f.view.CurrentFile(), file);
    // Names written in another case are found (articles come from a case-insensitive disk).
    f.view.LoadFromFile(f.folder.Path().string() + "/A.HTM");
    EXPECT_EQ(f.view.CurrentFile(), file);
}

TEST(ViewerLoad, ReloadOfTheSameFileKeepsItsPlaceWithinTheNewHeight) {
    ViewerFixture f;
    const std::string file = f.Write("a.htm", Article(80));
    const std::string other = f.Write("b.htm", Article(80));
    f.view.LoadFromFile(file);
    f.view.SetVScrollPos(500);
    ASSERT_EQ(f.view.VScrollPos(), 500);
    f.view.LoadFromFile(file);
    EXPECT_EQ(f.view.VScrollPos(), 500);
    f.view.LoadFromFile(other);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    // The file shrank: the place is clamped to the new end.
    f.view.LoadFromFile(file);
    f.view.SetVScrollPos(f.view.DocHeight());
    f.Write("a.htm", Article(30));
    f.view.LoadFromFile(file);
    EXPECT_EQ(f.view.VScrollPos(), f.view.DocHeight() - f.view.PaintPanel()->height());
}

TEST(ViewerLoad, BuilderFailureStillLaysOutAndPositionsThenTravelsOn) {
    ViewerFixture f;
    std::string text = Article(60, 30);
    text.insert(text.rfind("</body>"), "<!--#include file=\"x.inc\"--><p>after</p>");
    const std::string file = f.Write("a.htm", text);
    std::vector<bool> processing;
    f.view.OnProcessing = [&](THtmlView*, bool on) { processing.push_back(on); };
    f.view.OnInclude = [](THtmlView*, const std::string&, const std::vector<std::string>&,
                          std::string&) { throw Exception("include failed"); };
    try {
        f.view.LoadFromFile(file + "#topic");
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "include failed");
    }
    EXPECT_EQ(f.view.DocumentTitle(), "Article");
    EXPECT_GT(f.view.DocHeight(), f.view.PaintPanel()->height());
    EXPECT_GT(f.view.VScrollPos(), 0);
    EXPECT_EQ(f.view.VScrollPos(), f.view.Document().IDNames.Find("TOPIC")->TopY());
    EXPECT_EQ(processing, (std::vector<bool>{true, false}));
    // The view is not left busy: the next load works.
    f.view.OnInclude = nullptr;
    f.view.LoadFromFile(f.Write("b.htm", Article(3)));
    EXPECT_EQ(f.view.VScrollPos(), 0);
    EXPECT_TRUE(f.view.VScrollBar().isHidden());
}

TEST(ViewerLoad, MetaRefreshSoundAndMetaEvents) {
    ViewerFixture f;
    std::vector<std::string> calls;
    f.view.OnMeta = [&](THtmlView*, const std::string& httpEq, const std::string& name,
                        const std::string& content) {
        calls.push_back("meta " + httpEq + "|" + name + "|" + content);
    };
    f.view.OnMetaRefresh = [&](THtmlView*, int delay, const std::string& url) {
        calls.push_back("refresh " + std::to_string(delay) + " " + url);
    };
    f.view.OnSoundRequest = [&](THtmlView*, const std::string& src, int loop, bool terminate) {
        calls.push_back("sound " + src + " " + std::to_string(loop) + (terminate ? " stop" : ""));
    };
    f.view.LoadFromFile(
        f.Write("a.htm",
                "<head><meta http-equiv=\"Refresh\" content=\"5; URL=next.htm\">"
                "<meta name=author content=me><bgsound src=\"s.wav\" loop=3></head><p>text"));
    EXPECT_EQ(calls,
              (std::vector<std::string>{"sound  0 stop",
                                        "meta Refresh|"
                                        "|5; URL=next.htm",
                                        "meta |author|me", "sound s.wav 3", "refresh 5 next.htm"}));
    calls.clear();
    f.view.LoadFromFile(f.Write("b.htm", "<meta http-equiv=refresh content=\"0\"><p>x"));
    EXPECT_EQ(calls.back(), "refresh 1 ");
    calls.clear();
    // Not a number: no refresh; and the delay of a previous page does not fire again.
    f.view.LoadFromFile(f.Write("c.htm", "<meta http-equiv=refresh content=\"soon\"><p>x"));
    EXPECT_EQ(calls.back(), "meta refresh||soon");
    // Late META elements (inside the content) are ignored.
    calls.clear();
    f.view.LoadFromFile(f.Write("d.htm", "<p>x<meta http-equiv=refresh content=\"2\">"));
    EXPECT_EQ(calls, (std::vector<std::string>{"sound  0 stop"}));
    f.view.Clear();
    EXPECT_EQ(calls.back(), "sound  0 stop");
}

TEST(ViewerLoad, ImageAndTextKinds) {
    ViewerFixture f;
    QImage picture(30, 70, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const std::filesystem::path image = f.folder.Path() / "a&b \"q\".bmp";
    ASSERT_TRUE(picture.save(QString::fromStdString(image.string()), "BMP"));
    f.view.LoadImageFile(text::fromPath(image));
    EXPECT_EQ(f.view.CurrentFileKind(), TFileKind::ftImage);
    EXPECT_GE(f.view.DocHeight(), 70);
    f.view.LoadTextFile(f.Write("t.txt", "one <b>\ntwo\nthree\n"));
    EXPECT_EQ(f.view.CurrentFileKind(), TFileKind::ftText);
    f.view.Document().Select(0, 1000);
    EXPECT_NE(f.view.Document().SelectedText().find(u"one <b>"), std::string::npos);
}

TEST(ViewerLoad, PicturesNoPageShowsAgeOutOfTheCache) {
    ViewerFixture f;
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(QString::fromStdString((f.folder.Path() / "p.bmp").string()), "BMP"));
    const std::string withImage = f.Write("a.htm", "<p><img src=\"p.bmp\"> <img src=\"P.BMP\">");
    const std::string plain = f.Write("b.htm", "<p>text");
    f.view.SetImageCacheCount(2);
    f.view.LoadFromFile(withImage);
    ASSERT_NE(f.view.ImageCache(), nullptr);
    EXPECT_TRUE(f.view.OwnsImageCache());
    EXPECT_EQ(f.view.ImageCache()->Count(), 1);
    // In use by the page shown: a smaller cache keeps it.
    f.view.SetImageCacheCount(0);
    f.view.SetImageCacheCount(2);
    f.view.LoadFromFile(withImage);
    EXPECT_EQ(f.view.ImageCache()->Count(), 1);
    for (int load = 1; load <= 3; ++load) {
        f.view.LoadFromFile(plain);
        EXPECT_EQ(f.view.ImageCache()->Count(), load <= 2 ? 1 : 0) << load;
    }
    f.view.LoadFromFile(withImage);
    f.view.Clear();
    EXPECT_EQ(f.view.ImageCache()->Count(), 0);
}

TEST(ViewerLoad, MarginsAndFontReachTheDocument) {
    ViewerFixture f;
    const std::string file = f.Write("a.htm", Article(3));
    f.view.LoadFromFile(file);
    const int height = f.view.DocHeight();
    f.view.SetMarginHeight(55);
    f.view.LoadFromFile(file);
    EXPECT_EQ(f.view.DocHeight(), height + 100);
    f.view.SetDefFontSize(20);
    f.view.LoadFromFile(file);
    EXPECT_GT(f.view.DocHeight(), height + 150);
}

// The document's own defaults are the viewer's: a hover colour set nowhere shows the same
// on a bare document as in the viewer, and a setter reaches the document's one record.
TEST(ViewerProperties, DocumentSettingsMatchTheViewersDefaults) {
    THtmlView view;
    const TDocumentDefaults defaults;
    EXPECT_EQ(view.DefOverLinkColor(), defaults.OverColor);
    EXPECT_EQ(view.DefHotSpotColor(), defaults.HotSpotColor);
    EXPECT_EQ(view.DefVisitedLinkColor(), defaults.VisitedColor);
    EXPECT_EQ(view.DefPreFontName(), defaults.PreFontName);
    EXPECT_EQ(view.MarginWidth(), defaults.MarginWidth);
    EXPECT_EQ(view.MarginHeight(), defaults.MarginHeight);
    view.SetDefOverLinkColor(0x00FF00);
    view.SetDefHotSpotColor(0x123456);
    EXPECT_EQ(view.Document().Settings().OverColor, 0x00FF00u);
    EXPECT_EQ(view.Document().Settings().LinkColor, 0x123456u);
    EXPECT_EQ(view.Document().Settings().HotSpotColor, 0x123456u);
}

TEST(ViewerProperties, SettersClampAndCopy) {
    THtmlView view;
    EXPECT_EQ(view.DefFontSize(), 12);
    EXPECT_EQ(view.ScrollBars(), TScrollStyle::ssBoth);
    EXPECT_EQ(view.htOptions(), unsigned(htPrintTableBackground));
    EXPECT_EQ(view.width(), 150);
    view.SetDefFontSize(3);
    EXPECT_EQ(view.DefFontSize(), 6);
    view.SetImageCacheCount(50);
    EXPECT_EQ(view.ImageCacheCount(), 20);
    view.SetImageCacheCount(-1);
    EXPECT_EQ(view.ImageCacheCount(), 0);
    view.SetServerRoot(" \tC:\\web\\root\\\\ \r\n");
    EXPECT_EQ(view.ServerRoot(), "C:\\web\\root\\");
    view.SetHistoryMaxCount(4);
    view.SetHistoryMaxCount(-3);
    EXPECT_EQ(view.HistoryMaxCount(), 4);
    // The preformatted font goes to the document at once, cut to 32 characters; another
    // spelling of the same name changes nothing.
    view.SetDefPreFontName(std::string(40, 'x'));
    EXPECT_EQ(view.Document().Settings().PreFontName, std::string(32, 'x'));
    view.SetDefPreFontName(std::string(32, 'X'));
    EXPECT_EQ(view.DefPreFontName(), std::string(40, 'x'));
    view.SethtOptions(htOverLinksActive | htShowDummyCaret);
    EXPECT_TRUE(view.Document().LinksReactToMouse());
    EXPECT_TRUE(view.Document().ShowCaret());
    EXPECT_FALSE(view.Document().PrintTableBackground());
    EXPECT_FALSE(view.HoverTimer().isActive());
    EXPECT_EQ(view.HoverTimer().interval(), 200);
}

}  // namespace
}  // namespace kv
